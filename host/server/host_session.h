// HostSession: one run of the plugin as a server runs it, the road every lumo-host command takes:
// load the library, start the server, bind cameras, push documents and video frames, take the
// packets the agents deliver (each attributed to its document), shut down, check that no plugin
// object outlived the shutdown.
//
// Failures are said on the error stream given at construction, one "lumo-host: " line each, and
// the calls return false. A session can start again after shutdown(), on the same library.
//
// Threading: load(), start(), bind(), unbind() and shutdown() from one control thread, while no
// other call runs. Once cameras are bound, pushDocument() and pushVideoFrame() may run on other
// threads, one per camera at a time, and take() on one taking thread; summary() after the
// pushing threads are joined.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "report/latency_histogram.h"
#include "report/packet_record.h"
#include "report/run_summary.h"
#include "server/document_tally.h"
#include "server/media_server.h"
#include "server/plugin_library.h"

namespace lumo::host {

/** An encoded frame's description; the host carries no picture. */
struct VideoFrame {
    std::string codec = "H264";
    int32_t width = 0;
    int32_t height = 0;
    int64_t timestampUs = 0;
};

/** A packet an agent delivered, with the document it belongs to. */
struct SessionPacket {
    qo::sdk::Ptr<qo::sdk::analytics::IMetadataPacket> packet;
    PacketKind kind = PacketKind::unknown;
    std::chrono::steady_clock::time_point arrivedAt;
    /** DocumentTally::kNone when no document claims it. */
    size_t document = DocumentTally::kNone;
};

class HostSession {
public:
    using CameraId = MediaServer::CameraId;

    explicit HostSession(std::ostream& err);
    /** Shuts down what is still running, without the leak check. */
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    bool load(const std::string& pluginPath);
    /** The server's start-up on the loaded library. */
    bool start(MediaServerOptions options = {});
    /** Binds a camera with the dialog's defaults. */
    bool bind(const DeviceDescription& device, CameraId* outCamera);
    /** Releases a camera and forgets its documents. */
    void unbind(CameraId camera);

    /** @return The document's index for the camera, or DocumentTally::kNone if refused. */
    size_t pushDocument(CameraId camera, std::string bytes, int64_t timestampUs);
    bool pushVideoFrame(CameraId camera, const VideoFrame& frame);

    /** The packets delivered since the last take, in order of arrival, counted and attributed. */
    std::vector<SessionPacket> take(CameraId camera);
    /** Waits for the camera's deliveries to stop (see DeviceAgentHandler::waitUntilQuiet). */
    size_t waitUntilQuiet(CameraId camera, size_t sinceCount, std::chrono::milliseconds quiet,
                          std::chrono::milliseconds firstPacketTimeout);
    /** Packets the camera's agent delivered so far, taken or not. */
    size_t packetCount(CameraId camera) const;
    const DocumentTally& documents(CameraId camera) const;
    /** Room for this many documents per camera; call before the pushing starts. */
    void reserveDocuments(CameraId camera, size_t documents);

    /**
     * Documents of every bound camera (pushed, processed, dropped; with `tellBusy` those dropped
     * while the agent was busy), packets taken by kind, push-to-delivery latency and, after
     * shutdown(), the plugin objects still alive.
     */
    RunSummary summary(bool tellBusy) const;

    /** Releases everything; waits up to `settleTime` for the plugin's own threads to let go. */
    ShutdownReport shutdown(std::chrono::milliseconds settleTime = std::chrono::seconds(1));
    /** After shutdown(): whether every plugin object went; says which did not otherwise. */
    bool checkLeaks() const;

    bool running() const { return m_server != nullptr; }
    MediaServer& server() const { return *m_server; }
    const PluginLibrary& library() const { return *m_library; }

private:
    struct Camera {
        DocumentTally documents;
    };
    Camera& camera(CameraId id) const;

    std::mutex m_errMutex;  // Pushing threads may have something to say at once.
    std::ostream& m_err;    // Guarded by m_errMutex where pushes write to it.
    std::unique_ptr<PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    std::map<CameraId, std::unique_ptr<Camera>> m_cameras;
    // Written by take() only.
    std::map<PacketKind, int> m_packets;
    LatencyHistogram m_latency;
    ShutdownReport m_shutdown;
};

}  // namespace lumo::host
