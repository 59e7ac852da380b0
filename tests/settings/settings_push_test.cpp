// Settings changed in the dialog, as the camera receives them: which values are written, under
// which camera names, in which form and order, and what the dialog is told to show instead.
#include <gtest/gtest.h>

#include <algorithm>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using lumo_camera::Fault;
using qo::sdk::ErrorCode;

Values resetsOff() {
    Values values{{"AIX_LINE_COUNT_RESET_ALL", "false"}};
    for (int n = 1; n <= 8; ++n)
        values["AIX_LINE_COUNT_RESET" + std::to_string(n)] = "false";
    return values;
}

std::vector<std::string> sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

class SettingsPush : public SettingsRoadTest {
protected:
    SettingsPush() : SettingsRoadTest(31) {}

    /** The first settings, then a clean request log. */
    void start(const std::vector<std::string>& names) {
        adopt(defaultsOf(names));
        settle();
        camera->clearRequests();
    }

    /** A change whose writes have all ended. */
    Answer changeAndSettle(const Values& changes) {
        const Answer answer = change(changes);
        settle();
        return answer;
    }

    std::string cameraValue(const std::string& name) {
        return camera->parameters().read(name).value_or("<unknown>");
    }
};

TEST_F(SettingsPush, FirstSettingsAreAdoptedAndAnsweredFromTheCameraWithoutWrites) {
    camera->parameters().set("AIX_PERSON_SENSITIVITY", "2");
    const Answer answer =
        adopt(defaultsOf({"AIX_PERSON_SENSITIVITY", "AIX_TAMPERING_ENABLE", "HL_DURATION"}));
    settle();

    EXPECT_EQ(ErrorCode::noError, answer.code);
    ASSERT_TRUE(answer.hasResponse);
    EXPECT_EQ((Values{{"AIX_PERSON_SENSITIVITY", "2"}, {"AIX_TAMPERING_ENABLE", "true"}}),
              answer.values);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(1u, readsOf("AIX_PERSON_SENSITIVITY"));
    EXPECT_FALSE(agent().isSettingsRefreshNeeded()) << "the readback that answered clears it";
    const Values known = agent().knownSettingsCopy();
    EXPECT_EQ("2", known.at("AIX_PERSON_SENSITIVITY"));
    EXPECT_EQ("5", known.at("HL_DURATION"));
}

TEST_F(SettingsPush, ChangedValueIsOneWriteAndTheAnswerShowsOnlyTheResetsOff) {
    start({"AIX_PERSON_SENSITIVITY", "AIX_CAR_SENSITIVITY"});

    const Answer answer = changeAndSettle({{"AIX_PERSON_SENSITIVITY", "2"}});

    EXPECT_EQ(ErrorCode::noError, answer.code);
    EXPECT_EQ(resetsOff(), answer.values);
    const auto written = writes();
    ASSERT_EQ(1u, written.size());
    EXPECT_EQ("/httpapi/WriteParam?action=writeparam&AIX_PERSON_SENSITIVITY=2&", written[0].uri);
    EXPECT_EQ(200u, written[0].status);
    EXPECT_TRUE(reads().empty());
    EXPECT_EQ("2", cameraValue("AIX_PERSON_SENSITIVITY"));
    EXPECT_EQ("2", agent().knownSettingsCopy().at("AIX_PERSON_SENSITIVITY"));
}

TEST_F(SettingsPush, UnchangedValuesAreNotWrittenAgain) {
    start({"AIX_PERSON_SENSITIVITY", "AIX_CAR_SENSITIVITY"});
    changeAndSettle({{"AIX_PERSON_SENSITIVITY", "2"}});
    camera->clearRequests();

    const Answer answer = changeAndSettle({});

    EXPECT_EQ(resetsOff(), answer.values);
    EXPECT_TRUE(camera->requests().empty());
}

TEST_F(SettingsPush, BooleansAreWrittenAsOneAndZeroUnderTheCameraSlot) {
    start({"AIX_REGION_ENABLE3", "AIX_LINE_PERSON_ENABLE8", "AIX_TAMPERING_ENABLE"});

    changeAndSettle({{"AIX_REGION_ENABLE3", "true"},
                     {"AIX_LINE_PERSON_ENABLE8", "true"},
                     {"AIX_TAMPERING_ENABLE", "false"}});

    EXPECT_EQ(
        sorted({"AIX_LINE_PERSON_ENABLE7=1", "AIX_REGION_ENABLE2=1", "AIX_TAMPERING_ENABLE=0"}),
        sorted(writeTexts()));
    EXPECT_EQ("1", cameraValue("AIX_REGION_ENABLE2"));
    EXPECT_EQ("0", cameraValue("AIX_REGION_ENABLE3")) << "the dialog's third region is slot 2";
}

TEST_F(SettingsPush, DisplayTypeIsWrittenAsZeroOrOneAndSetsTheClassSwitch) {
    start({"AIX_CAR_DISPLAY_TYPE", "AIX_PERSON_DISPLAY_TYPE"});

    changeAndSettle({{"AIX_CAR_DISPLAY_TYPE", "0"}, {"AIX_PERSON_DISPLAY_TYPE", "2"}});
    EXPECT_EQ(sorted({"AIX_CAR_DISPLAY_TYPE=0", "AIX_PERSON_DISPLAY_TYPE=1"}),
              sorted(writeTexts()));

    // The switch shows in the next full readback: with cars switched off, the camera's "1" is
    // news and is reported; persons are still on, so their "1" is not.
    camera->parameters().set("AIX_CAR_DISPLAY_TYPE", "1");
    pushVideo(1920, 1080);
    Answer answer = pluginSide();
    EXPECT_EQ("1", answer.values.at("AIX_CAR_DISPLAY_TYPE"));
    EXPECT_EQ(0u, answer.values.count("AIX_PERSON_DISPLAY_TYPE"));

    pushVideo(1280, 720);
    answer = pluginSide();
    EXPECT_EQ(0u, answer.values.count("AIX_CAR_DISPLAY_TYPE")) << "cars are shown again";
}

TEST_F(SettingsPush, RegionTypeIsWrittenAsTheCameraNumber) {
    start({"AIX_EXCLUDE_REGION_TYPE4", "AIX_EXCLUDE_REGION_TYPE5"});
    EXPECT_EQ("Region", dialog.at("AIX_EXCLUDE_REGION_TYPE4"));

    changeAndSettle({{"AIX_EXCLUDE_REGION_TYPE4", "Spot"}});
    changeAndSettle({{"AIX_EXCLUDE_REGION_TYPE4", "Region"}});
    changeAndSettle({{"AIX_EXCLUDE_REGION_TYPE5", "Circle"}});

    EXPECT_EQ((std::vector<std::string>{"AIX_EXCLUDE_REGION_TYPE3=1", "AIX_EXCLUDE_REGION_TYPE3=0",
                                        "AIX_EXCLUDE_REGION_TYPE4=Circle"}),
              writeTexts());
}

TEST_F(SettingsPush, LineResetIsMomentary) {
    start({"AIX_LINE_COUNT_RESET3"});

    Answer answer = changeAndSettle({{"AIX_LINE_COUNT_RESET3", "true"}});
    EXPECT_EQ("false", answer.values.at("AIX_LINE_COUNT_RESET3"));
    EXPECT_EQ("false", dialog.at("AIX_LINE_COUNT_RESET3"));

    answer = changeAndSettle({{"AIX_LINE_COUNT_RESET3", "pressed"}});
    EXPECT_EQ("false", answer.values.at("AIX_LINE_COUNT_RESET3"));

    EXPECT_EQ((std::vector<std::string>{"AIX_LINE_COUNT_RESET2=1", "AIX_LINE_COUNT_RESET2=0"}),
              writeTexts());
}

TEST_F(SettingsPush, ResetOfAllLinesWritesTheEightResetsInOrder) {
    start({"AIX_LINE_COUNT_RESET_ALL"});
    std::vector<std::string> eight;
    for (int i = 0; i < 8; ++i)
        eight.push_back("AIX_LINE_COUNT_RESET" + std::to_string(i) + "=0");

    Answer answer = changeAndSettle({{"AIX_LINE_COUNT_RESET_ALL", "true"}});
    EXPECT_EQ("false", answer.values.at("AIX_LINE_COUNT_RESET_ALL"));
    EXPECT_EQ(eight, writeTexts());

    camera->clearRequests();
    answer = changeAndSettle({{"AIX_LINE_COUNT_RESET_ALL", "now"}});
    EXPECT_EQ(eight, writeTexts()) << "whatever the value";
}

TEST_F(SettingsPush, EnablingALineEnablesItsCountingFirst) {
    start({"AIX_LINE_ENABLE1", "AIX_LINE_ENABLE8"});

    changeAndSettle({{"AIX_LINE_ENABLE1", "true"}});
    EXPECT_EQ((std::vector<std::string>{"AIX_LINE_COUNT_ENABLE0=1", "AIX_LINE_ENABLE0=1"}),
              writeTexts());

    camera->clearRequests();
    changeAndSettle({{"AIX_LINE_ENABLE8", "true"}});
    EXPECT_EQ((std::vector<std::string>{"AIX_LINE_COUNT_ENABLE7=1", "AIX_LINE_ENABLE7=1"}),
              writeTexts());

    camera->clearRequests();
    changeAndSettle({{"AIX_LINE_ENABLE1", "false"}});
    EXPECT_EQ((std::vector<std::string>{"AIX_LINE_COUNT_ENABLE0=0", "AIX_LINE_ENABLE0=0"}),
              writeTexts());
}

TEST_F(SettingsPush, EnablingDetectionEndsTheWalkAndTheRestFollowsNextTime) {
    camera->parameters().set("AIX_OBJECT_DETECTION_ENABLE", "0");
    start({"AIX_CAR_SENSITIVITY", "AIX_OBJECT_DETECTION_ENABLE", "AIX_PERSON_SENSITIVITY"});
    ASSERT_EQ("false", dialog.at("AIX_OBJECT_DETECTION_ENABLE"));

    // Names sort CAR < OBJECT < PERSON.
    const Answer answer = changeAndSettle({{"AIX_CAR_SENSITIVITY", "2"},
                                           {"AIX_OBJECT_DETECTION_ENABLE", "true"},
                                           {"AIX_PERSON_SENSITIVITY", "3"}});
    EXPECT_EQ(sorted({"AIX_CAR_SENSITIVITY=2", "AIX_OBJECT_DETECTION_ENABLE=1"}),
              sorted(writeTexts()));
    Values expected = resetsOff();
    expected["AIX_OBJECT_DETECTION_ENABLE"] = "false";
    EXPECT_EQ(expected, answer.values);
    EXPECT_EQ("false", agent().knownSettingsCopy().at("AIX_OBJECT_DETECTION_ENABLE"));

    camera->clearRequests();
    changeAndSettle({});
    EXPECT_EQ((std::vector<std::string>{"AIX_PERSON_SENSITIVITY=3"}), writeTexts());
}

TEST_F(SettingsPush, TextValuesArePercentEncodedAndCannotAddParameters) {
    start({"AIX_LINE_COUNTOSD_STRING2", "AIX_TAMPERING_ENABLE"});
    EXPECT_EQ("%L2%", dialog.at("AIX_LINE_COUNTOSD_STRING2"));

    changeAndSettle({{"AIX_LINE_COUNTOSD_STRING2", "Gate A/B: %L2% \xc3\xa9"}});
    changeAndSettle({{"AIX_LINE_COUNTOSD_STRING2", "x&AIX_TAMPERING_ENABLE=0"}});

    const auto written = writes();
    ASSERT_EQ(2u, written.size());
    EXPECT_EQ(
        "/httpapi/WriteParam?action=writeparam&"
        "AIX_LINE_COUNTOSD_STRING1=Gate%20A%2fB%3a%20%25L2%25%20%c3%a9&",
        written[0].uri);
    EXPECT_EQ("Gate A/B: %L2% \xc3\xa9", written[0].value);
    EXPECT_EQ("x&AIX_TAMPERING_ENABLE=0", written[1].value);
    EXPECT_EQ("1", cameraValue("AIX_TAMPERING_ENABLE"));
}

TEST_F(SettingsPush, CalibrationAndHighlightStayInThePluginWithoutHoldOff) {
    start({"TS_CALIBRATION", "HL_DURATION"});
    pushVideo(1920, 1080);
    ASSERT_TRUE(agent().isSettingsRefreshNeeded());

    changeAndSettle({{"TS_CALIBRATION", "-3"}, {"HL_DURATION", "30"}});

    EXPECT_EQ(-150000, agent().timestampOffset());
    EXPECT_EQ(30, agent().highlightDuration());
    EXPECT_TRUE(camera->requests().empty());
    EXPECT_TRUE(agent().isSettingsRefreshNeeded()) << "no hold-off window was opened";
}

TEST_F(SettingsPush, OtherPluginNamesAreNotWrittenButOpenTheHoldOff) {
    start({"AIX_PERSON_SENSITIVITY"});
    pushVideo(1920, 1080);
    ASSERT_TRUE(agent().isSettingsRefreshNeeded());

    changeAndSettle({{"VENDOR_NOTE", "lobby"}});

    EXPECT_TRUE(camera->requests().empty());
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    EXPECT_EQ("lobby", agent().knownSettingsCopy().at("VENDOR_NOTE"));
}

TEST_F(SettingsPush, NewNameWithEmptyValueIsRecordedWithoutWrite) {
    start({"AIX_PERSON_SENSITIVITY"});

    changeAndSettle({{"AIX_FUTURE_OPTION", ""}});

    EXPECT_TRUE(camera->requests().empty());
    EXPECT_EQ("", agent().knownSettingsCopy().at("AIX_FUTURE_OPTION"));
}

TEST_F(SettingsPush, SeveralChangesAreWrittenSideBySide) {
    start({"AIX_PERSON_SENSITIVITY", "AIX_BICYCLE_SENSITIVITY", "AIX_CAR_SENSITIVITY",
           "AIX_TAMPERING_DURATION", "AIX_LINE_DAILYRESET_HOUR"});

    changeAndSettle({{"AIX_PERSON_SENSITIVITY", "1"},
                     {"AIX_BICYCLE_SENSITIVITY", "2"},
                     {"AIX_CAR_SENSITIVITY", "3"},
                     {"AIX_TAMPERING_DURATION", "10"},
                     {"AIX_LINE_DAILYRESET_HOUR", "23"}});

    EXPECT_EQ(
        sorted({"AIX_BICYCLE_SENSITIVITY=2", "AIX_CAR_SENSITIVITY=3", "AIX_LINE_DAILYRESET_HOUR=23",
                "AIX_PERSON_SENSITIVITY=1", "AIX_TAMPERING_DURATION=10"}),
        sorted(writeTexts()));
}

TEST_F(SettingsPush, RefusedWriteIsNeitherReportedNorRepeated) {
    start({"AIX_TAMPERING_SENSITIVITY"});
    camera->addFault(Fault(Fault::Kind::wrongCredentials, "AIX_TAMPERING_SENSITIVITY", 1));

    const Answer answer = changeAndSettle({{"AIX_TAMPERING_SENSITIVITY", "2"}});
    EXPECT_EQ(ErrorCode::noError, answer.code);
    EXPECT_EQ("1", cameraValue("AIX_TAMPERING_SENSITIVITY"));
    EXPECT_EQ("2", agent().knownSettingsCopy().at("AIX_TAMPERING_SENSITIVITY"));

    camera->clearRequests();
    changeAndSettle({});
    EXPECT_TRUE(camera->requests().empty());

    changeAndSettle({{"AIX_TAMPERING_SENSITIVITY", "0"}});
    EXPECT_EQ((std::vector<std::string>{"AIX_TAMPERING_SENSITIVITY=0"}), writeTexts());
}

TEST_F(SettingsPush, LaterWriteNeitherExtendsNorClosesAnOpenWindow) {
    start({"AIX_PERSON_SENSITIVITY"});
    agent().setSettingsWriteHold(true);  // A window opened by an earlier write.
    pushVideo(1920, 1080);

    changeAndSettle({{"AIX_PERSON_SENSITIVITY", "1"}});

    EXPECT_EQ((std::vector<std::string>{"AIX_PERSON_SENSITIVITY=1"}), writeTexts());
    EXPECT_TRUE(agent().isSettingsWriteHold()) << "only the window's own thread closes it";
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    agent().setSettingsWriteHold(false);
}

// The hold-off window at a length the test can watch.
class HoldOffWindow : public SettingsRoadTest {
protected:
    HoldOffWindow() : SettingsRoadTest(32, /*holdOffMs*/ 1500) {}

    void openWindow() {
        adopt(defaultsOf({"AIX_PERSON_SENSITIVITY"}));
        change({{"AIX_PERSON_SENSITIVITY", "3"}});
        ASSERT_TRUE(eventually([this] { return agent().isSettingsWriteHold(); }));
    }
};

TEST_F(HoldOffWindow, FullReadbackInsideTheWindowAnswersNothingAndFiguresFollow) {
    openWindow();
    pushVideo(1920, 1080);
    ASSERT_TRUE(agent().isSettingsRefreshNeeded());
    camera->clearRequests();

    const Answer inWindow = pluginSide();
    EXPECT_EQ(ErrorCode::noError, inWindow.code);
    EXPECT_FALSE(inWindow.hasResponse);
    EXPECT_FALSE(agent().isSettingsRefreshNeeded()) << "cleared all the same";
    EXPECT_EQ(0u, readsOf("AIX_PERSON_SENSITIVITY"));

    const Answer next = pluginSide();
    ASSERT_TRUE(next.hasResponse);
    EXPECT_EQ(24u, next.values.size()) << "the figure readback";
    EXPECT_EQ("{\"figure\":null}", next.values.at("AIX_LINE_POSITION8"));

    ASSERT_TRUE(eventually([this] { return !agent().isSettingsWriteHold(); }));
    pushVideo(1280, 720);
    EXPECT_EQ("3", pluginSide().values.at("AIX_PERSON_SENSITIVITY")) << "the window is over";
}

TEST_F(HoldOffWindow, CameraReportsOfChangedSettingsInsideTheWindowAskForNoReadback) {
    const std::string report = sampleDocument("event-ai-settings-changed.xml");
    openWindow();

    pushDocument(report);
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());

    ASSERT_TRUE(eventually([this] { return !agent().isSettingsWriteHold(); }));
    pushDocument(report);
    EXPECT_TRUE(agent().isSettingsRefreshNeeded());
}

}  // namespace
}  // namespace settings_test
