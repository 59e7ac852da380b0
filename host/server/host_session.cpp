#include "server/host_session.h"

#include <stdexcept>

namespace lumo::host {

HostSession::HostSession(std::ostream& err) : m_err(err) {}

HostSession::~HostSession() {
    if (m_server)
        m_server->shutdown();
}

bool HostSession::load(const std::string& pluginPath) {
    std::string error;
    m_library =
        PluginLibrary::load(pluginPath.empty() ? PluginLibrary::defaultPath() : pluginPath, &error);
    if (!m_library)
        m_err << "lumo-host: " << error << std::endl;
    return m_library != nullptr;
}

bool HostSession::start(MediaServerOptions options) {
    if (!m_library)
        throw std::logic_error("HostSession::start() before load()");
    m_cameras.clear();
    m_shutdown = {};
    m_server = std::make_unique<MediaServer>(m_library->entryPoints(), std::move(options));
    std::string error;
    if (m_server->start(&error))
        return true;
    m_err << "lumo-host: " << error << std::endl;
    m_server.reset();
    return false;
}

bool HostSession::bind(const DeviceDescription& device, CameraId* outCamera) {
    std::string error;
    if (!m_server->addCamera(device, outCamera, &error)) {
        m_err << "lumo-host: " << error << std::endl;
        return false;
    }
    m_cameras[*outCamera] = std::make_unique<Camera>();
    return true;
}

void HostSession::unbind(CameraId camera) {
    m_server->removeCamera(camera);
    m_cameras.erase(camera);
}

HostSession::Camera& HostSession::camera(CameraId id) const {
    const auto it = m_cameras.find(id);
    if (it == m_cameras.end())
        throw std::out_of_range("no bound camera " + std::to_string(id));
    return *it->second;
}

size_t HostSession::pushDocument(CameraId id, std::string bytes, int64_t timestampUs) {
    Camera& cam = camera(id);
    // Recorded before the call: the agent may deliver before the call returns.
    const size_t index = cam.documents.pushed(timestampUs, DocumentTally::Clock::now());
    std::string error;
    if (m_server->pushMetadata(id, std::move(bytes), timestampUs, &error))
        return index;
    std::lock_guard<std::mutex> lock(m_errMutex);
    m_err << "lumo-host: the agent refused a document: " << error << std::endl;
    return DocumentTally::kNone;
}

bool HostSession::pushVideoFrame(CameraId id, const VideoFrame& frame) {
    std::string error;
    if (m_server->pushVideoFrame(id, frame.width, frame.height, frame.timestampUs, &error,
                                 frame.codec))
        return true;
    std::lock_guard<std::mutex> lock(m_errMutex);
    m_err << "lumo-host: the agent refused a video frame: " << error << std::endl;
    return false;
}

std::vector<SessionPacket> HostSession::take(CameraId id) {
    Camera& cam = camera(id);
    std::vector<SessionPacket> packets;
    for (auto& delivery : m_server->agentHandler(id).takeDeliveries()) {
        SessionPacket packet;
        packet.kind = packetKind(delivery.packet.get());
        packet.arrivedAt = delivery.arrivedAt;
        packet.document = cam.documents.attribute(packet.kind, delivery.packet->timestampUs(),
                                                  delivery.arrivedAt);
        packet.packet = std::move(delivery.packet);
        ++m_packets[packet.kind];
        if (packet.document != DocumentTally::kNone) {
            const auto pushedAt = cam.documents.document(packet.document).pushedAt;
            m_latency.add(
                std::chrono::duration<double, std::milli>(packet.arrivedAt - pushedAt).count());
        }
        packets.push_back(std::move(packet));
    }
    return packets;
}

size_t HostSession::waitUntilQuiet(CameraId camera, size_t sinceCount,
                                   std::chrono::milliseconds quiet,
                                   std::chrono::milliseconds firstPacketTimeout) {
    return m_server->agentHandler(camera).waitUntilQuiet(sinceCount, quiet, firstPacketTimeout);
}

size_t HostSession::packetCount(CameraId camera) const {
    return m_server->agentHandler(camera).packetCount();
}

const DocumentTally& HostSession::documents(CameraId id) const {
    return camera(id).documents;
}

void HostSession::reserveDocuments(CameraId id, size_t documents) {
    camera(id).documents.reserve(documents);
}

RunSummary HostSession::summary(bool tellBusy) const {
    RunSummary summary;
    summary.droppedWhileBusy = tellBusy ? 0 : -1;
    for (const auto& [id, cam] : m_cameras) {
        for (const DocumentTally::Fate fate : cam->documents.fates()) {
            ++summary.pushed;
            if (fate == DocumentTally::Fate::processed) {
                ++summary.processed;
                continue;
            }
            ++summary.dropped;
            if (tellBusy && fate == DocumentTally::Fate::droppedWhileBusy)
                ++summary.droppedWhileBusy;
        }
    }
    summary.packets = m_packets;
    summary.latency = m_latency;
    summary.liveObjects = m_shutdown.describeLiveObjects();
    return summary;
}

ShutdownReport HostSession::shutdown(std::chrono::milliseconds settleTime) {
    if (m_server) {
        m_shutdown = m_server->shutdown(settleTime);
        m_server.reset();
    }
    return m_shutdown;
}

bool HostSession::checkLeaks() const {
    if (m_shutdown.liveCount == 0)
        return true;
    m_err << "lumo-host: the plugin did not release " << m_shutdown.describeLiveObjects()
          << std::endl;
    return false;
}

}  // namespace lumo::host
