#include <gtest/gtest.h>

#include <string>

#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/helpers/to_string.h"
#include "qo/sdk/ptr.h"
#include "sdk/captured_output.h"
#include "sdk/fake_string_map.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

/** Device information as the server hands it over; notes any read of the password. */
class FakeDeviceInfo : public IDeviceInfo {
public:
    int32_t addRef() const override { return 2; }
    int32_t releaseRef() const override { return 1; }

    const char* id() const override { return "{dev-id}"; }
    const char* vendor() const override { return "Lumovane"; }
    const char* model() const override { return "LUMO \"AI\""; }
    const char* firmware() const override { return "1.2.3"; }
    const char* name() const override { return "Gate\tcam"; }
    const char* url() const override { return "http://10.0.0.5/onvif"; }
    const char* login() const override { return "admin"; }
    const char* password() const override {
        ++passwordReads;
        return "secret";
    }
    const char* sharedId() const override { return "shared"; }
    const char* logicalId() const override { return "7"; }
    int32_t channelNumber() const override { return 2; }

    mutable int passwordReads = 0;
};

class ToStringTest : public ObjectCountingTest {
protected:
    CapturedOutput output;
};

TEST_F(ToStringTest, IndentIsOverallPlusFourPerLevel) {
    EXPECT_EQ(indent(0, 0), "");
    EXPECT_EQ(indent(2, 0), "  ");
    EXPECT_EQ(indent(2, 2), std::string(10, ' '));
}

TEST_F(ToStringTest, NegativeIndentCountsAsNone) {
    EXPECT_EQ(indent(-5, 1), "    ");
    EXPECT_EQ(indent(0, -1), "");
}

TEST_F(ToStringTest, StringIsItsTextAndNullIsEmpty) {
    const Ptr<String> string = makePtr<String>("a \"text\"");
    EXPECT_EQ(toString(static_cast<const IString*>(string.get())), "a \"text\"");
    EXPECT_EQ(toString(static_cast<const IString*>(nullptr)), "");
}

TEST_F(ToStringTest, StringMapIsOneIndentedLinePerEntry) {
    const FakeStringMap map{{"b", "2"}, {"a", "x\ny"}};
    EXPECT_EQ(toString(&map, 2), "  [\"b\"]: \"2\"\n  [\"a\"]: \"x\\ny\"\n");
}

TEST_F(ToStringTest, NullOrEmptyStringMapIsEmpty) {
    const FakeStringMap empty{};
    EXPECT_EQ(toString(&empty, 4), "");
    EXPECT_EQ(toString(static_cast<const IStringMap*>(nullptr), 4), "");
}

TEST_F(ToStringTest, NullEntriesOfAServerMapShowAsNull) {
    FakeStringMap map{{std::nullopt, std::nullopt}};
    EXPECT_EQ(toString(&map, 0), "[null]: null\n");
    EXPECT_EQ(toJsonString(&map, 0), "[\n    { \"name\": null, \"value\": null }\n]");
}

TEST_F(ToStringTest, StringMapAsJsonSeparatesEntriesWithCommas) {
    const Ptr<StringMap> map = makePtr<StringMap>();
    map->setItem("b", "2");
    map->setItem("a", "1");
    EXPECT_EQ(toJsonString(map.get(), 2),
              "  [\n"
              "      { \"name\": \"a\", \"value\": \"1\" },\n"
              "      { \"name\": \"b\", \"value\": \"2\" }\n"
              "  ]");
    EXPECT_EQ(output.text(), "");
}

TEST_F(ToStringTest, EmptyStringMapAsJsonIsAnEmptyList) {
    const FakeStringMap empty{};
    EXPECT_EQ(toJsonString(&empty, 0), "[\n]");
}

TEST_F(ToStringTest, NullStringMapAsJsonIsReported) {
    EXPECT_EQ(toJsonString(static_cast<const IStringMap*>(nullptr), 4), "[]\n");
    EXPECT_EQ(output.textWithoutLineNumbers(),
              "[to_string] \n>>> ASSERTION FAILED: qo/sdk/helpers/to_string.cpp:N (map) \n");
}

TEST_F(ToStringTest, DeviceInfoAsJsonHidesThePassword) {
    const FakeDeviceInfo device;
    EXPECT_EQ(toJsonString(&device, 0),
              "{\n"
              "    \"id\": \"{dev-id}\",\n"
              "    \"vendor\": \"Lumovane\",\n"
              "    \"model\": \"LUMO \\\"AI\\\"\",\n"
              "    \"firmware\": \"1.2.3\",\n"
              "    \"name\": \"Gate\\tcam\",\n"
              "    \"url\": \"http://10.0.0.5/onvif\",\n"
              "    \"login\": \"admin\",\n"
              "    \"channelNumber\": 2,\n"
              "    \"_password\": \"_hidden_\",\n"
              "    \"sharedId\": \"shared\",\n"
              "    \"logicalId\": \"7\"\n"
              "}");
    EXPECT_EQ(device.passwordReads, 0);
}

TEST_F(ToStringTest, DeviceInfoAsJsonIsIndentedAsAWhole) {
    const FakeDeviceInfo device;
    const std::string text = toJsonString(&device, 3);
    EXPECT_EQ(text.rfind("   {\n       \"id\": ", 0), 0U) << text;
    EXPECT_EQ(text.substr(text.size() - 5), "\n   }");
}

TEST_F(ToStringTest, NullDeviceInfoIsReported) {
    EXPECT_EQ(toJsonString(static_cast<const IDeviceInfo*>(nullptr), 0), "{}\n");
    EXPECT_EQ(output.textWithoutLineNumbers(),
              "[to_string] \n>>> ASSERTION FAILED: qo/sdk/helpers/to_string.cpp:N (deviceInfo) \n");
}

}  // namespace
}  // namespace qo::sdk::test
