// The engine base: print prefix, settings merge, diagnostic events and action execution, with its
// lines on and off.
#include <gtest/gtest.h>

#include "host_fakes.h"
#include "qo/kit/utils.h"
#include "qo/sdk/analytics/helpers/engine.h"
#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/settings_response.h"

namespace qo::sdk::analytics::test {
namespace {

class TestEngine : public Engine {
public:
    explicit TestEngine(bool enableOutput) : Engine(enableOutput) {}

    void doObtainDeviceAgent(Result<IDeviceAgent*>*, const IDeviceInfo*) override {}

    using Engine::pushPluginDiagnosticEvent;
    using Engine::settingValue;

    bool throwFromSettings = false;
    std::string actionSeen;  // Id, last track id byte, timestamp and parameter k.
    const IObjectTrackInfo* trackInfoSeen = nullptr;

protected:
    std::string manifestString() const override { return R"({"engine": 1})"; }

    Result<const ISettingsResponse*> settingsReceived() override {
        if (throwFromSettings)
            throw std::runtime_error("bad settings");
        auto response = makePtr<SettingsResponse>();
        response->setValue("applied", "yes");
        return response.releasePtr();
    }

    Result<IAction::Result> executeAction(const std::string& actionId, Uuid objectTrackId,
                                          Uuid deviceId, int64_t timestampUs,
                                          Ptr<const IObjectTrackInfo> objectTrackInfo,
                                          const Map& params) override {
        actionSeen = actionId + " " + std::to_string(objectTrackId.bytes[15]) + " " +
                     std::to_string(timestampUs) + " " + params.at("k");
        trackInfoSeen = objectTrackInfo.get();
        return Engine::executeAction(actionId, objectTrackId, deviceId, timestampUs,
                                     objectTrackInfo, params);
    }
};

class EngineTest : public LogCapture {
protected:
    std::string p() const { return "[" + lib() + "_engine] "; }

    /** "code: message", or "ok" followed by the value of "applied" in the response. */
    static std::string setSettings(Engine* engine, const IStringMap* settings) {
        Result<const ISettingsResponse*> result;
        engine->doSetSettings(&result, settings);
        if (!result.isOk())
            return toString(result.error.errorCode) + ": " + messageOf(result.error);
        return std::string("ok ") + toPtr(toPtr(result.value)->getValues())->value("applied");
    }
    static std::string execute(Engine* engine, const IAction* action) {
        Result<IAction::Result> result;
        engine->doExecuteAction(&result, action);
        if (!result.isOk())
            return toString(result.error.errorCode) + ": " + messageOf(result.error);
        return result.value.actionUrl || result.value.messageToUser ? "unexpected" : "ok";
    }

    Ptr<TestEngine> engine = makePtr<TestEngine>(true);
    const Ptr<FakeEngineHandler> handler = makePtr<FakeEngineHandler>();
};

TEST_F(EngineTest, lifeCycleLinesPrefixesAndInterfaces) {
    auto* const other = new TestEngine(false);
    other->releaseRef();
    const auto address = [](const void* engine) { return kit::utils::toString(engine); };
    EXPECT_EQ(lines(p()), (Lines{"Created IEngine @" + address(engine.get()) + " of " + lib(),
                                 "Created IEngine @" + address(other) + " of " + lib(),
                                 "Destroyed " + address(other)}));
    const auto info = makePtr<FakeEngineInfo>();
    EXPECT_EQ(Engine::makePrintPrefix("x", info.get()), "[" + lib() + "_x_engine_e1] ");
    engine->setEngineInfo(info.get());
    output.clear();
    EXPECT_EQ(engine->settingValue("absent"), "");
    EXPECT_EQ(lines("[" + lib() + "_engine_e1] "),
              Lines{"ERROR: Requested setting \"absent\" is missing; implying empty string."});
    Result<const IString*> manifest;
    engine->getManifest(&manifest);
    EXPECT_STREQ(toPtr(manifest.value)->str(), R"({"engine": 1})");
    expectInterfaces(engine.get(), {"qo::sdk::analytics::IEngine1", "qo::sdk::analytics::IEngine"},
                     {"qo::sdk::analytics::IEngine2", "qo::sdk::analytics::IDeviceAgent"});
}

TEST_F(EngineTest, settingsReachTheHookAndFailuresBecomeErrors) {
    output.clear();
    EXPECT_EQ(setSettings(engine.get(), makePtr<StringMap>(StringMap::Map{{"b", "2"}}).get()),
              "ok yes");
    EXPECT_EQ(engine->settingValue("b"), "2");
    EXPECT_EQ(lines(p()), (Lines{"Received settings:", "{", "    \"b\": \"2\"", "}"}));
    EXPECT_EQ(setSettings(engine.get(), nullptr),
              "invalidParams: Unable to convert the input string map");
    engine->throwFromSettings = true;
    EXPECT_EQ(setSettings(engine.get(), makePtr<StringMap>().get()),
              "otherError: settingsReceived() failed.");
    EXPECT_EQ(lines(p()).back(),
              "doSetSettings(): ERROR: settingsReceived() threw an exception: bad settings");
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
    output.clear();
    engine->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::warning, "c", "d");
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_STREQ(handler->events[0]->description(), "d");
    EXPECT_EQ(refCountOf(handler->events[0].get()), 1) << "only the handler's own reference";
    EXPECT_EQ(output.lines(),
              (Lines{p() + "Producing Plugin Diagnostic Event:", "{", "    \"level\": \"warning\",",
                     "    \"caption\": \"c\",", "    \"description\": \"d\"", "}"}));
    engine.reset();
    EXPECT_EQ(handler->refCountThreadUnsafe(), 1);
}

TEST_F(EngineTest, actionIsLoggedPassedOnAndItsReferencesReleased) {
    const auto action = makePtr<FakeAction>();
    output.clear();
    EXPECT_EQ(execute(engine.get(), action.get()), "ok");
    EXPECT_EQ(engine->actionSeen, "qo.lumo.act 171 123 v");
    EXPECT_EQ(engine->trackInfoSeen, action->trackInfo.get());
    EXPECT_EQ(action->trackInfo->refCountThreadUnsafe(), 1);
    EXPECT_EQ(action->paramMap->refCountThreadUnsafe(), 1);
    EXPECT_EQ(lines(p()),
              (Lines{"doExecuteAction():", "{", "    actionId: \"qo.lumo.act\"",
                     "    objectTrackId: {ABABABAB-ABAB-ABAB-ABAB-ABABABABABAB}",
                     "    deviceId: {01010101-0101-0101-0101-010101010101}", "    timestampUs: 123",
                     "    params:", "    {", "        \"k\": \"v\"", "    }", "}"}));

    EXPECT_EQ(execute(engine.get(), nullptr), "invalidParams: Action is null");
    EXPECT_EQ(lines(p()).back(), "doExecuteAction(): INTERNAL ERROR: action is null");
    engine->actionSeen.clear();
    action->paramMap = nullptr;
    EXPECT_EQ(execute(engine.get(), action.get()), "invalidParams: Invalid action parameters");
    EXPECT_EQ(engine->actionSeen, "");
    EXPECT_EQ(action->trackInfo->refCountThreadUnsafe(), 1);
}

TEST_F(EngineTest, quietEngineDeliversAndActsSilently) {
    const auto quiet = makePtr<TestEngine>(false);
    quiet->setHandler(handler.get());
    output.clear();
    quiet->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::info, "c", "d");
    EXPECT_EQ(execute(quiet.get(), makePtr<FakeAction>().get()), "ok");
    EXPECT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(output.text(), "");
}

}  // namespace
}  // namespace qo::sdk::analytics::test
