// Settings changed in the dialog, as the camera receives them: which values are written, under
// which camera names, in which form and order, and what the dialog is told to show instead; and
// the hold-off window that every write opens.
#include <gtest/gtest.h>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

// A change of one value and the writes the camera receives for it, in order, blank-separated.
struct Change {
    std::string setting, value, writes;
};

const std::string kEightResets =
    "AIX_LINE_COUNT_RESET0=0 AIX_LINE_COUNT_RESET1=0 AIX_LINE_COUNT_RESET2=0 "
    "AIX_LINE_COUNT_RESET3=0 AIX_LINE_COUNT_RESET4=0 AIX_LINE_COUNT_RESET5=0 "
    "AIX_LINE_COUNT_RESET6=0 AIX_LINE_COUNT_RESET7=0";
const std::string kTriangle = R"({"figure":{"points":[[0.5,0.1],[0.5,0.5],[0.1,0.5]]})";

// One after another, each from the dialog as the changes before left it.
const Change kChanges[] = {
    {"AIX_PERSON_SENSITIVITY", "2", "AIX_PERSON_SENSITIVITY=2"},
    {"AIX_PERSON_SENSITIVITY", "2", ""},
    {"AIX_FUTURE_OPTION", "", ""},
    {"AIX_REGION_ENABLE3", "true", "AIX_REGION_ENABLE2=1"},
    {"AIX_TAMPERING_ENABLE", "false", "AIX_TAMPERING_ENABLE=0"},
    {"AIX_EXCLUDE_REGION_TYPE4", "Spot", "AIX_EXCLUDE_REGION_TYPE3=1"},
    {"AIX_EXCLUDE_REGION_TYPE4", "Region", "AIX_EXCLUDE_REGION_TYPE3=0"},
    {"AIX_EXCLUDE_REGION_TYPE5", "Circle", "AIX_EXCLUDE_REGION_TYPE4=Circle"},
    // Resets are momentary: the dialog shows them off again, so every press is a change.
    {"AIX_LINE_COUNT_RESET3", "true", "AIX_LINE_COUNT_RESET2=1"},
    {"AIX_LINE_COUNT_RESET3", "pressed", "AIX_LINE_COUNT_RESET2=0"},
    {"AIX_LINE_COUNT_RESET_ALL", "true", kEightResets},
    {"AIX_LINE_ENABLE1", "true", "AIX_LINE_COUNT_ENABLE0=1 AIX_LINE_ENABLE0=1"},
    {"AIX_LINE_ENABLE1", "false", "AIX_LINE_COUNT_ENABLE0=0 AIX_LINE_ENABLE0=0"},
    {"AIX_LINE_COUNTOSD_STRING8", "A/B:%L2%+\xc3\xa9 ?#&AIX_TAMPERING_ENABLE=1",
     "AIX_LINE_COUNTOSD_STRING7=A/B:%L2%+\xc3\xa9 ?#&AIX_TAMPERING_ENABLE=1"},
    // Regions go clockwise, from the point nearest the top left when they had to be reversed.
    {"AIX_REGION_POSITION1", figureJson({{0.1, 0.1}, {0.1, 0.5}, {0.5, 0.5}, {0.5, 0.1}}, true),
     "AIX_REGION_DISPLAY_ENABLE0=1 AIX_REGION_POSITION00=100,100,500,100,500,500,100,500"},
    {"AIX_REGION_POSITION3", figureJson({{0.5, 0.1}, {0.5, 0.5}, {0.1, 0.5}, {0.1, 0.1}}, false),
     "AIX_REGION_DISPLAY_ENABLE2=0 AIX_REGION_POSITION22=500,100,500,500,100,500,100,100"},
    {"AIX_EXCLUDE_REGION_POSITION8", figureJson({{0.2, 0.6}, {0.4, 0.9}, {0.6, 0.6}}, true),
     "AIX_EXCLUDE_REGION_DISPLAY_ENABLE7=1 AIX_EXCLUDE_REGION_POSITION77=200,600,600,600,400,900"},
    {"AIX_LINE_POSITION5", figureJson({{0.5, 0.6}, {0.1, 0.2}}, false, "left"),
     "AIX_LINE_DIRECTION4=1 AIX_LINE_DISPLAY_ENABLE4=0 AIX_LINE_POSITION44=500,600,100,200"},
    {"AIX_LINE_POSITION5", figureJson({{0.1, 0.1}, {0.9, 0.9}}, true, "right"),
     "AIX_LINE_DIRECTION4=0 AIX_LINE_DISPLAY_ENABLE4=1 AIX_LINE_POSITION44=100,100,900,900"},
    {"AIX_LINE_POSITION5", figureJson({{0.1, 0.1}, {0.9, 0.8}}, true, "both"),
     "AIX_LINE_DISPLAY_ENABLE4=1 AIX_LINE_POSITION44=100,100,900,800"},
    // A cleared figure: the display as shown, a clear, no direction.
    {"AIX_EXCLUDE_REGION_POSITION4", R"({"figure":null})",
     "AIX_EXCLUDE_REGION_DISPLAY_ENABLE3=0 AIX_EXCLUDE_REGION_CLEAR3=0"},
    {"AIX_LINE_POSITION1", R"({"figure":null,"showOnCamera":true,"direction":"left"})",
     "AIX_LINE_DISPLAY_ENABLE0=1 AIX_LINE_CLEAR0=0"},
    // The display is on only for a showOnCamera of true.
    {"AIX_REGION_POSITION2", kTriangle + R"(,"showOnCamera":1})",
     "AIX_REGION_DISPLAY_ENABLE1=0 AIX_REGION_POSITION11=500,100,500,500,100,500"},
    // Points without two numbers are skipped; the frame's edge is a thousand.
    {"AIX_LINE_POSITION7",
     R"({"figure":{"points":[[0.5],[0.0005,0.9999],["a",0.2],[1.0,1.0]]},"showOnCamera":true})",
     "AIX_LINE_DISPLAY_ENABLE6=1 AIX_LINE_POSITION66=0,999,1000,1000"},
    {"AIX_REGION_POSITION7", R"({"figure":{},"showOnCamera":true})",
     "AIX_REGION_DISPLAY_ENABLE6=1 AIX_REGION_POSITION66="},
    // Object sizes in pixels of the frame, which a new height alone does not change.
    {"AIX_OBJECT_DETECTION_SIZE",
     R"({"minimum":[0.001,0.001],"maximum":[2.0,0.5],"positions":[[0.1,0.1],[0.9,0.9]]})",
     "AIX_OBJECT_DETECTION_SIZE=192,108,12,12,1728,972,1920,540"},
    {"AIX_REGION_POSITION&AIX_TAMPERING_ENABLE=1&X1", kTriangle + "}",
     "AIX_REGION_DISPLAY_ENABLE0=0 AIX_REGION_POSITION&AIX_TAMPERING_ENABLE=1&X00="
     "500,100,500,500,100,500"},
};

class SettingsPush : public SettingsRoadTest {
protected:
    SettingsPush() : SettingsRoadTest(31) {}
};

TEST_F(SettingsPush, ChangedValuesReachTheCameraInItsFormsAndOnlyOnce) {
    std::vector<std::string> settings;
    for (const Change& change : kChanges)
        settings.push_back(change.setting);
    start(settings);
    pushVideo(1920, 1080);
    pushVideo(1920, 540);

    for (const Change& change : kChanges) {
        SCOPED_TRACE(change.setting + "=" + change.value);
        Answer answer;
        std::string written;
        for (const std::string& text : writesOf({{change.setting, change.value}}, &answer))
            written += (written.empty() ? "" : " ") + text;
        EXPECT_EQ(change.writes, written);
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

TEST_F(SettingsPush, CameraWritesAndOtherNamesOpenTheWindowCalibrationDoesNot) {
    start({"TS_CALIBRATION", "HL_DURATION", "AIX_PERSON_SENSITIVITY"});
    pushVideo(1920, 1080);
    ASSERT_TRUE(agent().isSettingsRefreshNeeded());

    EXPECT_TRUE(writesOf({{"TS_CALIBRATION", "-3"}, {"HL_DURATION", "30"}}).empty());
    EXPECT_EQ(-150000, agent().timestampOffset());
    EXPECT_EQ(30, agent().highlightDuration());
    EXPECT_TRUE(agent().isSettingsRefreshNeeded()) << "no window was opened";

    EXPECT_TRUE(writesOf({{"VENDOR_NOTE", "lobby"}}).empty());
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    EXPECT_EQ("lobby", agent().knownSettingsCopy().at("VENDOR_NOTE"));

    agent().setSettingsWriteHold(true);  // The window of an earlier write.
    pushVideo(1280, 720);
    EXPECT_EQ(Texts{"AIX_PERSON_SENSITIVITY=1"}, writesOf({{"AIX_PERSON_SENSITIVITY", "1"}}));
    EXPECT_TRUE(agent().isSettingsWriteHold()) << "only the window's own thread closes it";
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    agent().setSettingsWriteHold(false);
}

// The window at a length the test can watch.
class HoldOffWindow : public SettingsRoadTest {
protected:
    HoldOffWindow() : SettingsRoadTest(32, /*holdOffMs*/ 1500) {}
};

TEST_F(HoldOffWindow, SuppressesReadbacksAndCameraReportsUntilItCloses) {
    const std::string report = sampleDocument("event-ai-settings-changed.xml");
    adopt(defaultsOf({"AIX_PERSON_SENSITIVITY"}));
    change({{"AIX_PERSON_SENSITIVITY", "3"}});
    ASSERT_TRUE(eventually([this] { return agent().isSettingsWriteHold(); }));

    pushDocument(report);
    EXPECT_FALSE(agent().isSettingsRefreshNeeded()) << "the camera reports the plugin's own write";
    pushVideo(1920, 1080);
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
