// The plugin base: manifest, engine creation in both styles and its life-cycle lines.

#include <gtest/gtest.h>

#include "host_fakes.h"
#include "qo/kit/utils.h"
#include "qo/sdk/analytics/helpers/engine.h"
#include "qo/sdk/analytics/helpers/plugin.h"

namespace qo::sdk::analytics::test {
namespace {

class MinimalEngine : public Engine {
public:
    MinimalEngine() : Engine(false) {}
    void doObtainDeviceAgent(Result<IDeviceAgent*>*, const IDeviceInfo*) override {}

protected:
    std::string manifestString() const override { return "{}"; }
};

class OverridingPlugin : public Plugin {
public:
    using Plugin::Plugin;
    bool throwFromEngine = false;

protected:
    Result<IEngine*> doObtainEngine() override {
        if (throwFromEngine)
            throw std::runtime_error("no engine today");
        return new MinimalEngine;
    }
    std::string manifestString() const override { return R"({"id": "derived"})"; }
};

class FakeUtilityProvider : public RefCountable<IUtilityProvider> {};

class PluginTest : public LogCapture {
protected:
    static std::string manifestOf(const Plugin& plugin) {
        Result<const IString*> result;
        plugin.getManifest(&result);
        EXPECT_TRUE(result.isOk());
        return toPtr(result.value)->str();
    }
    std::string lifeCycleLine(const std::string& event, const void* plugin) const {
        return "[plugin] " + event + " IPlugin @" + kit::utils::toString(plugin) + " of " + lib();
    }
};

TEST_F(PluginTest, createAndReleaseWriteOneLifeCycleLineEach) {
    auto* const plugin = new OverridingPlugin;
    plugin->releaseRef();
    EXPECT_EQ(lines(), (std::vector<std::string>{lifeCycleLine("Created", plugin),
                                                 lifeCycleLine("Destroyed", plugin)}));
}

TEST_F(PluginTest, constructorManifestWinsOverTheOverride) {
    const auto byConstructor = makePtr<OverridingPlugin>(R"({"id": "given"})", nullptr);
    EXPECT_EQ(manifestOf(*byConstructor), R"({"id": "given"})");
    EXPECT_EQ(manifestOf(*makePtr<OverridingPlugin>()), R"({"id": "derived"})");
}

TEST_F(PluginTest, factoryMakesTheEngineForThePlugin) {
    Plugin* seen = nullptr;
    const auto plugin = makePtr<Plugin>("{}", [&](Plugin* p) -> IEngine* {
        seen = p;
        return new MinimalEngine;
    });
    Result<IEngine*> result;
    plugin->doCreateEngine(&result);
    ASSERT_TRUE(result.isOk());
    EXPECT_EQ(seen, plugin.get());
    EXPECT_EQ(refCountOf(result.value), 1);  // Exactly one reference, the caller's.
    result.value->releaseRef();
}

TEST_F(PluginTest, factoryReturningNullIsAnOtherErrorWithOneErrorLine) {
    const auto plugin = makePtr<Plugin>("{}", [](Plugin*) -> IEngine* { return nullptr; });
    clearLog();
    Result<IEngine*> result;
    plugin->doCreateEngine(&result);
    EXPECT_EQ(result.error.errorCode, ErrorCode::otherError);
    EXPECT_EQ(messageOf(result.error), "Unable to create Engine");
    EXPECT_EQ(lines(),
              std::vector<std::string>{"[plugin] ERROR: " + lib() + ": Unable to create Engine"});
}

TEST_F(PluginTest, missingOverridesAreReportedAndFail) {
    const auto plugin = makePtr<Plugin>();
    clearLog();
    Result<IEngine*> result;
    plugin->doCreateEngine(&result);
    EXPECT_EQ(result.error.errorCode, ErrorCode::internalError);
    const std::string message = messageOf(result.error);
    EXPECT_EQ(message.rfind("Either doObtainEngine() should be overridden", 0), 0u);
    const auto out = lines();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "[plugin] ");
    EXPECT_NE(out[1].find("qo/sdk/analytics/helpers/plugin.cpp:"), std::string::npos);
    EXPECT_NE(out[1].find(" (false) " + message), std::string::npos);
    EXPECT_EQ(out[2], "[plugin] ERROR: " + lib() + ": " + message);

    clearLog();
    EXPECT_EQ(manifestOf(*plugin), "");
    EXPECT_NE(::testing::PrintToString(lines()).find(
                  "(false) Either manifestString() should be overridden, or the constructor with "
                  "pluginManifest argument (deprecated) should be called."),
              std::string::npos);
}

TEST_F(PluginTest, throwingOverrideBecomesAnErrorResult) {
    const auto plugin = makePtr<OverridingPlugin>();
    plugin->throwFromEngine = true;
    Result<IEngine*> result;
    plugin->doCreateEngine(&result);
    EXPECT_EQ(result.error.errorCode, ErrorCode::otherError);
    EXPECT_EQ(result.value, nullptr);
    EXPECT_EQ(messageOf(result.error), "Unable to create Engine");
    EXPECT_NE(::testing::PrintToString(lines()).find("no engine today"), std::string::npos);
}

TEST_F(PluginTest, keepsOneReferenceToTheUtilityProvider) {
    const auto first = makePtr<FakeUtilityProvider>();
    const auto second = makePtr<FakeUtilityProvider>();
    {
        const auto plugin = makePtr<OverridingPlugin>();
        plugin->setUtilityProvider(first.get());
        EXPECT_EQ(first->refCountThreadUnsafe(), 2);
        plugin->setUtilityProvider(second.get());
        EXPECT_EQ(first->refCountThreadUnsafe(), 1);
        EXPECT_EQ(plugin->utilityProvider().get(), second.get());
        EXPECT_EQ(plugin->instanceId(), "");
    }
    EXPECT_EQ(second->refCountThreadUnsafe(), 1);
}

TEST_F(PluginTest, answersPluginAndIntegrationIdsOfBothLevels) {
    const auto plugin = makePtr<OverridingPlugin>();
    expectInterfaces(plugin.get(),
                     {"qo::sdk::analytics::IPlugin", "qo::sdk::analytics::IIntegration",
                      "qo::sdk::IPlugin", "qo::sdk::IIntegration", "qo::sdk::IRefCountable"},
                     {"qo::sdk::analytics::IEngine", "qo::sdk::IPlugin1"});
}

}  // namespace
}  // namespace qo::sdk::analytics::test
