// Readbacks against cameras that are slow, serve one exchange at a time, take few connections or
// stop answering: every setting the camera answers is reported however long that takes, every
// other is named in the response's errors instead of shown, and a camera that stops answering
// gives the server's thread back.
#include <gtest/gtest.h>

#include <chrono>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using namespace std::chrono_literals;
using Kind = Fault::Kind;

// The readback's watchdog period, short here so that the old overall deadline (four periods)
// would end these readbacks long before the camera is through.
constexpr int kWatchdogMs = 1000;
constexpr char kNoAnswer[] = "camera did not answer";
constexpr char kNotAsked[] = "not read: the camera stopped answering";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

/** Settings read from the camera whose value a camera at the model's defaults reports. */
Texts readFromCamera(const Values& settings) {
    Texts names;
    for (const auto& [name, value] : settings) {
        // Display types equal to the plugin's own switches are not reported at all.
        if (startsWith(name, "AIX") && !startsWith(name, "AIX_LINE_COUNT_RESET") &&
            name.find("DISPLAY_TYPE") == std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

class PacedCamera : public SettingsRoadTest {
protected:
    explicit PacedCamera(int block) : SettingsRoadTest(block) {}

    void SetUp() override {
        qo::sdk::setUnitTestOption("readbackWatchdogMs", std::to_string(kWatchdogMs));
        SettingsRoadTest::SetUp();
    }

    void TearDown() override {
        SettingsRoadTest::TearDown();
        qo::sdk::eraseUnitTestOption("readbackWatchdogMs");
    }

    /** Each setting read from the camera is either reported or named with a cause, not both. */
    static void expectReportedOrNamed(const Answer& answer, const Values& settings) {
        for (const std::string& name : readFromCamera(settings)) {
            EXPECT_EQ(1u, answer.values.count(name) + answer.errors.count(name)) << name;
        }
        for (const auto& [name, cause] : answer.errors) {
            EXPECT_TRUE(cause == kNoAnswer || cause == kNotAsked) << name << ": " << cause;
        }
    }
};

// Hundreds of exchanges one after another, or refused at the door and asked again by fewer
// readers: many watchdog periods in all, yet an answer every few tens of milliseconds.
struct Pace {
    const char* name;
    bool serial;
    unsigned maxConnections;
    std::chrono::milliseconds latency;
    friend void PrintTo(const Pace& pace, std::ostream* out) { *out << pace.name; }
};

class SlowCamera : public PacedCamera, public ::testing::WithParamInterface<Pace> {
protected:
    SlowCamera() : PacedCamera(43) {
        cameraOptions.serial = GetParam().serial;
        cameraOptions.maxConnections = GetParam().maxConnections;
        cameraOptions.latency = GetParam().latency;
    }
};

TEST_P(SlowCamera, WholeModelIsReportedHoweverLongTheCameraTakes) {
    const Values settings = modelDefaults(/*underTest*/ true);
    const Answer answer = adopt(settings);

    ASSERT_TRUE(answer.hasResponse);
    EXPECT_TRUE(answer.errors.empty())
        << answer.errors.begin()->first << ": " << answer.errors.begin()->second;
    for (const std::string& name : readFromCamera(settings))
        EXPECT_EQ(1u, answer.values.count(name)) << name;
}

INSTANTIATE_TEST_SUITE_P(Paces, SlowCamera,
                         ::testing::Values(Pace{"Serial", true, 0, 10ms},
                                           Pace{"Crowded", false, 2, 2ms}),
                         [](const auto& info) { return std::string(info.param.name); });

class SilentCamera : public PacedCamera {
protected:
    SilentCamera() : PacedCamera(45) {}
};

TEST_F(SilentCamera, CameraThatStopsAnsweringGivesTheThreadBackAndNamesWhatItDidNotSay) {
    camera->addFault(Fault(Kind::delay, "", /*times*/ 40));
    camera->addFault(Fault(Kind::hang));
    const Values settings = modelDefaults(/*underTest*/ true);

    const auto began = std::chrono::steady_clock::now();
    const Answer answer = adopt(settings);

    // One watchdog period after the last answer, then the requests in flight time out.
    EXPECT_LT(std::chrono::steady_clock::now() - began, 30s);
    ASSERT_TRUE(answer.hasResponse);
    EXPECT_GT(answer.values.size(), resetsOff().size()) << "what came before the silence";
    EXPECT_EQ(1u, answer.errors.count("AIX_TAMPERING_ENABLE")) << "what did not";
    expectReportedOrNamed(answer, settings);
    size_t notAsked = 0;
    for (const auto& [name, cause] : answer.errors)
        notAsked += cause == kNotAsked;
    EXPECT_GT(notAsked, 0u) << "the silence stopped the asking";
}

TEST_F(SilentCamera, FigureReadbackOfASilentCameraNamesEverySlot) {
    start({"AIX_REGION_POSITION1", "AIX_LINE_POSITION1"});
    camera->addFault(Fault(Kind::hang));

    const Answer answer = pluginSide();

    ASSERT_TRUE(answer.hasResponse);
    EXPECT_TRUE(answer.values.empty());
    EXPECT_EQ(24u, answer.errors.size());
    EXPECT_EQ(1u, answer.errors.count("AIX_EXCLUDE_REGION_POSITION8"));
}

TEST_F(SilentCamera, SettingRefusedEveryTimeIsAskedOnceMoreThenNamed) {
    camera->addFault(Fault(Kind::reset, "AIX_TAMPERING_ENABLE"));
    const Values settings = defaultsOf({"AIX_TAMPERING_ENABLE", "AIX_TAMPERING_SENSITIVITY"});
    const Answer answer = adopt(settings);

    EXPECT_EQ((Values{{"AIX_TAMPERING_ENABLE", kNoAnswer}}), answer.errors);
    EXPECT_EQ(1u, answer.values.count("AIX_TAMPERING_SENSITIVITY"));
    EXPECT_EQ(2u, readsOf("AIX_TAMPERING_ENABLE")) << "a pass without answers is the last";
}

TEST_F(SilentCamera, UnansweredStoredPositionIsNotShownAsAnEmptySlot) {
    // Older firmware answers "Ok" for the current position; the stored one is then read instead.
    camera->addFault(Fault(Kind::okReply, "AIX_REGION_CURRENT_POSITION1"));
    camera->addFault(Fault(Kind::reset, "AIX_REGION_POSITION1"));

    const Answer answer = adopt(defaultsOf({"AIX_REGION_POSITION2", "AIX_REGION_POSITION3"}));

    EXPECT_EQ(0u, answer.values.count("AIX_REGION_POSITION2"));
    EXPECT_EQ(kNoAnswer, valueOr(answer.errors, "AIX_REGION_POSITION2"));
    EXPECT_EQ(1u, answer.values.count("AIX_REGION_POSITION3"));
}

}  // namespace
}  // namespace settings_test
