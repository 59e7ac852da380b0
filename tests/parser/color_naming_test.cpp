// Naming the camera's YCbCr colour descriptors after the nearest colour of the table; the names
// that real documents give are checked end to end in tests/end_to_end.
#include <limits>

#include "parser/document_builder.h"

namespace lumo_test {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

TEST(ColorNamingTest, NearestTableColourWithTiesToTheEarlierEntryAndNoOverflow) {
    EXPECT_EQ(Metadata::toColorString({150, 44, 21}), "Green");  // lime
    EXPECT_EQ(Metadata::toColorString({kMax, 128, 128}), "White");
    EXPECT_EQ(Metadata::toColorString({0, kMin, kMax}), "Red");  // clamped to (255, 0, 0)
    EXPECT_EQ(Metadata::findClosestColor(0, 64, 0), "Black");    // as near as Green (0, 128, 0)
    EXPECT_EQ(Metadata::findClosestColor(kMin, kMin, kMin), "Black");
    const double span = static_cast<double>(kMax) - kMin;
    EXPECT_EQ(Metadata::calculateEuclideanDistanceSquared(kMin, 0, 0, kMax, 0, 0), span * span);
    std::vector<Metadata::_Color> saved;
    std::swap(saved, Metadata::colors);
    const std::string name = Metadata::findClosestColor(0, 0, 0);
    std::swap(saved, Metadata::colors);
    EXPECT_EQ(name, "Unknown");
}

}  // namespace lumo_test
