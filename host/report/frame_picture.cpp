#include "report/frame_picture.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "report/packet_printer.h"
#include "report/type_names.h"

namespace lumo::host {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 540;

}  // namespace

FramePictureCounts writeFramePicture(std::ostream& svg, const std::vector<ShownFigure>& figures,
                                     const PacketRecord& frame, const std::string& pictureUri) {
    const auto x = [](double fraction) { return fraction * kWidth; };
    const auto y = [](double fraction) { return fraction * kHeight; };
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\""
        << kHeight << "\" viewBox=\"0 0 " << kWidth << " " << kHeight
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<rect class=\"frame\" width=\"100%\" height=\"100%\" fill=\"#1e2227\"/>\n";
    if (!pictureUri.empty())
        svg << "<image class=\"picture\" width=\"" << kWidth << "\" height=\"" << kHeight
            << "\" preserveAspectRatio=\"none\" href=\"" << pictureUri << "\"/>\n";
    FramePictureCounts counts;
    for (const ShownFigure& figure : figures) {
        if (figure.points.empty())
            continue;
        const char* colour = figure.line ? "#ff4fd8" : "#ffd23f";
        svg << (figure.line ? "<polyline class=\"line\" fill=\"none\" stroke-width=\"3\""
                            : "<polygon class=\"region\" fill-opacity=\"0.15\" fill=\"#ffd23f\"")
            << " stroke=\"" << colour << "\" points=\"";
        for (const auto& [px, py] : figure.points)
            svg << x(px) << "," << y(py) << " ";
        svg << "\"/>\n<text fill=\"" << colour << "\" x=\"" << x(figure.points[0].first) + 4
            << "\" y=\"" << y(figure.points[0].second) - 4 << "\">"
            << (figure.line ? "line " : "region ") << figure.number << "</text>\n";
        ++(figure.line ? counts.lines : counts.regions);
    }
    for (const auto& item : frame.items) {
        if (!item.box)
            continue;
        std::string colour = item.attribute("qo.sys.color");
        std::transform(colour.begin(), colour.end(), colour.begin(), ::tolower);
        svg << "<rect class=\"box\" fill=\"none\" stroke-width=\"2\" stroke=\""
            << (colour.empty() ? "white" : colour) << "\" x=\"" << x(item.box->x) << "\" y=\""
            << y(item.box->y) << "\" width=\"" << x(item.box->width) << "\" height=\""
            << y(item.box->height) << "\"/>\n<text fill=\"white\" x=\"" << x(item.box->x)
            << "\" y=\"" << y(item.box->y) - 3 << "\">" << shortType(item.typeId) << " "
            << shortTrackId(item.trackId).substr(0, 4) << "</text>\n";
        ++counts.boxes;
    }
    svg << "<text fill=\"#9aa4ae\" x=\"8\" y=\"" << kHeight - 8 << "\">t=" << frame.timestampUs
        << " us</text>\n</svg>\n";
    return counts;
}

}  // namespace lumo::host
