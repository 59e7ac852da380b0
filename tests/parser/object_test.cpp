// An object's ids, shape and class, and how attribute numbers are read.
#include "parser/payload_text.h"

namespace lumo_test {

TEST(ObjectTest, ReadsBoxCentreAndClassAndNumbersAsDecimalsSaturatingAt32BitsOrFiniteFloats) {
    expectObjects({
        {"<tt:Shape><tt:BoundingBox left=\"256.0\" top=\"128\" right=\"512.5\" bottom=\"384\"/>"
         "<tt:CenterOfGravity x=\"384.25\" y=\"256\"/></tt:Shape>"
         "<tt:Class><tt:Type Likelihood=\"0.87\">Human</tt:Type></tt:Class>",
         "box 256,128,512.5,384 centre 384.25,256 class Human@0.87"},
        // An absent attribute leaves the earlier value.
        {"<tt:Class><tt:Type Likelihood=\"0.4\">Vehicle</tt:Type></tt:Class>"
         "<tt:Class><tt:Type>HumanHead</tt:Type></tt:Class>",
         "class HumanHead@0.4"},
        {"<tt:Shape><tt:BoundingBox left=\"  2.5px\" top=\"nan\" right=\"1e60\"/></tt:Shape>",
         "box 2.5,0,0,0"},
    });
    const std::pair<const char*, const char*> integers[] = {
        {" \t -17", "-17"}, {"- 5", "0"}, {"-99999999999999999999", "-2147483648"}};
    for (const auto& [text, value] : integers) {
        EXPECT_EQ(read(document(frame(
                      std::string("<tt:Object ObjectId=\"1\" Parent=\"") + text + "\"/>", ""))),
                  std::string("object 1/") + value)
            << text;
    }
}

}  // namespace lumo_test
