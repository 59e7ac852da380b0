// Bodies: up to two top colours, the bottom colour and the bag.
#include "parser/document_builder.h"

namespace lumo_test {
namespace {

class BodyTest : public ParserTest {
protected:
    static std::string tops(const std::string& clusters) {
        return "<bd:Tops><bd:Category>LongSleeve</bd:Category><tt:Color>" + clusters +
               "</tt:Color></bd:Tops>";
    }
};

TEST_F(BodyTest, FirstTwoClustersWithInnerColourFillTopColours) {
    const auto& o =
        onlyObject("<tt:HumanBody><bd:Clothing>" +
                   tops("<tt:ColorCluster><tt:Weight>0.1</tt:Weight></tt:ColorCluster>" +
                        cluster(10, 20, 30) + cluster(40, 50, 60) + cluster(70, 80, 90)) +
                   "</bd:Clothing></tt:HumanBody>");
    EXPECT_TRUE(o.hasTopColor);
    EXPECT_EQ(o.topColors[0].y, 10);
    EXPECT_EQ(o.topColors[0].v, 30);
    EXPECT_EQ(o.topColors[1].y, 40);
    EXPECT_EQ(o.topColors[1].u, 50);
    EXPECT_FALSE(o.hasBottomColor);
    EXPECT_FALSE(o.hasBag);
}

TEST_F(BodyTest, ReadsBottomColourAndBagIndependently) {
    const auto& o = onlyObject(
        "<tt:HumanBody><bd:Clothing><bd:Bottoms><tt:Color>" + cluster(16, 128, 128) +
        cluster(200, 1, 1) +
        "</tt:Color></bd:Bottoms></bd:Clothing><bd:Belonging><bd:Bag><bd:Category>Backpack"
        "</bd:Category></bd:Bag></bd:Belonging></tt:HumanBody>");
    EXPECT_FALSE(o.hasTopColor);
    EXPECT_TRUE(o.hasBottomColor);
    EXPECT_EQ(o.bottomColor.y, 16);
    EXPECT_TRUE(o.hasBag);
    EXPECT_STREQ(o.bagCategory, "Backpack");
    EXPECT_FALSE(o.hasFace);
}

}  // namespace
}  // namespace lumo_test
