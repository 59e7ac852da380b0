#include "live/last_picture.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace lumo::host::live {

namespace {

// Runs `description` (with an appsrc "in" and an appsink "out"), pushes `inputs`, and returns the
// last sample that came out, or nothing with the pipeline's error.
GstSample* runPipeline(const char* description, GstCaps* caps,
                       const std::vector<GstBuffer*>& inputs, std::string* error) {
    GError* parseError = nullptr;
    GstElement* pipeline = gst_parse_launch(description, &parseError);
    if (pipeline == nullptr || parseError != nullptr) {
        *error = parseError != nullptr ? parseError->message : "cannot build the decoder";
        g_clear_error(&parseError);
        if (pipeline)
            gst_object_unref(pipeline);
        for (GstBuffer* b : inputs)
            gst_buffer_unref(b);
        return nullptr;
    }
    GstElement* in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(in, "caps", caps, "format", GST_FORMAT_TIME, nullptr);
    g_object_set(out, "sync", FALSE, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    for (GstBuffer* b : inputs)
        gst_app_src_push_buffer(GST_APP_SRC(in), b);
    gst_app_src_end_of_stream(GST_APP_SRC(in));
    GstSample* last = nullptr;
    while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(out), 10 * GST_SECOND)) {
        if (last)
            gst_sample_unref(last);
        last = sample;
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    if (GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        GError* e = nullptr;
        gst_message_parse_error(message, &e, nullptr);
        *error = e != nullptr ? e->message : "decoder error";
        g_clear_error(&e);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(in);
    gst_object_unref(out);
    gst_object_unref(pipeline);
    return last;
}

}  // namespace

void LastPicture::add(const std::vector<uint8_t>& bytes, bool keyFrame) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (keyFrame)
        m_units.clear();
    else if (m_units.empty() || m_units.size() >= kMaxUnits)
        return;
    m_units.push_back(bytes);
}

std::optional<std::string> LastPicture::lastPicturePng(std::string* error) const {
    std::vector<std::vector<uint8_t>> units;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        units = m_units;
    }
    if (units.empty()) {
        *error = "no key frame received";
        return std::nullopt;
    }
    return decodeLastPicture(units, error);
}

std::optional<std::string> decodeLastPicture(const std::vector<std::vector<uint8_t>>& units,
                                             std::string* error) {
    gst_init(nullptr, nullptr);
    std::vector<GstBuffer*> buffers;
    GstClockTime pts = 0;
    for (const auto& unit : units) {
        GstBuffer* b = gst_buffer_new_memdup(unit.data(), unit.size());
        GST_BUFFER_PTS(b) = pts;
        pts += GST_SECOND / 25;
        buffers.push_back(b);
    }
    GstCaps* h264 = gst_caps_from_string("video/x-h264,stream-format=byte-stream,alignment=au");
    GstSample* raw = runPipeline(
        "appsrc name=in ! h264parse ! avdec_h264 ! videoconvert ! video/x-raw,format=RGB ! "
        "appsink name=out",
        h264, buffers, error);
    gst_caps_unref(h264);
    if (raw == nullptr) {
        if (error->empty())
            *error = "no picture decoded";
        return std::nullopt;
    }
    GstCaps* rawCaps = gst_caps_copy(gst_sample_get_caps(raw));
    GstBuffer* picture = gst_buffer_ref(gst_sample_get_buffer(raw));
    gst_sample_unref(raw);
    GstSample* png = runPipeline("appsrc name=in ! videoconvert ! pngenc ! appsink name=out",
                                 rawCaps, {picture}, error);
    gst_caps_unref(rawCaps);
    if (png == nullptr) {
        if (error->empty())
            *error = "no picture encoded";
        return std::nullopt;
    }
    std::string bytes;
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(png);
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        bytes.assign(reinterpret_cast<const char*>(map.data), map.size);
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(png);
    return bytes;
}

std::string pngDataUri(const std::string& png) {
    gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(png.data()), png.size());
    std::string uri = std::string("data:image/png;base64,") + encoded;
    g_free(encoded);
    return uri;
}

}  // namespace lumo::host::live
