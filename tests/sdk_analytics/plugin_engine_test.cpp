// The engine and plugin bases: settings merge, diagnostic events and action execution, engine
// creation in both styles, and what a quiet engine writes.
#include <gtest/gtest.h>

#include "host_fakes.h"
#include "qo/kit/utils.h"
#include "qo/sdk/analytics/helpers/engine.h"
#include "qo/sdk/analytics/helpers/plugin.h"

namespace qo::sdk::analytics::test {
namespace {

class TestEngine : public Engine {
public:
    explicit TestEngine(bool enableOutput, std::string printPrefix = "")
        : Engine(enableOutput, std::move(printPrefix)) {}
    using Engine::pushPluginDiagnosticEvent;
    using Engine::settingValue;
    void doObtainDeviceAgent(Result<IDeviceAgent*>*, const IDeviceInfo*) override {}

    bool throwFromSettings = false;

protected:
    std::string manifestString() const override { return R"({"engine": 1})"; }
    Result<const ISettingsResponse*> settingsReceived() override {
        if (throwFromSettings)
            throw std::runtime_error("bad settings");
        return nullptr;
    }
};

class FakeTrackInfo : public RefCountable<IObjectTrackInfo> {};

class FakeAction : public RefCountable<IAction> {
public:
    const char* actionId() const override { return "qo.lumo.act"; }
    void getObjectTrackId(Uuid* outValue) const override { outValue->bytes.fill(0xAB); }
    void getDeviceId(Uuid* outValue) const override { outValue->bytes.fill(0x01); }
    const IObjectTrackInfo* objectTrackInfo() const override {
        ++trackInfoAsked;
        return shareToPtr(trackInfo.get()).releasePtr();
    }
    int64_t timestampUs() const override { return 123; }
    const IStringMap* params() const override { return shareToPtr(paramMap.get()).releasePtr(); }

    Ptr<FakeTrackInfo> trackInfo = makePtr<FakeTrackInfo>();
    Ptr<StringMap> paramMap = makePtr<StringMap>(StringMap::Map{{"k", "v"}});
    mutable int trackInfoAsked = 0;
};

class EngineTest : public LogCapture {
protected:
    std::string p() const { return "[" + lib() + "_engine] "; }

    std::string setSettings(const IStringMap* settings) {
        Result<const ISettingsResponse*> result;
        engine->doSetSettings(&result, settings);
        toPtr(result.value);
        return outcome(result);
    }
    static std::string execute(Engine* engine, const IAction* action) {
        Result<IAction::Result> result;
        engine->doExecuteAction(&result, action);
        return outcome(result);
    }

    Ptr<TestEngine> engine = makePtr<TestEngine>(true);
    const Ptr<FakeEngineHandler> handler = makePtr<FakeEngineHandler>();
};

TEST_F(EngineTest, settingsReachTheHookAndFailuresBecomeErrors) {
    output.clear();
    EXPECT_EQ(setSettings(makePtr<StringMap>(StringMap::Map{{"b", "2"}}).get()), "ok");
    EXPECT_EQ(engine->settingValue("b"), "2");
    EXPECT_EQ(setSettings(nullptr), "invalidParams: Unable to convert the input string map");
    engine->throwFromSettings = true;
    EXPECT_EQ(setSettings(makePtr<StringMap>().get()), "otherError: settingsReceived() failed.");
    EXPECT_EQ(lines(p()).back(),
              "doSetSettings(): ERROR: settingsReceived() threw an exception: bad settings");
    expectInterfaces(engine.get(), {"qo::sdk::analytics::IEngine1", "qo::sdk::analytics::IEngine"},
                     {"qo::sdk::analytics::IEngine2", "qo::sdk::analytics::IDeviceAgent"});
}

TEST_F(EngineTest, diagnosticEventsNeedAHandlerWhichIsReleasedWhenReplaced) {
    engine->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::warning, "c", "d");
    EXPECT_EQ(lines(p()).back(),
              "pushPluginDiagnosticEvent(): INTERNAL ERROR: setHandler() was "
              "not called; ignoring the Plugin Diagnostic Event.");
    const auto first = makePtr<FakeEngineHandler>();
    engine->setHandler(first.get());
    engine->setHandler(handler.get());
    EXPECT_EQ(first->refCountThreadUnsafe(), 1);
    engine->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::warning, "c", "d");
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(refCountOf(handler->events[0].get()), 1) << "only the handler's own reference";
    engine.reset();
    EXPECT_EQ(handler->refCountThreadUnsafe(), 1);
}

TEST_F(EngineTest, actionIsLoggedOnlyWhenVerbosePassedOnAndItsReferencesReleased) {
    const auto action = makePtr<FakeAction>();
    output.clear();
    EXPECT_EQ(execute(engine.get(), action.get()), "ok");
    EXPECT_NE(output.text().find("actionId: \"qo.lumo.act\""), std::string::npos);
    EXPECT_EQ(execute(engine.get(), nullptr), "invalidParams: Action is null");
    const auto quiet = makePtr<TestEngine>(false);
    quiet->setHandler(handler.get());
    output.clear();
    quiet->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::info, "c", "d");
    EXPECT_EQ(execute(quiet.get(), action.get()), "ok");
    EXPECT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(output.text(), "") << "a quiet engine";
    EXPECT_EQ(action->paramMap->refCountThreadUnsafe(), 1);
    action->paramMap = nullptr;
    EXPECT_EQ(execute(engine.get(), action.get()), "invalidParams: Invalid action parameters");
    EXPECT_EQ(action->trackInfo->refCountThreadUnsafe(), 1);
}

TEST_F(EngineTest, actionWithUnusableParametersIsNotAskedForItsTrackInfo) {
    const auto action = makePtr<FakeAction>();
    action->paramMap = nullptr;
    EXPECT_EQ(execute(engine.get(), action.get()), "invalidParams: Invalid action parameters");
    EXPECT_EQ(action->trackInfoAsked, 0);
    action->paramMap = makePtr<StringMap>();
    EXPECT_EQ(execute(engine.get(), action.get()), "ok");
    EXPECT_EQ(action->trackInfoAsked, 1);
    EXPECT_EQ(action->trackInfo->refCountThreadUnsafe(), 1);
}

class OverridingPlugin : public Plugin {
public:
    using Plugin::Plugin;
    bool throwFromEngine = false;

protected:
    Result<IEngine*> doObtainEngine() override {
        if (throwFromEngine)
            throw std::runtime_error("no engine today");
        return new TestEngine(false);
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
    /** The outcome, with the engine's reference count when made. */
    static std::string createEngine(Plugin* plugin) {
        Result<IEngine*> result;
        plugin->doCreateEngine(&result);
        if (!result.isOk())
            return outcome(result);
        return "references " + std::to_string(refCountOf(toPtr(result.value).get()));
    }
};

TEST_F(PluginTest, manifestsInterfacesAndOneHeldUtilityProvider) {
    EXPECT_EQ(manifestOf(*makePtr<OverridingPlugin>()), R"({"id": "derived"})");
    const auto byConstructor = makePtr<OverridingPlugin>(R"({"id": "given"})", nullptr);
    EXPECT_EQ(manifestOf(*byConstructor), R"({"id": "given"})") << "wins over the override";
    const auto first = makePtr<FakeUtilityProvider>();
    const auto second = makePtr<FakeUtilityProvider>();
    byConstructor->setUtilityProvider(first.get());
    byConstructor->setUtilityProvider(second.get());
    EXPECT_TRUE(refCountOf(first.get()) == 1 && refCountOf(second.get()) == 2);
    expectInterfaces(byConstructor.get(),
                     {"qo::sdk::analytics::IPlugin", "qo::sdk::analytics::IIntegration",
                      "qo::sdk::IPlugin", "qo::sdk::IIntegration"},
                     {"qo::sdk::analytics::IEngine", "qo::sdk::IPlugin1"});
}

TEST_F(PluginTest, engineComesFromTheFactoryOrTheOverrideAndEveryFailureIsAnError) {
    const auto byFactory =
        makePtr<Plugin>("{}", [](Plugin*) -> IEngine* { return new TestEngine(false); });
    EXPECT_EQ(createEngine(byFactory.get()), "references 1");
    const auto overriding = makePtr<OverridingPlugin>();
    EXPECT_EQ(createEngine(overriding.get()), "references 1");

    const auto failing = makePtr<Plugin>("{}", [](Plugin*) -> IEngine* { return nullptr; });
    output.clear();
    EXPECT_EQ(createEngine(failing.get()), "otherError: Unable to create Engine");
    EXPECT_EQ(output.lines(), Lines{"[plugin] ERROR: " + lib() + ": Unable to create Engine"});
    overriding->throwFromEngine = true;
    EXPECT_EQ(createEngine(overriding.get()), "otherError: Unable to create Engine");
    EXPECT_NE(output.text().find("no engine today"), std::string::npos);

    const auto bare = makePtr<Plugin>();
    EXPECT_EQ(createEngine(bare.get()).rfind("internalError: Either doObtainEngine() should be", 0),
              0u);
}

}  // namespace
}  // namespace qo::sdk::analytics::test
