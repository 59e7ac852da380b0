// UUIDs as text (each format option decorates on its own and reads back) and random version-4
// UUIDs drawn from several threads.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "qo/sdk/helpers/uuid_helper.h"

namespace qo::sdk::test {
namespace {

using Options = UuidHelper::FormatOptions;

const std::string kDigits = "0112233445566778899aabbccddeeff0";

TEST(UuidText, eachOptionDecoratesIndependentlyAndReadsBack) {
    Uuid uuid;
    uuid.bytes = {0x01, 0x12, 0x23, 0x34, 0x45, 0x56, 0x67, 0x78,
                  0x89, 0x9A, 0xAB, 0xBC, 0xCD, 0xDE, 0xEF, 0xF0};
    EXPECT_EQ(UuidHelper::toStdString(uuid, Options::none), kDigits);
    EXPECT_EQ(UuidHelper::toStdString(uuid), "{01122334-4556-6778-899A-ABBCCDDEEFF0}");
    for (int options = 0; options < 8; ++options) {
        const std::string text = UuidHelper::toStdString(uuid, static_cast<Options>(options));
        EXPECT_EQ(text.size(), 32u + (options & 2 ? 4 : 0) + (options & 4 ? 2 : 0)) << text;
        EXPECT_EQ(text.find_first_of(options & 1 ? "abcdef" : "ABCDEF"), std::string::npos);
        EXPECT_EQ(UuidHelper::fromStdString(text), uuid) << text;
    }
    EXPECT_EQ(UuidHelper::fromStdString(" {01 12\t23-34\r\n4556-}6778899aabbccddeeff0 "), uuid);
}

TEST(UuidText, anythingButSixteenHexPairsReadsAsNull) {
    std::vector<std::string> bad = {kDigits.substr(0, 31), kDigits + "0", "", std::string(40, '-')};
    for (const std::string pair : {"g0", "+f", "0x", "\v5", "\xC3\xA9"})
        bad.push_back(std::string(kDigits).replace(4, 2, pair));
    for (const std::string& text : bad)
        EXPECT_TRUE(UuidHelper::fromStdString(text).isNull()) << text;
}

TEST(RandomUuid, isVersionFourVariantOneAndDistinctAcrossThreads) {
    constexpr int kThreads = 4;
    constexpr int kDraws = 250;
    std::vector<std::vector<Uuid>> drawn(kThreads);
    std::vector<std::thread> threads;
    for (auto& ids : drawn) {
        threads.emplace_back([&ids] {
            for (int i = 0; i < kDraws; ++i)
                ids.push_back(UuidHelper::randomUuid());
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::set<Uuid> all;
    for (const auto& ids : drawn) {
        for (const Uuid& uuid : ids) {
            EXPECT_TRUE((uuid.bytes[6] >> 4) == 4 && (uuid.bytes[8] >> 6) == 2);
            all.insert(uuid);
        }
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kDraws));
}

}  // namespace
}  // namespace qo::sdk::test
