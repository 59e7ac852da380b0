// The server is compiled separately and knows our objects only by slot numbers: 1 and 2 are the
// destructors, 3-5 queryInterface, addRef and releaseRef, then each interface's own operations.
// These tests read the positions the compiler gave every operation and call the objects through
// their raw vtables, the way the server does.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/i_device_info.h"
#include "qo/sdk/i_lib_context.h"
#include "sdk/live_objects.h"

#if !defined(__x86_64__) || !defined(__GXX_ABI_VERSION)
#error "These tests read the x86-64 Itanium C++ ABI"
#endif

#if defined(__clang__)
#define NO_SANITIZE_FUNCTION __attribute__((no_sanitize("function")))
#else
#define NO_SANITIZE_FUNCTION
#endif

namespace qo::sdk::test {
namespace {

/** 1-based slot of a virtual member: its pointer's first word is 1 + the byte offset. */
template <typename MemberPointer>
std::ptrdiff_t slotOf(MemberPointer member) {
    static_assert(sizeof(member) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t words[2];
    std::memcpy(words, &member, sizeof(words));
    if ((words[0] & 1) == 0)
        return -1;  // Not virtual.
    return (words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)) + 1;
}

/** Calls a slot as the server does: a plain function taking the object address first. */
template <typename Result, typename... Args>
NO_SANITIZE_FUNCTION Result callSlot(const void* object, int slot, Args... args) {
    void* const* vtable = *static_cast<void* const* const*>(object);
    const auto function = reinterpret_cast<Result (*)(const void*, Args...)>(vtable[slot - 1]);
    return function(object, args...);
}

const char* id(const std::string& text) {
    static thread_local std::string storage;
    storage = text;
    return storage.c_str();
}

class SlotPositionTest : public ::testing::Test {};

TEST_F(SlotPositionTest, RefCountableOperationsFollowTheTwoDestructors) {
    using QueryInterface = IRefCountable* (IRefCountable::*)(const InterfaceId*);
    EXPECT_EQ(slotOf(static_cast<QueryInterface>(&IRefCountable::queryInterface)), 3);
    EXPECT_EQ(slotOf(&IRefCountable::addRef), 4);
    EXPECT_EQ(slotOf(&IRefCountable::releaseRef), 5);
}

TEST_F(SlotPositionTest, StringOperations) {
    EXPECT_EQ(slotOf(&IString::str), 6);
}

TEST_F(SlotPositionTest, StringMapOperationsKeepDeclarationOrderOfOverloads) {
    using ByIndex = const char* (IStringMap::*)(int32_t) const;
    using ByKey = const char* (IStringMap::*)(const char*) const;
    EXPECT_EQ(slotOf(&IStringMap::count), 6);
    EXPECT_EQ(slotOf(&IStringMap::key), 7);
    EXPECT_EQ(slotOf(static_cast<ByIndex>(&IStringMap::value)), 8);
    EXPECT_EQ(slotOf(static_cast<ByKey>(&IStringMap::value)), 9);
}

TEST_F(SlotPositionTest, AttributeOperations) {
    EXPECT_EQ(slotOf(&IAttribute::type), 6);
    EXPECT_EQ(slotOf(&IAttribute::name), 7);
    EXPECT_EQ(slotOf(&IAttribute::value), 8);
    EXPECT_EQ(slotOf(&IAttribute::confidence), 9);
}

TEST_F(SlotPositionTest, SettingsResponseAppendsTheModelAfterItsOlderVersion) {
    EXPECT_EQ(slotOf(&ISettingsResponse0::getValues), 6);
    EXPECT_EQ(slotOf(&ISettingsResponse0::getErrors), 7);
    EXPECT_EQ(slotOf(&ISettingsResponse::getModel), 8);
}

TEST_F(SlotPositionTest, PluginDiagnosticEventOperations) {
    EXPECT_EQ(slotOf(&IPluginDiagnosticEvent::level), 6);
    EXPECT_EQ(slotOf(&IPluginDiagnosticEvent::caption), 7);
    EXPECT_EQ(slotOf(&IPluginDiagnosticEvent::description), 8);
}

TEST_F(SlotPositionTest, LibContextAndRegistryOperationsFollowTheirDestructors) {
    EXPECT_EQ(slotOf(&ILibContext::setName), 3);
    EXPECT_EQ(slotOf(&ILibContext::setRefCountableRegistry), 4);
    EXPECT_EQ(slotOf(&IRefCountableRegistry::objectCreated), 3);
    EXPECT_EQ(slotOf(&IRefCountableRegistry::objectDestroyed), 4);
}

TEST_F(SlotPositionTest, DeviceInfoOperationsAsTheServerProvidesThem) {
    EXPECT_EQ(slotOf(&IDeviceInfo::id), 6);
    EXPECT_EQ(slotOf(&IDeviceInfo::vendor), 7);
    EXPECT_EQ(slotOf(&IDeviceInfo::model), 8);
    EXPECT_EQ(slotOf(&IDeviceInfo::firmware), 9);
    EXPECT_EQ(slotOf(&IDeviceInfo::name), 10);
    EXPECT_EQ(slotOf(&IDeviceInfo::url), 11);
    EXPECT_EQ(slotOf(&IDeviceInfo::login), 12);
    EXPECT_EQ(slotOf(&IDeviceInfo::password), 13);
    EXPECT_EQ(slotOf(&IDeviceInfo::sharedId), 14);
    EXPECT_EQ(slotOf(&IDeviceInfo::logicalId), 15);
    EXPECT_EQ(slotOf(&IDeviceInfo::channelNumber), 16);
}

TEST_F(SlotPositionTest, InterfacesHaveOneAddressForTheWholeChain) {
    static_assert(std::is_polymorphic_v<IRefCountable>);
    SettingsResponse response;
    const void* asObject = &response;
    EXPECT_EQ(static_cast<const void*>(static_cast<ISettingsResponse*>(&response)), asObject);
    EXPECT_EQ(static_cast<const void*>(static_cast<ISettingsResponse0*>(&response)), asObject);
    EXPECT_EQ(static_cast<const void*>(static_cast<IRefCountable*>(&response)), asObject);
}

class RawSlotCallTest : public ObjectCountingTest {};

TEST_F(RawSlotCallTest, RefCountableSlotsCountAndQuery) {
    String* string = new String("text");
    EXPECT_EQ(callSlot<int32_t>(string, 4), 2);
    const void* found = callSlot<const void*>(string, 3, id("qo::sdk::IString"));
    EXPECT_EQ(found, string);
    EXPECT_EQ(callSlot<const void*>(string, 3, id("qo::sdk::IStringMap")), nullptr);
    EXPECT_EQ(callSlot<int32_t>(string, 5), 2);
    EXPECT_EQ(callSlot<int32_t>(string, 5), 1);
    EXPECT_EQ(destroyedHere(), 0);
    EXPECT_EQ(callSlot<int32_t>(string, 5), 0);
    EXPECT_EQ(destroyedHere(), 1);
}

TEST_F(RawSlotCallTest, DeletingDestructorIsSlotTwo) {
    String* string = new String("a text long enough to live on the heap, not inline");
    callSlot<void>(string, 2);  // Frees the memory too; a memory checker sees a leak otherwise.
    EXPECT_EQ(destroyedHere(), 1);
}

TEST_F(RawSlotCallTest, CompleteObjectDestructorIsSlotOneAndLeavesTheMemory) {
    alignas(String) unsigned char storage[sizeof(String)];
    String* string = new (storage) String("a text long enough to live on the heap, not inline");
    callSlot<void>(string, 1);
    EXPECT_EQ(destroyedHere(), 1);
}

TEST_F(RawSlotCallTest, StringSlots) {
    const Ptr<String> string = makePtr<String>("text");
    EXPECT_STREQ(callSlot<const char*>(string.get(), 6), "text");
}

TEST_F(RawSlotCallTest, StringMapSlots) {
    const Ptr<StringMap> map = makePtr<StringMap>();
    map->setItem("b", "2");
    map->setItem("a", "1");
    EXPECT_EQ(callSlot<int32_t>(map.get(), 6), 2);
    EXPECT_STREQ(callSlot<const char*>(map.get(), 7, int32_t{1}), "b");
    EXPECT_STREQ(callSlot<const char*>(map.get(), 8, int32_t{0}), "1");
    EXPECT_STREQ(callSlot<const char*>(map.get(), 9, "b"), "2");
}

TEST_F(RawSlotCallTest, AttributeSlots) {
    const Ptr<Attribute> attribute =
        makePtr<Attribute>(IAttribute::Type::color, "Color", "red", 0.5F);
    EXPECT_EQ(callSlot<int32_t>(attribute.get(), 6), 3);
    EXPECT_STREQ(callSlot<const char*>(attribute.get(), 7), "Color");
    EXPECT_STREQ(callSlot<const char*>(attribute.get(), 8), "red");
    EXPECT_EQ(callSlot<float>(attribute.get(), 9), 0.5F);
}

TEST_F(RawSlotCallTest, SettingsResponseSlotsHandOutOneReferenceEach) {
    const Ptr<SettingsResponse> response = makePtr<SettingsResponse>();
    response->setValue("v", "1");
    response->setError("e", "bad");
    response->setModel("{}");
    auto* values = callSlot<IStringMap*>(response.get(), 6);
    auto* errors = callSlot<IStringMap*>(response.get(), 7);
    auto* model = callSlot<IString*>(response.get(), 8);
    ASSERT_TRUE(values && errors && model);
    EXPECT_STREQ(values->value("v"), "1");
    EXPECT_STREQ(errors->value("e"), "bad");
    EXPECT_STREQ(model->str(), "{}");
    EXPECT_EQ(values->releaseRef(), 1);
    EXPECT_EQ(errors->releaseRef(), 1);
    EXPECT_EQ(model->releaseRef(), 1);
}

TEST_F(RawSlotCallTest, PluginDiagnosticEventSlots) {
    const Ptr<PluginDiagnosticEvent> event = makePtr<PluginDiagnosticEvent>(
        IPluginDiagnosticEvent::Level::warning, "caption", "description");
    EXPECT_EQ(callSlot<int32_t>(event.get(), 6), 1);
    EXPECT_STREQ(callSlot<const char*>(event.get(), 7), "caption");
    EXPECT_STREQ(callSlot<const char*>(event.get(), 8), "description");
}

}  // namespace
}  // namespace qo::sdk::test
