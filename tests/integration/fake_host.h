// The server's side of a device agent, as small as the tests need: device information, custom
// metadata and video packets, and a handler that records what the agent delivers.
//
// Threading: the handler takes deliveries from the agent's workers while the test thread waits
// for them; everything else is filled before it is handed over and read-only afterwards.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "integration/delivered_packets.h"
#include "qo/sdk/analytics/i_compressed_video_packet.h"
#include "qo/sdk/analytics/i_custom_metadata_packet.h"
#include "qo/sdk/analytics/i_device_agent.h"
#include "qo/sdk/i_device_info.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"
#include "qo/sdk/uuid.h"

namespace lumo_test {

class FakeDeviceInfo : public qo::sdk::RefCountable<qo::sdk::IDeviceInfo> {
public:
    explicit FakeDeviceInfo(std::string url = "http://camera.invalid/onvif/device_service",
                            std::string login = "admin", std::string password = "secret")
        : m_url(std::move(url)), m_login(std::move(login)), m_password(std::move(password)) {}

    const char* id() const override { return "camera-1"; }
    const char* vendor() const override { return "Lumovane"; }
    const char* model() const override { return "LUMO AI"; }
    const char* firmware() const override { return "1.0"; }
    const char* name() const override { return "Entrance"; }
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

/** One metadata document as the server hands it over: its own copy, not NUL-terminated. */
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

class FakeVideoPacket : public qo::sdk::RefCountable<qo::sdk::analytics::ICompressedVideoPacket> {
public:
    FakeVideoPacket(int32_t width, int32_t height, int64_t timestampUs = 1)
        : m_width(width), m_height(height), m_timestampUs(timestampUs) {}

    int64_t timestampUs() const override { return m_timestampUs; }
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
    const int64_t m_timestampUs;
    const char m_bytes[4] = {0, 0, 0, 1};
};

/**
 * Records every delivered packet. Deliveries may be held at a gate, so a test can keep a
 * document in work as long as it likes; a hook may run inside each delivery.
 */
class RecordingHandler : public qo::sdk::RefCountable<qo::sdk::analytics::IDeviceAgent::IHandler> {
public:
    using Packet = DeliveredPacket;

    void handleMetadataPacket(qo::sdk::analytics::IMetadataPacket* packet) override {
        // The agent promises one delivery at a time.
        if (m_inDelivery.exchange(true))
            m_overlaps.fetch_add(1);
        std::function<void()> hook;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            ++m_entered;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_gateOpen; });
            hook = m_hook;
        }
        m_inDelivery = false;
        if (hook)
            hook();  // May throw, like a faulty server.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_packets.push_back(qo::sdk::shareToPtr(packet));
        }
        m_changed.notify_all();
    }

    void handleDiagnosticEvent(qo::sdk::IPluginDiagnosticEvent* /*event*/) override {}
    void handleManifest(const qo::sdk::IString* /*manifest*/) override {}

    /** While closed, deliveries wait inside the handler. */
    void setGateOpen(bool open) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_gateOpen = open;
        }
        m_changed.notify_all();
    }

    /** Runs inside every later delivery, before the packet is recorded. */
    void setHook(std::function<void()> hook) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hook = std::move(hook);
    }

    bool waitForPackets(size_t count,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_packets.size() >= count; });
    }

    /** Waits until `count` deliveries have begun, whether or not they are held at the gate. */
    bool waitForDeliveriesEntered(size_t count,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_entered >= count; });
    }

    std::vector<Packet> packets() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_packets;
    }

    std::vector<Packet> takePackets() {
        std::vector<Packet> taken;
        std::lock_guard<std::mutex> lock(m_mutex);
        taken.swap(m_packets);
        return taken;
    }

    size_t packetCount() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_packets.size();
    }

    int overlaps() const { return m_overlaps.load(); }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Packet> m_packets;  // Guarded by m_mutex.
    size_t m_entered = 0;           // Guarded by m_mutex.
    bool m_gateOpen = true;         // Guarded by m_mutex.
    std::function<void()> m_hook;   // Guarded by m_mutex.
    std::atomic<bool> m_inDelivery{false};
    std::atomic<int> m_overlaps{0};
};

}  // namespace lumo_test
