// The inside of RtspSource (rtsp_source.h), shared by its two source files: rtsp_source.cpp runs
// the session (building the pipeline, the bus, the timers, reconnecting) and rtsp_source_tracks.cpp
// takes the tracks (wiring rtspsrc's pads, cutting documents, stamping frames, reading sender
// reports).
//
// Threading: as RtspSource states; each field below says which thread writes it or what guards
// it.
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "live/document_reassembler.h"
#include "live/rtp_clock.h"
#include "live/rtsp_source.h"
#include "lumo/metadata.h"

namespace lumo::host::live {

/** Whether a stream's caps are the ONVIF metadata track, respectively the H.264 video. */
bool isMetadataTrack(GstCaps* caps);
bool isH264Track(GstCaps* caps);
/** A new element of the factory; throws when GStreamer lacks it. */
GstElement* makeElement(const char* factory);

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

}  // namespace lumo::host::live
