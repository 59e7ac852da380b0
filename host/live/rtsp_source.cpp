#include "live/rtsp_source.h"

#include <pthread.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "live/rtsp_source_impl.h"

namespace lumo::host::live {

namespace {

void initGstreamer() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
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
