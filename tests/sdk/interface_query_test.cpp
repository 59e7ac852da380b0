#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/ptr.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

/** An id in storage of its own, so that only its content can make it match. */
class RuntimeId {
public:
    explicit RuntimeId(const std::string& text) : m_chars(text.begin(), text.end()) {
        m_chars.push_back('\0');
    }
    const InterfaceId* get() const { return interfaceIdFromText(m_chars.data()); }

private:
    std::vector<char> m_chars;
};

struct QueryCase {
    std::string name;
    std::function<Ptr<IRefCountable>()> make;
    std::vector<std::string> answered;  // Without "qo::sdk::IRefCountable", which all answer.
    std::vector<std::string> refused;
};

void PrintTo(const QueryCase& queryCase, std::ostream* out) {
    *out << queryCase.name;
}

int32_t countOf(IRefCountable* object) {
    object->addRef();
    return object->releaseRef();
}

class InterfaceQueryTest : public ObjectCountingTest,
                           public ::testing::WithParamInterface<QueryCase> {};

TEST_P(InterfaceQueryTest, EveryIdOfTheChainAnswersWithTheObjectAndOneMoreReference) {
    const Ptr<IRefCountable> object = GetParam().make();
    std::vector<std::string> ids = GetParam().answered;
    ids.push_back(std::string("qo::sdk::") + "IRefCountable");
    for (const std::string& id : ids) {
        IRefCountable* const found = object->queryInterface(RuntimeId(id).get());
        EXPECT_EQ(found, object.get()) << id;
        EXPECT_EQ(countOf(object.get()), 2) << id;
        if (found)
            found->releaseRef();
    }
}

TEST_P(InterfaceQueryTest, ForeignIdsAnswerNullWithoutTouchingTheCount) {
    const Ptr<IRefCountable> object = GetParam().make();
    std::vector<std::string> ids = GetParam().refused;
    ids.insert(ids.end(), {"", "qo::sdk::IRefCountable ", "qo::sdk::irefcountable",
                           "qo::sdk::IRefCountabl", "IRefCountable"});
    for (const std::string& id : ids) {
        EXPECT_EQ(object->queryInterface(RuntimeId(id).get()), nullptr) << '"' << id << '"';
        EXPECT_EQ(countOf(object.get()), 1) << id;
    }
}

TEST_P(InterfaceQueryTest, NullIdAnswersNull) {
    const Ptr<IRefCountable> object = GetParam().make();
    EXPECT_EQ(object->queryInterface(nullptr), nullptr);
    EXPECT_EQ(countOf(object.get()), 1);
}

TEST_P(InterfaceQueryTest, ConstObjectAnswersLikeAMutableOne) {
    const Ptr<IRefCountable> object = GetParam().make();
    const IRefCountable* constObject = object.get();
    IRefCountable* found = constObject->queryInterface(RuntimeId(GetParam().answered[0]).get());
    EXPECT_EQ(found, object.get());
    if (found)
        found->releaseRef();
}

INSTANTIATE_TEST_SUITE_P(
    ValueObjects, InterfaceQueryTest,
    ::testing::Values(
        QueryCase{"String",
                  [] { return Ptr<IRefCountable>(makePtr<String>("s")); },
                  {"qo::sdk::IString"},
                  {"qo::sdk::IStringMap", "qo::sdk::IString1"}},
        QueryCase{"StringMap",
                  [] { return Ptr<IRefCountable>(makePtr<StringMap>()); },
                  {"qo::sdk::IStringMap"},
                  {"qo::sdk::IString"}},
        QueryCase{"Attribute",
                  [] { return Ptr<IRefCountable>(makePtr<Attribute>("name", "value")); },
                  {"qo::sdk::IAttribute"},
                  {"qo::sdk::IString"}},
        QueryCase{
            "SettingsResponse",
            [] { return Ptr<IRefCountable>(makePtr<SettingsResponse>()); },
            {"qo::sdk::ISettingsResponse1", "qo::sdk::ISettingsResponse"},
            {"qo::sdk::ISettingsResponse0", "qo::sdk::ISettingsResponse2", "qo::sdk::IStringMap"}},
        QueryCase{"PluginDiagnosticEvent",
                  [] {
                      return Ptr<IRefCountable>(makePtr<PluginDiagnosticEvent>(
                          IPluginDiagnosticEvent::Level::info, "caption", "description"));
                  },
                  {"qo::sdk::IPluginDiagnosticEvent", "qo::sdk::IIntegrationDiagnosticEvent"},
                  {"qo::sdk::analytics::IPluginDiagnosticEvent", "qo::sdk::IString"}}),
    [](const ::testing::TestParamInfo<QueryCase>& info) { return info.param.name; });

class QueryInterfacePtrTest : public ObjectCountingTest {};

TEST_F(QueryInterfacePtrTest, ViewsTheObjectAsTheInterfaceAndOwnsTheAddedReference) {
    const Ptr<IRefCountable> object = makePtr<SettingsResponse>();
    {
        const Ptr<ISettingsResponse0> older = queryInterfacePtr<ISettingsResponse0>(object);
        ASSERT_NE(older, nullptr);
        EXPECT_EQ(countOf(object.get()), 2);
        EXPECT_EQ(older->getValues(), nullptr);
    }
    EXPECT_EQ(countOf(object.get()), 1);
}

TEST_F(QueryInterfacePtrTest, ForeignInterfaceAndNullObjectGiveNull) {
    const Ptr<IRefCountable> object = makePtr<String>("s");
    EXPECT_EQ(queryInterfacePtr<IStringMap>(object), nullptr);
    EXPECT_EQ(countOf(object.get()), 1);
    EXPECT_EQ(queryInterfacePtr<IString>(static_cast<IRefCountable*>(nullptr)), nullptr);
}

}  // namespace
}  // namespace qo::sdk::test
