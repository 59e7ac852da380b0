#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "qo/sdk/helpers/uuid_helper.h"

namespace qo::sdk::test {
namespace {

using Options = UuidHelper::FormatOptions;

Uuid sampleUuid() {
    Uuid uuid;
    uuid.bytes = {0x01, 0x12, 0x23, 0x34, 0x45, 0x56, 0x67, 0x78,
                  0x89, 0x9A, 0xAB, 0xBC, 0xCD, 0xDE, 0xEF, 0xF0};
    return uuid;
}

class UuidTextTest : public ::testing::Test {};

TEST_F(UuidTextTest, NullUuidWithAllOptions) {
    EXPECT_EQ(UuidHelper::toStdString(Uuid(), Options::all),
              "{00000000-0000-0000-0000-000000000000}");
}

TEST_F(UuidTextTest, NullUuidWithoutOptionsIs32Zeroes) {
    EXPECT_EQ(UuidHelper::toStdString(Uuid(), Options::none), std::string(32, '0'));
}

TEST_F(UuidTextTest, EachOptionDecoratesIndependently) {
    const Uuid uuid = sampleUuid();
    EXPECT_EQ(UuidHelper::toStdString(uuid, Options::none), "0112233445566778899aabbccddeeff0");
    EXPECT_EQ(UuidHelper::toStdString(uuid, Options::uppercase),
              "0112233445566778899AABBCCDDEEFF0");
    EXPECT_EQ(UuidHelper::toStdString(uuid, Options::hyphens),
              "01122334-4556-6778-899a-abbccddeeff0");
    EXPECT_EQ(UuidHelper::toStdString(uuid, Options::braces), "{0112233445566778899aabbccddeeff0}");
    EXPECT_EQ(UuidHelper::toStdString(uuid, Options::braces | Options::uppercase),
              "{0112233445566778899AABBCCDDEEFF0}");
}

TEST_F(UuidTextTest, DefaultIsAllOptions) {
    EXPECT_EQ(UuidHelper::toStdString(sampleUuid()), "{01122334-4556-6778-899A-ABBCCDDEEFF0}");
}

TEST_F(UuidTextTest, RoundTripsWithEveryCombinationOfOptions) {
    const Uuid uuid = sampleUuid();
    for (int options = 0; options < 8; ++options) {
        const std::string text = UuidHelper::toStdString(uuid, static_cast<Options>(options));
        EXPECT_EQ(UuidHelper::fromStdString(text), uuid) << text;
    }
    EXPECT_EQ(UuidHelper::fromStdString(UuidHelper::toStdString(uuid, Options::all)), uuid);
}

TEST_F(UuidTextTest, ParsingSkipsWhiteSpaceAndSeparatorsAnywhere) {
    EXPECT_EQ(UuidHelper::fromStdString(" {01 12\t23-34\r\n4556-}6778899aabbccddeeff0 "),
              sampleUuid());
}

TEST_F(UuidTextTest, WrongNumberOfDigitsGivesNull) {
    const std::string digits = "0112233445566778899aabbccddeeff0";
    EXPECT_TRUE(UuidHelper::fromStdString(digits.substr(0, 31)).isNull());
    EXPECT_TRUE(UuidHelper::fromStdString("{" + digits.substr(0, 31) + "}").isNull());
    EXPECT_TRUE(UuidHelper::fromStdString(digits + "0").isNull());  // 33: a dangling digit.
    EXPECT_TRUE(UuidHelper::fromStdString(digits + "01").isNull());
    EXPECT_TRUE(UuidHelper::fromStdString("").isNull());
    EXPECT_TRUE(UuidHelper::fromStdString(std::string(40, '-')).isNull());
}

TEST_F(UuidTextTest, PairThatIsNotTwoHexDigitsGivesNull) {
    const std::string digits = "0112233445566778899aabbccddeeff0";
    for (const std::string bad : {"g0", "0g", "+f", "0x", "\v5", "\f0", "..", "\xC3\xA9"}) {
        std::string text = digits;
        text.replace(4, 2, bad);
        EXPECT_TRUE(UuidHelper::fromStdString(text).isNull()) << text;
    }
}

class RandomUuidTest : public ::testing::Test {};

TEST_F(RandomUuidTest, IsMarkedAsVersionFourVariantOne) {
    for (int i = 0; i < 200; ++i) {
        const std::string text =
            UuidHelper::toStdString(UuidHelper::randomUuid(), Options::hyphens);
        ASSERT_EQ(text.size(), 36U);
        EXPECT_EQ(text[14], '4') << text;
        EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos) << text;
    }
}

TEST_F(RandomUuidTest, ThreadsDrawDistinctIdsFromTheSharedGenerator) {
    constexpr int kThreads = 4;
    constexpr int kDraws = 250;
    std::vector<std::vector<Uuid>> drawn(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&drawn, t] {
            for (int i = 0; i < kDraws; ++i)
                drawn[t].push_back(UuidHelper::randomUuid());
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::set<Uuid> all;
    for (const auto& ids : drawn)
        all.insert(ids.begin(), ids.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kDraws));
}

}  // namespace
}  // namespace qo::sdk::test
