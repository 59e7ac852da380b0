// Figures drawn in the dialog go to the camera and come back from it as the same shapes:
// regions and exclude regions clockwise, lines as drawn, each point within one camera unit.
#include <gtest/gtest.h>

#include "settings/figure_points.h"
#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

constexpr double kOneCameraUnit = 0.001;

class FigureRoundTrip : public SettingsRoadTest {
protected:
    FigureRoundTrip() : SettingsRoadTest(37) {}

    void SetUp() override {
        SettingsRoadTest::SetUp();
        if (IsSkipped())
            return;
        adopt(
            defaultsOf({"AIX_REGION_ENABLE1", "AIX_REGION_POSITION1", "AIX_REGION_ENABLE2",
                        "AIX_REGION_POSITION2", "AIX_EXCLUDE_REGION_ENABLE3",
                        "AIX_EXCLUDE_REGION_POSITION3", "AIX_LINE_ENABLE5", "AIX_LINE_POSITION5"}));
        change({{"AIX_REGION_ENABLE1", "true"},
                // Drawn counter-clockwise.
                {"AIX_REGION_POSITION1",
                 figureJson({{0.1, 0.1}, {0.1, 0.5}, {0.5, 0.5}, {0.5, 0.1}}, true)},
                {"AIX_REGION_ENABLE2", "true"},
                // Drawn clockwise, from a point that is not the nearest to the top left.
                {"AIX_REGION_POSITION2",
                 figureJson({{0.6, 0.2}, {0.9, 0.4}, {0.8, 0.8}, {0.4, 0.8}, {0.3333, 0.4}}, true)},
                {"AIX_EXCLUDE_REGION_ENABLE3", "true"},
                {"AIX_EXCLUDE_REGION_POSITION3",
                 figureJson({{0.2, 0.6}, {0.4, 0.9}, {0.6, 0.6}}, true)},
                {"AIX_LINE_ENABLE5", "true"},
                {"AIX_LINE_POSITION5",
                 figureJson({{0.95, 0.5}, {0.5, 0.45}, {0.05, 0.5}, {0.0, 1.0}}, true, "left")}});
        settle();
    }

    void expectDrawnFigures(const Answer& answer) {
        const auto region1 = parsed(answer.values.at("AIX_REGION_POSITION1"));
        EXPECT_TRUE(hasPoints(region1, "100,100,500,100,500,500,100,500", kOneCameraUnit));
        EXPECT_EQ(true, region1.value("showOnCamera", false));
        const auto region2 = parsed(answer.values.at("AIX_REGION_POSITION2"));
        EXPECT_TRUE(hasPoints(region2, "600,200,900,400,800,800,400,800,333,400", kOneCameraUnit));
        const auto excluded = parsed(answer.values.at("AIX_EXCLUDE_REGION_POSITION3"));
        EXPECT_TRUE(hasPoints(excluded, "200,600,600,600,400,900", kOneCameraUnit));
        EXPECT_EQ(true, excluded.value("showOnCamera", false));
        const auto line = parsed(answer.values.at("AIX_LINE_POSITION5"));
        EXPECT_TRUE(hasPoints(line, "950,500,500,450,50,500,0,1000", kOneCameraUnit));
        EXPECT_EQ(true, line.value("showOnCamera", false));
    }
};

TEST_F(FigureRoundTrip, FiguresComeBackClockwiseInTheFigureReadback) {
    const Answer answer = pluginSide();

    ASSERT_TRUE(answer.hasResponse);
    expectDrawnFigures(answer);
    EXPECT_EQ("{\"figure\":null}", answer.values.at("AIX_REGION_POSITION3"));
}

TEST_F(FigureRoundTrip, FiguresAndTheLineDirectionComeBackInTheFullReadback) {
    pushVideo(1920, 1080);
    const Answer answer = pluginSide();

    ASSERT_TRUE(answer.hasResponse);
    expectDrawnFigures(answer);
    EXPECT_EQ("left",
              parsed(answer.values.at("AIX_LINE_POSITION5"))["figure"].value("direction", ""));
    EXPECT_EQ("true", answer.values.at("AIX_LINE_ENABLE5"));
}

TEST_F(FigureRoundTrip, ClearedFigureComesBackEmpty) {
    change({{"AIX_REGION_POSITION2", "{\"figure\":null}"}});
    settle();

    EXPECT_EQ("{\"figure\":null}", pluginSide().values.at("AIX_REGION_POSITION2"));
    pushVideo(1920, 1080);
    EXPECT_EQ("{\"figure\":null,\"label\":\"\",\"showOnCamera\":false}",
              pluginSide().values.at("AIX_REGION_POSITION2"));
}

}  // namespace
}  // namespace settings_test
