// The substitute camera: an HTTP server answering the camera's analytics interface
// ("/httpapi/ReadParam?action=readparam&NAME=&", "/httpapi/WriteParam?action=writeparam&N=V&")
// behind digest authentication, over a ParameterTable. It keeps a log of every request and
// injects faults on demand, so the plugin's camera client can be tested in-process over real
// HTTP, and it runs as the `lumo-camera` program for manual work.
//
// It can also play a small embedded camera: every exchange answered late, one exchange at a time,
// few connections at once (CameraOptions), so a client can be tried against one.
//
// When asked, it also streams the generated scene over RTSP (RtspServer) on the same address.
//
// Threading: start() and stop() are called by the owner, not concurrently with each other;
// every other member may be called from any thread while the camera runs. Requests are served
// on a thread per connection. The log, the faults, the serial turn and the stop flag are guarded
// by m_mutex; the parameter table and the authenticator guard themselves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "digest_auth.h"
#include "fault.h"
#include "logged_request.h"
#include "parameter_table.h"
#include "rtsp/metadata_payloader.h"
#include "scene_generator.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace lumo_camera {

class RtspServer;

struct CameraOptions {
    std::string address = "127.0.0.2";
    /** 0 picks a free port (see Camera::port()). */
    uint16_t port = 80;
    std::string user = "admin";
    std::string password = "admin";
    std::string realm = "LUMO AI Camera";
    std::chrono::seconds nonceLifetime{300};
    /** Waited before every exchange is answered, the login challenge included. */
    std::chrono::milliseconds latency{0};
    /** One exchange at a time, in order of arrival; the others wait (latency included). */
    bool serial = false;
    /** Connections served at once; more are refused. 0 leaves the server's own limit. */
    unsigned maxConnections = 0;

    /** The RTSP stream at rtsp://ADDRESS:rtspPort/stream1; the program turns it on by default. */
    bool rtsp = false;
    /** 0 picks a free port (see Camera::rtspPort()). */
    uint16_t rtspPort = 554;
    /** The scene streamed; the image host follows the address. */
    SceneOptions scene;
    /** Every Nth metadata RTP packet is lost; 0 loses none. */
    unsigned dropMetadataEvery = 0;
    MetadataFault metadataFault = MetadataFault::none;
};

/** The camera could not listen; `error` is the errno of the failing call. */
class ListenError : public std::runtime_error {
public:
    ListenError(const std::string& message, int error)
        : std::runtime_error(message), error(error) {}
    const int error;
};

class Camera {
public:
    explicit Camera(CameraOptions options = {});
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    /**
     * Starts listening, and streaming when the options ask; throws ListenError (a
     * std::runtime_error) with a one-line reason.
     */
    void start();
    /** Stops serving; requests held by a fault are released first. Safe when not running. */
    void stop();
    /** Takes the RTSP service away, sessions and all, and brings it back; HTTP stays up. */
    void stopStreaming();
    void startStreaming();
    /** The RTSP service, or null when the options leave it off. */
    RtspServer* rtsp() { return m_rtsp.get(); }
    /** The RTSP port listened on; 0 without a stream. */
    uint16_t rtspPort() const;
    bool running() const { return m_daemon != nullptr; }
    /** True once stop() has begun; endless answers end then. */
    bool stopping() const;

    const CameraOptions& options() const { return m_options; }
    /** The port listened on (the one picked when the options asked for 0). */
    uint16_t port() const { return m_port; }
    /** "ADDRESS:PORT", usable as the camera address of a request. */
    std::string endpoint() const;

    ParameterTable& parameters() { return m_parameters; }
    DigestAuth& auth() { return m_auth; }

    std::vector<LoggedRequest> requests() const;
    void clearRequests();

    void addFault(Fault fault);
    void clearFaults();

private:
    friend struct CameraCallbacks;
    struct Exchange;

    int handle(MHD_Connection* connection, const std::string& url, const std::string& method,
               Exchange& exchange);
    int answer(MHD_Connection* connection, unsigned status, const std::string& body,
               Exchange& exchange, const std::string& challenge = {});
    // The first fault hitting the request, spending one of its uses.
    bool takeFault(const LoggedRequest& request, Fault& fault);
    // Waits until `until`, the camera stops or the client hangs up; false unless `until` came.
    bool waitOnConnection(MHD_Connection* connection, std::chrono::steady_clock::time_point until);
    // Serial camera: waits for the one turn; false when the camera stops or the client hangs up.
    bool takeTurn(MHD_Connection* connection);
    void giveTurn();
    // Records the exchange's request, or updates the status of its record.
    void log(Exchange& exchange);

    const CameraOptions m_options;
    ParameterTable m_parameters;
    DigestAuth m_auth;
    std::unique_ptr<RtspServer> m_rtsp;  // owner's thread only (start, stop, streaming)
    MHD_Daemon* m_daemon = nullptr;      // owner's thread only (start, stop)
    uint16_t m_port = 0;                 // owner's thread only

    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    std::condition_variable m_turnFree;
    bool m_stopping = false;           // guarded by m_mutex
    bool m_turnTaken = false;          // guarded by m_mutex; serial cameras only
    std::deque<uint64_t> m_turnQueue;  // guarded by m_mutex; waiting exchanges, oldest first
    uint64_t m_lastTicket = 0;         // guarded by m_mutex
    std::vector<LoggedRequest> m_log;  // guarded by m_mutex
    uint64_t m_logEpoch = 0;           // guarded by m_mutex; counts clearRequests()
    std::deque<Fault> m_faults;        // guarded by m_mutex
};

}  // namespace lumo_camera
