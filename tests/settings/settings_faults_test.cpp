// The settings road under faults: an agent released while its writes are on the way, values the
// server should never send, and a camera that answers nonsense, refuses or resets.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using namespace std::chrono_literals;
using lumo_camera::Fault;
using qo::sdk::ErrorCode;
using Texts = std::vector<std::string>;

std::string deeplyNested(size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

// Deep enough for a recursive parser to exhaust a thread's stack; less where TSan slows parsing.
constexpr size_t kDeepNesting = kThreadSanitizer ? 10000 : 100000;

class SettingsFaults : public SettingsRoadTest {
protected:
    SettingsFaults() : SettingsRoadTest(38, /*holdOffMs*/ 5) {}

    void start(const std::vector<std::string>& names) {
        adopt(defaultsOf(names));
        settle();
        camera->clearRequests();
    }

    Texts writesOf(const std::string& name, const std::string& value) {
        camera->clearRequests();
        change({{name, value}});
        settle();
        return writeTexts();
    }
};

TEST_F(SettingsFaults, AgentReleasedRightAfterAChangeLivesUntilItsWritesEnd) {
    start({"AIX_PERSON_SENSITIVITY", "AIX_CAR_SENSITIVITY", "AIX_LINE_ENABLE1",
           "AIX_LINE_COUNT_RESET_ALL", "AIX_REGION_POSITION1"});
    camera->addFault(Fault(Fault::Kind::delay, "", -1, 100ms));
    const auto answeredWhenDestroyed = std::make_shared<std::atomic<size_t>>(0);
    onAgentDestroyed = [this, answeredWhenDestroyed] {
        const auto written = writes();
        *answeredWhenDestroyed = static_cast<size_t>(std::count_if(
            written.begin(), written.end(), [](const Served& one) { return one.status == 200; }));
    };

    change({{"AIX_PERSON_SENSITIVITY", "1"},
            {"AIX_CAR_SENSITIVITY", "2"},
            {"AIX_LINE_ENABLE1", "true"},
            {"AIX_LINE_COUNT_RESET_ALL", "true"},
            {"AIX_REGION_POSITION1", figureJson({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}, true)}});
    releaseAgent();

    ASSERT_TRUE(waitUntilDestroyed());
    EXPECT_EQ(14u, answeredWhenDestroyed->load()) << "1 + 1 + 2 + 8 + 2 writes, all answered";
}

TEST_F(SettingsFaults, CalibrationAndHighlightThatAreNoWholeNumbersKeepTheirValues) {
    start({"TS_CALIBRATION", "HL_DURATION"});
    change({{"TS_CALIBRATION", "-3"}, {"HL_DURATION", "30"}});
    settle();
    ASSERT_EQ(-150000, agent().timestampOffset());

    for (const char* bad : {"", "fast", " \t", "99999999999", "50000", "-42950", "+-1"}) {
        change({{"TS_CALIBRATION", bad}});
        settle();
        EXPECT_EQ(-150000, agent().timestampOffset()) << '"' << bad << '"';
    }
    for (const char* bad : {"", "long", "2147483648", "-99999999999"}) {
        change({{"HL_DURATION", bad}});
        settle();
        EXPECT_EQ(30, agent().highlightDuration()) << '"' << bad << '"';
    }

    // Read as the standard conversion reads: leading blanks, a sign, digits up to the first other.
    change({{"TS_CALIBRATION", " +7 steps"}, {"HL_DURATION", "2147483647"}});
    settle();
    EXPECT_EQ(350000, agent().timestampOffset());
    EXPECT_EQ(2147483647, agent().highlightDuration());
    EXPECT_TRUE(camera->requests().empty());
}

TEST_F(SettingsFaults, ActiveCalibrationThatIsNoWholeNumberKeepsTheOffset) {
    turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", "2"}});
    ASSERT_EQ(100000, agent().timestampOffset());

    for (const char* bad : {"", "later", "99999999999", "50000", "-50000"})
        turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", bad}});

    EXPECT_EQ(100000, agent().timestampOffset());
}

TEST_F(SettingsFaults, FullReadbackIgnoresCalibrationAndHighlightThatAreNoWholeNumbers) {
    const Answer answer = adopt({{"TS_CALIBRATION", "fast"},
                                 {"HL_DURATION", "99999999999"},
                                 {"AIX_PERSON_SENSITIVITY", "0"}});

    EXPECT_EQ((Values{{"AIX_PERSON_SENSITIVITY", "0"}}), answer.values);
    EXPECT_EQ(0, agent().timestampOffset());
    EXPECT_EQ(5, agent().highlightDuration());
}

TEST_F(SettingsFaults, HostileFigureValuesAreClearedOrSentWithTheirUsablePoints) {
    start({"AIX_REGION_POSITION1", "AIX_EXCLUDE_REGION_POSITION2", "AIX_LINE_POSITION3"});
    const std::string cleared = "cleared";
    const std::string empty = "AIX_LINE_POSITION22=";
    // Each value with what the line slot receives after its display write.
    const std::vector<std::pair<std::string, std::string>> values{
        {"", cleared},
        {"null", cleared},
        {"42", cleared},
        {"\"figure\"", cleared},
        {"[{\"figure\":{}}]", cleared},
        {"{\"figure\":42}", cleared},
        {"{\"figure\":[[0.1,0.1],[0.2,0.2]]}", cleared},
        {"{\"figure\":\"0.1,0.1\"}", cleared},
        {"{\"points\":[[0.1,0.1],[0.2,0.2]]}", cleared},
        {"{\"figure\":{\"points\":[[0.1,0.1],[0.2,0.2]]", cleared},
        {"{\"figure\":" + deeplyNested(kDeepNesting) + "}", cleared},
        {"{\"figure\":{\"points\":[[0.1,0.1]],\"direction\":\"\xff\xfe\"}}", cleared},
        {"\xc3\x28{\"figure\":{}}", cleared},
        {"{\"figure\":{\"points\":\"0.1,0.1\"}}", empty},
        {"{\"figure\":{\"points\":{\"x\":0.1,\"y\":0.1}}}", empty},
        {"{\"figure\":{\"points\":[1,2,3]}}", empty},
        {"{\"figure\":{\"points\":[[\"a\",\"b\"],[null,1],[true,false],[{},[]]]}}", empty},
        {"{\"figure\":{\"points\":[[1e308,1e308],[-1e308,0.5],[9223372036854775807,0]]}}", empty},
        {"{\"figure\":{\"points\":[[1" + std::string(400, '0') + ",0.5]]}}", cleared},
        {"{\"figure\":{\"points\":" + deeplyNested(kDeepNesting) + "}}", empty},
        {"{\"figure\":{\"points\":[[0.1,0.2,0.7],[0.3],[0.4,0.5]],\"direction\":42},"
         "\"showOnCamera\":\"yes\",\"label\":[1],\"extra\":{\"deep\":[[[]]]}}",
         "AIX_LINE_POSITION22=100,200,400,500"},
    };
    const auto ofKind = [](const Texts& texts, const std::string& prefix) {
        Texts kind;
        for (const std::string& text : texts) {
            if (text.rfind(prefix, 0) == 0)
                kind.push_back(text);
        }
        return kind;
    };
    for (const auto& [value, lineGets] : values) {
        SCOPED_TRACE(value.substr(0, 80));
        camera->clearRequests();
        change({{"AIX_REGION_POSITION1", value},
                {"AIX_EXCLUDE_REGION_POSITION2", value},
                {"AIX_LINE_POSITION3", value}});
        settle();
        const Texts written = writeTexts();

        const Texts line = ofKind(written, "AIX_LINE_");
        ASSERT_EQ(2u, line.size());
        EXPECT_EQ("AIX_LINE_DISPLAY_ENABLE2=0", line[0]);
        EXPECT_EQ(lineGets == cleared ? "AIX_LINE_CLEAR2=0" : lineGets, line[1]);
        const Texts region = ofKind(written, "AIX_REGION_");
        ASSERT_EQ(2u, region.size());
        EXPECT_EQ(lineGets == cleared, region[1] == "AIX_REGION_CLEAR0=0") << region[1];
        EXPECT_EQ(2u, ofKind(written, "AIX_EXCLUDE_REGION_").size());
    }

    // Still at work.
    EXPECT_EQ((Texts{"AIX_LINE_DISPLAY_ENABLE2=1", "AIX_LINE_POSITION22=100,100,900,900"}),
              writesOf("AIX_LINE_POSITION3", figureJson({{0.1, 0.1}, {0.9, 0.9}}, true)));
}

TEST_F(SettingsFaults, HostileObjectSizeValuesSendNothingOrLimitedSizes) {
    start({"AIX_OBJECT_DETECTION_SIZE"});
    pushVideo(1920, 1080);
    const std::string positions = "\"positions\":[[0.1,0.1],[0.9,0.9]]";
    for (const std::string& value : std::vector<std::string>{
             "", "null", "[]", "{}", "\xff\xfe", deeplyNested(kDeepNesting),
             "{\"minimum\":\"small\",\"maximum\":[1,1]," + positions + "}",
             "{\"minimum\":[0.1],\"maximum\":[1,1]," + positions + "}",
             "{\"minimum\":[0.1,0.1],\"maximum\":[1,1]}",
             "{\"minimum\":[0.1,0.1],\"maximum\":[1,1],\"positions\":[[0.1,0.1]]}",
             "{\"minimum\":[0.1,0.1],\"maximum\":[1,1],\"positions\":[[0.1,0.1],[\"a\",0.9]]}",
             "{\"minimum\":[1e308,0.1],\"maximum\":[1,1]," + positions + "}",
             "{\"minimum\":[0.1,0.1],\"maximum\":[1,1],\"positions\":[[1e10,0.1],[0.9,0.9]]}",
             "{\"minimum\":[0.1,0.1],\"maximum\":[1,1],\"positions\":" + deeplyNested(1000) +
                 "}"}) {
        EXPECT_TRUE(writesOf("AIX_OBJECT_DETECTION_SIZE", value).empty()) << value.substr(0, 80);
    }

    EXPECT_EQ(
        (Texts{"AIX_OBJECT_DETECTION_SIZE=-192,108,12,12,1728,972,1920,1080"}),
        writesOf("AIX_OBJECT_DETECTION_SIZE",
                 "{\"minimum\":[-1,0.0001,7],\"maximum\":[100,1.5],\"positions\":[[-0.1,0.1,5],"
                 "[0.9,0.9]],\"label\":\"x\",\"extra\":[{}]}"))
        << "sizes are held between 12 pixels and the frame; positions are not";
}

TEST_F(SettingsFaults, CameraValuesThatDoNotConvertCostOnlyTheirOwnSettings) {
    camera->parameters().reportInParts("AIX_REGION_CURRENT_POSITION0", {"abc,def"});
    camera->parameters().reportInParts("AIX_LINE_CURRENT_POSITION0", {"1,2,3", "4,5,6,7"});
    camera->parameters().reportInParts("AIX_LINE_CURRENT_POSITION1", {"x,y,z,w"});
    camera->parameters().reportInParts("AIX_EXCLUDE_REGION_CURRENT_POSITION0",
                                       {"100,100,200,200", "300,300,400,400"});
    camera->parameters().set("AIX_LINE_COUNTOSD_STRING0", "\xff\xfe Gate");
    camera->parameters().set("AIX_OBJECT_DETECTION_SIZE", "inf,0,12,12,1e50,0,1920,1080");
    camera->parameters().set("AIX_TAMPERING_ENABLE", "");

    const Answer answer = adopt(defaultsOf(
        {"AIX_REGION_POSITION1", "AIX_LINE_POSITION1", "AIX_LINE_POSITION2",
         "AIX_EXCLUDE_REGION_POSITION1", "AIX_LINE_COUNTOSD_STRING1", "AIX_OBJECT_DETECTION_SIZE",
         "AIX_TAMPERING_ENABLE", "AIX_PERSON_SENSITIVITY"}));

    EXPECT_EQ(ErrorCode::noError, answer.code);
    EXPECT_EQ(0u, answer.values.count("AIX_REGION_POSITION1"));
    EXPECT_EQ(0u, answer.values.count("AIX_LINE_POSITION2"));
    EXPECT_EQ(0u, answer.values.count("AIX_OBJECT_DETECTION_SIZE"));
    EXPECT_EQ(0u, answer.values.count("AIX_TAMPERING_ENABLE"));
    // Segments of fewer than four numbers and regions that cannot be joined read as empty.
    EXPECT_EQ("{\"figure\":null,\"label\":\"\",\"showOnCamera\":false}",
              answer.values.at("AIX_LINE_POSITION1"));
    EXPECT_EQ("{\"figure\":null,\"label\":\"\",\"showOnCamera\":false}",
              answer.values.at("AIX_EXCLUDE_REGION_POSITION1"));
    EXPECT_EQ("\xff\xfe Gate", answer.values.at("AIX_LINE_COUNTOSD_STRING1"));
    EXPECT_EQ("0", answer.values.at("AIX_PERSON_SENSITIVITY"));

    const Answer figures = pluginSide();
    EXPECT_EQ(0u, figures.values.count("AIX_REGION_POSITION1"));
    EXPECT_EQ(0u, figures.values.count("AIX_LINE_POSITION2"));
    EXPECT_EQ("{\"figure\":{\"points\":[]},\"showOnCamera\":false}",
              figures.values.at("AIX_LINE_POSITION1"))
        << "the figure readback keeps a shape it could not rebuild, without points";
    // The enable of a slot is read before its points, so it is reported even for the two lost.
    EXPECT_EQ(26u, figures.values.size()) << "22 slots and 4 enable checkboxes";
    EXPECT_EQ("false", figures.values.at("AIX_REGION_ENABLE1"));
}

TEST_F(SettingsFaults, RefusingCameraCostsTheValuesButNeverTheCall) {
    camera->addFault(Fault(Fault::Kind::wrongCredentials));
    const Values settings =
        defaultsOf({"AIX_PERSON_SENSITIVITY", "AIX_REGION_POSITION1", "AIX_LINE_POSITION1",
                    "AIX_OBJECT_DETECTION_SIZE", "AIX_TAMPERING_ENABLE"});

    Answer answer = adopt(settings);
    EXPECT_EQ(ErrorCode::noError, answer.code);
    EXPECT_TRUE(answer.hasResponse);
    EXPECT_TRUE(answer.values.empty());

    answer =
        change({{"AIX_PERSON_SENSITIVITY", "3"},
                {"AIX_REGION_POSITION1", figureJson({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}, true)}});
    settle();
    EXPECT_EQ(ErrorCode::noError, answer.code);
    EXPECT_EQ("0", camera->parameters().read("AIX_PERSON_SENSITIVITY"));
    EXPECT_TRUE(pluginSide().values.empty());
}

TEST_F(SettingsFaults, ResetConnectionsAndEndlessRepliesCostOnlyTheirRequests) {
    start({"AIX_PERSON_SENSITIVITY", "AIX_CAR_SENSITIVITY", "AIX_BICYCLE_SENSITIVITY"});
    camera->addFault(Fault(Fault::Kind::reset, "AIX_PERSON_SENSITIVITY"));
    camera->addFault(Fault(Fault::Kind::endlessBody, "AIX_CAR_SENSITIVITY"));

    const Answer answer = change({{"AIX_PERSON_SENSITIVITY", "1"},
                                  {"AIX_CAR_SENSITIVITY", "2"},
                                  {"AIX_BICYCLE_SENSITIVITY", "3"}});
    settle();
    EXPECT_EQ(ErrorCode::noError, answer.code);
    EXPECT_EQ("3", camera->parameters().read("AIX_BICYCLE_SENSITIVITY"));

    pushVideo(1920, 1080);
    EXPECT_EQ((Values{{"AIX_BICYCLE_SENSITIVITY", "3"}}), pluginSide().values);
}

TEST(SettingsWithoutCameraAddress, EveryRequestFailsQuietly) {
    silenceAgentLog();
    const auto deviceInfo =
        qo::sdk::makePtr<FakeDeviceInfo>("http://camera.invalid/onvif", "admin", "admin");
    const Ptr<DeviceAgent> agent(new DeviceAgent(deviceInfo.get()));
    ASSERT_EQ("", agent->cameraAddress());
    const auto first = qo::sdk::makePtr<qo::sdk::StringMap>(
        defaultsOf({"AIX_PERSON_SENSITIVITY", "AIX_REGION_POSITION1", "AIX_LINE_COUNT_RESET1"}));
    qo::sdk::Result<const qo::sdk::ISettingsResponse*> result;

    agent->doSetSettings(&result, first.get());
    ASSERT_TRUE(result.value);
    const Ptr<qo::sdk::IStringMap> values(result.value->getValues());
    ASSERT_TRUE(values);
    EXPECT_EQ(1, values->count()) << "only the reset, which needs no camera";
    result.value->releaseRef();

    const auto second =
        qo::sdk::makePtr<qo::sdk::StringMap>(Values{{"AIX_PERSON_SENSITIVITY", "3"},
                                                    {"AIX_REGION_POSITION1", "{\"figure\":null}"},
                                                    {"AIX_LINE_COUNT_RESET1", "false"}});
    qo::sdk::Result<const qo::sdk::ISettingsResponse*> changed;
    agent->doSetSettings(&changed, second.get());
    EXPECT_EQ(ErrorCode::noError, changed.error.errorCode);
    if (changed.value)
        changed.value->releaseRef();
    EXPECT_TRUE(eventually([&] { return agent->refCountThreadUnsafe() == 1; }));
}

}  // namespace
}  // namespace settings_test
