// The settings road under faults: values the server should never send, a hanging camera, and
// everything at once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using namespace std::chrono_literals;
using Kind = Fault::Kind;

// Deep enough for a recursive parser to exhaust a thread's stack; less where TSan slows parsing.
constexpr size_t kDepth = kThreadSanitizer ? 10000 : 100000;
const std::string kDeep = std::string(kDepth, '[') + std::string(kDepth, ']');

class SettingsFaults : public SettingsRoadTest {
protected:
    SettingsFaults() : SettingsRoadTest(38, /*holdOffMs*/ 5) {}
};

TEST_F(SettingsFaults, CalibrationAndHighlightThatAreNoWholeNumbersKeepTheirValues) {
    start({"TS_CALIBRATION", "HL_DURATION"});
    // Read as the standard conversion reads: leading blanks, a sign, digits up to the first other.
    EXPECT_TRUE(writesOf({{"TS_CALIBRATION", " +7 steps"}, {"HL_DURATION", "2147483647"}}).empty());
    // From the dialog and the spin box: no number, beyond 32 bits, an offset beyond 32 bits.
    for (const char* unusable : {"fast", "99999999999", "-42950"}) {
        EXPECT_TRUE(writesOf({{"TS_CALIBRATION", unusable}}).empty());
        turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", unusable}});
    }
    EXPECT_TRUE(writesOf({{"HL_DURATION", "2147483648"}}).empty());
    EXPECT_EQ(350000, agent().timestampOffset());
    EXPECT_EQ(2147483647, agent().highlightDuration());
}

TEST_F(SettingsFaults, HostileFigureAndSizeValuesAreClearedOrSentWithTheirUsableParts) {
    start({"AIX_REGION_POSITION1", "AIX_LINE_POSITION3", "AIX_OBJECT_DETECTION_SIZE"});
    pushVideo(1920, 1080);
    const std::string cleared = "AIX_LINE_CLEAR2=0";
    const std::string kept;  // No usable point: no position write, the shape stays.
    // One value of each family, with what the line slot receives after its display write.
    const std::pair<std::string, std::string> values[] = {
        {R"({"figure":{"points":[[0.1,0.1],[0.2,0.2]])", cleared},
        {R"({"figure":[[0.1,0.1],[0.2,0.2]]})", kept},
        {R"({"minimum":"small","maximum":[1,1],"positions":[[0.1,0.1],[0.9,0.9]]})", cleared},
        {R"({"minimum":[0.1,0.1],"maximum":[1,1],"positions":[[1e10,0.1],[0.9,0.9]]})", cleared},
        {kDeep, cleared},
        {"{\"figure\":" + kDeep + "}", cleared},
        {"{\"figure\":{\"points\":[[0.1,0.1]],\"direction\":\"\xff\xfe\"}}",
         "AIX_LINE_POSITION22=100,100"},
        {R"({"figure":{"points":[["a","b"],[null,1],[true,false],[{},[]]]}})", kept},
        {R"({"figure":{"points":[[1e308,1e308],[-1e308,0.5],[9223372036854775807,0]]}})", kept},
        {R"({"figure":{"points":[[0.1,0.2,0.7],[0.3],[0.4,0.5]],"direction":42},)"
         R"("showOnCamera":"yes","label":[1],"extra":{"deep":[[[]]]}})",
         "AIX_LINE_POSITION22=100,200,400,500"},
    };
    for (const auto& [value, lineGets] : values) {
        SCOPED_TRACE(value.substr(0, 80));
        camera->clearRequests();
        change({{"AIX_REGION_POSITION1", value},
                {"AIX_LINE_POSITION3", value},
                {"AIX_OBJECT_DETECTION_SIZE", value}});
        settle();
        Texts line, region;
        for (const std::string& text : writeTexts())
            (text.rfind("AIX_LINE_", 0) == 0 ? line : region).push_back(text);
        Texts expected{"AIX_LINE_DISPLAY_ENABLE2=0"};
        if (!lineGets.empty())
            expected.push_back(lineGets);
        EXPECT_EQ(expected, line);
        ASSERT_EQ(lineGets.empty() ? 1u : 2u, region.size()) << "and no object size";
        EXPECT_EQ(lineGets == cleared, region.back() == "AIX_REGION_CLEAR0=0");
    }
    EXPECT_EQ((Texts{"AIX_LINE_DISPLAY_ENABLE2=1", "AIX_LINE_POSITION22=100,100,900,900"}),
              writesOf({{"AIX_LINE_POSITION3",
                         R"({"figure":{"points":[[0.1,0.1],[0.9,0.9]]},"showOnCamera":true})"}}))
        << "still at work";
    EXPECT_EQ((Texts{"AIX_OBJECT_DETECTION_SIZE=-192,108,12,12,1728,972,1920,1080"}),
              writesOf({{"AIX_OBJECT_DETECTION_SIZE",
                         R"({"minimum":[-1,0.0001,7],"maximum":[100,1.5],"positions":)"
                         R"([[-0.1,0.1,5],[0.9,0.9]],"label":"x","extra":[{}]})"}}))
        << "sizes are held between 12 pixels and the frame; positions are not";
}

// Only a null figure erases the shape on the camera: a label in another encoding or a figure of
// another type is read as far as it goes.
TEST_F(SettingsFaults, ForeignLabelsAndFiguresOfAnotherTypeNeverClearTheSlot) {
    start({"AIX_REGION_POSITION1", "AIX_LINE_POSITION3"});
    const std::string square = R"([[0.1,0.1],[0.5,0.1],[0.5,0.5],[0.1,0.5]])";
    EXPECT_EQ(
        (Texts{"AIX_REGION_DISPLAY_ENABLE0=1",
               "AIX_REGION_POSITION00=100,100,500,100,500,500,100,500"}),
        writesOf({{"AIX_REGION_POSITION1", R"({"figure":{"points":)" + square +
                                               "},\"label\":\"caf\xe9\",\"showOnCamera\":true}"}}));
    // Cut, surrogate and beyond-Unicode sequences as well as a lone Latin-1 byte.
    EXPECT_EQ((Texts{"AIX_LINE_DIRECTION2=1", "AIX_LINE_DISPLAY_ENABLE2=0",
                     "AIX_LINE_POSITION22=100,200,500,600"}),
              writesOf({{"AIX_LINE_POSITION3",
                         "{\"figure\":{\"points\":[[0.1,0.2],[0.5,0.6]],\"direction\":\"left\"},"
                         "\"label\":\"Stra\xdf"
                         "e \xc3\x28\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82\"}"}}));
    for (const std::string& figure : {square, std::string("\"square\""), std::string("7"),
                                      std::string("true"), std::string("{}")}) {
        EXPECT_EQ((Texts{"AIX_REGION_DISPLAY_ENABLE0=1"}),
                  writesOf({{"AIX_REGION_POSITION1",
                             R"({"figure":)" + figure + R"(,"showOnCamera":true})"}}))
            << figure;
    }
    EXPECT_EQ((Texts{"AIX_REGION_DISPLAY_ENABLE0=1", "AIX_REGION_CLEAR0=0"}),
              writesOf({{"AIX_REGION_POSITION1", R"({"figure":null,"showOnCamera":true})"}}));
    EXPECT_EQ((Texts{"AIX_REGION_DISPLAY_ENABLE0=0", "AIX_REGION_CLEAR0=0"}),
              writesOf({{"AIX_REGION_POSITION1", "caf\xe9"}}))
        << "a value that is no JSON at all";
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
                R"({"figure":{"points":[[0.1,0.1],[0.5,)" + std::to_string(0.1 + i * 0.01) +
                R"(],[0.5,0.5]]},"showOnCamera":)" + (i % 2 == 0 ? "true}" : "false}");
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
    const Answer answer = adopt(modelDefaults(/*underTest*/ true));

    // Nothing is asked once a request time-out passes without an answer; the requests then in
    // flight end by their own time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - began, 25s) << "two request time-outs";
    EXPECT_FALSE(answer.values.empty());
    for (const auto& [name, value] : answer.values)
        EXPECT_EQ(valueOr(resetsOff(), name), value) << "only what needs no camera";
    for (const auto& [name, value] : modelDefaults(/*underTest*/ true)) {
        const bool read = name.rfind("AIX", 0) == 0 && name.rfind("AIX_LINE_COUNT_RESET", 0) != 0;
        EXPECT_EQ(read ? 1u : 0u, answer.errors.count(name)) << name << " named as not read";
    }
}

}  // namespace
}  // namespace settings_test
