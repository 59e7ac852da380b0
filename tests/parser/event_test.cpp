// Events: topic, message time and the source and data items.
#include "parser/payload_text.h"

namespace lumo_test {

TEST(EventTest, ReadsTopicTimeAndItemsInDocumentOrderKeepingTheFirstTwelveOfAGroup) {
    Items items;
    std::string kept;
    for (int i = 0; i < 15; ++i) {
        const std::string n = std::to_string(i);
        items.push_back({"Item" + n, n});
        kept += i < 12 ? " Item" + n + "=" + n : "";
    }
    std::string many = event("t", items);
    const std::string other = "<tt:ElementItem/>";  // Only simple items count.
    for (size_t at = 0; (at = many.find("/><tt:SimpleItem", at)) != std::string::npos;
         at += 2 + other.size())
        many.insert(at + 2, other);
    EXPECT_EQ(read(document(event(kTopicCounter, {{"VideoSource", "0"}, {"Rule", "LineCounting1"}},
                                  {{"Count", "12"}}) +
                            "<tt:Event><wsnt:Other/></tt:Event>" +
                            // An item without a name or value still takes its index.
                            event("b", {{std::nullopt, "v0"}, {"n1", std::nullopt}}) + many)),
              "event tns1:RuleEngine/CountAggregation/Counter @2024-05-14T09:21:07.600Z source 2: "
              "VideoSource=0 Rule=LineCounting1 data 1: Count=12\n"
              "event - @ source 0: data 0:\n"
              "event b @2024-05-14T09:21:07.600Z source 2: -=v0 n1=- data 0:\n"
              "event t @2024-05-14T09:21:07.600Z source 12:" +
                  kept + " data 0:");
}

// A notification may carry several messages; each writes its items over the earlier ones by index.
TEST(EventTest, LaterMessageWritesItsItemsOverTheEarlierOnesAndKeepsWhatItLacks) {
    const std::string message = "<wsnt:Message><tt:Message UtcTime=\"2024-05-14T09:21:08.000Z\">";
    const std::string end = "</tt:Message></wsnt:Message>";
    const std::string second = message + "<tt:Source></tt:Source><tt:Data>" +
                               "<tt:SimpleItem Value=\"9\"/>" + "</tt:Data>" + end + message +
                               "<tt:Data></tt:Data>" + end;
    std::string text =
        document(event(kTopicCounter, {{"VideoSource", "0"}, {"Rule", "LineCounting1"}},
                       {{"Count", "12"}, {"Direction", "In"}}));
    text.insert(text.find("</wsnt:NotificationMessage>"), second);
    EXPECT_EQ(read(text),
              "event tns1:RuleEngine/CountAggregation/Counter @2024-05-14T09:21:08.000Z source 2: "
              "VideoSource=0 Rule=LineCounting1 data 1: Count=9 Direction=In");
}

}  // namespace lumo_test
