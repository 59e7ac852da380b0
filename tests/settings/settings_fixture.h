// The settings road as the server drives it: a device agent bound to a substitute camera on a
// loopback address at port 80. The agent writes on detached threads, which settle() waits for.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "camera.h"
#include "lumo/settings_model.h"
#include "qo/sdk/analytics/i_active_setting_changed_action.h"
#include "support/agent_fixture.h"
#include "support/camera_fixture.h"
#include "support/sample_documents.h"

namespace settings_test {

using lumo_camera::Fault;
using lumo_test::eventually;
using lumo_test::sampleDocument;
using qo::sdk::ErrorCode;
using qo::sdk::makePtr;
using qo::sdk::Ptr;
using qo::vms_server_plugins::analytics::lumo::DeviceAgent;
using Values = std::map<std::string, std::string>;
using Texts = std::vector<std::string>;

// Under TSan a readback of hundreds of settings outruns the request time-out: loads shrink there.
#ifdef __SANITIZE_THREAD__
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif

template <typename Value>
ErrorCode releaseResult(qo::sdk::Result<Value>* result) {
    if (result->error.errorMessage)
        result->error.errorMessage->releaseRef();
    if constexpr (!std::is_void_v<Value>) {
        if (result->value)
            result->value->releaseRef();
    }
    return result->error.errorCode;
}

class FakeActiveSettingAction
    : public qo::sdk::RefCountable<qo::sdk::analytics::IActiveSettingChangedAction> {
public:
    FakeActiveSettingAction(std::string name, Ptr<qo::sdk::IStringMap> values)
        : m_name(std::move(name)), m_values(std::move(values)) {}
    const char* activeSettingName() const override { return m_name.c_str(); }
    const char* settingsModel() const override { return "{}"; }
    const qo::sdk::IStringMap* settingsValues() const override {
        return qo::sdk::shareToPtr(m_values.get()).releasePtr();
    }
    const qo::sdk::IStringMap* params() const override { return nullptr; }

private:
    const std::string m_name;
    const Ptr<qo::sdk::IStringMap> m_values;
};

struct Answer {
    ErrorCode code = ErrorCode::noError;
    bool hasResponse = false;
    Values values;
    /** Settings the response names as not read, with the cause. */
    Values errors;
};

/** Every setting of the model with its default, or under TSan those outside slots 3 to 8. */
inline const Values& modelDefaults(bool underTest = false) {
    namespace lumo = qo::vms_server_plugins::analytics::lumo;
    static const Values all = lumo::settingsModelDefaults(lumo::settingsModel());
    static const Values tested = [] {
        Values values = all;
        for (auto it = values.begin(); kThreadSanitizer && it != values.end();)
            it = it->first.back() >= '3' && it->first.back() <= '8' ? values.erase(it) : ++it;
        return values;
    }();
    return underTest ? tested : all;
}

inline Values defaultsOf(const std::vector<std::string>& names) {
    Values values;
    for (const std::string& name : names) {
        if (modelDefaults().count(name) != 0)
            values[name] = modelDefaults().at(name);
    }
    return values;
}

inline std::string valueOr(const Values& values, const std::string& name) {
    const auto it = values.find(name);
    return it == values.end() ? "-" : it->second;
}

/** What every change answers: the momentary resets off. */
inline Values resetsOff() {
    Values values{{"AIX_LINE_COUNT_RESET_ALL", "false"}};
    for (int n = 1; n <= 8; ++n)
        values["AIX_LINE_COUNT_RESET" + std::to_string(n)] = "false";
    return values;
}

class SettingsRoadTest : public camera_test::CameraFixture {
protected:
    explicit SettingsRoadTest(int block, int holdOffMs = 50)
        : CameraFixture(block), m_holdOffMs(holdOffMs) {}

    void SetUp() override {
        lumo_test::LiveObjects::instance();  // Silences the agent's log.
        // No thread of an earlier agent is left to read it: TearDown waited for them.
        qo::sdk::setUnitTestOption("writeHoldOffMs", std::to_string(m_holdOffMs));
        CameraFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_agent =
            makePtr<DeviceAgent>(makePtr<lumo_test::FakeDeviceInfo>(
                                     "camera-1", "http://" + ip() + "/onvif", user(), password())
                                     .get());
        m_handler = makePtr<lumo_test::RecordingHandler>();
        m_agent->setHandler(m_handler.get());
    }

    void TearDown() override {
        if (m_agent) {
            settle();
            m_agent->setHandler(nullptr);
            m_agent.reset();
        }
        CameraFixture::TearDown();
    }

    DeviceAgent& agent() { return *m_agent; }
    lumo_test::RecordingHandler& handler() { return *m_handler; }
    qo::sdk::analytics::IConsumingDeviceAgent& server() { return *m_agent; }

    /** The first settings of a newly bound camera: the dialog starts from these values. */
    Answer adopt(const Values& initial) {
        dialog = initial;
        return change({});
    }

    void start(const std::vector<std::string>& names) {
        adopt(defaultsOf(names));
        settle();
        camera->clearRequests();
    }

    /** The user changes values: the whole dialog goes to the agent; its answer shows in it. */
    Answer change(const Values& changes) {
        for (const auto& [name, value] : changes)
            dialog[name] = value;
        const auto map = makePtr<qo::sdk::StringMap>(dialog);
        return settingsCall([&](auto* result) { server().doSetSettings(result, map.get()); });
    }

    /** "NAME=VALUE" of the writes of one change, sorted for several changes (side by side). */
    Texts writesOf(const Values& changes, Answer* answer = nullptr) {
        camera->clearRequests();
        const Answer answered = change(changes);
        settle();
        EXPECT_EQ(ErrorCode::noError, answered.code);
        for (const auto& [name, value] : resetsOff())
            EXPECT_EQ(value, valueOr(answered.values, name)) << name;
        if (answer)
            *answer = answered;
        Texts texts;
        for (const lumo_camera::LoggedRequest& request : camera->requests()) {
            if (!request.authorized)
                continue;
            EXPECT_EQ(0u, request.uri.rfind("/httpapi/WriteParam", 0)) << request.uri;
            EXPECT_EQ(1u, request.parameters.size()) << request.uri;
            const auto& [name, value] = request.parameters.at(0);
            if (value.find_first_not_of("0123456789,-") == std::string::npos) {
                EXPECT_EQ("=" + value + "&", request.uri.substr(request.uri.rfind('=')))
                    << "positions and sizes go unencoded";
            }
            texts.push_back(name + "=" + value);
        }
        if (changes.size() > 1)
            std::sort(texts.begin(), texts.end());
        return texts;
    }

    Answer pluginSide() {
        return settingsCall([&](auto* result) { server().getPluginSideSettings(result); });
    }

    void turnActiveSetting(const std::string& name, const Values& values) {
        const auto map = makePtr<qo::sdk::StringMap>(values);
        qo::sdk::Result<const qo::sdk::analytics::IActiveSettingChangedResponse*> result;
        server().doGetSettingsOnActiveSettingChange(
            &result, makePtr<FakeActiveSettingAction>(name, map).get());
        EXPECT_EQ(ErrorCode::noError, releaseResult(&result));
        EXPECT_EQ(1, map->refCountThreadUnsafe()) << "the server's values are released once";
    }

    void pushVideo(int32_t width, int32_t height) {
        qo::sdk::Result<void> result;
        server().doPushDataPacket(&result,
                                  makePtr<lumo_test::FakeVideoPacket>(width, height).get());
        EXPECT_EQ(ErrorCode::noError, releaseResult(&result));
    }

    /** Pushes a metadata document and waits until the agent is done with it. */
    void pushDocument(const std::string& document) {
        qo::sdk::Result<void> result;
        server().doPushDataPacket(&result, makePtr<lumo_test::FakeMetadataPacket>(
                                               document, m_documentTimestampUs += 40'000)
                                               .get());
        EXPECT_EQ(ErrorCode::noError, releaseResult(&result));
        EXPECT_TRUE(eventually([this] { return m_agent->isReady(); }));
    }

    /** Waits until no write or hold-off thread of the agent holds a reference to it. */
    void settle() {
        EXPECT_TRUE(eventually([this] { return m_agent->refCountThreadUnsafe() == 1; }))
            << "the agent's write threads did not end";
    }

    /** Parameter and value of each request to `path` the camera served after a valid login. */
    std::vector<std::pair<std::string, std::string>> served(const std::string& path) const {
        std::vector<std::pair<std::string, std::string>> result;
        for (const auto& request : camera->requests()) {
            if (request.authorized && request.uri.rfind(path, 0) == 0)
                result.push_back(request.parameters.at(0));
        }
        return result;
    }

    Texts writeTexts() const {
        Texts texts;
        for (const auto& [name, value] : served("/httpapi/WriteParam"))
            texts.push_back(name + "=" + value);
        return texts;
    }

    size_t readsOf(const std::string& parameter) const {
        const auto reads = served("/httpapi/ReadParam");
        return std::count_if(reads.begin(), reads.end(),
                             [&](const auto& read) { return read.first == parameter; });
    }

    void set(const std::string& name, const std::string& value) {
        camera->parameters().set(name, value);
    }

    Values dialog;

private:
    Answer settingsCall(const std::function<void(DeviceAgent::SettingsResult*)>& call) {
        DeviceAgent::SettingsResult result;
        call(&result);
        Answer answer{result.error.errorCode, result.value != nullptr, {}, {}};
        if (result.value) {
            answer.values = qo::vms_server_plugins::analytics::lumo::toStdMap(
                Ptr<const qo::sdk::IStringMap>(result.value->getValues()));
            answer.errors = qo::vms_server_plugins::analytics::lumo::toStdMap(
                Ptr<const qo::sdk::IStringMap>(result.value->getErrors()));
        }
        releaseResult(&result);
        for (const auto& [name, value] : answer.values)
            dialog[name] = value;
        return answer;
    }

    const int m_holdOffMs;
    Ptr<lumo_test::RecordingHandler> m_handler;
    Ptr<DeviceAgent> m_agent;
    int64_t m_documentTimestampUs = 1'700'000'000'000'000;
};

}  // namespace settings_test
