// What the log shows of boundary objects: strings, string maps (plain and JSON), device
// information (whose password never shows), and the merge of a server map with its lines.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "qo/sdk/helpers/log_utils.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/helpers/to_string.h"
#include "qo/sdk/ptr.h"
#include "sdk/captured_output.h"
#include "sdk/fake_device_info.h"
#include "sdk/fake_string_map.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

class ToString : public ObjectCountingTest {
protected:
    CapturedOutput output;
};

TEST_F(ToString, stringsAndMapsRenderAsCLiterals) {
    EXPECT_EQ(indent(2, 2), std::string(10, ' '));  // Overall plus four per level.
    EXPECT_EQ(indent(-5, -1), "");
    EXPECT_EQ(toString(makePtr<String>("a \"text\"").get()), "a \"text\"");
    EXPECT_EQ(toString(static_cast<const IString*>(nullptr)), "");

    const FakeStringMap map{{"b", "2"}, {"a", "x\ny"}};
    const FakeStringMap empty;
    const FakeStringMap nulls{{std::nullopt, std::nullopt}};
    EXPECT_EQ(toString(&map, 2), "  [\"b\"]: \"2\"\n  [\"a\"]: \"x\\ny\"\n");
    EXPECT_EQ(toString(static_cast<const IStringMap*>(nullptr), 4), "");
    EXPECT_EQ(toString(&nulls, 0), "[null]: null\n");
    EXPECT_EQ(toJsonString(&nulls, 0), "[\n    { \"name\": null, \"value\": null }\n]");
    EXPECT_EQ(toJsonString(&empty, 0), "[\n]");
    EXPECT_EQ(toJsonString(makePtr<StringMap>(StringMap::Map{{"b", "2"}, {"a", "1"}}).get(), 2),
              "  [\n      { \"name\": \"a\", \"value\": \"1\" },\n"
              "      { \"name\": \"b\", \"value\": \"2\" }\n  ]");
    EXPECT_EQ(output.text(), "");
}

TEST_F(ToString, deviceInfoAsJsonHidesThePassword) {
    const FakeDeviceInfo device;
    EXPECT_EQ(toJsonString(&device, 0),
              "{\n    \"id\": \"{dev-id}\",\n    \"vendor\": \"Lumovane\",\n"
              "    \"model\": \"LUMO \\\"AI\\\"\",\n    \"firmware\": \"1.2.3\",\n"
              "    \"name\": \"Gate\\tcam\",\n    \"url\": \"http://10.0.0.5/onvif\",\n"
              "    \"login\": \"admin\",\n    \"channelNumber\": 2,\n"
              "    \"_password\": \"_hidden_\",\n    \"sharedId\": \"shared\",\n"
              "    \"logicalId\": \"7\"\n}");
    EXPECT_EQ(device.passwordReads, 0);
}

TEST_F(ToString, nullObjectsAreReported) {
    EXPECT_EQ(toJsonString(static_cast<const IStringMap*>(nullptr), 4), "[]\n");
    EXPECT_EQ(toJsonString(static_cast<const IDeviceInfo*>(nullptr), 0), "{}\n");
    const std::string report =
        "[to_string] \n>>> ASSERTION FAILED: qo/sdk/helpers/to_string.cpp:N ";
    EXPECT_EQ(output.textWithoutLineNumbers(), report + "(map) \n" + report + "(deviceInfo) \n");
}

using Map = std::map<std::string, std::string>;

/** "taken" or "refused", then the lines written. */
std::string merge(bool verbose, const IStringMap* map, Map* out,
                  const std::string& caption = "settings", int indent = 0) {
    CapturedOutput output;
    const bool taken =
        LogUtils(verbose, "[p] ").convertAndOutputStringMap(out, map, caption, indent);
    return (taken ? "taken\n" : "refused\n") + output.text();
}

TEST(LogUtils, mergePrintsEntriesAsCLiteralsOnlyWhenOutputIsOn) {
    const FakeStringMap map{{"a", "1"}, {"b", "x\"y"}};
    Map out;
    EXPECT_EQ(merge(true, &map, &out, "Received settings"),
              "taken\n[p] Received settings:\n[p] {\n[p]     \"a\": \"1\",\n"
              "[p]     \"b\": \"x\\\"y\"\n[p] }\n");
    EXPECT_EQ(out, (Map{{"a", "1"}, {"b", "x\"y"}}));
    const FakeStringMap one{{"k", "v"}};
    EXPECT_EQ(merge(true, &one, &out, "params", 4),
              "taken\n[p]     params:\n[p]     {\n[p]         \"k\": \"v\"\n[p]     }\n");
    const FakeStringMap update{{"a", "new"}, {"c", "3"}};
    out = {{"a", "old"}, {"b", "kept"}};
    EXPECT_EQ(merge(false, &update, &out), "taken\n");
    EXPECT_EQ(out, (Map{{"a", "new"}, {"b", "kept"}, {"c", "3"}}));
}

TEST(LogUtils, malformedMapsAreRefusedWithALineWhateverTheSwitch) {
    const FakeStringMap nullKey{{"a", "1"}, {std::nullopt, "2"}, {"c", std::nullopt}};
    const FakeStringMap negativeCount({{"a", "1"}}, -3);
    const FakeStringMap countBeyondEntries({{"a", "1"}}, 2);
    Map out{{"x", "kept"}};
    EXPECT_EQ(merge(false, nullptr, &out), "refused\n[p] ERROR: stringMap is null\n");
    EXPECT_EQ(merge(false, &negativeCount, &out), "refused\n[p] ERROR: settings: count is -3\n");
    EXPECT_EQ(merge(true, &nullKey, &out), "refused\n[p] ERROR: settings: item 1 has a null key\n");
    EXPECT_EQ(merge(false, &countBeyondEntries, &out),
              "refused\n[p] ERROR: settings: item 1 has a null key\n");
    const FakeStringMap nullValue{{"a", std::nullopt}};
    EXPECT_EQ(merge(false, &nullValue, &out),
              "refused\n[p] ERROR: settings: item 0 has a null value\n");
    EXPECT_EQ(merge(true, &nullKey, nullptr), "refused\n[p] ERROR: outMap is null\n");
    EXPECT_EQ(out, (Map{{"x", "kept"}})) << "nothing half-merged";
}

}  // namespace
}  // namespace qo::sdk::test
