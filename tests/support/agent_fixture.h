// The server as the integration tests play it; a test fails that leaves a live object behind.
// The handler and registry are called from the agent's workers too.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "lumo/device_agent.h"
#include "onvif_document_writer.h"
#include "qo/kit/debug.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/string_map.h"
#include "support/delivered_packets.h"
#include "support/fake_device_info.h"
#include "support/fake_video_packet.h"

namespace lumo_test {

using namespace std::chrono_literals;
using qo::sdk::ErrorCode;
using qo::sdk::makePtr;
using qo::vms_server_plugins::analytics::lumo::DeviceAgent;
namespace analytics = qo::sdk::analytics;
using namespace lumo_camera::onvif;

class LiveObjects : public qo::sdk::IRefCountableRegistry {
public:
    static LiveObjects& instance() {
        static LiveObjects* const registry = [] {
            static struct : std::streambuf {  // Keeps no state: any thread may write at once.
                std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
                int overflow(int c) override { return traits_type::not_eof(c); }
            } nullBuffer;
            static std::ostream silent(&nullBuffer);
            qo::kit::debug::stream() = &silent;
            // Settings writes hold a window open on a thread of their own; keep it short.
            qo::sdk::setUnitTestOption("writeHoldOffMs", "20");
            auto* created = new LiveObjects();
            qo::sdk::libContext().setRefCountableRegistry(created);  // The context owns it.
            return created;
        }();
        return *registry;
    }
    void objectCreated(const qo::sdk::IRefCountable* o, int32_t) override { update(o, true); }
    void objectDestroyed(const qo::sdk::IRefCountable* o, int32_t) override { update(o, false); }
    size_t count() { return update(nullptr, false); }

private:
    size_t update(const void* object, bool created) {
        std::lock_guard<std::mutex> lock(m_mutex);
        created ? (void)m_live.insert(object) : (void)m_live.erase(object);
        return m_live.size();
    }
    std::mutex m_mutex;
    std::unordered_set<const void*> m_live;
};

inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !condition(); std::this_thread::sleep_for(1ms)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    }
    return true;
}

// The server's own copy, not NUL-terminated.
struct FakeMetadataPacket : qo::sdk::RefCountable<analytics::ICustomMetadataPacket> {
    FakeMetadataPacket(const std::string& document, int64_t t)
        : bytes(document.begin(), document.end()), time(t) {}
    int64_t timestampUs() const override { return time; }
    const char* codec() const override { return "application/vnd.onvif.metadata"; }
    const char* data() const override { return bytes.empty() ? nullptr : bytes.data(); }
    int32_t dataSize() const override { return static_cast<int32_t>(bytes.size()); }
    const std::vector<char> bytes;
    const int64_t time;
};

class RecordingHandler : public qo::sdk::RefCountable<analytics::IDeviceAgent::IHandler> {
public:
    void handleMetadataPacket(analytics::IMetadataPacket* packet) override {
        if (m_inDelivery.exchange(true))  // The agent promises one delivery at a time.
            ++overlaps;
        ++entered;
        std::lock_guard<std::mutex>{hold};  // Tests hold deliveries with it.
        m_inDelivery = false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_packets.push_back(qo::sdk::shareToPtr(packet));
    }
    void handleDiagnosticEvent(qo::sdk::IPluginDiagnosticEvent* event) override {
        const bool warning = event->level() == qo::sdk::IPluginDiagnosticEvent::Level::warning;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::string(warning ? "warning" : "other") + ": " + event->caption() +
                           ": " + event->description());
    }
    void handleManifest(const qo::sdk::IString*) override {}
    std::vector<DeliveredPacket> takePackets() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_packets, {});
    }
    /** "LEVEL: CAPTION: DESCRIPTION" of each diagnostic event since the last call. */
    std::vector<std::string> takeEvents() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_events, {});
    }
    std::mutex hold;
    std::atomic<int> entered{0};
    std::atomic<int> overlaps{0};
    std::mutex m_mutex;
    std::vector<DeliveredPacket> m_packets;  // Guarded by m_mutex.
    std::vector<std::string> m_events;       // Guarded by m_mutex.
    std::atomic<bool> m_inDelivery{false};
};

inline constexpr int64_t kT0 = 1'000'000;
// The camera's transformation for a coordinate frame of 1024 x 512 units.
inline const std::string kScale = transformation(0.001953125, -0.00390625);

inline std::string person(int id, const std::string& parts = "") {
    return object(id, classType("Person") + parts);
}

class AgentTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_liveBefore = LiveObjects::instance().count();
        m_handler = makePtr<RecordingHandler>();
        m_agent = makePtr<DeviceAgent>(makePtr<FakeDeviceInfo>().get());
        m_agent->setHandler(m_handler.get());
    }
    void TearDown() override {
        m_agent.reset();
        m_handler.reset();
        EXPECT_TRUE(eventually([this] { return LiveObjects::instance().count() <= m_liveBefore; }))
            << LiveObjects::instance().count() - m_liveBefore << " objects left alive";
    }

    ErrorCode push(const std::string& document, int64_t timestampUs = kT0) {
        return pushPacket(makePtr<FakeMetadataPacket>(document, timestampUs).get());
    }
    ErrorCode pushPacket(analytics::IDataPacket* packet) {
        qo::sdk::Result<void> result;
        m_agent->doPushDataPacket(&result, packet);
        return release(result.error);
    }
    bool waitUntilReady() {
        return eventually([this] { return m_agent->isReady(); });
    }
    std::string feed(const std::string& document, int64_t timestampUs = kT0) {
        EXPECT_EQ(ErrorCode::noError, push(document, timestampUs));
        EXPECT_TRUE(waitUntilReady()) << "the document is still in work";
        EXPECT_EQ(0, m_handler->overlaps.load()) << "deliveries overlapped";
        return m_text(m_handler->takePackets());
    }

    static ErrorCode release(const qo::sdk::Error& error) {
        if (error.errorMessage)
            error.errorMessage->releaseRef();
        return error.errorCode;
    }

    Ptr<DeviceAgent> m_agent;
    PacketText m_text;
    size_t m_liveBefore = 0;
    Ptr<RecordingHandler> m_handler;
};

}  // namespace lumo_test
