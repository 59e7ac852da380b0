// The value objects the library hands to the server: strings, string maps, attributes, settings
// responses, diagnostic events, errors and results, with their answers to bad input.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/result.h"
#include "sdk/boundary_checks.h"
#include "sdk/captured_output.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

class ValueObjects : public ObjectCountingTest {
protected:
    static std::string report(const std::string& file, const std::string& condition) {
        return "[" + file + "] \n>>> ASSERTION FAILED: qo/sdk/helpers/" + file + ".cpp:N (" +
               condition + ") \n";
    }

    /** Takes over the message reference that every Error carries. */
    static std::string messageOf(const Error& error) {
        return error.errorMessage ? toPtr(error.errorMessage)->str() : "<null>";
    }

    CapturedOutput output;
};

TEST_F(ValueObjects, nullCStringIsTheEmptyText) {
    String string(static_cast<const char*>(nullptr));
    EXPECT_STREQ(string.str(), "");
    string.setString(std::string("new"));
    string.setString(static_cast<const char*>(nullptr));
    EXPECT_TRUE(string.empty());
}

TEST_F(ValueObjects, stringMapIndexesFollowByteOrderOfKeys) {
    const auto map = makePtr<StringMap>();
    map->setItem("a", "overwritten");
    for (const char* key : {"b", "a", "\xC3\xA9", "B"})
        map->setItem(key, std::string("v") + key);
    map->setItem("", "value");
    ASSERT_EQ(map->count(), 4);
    const char* keys[] = {"B", "a", "b", "\xC3\xA9"};
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(map->key(i) + std::string("=") + map->value(i),
                  keys[i] + std::string("=v") + keys[i]);
    for (const int32_t index : {-1, 4, INT_MIN})
        EXPECT_TRUE(map->key(index) == nullptr && map->value(index) == nullptr) << index;
    EXPECT_STREQ(map->value("b"), "vb");
    EXPECT_TRUE(map->value("c") == nullptr &&
                map->value(static_cast<const char*>(nullptr)) == nullptr);
    EXPECT_EQ(output.textWithoutLineNumbers(), report("string_map", "!key.empty()"));
}

TEST_F(ValueObjects, attributeCopiesEverythingThroughTheInterface) {
    const Attribute original(IAttribute::Type::color, "Color", "Red", 0.25F);
    const Attribute copy(static_cast<const IAttribute*>(&original));
    EXPECT_TRUE(copy.type() == IAttribute::Type::color && copy.confidence() == 0.25F);
    EXPECT_EQ(copy.name() + std::string("=") + copy.value(), "Color=Red");
    EXPECT_NE(copy.name(), original.name()) << "the copy owns its texts";
}

TEST_F(ValueObjects, settingsResponseHandsOutMapsThatMayOutliveIt) {
    Ptr<IStringMap> values;
    Ptr<IStringMap> errors;
    {
        const auto response = makePtr<SettingsResponse>();
        EXPECT_TRUE(!response->getValues() && !response->getErrors() && !response->getModel());
        response->setValue("KEY", "value");
        EXPECT_EQ(response->getErrors(), nullptr) << "maps are made on demand";
        response->setError("KEY", "bad value");
        response->setModel("{}");
        values = toPtr(response->getValues());
        errors = toPtr(response->getErrors());
        const Ptr<IString> model = toPtr(response->getModel());
        EXPECT_EQ(refCountOf(model.get()), 2) << "the response's reference and ours";
    }
    ASSERT_TRUE(values && errors);
    EXPECT_STREQ(values->value("KEY"), "value");
    EXPECT_STREQ(errors->value("KEY"), "bad value");
}

TEST_F(ValueObjects, diagnosticEventRendersAsJsonAndNamesOddLevelsByNumber) {
    using Level = IPluginDiagnosticEvent::Level;
    PluginDiagnosticEvent event(Level::warning, "Camera \"A\"", "line1\nline2");
    EXPECT_EQ(event.toString(),
              "{\n    \"level\": \"warning\",\n    \"caption\": \"Camera \\\"A\\\"\",\n"
              "    \"description\": \"line1\\nline2\"\n}");
    EXPECT_EQ(output.text(), "");
    event.setLevel(static_cast<Level>(7));
    EXPECT_EQ(event.toString().rfind("{\n    \"level\": \"unknown(7)\",\n", 0), 0U);
    EXPECT_EQ(output.textWithoutLineNumbers(), report("plugin_diagnostic_event", "false"));
    EXPECT_EQ(PluginDiagnosticEvent::levelToString(static_cast<Level>(-1)), "unknown(-1)");
}

TEST_F(ValueObjects, errorCarriesCodeAndMessageAndReportsMisuse) {
    const Error error = qo::sdk::error(ErrorCode::networkError, "camera unreachable");
    EXPECT_TRUE(error.errorCode == ErrorCode::networkError && !error.isOk());
    EXPECT_EQ(messageOf(error), "camera unreachable");
    const Error odd = qo::sdk::error(static_cast<ErrorCode>(-5), "odd");
    EXPECT_EQ(static_cast<int32_t>(odd.errorCode), -5);
    EXPECT_EQ(messageOf(odd), "odd");
    EXPECT_EQ(output.text(), "");
    const Error misused = qo::sdk::error(ErrorCode::noError, "");
    EXPECT_EQ(misused.errorCode, ErrorCode::noError);
    EXPECT_EQ(messageOf(misused), "");
    const std::string report =
        "qo::sdk::error(): \n>>> ASSERTION FAILED: qo/sdk/helpers/error.cpp:N ";
    EXPECT_EQ(
        output.textWithoutLineNumbers(),
        report +
            "(errorCode != ErrorCode::noError) Error code must differ from `ErrorCode::noError`\n" +
            report + "(!errorMessage.empty()) Error message must not be empty\n");
}

TEST_F(ValueObjects, successNeedsBothNoErrorAndNoMessageAndCodesHaveNames) {
    EXPECT_TRUE(Result<int>(5).isOk() && Result<void>().isOk());
    EXPECT_FALSE(Result<void>(Error(ErrorCode::otherError)).isOk());
    const String message("a message without a code");
    EXPECT_FALSE(Result<void>(Error(ErrorCode::noError, &message)).isOk());
    EXPECT_EQ(Result<const IString*>(Error(ErrorCode::invalidParams)).value, nullptr);
    EXPECT_EQ(toString(ErrorCode::invalidParams), "invalidParams");
    for (const int32_t code : {-5, 1, INT_MIN})
        EXPECT_EQ(toString(static_cast<ErrorCode>(code)), "<unsupported Error>") << code;
}

}  // namespace
}  // namespace qo::sdk::test
