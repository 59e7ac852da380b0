// DeviceAgentHandler: the server's receiver of what one device agent produces: metadata packets,
// diagnostic events and manifests. Packets are kept (with a reference of the handler's own) until
// the server takes them.
//
// The agent delivers from its worker threads and does not say when a document is done, so the
// server waits for deliveries to stop (waitUntilQuiet) before it sends the next document.
//
// Threading: every member function is safe to call concurrently; all state is guarded by m_mutex.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "qo/sdk/analytics/i_device_agent.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"
#include "server/diagnostic_event_record.h"

namespace lumo::host {

class DeviceAgentHandler
    : public qo::sdk::RefCountable<qo::sdk::analytics::IDeviceAgent::IHandler> {
public:
    void handleMetadataPacket(qo::sdk::analytics::IMetadataPacket* metadataPacket) override;
    void handleDiagnosticEvent(qo::sdk::IPluginDiagnosticEvent* event) override;
    void handleManifest(const qo::sdk::IString* manifest) override;

    struct Delivery {
        qo::sdk::Ptr<qo::sdk::analytics::IMetadataPacket> packet;
        std::chrono::steady_clock::time_point arrivedAt;
    };

    /** The packets received since the last call, in order of arrival. */
    std::vector<qo::sdk::Ptr<qo::sdk::analytics::IMetadataPacket>> takePackets();
    /** The same with the moment each one arrived. */
    std::vector<Delivery> takeDeliveries();

    /** Packets received since this handler was made, taken or not. */
    size_t packetCount() const;

    /**
     * Waits for deliveries to stop: returns once `quiet` has passed after the last packet beyond
     * the first `sinceCount`, or, if none such arrives, once `firstPacketTimeout` has passed.
     * @return The number of packets beyond `sinceCount`.
     */
    size_t waitUntilQuiet(size_t sinceCount, std::chrono::milliseconds quiet,
                          std::chrono::milliseconds firstPacketTimeout) const;

    std::vector<DiagnosticEventRecord> diagnosticEvents() const;
    std::vector<std::string> manifests() const;

private:
    using Clock = std::chrono::steady_clock;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_packetArrived;
    std::vector<Delivery> m_packets;              // Guarded by m_mutex.
    size_t m_packetCount = 0;                     // Guarded by m_mutex.
    Clock::time_point m_lastPacketTime;           // Guarded by m_mutex.
    std::vector<DiagnosticEventRecord> m_events;  // Guarded by m_mutex.
    std::vector<std::string> m_manifests;         // Guarded by m_mutex.
};

}  // namespace lumo::host
