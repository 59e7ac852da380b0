#include "live/rtsp_source.h"

#include <pthread.h>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/rtp/gstrtpbuffer.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "live/rtp_clock.h"
#include "lumo/metadata.h"

namespace lumo::host::live {

namespace {

void initGstreamer() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

bool capsMatch(GstCaps* caps, const char* media, const char* encoding) {
    if (caps == nullptr || gst_caps_get_size(caps) == 0)
        return false;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const char* m = gst_structure_get_string(s, "media");
    const char* e = gst_structure_get_string(s, "encoding-name");
    return m != nullptr && e != nullptr && g_ascii_strcasecmp(m, media) == 0 &&
           g_ascii_strcasecmp(e, encoding) == 0;
}

bool isMetadataTrack(GstCaps* caps) {
    return capsMatch(caps, "application", "VND.ONVIF.METADATA");
}

bool isH264Track(GstCaps* caps) {
    return capsMatch(caps, "video", "H264");
}

GstElement* makeElement(const char* factory) {
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (element == nullptr)
        throw std::runtime_error(std::string("GStreamer element missing: ") + factory);
    return element;
}

}  // namespace

const char* sourceStateName(SourceState state) {
    switch (state) {
        case SourceState::connected:
            return "connected";
        case SourceState::lost:
            return "lost";
        case SourceState::refusedLogin:
            return "refused login";
        case SourceState::notAnswering:
            return "not answering";
        case SourceState::noMetadataTrack:
            return "no metadata track";
    }
    return "unknown";
}

bool isFinal(SourceState state) {
    return state != SourceState::connected && state != SourceState::lost;
}

struct RtspSource::Impl {
    Impl(RtspSourceOptions o, RtspSourceCallbacks c)
        : options(std::move(o)),
          callbacks(std::move(c)),
          reassembler(options.maxDocumentSize
                          ? options.maxDocumentSize
                          : qo::vms_server_plugins::analytics::lumo::Metadata::kMaxDocumentSize) {}

    // Written before the thread starts; read-only after.
    const RtspSourceOptions options;
    const RtspSourceCallbacks callbacks;
    std::thread thread;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;

    // The source's thread only.
    GstElement* pipeline = nullptr;
    GSource* busSource = nullptr;
    GSource* tickSource = nullptr;
    GSource* retrySource = nullptr;
    bool everPlayed = false;
    bool reportedConnected = false;
    int64_t attemptStartUs = 0;
    std::chrono::milliseconds nextDelay{0};

    // Set by GStreamer's threads, read by the source's.
    std::atomic<bool> sawStream{false};
    std::atomic<bool> sawMetadataTrack{false};
    std::atomic<int64_t> lastDataUs{0};
    std::atomic<bool> finished{false};
    std::atomic<int> reconnects{0};

    mutable std::mutex metadataMutex;
    DocumentReassembler reassembler;  // guarded by metadataMutex

    std::mutex clockMutex;
    std::map<uint32_t, RtpClock> clocks;  // by SSRC; guarded by clockMutex

    struct VideoReference {
        GstClockTime pts;
        uint32_t rtpTimestamp;
        uint32_t ssrc;
    };
    std::mutex videoMutex;
    std::optional<VideoReference> videoReference;  // guarded by videoMutex

    void run();
    void play();
    void teardown();
    void finish(SourceState state, const std::string& detail);
    void lose(const std::string& why);
    void tick();
    void onBusMessage(GstMessage* message);

    int64_t wallClockUs(uint32_t ssrc, uint32_t rtpTimestamp, int64_t arrivalUs) {
        std::lock_guard<std::mutex> lock(clockMutex);
        const auto it = clocks.find(ssrc);
        return it == clocks.end() ? arrivalUs : it->second.wallClockUs(rtpTimestamp, arrivalUs);
    }

    void onSenderReport(GstElement* rtpbin, guint session, guint ssrc);
    void onMetadataSample(GstAppSink* sink);
    void onVideoSample(GstAppSink* sink);
    void onVideoRtp(GstBuffer* buffer);
    void onPadAdded(GstPad* pad);
};

void RtspSource::Impl::run() {
    // Named apart from the process, whose name the plugin's own threads carry; GStreamer's
    // threads, started from here, are named by GStreamer.
    pthread_setname_np(pthread_self(), "lumo-rtsp");
    g_main_context_push_thread_default(context);
    tickSource = g_timeout_source_new(100);
    g_source_set_callback(
        tickSource,
        [](gpointer self) -> gboolean {
            static_cast<Impl*>(self)->tick();
            return G_SOURCE_CONTINUE;
        },
        this, nullptr);
    g_source_attach(tickSource, context);
    play();
    g_main_loop_run(loop);
    teardown();
    if (retrySource != nullptr) {
        g_source_destroy(retrySource);
        g_source_unref(retrySource);
        retrySource = nullptr;
    }
    g_source_destroy(tickSource);
    g_source_unref(tickSource);
    g_main_context_pop_thread_default(context);
}

void RtspSource::Impl::play() {
    sawStream = false;
    sawMetadataTrack = false;
    lastDataUs = 0;
    reportedConnected = false;
    attemptStartUs = g_get_monotonic_time();
    {
        std::lock_guard<std::mutex> lock(videoMutex);
        videoReference.reset();
    }
    pipeline = gst_pipeline_new(nullptr);
    GstElement* src = makeElement("rtspsrc");
    const auto us = [](std::chrono::milliseconds ms) { return guint64(ms.count()) * 1000; };
    g_object_set(src, "location", options.url.c_str(), "latency", guint(options.latency.count()),
                 "tcp-timeout", us(options.answerTimeout), "timeout", us(options.stallTimeout),
                 "protocols",
                 options.transport == RtspTransport::tcp ? 0x4 /* tcp */ : 0x1 /* udp */, nullptr);
    if (!options.login.empty())
        g_object_set(src, "user-id", options.login.c_str(), "user-pw", options.password.c_str(),
                     nullptr);
    gst_bin_add(GST_BIN(pipeline), src);

    g_signal_connect(src, "select-stream",
                     G_CALLBACK(+[](GstElement*, guint, GstCaps* caps, Impl* self) -> gboolean {
                         self->sawStream = true;
                         if (isMetadataTrack(caps)) {
                             self->sawMetadataTrack = true;
                             return TRUE;
                         }
                         return isH264Track(caps);
                     }),
                     this);
    g_signal_connect(
        src, "pad-added",
        G_CALLBACK(+[](GstElement*, GstPad* pad, Impl* self) { self->onPadAdded(pad); }), this);
    g_signal_connect(
        src, "new-manager", G_CALLBACK(+[](GstElement*, GstElement* rtpbin, Impl* self) {
            g_signal_connect(rtpbin, "on-ssrc-active",
                             G_CALLBACK(+[](GstElement* bin, guint session, guint ssrc, Impl* me) {
                                 me->onSenderReport(bin, session, ssrc);
                             }),
                             self);
        }),
        this);

    GstBus* bus = gst_element_get_bus(pipeline);
    busSource = gst_bus_create_watch(bus);
    gst_object_unref(bus);
    // A bus watch calls its function with the bus and the message (GstBusFunc).
    GstBusFunc onMessage = [](GstBus*, GstMessage* message, gpointer self) -> gboolean {
        static_cast<Impl*>(self)->onBusMessage(message);
        return G_SOURCE_CONTINUE;
    };
    g_source_set_callback(busSource, reinterpret_cast<GSourceFunc>(G_CALLBACK(onMessage)), this,
                          nullptr);
    g_source_attach(busSource, context);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
}

void RtspSource::Impl::teardown() {
    if (pipeline == nullptr)
        return;
    // Joins the streaming threads: no callback runs once this returns.
    gst_element_set_state(pipeline, GST_STATE_NULL);
    g_source_destroy(busSource);
    g_source_unref(busSource);
    busSource = nullptr;
    gst_object_unref(pipeline);
    pipeline = nullptr;
}

void RtspSource::Impl::finish(SourceState state, const std::string& detail) {
    teardown();
    finished = true;
    if (callbacks.onState)
        callbacks.onState(state, detail);
    g_main_loop_quit(loop);
}

void RtspSource::Impl::lose(const std::string& why) {
    teardown();
    {
        // The document in hand when the camera went is lost; the next session starts anew.
        std::lock_guard<std::mutex> lock(metadataMutex);
        reassembler.reset();
    }
    nextDelay = nextDelay.count() == 0 ? options.firstRetryDelay
                                       : std::min(nextDelay * 2, options.maxRetryDelay);
    if (callbacks.onState)
        callbacks.onState(SourceState::lost,
                          why + "; reconnecting in " + std::to_string(nextDelay.count()) + " ms");
    retrySource = g_timeout_source_new(static_cast<guint>(nextDelay.count()));
    g_source_set_callback(
        retrySource,
        [](gpointer p) -> gboolean {
            auto* self = static_cast<Impl*>(p);
            g_source_unref(self->retrySource);
            self->retrySource = nullptr;
            ++self->reconnects;
            self->play();
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
    g_source_attach(retrySource, context);
}

void RtspSource::Impl::tick() {
    if (pipeline == nullptr)
        return;
    const int64_t last = lastDataUs;
    const int64_t now = g_get_monotonic_time();
    // Every stream of the description has been offered before any data flows.
    if (last != 0 && !sawMetadataTrack) {
        finish(SourceState::noMetadataTrack, options.url);
        return;
    }
    if (last != 0 && !reportedConnected) {
        reportedConnected = true;
        everPlayed = true;
        nextDelay = std::chrono::milliseconds(0);
        if (callbacks.onState)
            callbacks.onState(SourceState::connected, options.url);
    }
    const int64_t since = last != 0 ? last : attemptStartUs;
    const auto limit = last != 0 ? options.stallTimeout : options.answerTimeout;
    if (now - since < int64_t(limit.count()) * 1000)
        return;
    if (everPlayed)
        lose("no data for " + std::to_string(limit.count()) + " ms");
    else
        finish(SourceState::notAnswering,
               "no data within " + std::to_string(limit.count()) + " ms");
}

void RtspSource::Impl::onBusMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            const std::string text = error != nullptr ? error->message : "unknown error";
            const bool refused = error != nullptr && error->domain == GST_RESOURCE_ERROR &&
                                 error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED;
            g_clear_error(&error);
            if (refused)
                finish(SourceState::refusedLogin, text);
            else if (sawStream && !sawMetadataTrack)
                finish(SourceState::noMetadataTrack, options.url);
            else if (everPlayed)
                lose(text);
            else
                finish(SourceState::notAnswering, text);
            break;
        }
        case GST_MESSAGE_EOS:
            if (everPlayed)
                lose("end of stream");
            else
                finish(SourceState::notAnswering, "end of stream before any data");
            break;
        default:
            break;
    }
}

void RtspSource::Impl::onPadAdded(GstPad* pad) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (caps == nullptr)
        caps = gst_pad_query_caps(pad, nullptr);
    const bool metadata = isMetadataTrack(caps);
    const bool video = !metadata && isH264Track(caps);
    gst_caps_unref(caps);

    GstElement* first = nullptr;
    if (metadata) {
        GstElement* sink = makeElement("appsink");
        g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        GstAppSinkCallbacks cb{};
        cb.new_sample = [](GstAppSink* s, gpointer self) {
            static_cast<Impl*>(self)->onMetadataSample(s);
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &cb, this, nullptr);
        gst_bin_add(GST_BIN(pipeline), sink);
        gst_element_sync_state_with_parent(sink);
        first = sink;
    } else if (video) {
        GstElement* depay = makeElement("rtph264depay");
        GstElement* parse = makeElement("h264parse");
        GstElement* filter = makeElement("capsfilter");
        GstElement* sink = makeElement("appsink");
        GstCaps* au = gst_caps_from_string("video/x-h264,stream-format=byte-stream,alignment=au");
        g_object_set(filter, "caps", au, nullptr);
        gst_caps_unref(au);
        g_object_set(parse, "config-interval", -1, nullptr);
        g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        GstAppSinkCallbacks cb{};
        cb.new_sample = [](GstAppSink* s, gpointer self) {
            static_cast<Impl*>(self)->onVideoSample(s);
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &cb, this, nullptr);
        gst_bin_add_many(GST_BIN(pipeline), depay, parse, filter, sink, nullptr);
        gst_element_link_many(depay, parse, filter, sink, nullptr);
        GstPad* depaySink = gst_element_get_static_pad(depay, "sink");
        gst_pad_add_probe(
            depaySink, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo* info, gpointer self) {
                static_cast<Impl*>(self)->onVideoRtp(GST_PAD_PROBE_INFO_BUFFER(info));
                return GST_PAD_PROBE_OK;
            },
            this, nullptr);
        gst_object_unref(depaySink);
        for (GstElement* e : {sink, filter, parse, depay})
            gst_element_sync_state_with_parent(e);
        first = depay;
    } else {
        first = makeElement("fakesink");
        g_object_set(first, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add(GST_BIN(pipeline), first);
        gst_element_sync_state_with_parent(first);
    }
    GstPad* sinkPad = gst_element_get_static_pad(first, "sink");
    gst_pad_link(pad, sinkPad);
    gst_object_unref(sinkPad);
}

void RtspSource::Impl::onSenderReport(GstElement* rtpbin, guint session, guint ssrc) {
    GObject* rtpSession = nullptr;
    g_signal_emit_by_name(rtpbin, "get-internal-session", session, &rtpSession);
    if (rtpSession == nullptr)
        return;
    GObject* source = nullptr;
    g_signal_emit_by_name(rtpSession, "get-source-by-ssrc", ssrc, &source);
    g_object_unref(rtpSession);
    if (source == nullptr)
        return;
    GstStructure* stats = nullptr;
    g_object_get(source, "stats", &stats, nullptr);
    g_object_unref(source);
    if (stats == nullptr)
        return;
    gboolean haveSr = FALSE;
    guint64 ntp = 0;
    guint rtp = 0;
    gint clockRate = 0;
    gst_structure_get_int(stats, "clock-rate", &clockRate);
    if (gst_structure_get_boolean(stats, "have-sr", &haveSr) && haveSr &&
        gst_structure_get_uint64(stats, "sr-ntptime", &ntp) &&
        gst_structure_get_uint(stats, "sr-rtptime", &rtp)) {
        std::lock_guard<std::mutex> lock(clockMutex);
        auto it = clocks.find(ssrc);
        if (it == clocks.end())
            it = clocks.emplace(ssrc, RtpClock(clockRate > 0 ? guint(clockRate) : 90000)).first;
        it->second.onSenderReport(ntp, rtp);
    }
    gst_structure_free(stats);
}

void RtspSource::Impl::onMetadataSample(GstAppSink* sink) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr)
        return;
    const int64_t arrival = g_get_real_time();
    lastDataUs = g_get_monotonic_time();
    std::optional<ReassembledDocument> document;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        {
            std::lock_guard<std::mutex> lock(metadataMutex);
            document = reassembler.push(map.data, map.size);
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    if (document && callbacks.onDocument) {
        const int64_t stamp = wallClockUs(document->ssrc, document->rtpTimestamp, arrival);
        callbacks.onDocument(MetadataDocument{std::move(document->bytes), stamp});
    }
}

void RtspSource::Impl::onVideoRtp(GstBuffer* buffer) {
    GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
    if (buffer == nullptr || !GST_BUFFER_PTS_IS_VALID(buffer) ||
        !gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp))
        return;
    VideoReference reference{GST_BUFFER_PTS(buffer), gst_rtp_buffer_get_timestamp(&rtp),
                             gst_rtp_buffer_get_ssrc(&rtp)};
    gst_rtp_buffer_unmap(&rtp);
    std::lock_guard<std::mutex> lock(videoMutex);
    videoReference = reference;
}

void RtspSource::Impl::onVideoSample(GstAppSink* sink) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr)
        return;
    const int64_t arrival = g_get_real_time();
    lastDataUs = g_get_monotonic_time();
    VideoAccessUnit unit;
    unit.codec = "h264";
    unit.timestampUs = arrival;
    if (GstCaps* caps = gst_sample_get_caps(sample); caps && gst_caps_get_size(caps) > 0) {
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        gst_structure_get_int(s, "width", &unit.width);
        gst_structure_get_int(s, "height", &unit.height);
    }
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        unit.bytes.assign(map.data, map.data + map.size);
        gst_buffer_unmap(buffer, &map);
        unit.keyFrame = !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
        std::optional<VideoReference> reference;
        {
            std::lock_guard<std::mutex> lock(videoMutex);
            reference = videoReference;
        }
        if (reference && GST_BUFFER_PTS_IS_VALID(buffer)) {
            // The unit's RTP timestamp, placed from the last RTP packet by their PTS distance.
            const auto deltaNs =
                static_cast<int64_t>(GST_BUFFER_PTS(buffer)) - static_cast<int64_t>(reference->pts);
            const auto rtp =
                static_cast<uint32_t>(reference->rtpTimestamp + deltaNs * 90000 / GST_SECOND);
            unit.timestampUs = wallClockUs(reference->ssrc, rtp, arrival);
        }
    }
    gst_sample_unref(sample);
    if (!unit.bytes.empty() && callbacks.onVideo)
        callbacks.onVideo(std::move(unit));
}

RtspSource::RtspSource(RtspSourceOptions options, RtspSourceCallbacks callbacks)
    : m_impl(std::make_unique<Impl>(std::move(options), std::move(callbacks))) {
    initGstreamer();
}

RtspSource::~RtspSource() {
    stop();
}

void RtspSource::start() {
    if (m_impl->thread.joinable())
        return;
    m_impl->context = g_main_context_new();
    m_impl->loop = g_main_loop_new(m_impl->context, FALSE);
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->run(); });
}

void RtspSource::stop() {
    if (!m_impl->thread.joinable())
        return;
    g_main_context_invoke(
        m_impl->context,
        [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        m_impl->loop);
    m_impl->thread.join();
    g_main_loop_unref(m_impl->loop);
    g_main_context_unref(m_impl->context);
    m_impl->loop = nullptr;
    m_impl->context = nullptr;
}

bool RtspSource::finished() const {
    return m_impl->finished;
}

ReassemblyCounters RtspSource::counters() const {
    std::lock_guard<std::mutex> lock(m_impl->metadataMutex);
    return m_impl->reassembler.counters();
}

int RtspSource::reconnects() const {
    return m_impl->reconnects;
}

}  // namespace lumo::host::live
