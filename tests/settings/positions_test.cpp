// Regions, exclude regions, lines and object-size limits drawn in the dialog, as the camera
// receives them.
#include <gtest/gtest.h>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using Texts = std::vector<std::string>;

constexpr char kPlainWrite[] = "/httpapi/WriteParam?action=writeparam&";

class PositionSettings : public SettingsRoadTest {
protected:
    PositionSettings() : SettingsRoadTest(33) {}

    void start(const std::vector<std::string>& names) {
        adopt(defaultsOf(names));
        settle();
        camera->clearRequests();
    }

    /** The writes of one changed value, in order. */
    Texts writesOf(const std::string& name, const std::string& value) {
        camera->clearRequests();
        change({{name, value}});
        settle();
        return writeTexts();
    }
};

TEST_F(PositionSettings, CounterClockwiseRegionIsReversedToStartNearestTheTopLeft) {
    start({"AIX_REGION_POSITION1"});

    const Texts sent = writesOf("AIX_REGION_POSITION1",
                                figureJson({{0.1, 0.1}, {0.1, 0.5}, {0.5, 0.5}, {0.5, 0.1}}, true));

    EXPECT_EQ((Texts{"AIX_REGION_DISPLAY_ENABLE0=1",
                     "AIX_REGION_POSITION00=100,100,500,100,500,500,100,500"}),
              sent);
    ASSERT_EQ(2u, writes().size());
    EXPECT_EQ(std::string(kPlainWrite) + "AIX_REGION_POSITION00=100,100,500,100,500,500,100,500&",
              writes()[1].uri)
        << "positions go unencoded";
    EXPECT_EQ("100,100,500,100,500,500,100,500", camera->parameters().read("AIX_REGION_POSITION0"));
}

TEST_F(PositionSettings, ClockwiseRegionIsSentAsDrawn) {
    start({"AIX_REGION_POSITION3"});

    const Texts sent =
        writesOf("AIX_REGION_POSITION3",
                 figureJson({{0.5, 0.1}, {0.5, 0.5}, {0.1, 0.5}, {0.1, 0.1}}, false));

    EXPECT_EQ((Texts{"AIX_REGION_DISPLAY_ENABLE2=0",
                     "AIX_REGION_POSITION22=500,100,500,500,100,500,100,100"}),
              sent);
}

TEST_F(PositionSettings, ExcludeRegionUsesItsOwnNamesAndTheDoubledSlot) {
    start({"AIX_EXCLUDE_REGION_POSITION8"});

    const Texts sent = writesOf("AIX_EXCLUDE_REGION_POSITION8",
                                figureJson({{0.2, 0.6}, {0.4, 0.9}, {0.6, 0.6}}, true));

    // Drawn counter-clockwise: reversed, then started at (200,600).
    EXPECT_EQ((Texts{"AIX_EXCLUDE_REGION_DISPLAY_ENABLE7=1",
                     "AIX_EXCLUDE_REGION_POSITION77=200,600,600,600,400,900"}),
              sent);
}

TEST_F(PositionSettings, LineKeepsItsPointsAndSendsItsDirectionFirst) {
    start({"AIX_LINE_POSITION2"});

    const Texts sent =
        writesOf("AIX_LINE_POSITION2", figureJson({{0.5, 0.6}, {0.1, 0.2}}, false, "left"));

    EXPECT_EQ((Texts{"AIX_LINE_DIRECTION1=1", "AIX_LINE_DISPLAY_ENABLE1=0",
                     "AIX_LINE_POSITION11=500,600,100,200"}),
              sent);
}

TEST_F(PositionSettings, LineDirectionRightIsZeroAndOthersSendNone) {
    start({"AIX_LINE_POSITION5"});

    EXPECT_EQ((Texts{"AIX_LINE_DIRECTION4=0", "AIX_LINE_DISPLAY_ENABLE4=1",
                     "AIX_LINE_POSITION44=100,100,900,900"}),
              writesOf("AIX_LINE_POSITION5", figureJson({{0.1, 0.1}, {0.9, 0.9}}, true, "right")));
    EXPECT_EQ((Texts{"AIX_LINE_DISPLAY_ENABLE4=1", "AIX_LINE_POSITION44=100,100,900,800"}),
              writesOf("AIX_LINE_POSITION5", figureJson({{0.1, 0.1}, {0.9, 0.8}}, true, "both")));
    EXPECT_EQ((Texts{"AIX_LINE_DISPLAY_ENABLE4=1", "AIX_LINE_POSITION44=100,100,900,700"}),
              writesOf("AIX_LINE_POSITION5", figureJson({{0.1, 0.1}, {0.9, 0.7}}, true)));
}

TEST_F(PositionSettings, ClearedFigureSwitchesTheDisplayOffAndClearsTheSlot) {
    start({"AIX_EXCLUDE_REGION_POSITION4", "AIX_LINE_POSITION1", "AIX_REGION_POSITION6"});
    camera->parameters().write("AIX_EXCLUDE_REGION_POSITION33", "100,100,500,100,500,500");

    EXPECT_EQ((Texts{"AIX_EXCLUDE_REGION_DISPLAY_ENABLE3=0", "AIX_EXCLUDE_REGION_CLEAR3=0"}),
              writesOf("AIX_EXCLUDE_REGION_POSITION4", "{\"figure\":null}"));
    EXPECT_EQ("0", camera->parameters().read("AIX_EXCLUDE_REGION_CURRENT_POSITION3"));

    EXPECT_EQ((Texts{"AIX_LINE_DISPLAY_ENABLE0=1", "AIX_LINE_CLEAR0=0"}),
              writesOf("AIX_LINE_POSITION1",
                       "{\"figure\":null,\"showOnCamera\":true,\"direction\":\"left\"}"))
        << "the display follows showOnCamera; a cleared line has no direction";
    EXPECT_EQ((Texts{"AIX_REGION_DISPLAY_ENABLE5=0", "AIX_REGION_CLEAR5=0"}),
              writesOf("AIX_REGION_POSITION6", "not a figure"));
}

TEST_F(PositionSettings, DisplayIsOnOnlyForAShowOnCameraOfTrue) {
    start({"AIX_REGION_POSITION2"});
    const std::string points = "{\"points\":[[0.5,0.1],[0.5,0.5],[0.1,0.5]]}";

    EXPECT_EQ("AIX_REGION_DISPLAY_ENABLE1=0",
              writesOf("AIX_REGION_POSITION2", "{\"figure\":" + points + "}").at(0));
    EXPECT_EQ(
        "AIX_REGION_DISPLAY_ENABLE1=0",
        writesOf("AIX_REGION_POSITION2", "{\"figure\":" + points + ",\"showOnCamera\":1}").at(0));
    EXPECT_EQ("AIX_REGION_DISPLAY_ENABLE1=1",
              writesOf("AIX_REGION_POSITION2", "{\"figure\":" + points + ",\"showOnCamera\":true}")
                  .at(0));
}

TEST_F(PositionSettings, PointsWithoutTwoNumbersAreSkippedAndTheFrameEdgeIsAThousand) {
    start({"AIX_LINE_POSITION7", "AIX_REGION_POSITION7"});

    EXPECT_EQ((Texts{"AIX_LINE_DISPLAY_ENABLE6=1", "AIX_LINE_POSITION66=0,999,1000,1000"}),
              writesOf("AIX_LINE_POSITION7",
                       "{\"figure\":{\"points\":[[0.5],[0.0005,0.9999],[\"a\",0.2],[1.0,1.0]]},"
                       "\"showOnCamera\":true}"));
    EXPECT_EQ((Texts{"AIX_REGION_DISPLAY_ENABLE6=1", "AIX_REGION_POSITION66="}),
              writesOf("AIX_REGION_POSITION7", "{\"figure\":{},\"showOnCamera\":true}"))
        << "a figure without points sends an empty position";
}

TEST_F(PositionSettings, SettingNameCannotAddParametersToTheQuery) {
    start({"AIX_TAMPERING_ENABLE"});

    change({{"AIX_REGION_POSITION&AIX_TAMPERING_ENABLE=0&X1",
             figureJson({{0.5, 0.1}, {0.5, 0.5}, {0.1, 0.5}}, true)}});
    settle();

    size_t written = 0;
    for (const auto& request : camera->requests()) {
        if (!request.authorized)
            continue;
        ++written;
        EXPECT_EQ(1u, request.parameters.size()) << request.uri;
    }
    EXPECT_EQ(2u, written);
    EXPECT_EQ("1", camera->parameters().read("AIX_TAMPERING_ENABLE"));
}

class ObjectSizeSettings : public PositionSettings {};

TEST_F(ObjectSizeSettings, LimitsAreWrittenInPixelsOfTheLastVideoFrame) {
    start({"AIX_OBJECT_DETECTION_SIZE"});
    pushVideo(1920, 1080);

    const Texts sent = writesOf(
        "AIX_OBJECT_DETECTION_SIZE",
        R"({"minimum":[0.001,0.001],"maximum":[2.0,0.5],"positions":[[0.1,0.1],[0.9,0.9]]})");

    EXPECT_EQ((Texts{"AIX_OBJECT_DETECTION_SIZE=192,108,12,12,1728,972,1920,540"}), sent);
    EXPECT_EQ(
        std::string(kPlainWrite) + "AIX_OBJECT_DETECTION_SIZE=192,108,12,12,1728,972,1920,540&",
        writes().at(0).uri);
}

TEST_F(ObjectSizeSettings, FrameIsUltraHdUntilAVideoFrameTellsOtherwise) {
    start({"AIX_OBJECT_DETECTION_SIZE"});

    EXPECT_EQ((Texts{"AIX_OBJECT_DETECTION_SIZE=0,0,38,43,3840,2160,1920,1080"}),
              writesOf("AIX_OBJECT_DETECTION_SIZE",
                       R"({"minimum":[0.01,0.02],"maximum":[0.5,0.5],"positions":[[0,0],[1,1]]})"));
}

TEST_F(ObjectSizeSettings, OnlyAChangedWidthChangesTheFrame) {
    start({"AIX_OBJECT_DETECTION_SIZE"});
    pushVideo(1920, 1080);
    pushVideo(1920, 540);

    EXPECT_EQ((Texts{"AIX_OBJECT_DETECTION_SIZE=0,0,12,12,1920,1080,1920,1080"}),
              writesOf("AIX_OBJECT_DETECTION_SIZE",
                       R"({"minimum":[0,0],"maximum":[1,1],"positions":[[0,0],[1,1]]})"));
}

TEST_F(ObjectSizeSettings, ValueWithoutPositionsSendsNothing) {
    start({"AIX_OBJECT_DETECTION_SIZE"});

    EXPECT_TRUE(
        writesOf("AIX_OBJECT_DETECTION_SIZE", R"({"minimum":[0.006,0.01],"maximum":[1.0,1.0]})")
            .empty());
}

}  // namespace
}  // namespace settings_test
