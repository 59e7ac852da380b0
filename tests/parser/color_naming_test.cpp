// Naming YCbCr colour descriptors after the nearest colour of the table.
#include <limits>

#include "parser/payload_text.h"

namespace lumo_test {

TEST(ColorNamingTest, NearestTableColourWithTiesToTheEarlierEntryAndNoOverflow) {
    constexpr int kMax = std::numeric_limits<int>::max();
    // The neutral axis: no colour difference names the grey levels.
    EXPECT_EQ(Metadata::toColorString({128, 128, 128}), "Gray");
    EXPECT_EQ(Metadata::toColorString({0, 128, 128}), "Black");
    EXPECT_EQ(Metadata::toColorString({255, 128, 128}), "White");
    EXPECT_EQ(Metadata::toColorString({150, 44, 21}), "Green");
    EXPECT_EQ(Metadata::toColorString({0, std::numeric_limits<int>::min(), kMax}), "Red");
    EXPECT_EQ(Metadata::findClosestColor(0, 64, 0), "Black");  // as near as Green (0, 128, 0)
}

}  // namespace lumo_test
