#include "settings/settings_fixture.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <fstream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <thread>

#include "lumo/settings_model.h"
#include "qo/kit/debug.h"
#include "qo/sdk/helpers/lib_context.h"

namespace settings_test {

using namespace std::chrono_literals;
using qo::sdk::makePtr;
using qo::sdk::Result;
using qo::vms_server_plugins::analytics::lumo::settingsModel;
using qo::vms_server_plugins::analytics::lumo::settingsModelDefaults;

namespace {

// Swallows the agent's verbose settings dumps; keeps no state, so any thread may write at once.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char* /*s*/, std::streamsize n) override { return n; }
};

}  // namespace

void silenceAgentLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        static NullBuffer buffer;
        static std::ostream silent(&buffer);
        qo::kit::debug::stream() = &silent;
    });
}

namespace {

Values readValues(const qo::sdk::ISettingsResponse* response) {
    Values values;
    const Ptr<qo::sdk::IStringMap> map(response->getValues());
    if (!map)
        return values;
    for (int32_t i = 0; i < map->count(); ++i)
        values[map->key(i)] = map->value(i);
    return values;
}

}  // namespace

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
}

std::string sampleDocument(const std::string& name) {
    std::ifstream file(std::string(LUMO_SOURCE_DIR) + "/samples/onvif/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

const Values& modelDefaults() {
    static const Values defaults = settingsModelDefaults(settingsModel());
    return defaults;
}

const Values& modelUnderTest() {
    static const Values values = [] {
        if (!kThreadSanitizer)
            return modelDefaults();
        Values some;
        for (const auto& [name, value] : modelDefaults()) {
            const char last = name.back();
            if (last < '3' || last > '8')
                some.emplace(name, value);
        }
        return some;
    }();
    return values;
}

Values defaultsOf(const std::vector<std::string>& names) {
    Values values;
    for (const std::string& name : names)
        values[name] = modelDefaults().at(name);
    return values;
}

std::string figureJson(const std::vector<std::pair<double, double>>& points, bool showOnCamera,
                       const std::string& direction) {
    nlohmann::json figure = nlohmann::json::object();
    figure["points"] = nlohmann::json::array();
    for (const auto& [x, y] : points)
        figure["points"].push_back({x, y});
    if (!direction.empty())
        figure["direction"] = direction;
    return nlohmann::json{{"figure", figure}, {"label", ""}, {"showOnCamera", showOnCamera}}.dump();
}

void SettingsRoadTest::SetUp() {
    silenceAgentLog();
    // No thread of an earlier agent is left to read the options (TearDown waited for them).
    qo::sdk::unitTestOptions()["writeHoldOffMs"] = std::to_string(m_holdOffMs);

    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const size_t hash =
        std::hash<std::string>{}(std::string(info->test_suite_name()) + "." + info->name());
    for (size_t attempt = 0; attempt < 64 && !camera; ++attempt) {
        const size_t host = (hash + attempt) % 60000 + 1;
        lumo_camera::CameraOptions options;
        options.address = "127." + std::to_string(m_block) + "." + std::to_string(host / 250) +
                          "." + std::to_string(host % 250 + 1);
        options.port = 80;
        options.user = kCameraUser;
        options.password = kCameraPassword;
        auto candidate = std::make_unique<lumo_camera::Camera>(options);
        try {
            candidate->start();
            camera = std::move(candidate);
        } catch (const lumo_camera::ListenError& e) {
            if (e.error == EADDRINUSE)
                continue;
            if (e.error == EACCES || e.error == EPERM || e.error == EADDRNOTAVAIL) {
                GTEST_SKIP() << "the settings tests need a camera on a loopback address at port "
                             << "80, which is refused here: " << e.what();
            }
            FAIL() << e.what();
        }
    }
    ASSERT_TRUE(camera) << "no free loopback address in 127." << m_block << ".0.0/16";

    const auto deviceInfo = makePtr<FakeDeviceInfo>(
        "http://" + cameraAddress() + "/onvif/device_service", kCameraUser, kCameraPassword);
    m_agent = Ptr<DeviceAgent>(new ProbedAgent(deviceInfo.get(), [this] {
        if (onAgentDestroyed)
            onAgentDestroyed();
        ++destroyedAgents;
    }));
    m_handler = makePtr<DroppingHandler>();
    m_agent->setHandler(m_handler.get());
}

void SettingsRoadTest::TearDown() {
    if (m_agent) {
        releaseAgent();
        EXPECT_TRUE(waitUntilDestroyed()) << "the agent outlived its writes";
    }
    if (camera)
        camera->stop();
}

Answer SettingsRoadTest::settingsCall(
    const std::function<void(Result<const qo::sdk::ISettingsResponse*>*)>& call) {
    Result<const qo::sdk::ISettingsResponse*> result;
    call(&result);
    Answer answer;
    answer.code = result.error.errorCode;
    if (result.error.errorMessage)
        result.error.errorMessage->releaseRef();
    if (result.value) {
        answer.hasResponse = true;
        answer.values = readValues(result.value);
        result.value->releaseRef();
    }
    for (const auto& [name, value] : answer.values)
        dialog[name] = value;
    return answer;
}

Answer SettingsRoadTest::adopt(const Values& initial) {
    dialog = initial;
    return change({});
}

Answer SettingsRoadTest::change(const Values& changes) {
    for (const auto& [name, value] : changes)
        dialog[name] = value;
    const auto map = makePtr<qo::sdk::StringMap>(dialog);
    return settingsCall([&](auto* result) { server().doSetSettings(result, map.get()); });
}

Answer SettingsRoadTest::pluginSide() {
    return settingsCall([&](auto* result) { server().getPluginSideSettings(result); });
}

void SettingsRoadTest::turnActiveSetting(const std::string& name, const Values& values) {
    const auto action = makePtr<FakeActiveSettingAction>(name, makePtr<qo::sdk::StringMap>(values));
    Result<const qo::sdk::analytics::IActiveSettingChangedResponse*> result;
    server().doGetSettingsOnActiveSettingChange(&result, action.get());
    EXPECT_EQ(qo::sdk::ErrorCode::noError, result.error.errorCode);
    EXPECT_EQ(nullptr, result.value);
}

void SettingsRoadTest::pushVideo(int32_t width, int32_t height) {
    const auto packet = makePtr<FakeVideoPacket>(width, height);
    Result<void> result;
    server().doPushDataPacket(&result, packet.get());
    EXPECT_EQ(qo::sdk::ErrorCode::noError, result.error.errorCode);
}

void SettingsRoadTest::pushDocument(const std::string& document) {
    const auto packet = makePtr<FakeMetadataPacket>(document, m_documentTimestampUs += 40'000);
    Result<void> result;
    server().doPushDataPacket(&result, packet.get());
    EXPECT_EQ(qo::sdk::ErrorCode::noError, result.error.errorCode);
    EXPECT_TRUE(eventually([this] { return m_agent->isReady(); }))
        << "the document is still in work";
}

void SettingsRoadTest::settle() {
    ASSERT_TRUE(m_agent);
    EXPECT_TRUE(eventually([this] { return m_agent->refCountThreadUnsafe() == 1; }))
        << "the agent's write threads did not end";
}

std::vector<Served> SettingsRoadTest::served() const {
    std::vector<Served> result;
    for (const lumo_camera::LoggedRequest& request : camera->requests()) {
        if (!request.authorized || request.parameters.empty())
            continue;
        Served one;
        one.write = request.uri.rfind("/httpapi/WriteParam", 0) == 0;
        one.name = request.parameters.front().first;
        one.value = request.parameters.front().second;
        one.uri = request.uri;
        one.status = request.status;
        result.push_back(one);
    }
    return result;
}

std::vector<Served> SettingsRoadTest::writes() const {
    std::vector<Served> result;
    for (const Served& one : served()) {
        if (one.write)
            result.push_back(one);
    }
    return result;
}

std::vector<Served> SettingsRoadTest::reads() const {
    std::vector<Served> result;
    for (const Served& one : served()) {
        if (!one.write)
            result.push_back(one);
    }
    return result;
}

std::vector<std::string> SettingsRoadTest::writeTexts() const {
    std::vector<std::string> texts;
    for (const Served& one : writes())
        texts.push_back(one.text());
    return texts;
}

size_t SettingsRoadTest::readsOf(const std::string& parameter) const {
    size_t count = 0;
    for (const Served& one : reads())
        count += one.name == parameter ? 1 : 0;
    return count;
}

std::map<std::string, size_t> SettingsRoadTest::readCounts() const {
    std::map<std::string, size_t> counts;
    for (const Served& one : reads())
        ++counts[one.name];
    return counts;
}

void SettingsRoadTest::releaseAgent() {
    if (m_agent)
        m_agent->setHandler(nullptr);
    m_agent.reset();
    m_handler.reset();
}

bool SettingsRoadTest::waitUntilDestroyed(std::chrono::milliseconds timeout) {
    return eventually([this] { return destroyedAgents.load() > 0; }, timeout);
}

}  // namespace settings_test
