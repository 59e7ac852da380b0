// Frame picture: one frame as an SVG picture, the boxes of an object packet over the regions and
// lines of the settings dialog, each labelled, with the frame's time at the foot.
//
// Threading: free functions without shared state.
#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "report/packet_record.h"

namespace lumo::host {

/** A region or line as the dialog shows it: points as fractions of the frame. */
struct ShownFigure {
    bool line = false;
    int number = 0;  // In the dialog, 1..8.
    std::vector<std::pair<double, double>> points;
};

struct FramePictureCounts {
    int boxes = 0;
    int regions = 0;
    int lines = 0;
};

/** Writes the picture of `frame`, an object packet, with `figures` to `out`; over the image at
 * `pictureUri` (the camera's frame) when one is given. */
FramePictureCounts writeFramePicture(std::ostream& out, const std::vector<ShownFigure>& figures,
                                     const PacketRecord& frame,
                                     const std::string& pictureUri = std::string());

}  // namespace lumo::host
