// The stream and its frames: time, coordinate transformation, which frame's objects count.
#include "parser/payload_text.h"

namespace lumo_test {

TEST(FrameTest, RootNameIsExactAndObjectsComeFromTheLastFrameAndTheFirstOfItsAnalytics) {
    EXPECT_EQ(read("<tt:MetadataStream><tt:VideoAnalytics/></tt:MetadataStream>"), "null");
    EXPECT_EQ(read("\xEF\xBB\xBF<tt:MetaDataStream/>"), "");  // a byte-order mark is skipped
    const std::string one = "<tt:Object ObjectId=\"1\"/>";
    const std::pair<std::string, std::string> cases[] = {
        {frame("<tt:Transformation><tt:Translate x=\"-1.0\" y=\"1.0\"/><tt:Scale x=\"0.001953125\""
               " y=\"-0.00390625\"/></tt:Transformation>" +
               one + "<tt:Object ObjectId=\"2\" Parent=\"1\"/><tt:Object/>"),
         "frame @2024-05-14T09:21:07.512Z translate -1,1 scale 0.00195312,-0.00390625\n"
         "object 1/0\nobject 2/1\nobject 0/0"},
        {frame(one + one) + "<tt:VideoAnalytics/>" + frame("", "later"),
         "frame @later translate 0,0 scale 0,0"},
        {"<tt:VideoAnalytics><tt:Frame UtcTime=\"first\">" + one +
             "</tt:Frame><tt:Frame UtcTime=\"second\"/></tt:VideoAnalytics>",
         "frame @first translate 0,0 scale 0,0\nobject 1/0"},
    };
    for (const auto& [body, described] : cases)
        EXPECT_EQ(read(document(body)), described) << body;
}

}  // namespace lumo_test
