// Settings changed in the dialog as the camera receives them: names, forms, order, what the dialog
// shows instead, and the hold-off window that every write opens.
#include <gtest/gtest.h>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

// One after another, each from the dialog as the changes before left it: setting, value, and the
// writes the camera receives, in order.
const char* const kChanges[][3] = {
    {"AIX_PERSON_SENSITIVITY", "2", "AIX_PERSON_SENSITIVITY=2"},
    {"AIX_PERSON_SENSITIVITY", "2", ""},
    {"AIX_REGION_ENABLE3", "true", "AIX_REGION_ENABLE2=1"},
    {"AIX_CAR_DISPLAY_TYPE", "0", "AIX_CAR_DISPLAY_TYPE=0"},
    {"AIX_PERSON_DISPLAY_TYPE", "2", "AIX_PERSON_DISPLAY_TYPE=1"},
    {"AIX_EXCLUDE_REGION_TYPE4", "Spot", "AIX_EXCLUDE_REGION_TYPE3=1"},
    // Resets are momentary: the dialog shows them off again, so every press is a change.
    {"AIX_LINE_COUNT_RESET3", "true", "AIX_LINE_COUNT_RESET2=1"},
    {"AIX_LINE_COUNT_RESET_ALL", "true",
     "AIX_LINE_COUNT_RESET0=0 AIX_LINE_COUNT_RESET1=0 AIX_LINE_COUNT_RESET2=0 "
     "AIX_LINE_COUNT_RESET3=0 AIX_LINE_COUNT_RESET4=0 AIX_LINE_COUNT_RESET5=0 "
     "AIX_LINE_COUNT_RESET6=0 AIX_LINE_COUNT_RESET7=0"},
    {"AIX_LINE_ENABLE1", "true", "AIX_LINE_COUNT_ENABLE0=1 AIX_LINE_ENABLE0=1"},
    {"AIX_LINE_COUNTOSD_STRING8", "A/B:%L2%+\xc3\xa9 ?#&AIX_TAMPERING_ENABLE=1",
     "AIX_LINE_COUNTOSD_STRING7=A/B:%L2%+\xc3\xa9 ?#&AIX_TAMPERING_ENABLE=1"},
    // Regions go clockwise, from the point nearest the top left when they had to be reversed.
    {"AIX_REGION_POSITION1",
     R"({"figure":{"points":[[0.1,0.1],[0.1,0.5],[0.5,0.5],[0.5,0.1]]},"showOnCamera":true})",
     "AIX_REGION_DISPLAY_ENABLE0=1 AIX_REGION_POSITION00=100,100,500,100,500,500,100,500"},
    {"AIX_REGION_POSITION3",
     R"({"figure":{"points":[[0.5,0.1],[0.5,0.5],[0.1,0.5],[0.1,0.1]]},"showOnCamera":1})",
     "AIX_REGION_DISPLAY_ENABLE2=0 AIX_REGION_POSITION22=500,100,500,500,100,500,100,100"},
    {"AIX_LINE_POSITION5",
     R"({"figure":{"points":[[0.5,0.6],[0.1,0.2]],"direction":"left"},"showOnCamera":false})",
     "AIX_LINE_DIRECTION4=1 AIX_LINE_DISPLAY_ENABLE4=0 AIX_LINE_POSITION44=500,600,100,200"},
    {"AIX_LINE_POSITION5",
     R"({"figure":{"points":[[0.1,0.1],[0.9,0.8]],"direction":"both"},"showOnCamera":true})",
     "AIX_LINE_DISPLAY_ENABLE4=1 AIX_LINE_POSITION44=100,100,900,800"},
    // A cleared figure: the display as shown, a clear, no direction.
    {"AIX_LINE_POSITION1", R"({"figure":null,"showOnCamera":true,"direction":"left"})",
     "AIX_LINE_DISPLAY_ENABLE0=1 AIX_LINE_CLEAR0=0"},
    // Points without two numbers are skipped; the frame's edge is a thousand.
    {"AIX_LINE_POSITION7",
     R"({"figure":{"points":[[0.5],[0.0005,0.9999],["a",0.2],[1.0,1.0]]},"showOnCamera":true})",
     "AIX_LINE_DISPLAY_ENABLE6=1 AIX_LINE_POSITION66=0,999,1000,1000"},
    // Object sizes in pixels of the frame, which a new height alone does not change.
    {"AIX_OBJECT_DETECTION_SIZE",
     R"({"minimum":[0.001,0.001],"maximum":[2.0,0.5],"positions":[[0.1,0.1],[0.9,0.9]]})",
     "AIX_OBJECT_DETECTION_SIZE=192,108,12,12,1728,972,1920,540"},
    {"AIX_REGION_POSITION&AIX_TAMPERING_ENABLE=1&X1",
     R"({"figure":{"points":[[0.5,0.1],[0.5,0.5],[0.1,0.5]]}})",
     "AIX_REGION_DISPLAY_ENABLE0=0 AIX_REGION_POSITION&AIX_TAMPERING_ENABLE=1&X00="
     "500,100,500,500,100,500"},
};

class SettingsPush : public SettingsRoadTest {
protected:
    SettingsPush() : SettingsRoadTest(31) {}
};

TEST_F(SettingsPush, ChangedValuesReachTheCameraInItsFormsAndOnlyOnce) {
    std::vector<std::string> settings;
    for (const auto& change : kChanges)
        settings.push_back(change[0]);
    start(settings);
    pushVideo(1920, 1080);
    pushVideo(1920, 540);

    for (const auto& [setting, value, writes] : kChanges) {
        SCOPED_TRACE(std::string(setting) + "=" + value);
        Answer answer;
        std::string written;
        for (const std::string& text : writesOf({{setting, value}}, &answer))
            written += (written.empty() ? "" : " ") + text;
        EXPECT_EQ(writes, written);
        EXPECT_EQ(resetsOff(), answer.values) << "the dialog shows only the resets off";
    }
}

TEST_F(SettingsPush, EnablingDetectionEndsTheWalkAndTheRestFollowsNextTime) {
    set("AIX_OBJECT_DETECTION_ENABLE", "0");
    start({"AIX_CAR_SENSITIVITY", "AIX_OBJECT_DETECTION_ENABLE", "AIX_PERSON_SENSITIVITY"});

    // Names sort CAR < OBJECT < PERSON.
    EXPECT_EQ((Texts{"AIX_CAR_SENSITIVITY=2", "AIX_OBJECT_DETECTION_ENABLE=1"}),
              writesOf({{"AIX_CAR_SENSITIVITY", "2"},
                        {"AIX_OBJECT_DETECTION_ENABLE", "true"},
                        {"AIX_PERSON_SENSITIVITY", "3"}}));
    EXPECT_EQ("false", dialog.at("AIX_OBJECT_DETECTION_ENABLE"));
    EXPECT_EQ("false", agent().knownSettingsCopy().at("AIX_OBJECT_DETECTION_ENABLE"));
    EXPECT_EQ(Texts{"AIX_PERSON_SENSITIVITY=3"}, writesOf({}));
}

// A write the camera does not take must not pass for applied: the server hears of it, once in a
// while at most.
class RefusedWrites : public SettingsRoadTest {
protected:
    RefusedWrites() : SettingsRoadTest(33) {}
    void TearDown() override {
        SettingsRoadTest::TearDown();
        qo::sdk::eraseUnitTestOption("writeFailureReportMs");
    }
};

TEST_F(RefusedWrites, EachCauseIsReportedAsAWarningNamingTheSettingAtMostOncePerInterval) {
    start({"AIX_PERSON_SENSITIVITY", "AIX_CAR_SENSITIVITY", "AIX_REGION_POSITION2"});
    EXPECT_EQ(Texts{"AIX_PERSON_SENSITIVITY=2"}, writesOf({{"AIX_PERSON_SENSITIVITY", "2"}}));
    EXPECT_TRUE(handler().takeEvents().empty()) << "a write the camera took";

    const std::string head = "warning: The camera did not take a setting: Writing ";
    const std::string tail = " The camera keeps its previous value.";
    camera->addFault(Fault(Fault::Kind::wrongCredentials));
    change({{"AIX_PERSON_SENSITIVITY", "3"}});
    settle();
    EXPECT_EQ(Texts{head + "AIX_PERSON_SENSITIVITY to the camera at " + ip() +
                    " failed: login refused (HTTP status 401)." + tail},
              handler().takeEvents());
    change({{"AIX_CAR_SENSITIVITY", "3"},
            {"AIX_REGION_POSITION2", R"({"figure":null,"showOnCamera":false})"}});
    settle();
    EXPECT_TRUE(handler().takeEvents().empty()) << "a dead camera must not flood the server";

    qo::sdk::setUnitTestOption("writeFailureReportMs", "0");
    camera->clearFaults();
    change({{"AIX_NO_SUCH_SETTING", "1"}});
    settle();
    EXPECT_EQ(Texts{head + "AIX_NO_SUCH_SETTING to the camera at " + ip() +
                    " failed: HTTP status 400." + tail},
              handler().takeEvents());
    camera->stop();
    change({{"AIX_CAR_SENSITIVITY", "4"}});
    settle();
    const Texts events = handler().takeEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(0u, events[0].find(head + "AIX_CAR_SENSITIVITY to the camera at " + ip() +
                                 " failed: no answer: "))
        << events[0];
}

// The window at a length the test can watch.
class HoldOffWindow : public SettingsRoadTest {
protected:
    HoldOffWindow() : SettingsRoadTest(32, /*holdOffMs*/ 1500) {}
};

TEST_F(HoldOffWindow, CameraWritesOpenItAndUntilItClosesReadbacksAndCameraReportsAreSuppressed) {
    const std::string report = sampleDocument("event-ai-settings-changed.xml");
    start({"TS_CALIBRATION", "HL_DURATION", "AIX_PERSON_SENSITIVITY"});
    pushVideo(1920, 1080);
    EXPECT_TRUE(writesOf({{"TS_CALIBRATION", "-3"}, {"HL_DURATION", "30"}}).empty());
    EXPECT_TRUE(agent().isSettingsRefreshNeeded()) << "calibration opens no window";

    change({{"AIX_PERSON_SENSITIVITY", "3"}});
    ASSERT_TRUE(eventually([this] { return agent().isSettingsWriteHold(); }));
    pushDocument(report);
    EXPECT_FALSE(agent().isSettingsRefreshNeeded()) << "the camera reports the plugin's own write";
    pushVideo(1280, 720);
    ASSERT_TRUE(agent().isSettingsRefreshNeeded());
    camera->clearRequests();
    const Answer inWindow = pluginSide();
    EXPECT_EQ(ErrorCode::noError, inWindow.code);
    EXPECT_FALSE(inWindow.hasResponse);
    EXPECT_FALSE(agent().isSettingsRefreshNeeded()) << "cleared all the same";
    EXPECT_EQ(0u, readsOf("AIX_PERSON_SENSITIVITY"));
    EXPECT_EQ(24u, pluginSide().values.size()) << "the figure readback follows";

    ASSERT_TRUE(eventually([this] { return !agent().isSettingsWriteHold(); }));
    pushDocument(report);
    EXPECT_TRUE(agent().isSettingsRefreshNeeded());
    EXPECT_EQ("3", pluginSide().values.at("AIX_PERSON_SENSITIVITY")) << "the window is over";
}

}  // namespace
}  // namespace settings_test
