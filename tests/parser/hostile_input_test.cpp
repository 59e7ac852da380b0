// Malformed and hostile documents: null or a payload, never a crash or a read past the buffer
// (these tests earn their keep under ASan and UBSan).
#include <pthread.h>

#include <cstring>
#include <string>

#include "lumo/metadata_prescan.h"
#include "parser/document_builder.h"

namespace lumo_test {
namespace {

class HostileInputTest : public ParserTest {
protected:
    static std::string sample() {
        return document(
            frame(object(3,
                         "<tt:Shape><tt:BoundingBox left=\"1\" top=\"2\" right=\"3\" "
                         "bottom=\"4\"/></tt:Shape><tt:Class><tt:Type>Human</tt:Type></tt:Class>"
                         "<tt:ImageRef>http://192.0.2.10/3.jpg?a=1&amp;b=2</tt:ImageRef>")) +
            event("tns1:RuleEngine/ObjectDetection/vndObjectEx", item("Rule", "Region2"),
                  item("ObjectId", "3") + item("Actions", "Enter")));
    }
};

TEST_F(HostileInputTest, RefusesBuffersOutsideTheContract) {
    EXPECT_EQ(Metadata::ConvertToPayload(nullptr, 0), nullptr);
    char text[] = "<tt:MetaDataStream/>xx";
    EXPECT_EQ(Metadata::ConvertToPayload(text, -1), nullptr);
    EXPECT_EQ(Metadata::ConvertToPayload(text, 20), nullptr);  // no NUL where the size ends

    std::string atBound = "<tt:MetaDataStream/>";
    atBound.resize(Metadata::kMaxDocumentSize, ' ');
    EXPECT_TRUE(parse(atBound));
    EXPECT_FALSE(parse(atBound + " "));
}

TEST_F(HostileInputTest, EveryTruncationBeforeTheRootClosesGivesNull) {
    const std::string text = sample();
    const std::size_t rootEnd = text.rfind('>') + 1;
    for (std::size_t length = 0; length < rootEnd; ++length)
        ASSERT_FALSE(parse(text.substr(0, length))) << length;
    EXPECT_TRUE(parse(text.substr(0, rootEnd)));
}

TEST_F(HostileInputTest, MalformedMarkupGivesNull) {
    for (const char* text : {
             "junk<tt:MetaDataStream/>",
             "<tt:MetaDataStream ObjectId=3/>",
             "<tt:MetaDataStream a/>",
             "<tt:MetaDataStream><!-- never closed </tt:MetaDataStream>",
             "<tt:MetaDataStream><![CDATA[ never closed </tt:MetaDataStream>",
             "<!DOCTYPE d [ <!ELEMENT a ANY> <tt:MetaDataStream/>",
             "<?xml version=\"1.0\" <tt:MetaDataStream/>",
             "<tt:MetaDataStream a='&#x110000;'/>",
             "<tt:MetaDataStream>&#12</tt:MetaDataStream>",
             "</tt:MetaDataStream>",
             "<tt:MetaDataStream><tt:Event>",
             "<tt:MetaDataStream/ >",
         })
        EXPECT_FALSE(parse(text)) << text;
}

TEST_F(HostileInputTest, MarkupThatIsNotAnElementIsSkipped) {
    auto payload = parse(
        "<?xml version='1.0'?><!DOCTYPE d [<!ELEMENT a (b)> [nested]]><!-- c -->"
        "<tt:MetaDataStream><?pi </tt:MetaDataStream>?><![CDATA[<tt:Event>]]><!-- <tt:Event> -->"
        "<!ANY ><tt:Event/></tt:MetaDataStream>");
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->eventCount, 1);
}

TEST_F(HostileInputTest, NulByteEndsTheDocumentWhereItStands) {
    std::string whole("<tt:MetaDataStream/>\0<unclosed", 30);
    EXPECT_TRUE(parse(whole));
    std::string cut("<tt:MetaDataStream>\0</tt:MetaDataStream>", 40);
    EXPECT_FALSE(parse(cut));
    const auto& o = onlyObject("<tt:Class><tt:Type>Hu&#0;man</tt:Type></tt:Class>");
    EXPECT_STREQ(o.classType, "Hu");
}

TEST_F(HostileInputTest, InvalidUtf8IsCarriedAsBytes) {
    const auto& o = onlyObject("<tt:Class><tt:Type>\xFF\xFE\xC3</tt:Type></tt:Class>");
    EXPECT_STREQ(o.classType, "\xFF\xFE\xC3");
}

std::string nested(int levels) {
    std::string text = "<tt:MetaDataStream>";
    for (int i = 1; i < levels; ++i)
        text += "<a>";
    for (int i = 1; i < levels; ++i)
        text += "</a>";
    return text + "</tt:MetaDataStream>";
}

TEST(NestingTest, DocumentsUpTo256LevelsAreParsedDeeperOnesRefused) {
    EXPECT_TRUE(parseText(nested(Metadata::kMaxNestingDepth)));
    EXPECT_FALSE(parseText(nested(Metadata::kMaxNestingDepth + 1)));
}

// Short documents may skip the depth scan on a count of their "<"; that count must see every one
// of them, wherever they fall in the text.
TEST(NestingTest, DepthIsBoundedWhateverTheSpacingOfTags) {
    for (const std::size_t lead : {0, 1, 255, 256, 257, 4099}) {
        for (const int gap : {0, 1, 13, 16, 17, 250}) {
            const std::string blanks(static_cast<std::size_t>(gap), ' ');
            std::string deep(lead, ' ');
            deep += "<tt:MetaDataStream>";
            for (int i = 0; i < Metadata::kMaxNestingDepth; ++i)
                deep += "<a>" + blanks;
            deep += "<b/>";
            for (int i = 0; i < Metadata::kMaxNestingDepth; ++i)
                deep += "</a>" + blanks;
            deep += "</tt:MetaDataStream>";
            EXPECT_FALSE(parseText(deep)) << lead << " " << gap;
        }
    }
    EXPECT_TRUE(parseText(std::string(300, ' ') + nested(100)));
}

TEST(NestingTest, ClosingTagsInsideOtherMarkupDoNotHideDepth) {
    std::string text = "<r>";
    for (int i = 0; i < 300; ++i)
        text += "<a t='</a>/>'><!-- </a> --><![CDATA[</a>]]><?p </a>?>/>";
    const auto result = Metadata::scanDocument(text.c_str());
    EXPECT_EQ(result.verdict, Metadata::ScanVerdict::tooDeep);
    EXPECT_EQ(result.depth, Metadata::kMaxNestingDepth);
}

void* parseOnThisThread(void* text) {
    auto* document = static_cast<std::string*>(text);
    Metadata::_Payload* payload =
        Metadata::ConvertToPayload(document->data(), static_cast<int>(document->size()));
    delete payload;
    return payload ? document : nullptr;
}

TEST(NestingTest, MillionLevelDocumentIsRefusedOnA256KiBStack) {
    std::string text = "<tt:MetaDataStream>";
    text.reserve(3'000'100);
    for (int i = 0; i < 1'000'000; ++i)
        text += "<a>";

    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 256 * 1024), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, &parseOnThisThread, &text), 0);
    void* result = &text;
    ASSERT_EQ(pthread_join(thread, &result), 0);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(result, nullptr);
}

}  // namespace
}  // namespace lumo_test
