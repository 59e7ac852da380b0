// Malformed and hostile documents: null or a payload, never a crash or a read past the buffer.
#include <pthread.h>

#include <algorithm>
#include <random>
#include <vector>

#include "lumo/metadata_prescan.h"
#include "parser/payload_text.h"

namespace lumo_test {

TEST(HostileInputTest, RefusesBuffersOutsideTheContract) {
    char text[] = "<tt:MetaDataStream/>xx";
    EXPECT_EQ(Metadata::ConvertToPayload(nullptr, 0), nullptr);
    EXPECT_EQ(Metadata::ConvertToPayload(text, -1), nullptr);
    EXPECT_EQ(Metadata::ConvertToPayload(text, 20), nullptr);  // no NUL where the size ends
    std::string atBound = "<tt:MetaDataStream/>";
    atBound.resize(Metadata::kMaxDocumentSize, ' ');
    EXPECT_TRUE(parseText(atBound));
    EXPECT_FALSE(parseText(atBound + " "));
}

TEST(HostileInputTest, EveryTruncationBeforeTheRootClosesGivesNull) {
    const std::string text = document(frame(object(3, "<tt:ImageRef>a?b=1&amp;c=2</tt:ImageRef>")) +
                                      event("t", {{"Rule", "Region2"}}, {{"ObjectId", "3"}}));
    const std::size_t rootEnd = text.rfind('>') + 1;
    for (std::size_t length = 0; length < rootEnd; ++length)
        ASSERT_FALSE(parseText(text.substr(0, length))) << length;
    EXPECT_TRUE(parseText(text.substr(0, rootEnd)));
}

TEST(HostileInputTest, MalformedMarkupGivesNullAndOtherMarkupOrBytesAreSkippedOrCarried) {
    for (const char* text :
         {"junk<tt:MetaDataStream/>", "<tt:MetaDataStream a=3/>",
          "<tt:MetaDataStream><!-- never closed </tt:MetaDataStream>",
          "<tt:MetaDataStream><![CDATA[ never closed </tt:MetaDataStream>",
          "<!DOCTYPE d [ <!ELEMENT a ANY> <tt:MetaDataStream/>",
          "<tt:MetaDataStream a='&#x110000;'/>", "<tt:MetaDataStream><tt:Event>"})
        EXPECT_FALSE(parseText(text)) << text;
    EXPECT_EQ(
        read("<?xml version='1.0'?><!DOCTYPE d [<!ELEMENT a (b)> [nested]]><!-- c -->"
             "<tt:MetaDataStream><?pi </tt:MetaDataStream>?><![CDATA[<tt:Event>]]><!-- <tt:Event>"
             " --><!ANY ><tt:Event/></tt:MetaDataStream>"),
        "event - @ source 0: data 0:");
    // A NUL byte ends the document; other bytes are carried as they are.
    EXPECT_TRUE(parseText(std::string("<tt:MetaDataStream/>\0<unclosed", 30)));
    EXPECT_FALSE(parseText(std::string("<tt:MetaDataStream>\0</tt:MetaDataStream>", 40)));
    expectObjects({{"<tt:Class><tt:Type>Hu&#0;man</tt:Type></tt:Class>", "class Hu@0"},
                   {"<tt:Class><tt:Type>\xFF\xFE\xC3</tt:Type></tt:Class>",  // invalid UTF-8
                    "class \xFF\xFE\xC3@0"}});
}

static std::string nested(int levels, std::size_t lead = 0, std::size_t gap = 0) {
    std::string text = std::string(lead, ' ') + "<tt:MetaDataStream>";
    for (int i = 1; i < levels; ++i)
        text += "<a>" + std::string(gap, ' ');
    for (int i = 1; i < levels; ++i)
        text += "</a>" + std::string(gap, ' ');
    return text + "</tt:MetaDataStream>";
}

static void* parseOnThisThread(void* text) {
    auto* document = static_cast<std::string*>(text);
    const PayloadPtr payload(
        Metadata::ConvertToPayload(document->data(), static_cast<int>(document->size())));
    return payload ? document : nullptr;
}

// Whether the text gives a payload when converted on a thread with a stack of `stackBytes`.
static bool parsedOnStack(std::string text, std::size_t stackBytes) {
    pthread_attr_t attributes;
    EXPECT_EQ(pthread_attr_init(&attributes), 0);
    EXPECT_EQ(pthread_attr_setstacksize(&attributes, stackBytes), 0);
    pthread_t thread;
    EXPECT_EQ(pthread_create(&thread, &attributes, &parseOnThisThread, &text), 0);
    void* result = nullptr;
    EXPECT_EQ(pthread_join(thread, &result), 0);
    pthread_attr_destroy(&attributes);
    return result != nullptr;
}

constexpr std::size_t kSmallStack = 256 * 1024;

// On a stack too small to take every "<" of these texts as a level, the depth is measured.
TEST(NestingTest, DocumentsUpTo256LevelsAreParsedDeeperOnesRefusedOnASmallStack) {
    EXPECT_TRUE(parsedOnStack(nested(Metadata::kMaxNestingDepth), kSmallStack));
    EXPECT_FALSE(parsedOnStack(nested(Metadata::kMaxNestingDepth + 1), kSmallStack));
    EXPECT_TRUE(parsedOnStack(nested(100, 300), kSmallStack));
}

// The count of "<" that decides whether to measure must see every one of them, wherever they
// fall in the text.
TEST(NestingTest, DepthIsBoundedWhateverTheSpacingOfTags) {
    for (const std::size_t lead : {0, 1, 255, 256, 257, 4099}) {
        for (const std::size_t gap : {0, 1, 13, 16, 17, 250})
            EXPECT_FALSE(
                parsedOnStack(nested(Metadata::kMaxNestingDepth + 1, lead, gap), kSmallStack))
                << lead << " " << gap;
    }
}

// Both counters (the AVX2 one where the processor has it) against a plain count: every length
// around their block and drain sizes, every density, and limits on both sides of the count.
TEST(NestingTest, OpeningCountsAreExactUpToTheLimitAndAboveItPast) {
    std::mt19937 random(7);
    for (const std::size_t length :
         {std::size_t{0}, std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{255},
          std::size_t{256}, std::size_t{257}, std::size_t{8191}, std::size_t{8192},
          std::size_t{8257}, std::size_t{70000}}) {
        for (const unsigned percent : {0u, 3u, 50u, 100u}) {
            std::string text(length, 'a');
            for (char& c : text) {
                if (random() % 100 < percent)
                    c = '<';
            }
            const int exact = static_cast<int>(std::count(text.begin(), text.end(), '<'));
            for (const int limit : {0, exact / 2, exact, exact + 1, 1 << 30}) {
                const char* const end = text.data() + text.size();
                std::vector<int> counts = {Metadata::countOpeningsSse2(text.data(), end, limit)};
                if (Metadata::hasAvx2())
                    counts.push_back(Metadata::countOpeningsAvx2(text.data(), end, limit));
                for (const int count : counts) {
                    if (exact <= limit)
                        EXPECT_EQ(count, exact) << length << " " << percent << " " << limit;
                    else
                        EXPECT_GT(count, limit) << length << " " << percent << " " << limit;
                }
            }
        }
    }
}

// Where the stack takes the whole text, it is parsed unmeasured: deep texts must then still fit.
// Unclosed ones make rapidxml recurse to the end before it fails.
TEST(NestingTest, DeepTextsNeverExhaustTheStackTheyAreParsedOn) {
    for (const std::size_t stack : {kSmallStack, std::size_t{1024 * 1024}}) {
        for (const int levels : {300, 600, 900, 1200, 2000, 5000}) {
            std::string unclosed = "<tt:MetaDataStream>";
            for (int i = 1; i < levels; ++i)
                unclosed += "<a>";
            EXPECT_FALSE(parsedOnStack(unclosed, stack)) << stack << " " << levels;
            parsedOnStack(nested(levels), stack);  // either outcome, but no crash
        }
    }
    EXPECT_TRUE(parseText(nested(Metadata::kMaxNestingDepth + 1)));  // an 8 MiB main stack
}

TEST(NestingTest, ClosingTagsInsideOtherMarkupDoNotHideDepth) {
    std::string text = "<r>";
    for (int i = 0; i < 300; ++i)
        text += "<a t='</a>/>'><!-- </a> --><![CDATA[</a>]]><?p </a>?>/>";
    const auto result = Metadata::scanDocument(text.c_str());
    EXPECT_EQ(result.verdict, Metadata::ScanVerdict::tooDeep);
    EXPECT_EQ(result.depth, Metadata::kMaxNestingDepth);
}

TEST(NestingTest, MillionLevelDocumentIsRefusedOnA256KiBStack) {
    std::string text = "<tt:MetaDataStream>";
    text.reserve(3'000'100);
    for (int i = 0; i < 1'000'000; ++i)
        text += "<a>";
    EXPECT_FALSE(parsedOnStack(std::move(text), kSmallStack));
}

}  // namespace lumo_test
