// The display-type settings switch the tracked objects of a class on and off, whether the user
// sets them in the dialog or the camera's own value is read back.
#include <gtest/gtest.h>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

const std::vector<std::string> kDisplayTypes{"AIX_PERSON_DISPLAY_TYPE", "AIX_BICYCLE_DISPLAY_TYPE",
                                             "AIX_CAR_DISPLAY_TYPE"};

class DisplaySwitches : public SettingsRoadTest {
protected:
    DisplaySwitches() : SettingsRoadTest(36) {}

    /** Person, bicycle and car switches as "P B C" with 1 for shown. */
    std::string shown() {
        return std::to_string(agent().isPersonShown()) + " " +
               std::to_string(agent().isBicycleShown()) + " " +
               std::to_string(agent().isCarShown());
    }
};

TEST_F(DisplaySwitches, DialogChoiceSwitchesItsClassOnlyAndReachesTheCamera) {
    start(kDisplayTypes);
    ASSERT_EQ("1 1 1", shown());

    EXPECT_EQ(Texts{"AIX_PERSON_DISPLAY_TYPE=0"}, writesOf({{"AIX_PERSON_DISPLAY_TYPE", "0"}}));
    EXPECT_EQ("0 1 1", shown());
    EXPECT_EQ(Texts{"AIX_CAR_DISPLAY_TYPE=0"}, writesOf({{"AIX_CAR_DISPLAY_TYPE", "0"}}));
    EXPECT_EQ("0 1 0", shown());
    EXPECT_EQ(Texts{"AIX_BICYCLE_DISPLAY_TYPE=0"}, writesOf({{"AIX_BICYCLE_DISPLAY_TYPE", "0"}}));
    EXPECT_EQ("0 0 0", shown());
    // Any choice but "0" shows the class.
    EXPECT_EQ((Texts{"AIX_BICYCLE_DISPLAY_TYPE=1", "AIX_PERSON_DISPLAY_TYPE=1"}),
              writesOf({{"AIX_PERSON_DISPLAY_TYPE", "1"}, {"AIX_BICYCLE_DISPLAY_TYPE", "Class"}}));
    EXPECT_EQ("1 1 0", shown());
}

TEST_F(DisplaySwitches, ReadbackReportsTheCameraValueOnlyWhereItChangesTheSwitch) {
    set("AIX_PERSON_DISPLAY_TYPE", "1");
    set("AIX_BICYCLE_DISPLAY_TYPE", "0");
    set("AIX_CAR_DISPLAY_TYPE", "7");
    agent().setDisplaySwitches(/*person*/ false, /*bicycle*/ true, /*car*/ false);

    const Answer first = adopt(defaultsOf(kDisplayTypes));
    ASSERT_TRUE(first.hasResponse);
    EXPECT_EQ((Values{{"AIX_BICYCLE_DISPLAY_TYPE", "0"},
                      {"AIX_CAR_DISPLAY_TYPE", "1"},
                      {"AIX_PERSON_DISPLAY_TYPE", "1"}}),
              first.values)
        << "a switch that was off and is on at the camera is reported as \"1\"";
    EXPECT_EQ("1 0 1", shown());
    EXPECT_EQ("1", agent().knownSettingsCopy().at("AIX_CAR_DISPLAY_TYPE"));

    pushVideo(1280, 720);  // A new frame size asks for the full readback again.
    const Answer second = pluginSide();
    EXPECT_EQ((Values{{"AIX_BICYCLE_DISPLAY_TYPE", "0"}}), second.values)
        << "switches already on are not reported";
    EXPECT_EQ("1 0 1", shown());
    EXPECT_TRUE(writeTexts().empty()) << "a readback writes no display type";
}

}  // namespace
}  // namespace settings_test
