// Naming the camera's YCbCr colour descriptors after the nearest colour of the table.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>

#include "lumo/metadata.h"

namespace lumo_test {
namespace {

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;

TEST(ColorNamingTest, NeutralChromaNamesTheGreyLevels) {
    EXPECT_EQ(Metadata::toColorString({128, 128, 128}), "Gray");
    EXPECT_EQ(Metadata::toColorString({0, 128, 128}), "Black");
    EXPECT_EQ(Metadata::toColorString({255, 128, 128}), "White");
}

TEST(ColorNamingTest, ChromaIsConvertedAsFullRangeYCbCr) {
    EXPECT_EQ(Metadata::toColorString({76, 85, 255}), "Red");
    EXPECT_EQ(Metadata::toColorString({29, 255, 107}), "Blue");
    EXPECT_EQ(Metadata::toColorString({150, 44, 21}),
              "Green");  // (0, 255, 1): lime is nearest green
}

TEST(ColorNamingTest, TieGoesToTheEarlierEntry) {
    EXPECT_EQ(Metadata::calculateEuclideanDistanceSquared(0, 64, 0, 0, 0, 0), 4096.0);
    EXPECT_EQ(Metadata::calculateEuclideanDistanceSquared(0, 64, 0, 0, 128, 0), 4096.0);
    EXPECT_EQ(Metadata::findClosestColor(0, 64, 0), "Black");
}

TEST(ColorNamingTest, ExtremeComponentsAreHandledWithoutOverflow) {
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    const double span = static_cast<double>(kMax) - kMin;
    EXPECT_EQ(Metadata::calculateEuclideanDistanceSquared(kMin, 0, 0, kMax, 0, 0), span * span);
    EXPECT_EQ(Metadata::findClosestColor(kMin, kMin, kMin), "Black");
    EXPECT_EQ(Metadata::toColorString({kMax, 128, 128}), "White");
    EXPECT_EQ(Metadata::toColorString({0, kMin, kMax}), "Red");  // (255, 0, 0) after clamping
}

TEST(ColorNamingTest, EmptyTableNamesNothing) {
    std::vector<Metadata::_Color> saved;
    std::swap(saved, Metadata::colors);
    const std::string name = Metadata::findClosestColor(0, 0, 0);
    std::swap(saved, Metadata::colors);
    EXPECT_EQ(name, "Unknown");
}

}  // namespace
}  // namespace lumo_test
