// The settings road under faults: an agent released while its writes are on the way, values the
// server should never send, a camera that refuses, resets or hangs, and everything at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using namespace std::chrono_literals;
using Kind = Fault::Kind;

std::string deeplyNested(size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

// Deep enough for a recursive parser to exhaust a thread's stack; less where TSan slows parsing.
constexpr size_t kDeepNesting = kThreadSanitizer ? 10000 : 100000;

class SettingsFaults : public SettingsRoadTest {
protected:
    SettingsFaults() : SettingsRoadTest(38, /*holdOffMs*/ 5) {}
};

TEST_F(SettingsFaults, AgentReleasedRightAfterAChangeLivesUntilItsWritesEnd) {
    start({"AIX_PERSON_SENSITIVITY", "AIX_CAR_SENSITIVITY", "AIX_LINE_ENABLE1",
           "AIX_LINE_COUNT_RESET_ALL", "AIX_REGION_POSITION1"});
    camera->addFault(Fault(Kind::delay, "", -1, 100ms));

    change({{"AIX_PERSON_SENSITIVITY", "1"},
            {"AIX_CAR_SENSITIVITY", "2"},
            {"AIX_LINE_ENABLE1", "true"},
            {"AIX_LINE_COUNT_RESET_ALL", "true"},
            {"AIX_REGION_POSITION1", figureJson({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}, true)}});
    releaseAgent();

    ASSERT_TRUE(waitUntilDestroyed());
    EXPECT_EQ(14u, writesWhenDestroyed.load()) << "1 + 1 + 2 + 8 + 2 writes, all answered";
}

TEST_F(SettingsFaults, CalibrationAndHighlightThatAreNoWholeNumbersKeepTheirValues) {
    start({"TS_CALIBRATION", "HL_DURATION"});
    // Read as the standard conversion reads: leading blanks, a sign, digits up to the first other.
    EXPECT_TRUE(writesOf({{"TS_CALIBRATION", " +7 steps"}, {"HL_DURATION", "2147483647"}}).empty());
    for (const char* unusable : {"", "fast", " \t", "99999999999", "50000", "-42950", "+-1"})
        EXPECT_TRUE(writesOf({{"TS_CALIBRATION", unusable}}).empty());
    for (const char* unusable : {"", "long", "2147483648", "-99999999999"})
        EXPECT_TRUE(writesOf({{"HL_DURATION", unusable}}).empty());
    EXPECT_EQ(350000, agent().timestampOffset());
    EXPECT_EQ(2147483647, agent().highlightDuration());
}

TEST_F(SettingsFaults, HostileFigureValuesAreClearedOrSentWithTheirUsablePoints) {
    start({"AIX_REGION_POSITION1", "AIX_EXCLUDE_REGION_POSITION2", "AIX_LINE_POSITION3"});
    const std::string cleared = "AIX_LINE_CLEAR2=0";
    const std::string empty = "AIX_LINE_POSITION22=";
    // Each value with what the line slot receives after its display write.
    const std::vector<std::pair<std::string, std::string>> values{
        {"", cleared},
        {R"([{"figure":{}}])", cleared},
        {R"({"figure":[[0.1,0.1],[0.2,0.2]]})", cleared},
        {R"({"points":[[0.1,0.1],[0.2,0.2]]})", cleared},
        {R"({"figure":{"points":[[0.1,0.1],[0.2,0.2]])", cleared},
        {"{\"figure\":" + deeplyNested(kDeepNesting) + "}", cleared},
        {"{\"figure\":{\"points\":[[0.1,0.1]],\"direction\":\"\xff\xfe\"}}", cleared},
        {"\xc3\x28{\"figure\":{}}", cleared},
        {R"({"figure":{"points":{"x":0.1,"y":0.1}}})", empty},
        {R"({"figure":{"points":[["a","b"],[null,1],[true,false],[{},[]]]}})", empty},
        {R"({"figure":{"points":[[1e308,1e308],[-1e308,0.5],[9223372036854775807,0]]}})", empty},
        {"{\"figure\":{\"points\":[[1" + std::string(400, '0') + ",0.5]]}}", cleared},
        {"{\"figure\":{\"points\":" + deeplyNested(kDeepNesting) + "}}", empty},
        {R"({"figure":{"points":[[0.1,0.2,0.7],[0.3],[0.4,0.5]],"direction":42},)"
         R"("showOnCamera":"yes","label":[1],"extra":{"deep":[[[]]]}})",
         "AIX_LINE_POSITION22=100,200,400,500"},
    };
    for (const auto& [value, lineGets] : values) {
        SCOPED_TRACE(value.substr(0, 80));
        camera->clearRequests();
        change({{"AIX_REGION_POSITION1", value},
                {"AIX_EXCLUDE_REGION_POSITION2", value},
                {"AIX_LINE_POSITION3", value}});
        settle();
        Texts line, region;
        for (const std::string& text : writeTexts())
            (text.rfind("AIX_LINE_", 0) == 0 ? line : region).push_back(text);
        EXPECT_EQ((Texts{"AIX_LINE_DISPLAY_ENABLE2=0", lineGets}), line);
        ASSERT_EQ(4u, region.size()) << "two writes each for the region and the exclude region";
        EXPECT_EQ(lineGets == cleared,
                  std::count(region.begin(), region.end(), "AIX_REGION_CLEAR0=0") == 1);
    }

    EXPECT_EQ((Texts{"AIX_LINE_DISPLAY_ENABLE2=1", "AIX_LINE_POSITION22=100,100,900,900"}),
              writesOf({{"AIX_LINE_POSITION3", figureJson({{0.1, 0.1}, {0.9, 0.9}}, true)}}))
        << "still at work";
}

TEST_F(SettingsFaults, HostileObjectSizeValuesSendNothingOrLimitedSizes) {
    start({"AIX_OBJECT_DETECTION_SIZE"});
    pushVideo(1920, 1080);
    const std::string limits = R"({"minimum":[0.1,0.1],"maximum":[1,1],)";
    const std::string positions = R"("positions":[[0.1,0.1],[0.9,0.9]]})";
    for (const std::string& value : std::vector<std::string>{
             "", "[]", "\xff\xfe", deeplyNested(kDeepNesting),
             R"({"minimum":"small","maximum":[1,1],)" + positions,
             R"({"minimum":[0.1,0.1],"maximum":[1,1]})", limits + R"("positions":[[0.1,0.1]]})",
             limits + R"("positions":[[0.1,0.1],["a",0.9]]})",
             limits + R"("positions":[[1e10,0.1],[0.9,0.9]]})",
             limits + "\"positions\":" + deeplyNested(1000) + "}"}) {
        EXPECT_TRUE(writesOf({{"AIX_OBJECT_DETECTION_SIZE", value}}).empty())
            << value.substr(0, 80);
    }

    EXPECT_EQ((Texts{"AIX_OBJECT_DETECTION_SIZE=-192,108,12,12,1728,972,1920,1080"}),
              writesOf({{"AIX_OBJECT_DETECTION_SIZE",
                         R"({"minimum":[-1,0.0001,7],"maximum":[100,1.5],"positions":)"
                         R"([[-0.1,0.1,5],[0.9,0.9]],"label":"x","extra":[{}]})"}}))
        << "sizes are held between 12 pixels and the frame; positions are not";
}

TEST_F(SettingsFaults, RefusingResettingOrEndlessCameraCostsItsValuesButNeverTheCall) {
    camera->addFault(Fault(Kind::wrongCredentials));
    const Answer first = adopt(defaultsOf({"AIX_PERSON_SENSITIVITY", "AIX_CAR_SENSITIVITY",
                                           "AIX_BICYCLE_SENSITIVITY", "AIX_REGION_POSITION1"}));
    EXPECT_TRUE(first.hasResponse && first.values.empty());
    EXPECT_TRUE(writesOf({{"AIX_PERSON_SENSITIVITY", "3"}}).empty());
    EXPECT_TRUE(pluginSide().values.empty());

    camera->clearFaults();
    camera->addFault(Fault(Kind::reset, "AIX_PERSON_SENSITIVITY"));
    camera->addFault(Fault(Kind::endlessBody, "AIX_CAR_SENSITIVITY"));
    change({{"AIX_PERSON_SENSITIVITY", "1"},
            {"AIX_CAR_SENSITIVITY", "2"},
            {"AIX_BICYCLE_SENSITIVITY", "3"}});
    settle();
    pushVideo(1920, 1080);
    const Values after = pluginSide().values;
    EXPECT_EQ(0u, after.count("AIX_PERSON_SENSITIVITY") + after.count("AIX_CAR_SENSITIVITY"));
    EXPECT_EQ("3", after.at("AIX_BICYCLE_SENSITIVITY"));
}

class SettingsUnderLoad : public SettingsRoadTest {
protected:
    SettingsUnderLoad() : SettingsRoadTest(39) {}
};

TEST_F(SettingsUnderLoad, ReadbacksWhileSettingsChangeAndDocumentsFlow) {
    const Values base = defaultsOf(
        {"AIX_PERSON_SENSITIVITY", "AIX_PERSON_DISPLAY_TYPE", "AIX_CAR_DISPLAY_TYPE",
         "AIX_REGION_ENABLE1", "AIX_REGION_POSITION1", "AIX_LINE_POSITION2",
         "AIX_OBJECT_DETECTION_SIZE", "AIX_TAMPERING_ENABLE", "TS_CALIBRATION", "HL_DURATION"});
    adopt(base);
    settle();
    const Texts documents{sampleDocument("event-ai-settings-changed.xml"),
                          sampleDocument("frame-persons-vehicles.xml"),
                          sampleDocument("frame-persons-vehicles.xml")};
    ASSERT_FALSE(documents[0].empty() || documents[1].empty());

    std::thread dialogOpens([&] {
        for (int i = 0; i < 12; ++i) {
            pushVideo(i % 2 == 0 ? 1920 : 1280, i % 2 == 0 ? 1080 : 720);
            DeviceAgent::SettingsResult result;
            server().getPluginSideSettings(&result);
            releaseResult(&result);
        }
    });
    std::thread userChanges([&] {
        Values values = base;
        for (int i = 0; i < 12; ++i) {
            values["AIX_PERSON_SENSITIVITY"] = std::to_string(i % 4);
            values["AIX_CAR_DISPLAY_TYPE"] = std::to_string(i % 2);
            values["TS_CALIBRATION"] = std::to_string(i - 6);
            values["HL_DURATION"] = std::to_string(i);
            values["AIX_REGION_POSITION1"] =
                figureJson({{0.1, 0.1}, {0.5, 0.1 + i * 0.01}, {0.5, 0.5}}, i % 2 == 0);
            DeviceAgent::SettingsResult result;
            server().doSetSettings(&result, makePtr<qo::sdk::StringMap>(values).get());
            releaseResult(&result);
        }
    });
    std::thread calibration([&] {
        for (int i = 0; i < 12; ++i)
            turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", std::to_string(i % 5)}});
    });
    for (int i = 0; i < 30; ++i)
        pushDocument(documents[i % 3]);
    dialogOpens.join();
    userChanges.join();
    calibration.join();
    settle();

    // Whether the last document processed asked for a full readback depends on which ones were
    // dropped while the agent was busy; the one after it is the figure readback.
    pluginSide();
    EXPECT_GE(pluginSide().values.size(), 24u);
}

TEST_F(SettingsUnderLoad, HangingCameraCostsAFullReadbackAFewRequestTimeOuts) {
    camera->addFault(Fault(Kind::hang));

    const auto began = std::chrono::steady_clock::now();
    const Answer answer = adopt(modelUnderTest());

    EXPECT_LT(std::chrono::steady_clock::now() - began, 25s) << "five request time-outs";
    Values resetsOnly;
    for (const auto& [name, value] : resetsOff()) {
        if (modelUnderTest().count(name) != 0)
            resetsOnly[name] = value;
    }
    EXPECT_EQ(resetsOnly, answer.values) << "only what needs no camera";
}

}  // namespace
}  // namespace settings_test
