// Region and line geometry: orientation, the camera's reply forms of current positions, and
// conversions between the dialog's figures and camera coordinates.
#include <gtest/gtest.h>

#include <stdexcept>

#include "lumo/geometry.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using Points = std::vector<iPoint>;
using nlohmann::json;

// The result, or the standard conversion error the caller is left to handle.
template <class Function>
std::string attempt(Function function, const std::string& reply) {
    try {
        return function(reply);
    } catch (const std::invalid_argument&) {
        return "invalid_argument";
    } catch (const std::out_of_range&) {
        return "out_of_range";
    }
}

TEST(Geometry, OrientationFollowsThePictureAndClockwiseStartsNearestTheTopLeft) {
    EXPECT_TRUE(isClockwise({{0, 0}, {999, 0}, {999, 999}, {0, 999}}));
    EXPECT_FALSE(isClockwise({{0, 0}, {500, 500}, {999, 999}}));
    (void)isClockwise({{INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {0, INT32_MAX}});  // UBSan
    EXPECT_DOUBLE_EQ(distance({INT32_MIN, 0}, {INT32_MAX, 0}), 4294967295.0);
    const std::pair<Points, Points> cases[] = {
        {{{0, 999}, {999, 999}, {999, 0}, {0, 0}}, {{0, 0}, {999, 0}, {999, 999}, {0, 999}}},
        {{{0, 10}, {10, 0}, {500, 500}}, {{10, 0}, {0, 10}, {500, 500}}}};  // first of equals
    for (auto [polygon, clockwise] : cases) {
        const Points reversed(polygon.rbegin(), polygon.rend());
        EXPECT_EQ(toClockwise(polygon), clockwise);
        EXPECT_EQ(polygon, reversed) << "reversed in place";
    }
}

TEST(Geometry, CornerBetweenBorderPointsIsTheNearerWayRoundOrTheCounterClockwiseEndOnATie) {
    const struct {
        iPoint a, b;
        bool found;
        iPoint corner;
    } cases[] = {
        {{0, 500}, {500, 0}, true, {0, 0}},      // left to top
        {{500, 0}, {999, 500}, true, {999, 0}},  // top to right
        {{999, 500}, {500, 999}, true, {999, 999}},
        {{500, 999}, {0, 500}, true, {0, 999}},
        {{500, 0}, {0, 500}, true, {0, 0}},      // top to left, counter-clockwise
        {{0, 500}, {999, 500}, true, {0, 999}},  // opposite edges
        {{500, 0}, {500, 999}, true, {0, 0}},
        {{0, 0}, {0, 500}, false, {-1, -1}},  // (0,0) is on the left edge
        {{500, 500}, {0, 0}, false, {-1, -1}},
        {{999, 0}, {999, 0}, false, {-1, -1}},
        {{0, 1200}, {500, 0}, false, {-1, -1}},  // on the border line, outside the picture
    };
    for (const auto& c : cases) {
        iPoint corner{-1, -1};
        EXPECT_EQ(c.found, hasCornerBetween(c.a, c.b, corner)) << c.a.x << "," << c.a.y;
        EXPECT_EQ(c.corner, corner) << c.a.x << "," << c.a.y << " to " << c.b.x << "," << c.b.y;
    }
}

TEST(Geometry, CurrentLineJoinsSegmentsAndRefusesRepliesOutsideTheFormat) {
    const std::pair<const char*, const char*> cases[] = {
        {"2;500,200,999,300;500,0,600,400", "500,200,999,300,999,0,500,0,600,400"},
        {"2;100,0,200,300;0,400,500,999", "100,0,200,300,0,400,500,999"},  // (200,300) is inside
        {"2;1,2,3,4;3,4,5,6", "1,2,3,4,5,6"},
        // Left edge to right edge: both ways round cost the same, so the corner is the one at the
        // counter-clockwise end of the left edge.
        {"2;100,200,0,500;999,500,600,400", "100,200,0,500,0,999,999,500,600,400"},
        // And from the right edge to the left, the counter-clockwise end of the right edge.
        {"2;100,200,999,500;0,500,600,400", "100,200,999,500,999,0,0,500,600,400"},
        {"1,100,200,300,400", "100,200,300,400"},  // one segment, in both forms
        {"1;100,200,300,400", "100,200,300,400"},
        {"-3;1,2,3,4", "0"},
        {"3;1,2,3,4;5,6,7,8", "0"},
        {"2;1,2,3;5,6,7,8", "0"},
        {"", "invalid_argument"},
        {"two;1,2,3,4", "invalid_argument"},
        {"2;1,2,3,4;5,6,7,99999999999", "out_of_range"}};
    for (const auto& [reply, line] : cases)
        EXPECT_EQ(attempt(getCurrentLine, reply), line) << reply;
}

TEST(Geometry, CurrentRegionJoinsPartsThroughTheBorderAndRefusesRepliesOutsideTheFormat) {
    std::string huge = "0,0";
    for (size_t i = 0; i < kMaxReplyPoints; ++i)
        huge += ",0,999";
    const std::pair<std::string, const char*> cases[] = {
        {"1,10,10,500,10,500,500", "10,10,500,10,500,500"},
        {"3;0,100,300,100,300,300,0,300;0,600,300,600,300,800,0,800;500,999,600,999,600,900",
         "0,300,0,100,300,100,300,300,0,300,0,600,0,800,0,600,300,600,300,800,0,800,0,999,500,999,"
         "600,999,600,900,500,999,999,999"},
        // The join point lies on the top edge, so the bridge runs along it to b's x.
        {"2;100,0,200,0,200,100;500,100,600,0,600,100",
         "200,0,200,100,100,0,200,0,600,0,600,100,500,100,600,0"},
        {"2;10,10,20,20,30,10;0,600,300,600,0,800", "0"},  // a part off the border
        {"3;0,0,1,1;0,5,9,9", "0"},
        {"99999999999;0,0,1,1", "0"},
        {"2;" + huge + ";" + huge, "0"}};
    for (const auto& [reply, region] : cases)
        EXPECT_EQ(getCurrentRegion(reply), region) << reply.substr(0, 80);
}

// "1" is a count without its part: the readback must drop the setting, not show an empty slot.
TEST(Geometry, CurrentRegionOfASingleCountWithoutItsPartFailsLikeTheLine) {
    const std::pair<std::string, const char*> cases[] = {
        {"1", "out_of_range"}, {"1,", ""}, {"1,5,6", "5,6"}, {"2", "0"}, {"", "0"}};
    for (const auto& [reply, result] : cases) {
        EXPECT_EQ(attempt(getCurrentRegion, reply), result) << reply;
        if (std::string(result) == "out_of_range") {
            EXPECT_EQ(attempt(getCurrentLine, reply), result) << reply;
        }
    }
}

TEST(Geometry, FiguresConvertToCameraPointsAndBack) {
    EXPECT_EQ(figureToCameraPoints(json::parse("[[0.5, 0.25], [1.0, 1.0], [0.0005, 0.9999]]")),
              (Points{{500, 250}, {1000, 1000}, {0, 999}}));
    const std::pair<const char*, const char*> texts[] = {{"500,250,999", "[[0.5,0.25]]"},
                                                         {"", "[]"},
                                                         {"1,,2,3", "invalid_argument"},
                                                         {"1,1e99", "out_of_range"}};
    const auto toFigure = [](const std::string& text) {
        return cameraTextToFigurePoints(text).dump();
    };
    for (const auto& [text, figure] : texts)
        EXPECT_EQ(attempt(toFigure, text), figure) << text;
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
