// Events: topic, message time and the source and data items.
#include "parser/document_builder.h"

namespace lumo_test {
namespace {

class EventTest : public ParserTest {};

TEST_F(EventTest, ReadsTopicTimeAndItems) {
    const auto& e = onlyEvent(event("tns1:RuleEngine/CountAggregation/Counter",
                                    item("VideoSource", "0") + item("Rule", "LineCounting1"),
                                    item("Count", "12")));
    EXPECT_STREQ(e.topic, "tns1:RuleEngine/CountAggregation/Counter");
    EXPECT_STREQ(e.utcTime, "2024-05-14T09:21:07.600Z");
    ASSERT_EQ(e.sourceCount, 2);
    EXPECT_STREQ(e.sourceNames[1], "Rule");
    EXPECT_STREQ(e.sourceValues[1], "LineCounting1");
    ASSERT_EQ(e.dataCount, 1);
    EXPECT_STREQ(e.dataNames[0], "Count");
    EXPECT_STREQ(e.dataValues[0], "12");
    EXPECT_EQ(e.dataNames[1], nullptr);
}

TEST_F(EventTest, GroupKeepsItsFirstTwelveItems) {
    std::string items;
    for (int i = 0; i < 15; ++i)
        items += item("Item" + std::to_string(i), std::to_string(i)) + "<tt:ElementItem/>";
    const auto& e = onlyEvent(event("tns1:AI/AppSettingChanged", items, ""));
    EXPECT_EQ(e.sourceCount, 12);
    EXPECT_STREQ(e.sourceNames[11], "Item11");
    EXPECT_STREQ(e.sourceValues[11], "11");
    EXPECT_EQ(e.dataCount, 0);
}

TEST_F(EventTest, ItemWithoutNameStillTakesAnIndex) {
    const auto& e =
        onlyEvent(event("t", "<tt:SimpleItem Value=\"v0\"/><tt:SimpleItem Name=\"n1\"/>", ""));
    ASSERT_EQ(e.sourceCount, 2);
    EXPECT_EQ(e.sourceNames[0], nullptr);
    EXPECT_STREQ(e.sourceValues[0], "v0");
    EXPECT_STREQ(e.sourceNames[1], "n1");
    EXPECT_EQ(e.sourceValues[1], nullptr);
}

TEST_F(EventTest, EventWithoutNotificationMessageStaysEmpty) {
    auto payload = parse(document("<tt:Event><wsnt:Other/></tt:Event>" + event("t", "", "")));
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->eventCount, 2);
    EXPECT_EQ(payload->events[0]->topic, nullptr);
    EXPECT_STREQ(payload->events[0]->utcTime, "");
    EXPECT_STREQ(payload->events[1]->topic, "t");
}

TEST_F(EventTest, EventsKeepDocumentOrderAroundFrames) {
    auto payload = parse(
        document(event("a", "", "") + frame("<tt:Object ObjectId=\"1\"/>") + event("b", "", "")));
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->eventCount, 2);
    EXPECT_STREQ(payload->events[0]->topic, "a");
    EXPECT_STREQ(payload->events[1]->topic, "b");
    EXPECT_EQ(payload->objectCount, 1);
}

TEST_F(EventTest, LaterTopicAndMessageReplaceEarlierOnes) {
    const auto& e = onlyEvent(
        "<tt:Event><wsnt:NotificationMessage><wsnt:Topic>old</wsnt:Topic>"
        "<wsnt:Message><tt:Message UtcTime=\"1\"><tt:Source>" +
        item("A", "1") + item("B", "2") +
        "</tt:Source></tt:Message></wsnt:Message><wsnt:Topic>new</wsnt:Topic>"
        "<wsnt:Message/><wsnt:Message><tt:Message UtcTime=\"2\"><tt:Source>" +
        "<tt:SimpleItem Value=\"3\"/></tt:Source></tt:Message></wsnt:Message>"
        "</wsnt:NotificationMessage></tt:Event>");
    EXPECT_STREQ(e.topic, "new");
    EXPECT_STREQ(e.utcTime, "2");
    ASSERT_EQ(e.sourceCount, 1);
    EXPECT_EQ(e.sourceNames[0], nullptr);  // not "A" left over from the first message
    EXPECT_EQ(e.sourceValues[1], nullptr);
}

}  // namespace
}  // namespace lumo_test
