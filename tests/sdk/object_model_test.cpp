// The object model as the server sees it: slot positions and raw slot calls, interface ids
// compared by content, reference counting and Ptr ownership, under the registry's live count.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <thread>
#include <vector>

#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "support/object_model.h"

namespace qo::sdk::test {
namespace {

using Level = IPluginDiagnosticEvent::Level;

TEST(SlotPositions, everyOperationSitsWhereTheServerCallsIt) {
    using QueryInterface = IRefCountable* (IRefCountable::*)(const InterfaceId*);
    expectSlots(3, static_cast<QueryInterface>(&IRefCountable::queryInterface),
                &IRefCountable::addRef, &IRefCountable::releaseRef, &IString::str);
    using ByIndex = const char* (IStringMap::*)(int32_t) const;
    using ByKey = const char* (IStringMap::*)(const char*) const;
    expectSlots(6, &IStringMap::count, &IStringMap::key, static_cast<ByIndex>(&IStringMap::value),
                static_cast<ByKey>(&IStringMap::value));
    expectSlots(6, &IAttribute::type, &IAttribute::name, &IAttribute::value,
                &IAttribute::confidence);
    expectSlots(6, &ISettingsResponse0::getValues, &ISettingsResponse0::getErrors,
                &ISettingsResponse::getModel);
    expectSlots(6, &IPluginDiagnosticEvent::level, &IPluginDiagnosticEvent::caption,
                &IPluginDiagnosticEvent::description);
    expectSlots(3, &ILibContext::setName, &ILibContext::setRefCountableRegistry);
    expectSlots(3, &IRefCountableRegistry::objectCreated, &IRefCountableRegistry::objectDestroyed);
    expectSlots(6, &IDeviceInfo::id, &IDeviceInfo::vendor, &IDeviceInfo::model,
                &IDeviceInfo::firmware, &IDeviceInfo::name, &IDeviceInfo::url, &IDeviceInfo::login,
                &IDeviceInfo::password, &IDeviceInfo::sharedId, &IDeviceInfo::logicalId,
                &IDeviceInfo::channelNumber);
    SettingsResponse response;  // One address for the whole chain, as the server assumes.
    EXPECT_EQ(static_cast<void*>(static_cast<ISettingsResponse0*>(&response)), &response);
}

using ObjectModel = ObjectCountingTest;

TEST_F(ObjectModel, rawSlotsCountDestroyAndAnswerAndIdsMatchByContent) {
    String* string = new String("text");
    EXPECT_EQ(callSlot<int32_t>(string, 4), 2);
    EXPECT_EQ(callSlot<const void*>(string, 3, std::string("qo::sdk::IString").c_str()), string);
    EXPECT_STREQ(callSlot<const char*>(string, 6), "text");
    EXPECT_EQ(callSlot<int32_t>(string, 5), 2);  // The query's reference and the added one.
    EXPECT_EQ(callSlot<int32_t>(string, 5), 1);
    EXPECT_EQ(callSlot<int32_t>(string, 5), 0);
    const std::string longText = "a text long enough to live on the heap";
    callSlot<void>(new String(longText), 2);  // Deleting destructor: a leak shows otherwise.
    alignas(String) unsigned char storage[sizeof(String)];
    callSlot<void>(new (storage) String(longText), 1);  // Complete-object: leaves the memory.
    EXPECT_EQ(destroyedHere(), 3);
    const auto attribute = makePtr<Attribute>(IAttribute::Type::color, "Color", "red", 0.5F);
    EXPECT_EQ(callSlot<float>(attribute.get(), 9), 0.5F);

    expectInterfaces(makePtr<String>("s").get(), {"qo::sdk::IString"},
                     {"qo::sdk::IStringMap", "qo::sdk::IString1"});
    expectInterfaces(makePtr<StringMap>().get(), {"qo::sdk::IStringMap"}, {"qo::sdk::IString"});
    expectInterfaces(attribute.get(), {"qo::sdk::IAttribute"}, {"qo::sdk::IString"});
    expectInterfaces(makePtr<SettingsResponse>().get(),
                     {"qo::sdk::ISettingsResponse1", "qo::sdk::ISettingsResponse"},
                     {"qo::sdk::ISettingsResponse0", "qo::sdk::ISettingsResponse2"});
    expectInterfaces(makePtr<PluginDiagnosticEvent>(Level::info, "caption", "description").get(),
                     {"qo::sdk::IPluginDiagnosticEvent", "qo::sdk::IIntegrationDiagnosticEvent"},
                     {"qo::sdk::analytics::IPluginDiagnosticEvent"});
    EXPECT_EQ(queryInterfacePtr<IString>(static_cast<IRefCountable*>(nullptr)), nullptr);
}

Ptr<String> objectMadeAtStartUp = makePtr<String>("made before the registry");

using RefCounting = ObjectCountingTest;

TEST_F(RefCounting, lastReleaseDestroysAndPtrOwnsExactlyTheReferencesItShould) {
    auto* string = new String("s");
    EXPECT_EQ(createdHere(), 1);
    {
        const Ptr<String> shared = shareToPtr(string);  // Adds one for the keeper.
        Ptr<String> moved = shared;
        Ptr<IRefCountable> root = std::move(moved);  // Converting move: no new reference.
        EXPECT_EQ(moved, nullptr);
        Ptr<String>& alias = moved = shared;
        moved = alias;  // Self-assignment keeps the object.
        EXPECT_EQ(string->refCountThreadUnsafe(), 4);
    }
    Ptr<String> owner = toPtr(string);  // Takes over the caller's reference.
    owner = makePtr<String>("other");
    EXPECT_EQ(destroyedHere(), 1);
    EXPECT_EQ(owner.releasePtr()->releaseRef(), 0);
    if (objectMadeAtStartUp) {  // Absent in repeated runs.
        olderDestructions = 1;
        objectMadeAtStartUp.reset();
        EXPECT_EQ(destroyedHere(), 3);
    }
}

TEST_F(RefCounting, concurrentReferencesDestroyTheObjectExactlyOnce) {
    auto* string = new String("s");
    for (int i = 1; i < 4; ++i)
        string->addRef();  // One reference per thread.
    std::atomic<int> zeroes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                Ptr<String> copy = shareToPtr(string);
            zeroes += string->releaseRef() == 0;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_TRUE(zeroes == 1 && destroyedHere() == 1);
}

}  // namespace
}  // namespace qo::sdk::test
