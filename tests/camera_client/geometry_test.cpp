#include <gtest/gtest.h>

#include <stdexcept>

#include "lumo/geometry.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using Points = std::vector<iPoint>;
using nlohmann::json;

TEST(IsClockwise, FollowsTheDirectionOnThePicture) {
    EXPECT_TRUE(isClockwise({{0, 0}, {999, 0}, {999, 999}, {0, 999}}));
    EXPECT_FALSE(isClockwise({{0, 999}, {999, 999}, {999, 0}, {0, 0}}));
    EXPECT_FALSE(isClockwise({}));
    EXPECT_FALSE(isClockwise({{0, 0}, {500, 500}, {999, 999}}));
}

TEST(IsClockwise, HugeCoordinatesWrapInsteadOfOverflowing) {
    // Only checks that the sum is taken without undefined behaviour.
    (void)isClockwise({{INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {0, INT32_MAX}});
}

TEST(ToClockwise, ReversesAndStartsNearestTheTopLeft) {
    Points square{{0, 999}, {999, 999}, {999, 0}, {0, 0}};
    EXPECT_EQ(toClockwise(square), (Points{{0, 0}, {999, 0}, {999, 999}, {0, 999}}));
    EXPECT_EQ(square, (Points{{0, 0}, {999, 0}, {999, 999}, {0, 999}}));

    Points triangle{{500, 500}, {10, 10}, {900, 100}};
    EXPECT_EQ(toClockwise(triangle), (Points{{10, 10}, {500, 500}, {900, 100}}));
}

TEST(ToClockwise, FirstOfEquallyNearPointsWinsAndEmptyStaysEmpty) {
    Points ties{{0, 10}, {10, 0}, {500, 500}};
    EXPECT_EQ(toClockwise(ties), (Points{{10, 0}, {0, 10}, {500, 500}}));
    Points none;
    EXPECT_TRUE(toClockwise(none).empty());
}

class CornerBetween : public ::testing::Test {
protected:
    iPoint corner{-1, -1};
};

TEST_F(CornerBetween, NeighbouringEdgesMeetAtTheirCommonCorner) {
    ASSERT_TRUE(hasCornerBetween({0, 500}, {500, 0}, corner));
    EXPECT_EQ(corner, (iPoint{0, 0}));
    ASSERT_TRUE(hasCornerBetween({500, 0}, {999, 500}, corner));
    EXPECT_EQ(corner, (iPoint{999, 0}));
}

TEST_F(CornerBetween, OppositeEdgesTakeTheCounterClockwiseEndOfTheFirstEdge) {
    ASSERT_TRUE(hasCornerBetween({0, 500}, {999, 500}, corner));
    EXPECT_EQ(corner, (iPoint{0, 999}));
}

TEST_F(CornerBetween, NoCornerOnOneEdgeOrOffTheBorder) {
    EXPECT_FALSE(hasCornerBetween({0, 0}, {0, 500}, corner));
    EXPECT_FALSE(hasCornerBetween({500, 500}, {0, 0}, corner));
    EXPECT_FALSE(hasCornerBetween({0, 500}, {0, 500}, corner));
    EXPECT_FALSE(hasCornerBetween({0, 1500}, {500, 0}, corner));
    EXPECT_EQ(corner, (iPoint{-1, -1}));
}

TEST(Distance, IsEuclidean) {
    EXPECT_DOUBLE_EQ(distance({0, 0}, {3, 4}), 5.0);
    EXPECT_DOUBLE_EQ(distance({INT32_MIN, 0}, {INT32_MAX, 0}), 4294967295.0);
}

TEST(CurrentLine, JoinsSegmentsThroughTheirCorner) {
    EXPECT_EQ(getCurrentLine("2;100,0,200,300;0,400,500,999"), "100,0,200,300,0,400,500,999");
    EXPECT_EQ(getCurrentLine("2;500,200,999,300;500,0,600,400"),
              "500,200,999,300,999,0,500,0,600,400");
    EXPECT_EQ(getCurrentLine("2;1,2,3,4;3,4,5,6"), "1,2,3,4,5,6");
}

TEST(CurrentLine, SingleSegmentKeepsAllFourNumbersInBothForms) {
    EXPECT_EQ(getCurrentLine("1,100,200,300,400"), "100,200,300,400");
    EXPECT_EQ(getCurrentLine("1;100,200,300,400"), "100,200,300,400");
}

TEST(CurrentLine, RepliesOutsideTheFormatGiveZero) {
    EXPECT_EQ(getCurrentLine("0;1,2,3,4"), "0");
    EXPECT_EQ(getCurrentLine("-3;1,2,3,4"), "0");
    EXPECT_EQ(getCurrentLine("3;1,2,3,4;5,6,7,8"), "0");
    EXPECT_EQ(getCurrentLine("999999999;1,2,3,4"), "0");
    EXPECT_EQ(getCurrentLine("2;1,2,3;5,6,7,8"), "0");
    EXPECT_EQ(getCurrentLine("2;1,2,3,4;"), "0");
}

TEST(CurrentLine, NumbersThatDoNotConvertThrowTheStandardErrors) {
    EXPECT_THROW(getCurrentLine(""), std::invalid_argument);
    EXPECT_THROW(getCurrentLine("two;1,2,3,4"), std::invalid_argument);
    EXPECT_THROW(getCurrentLine("2;1,x,3,4;5,6,7,8"), std::invalid_argument);
    EXPECT_THROW(getCurrentLine("2;1,2,3,4;5,6,7,99999999999"), std::out_of_range);
    EXPECT_THROW(getCurrentLine("99999999999;1"), std::out_of_range);
    EXPECT_THROW(getCurrentLine("1"), std::out_of_range);
}

TEST(CurrentRegion, SinglePartIsTakenAsItStands) {
    EXPECT_EQ(getCurrentRegion("1,10,10,500,10,500,500"), "10,10,500,10,500,500");
}

TEST(CurrentRegion, TwoPartsJoinThroughTheirNearestBorderPoints) {
    EXPECT_EQ(getCurrentRegion("2;0,100,300,100,300,300,0,300;0,600,300,600,300,800,0,800"),
              "0,300,0,100,300,100,300,300,0,300,0,600,300,600,300,800,0,800,0,600");
}

TEST(CurrentRegion, ThreePartsAreBridgedAndClosedAtTheNearestCorner) {
    EXPECT_EQ(getCurrentRegion("3;0,100,300,100,300,300,0,300;0,600,300,600,300,800,0,800;"
                               "500,999,600,999,600,900"),
              "0,300,0,100,300,100,300,300,0,300,0,600,0,800,0,600,300,600,300,800,0,800,0,999,500,"
              "999,600,999,600,900,500,999,999,999");
}

TEST(CurrentRegion, BridgesAlongTopOrBottomEdge) {
    // The join point lies on the top edge, so the bridge runs along it to b's x.
    EXPECT_EQ(getCurrentRegion("2;100,0,200,0,200,100;500,100,600,0,600,100"),
              "200,0,200,100,100,0,200,0,600,0,600,100,500,100,600,0");
}

TEST(CurrentRegion, PartWithoutBorderPointGivesZero) {
    EXPECT_EQ(getCurrentRegion("2;10,10,20,20,30,10;0,600,300,600,0,800"), "0");
}

TEST(CurrentRegion, RepliesOutsideTheFormatGiveZero) {
    EXPECT_EQ(getCurrentRegion(""), "0");
    EXPECT_EQ(getCurrentRegion("Ok"), "0");
    EXPECT_EQ(getCurrentRegion("0;0,0,1,1"), "0");
    EXPECT_EQ(getCurrentRegion("-2;0,0,1,1;0,0,2,2"), "0");
    EXPECT_EQ(getCurrentRegion("3;0,0,1,1;0,5,9,9"), "0");
    EXPECT_EQ(getCurrentRegion("999999999;0,0,1,1"), "0");
    EXPECT_EQ(getCurrentRegion("99999999999;0,0,1,1"), "0");
    EXPECT_EQ(getCurrentRegion("2"), "0");
    EXPECT_EQ(getCurrentRegion("2;x;0,5"), "0");
}

TEST(CurrentRegion, TooManyPointsAreRefused) {
    std::string part = "0,0";
    for (size_t i = 0; i < kMaxReplyPoints; ++i)
        part += ",0,999";
    EXPECT_EQ(getCurrentRegion("2;" + part + ";" + part), "0");
}

TEST(CurrentRegion, StopsReadingAPartAtText) {
    EXPECT_EQ(getCurrentRegion("2;0,100,0,300 junk 5,5;0,600,0,800"),
              "0,300,0,100,0,300,0,600,0,800,0,600");
}

class FigureToCamera : public ::testing::Test {
protected:
    static Points convert(const char* text) { return figureToCameraPoints(json::parse(text)); }
};

TEST_F(FigureToCamera, ScalesByThousandTruncating) {
    EXPECT_EQ(convert("[[0.5, 0.25], [1.0, 1.0], [0.0005, 0.9999]]"),
              (Points{{500, 250}, {1000, 1000}, {0, 999}}));
}

TEST_F(FigureToCamera, SkipsEntriesThatAreNotTwoNumbers) {
    EXPECT_EQ(convert("[[0.5], [0.1, 0.2, 0.3], \"x\", [\"a\", 0.1], [null, 0.1], [0.3, 0.4]]"),
              (Points{{100, 200}, {300, 400}}));
    EXPECT_TRUE(convert("null").empty());
    EXPECT_TRUE(convert("{\"points\": []}").empty());
}

TEST_F(FigureToCamera, SkipsCoordinatesBeyondThirtyTwoBits) {
    EXPECT_EQ(convert("[[1e300, 0.1], [-3e6, 0.1], [0.1, 0.1]]"), (Points{{100, 100}}));
}

TEST(CameraToFigure, PairsNumbersAsFractions) {
    const json points = cameraTextToFigurePoints("500,250,999");
    ASSERT_EQ(points.size(), 1u);
    EXPECT_DOUBLE_EQ(points[0][0].get<double>(), 0.5);
    EXPECT_DOUBLE_EQ(points[0][1].get<double>(), 0.25);
    EXPECT_EQ(cameraTextToFigurePoints("333,1")[0][0].get<double>(),
              static_cast<double>(333.0f / 1000.0f));
}

TEST(CameraToFigure, ZeroAndEmptyTextGiveNoPoints) {
    EXPECT_EQ(cameraTextToFigurePoints("0"), json::array());
    EXPECT_EQ(cameraTextToFigurePoints(""), json::array());
}

TEST(CameraToFigure, TextThatIsNoNumberThrows) {
    EXPECT_THROW(cameraTextToFigurePoints("1,x"), std::invalid_argument);
    EXPECT_THROW(cameraTextToFigurePoints("1,,2,3"), std::invalid_argument);
    EXPECT_THROW(cameraTextToFigurePoints("1,nan"), std::invalid_argument);
    EXPECT_THROW(cameraTextToFigurePoints("1,1e99"), std::out_of_range);
}

TEST(PositionText, WritesPairsWithoutBlanks) {
    EXPECT_EQ(toCameraPositionText({{100, 100}, {500, 100}, {500, 500}}),
              "100,100,500,100,500,500");
    EXPECT_EQ(toCameraPositionText({}), "");
}

TEST(PositionText, RoundTripsThroughBothConversions) {
    const Points drawn{{100, 200}, {300, 400}};
    const json figure = cameraTextToFigurePoints(toCameraPositionText(drawn));
    // Single-precision fractions times 1000 may land just below the integer; within one unit.
    const Points back = figureToCameraPoints(figure);
    ASSERT_EQ(back.size(), drawn.size());
    for (size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_NEAR(back[i].x, drawn[i].x, 1);
        EXPECT_NEAR(back[i].y, drawn[i].y, 1);
    }
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
