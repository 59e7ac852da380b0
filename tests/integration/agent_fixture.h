// The server as the integration tests play it: a device agent bound to a recording handler, the
// packets the server hands over, a registry of live objects (a test fails that leaves one alive)
// and a silent log. The handler, gate and registry are called from the agent's workers too.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "integration/delivered_packets.h"
#include "integration/onvif_document.h"
#include "lumo/device_agent.h"
#include "qo/kit/debug.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/string_map.h"

namespace lumo_test {

using namespace std::chrono_literals;
using qo::sdk::ErrorCode;
using qo::sdk::makePtr;
using qo::vms_server_plugins::analytics::lumo::DeviceAgent;
namespace analytics = qo::sdk::analytics;

/** Live reference-counted objects of this process, as the library context reports them. */
class LiveObjects : public qo::sdk::IRefCountableRegistry {
public:
    /** Installed on first use, silencing the library's log. */
    static LiveObjects& instance() {
        static LiveObjects* const registry = [] {
            static struct : std::streambuf {  // Keeps no state: any thread may write at once.
                std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
                int overflow(int c) override { return traits_type::not_eof(c); }
            } nullBuffer;
            static std::ostream silent(&nullBuffer);
            qo::kit::debug::stream() = &silent;
            // Settings writes hold a window open on a thread of their own; keep it short.
            qo::sdk::unitTestOptions()["writeHoldOffMs"] = "20";
            auto* created = new LiveObjects();
            qo::sdk::libContext().setRefCountableRegistry(created);  // The context owns it.
            return created;
        }();
        return *registry;
    }
    void objectCreated(const qo::sdk::IRefCountable* object, int32_t) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_live.insert(object);
    }
    void objectDestroyed(const qo::sdk::IRefCountable* object, int32_t) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_live.erase(object);
    }
    size_t count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_live.size();
    }

private:
    std::mutex m_mutex;
    std::unordered_set<const void*> m_live;
};

/** Polls `condition` until it holds or the time is up. */
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = 10s) {
    for (const auto deadline = std::chrono::steady_clock::now() + timeout; !condition();
         std::this_thread::sleep_for(1ms)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    }
    return true;
}

class FakeDeviceInfo : public qo::sdk::RefCountable<qo::sdk::IDeviceInfo> {
public:
    const char* id() const override { return "camera-1"; }
    const char* vendor() const override { return "Lumovane"; }
    const char* model() const override { return "LUMO AI"; }
    const char* firmware() const override { return "1.0"; }
    const char* name() const override { return "Entrance"; }
    const char* url() const override { return "http://camera.invalid/"; }
    const char* login() const override { return "admin"; }
    const char* password() const override { return "secret"; }
    const char* sharedId() const override { return ""; }
    const char* logicalId() const override { return ""; }
    int32_t channelNumber() const override { return 0; }
};

/** One metadata document as the server hands it over: its own copy, not NUL-terminated. */
class FakeMetadataPacket : public qo::sdk::RefCountable<analytics::ICustomMetadataPacket> {
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

class FakeVideoPacket : public qo::sdk::RefCountable<analytics::ICompressedVideoPacket> {
public:
    FakeVideoPacket(int32_t width, int32_t height) : m_width(width), m_height(height) {}
    int64_t timestampUs() const override { return 1; }
    const char* codec() const override { return "h264"; }
    const char* data() const override { return "\0\0\0\1"; }
    int32_t dataSize() const override { return 4; }
    const IRefCountable* context() const override { return nullptr; }
    int32_t flags() const override { return 0; }
    int32_t width() const override { return m_width; }
    int32_t height() const override { return m_height; }

private:
    const int32_t m_width, m_height;
};

/** While closed, threads calling pass() wait in it; counts the threads that reached it. */
class Gate {
public:
    void pass() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_entered;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void setOpen(bool open) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = open;
        m_changed.notify_all();
    }
    bool waitForEntered(size_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return m_entered >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_entered = 0;
    bool m_open = true;
};

/** Records every delivered packet; each delivery passes `gate` first. */
class RecordingHandler : public qo::sdk::RefCountable<analytics::IDeviceAgent::IHandler> {
public:
    void handleMetadataPacket(analytics::IMetadataPacket* packet) override {
        if (m_inDelivery.exchange(true))  // The agent promises one delivery at a time.
            ++overlaps;
        gate.pass();
        m_inDelivery = false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_packets.push_back(qo::sdk::shareToPtr(packet));
    }
    void handleDiagnosticEvent(qo::sdk::IPluginDiagnosticEvent*) override {}
    void handleManifest(const qo::sdk::IString*) override {}
    std::vector<DeliveredPacket> takePackets() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_packets, {});
    }

    Gate gate;
    std::atomic<int> overlaps{0};

private:
    std::mutex m_mutex;
    std::vector<DeliveredPacket> m_packets;
    std::atomic<bool> m_inDelivery{false};
};

inline constexpr int64_t kT0 = 1'000'000;

class AgentTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_liveBefore = LiveObjects::instance().count();
        m_handler = makePtr<RecordingHandler>();
        m_agent = makeAgent(makePtr<FakeDeviceInfo>().get());
        m_agent->setHandler(m_handler.get());
    }
    void TearDown() override {
        m_handler->gate.setOpen(true);
        m_agent.reset();
        m_handler.reset();
        EXPECT_TRUE(eventually([this] { return LiveObjects::instance().count() <= m_liveBefore; }))
            << LiveObjects::instance().count() - m_liveBefore << " objects left alive";
    }
    virtual Ptr<DeviceAgent> makeAgent(const qo::sdk::IDeviceInfo* deviceInfo) {
        return makePtr<DeviceAgent>(deviceInfo);
    }

    DeviceAgent& agent() { return *m_agent; }
    RecordingHandler& handler() { return *m_handler; }

    ErrorCode push(const std::string& document, int64_t timestampUs = kT0) {
        return pushPacket(makePtr<FakeMetadataPacket>(document, timestampUs).get());
    }
    ErrorCode pushPacket(analytics::IDataPacket* packet) {
        qo::sdk::Result<void> result;
        m_agent->doPushDataPacket(&result, packet);
        return release(result.error);
    }
    ErrorCode setSettings(const std::map<std::string, std::string>& values) {
        qo::sdk::Result<const qo::sdk::ISettingsResponse*> result;
        m_agent->doSetSettings(&result, makePtr<qo::sdk::StringMap>(values).get());
        if (result.value)
            result.value->releaseRef();
        return release(result.error);
    }
    bool waitUntilReady() {
        return eventually([this] { return m_agent->isReady(); });
    }
    std::string delivered() { return m_text(m_handler->takePackets()); }
    /** Pushes one document, waits until the agent is done with it and returns what it sent. */
    std::string feed(const std::string& document, int64_t timestampUs = kT0) {
        EXPECT_EQ(ErrorCode::noError, push(document, timestampUs));
        EXPECT_TRUE(waitUntilReady()) << "the document is still in work";
        EXPECT_EQ(0, m_handler->overlaps.load()) << "deliveries overlapped";
        return delivered();
    }

    Ptr<DeviceAgent> m_agent;
    PacketText m_text;

private:
    static ErrorCode release(const qo::sdk::Error& error) {
        if (error.errorMessage)
            error.errorMessage->releaseRef();
        return error.errorCode;
    }

    size_t m_liveBefore = 0;
    Ptr<RecordingHandler> m_handler;
};

}  // namespace lumo_test
