// RtspServer: the camera's RTSP stream at rtsp://ADDRESS:PORT/stream1 behind digest login, an
// H.264 video track of the generated scene and the ONVIF metadata track carrying the scene's
// documents. One pipeline per camera serves every client at once, so a camera costs one encoder
// however many pull it. Both tracks take their RTP timestamps from the same frame time, and the
// RTCP sender reports map that time to the wall clock.
//
// The stream plays the scene from its first document whenever the pipeline is built anew, and
// starts over after the last. Fault switches in the options lose metadata packets, drop the marker
// bit or swap packets; stop() and start() take the whole service away and bring it back, as a
// camera that reboots.
//
// Threading: start() and stop() are called by the owner, not concurrently with each other; the
// counters may be read from any thread. The service runs a GLib main loop on a thread of its own,
// which draws, encodes and sends; the pipeline's own threads do the rest.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "rtsp/metadata_payloader.h"
#include "scene_generator.h"

namespace lumo_camera {

struct RtspOptions {
    std::string address = "127.0.0.2";
    /** 0 picks a free port (see RtspServer::port()). */
    uint16_t port = 554;
    std::string user = "admin";
    std::string password = "admin";
    std::string realm = "LUMO AI Camera";
    SceneOptions scene;
    /** Document bytes per metadata packet. */
    size_t maxPayload = 1400;
    /** Every Nth metadata packet is lost; 0 loses none. */
    unsigned dropMetadataEvery = 0;
    MetadataFault metadataFault = MetadataFault::none;
    unsigned videoBitrateKbps = 800;
};

class RtspServer {
public:
    static constexpr char kPath[] = "/stream1";

    explicit RtspServer(RtspOptions options);
    ~RtspServer();
    RtspServer(const RtspServer&) = delete;
    RtspServer& operator=(const RtspServer&) = delete;

    /** Starts serving; throws ListenError with a one-line reason when it cannot listen. */
    void start();
    /** Closes every session and stops serving. Safe when not running. */
    void stop();
    bool running() const { return m_thread.joinable(); }

    const RtspOptions& options() const { return m_options; }
    uint16_t port() const { return m_port; }
    /** "rtsp://ADDRESS:PORT/stream1", without the login. */
    std::string url() const;

    /** Metadata documents sent since construction, by every pipeline. */
    uint64_t documentsSent() const { return m_documents.load(); }

    struct Service;  // GStreamer's side, private to the implementation.

private:
    const RtspOptions m_options;
    const SceneGenerator m_scene;
    std::unique_ptr<Service> m_service;  // owner's thread only
    std::thread m_thread;                // owner's thread only; runs the main loop
    uint16_t m_port = 0;                 // owner's thread only
    std::atomic<uint64_t> m_documents{0};
};

}  // namespace lumo_camera
