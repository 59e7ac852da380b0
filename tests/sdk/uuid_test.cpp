// UUIDs as text (each format option on its own, read back whatever the decoration) and random
// version-4 UUIDs drawn from several threads.
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
    const std::pair<Options, std::string> texts[] = {
        {Options::none, kDigits},
        {Options::uppercase, "0112233445566778899AABBCCDDEEFF0"},
        {Options::hyphens, "01122334-4556-6778-899a-abbccddeeff0"},
        {Options::braces, "{0112233445566778899aabbccddeeff0}"},
        {Options::braces | Options::uppercase, "{0112233445566778899AABBCCDDEEFF0}"},
        {Options::all, "{01122334-4556-6778-899A-ABBCCDDEEFF0}"}};
    for (const auto& [options, text] : texts)
        EXPECT_EQ(UuidHelper::toStdString(uuid, options), text);
    EXPECT_EQ(UuidHelper::toStdString(uuid), texts[5].second);
    EXPECT_EQ(UuidHelper::toStdString(Uuid()), "{00000000-0000-0000-0000-000000000000}");
    for (int options = 0; options < 8; ++options) {
        const std::string text = UuidHelper::toStdString(uuid, static_cast<Options>(options));
        EXPECT_EQ(UuidHelper::fromStdString(text), uuid) << text;
    }
    EXPECT_EQ(UuidHelper::fromStdString(" {01 12\t23-34\r\n4556-}6778899aabbccddeeff0 "), uuid);
}

TEST(UuidText, anythingButSixteenHexPairsReadsAsNull) {
    std::vector<std::string> bad = {
        kDigits.substr(0, 31), "{" + kDigits.substr(0, 31) + "}", kDigits + "0", kDigits + "01", "",
        std::string(40, '-')};
    for (const std::string pair : {"g0", "0g", "+f", "0x", "\v5", "\f0", "..", "\xC3\xA9"})
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
            const std::string text = UuidHelper::toStdString(uuid, Options::hyphens);
            EXPECT_TRUE(text[14] == '4' && std::string("89ab").find(text[19]) != std::string::npos)
                << text;
            all.insert(uuid);
        }
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kDraws));
}

}  // namespace
}  // namespace qo::sdk::test
