// Events: topic, message time and the source and data items.
#include "parser/document_builder.h"

namespace lumo_test {

TEST(EventTest, ReadsTopicTimeAndItemsInDocumentOrderAndLaterOnesReplaceEarlierOnes) {
    EXPECT_EQ(
        read(document(
            event("tns1:RuleEngine/CountAggregation/Counter",
                  item("VideoSource", "0") + item("Rule", "LineCounting1"), item("Count", "12")) +
            frame("<tt:Object ObjectId=\"1\"/>", "") + "<tt:Event><wsnt:Other/></tt:Event>" +
            // An item without a name or value still takes its index.
            event("b", "<tt:SimpleItem Value=\"v0\"/><tt:SimpleItem Name=\"n1\"/>", "") +
            "<tt:Event><wsnt:NotificationMessage><wsnt:Topic>old</wsnt:Topic><wsnt:Message>"
            "<tt:Message UtcTime=\"1\"><tt:Source>" +
            item("A", "1") + item("B", "2") +
            "</tt:Source></tt:Message></wsnt:Message><wsnt:Topic>new</wsnt:Topic><wsnt:Message/>"
            "<wsnt:Message><tt:Message UtcTime=\"2\"><tt:Source><tt:SimpleItem Value=\"3\"/>"
            "</tt:Source></tt:Message></wsnt:Message></wsnt:NotificationMessage></tt:Event>")),
        "object 1/0\n"
        "event tns1:RuleEngine/CountAggregation/Counter @2024-05-14T09:21:07.600Z source 2: "
        "VideoSource=0 Rule=LineCounting1 data 1: Count=12\n"
        "event - @ source 0: data 0:\n"
        "event b @2024-05-14T09:21:07.600Z source 2: -=v0 n1=- data 0:\n"
        "event new @2 source 1: -=3 data 0:");
}

TEST(EventTest, GroupKeepsItsFirstTwelveItems) {
    std::string items;
    std::string kept;
    for (int i = 0; i < 15; ++i) {
        const std::string n = std::to_string(i);
        items += item("Item" + n, n) + "<tt:ElementItem/>";
        kept += i < 12 ? " Item" + n + "=" + n : "";
    }
    EXPECT_EQ(read(document(event("t", items, ""))),
              "event t @2024-05-14T09:21:07.600Z source 12:" + kept + " data 0:");
}

}  // namespace lumo_test
