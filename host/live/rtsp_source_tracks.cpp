// The tracks of an RTSP session: rtspsrc's pads wired to the sinks, documents cut from the
// metadata track, frames taken from the video and stamped, sender reports read.
#include <gst/rtp/gstrtpbuffer.h>

#include <stdexcept>
#include <utility>

#include "live/rtsp_source_impl.h"

namespace lumo::host::live {

namespace {

bool capsMatch(GstCaps* caps, const char* media, const char* encoding) {
    if (caps == nullptr || gst_caps_get_size(caps) == 0)
        return false;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const char* m = gst_structure_get_string(s, "media");
    const char* e = gst_structure_get_string(s, "encoding-name");
    return m != nullptr && e != nullptr && g_ascii_strcasecmp(m, media) == 0 &&
           g_ascii_strcasecmp(e, encoding) == 0;
}

}  // namespace

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

}  // namespace lumo::host::live
