// The engine base: print prefix, settings merge, diagnostic events and action execution.

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
    explicit TestEngine(bool enableOutput, std::string printPrefix = "")
        : Engine(enableOutput, std::move(printPrefix)) {}

    void doObtainDeviceAgent(Result<IDeviceAgent*>*, const IDeviceInfo*) override {}

    using Engine::currentSettings;
    using Engine::pushPluginDiagnosticEvent;
    using Engine::settingValue;

    int settingsReceivedCalls = 0;
    bool throwFromSettings = false;
    std::string actionSeen;  // Id, last track id byte, timestamp and parameter k.
    const IObjectTrackInfo* trackInfoSeen = nullptr;

protected:
    std::string manifestString() const override { return R"({"engine": 1})"; }

    Result<const ISettingsResponse*> settingsReceived() override {
        ++settingsReceivedCalls;
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
    void SetUp() override {
        LogCapture::SetUp();
        engine = makePtr<TestEngine>(true);
    }
    void TearDown() override {
        engine.reset();
        LogCapture::TearDown();
    }
    std::string prefix() const { return "[" + lib() + "_engine] "; }

    Ptr<TestEngine> engine;
};

TEST_F(EngineTest, lifeCycleLinesCarryTheAddress) {
    auto* const other = new TestEngine(false);
    std::ostringstream address;
    address << static_cast<const void*>(other);
    other->releaseRef();
    EXPECT_EQ(lines(),
              (std::vector<std::string>{
                  prefix() + "Created IEngine @" +
                      kit::utils::toString(static_cast<const void*>(engine.get())) + " of " + lib(),
                  prefix() + "Created IEngine @" + address.str() + " of " + lib(),
                  prefix() + "Destroyed " + address.str()}));
}

TEST_F(EngineTest, printPrefixNamesOverrideAndEngineId) {
    const auto info = makePtr<FakeEngineInfo>();
    EXPECT_EQ(Engine::makePrintPrefix("", nullptr), prefix());
    EXPECT_EQ(Engine::makePrintPrefix("x", nullptr), "[" + lib() + "_x_engine] ");
    EXPECT_EQ(Engine::makePrintPrefix("x", info.get()), "[" + lib() + "_x_engine_e1] ");

    engine->setEngineInfo(info.get());
    clearLog();
    EXPECT_EQ(engine->settingValue("absent"), "");
    EXPECT_EQ(lines(), std::vector<std::string>{"[" + lib() +
                                                "_engine_e1] ERROR: Requested "
                                                "setting \"absent\" is missing; implying empty "
                                                "string."});
}

TEST_F(EngineTest, settingsUpdatesMergeAndReachTheDerivedEngine) {
    Result<const ISettingsResponse*> result;
    engine->doSetSettings(&result, makePtr<StringMap>(StringMap::Map{{"a", "1"}}).get());
    ASSERT_TRUE(result.isOk());
    EXPECT_STREQ(toPtr(toPtr(result.value)->getValues())->value("applied"), "yes");
    clearLog();
    engine->doSetSettings(&result, makePtr<StringMap>(StringMap::Map{{"b", "2"}}).get());
    toPtr(result.value);  // Releases the response.
    EXPECT_EQ(engine->currentSettings(), (Engine::Map{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(engine->settingValue("b"), "2");
    EXPECT_EQ(lines(), (std::vector<std::string>{prefix() + "Received settings:", prefix() + "{",
                                                 prefix() + "    \"b\": \"2\"", prefix() + "}"}));
}

TEST_F(EngineTest, invalidOrThrowingSettingsGiveErrors) {
    Result<const ISettingsResponse*> result;
    engine->doSetSettings(&result, nullptr);
    EXPECT_EQ(result.error.errorCode, ErrorCode::invalidParams);
    EXPECT_EQ(messageOf(result.error), "Unable to convert the input string map");
    EXPECT_EQ(engine->settingsReceivedCalls, 0);

    engine->throwFromSettings = true;
    engine->doSetSettings(&result, makePtr<StringMap>().get());
    EXPECT_EQ(result.error.errorCode, ErrorCode::otherError);
    EXPECT_EQ(messageOf(result.error), "settingsReceived() failed.");
    EXPECT_EQ(
        lines().back(),
        prefix() + "doSetSettings(): ERROR: settingsReceived() threw an exception: bad settings");
}

TEST_F(EngineTest, diagnosticEventsNeedAHandler) {
    engine->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::warning, "c", "d");
    EXPECT_EQ(
        lines().back(),
        prefix() +
            "pushPluginDiagnosticEvent(): INTERNAL ERROR: setHandler() was not called; ignoring "
            "the Plugin Diagnostic Event.");

    const auto handler = makePtr<FakeEngineHandler>();
    engine->setHandler(handler.get());
    clearLog();
    engine->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::warning, "c", "d");
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_STREQ(handler->events[0]->description(), "d");
    EXPECT_EQ(refCountOf(handler->events[0].get()), 1);  // Only the handler's own reference.
    EXPECT_EQ(lines(),
              (std::vector<std::string>{prefix() + "Producing Plugin Diagnostic Event:", "{",
                                        "    \"level\": \"warning\",", "    \"caption\": \"c\",",
                                        "    \"description\": \"d\"", "}"}));
}

TEST_F(EngineTest, handlerIsReleasedWhenReplacedAndOnDestruction) {
    const auto first = makePtr<FakeEngineHandler>();
    const auto second = makePtr<FakeEngineHandler>();
    engine->setHandler(first.get());
    engine->setHandler(second.get());
    EXPECT_EQ(first->refCountThreadUnsafe(), 1);
    EXPECT_EQ(second->refCountThreadUnsafe(), 2);
    engine.reset();
    EXPECT_EQ(second->refCountThreadUnsafe(), 1);
}

TEST_F(EngineTest, quietEngineStillDeliversEventsAndReportsMissingSettings) {
    const auto quiet = makePtr<TestEngine>(false);
    const auto handler = makePtr<FakeEngineHandler>();
    quiet->setHandler(handler.get());
    clearLog();
    quiet->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::info, "c", "d");
    Result<IAction::Result> result;
    quiet->doExecuteAction(&result, makePtr<FakeAction>().get());
    EXPECT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(quiet->actionSeen, "qo.lumo.act 171 123 v");
    EXPECT_TRUE(lines().empty());
    quiet->settingValue("x");
    EXPECT_EQ(lines().size(), 1u);
}

TEST_F(EngineTest, nullActionIsInvalid) {
    Result<IAction::Result> result;
    engine->doExecuteAction(&result, nullptr);
    EXPECT_EQ(result.error.errorCode, ErrorCode::invalidParams);
    EXPECT_EQ(messageOf(result.error), "Action is null");
    EXPECT_EQ(lines().back(), prefix() + "doExecuteAction(): INTERNAL ERROR: action is null");
}

TEST_F(EngineTest, actionIsLoggedAndPassedOnAndItsReferencesReleased) {
    const auto action = makePtr<FakeAction>();
    clearLog();
    Result<IAction::Result> result;
    engine->doExecuteAction(&result, action.get());
    EXPECT_TRUE(result.isOk());
    EXPECT_EQ(result.value.actionUrl, nullptr);
    EXPECT_EQ(result.value.messageToUser, nullptr);
    EXPECT_EQ(engine->actionSeen, "qo.lumo.act 171 123 v");
    EXPECT_EQ(engine->trackInfoSeen, action->trackInfo.get());
    EXPECT_EQ(action->trackInfo->refCountThreadUnsafe(), 1);
    EXPECT_EQ(action->paramMap->refCountThreadUnsafe(), 1);

    const std::string p = prefix();
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           p + "doExecuteAction():", p + "{", p + "    actionId: \"qo.lumo.act\"",
                           p + "    objectTrackId: {ABABABAB-ABAB-ABAB-ABAB-ABABABABABAB}",
                           p + "    deviceId: {01010101-0101-0101-0101-010101010101}",
                           p + "    timestampUs: 123", p + "    params:", p + "    {",
                           p + "        \"k\": \"v\"", p + "    }", p + "}"}));
}

TEST_F(EngineTest, actionWithoutParametersIsInvalid) {
    const auto action = makePtr<FakeAction>();
    action->paramMap = nullptr;
    Result<IAction::Result> result;
    engine->doExecuteAction(&result, action.get());
    EXPECT_EQ(result.error.errorCode, ErrorCode::invalidParams);
    EXPECT_EQ(messageOf(result.error), "Invalid action parameters");
    EXPECT_EQ(engine->actionSeen, "");
    EXPECT_EQ(action->trackInfo->refCountThreadUnsafe(), 1);
}

TEST_F(EngineTest, servesItsManifestAndAnswersBothEngineIds) {
    Result<const IString*> manifest;
    engine->getManifest(&manifest);
    EXPECT_STREQ(toPtr(manifest.value)->str(), R"({"engine": 1})");
    expectInterfaces(
        engine.get(),
        {"qo::sdk::analytics::IEngine1", "qo::sdk::analytics::IEngine", "qo::sdk::IRefCountable"},
        {"qo::sdk::analytics::IEngine2", "qo::sdk::analytics::IDeviceAgent"});
}

}  // namespace
}  // namespace qo::sdk::analytics::test
