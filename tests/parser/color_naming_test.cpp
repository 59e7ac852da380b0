// Naming the camera's YCbCr colour descriptors after the nearest colour of the table.
#include <limits>

#include "parser/document_builder.h"

namespace lumo_test {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

TEST(ColorNamingTest, FullRangeYCbCrNamesTheNearestTableColourWithoutOverflow) {
    const std::pair<Metadata::_ColorYUV, const char*> cases[] = {
        {{128, 128, 128}, "Gray"},   {{0, 128, 128}, "Black"}, {{255, 128, 128}, "White"},
        {{76, 85, 255}, "Red"},      {{29, 255, 107}, "Blue"}, {{150, 44, 21}, "Green"},  // lime
        {{kMax, 128, 128}, "White"}, {{0, kMin, kMax}, "Red"},  // clamped to (255, 0, 0)
    };
    for (const auto& [colour, name] : cases)
        EXPECT_EQ(Metadata::toColorString(colour), name) << colour.y << "," << colour.u;
}

TEST(ColorNamingTest, TieGoesToTheEarlierEntryAndAnEmptyTableNamesNothing) {
    EXPECT_EQ(Metadata::calculateEuclideanDistanceSquared(0, 64, 0, 0, 0, 0), 4096.0);
    EXPECT_EQ(Metadata::calculateEuclideanDistanceSquared(0, 64, 0, 0, 128, 0), 4096.0);
    EXPECT_EQ(Metadata::findClosestColor(0, 64, 0), "Black");
    const double span = static_cast<double>(kMax) - kMin;
    EXPECT_EQ(Metadata::calculateEuclideanDistanceSquared(kMin, 0, 0, kMax, 0, 0), span * span);
    EXPECT_EQ(Metadata::findClosestColor(kMin, kMin, kMin), "Black");
    std::vector<Metadata::_Color> saved;
    std::swap(saved, Metadata::colors);
    const std::string name = Metadata::findClosestColor(0, 0, 0);
    std::swap(saved, Metadata::colors);
    EXPECT_EQ(name, "Unknown");
}

}  // namespace lumo_test
