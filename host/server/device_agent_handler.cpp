#include "server/device_agent_handler.h"

namespace lumo::host {

using qo::sdk::Ptr;
using qo::sdk::analytics::IMetadataPacket;

void DeviceAgentHandler::handleMetadataPacket(IMetadataPacket* metadataPacket) {
    if (!metadataPacket)
        return;
    // The packet is borrowed for the call; keeping it needs a reference of our own.
    Ptr<IMetadataPacket> packet = qo::sdk::shareToPtr(metadataPacket);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastPacketTime = Clock::now();
        m_packets.push_back({std::move(packet), m_lastPacketTime});
        ++m_packetCount;
    }
    m_packetArrived.notify_all();
}

void DeviceAgentHandler::handleDiagnosticEvent(qo::sdk::IPluginDiagnosticEvent* event) {
    if (!event)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(DiagnosticEventRecord::from(*event));
}

void DeviceAgentHandler::handleManifest(const qo::sdk::IString* manifest) {
    if (!manifest)
        return;
    const char* text = manifest->str();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_manifests.emplace_back(text ? text : "");
}

std::vector<Ptr<IMetadataPacket>> DeviceAgentHandler::takePackets() {
    std::vector<Ptr<IMetadataPacket>> packets;
    for (Delivery& delivery : takeDeliveries())
        packets.push_back(std::move(delivery.packet));
    return packets;
}

std::vector<DeviceAgentHandler::Delivery> DeviceAgentHandler::takeDeliveries() {
    std::vector<Delivery> deliveries;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        deliveries.swap(m_packets);
    }
    return deliveries;  // Released outside the lock: a release may run the plugin's destructors.
}

size_t DeviceAgentHandler::packetCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packetCount;
}

size_t DeviceAgentHandler::waitUntilQuiet(size_t sinceCount, std::chrono::milliseconds quiet,
                                          std::chrono::milliseconds firstPacketTimeout) const {
    const Clock::time_point start = Clock::now();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        const bool anyArrived = m_packetCount > sinceCount;
        const Clock::time_point deadline =
            anyArrived ? m_lastPacketTime + quiet : start + firstPacketTimeout;
        if (Clock::now() >= deadline)
            return m_packetCount - sinceCount;
        m_packetArrived.wait_until(lock, deadline);
    }
}

std::vector<DiagnosticEventRecord> DeviceAgentHandler::diagnosticEvents() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::vector<std::string> DeviceAgentHandler::manifests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_manifests;
}

}  // namespace lumo::host
