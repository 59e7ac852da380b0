// The element that sends the metadata track: an application source of whole RTP packets that
// also answers the RTSP server's question for the payload type, as a payloader would. Registered
// in the process as "lumometadatasrc".
//
// Threading: registerMetadataSource() may be called from any thread; it registers once.
#pragma once

namespace lumo_camera {

constexpr unsigned kMetadataPayloadType = 107;

/** Makes "lumometadatasrc" known to GStreamer; false when it cannot be registered. */
bool registerMetadataSource();

}  // namespace lumo_camera
