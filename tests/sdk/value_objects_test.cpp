// The value objects the library hands to the server (strings, string maps, attributes, settings
// responses, diagnostic events, errors and results, UUIDs), their answers to bad input, and what
// the log shows of them and of the server's maps and device information.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/log_utils.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/helpers/to_string.h"
#include "qo/sdk/helpers/uuid_helper.h"
#include "qo/sdk/result.h"
#include "support/object_model.h"

namespace qo::sdk::test {
namespace {

class ValueObjects : public ObjectCountingTest {
protected:
    static std::string report(const std::string& file, const std::string& condition) {
        return "[" + file + "] \n>>> ASSERTION FAILED: qo/sdk/helpers/" + file + ".cpp:N (" +
               condition + ") \n";
    }

    CapturedOutput output;
};

TEST_F(ValueObjects, nullTextIsEmptyAndMapsIndexKeysInByteOrderAndRefuseBadOnes) {
    EXPECT_STREQ(String(static_cast<const char*>(nullptr)).str(), "");
    const auto map = makePtr<StringMap>();
    map->setItem("a", "overwritten");
    for (const char* key : {"b", "a", "\xC3\xA9", "B", ""})
        map->setItem(key, std::string("v") + key);
    std::string items;
    for (int32_t i = 0; i < map->count(); ++i)
        items += map->key(i) + std::string("=") + map->value(i) + " ";
    EXPECT_EQ(items, "B=vB a=va b=vb \xC3\xA9=v\xC3\xA9 ");
    for (const int32_t index : {-1, 4, INT_MIN})
        EXPECT_TRUE(map->key(index) == nullptr && map->value(index) == nullptr) << index;
    EXPECT_EQ(map->value(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(output.textWithoutLineNumbers(), report("string_map", "!key.empty()"));

    const Attribute original(IAttribute::Type::color, "Color", "Red", 0.25F);
    const Attribute copy(static_cast<const IAttribute*>(&original));
    EXPECT_TRUE(copy.type() == IAttribute::Type::color && copy.confidence() == 0.25F);
    EXPECT_NE(copy.name(), original.name()) << "the copy owns its texts";

    Ptr<IStringMap> errors;
    {
        const auto response = makePtr<SettingsResponse>();
        EXPECT_TRUE(!response->getErrors() && !response->getModel()) << "made on demand";
        response->setError("KEY", "bad value");
        errors = toPtr(response->getErrors());
    }
    EXPECT_STREQ(errors->value("KEY"), "bad value") << "outlives the response";
}

TEST_F(ValueObjects, diagnosticEventRendersAsJsonAndNamesOddLevelsByNumber) {
    PluginDiagnosticEvent event(static_cast<IPluginDiagnosticEvent::Level>(7), "Camera \"A\"",
                                "line1\nline2");
    EXPECT_EQ(event.toString(),
              "{\n    \"level\": \"unknown(7)\",\n    \"caption\": \"Camera \\\"A\\\"\",\n"
              "    \"description\": \"line1\\nline2\"\n}");
    EXPECT_EQ(output.textWithoutLineNumbers(), report("plugin_diagnostic_event", "false"));
}

TEST_F(ValueObjects, errorsCarryCodeAndMessageAndMisuseIsReported) {
    const Error odd = qo::sdk::error(static_cast<ErrorCode>(-5), "odd");
    EXPECT_TRUE(static_cast<int32_t>(odd.errorCode) == -5 && !odd.isOk());
    EXPECT_STREQ(toPtr(odd.errorMessage)->str(), "odd");
    EXPECT_EQ(output.text(), "");
    const Error misused = qo::sdk::error(ErrorCode::noError, "");
    EXPECT_STREQ(toPtr(misused.errorMessage)->str(), "");
    const std::string report =
        "qo::sdk::error(): \n>>> ASSERTION FAILED: qo/sdk/helpers/error.cpp:N ";
    EXPECT_EQ(
        output.textWithoutLineNumbers(),
        report +
            "(errorCode != ErrorCode::noError) Error code must differ from `ErrorCode::noError`\n" +
            report + "(!errorMessage.empty()) Error message must not be empty\n");
    const String message("a message without a code");
    EXPECT_FALSE(Result<void>(Error(ErrorCode::noError, &message)).isOk());
    EXPECT_EQ(toString(static_cast<ErrorCode>(INT_MIN)), "<unsupported Error>");
}

TEST_F(ValueObjects, objectsRenderAsCLiteralsAndNullOnesAreReported) {
    EXPECT_EQ(indent(2, 2), std::string(10, ' '));  // Overall plus four per level.
    EXPECT_EQ(toString(makePtr<String>("a \"text\"").get()), "a \"text\"");
    const FakeStringMap map({{"b", "2"}, {"a", "x\ny"}});
    const FakeStringMap nulls({{nullptr, nullptr}});
    EXPECT_EQ(toString(&map, 2), "  [\"b\"]: \"2\"\n  [\"a\"]: \"x\\ny\"\n");
    EXPECT_EQ(toJsonString(&nulls, 0), "[\n    { \"name\": null, \"value\": null }\n]");
    EXPECT_EQ(toJsonString(makePtr<StringMap>(StringMap::Map{{"b", "2"}, {"a", "1"}}).get(), 2),
              "  [\n      { \"name\": \"a\", \"value\": \"1\" },\n"
              "      { \"name\": \"b\", \"value\": \"2\" }\n  ]");
    const FakeDeviceInfo device;
    const std::string json = toJsonString(&device, 0);
    EXPECT_NE(json.find("    \"model\": \"LUMO \\\"AI\\\"\",\n"), std::string::npos) << json;
    EXPECT_NE(json.find("\"_password\": \"_hidden_\""), std::string::npos) << json;
    EXPECT_EQ(device.passwordReads, 0);
    EXPECT_EQ(output.text(), "");

    EXPECT_EQ(toString(static_cast<const IStringMap*>(nullptr), 4), "");
    EXPECT_EQ(toJsonString(static_cast<const IStringMap*>(nullptr), 4), "[]\n");
    EXPECT_EQ(toJsonString(static_cast<const IDeviceInfo*>(nullptr), 0), "{}\n");
    const std::string report =
        "[to_string] \n>>> ASSERTION FAILED: qo/sdk/helpers/to_string.cpp:N ";
    EXPECT_EQ(output.textWithoutLineNumbers(), report + "(map) \n" + report + "(deviceInfo) \n");
}

using Map = std::map<std::string, std::string>;

/** "taken" or "refused", then the lines written. */
std::string merge(bool verbose, const IStringMap* map, Map* out) {
    CapturedOutput output;
    const bool taken = LogUtils(verbose, "[p] ").convertAndOutputStringMap(out, map, "settings", 4);
    return (taken ? "taken\n" : "refused\n") + output.text();
}

TEST(LogUtils, mergePrintsEntriesOnlyWhenOutputIsOnAndRefusesMalformedMapsWithALine) {
    const FakeStringMap map({{"a", "1"}, {"b", "x\"y"}});
    Map out{{"a", "old"}, {"c", "kept"}};
    EXPECT_EQ(merge(true, &map, &out),
              "taken\n[p]     settings:\n[p]     {\n[p]         \"a\": \"1\",\n"
              "[p]         \"b\": \"x\\\"y\"\n[p]     }\n");
    EXPECT_EQ(out, (Map{{"a", "1"}, {"b", "x\"y"}, {"c", "kept"}}));
    EXPECT_EQ(merge(false, &map, &out), "taken\n");
    const FakeStringMap nullKey({{"a", "1"}, {nullptr, "2"}});
    const FakeStringMap nullValue({{"a", nullptr}});
    const FakeStringMap negativeCount({{"a", "1"}}, -3);
    out = {{"x", "kept"}};
    EXPECT_EQ(merge(false, nullptr, &out), "refused\n[p] ERROR: stringMap is null\n");
    EXPECT_EQ(merge(false, &negativeCount, &out), "refused\n[p] ERROR: settings: count is -3\n");
    EXPECT_EQ(merge(true, &nullKey, &out), "refused\n[p] ERROR: settings: item 1 has a null key\n");
    EXPECT_EQ(merge(false, &nullValue, &out),
              "refused\n[p] ERROR: settings: item 0 has a null value\n");
    EXPECT_EQ(merge(true, &nullKey, nullptr), "refused\n[p] ERROR: outMap is null\n");
    EXPECT_EQ(out, (Map{{"x", "kept"}})) << "nothing half-merged";
}

TEST(UuidText, eachOptionDecoratesIndependentlyAndReadsBackAndBadTextReadsAsNull) {
    Uuid uuid;
    uuid.bytes = {0x01, 0x12, 0x23, 0x34, 0x45, 0x56, 0x67, 0x78,
                  0x89, 0x9A, 0xAB, 0xBC, 0xCD, 0xDE, 0xEF, 0xF0};
    EXPECT_EQ(UuidHelper::toStdString(uuid), "{01122334-4556-6778-899A-ABBCCDDEEFF0}");
    for (int options = 0; options < 8; ++options) {
        const std::string text =
            UuidHelper::toStdString(uuid, static_cast<UuidHelper::FormatOptions>(options));
        EXPECT_EQ(text.size(), 32u + (options & 2 ? 4 : 0) + (options & 4 ? 2 : 0)) << text;
        EXPECT_EQ(text.find_first_of(options & 1 ? "abcdef" : "ABCDEF"), std::string::npos);
        EXPECT_EQ(UuidHelper::fromStdString(text), uuid) << text;
        EXPECT_TRUE(UuidHelper::fromStdString(text.substr(0, text.size() - 2)).isNull()) << text;
    }
    EXPECT_TRUE(UuidHelper::fromStdString("0112233445566778899aabbccddeefg0").isNull());
}

TEST(RandomUuid, isVersionFourVariantOneAndDistinctAcrossThreads) {
    std::vector<std::vector<Uuid>> drawn(4, std::vector<Uuid>(250));
    std::vector<std::thread> threads;
    for (auto& ids : drawn)
        threads.emplace_back(
            [&ids] { std::generate(ids.begin(), ids.end(), UuidHelper::randomUuid); });
    std::set<Uuid> all;
    for (size_t t = 0; t < drawn.size(); ++t) {
        threads[t].join();
        for (const Uuid& uuid : drawn[t])
            EXPECT_TRUE(all.insert(uuid).second && uuid.bytes[6] >> 4 == 4 &&
                        uuid.bytes[8] >> 6 == 2);
    }
}

}  // namespace
}  // namespace qo::sdk::test
