#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "sdk/captured_output.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

class ValueObjectTest : public ObjectCountingTest {
protected:
    CapturedOutput output;
};

// ---- String

class StringTest : public ValueObjectTest {};

TEST_F(StringTest, NullCStringGivesTheEmptyText) {
    const String string(static_cast<const char*>(nullptr));
    EXPECT_STREQ(string.str(), "");
    EXPECT_EQ(string.size(), 0);
    EXPECT_TRUE(string.empty());
}

TEST_F(StringTest, SetStringReplacesAndNullClears) {
    String string("old");
    string.setString(std::string("new"));
    EXPECT_STREQ(string.str(), "new");
    string.setString(static_cast<const char*>(nullptr));
    EXPECT_STREQ(string.str(), "");
    EXPECT_TRUE(string.empty());
}

// ---- StringMap

class StringMapTest : public ValueObjectTest {
protected:
    void SetUp() override {
        ValueObjectTest::SetUp();
        map = makePtr<StringMap>();
        map->setItem("b", "2");
        map->setItem("a", "1");
    }
    void TearDown() override {
        map.reset();
        ValueObjectTest::TearDown();
    }

    Ptr<StringMap> map;
};

TEST_F(StringMapTest, IndexesFollowKeyOrder) {
    EXPECT_EQ(map->count(), 2);
    EXPECT_STREQ(map->key(0), "a");
    EXPECT_STREQ(map->value(0), "1");
    EXPECT_STREQ(map->key(1), "b");
    EXPECT_STREQ(map->value(1), "2");
}

TEST_F(StringMapTest, KeyOrderIsByteOrder) {
    map->setItem("B", "upper");
    map->setItem("\xC3\xA9", "high byte");
    EXPECT_STREQ(map->key(0), "B");
    EXPECT_STREQ(map->key(3), "\xC3\xA9");
}

TEST_F(StringMapTest, IndexesOutOfRangeGiveNull) {
    for (const int32_t index : {-1, 2, 3, INT_MIN, INT_MAX}) {
        EXPECT_EQ(map->key(index), nullptr) << index;
        EXPECT_EQ(map->value(index), nullptr) << index;
    }
}

TEST_F(StringMapTest, LookupByKey) {
    EXPECT_STREQ(map->value("b"), "2");
    EXPECT_EQ(map->value("c"), nullptr);
    EXPECT_EQ(map->value(static_cast<const char*>(nullptr)), nullptr);
}

TEST_F(StringMapTest, SetItemOverwritesAnExistingKey) {
    map->setItem("a", "one");
    EXPECT_EQ(map->count(), 2);
    EXPECT_STREQ(map->value("a"), "one");
}

TEST_F(StringMapTest, EmptyKeyIsReportedAndIgnored) {
    map->setItem("", "value");
    EXPECT_EQ(map->count(), 2);
    EXPECT_EQ(
        output.textWithoutLineNumbers(),
        "[string_map] \n>>> ASSERTION FAILED: qo/sdk/helpers/string_map.cpp:N (!key.empty()) \n");
}

// ---- Attribute

class AttributeTest : public ValueObjectTest {};

TEST_F(AttributeTest, TypeDefaultsToUndefinedAndConfidenceToOne) {
    const Attribute attribute("name", "value");
    EXPECT_EQ(attribute.type(), IAttribute::Type::undefined);
    EXPECT_STREQ(attribute.name(), "name");
    EXPECT_STREQ(attribute.value(), "value");
    EXPECT_EQ(attribute.confidence(), 1.0F);
}

TEST_F(AttributeTest, CopyReadsEverythingThroughTheInterface) {
    const Attribute original(IAttribute::Type::color, "Color", "Red", 0.25F);
    const Attribute copy(static_cast<const IAttribute*>(&original));
    EXPECT_EQ(copy.type(), IAttribute::Type::color);
    EXPECT_STREQ(copy.name(), "Color");
    EXPECT_STREQ(copy.value(), "Red");
    EXPECT_EQ(copy.confidence(), 0.25F);
    EXPECT_NE(copy.name(), original.name());
}

// ---- SettingsResponse

class SettingsResponseTest : public ValueObjectTest {};

TEST_F(SettingsResponseTest, FreshResponseHasNothing) {
    const SettingsResponse response;
    EXPECT_EQ(response.getValues(), nullptr);
    EXPECT_EQ(response.getErrors(), nullptr);
    EXPECT_EQ(response.getModel(), nullptr);
}

TEST_F(SettingsResponseTest, SetValueAndSetErrorCreateTheirMapsOnDemand) {
    SettingsResponse response;
    response.setValue("KEY", "value");
    EXPECT_EQ(response.getErrors(), nullptr);
    response.setError("KEY", "bad value");
    response.setError("OTHER", "worse");
    const Ptr<IStringMap> values = toPtr(response.getValues());
    const Ptr<IStringMap> errors = toPtr(response.getErrors());
    ASSERT_TRUE(values && errors);
    EXPECT_EQ(values->count(), 1);
    EXPECT_STREQ(values->value("KEY"), "value");
    EXPECT_EQ(errors->count(), 2);
}

TEST_F(SettingsResponseTest, GettersHandOutAReferenceTheResponseDoesNotNeed) {
    const Ptr<SettingsResponse> response = makePtr<SettingsResponse>();
    response->setModel("{\"type\": \"Settings\"}");
    IString* model = response->getModel();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->releaseRef(), 1);
    IString* again = response->getModel();
    EXPECT_STREQ(again->str(), "{\"type\": \"Settings\"}");
    again->releaseRef();
}

TEST_F(SettingsResponseTest, MapsOutliveTheResponseWhileSomeoneHoldsThem) {
    Ptr<IStringMap> values;
    {
        const Ptr<SettingsResponse> response = makePtr<SettingsResponse>();
        response->setValue("KEY", "value");
        values = toPtr(response->getValues());
    }
    EXPECT_STREQ(values->value("KEY"), "value");
}

// ---- PluginDiagnosticEvent

class PluginDiagnosticEventTest : public ValueObjectTest {
protected:
    using Level = IPluginDiagnosticEvent::Level;
};

TEST_F(PluginDiagnosticEventTest, RendersAsJsonWithCLiteralTexts) {
    const PluginDiagnosticEvent event(Level::warning, "Camera \"A\"", "line1\nline2");
    EXPECT_EQ(event.toString(),
              "{\n"
              "    \"level\": \"warning\",\n"
              "    \"caption\": \"Camera \\\"A\\\"\",\n"
              "    \"description\": \"line1\\nline2\"\n"
              "}");
    EXPECT_EQ(output.text(), "");
}

TEST_F(PluginDiagnosticEventTest, LevelOutsideTheEnumerationIsReportedAndNamedByNumber) {
    PluginDiagnosticEvent event(Level::info, "c", "d");
    event.setLevel(static_cast<Level>(7));
    EXPECT_EQ(event.toString(),
              "{\n    \"level\": \"unknown(7)\",\n    \"caption\": \"c\",\n    \"description\": "
              "\"d\"\n}");
    EXPECT_EQ(output.textWithoutLineNumbers(),
              "[plugin_diagnostic_event] \n>>> ASSERTION FAILED: "
              "qo/sdk/helpers/plugin_diagnostic_event.cpp:N (false) \n");
}

TEST_F(PluginDiagnosticEventTest, NegativeLevelIsNamedByNumber) {
    EXPECT_EQ(PluginDiagnosticEvent::levelToString(static_cast<Level>(-1)), "unknown(-1)");
    EXPECT_EQ(PluginDiagnosticEvent::levelToString(Level::error), "error");
}

}  // namespace
}  // namespace qo::sdk::test
