// `lumo-host live`: the plugin against a camera's RTSP stream, as a media server pulls it. Each
// --rtsp URL is one camera: its metadata track is cut into documents and its H.264 track into
// frames (host/live/rtsp_source.h), both stamped on the wall clock and pushed into the camera's
// device agent, bound to --camera (default: the RTSP URL's host) so that the settings road works
// too. Prints every delivered packet and, at the end, the summary of the demo with what the
// transport did; --svg draws the last frame's boxes and the dialog's figures over the decoded
// picture.
//
// A camera that goes away is pulled again, with a line saying so; a refused login, a URL that
// does not answer or a stream without a metadata track ends the run with one line and status 1.
//
// Threading: called from one thread. Each stream delivers on its own GStreamer threads; a
// per-stream lock keeps one push at a time per camera, as the session asks.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace lumo::host {

struct LiveOptions {
    std::string pluginPath;
    std::vector<std::string> rtspUrls;
    std::string cameraUrl;
    std::string login = "admin";
    std::string password = "admin";
    double seconds = 10;
    bool json = false;
    std::string svgPath;
    bool udp = false;
    bool quiet = false;
    /** CPU figures: the plugin's per document, the host's per stream. */
    bool bench = false;
};

/** The host of an RTSP URL, the camera's HTTP host by default: "rtsp://u:p@10.0.0.5:554/x" gives
 * "10.0.0.5". */
std::string rtspHost(const std::string& url);

CLI::App* addLiveCommand(CLI::App& root, LiveOptions& options);
int runLiveCommand(const LiveOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lumo::host
