// Faces: gender and the four accessories, each worn unless its "fc:Wear" says exactly "false".
#include "parser/payload_text.h"

namespace lumo_test {

TEST(FaceTest, ReadsGenderAndTheAccessoriesWorn) {
    expectObjects({
        // Only the exact lower-case "false" clears a flag.
        {"<tt:HumanFace><fc:Gender>Female</fc:Gender><fc:Accessory><fc:Opticals><fc:Wear>true"
         "</fc:Wear></fc:Opticals><fc:Mask><fc:Wear>false</fc:Wear></fc:Mask><fc:Hat><fc:Wear> 1 "
         "</fc:Wear></fc:Hat><fc:Helmet><fc:Wear>False</fc:Wear></fc:Helmet></fc:Accessory>"
         "</tt:HumanFace>",
         "face Female eyewear hat helmet"},
        {"<tt:HumanFace><fc:Accessory><fc:Hat/><fc:Mask><fc:Other>true</fc:Other></fc:Mask>"
         "</fc:Accessory></tt:HumanFace>",
         "face"},
    });
}

}  // namespace lumo_test
