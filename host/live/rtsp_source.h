// RtspSource: a camera's RTSP session as a media server pulls it. It plays the stream with
// GStreamer's rtspsrc over TCP or UDP, takes the ONVIF metadata track ("VND.ONVIF.METADATA") as
// RTP packets straight from the jitter buffer and cuts them into documents
// (document_reassembler.h), takes the H.264 track as access units, and stamps both with wall-clock
// microseconds from the tracks' RTCP sender reports (rtp_clock.h), or with the arrival time before
// the first report.
//
// When a camera that played goes away (end of stream, an error, or no data for `stallTimeout`) the
// source reports `lost` and plays again after a delay that doubles up to `maxRetryDelay`. A refused
// login, a camera that never answered and a stream without a metadata track end the source: it
// reports the state once and stays stopped.
//
// Threading: start() and stop() from one controlling thread. The source runs its own thread for
// GStreamer's bus and the reconnect timer. onDocument is called on the metadata track's streaming
// thread, onVideo on the video track's, onState on the source's thread; never after stop() returns.
// counters() may be called from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "live/document_reassembler.h"

namespace lumo::host::live {

enum class RtspTransport { tcp, udp };

struct RtspSourceOptions {
    std::string url;
    std::string login;
    std::string password;
    RtspTransport transport = RtspTransport::tcp;
    size_t maxDocumentSize = 0;  // 0: the plugin's bound
    std::chrono::milliseconds firstRetryDelay{500};
    std::chrono::milliseconds maxRetryDelay{8000};
    /** A playing camera silent this long counts as gone. */
    std::chrono::milliseconds stallTimeout{5000};
    /** How long a camera may take to answer the first time. */
    std::chrono::milliseconds answerTimeout{5000};
    /** The jitter buffer's latency. */
    std::chrono::milliseconds latency{200};
};

enum class SourceState {
    connected,
    lost,  // Reconnecting; the detail names the delay.
    refusedLogin,
    notAnswering,
    noMetadataTrack,
};

/** "connected", "lost", "refused login", "not answering", "no metadata track". */
const char* sourceStateName(SourceState state);
/** Whether the source ends after reporting this state. */
bool isFinal(SourceState state);

struct MetadataDocument {
    std::string bytes;
    int64_t timestampUs = 0;
};

struct VideoAccessUnit {
    std::vector<uint8_t> bytes;
    std::string codec;  // "h264"
    int width = 0;
    int height = 0;
    int64_t timestampUs = 0;
    bool keyFrame = false;
};

struct RtspSourceCallbacks {
    std::function<void(MetadataDocument&&)> onDocument;
    std::function<void(VideoAccessUnit&&)> onVideo;
    std::function<void(SourceState, const std::string& detail)> onState;
};

class RtspSource {
public:
    RtspSource(RtspSourceOptions options, RtspSourceCallbacks callbacks);
    ~RtspSource();
    RtspSource(const RtspSource&) = delete;
    RtspSource& operator=(const RtspSource&) = delete;

    void start();
    void stop();
    /** Whether the source ended on a final state. */
    bool finished() const;
    ReassemblyCounters counters() const;
    /** Times the source played again after losing the camera. */
    int reconnects() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace lumo::host::live
