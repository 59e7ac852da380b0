// Region and line geometry between the server's figures and the camera.
//
// The server draws figures as JSON points in fractions of the frame (0.0 to 1.0); the camera
// keeps integer coordinates 0 to 999 per axis ("camera space") and writes them as position
// text "x,y,x,y,...". The camera may report a region or a line cut into several parts where the
// shape touches the picture border; getCurrentRegion and getCurrentLine join such parts into
// one outline through their border points. Regions go to the camera clockwise.
//
// Everything here is pure (toClockwise reverses its own argument) and may run on any number of
// threads at once. Replies outside the camera's format never make these functions read past
// their data: the region and line readers answer "0" for a shape they cannot rebuild, and let
// the standard conversion errors (std::invalid_argument, std::out_of_range) through where a
// number does not convert.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace qo::vms_server_plugins::analytics::lumo {

/** A point in camera space: x to the right, y downwards, 0 to 999 on the picture. */
struct iPoint {
    int32_t x = 0;
    int32_t y = 0;
};

inline bool operator==(const iPoint& a, const iPoint& b) {
    return a.x == b.x && a.y == b.y;
}
inline bool operator!=(const iPoint& a, const iPoint& b) {
    return !(a == b);
}

/** One straight segment in camera space. */
struct Line {
    iPoint start;
    iPoint end;
};

/** Largest coordinate of the picture in camera space. */
constexpr int32_t kCameraMax = 999;

/**
 * Most points a camera region reply may hold in all its parts. The camera draws at most eight
 * points per figure plus the border points of its cuts; the bound keeps the quadratic join
 * search of a malformed reply short.
 */
constexpr size_t kMaxReplyPoints = 4096;

double distance(const iPoint& a, const iPoint& b);

/** True when the point lies on the picture border (a coordinate is 0 or 999). */
bool isOnEdge(iPoint p);

/** True when the polygon runs clockwise on the picture (negative shoelace sum, 32-bit wrap). */
bool isClockwise(const std::vector<iPoint>& polygon);

/**
 * Reverses `polygon` in place and returns the reversed polygon rotated to start at the first
 * point nearest (0,0).
 */
std::vector<iPoint> toClockwise(std::vector<iPoint>& polygon);

/**
 * When a and b lie on two different border edges, stores in `corner` the picture corner through
 * which the shorter way round the border runs (for opposite edges, the corner at the
 * counter-clockwise end of a's edge) and returns true; otherwise returns false and leaves
 * `corner` as it is.
 */
bool hasCornerBetween(iPoint a, iPoint b, iPoint& corner);

/**
 * Rebuilds one outline from a camera region reply: a part count, one separator, then the
 * parts separated by ";". Answers the position text of the outline, or "0" when the reply
 * cannot be joined (a count below 1 or above the parts present, a part without a border point,
 * more than kMaxReplyPoints points). A count of 1 with nothing after it throws
 * std::out_of_range, as getCurrentLine does: the reply is broken, not an empty slot.
 */
std::string getCurrentRegion(const std::string& reply);

/**
 * Rebuilds one polyline from a camera line reply: a segment count followed by the segments
 * "sx,sy,ex,ey". A count of 1 gives the segment's text as it stands, whether written "1,..."
 * or "1;...". Answers "0" for a count below 1, a count above the segments present or a segment
 * of fewer than four numbers; a number that does not convert throws std::invalid_argument or
 * std::out_of_range.
 */
std::string getCurrentLine(const std::string& reply);

/**
 * Server figure points ([[x, y], ...], fractions of the frame) to camera space: each coordinate
 * times 1000, truncated toward zero. Entries that are not arrays of at least two numbers, or
 * whose coordinates are not finite 32-bit results, are skipped; a value that is not an array
 * gives no points.
 */
std::vector<iPoint> figureToCameraPoints(const nlohmann::json& points);

/**
 * Camera position text to server figure points: every number divided by 1000 in single
 * precision, paired in order; a last unpaired number is dropped; "" gives no points. A number
 * that does not convert, or is not finite, throws std::invalid_argument or std::out_of_range.
 */
nlohmann::json cameraTextToFigurePoints(const std::string& text);

/** The camera position text of the points: "x,y,x,y,..." without blanks. */
std::string toCameraPositionText(const std::vector<iPoint>& points);

}  // namespace qo::vms_server_plugins::analytics::lumo
