// The settings road as the server drives it: a device agent bound to a substitute camera on a
// loopback address at port 80, a dialog that keeps the values the server would show, and views
// of what the camera received.
//
// Every fixture names its own block of loopback addresses (127.BLOCK.x.y); inside it each test
// takes an address derived from its name, so tests may run side by side in separate processes.
// Where port 80 cannot be bound the test is skipped with the reason.
//
// Threading: the fixture is driven from the test's thread; the camera serves on its own threads
// and the agent writes on detached threads of its own. settle() waits until those have ended.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera.h"
#include "lumo/device_agent.h"
#include "qo/sdk/analytics/i_active_setting_changed_action.h"
#include "qo/sdk/analytics/i_compressed_video_packet.h"
#include "qo/sdk/analytics/i_custom_metadata_packet.h"
#include "qo/sdk/analytics/i_device_agent.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/i_device_info.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace settings_test {

using qo::sdk::Ptr;
using qo::vms_server_plugins::analytics::lumo::DeviceAgent;
using Values = std::map<std::string, std::string>;

inline constexpr char kCameraUser[] = "operator";
inline constexpr char kCameraPassword[] = "Lumo pass/7";

class FakeDeviceInfo : public qo::sdk::RefCountable<qo::sdk::IDeviceInfo> {
public:
    FakeDeviceInfo(std::string url, std::string login, std::string password)
        : m_url(std::move(url)), m_login(std::move(login)), m_password(std::move(password)) {}

    const char* id() const override { return "camera-settings"; }
    const char* vendor() const override { return "Lumovane"; }
    const char* model() const override { return "LUMO AI"; }
    const char* firmware() const override { return "2.1"; }
    const char* name() const override { return "Gate"; }
    const char* url() const override { return m_url.c_str(); }
    const char* login() const override { return m_login.c_str(); }
    const char* password() const override { return m_password.c_str(); }
    const char* sharedId() const override { return ""; }
    const char* logicalId() const override { return ""; }
    int32_t channelNumber() const override { return 0; }

private:
    const std::string m_url;
    const std::string m_login;
    const std::string m_password;
};

class FakeVideoPacket : public qo::sdk::RefCountable<qo::sdk::analytics::ICompressedVideoPacket> {
public:
    FakeVideoPacket(int32_t width, int32_t height) : m_width(width), m_height(height) {}

    int64_t timestampUs() const override { return 1; }
    const char* codec() const override { return "h264"; }
    const char* data() const override { return m_bytes; }
    int32_t dataSize() const override { return static_cast<int32_t>(sizeof(m_bytes)); }
    const IRefCountable* context() const override { return nullptr; }
    int32_t flags() const override { return 0; }
    int32_t width() const override { return m_width; }
    int32_t height() const override { return m_height; }

private:
    const int32_t m_width;
    const int32_t m_height;
    const char m_bytes[4] = {0, 0, 0, 1};
};

class FakeMetadataPacket : public qo::sdk::RefCountable<qo::sdk::analytics::ICustomMetadataPacket> {
public:
    FakeMetadataPacket(const std::string& document, int64_t timestampUs)
        : m_data(document.begin(), document.end()), m_timestampUs(timestampUs) {}

    int64_t timestampUs() const override { return m_timestampUs; }
    const char* codec() const override { return "application/vnd.onvif.metadata"; }
    const char* data() const override { return m_data.empty() ? nullptr : m_data.data(); }
    int32_t dataSize() const override { return static_cast<int32_t>(m_data.size()); }

private:
    const std::vector<char> m_data;
    const int64_t m_timestampUs;
};

/** Takes the agent's packets and drops them. */
class DroppingHandler : public qo::sdk::RefCountable<qo::sdk::analytics::IDeviceAgent::IHandler> {
public:
    void handleMetadataPacket(qo::sdk::analytics::IMetadataPacket* /*packet*/) override {}
    void handleDiagnosticEvent(qo::sdk::IPluginDiagnosticEvent* /*event*/) override {}
    void handleManifest(const qo::sdk::IString* /*manifest*/) override {}
};

/** The server's report of a turned active setting, with the dialog's values at that moment. */
class FakeActiveSettingAction
    : public qo::sdk::RefCountable<qo::sdk::analytics::IActiveSettingChangedAction> {
public:
    FakeActiveSettingAction(std::string name, Ptr<qo::sdk::IStringMap> values)
        : m_name(std::move(name)), m_values(std::move(values)) {}

    const char* activeSettingName() const override { return m_name.c_str(); }
    const char* settingsModel() const override { return "{}"; }
    const qo::sdk::IStringMap* settingsValues() const override {
        if (m_values)
            m_values->addRef();
        return m_values.get();
    }
    const qo::sdk::IStringMap* params() const override { return nullptr; }

private:
    const std::string m_name;
    const Ptr<qo::sdk::IStringMap> m_values;
};

/** A device agent that tells when it is destroyed. */
class ProbedAgent : public DeviceAgent {
public:
    ProbedAgent(const qo::sdk::IDeviceInfo* info, std::function<void()> onDestroyed)
        : DeviceAgent(info), m_onDestroyed(std::move(onDestroyed)) {}
    ~ProbedAgent() override {
        if (m_onDestroyed)
            m_onDestroyed();
    }

private:
    const std::function<void()> m_onDestroyed;
};

/** What an operation that answers with settings gave the server. */
struct Answer {
    qo::sdk::ErrorCode code = qo::sdk::ErrorCode::noError;
    bool hasResponse = false;
    Values values;
};

/** One request the camera served after a valid login, as the camera decoded it. */
struct Served {
    bool write = false;
    std::string name;
    std::string value;
    std::string uri;
    unsigned status = 0;

    /** "NAME=VALUE". */
    std::string text() const { return name + "=" + value; }
};

// Under TSan everything runs many times slower: a readback of hundreds of settings in parallel
// would outrun the request time-out, so the heaviest loads are scaled down there.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif
#else
inline constexpr bool kThreadSanitizer = false;
#endif

/** Sends the agents' verbose settings dumps nowhere. */
void silenceAgentLog();

/** Polls with short sleeps until `condition` holds or the time is up. */
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

/** One of the camera's sample metadata documents. */
std::string sampleDocument(const std::string& name);

/** The settings model's values for a fresh camera, as the server stores them. */
const Values& modelDefaults();

/**
 * The model's defaults for a readback of the whole dialog: every setting, or under TSan those
 * outside the repeaters and of the first two copies of each.
 */
const Values& modelUnderTest();

/** The model's defaults of just these settings. */
Values defaultsOf(const std::vector<std::string>& names);

/** A figure value as the dialog draws it: points as fractions, and for lines a direction. */
std::string figureJson(const std::vector<std::pair<double, double>>& points, bool showOnCamera,
                       const std::string& direction = "");

class SettingsRoadTest : public ::testing::Test {
protected:
    explicit SettingsRoadTest(int block, int holdOffMs = 50)
        : m_block(block), m_holdOffMs(holdOffMs) {}

    void SetUp() override;
    void TearDown() override;

    /** The agent as its own class, for the members the server cannot see. */
    DeviceAgent& agent() { return *m_agent; }
    /** The agent as the server sees it. */
    qo::sdk::analytics::IConsumingDeviceAgent& server() { return *m_agent; }

    /** The first settings of a newly bound camera: the dialog starts from these values. */
    Answer adopt(const Values& initial);
    /** The user changes values: the whole dialog goes to the agent; its answer shows in it. */
    Answer change(const Values& changes);
    /** The dialog opens: the agent's values replace what it shows. */
    Answer pluginSide();
    /** The user turns an active setting; the values are the dialog's at that moment. */
    void turnActiveSetting(const std::string& name, const Values& values);

    void pushVideo(int32_t width, int32_t height);
    /** Pushes a metadata document and waits until the agent is done with it. */
    void pushDocument(const std::string& document);

    /** Waits until no thread that the agent started for writes or hold-off windows runs. */
    void settle();

    /** Requests the camera served after a valid login, in order of arrival. */
    std::vector<Served> served() const;
    std::vector<Served> writes() const;
    std::vector<Served> reads() const;
    /** "NAME=VALUE" of every write, in order of arrival. */
    std::vector<std::string> writeTexts() const;
    /** Number of reads of the camera parameter. */
    size_t readsOf(const std::string& parameter) const;
    /** Number of reads of every camera parameter read. */
    std::map<std::string, size_t> readCounts() const;

    /** Releases the server's reference; the agent goes once its own threads let go. */
    void releaseAgent();
    /** Whether the agent has been destroyed, waiting a while for it. */
    bool waitUntilDestroyed(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    std::string cameraAddress() const { return camera->options().address; }

    std::unique_ptr<lumo_camera::Camera> camera;
    /** The dialog: what the server shows and sends. */
    Values dialog;
    std::atomic<int> destroyedAgents{0};
    /** Runs inside the agent's destructor, before anything of it is gone. */
    std::function<void()> onAgentDestroyed;

private:
    Answer settingsCall(
        const std::function<void(qo::sdk::Result<const qo::sdk::ISettingsResponse*>*)>& call);

    const int m_block;
    const int m_holdOffMs;
    Ptr<DroppingHandler> m_handler;
    Ptr<DeviceAgent> m_agent;
    int64_t m_documentTimestampUs = 1'700'000'000'000'000;
};

}  // namespace settings_test
