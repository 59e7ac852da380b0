// Faces: gender and the four accessories, each worn unless its "fc:Wear" says exactly "false".
#include "parser/document_builder.h"

namespace lumo_test {

static std::string accessory(const char* name, const char* wear) {
    return std::string("<fc:") + name + "><fc:Wear>" + wear + "</fc:Wear></fc:" + name + ">";
}

TEST(FaceTest, ReadsGenderAndTheAccessoriesWorn) {
    expectObjects({
        // Only the exact lower-case "false" clears a flag.
        {"<tt:HumanFace><fc:Gender>Female</fc:Gender><fc:Accessory>" +
             accessory("Opticals", "true") + accessory("Mask", "false") + accessory("Hat", " 1 ") +
             accessory("Helmet", "False") + "</fc:Accessory></tt:HumanFace>",
         "face Female eyewear hat helmet"},
        {"<tt:HumanFace><fc:Accessory><fc:Hat/><fc:Mask><fc:Other>true</fc:Other></fc:Mask>"
         "</fc:Accessory></tt:HumanFace>",
         "face"},
    });
}

}  // namespace lumo_test
