// The stream and its frames: time, coordinate transformation, which frame's objects count.
#include "parser/document_builder.h"

namespace lumo_test {
namespace {

class FrameTest : public ParserTest {};

TEST_F(FrameTest, ReadsTimeAndTransformationOfTheFrame) {
    auto payload = parse(
        document(frame("<tt:Transformation><tt:Translate x=\"-1.0\" y=\"1.0\"/>"
                       "<tt:Scale x=\"0.001953125\" y=\"-0.00390625\"/></tt:Transformation>")));
    ASSERT_TRUE(payload);
    EXPECT_STREQ(payload->utcTime, "2024-05-14T09:21:07.512Z");
    EXPECT_FLOAT_EQ(payload->translateX, -1.0f);
    EXPECT_FLOAT_EQ(payload->translateY, 1.0f);
    EXPECT_FLOAT_EQ(payload->scaleX, 0.001953125f);
    EXPECT_FLOAT_EQ(payload->scaleY, -0.00390625f);
}

TEST_F(FrameTest, StreamWithNothingOfInterestGivesAnEmptyPayload) {
    auto payload = parse(document("<tt:PTZ/><tt:VideoAnalytics/>"));
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->objectCount, 0);
    EXPECT_EQ(payload->objects, nullptr);
    EXPECT_EQ(payload->eventCount, 0);
    EXPECT_EQ(payload->events, nullptr);
    EXPECT_STREQ(payload->utcTime, "");
    EXPECT_EQ(payload->scaleX, 0.0f);
}

TEST_F(FrameTest, RootNamesAreComparedExactly) {
    EXPECT_FALSE(parse("<tt:MetadataStream><tt:VideoAnalytics/></tt:MetadataStream>"));
    EXPECT_FALSE(parse("<MetaDataStream/>"));
    EXPECT_FALSE(parse(""));
    EXPECT_TRUE(parse("\xEF\xBB\xBF<tt:MetaDataStream/>"));  // a byte-order mark is skipped
}

TEST_F(FrameTest, ObjectsWithoutAppearanceKeepOnlyTheirIds) {
    auto payload = parse(document(
        frame("<tt:Object ObjectId=\"1\"/><tt:Object ObjectId=\"2\" Parent=\"1\"/><tt:Object/>")));
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->objectCount, 3);
    EXPECT_EQ(payload->objects[1]->objectId, 2);
    EXPECT_EQ(payload->objects[1]->parentId, 1);
    EXPECT_EQ(payload->objects[2]->objectId, 0);
    for (int i = 0; i < 3; ++i) {
        const Metadata::_Object& o = *payload->objects[i];
        EXPECT_EQ(o.vehicleColor.y, -1);
        EXPECT_EQ(o.topColors[1].v, -1);
        EXPECT_EQ(o.bottomColor.u, -1);
        EXPECT_EQ(o.imageRef, nullptr);
    }
}

TEST_F(FrameTest, OnlyTheLastFrameOfTheDocumentDeliversObjects) {
    auto payload = parse(document(frame("<tt:Object ObjectId=\"1\"/><tt:Object ObjectId=\"2\"/>") +
                                  "<tt:VideoAnalytics/>" +  // no frame: changes nothing
                                  frame("<tt:Object ObjectId=\"3\"/>", "later")));
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->objectCount, 1);
    EXPECT_EQ(payload->objects[0]->objectId, 3);
    EXPECT_STREQ(payload->utcTime, "later");

    auto emptied = parse(document(frame("<tt:Object ObjectId=\"1\"/>") + frame("")));
    ASSERT_TRUE(emptied);
    EXPECT_EQ(emptied->objectCount, 0);
}

TEST_F(FrameTest, SecondFrameOfOneVideoAnalyticsIsIgnored) {
    auto payload =
        parse(document("<tt:VideoAnalytics><tt:Frame><tt:Object ObjectId=\"1\"/></tt:Frame>"
                       "<tt:Frame><tt:Object ObjectId=\"2\"/><tt:Object ObjectId=\"3\"/></tt:Frame>"
                       "</tt:VideoAnalytics>"));
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->objectCount, 1);
    EXPECT_EQ(payload->objects[0]->objectId, 1);
}

}  // namespace
}  // namespace lumo_test
