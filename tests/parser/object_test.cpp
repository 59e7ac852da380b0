// An object's ids, shape and class, and how attribute numbers are read.
#include "parser/document_builder.h"

namespace lumo_test {

TEST(ObjectTest, ReadsBoxCentreAndClassAndLaterPartsOverwriteEarlierOnes) {
    expectObjects({
        {"<tt:Shape><tt:BoundingBox left=\"256.0\" top=\"128\" right=\"512.5\" bottom=\"384\"/>"
         "<tt:CenterOfGravity x=\"384.25\" y=\"256\"/></tt:Shape>"
         "<tt:Class><tt:Type Likelihood=\"0.87\">Human</tt:Type></tt:Class>",
         "box 256,128,512.5,384 centre 384.25,256 class Human@0.87"},
        // An absent attribute leaves the earlier value.
        {"<tt:Class><tt:Type Likelihood=\"0.4\">Vehicle</tt:Type></tt:Class>"
         "<tt:Class><tt:Type>HumanHead</tt:Type></tt:Class>",
         "class HumanHead@0.4"},
    });
}

TEST(ObjectTest, IntegersAreBaseTenWithBlanksAndSignSaturatingAt32Bits) {
    const std::pair<const char*, const char*> cases[] = {{" \t -17", "-17"},
                                                         {"+8", "8"},
                                                         {"12abc", "12"},
                                                         {"abc", "0"},
                                                         {"- 5", "0"},
                                                         {"2147483648", "2147483647"},
                                                         {"-99999999999999999999", "-2147483648"}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(read(document(frame(
                      std::string("<tt:Object ObjectId=\"1\" Parent=\"") + text + "\"/>", ""))),
                  std::string("object 1/") + value)
            << text;
    }
}

TEST(ObjectTest, FloatsAreDecimalNumbersAndZeroForAnythingElse) {
    const std::pair<const char*, const char*> cases[] = {
        {"1e3", "1000"}, {"  2.5px", "2.5"}, {"+.25", "0.25"}, {"abc", ""},
        {"nan", ""},     {"inf", ""},        {"1e60", ""},     {"+-1", ""}};
    for (const auto& [text, left] : cases) {
        EXPECT_EQ(describeObject(std::string("<tt:Shape><tt:BoundingBox left=\"") + text +
                                 "\"/></tt:Shape>"),
                  *left ? std::string("box ") + left + ",0,0,0" : "")
            << text;
    }
}

}  // namespace lumo_test
