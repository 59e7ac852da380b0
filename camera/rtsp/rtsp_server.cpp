#include "rtsp/rtsp_server.h"

#include <arpa/inet.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>

#include "camera.h"
#include "rtsp/metadata_source.h"
#include "rtsp/scene_video.h"

namespace lumo_camera {

namespace {

constexpr guint kTickMs = 5;
// How long stop() waits for the media of closed clients to be torn down, and how often it looks.
constexpr gint64 kStopWaitUs = 3 * G_USEC_PER_SEC;
constexpr guint kStopPollMs = 10;
// Frames sent at once when the loop fell behind; beyond that the stream skips frames.
constexpr uint64_t kMaxCatchUp = 3;

void initialiseGStreamer() {
    static std::once_flag once;
    std::call_once(once, [] {
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            const std::string reason = error != nullptr ? error->message : "unknown reason";
            g_clear_error(&error);
            throw std::runtime_error("cannot start GStreamer: " + reason);
        }
        if (!registerMetadataSource())
            throw std::runtime_error("cannot register the metadata source element");
    });
}

// The errno of binding a TCP socket where the service will listen; 0 when it can.
int probeListen(const std::string& address, uint16_t port) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1)
        return EINVAL;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    int error = 0;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        listen(fd, 1) != 0)
        error = errno;
    close(fd);
    return error;
}

std::string launchLine(const RtspOptions& options, uint32_t timestampBase) {
    int numerator = 0, denominator = 0;
    gst_util_double_to_fraction(options.scene.documentsPerSecond, &numerator, &denominator);
    const int keyInterval =
        std::max(1, static_cast<int>(std::lround(options.scene.documentsPerSecond)));
    const std::string frameBytes = std::to_string(SceneVideo::kFrameSize * 4);
    return "( appsrc name=videosrc is-live=true format=time max-bytes=" + frameBytes +
           " leaky-type=upstream caps=video/x-raw,format=I420,width=" +
           std::to_string(SceneVideo::kWidth) + ",height=" + std::to_string(SceneVideo::kHeight) +
           ",framerate=" + std::to_string(numerator) + "/" + std::to_string(denominator) +
           " ! x264enc speed-preset=ultrafast tune=zerolatency threads=1 key-int-max=" +
           std::to_string(keyInterval) + " bitrate=" + std::to_string(options.videoBitrateKbps) +
           " ! rtph264pay name=pay0 pt=96 config-interval=-1 timestamp-offset=" +
           std::to_string(timestampBase) +
           " lumometadatasrc name=pay1 is-live=true format=time caps=\"application/x-rtp,"
           "media=(string)application,encoding-name=(string)VND.ONVIF.METADATA,"
           "clock-rate=(int)90000,payload=(int)" +
           std::to_string(kMetadataPayloadType) + "\" )";
}

}  // namespace

// Set up by start() before the loop runs, then touched by the loop's thread alone until stop()
// has joined it; GLib and GStreamer guard their objects themselves.
struct RtspServer::Service {
    const RtspOptions* options = nullptr;
    const SceneGenerator* scene = nullptr;
    std::atomic<uint64_t>* documents = nullptr;
    // Media prepared and not yet torn down. A medium unprepares on the server's own threads after
    // its clients are closed; freeing the server under it aborts inside GLib.
    // Shared with the media, as one may outlive a stop() that stopped waiting for it.
    std::shared_ptr<std::atomic<int>> media = std::make_shared<std::atomic<int>>(0);
    gint64 stopDeadline = 0;  // monotonic µs; the main loop's thread only
    uint32_t timestampBase = 0;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    GstRTSPServer* server = nullptr;
    GSource* listening = nullptr;

    ~Service() {
        if (listening != nullptr) {
            g_source_destroy(listening);
            g_source_unref(listening);
        }
        if (server != nullptr)
            g_object_unref(server);
        if (loop != nullptr)
            g_main_loop_unref(loop);
        if (context != nullptr)
            g_main_context_unref(context);
    }
};

namespace {

// What one pipeline sends; lives as long as the pipeline's tick source on the service's loop,
// and only that loop's thread touches it.
struct Stream {
    RtspServer::Service* service;
    GstElement* video;     // owns a reference
    GstElement* metadata;  // owns a reference
    SceneVideo picture;
    MetadataPayloader payloader;
    GstClockTime frameDuration;
    GstClockTime first = GST_CLOCK_TIME_NONE;
    uint64_t frame = 0;

    Stream(RtspServer::Service* service, GstElement* video, GstElement* metadata,
           MetadataPayloadOptions payload)
        : service(service), video(video), metadata(metadata), payloader(payload) {
        frameDuration = static_cast<GstClockTime>(
            GST_SECOND / std::max(0.1, service->options->scene.documentsPerSecond));
    }
    ~Stream() {
        gst_object_unref(video);
        gst_object_unref(metadata);
    }

    void send(GstClockTime pts) {
        const SceneGenerator& scene = *service->scene;
        const SceneDocument document = scene.document(frame % scene.documentCount());
        picture.draw(document.objects);
        GstBuffer* image = gst_buffer_new_allocate(nullptr, SceneVideo::kFrameSize, nullptr);
        gst_buffer_fill(image, 0, picture.frame().data(), SceneVideo::kFrameSize);
        GST_BUFFER_PTS(image) = pts;
        GST_BUFFER_DURATION(image) = frameDuration;
        gst_app_src_push_buffer(GST_APP_SRC(video), image);

        const uint32_t timestamp = rtpTimestamp90k(pts, service->timestampBase);
        for (const RtpPacket& packet : payloader.packetize(document.xml, timestamp)) {
            GstBuffer* buffer = gst_buffer_new_memdup(packet.data(), packet.size());
            GST_BUFFER_PTS(buffer) = pts;
            gst_app_src_push_buffer(GST_APP_SRC(metadata), buffer);
        }
        service->documents->fetch_add(1);
        ++frame;
    }

    void tick() {
        GstState state = GST_STATE_NULL;
        gst_element_get_state(video, &state, nullptr, 0);
        GstClock* clock = gst_element_get_clock(video);
        if (state != GST_STATE_PLAYING || clock == nullptr) {
            if (clock != nullptr)
                gst_object_unref(clock);
            return;
        }
        const GstClockTime now = gst_clock_get_time(clock) - gst_element_get_base_time(video);
        gst_object_unref(clock);
        // A fresh start, or the pipeline played again from another base time.
        if (first == GST_CLOCK_TIME_NONE || first + frame * frameDuration > now + GST_SECOND)
            first = now - std::min<GstClockTime>(now, frame * frameDuration);
        if (now < first)
            return;
        const uint64_t due = (now - first) / frameDuration + 1;
        // Fallen behind: frames are lost as on a busy camera, the scene keeps to the clock.
        if (due > frame + kMaxCatchUp)
            frame = due - 1;
        while (frame < due)
            send(first + frame * frameDuration);
    }
};

gboolean onTick(gpointer data) {
    static_cast<Stream*>(data)->tick();
    return G_SOURCE_CONTINUE;
}

void deleteStream(gpointer data) {
    delete static_cast<Stream*>(data);
}

// What a prepared medium holds of the service: its tick, and its place in the service's count.
struct Prepared {
    GSource* tick;
    std::shared_ptr<std::atomic<int>> media;
};

void onUnprepared(GstRTSPMedia*, gpointer data) {
    auto* prepared = static_cast<Prepared*>(data);
    g_source_destroy(prepared->tick);
    prepared->media->fetch_sub(1);
}

void onMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data) {
    auto* service = static_cast<RtspServer::Service*>(data);
    GstElement* bin = gst_rtsp_media_get_element(media);
    GstElement* video = gst_bin_get_by_name_recurse_up(GST_BIN(bin), "videosrc");
    GstElement* metadata = gst_bin_get_by_name_recurse_up(GST_BIN(bin), "pay1");
    gst_object_unref(bin);
    if (video == nullptr || metadata == nullptr) {
        if (video != nullptr)
            gst_object_unref(video);
        if (metadata != nullptr)
            gst_object_unref(metadata);
        return;
    }
    MetadataPayloadOptions payload;
    payload.payloadType = kMetadataPayloadType;
    payload.maxPayload = service->options->maxPayload;
    payload.dropEvery = service->options->dropMetadataEvery;
    payload.fault = service->options->metadataFault;
    payload.ssrc = g_random_int();
    payload.firstSequence = static_cast<uint16_t>(g_random_int());
    auto* stream = new Stream(service, video, metadata, payload);

    GSource* source = g_timeout_source_new(kTickMs);
    g_source_set_callback(source, &onTick, stream, &deleteStream);
    g_source_attach(source, service->context);
    // The media may outlive the tick source or end first; each keeps its own reference.
    service->media->fetch_add(1);
    g_signal_connect_data(
        media, "unprepared", G_CALLBACK(&onUnprepared), new Prepared{source, service->media},
        [](gpointer data, GClosure*) {
            auto* prepared = static_cast<Prepared*>(data);
            g_source_unref(prepared->tick);
            delete prepared;
        },
        GConnectFlags(0));
}

GstRTSPFilterResult closeClient(GstRTSPServer*, GstRTSPClient*, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

}  // namespace

constexpr char RtspServer::kPath[];

RtspServer::RtspServer(RtspOptions options)
    : m_options(std::move(options)), m_scene(m_options.scene) {}

RtspServer::~RtspServer() {
    stop();
}

std::string RtspServer::url() const {
    return "rtsp://" + m_options.address + ":" + std::to_string(m_port) + kPath;
}

void RtspServer::start() {
    if (running())
        return;
    initialiseGStreamer();
    // Back after stop() on the port it had, as a camera after a restart.
    const uint16_t port = m_port != 0 ? m_port : m_options.port;
    const std::string where = m_options.address + ":" + std::to_string(port);
    if (const int error = probeListen(m_options.address, port))
        throw ListenError("cannot listen on " + where + ": " + std::strerror(error), error);

    auto service = std::make_unique<Service>();
    service->options = &m_options;
    service->scene = &m_scene;
    service->documents = &m_documents;
    service->timestampBase = 0x10000000u + m_options.scene.seed * 7919u;
    service->context = g_main_context_new();
    service->loop = g_main_loop_new(service->context, FALSE);
    service->server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(service->server, m_options.address.c_str());
    gst_rtsp_server_set_service(service->server, std::to_string(port).c_str());

    GstRTSPAuth* auth = gst_rtsp_auth_new();
    gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_DIGEST);
    gst_rtsp_auth_set_realm(auth, m_options.realm.c_str());
    GstRTSPToken* token =
        gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, "viewer", nullptr);
    gst_rtsp_auth_add_digest(auth, m_options.user.c_str(), m_options.password.c_str(), token);
    gst_rtsp_token_unref(token);
    gst_rtsp_server_set_auth(service->server, auth);
    g_object_unref(auth);

    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory,
                                      launchLine(m_options, service->timestampBase).c_str());
    gst_rtsp_media_factory_set_shared(factory, TRUE);
    gst_rtsp_media_factory_add_role(factory, "viewer", GST_RTSP_PERM_MEDIA_FACTORY_ACCESS,
                                    G_TYPE_BOOLEAN, TRUE, GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT,
                                    G_TYPE_BOOLEAN, TRUE, nullptr);
    g_signal_connect(factory, "media-configure", G_CALLBACK(&onMediaConfigure), service.get());
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(service->server);
    gst_rtsp_mount_points_add_factory(mounts, kPath, factory);
    g_object_unref(mounts);

    GError* error = nullptr;
    service->listening = gst_rtsp_server_create_source(service->server, nullptr, &error);
    if (service->listening == nullptr) {
        const std::string reason = error != nullptr ? error->message : "unknown reason";
        g_clear_error(&error);
        throw ListenError("cannot serve RTSP on " + where + ": " + reason, EIO);
    }
    m_port = static_cast<uint16_t>(gst_rtsp_server_get_bound_port(service->server));
    g_source_attach(service->listening, service->context);
    m_service = std::move(service);
    Service* running = m_service.get();
    m_thread = std::thread([running] {
        g_main_context_push_thread_default(running->context);
        g_main_loop_run(running->loop);
        g_main_context_pop_thread_default(running->context);
    });
}

void RtspServer::stop() {
    if (!running())
        return;
    // Sessions are closed on the loop, then the loop runs out what that set going and quits.
    GSource* closing = g_idle_source_new();
    g_source_set_callback(
        closing,
        [](gpointer data) -> gboolean {
            auto* service = static_cast<Service*>(data);
            gst_rtsp_server_client_filter(service->server, &closeClient, nullptr);
            g_source_destroy(service->listening);
            service->stopDeadline = g_get_monotonic_time() + kStopWaitUs;
            GSource* quit = g_timeout_source_new(kStopPollMs);
            g_source_set_callback(
                quit,
                [](gpointer data) -> gboolean {
                    auto* service = static_cast<Service*>(data);
                    if (service->media->load() > 0 &&
                        g_get_monotonic_time() < service->stopDeadline)
                        return G_SOURCE_CONTINUE;
                    g_main_loop_quit(service->loop);
                    return G_SOURCE_REMOVE;
                },
                service, nullptr);
            g_source_attach(quit, service->context);
            g_source_unref(quit);
            return G_SOURCE_REMOVE;
        },
        m_service.get(), nullptr);
    g_source_attach(closing, m_service->context);
    g_source_unref(closing);
    m_thread.join();
    m_service.reset();
}

}  // namespace lumo_camera
