// Faces: gender and the four accessories, each worn unless its "fc:Wear" says exactly "false".
#include "parser/document_builder.h"

namespace lumo_test {
namespace {

class FaceTest : public ParserTest {
protected:
    static std::string accessory(const char* name, const char* wear) {
        return std::string("<fc:") + name + "><fc:Wear>" + wear + "</fc:Wear></fc:" + name + ">";
    }
};

TEST_F(FaceTest, ReadsGenderAndWornAccessories) {
    const auto& o = onlyObject("<tt:HumanFace><fc:Gender>Female</fc:Gender><fc:Accessory>" +
                               accessory("Opticals", "true") + accessory("Mask", "false") +
                               accessory("Hat", " 1 ") + accessory("Helmet", "False") +
                               "</fc:Accessory></tt:HumanFace>");
    EXPECT_TRUE(o.hasFace);
    EXPECT_STREQ(o.gender, "Female");
    EXPECT_TRUE(o.eyewear);
    EXPECT_FALSE(o.mask);
    EXPECT_TRUE(o.hat);
    EXPECT_TRUE(o.helmet);  // only the exact lower-case word clears a flag
}

TEST_F(FaceTest, MissingAccessoryOrWearLeavesFlagsClear) {
    const auto& o = onlyObject(
        "<tt:HumanFace><fc:Accessory><fc:Hat/><fc:Mask><fc:Other>true</fc:Other></fc:Mask>"
        "</fc:Accessory></tt:HumanFace>");
    EXPECT_TRUE(o.hasFace);
    EXPECT_STREQ(o.gender, "");
    EXPECT_FALSE(o.eyewear || o.mask || o.hat || o.helmet);
}

}  // namespace
}  // namespace lumo_test
