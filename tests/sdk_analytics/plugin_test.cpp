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
        return result.value ? toPtr(result.value)->str() : "<none>";
    }
    /** "code: message" of a failed creation, or "engine with N reference(s)". */
    static std::string createEngine(Plugin* plugin) {
        Result<IEngine*> result;
        plugin->doCreateEngine(&result);
        if (!result.isOk())
            return toString(result.error.errorCode) + ": " + messageOf(result.error);
        const Ptr<IEngine> engine = toPtr(result.value);
        return "engine with " + std::to_string(refCountOf(engine.get())) + " reference(s)";
    }
};

TEST_F(PluginTest, lifeCycleLinesAndManifests) {
    auto* const plugin = new OverridingPlugin;
    EXPECT_EQ(manifestOf(*plugin), R"({"id": "derived"})");
    plugin->releaseRef();
    const std::string at = " IPlugin @" + kit::utils::toString(static_cast<void*>(plugin));
    EXPECT_EQ(output.lines(), (Lines{"[plugin] Created" + at + " of " + lib(),
                                     "[plugin] Destroyed" + at + " of " + lib()}));
    const auto byConstructor = makePtr<OverridingPlugin>(R"({"id": "given"})", nullptr);
    EXPECT_EQ(manifestOf(*byConstructor), R"({"id": "given"})") << "wins over the override";
    expectInterfaces(byConstructor.get(),
                     {"qo::sdk::analytics::IPlugin", "qo::sdk::analytics::IIntegration",
                      "qo::sdk::IPlugin", "qo::sdk::IIntegration"},
                     {"qo::sdk::analytics::IEngine", "qo::sdk::IPlugin1"});
}

TEST_F(PluginTest, engineComesFromTheFactoryOrTheOverrideWithOneReference) {
    Plugin* seen = nullptr;
    const auto byFactory = makePtr<Plugin>("{}", [&](Plugin* p) -> IEngine* {
        seen = p;
        return new MinimalEngine;
    });
    EXPECT_EQ(createEngine(byFactory.get()), "engine with 1 reference(s)");
    EXPECT_EQ(seen, byFactory.get());
    const auto overriding = makePtr<OverridingPlugin>();
    EXPECT_EQ(createEngine(overriding.get()), "engine with 1 reference(s)");

    const auto failing = makePtr<Plugin>("{}", [](Plugin*) -> IEngine* { return nullptr; });
    output.clear();
    EXPECT_EQ(createEngine(failing.get()), "otherError: Unable to create Engine");
    EXPECT_EQ(output.lines(), Lines{"[plugin] ERROR: " + lib() + ": Unable to create Engine"});
    overriding->throwFromEngine = true;
    EXPECT_EQ(createEngine(overriding.get()), "otherError: Unable to create Engine");
    EXPECT_NE(output.text().find("no engine today"), std::string::npos);
}

TEST_F(PluginTest, missingOverridesAreReportedAndFail) {
    const auto plugin = makePtr<Plugin>();
    output.clear();
    const std::string result = createEngine(plugin.get());
    EXPECT_EQ(result.rfind("internalError: Either doObtainEngine() should be overridden", 0), 0u);
    const std::string message = result.substr(std::string("internalError: ").size());
    EXPECT_EQ(output.lines().back(), "[plugin] ERROR: " + lib() + ": " + message);
    EXPECT_EQ(manifestOf(*plugin), "");
    EXPECT_NE(output.text().find("(false) Either manifestString() should be overridden, or the "
                                 "constructor with pluginManifest argument (deprecated) should "
                                 "be called."),
              std::string::npos);
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
    }
    EXPECT_EQ(second->refCountThreadUnsafe(), 1);
}

}  // namespace
}  // namespace qo::sdk::analytics::test
