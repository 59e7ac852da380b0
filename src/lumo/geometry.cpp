#include "lumo/geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "lumo/settings_numbers.h"

namespace qo::vms_server_plugins::analytics::lumo {

namespace {

// Picture corners clockwise from the top left, closing on itself; entry i to i + 1 is border
// edge i (0 top, 1 right, 2 bottom, 3 left).
constexpr iPoint kCornerRing[5] = {
    {0, 0}, {kCameraMax, 0}, {kCameraMax, kCameraMax}, {0, kCameraMax}, {0, 0}};

// Candidates for the closing corner of a region; ties go to the earlier entry.
constexpr iPoint kCorners[4] = {{0, 0}, {0, kCameraMax}, {kCameraMax, 0}, {kCameraMax, kCameraMax}};

constexpr double kFarAway = 1000000000.0;

constexpr int kNoEdge = -1;

bool inRange(int32_t v) {
    return v >= 0 && v <= kCameraMax;
}

int borderEdge(iPoint p) {
    int edge = kNoEdge;
    if (p.y == 0 && inRange(p.x))
        edge = 0;
    if (p.x == kCameraMax && inRange(p.y))
        edge = 1;
    if (p.y == kCameraMax && inRange(p.x))
        edge = 2;
    if (p.x == 0 && inRange(p.y))
        edge = 3;
    return edge;
}

// Reads text the way a formatted stream reads "int" and "char": leading white space skipped,
// an optional sign, a value that must fit in 32 bits.
class Cursor {
public:
    Cursor(const char* begin, const char* end) : m_pos(begin), m_end(end) {}

    bool readInt(int32_t& value) {
        skipSpace();
        const char* p = m_pos;
        bool negative = false;
        if (p < m_end && (*p == '+' || *p == '-')) {
            negative = *p == '-';
            ++p;
        }
        if (p == m_end || !isDigit(*p))
            return false;
        int64_t magnitude = 0;
        const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
        for (; p < m_end && isDigit(*p); ++p) {
            magnitude = magnitude * 10 + (*p - '0');
            if (magnitude > limit)
                return false;
        }
        value = static_cast<int32_t>(negative ? -magnitude : magnitude);
        m_pos = p;
        return true;
    }

    bool readChar(char& c) {
        skipSpace();
        if (m_pos == m_end)
            return false;
        c = *m_pos++;
        return true;
    }

    bool skipIf(char c) {
        if (m_pos == m_end || *m_pos != c)
            return false;
        ++m_pos;
        return true;
    }

    const char* position() const { return m_pos; }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    void skipSpace() {
        while (m_pos < m_end && isSpace(*m_pos))
            ++m_pos;
    }

    const char* m_pos;
    const char* m_end;
};

// Appends the points of one region part; false when the reply holds too many points.
bool readPartPoints(std::string_view part, std::vector<iPoint>& points, size_t& total) {
    Cursor cursor(part.data(), part.data() + part.size());
    iPoint p;
    char separator = 0;
    while (cursor.readInt(p.x) && cursor.readChar(separator) && cursor.readInt(p.y)) {
        if (++total > kMaxReplyPoints)
            return false;
        points.push_back(p);
        cursor.skipIf(',');
    }
    return true;
}

// Appends the part's points from `from` to its end and from its beginning up to `from` again.
bool appendRoundFrom(const std::vector<iPoint>& part, iPoint from, std::vector<iPoint>& out) {
    const auto it = std::find(part.begin(), part.end(), from);
    if (it == part.end())
        return false;
    out.insert(out.end(), it, part.end());
    out.insert(out.end(), part.begin(), it + 1);
    return true;
}

/**
 * Refuses a camera number that did not read: out_of_range where the text does start with a number
 * (too large for its type), invalid_argument where it holds none.
 */
[[noreturn]] void refuseNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i < text.size() && text[i] == '.')
        ++i;
    if (i < text.size() && text[i] >= '0' && text[i] <= '9')
        throw std::out_of_range("camera number out of range");
    throw std::invalid_argument("camera value is not a number");
}

int32_t toInt(std::string_view text) {
    const auto value = parseWholeNumber(text);
    if (!value)
        refuseNumber(text);
    return *value;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    size_t begin = 0;
    for (;;) {
        const size_t end = text.find(separator, begin);
        pieces.push_back(text.substr(begin, end == std::string_view::npos ? end : end - begin));
        if (end == std::string_view::npos)
            return pieces;
        begin = end + 1;
    }
}

}  // namespace

double distance(const iPoint& a, const iPoint& b) {
    return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

bool isOnEdge(iPoint p) {
    return p.x == 0 || p.x == kCameraMax || p.y == 0 || p.y == kCameraMax;
}

bool isClockwise(const std::vector<iPoint>& polygon) {
    if (polygon.empty())
        return false;
    // The sum wraps in 32 bits, as the camera's own check does.
    uint32_t sum = 0;
    const size_t n = polygon.size();
    for (size_t i = 0; i < n; ++i) {
        const iPoint& a = polygon[i];
        const iPoint& b = polygon[(i + 1) % n];
        const uint32_t dx = static_cast<uint32_t>(b.x) - static_cast<uint32_t>(a.x);
        const uint32_t sy = static_cast<uint32_t>(a.y) + static_cast<uint32_t>(b.y);
        sum += dx * sy;
    }
    return static_cast<int32_t>(sum) < 0;
}

std::vector<iPoint> toClockwise(std::vector<iPoint>& polygon) {
    std::reverse(polygon.begin(), polygon.end());
    if (polygon.empty())
        return {};
    const auto squared = [](const iPoint& p) {
        const uint32_t x = static_cast<uint32_t>(p.x);
        const uint32_t y = static_cast<uint32_t>(p.y);
        return static_cast<int32_t>(x * x + y * y);
    };
    size_t nearest = 0;
    for (size_t i = 1; i < polygon.size(); ++i) {
        if (squared(polygon[i]) < squared(polygon[nearest]))
            nearest = i;
    }
    std::vector<iPoint> result;
    result.reserve(polygon.size());
    result.insert(result.end(), polygon.begin() + static_cast<ptrdiff_t>(nearest), polygon.end());
    result.insert(result.end(), polygon.begin(), polygon.begin() + static_cast<ptrdiff_t>(nearest));
    return result;
}

bool hasCornerBetween(iPoint a, iPoint b, iPoint& corner) {
    if (!isOnEdge(a) || !isOnEdge(b) || a == b)
        return false;
    const int e1 = borderEdge(a);
    const int e2 = borderEdge(b);
    if (e1 == kNoEdge || e2 == kNoEdge || e1 == e2)
        return false;
    const int clockwiseCost = kCameraMax * ((e2 - e1 + 4) % 4);
    const int counterClockwiseCost = kCameraMax * ((e1 - e2 + 4) % 4);
    corner = counterClockwiseCost > clockwiseCost ? kCornerRing[(e1 + 1) % 4] : kCornerRing[e1];
    return true;
}

std::string getCurrentRegion(const std::string& reply) {
    Cursor head(reply.data(), reply.data() + reply.size());
    int32_t count = 0;
    char separator = 0;
    if (!head.readInt(count))
        return "0";
    // A single part needs its separator; a bare "1" is no region but a broken reply, which the
    // readback must not take for an empty slot.
    const bool separated = head.readChar(separator);
    if (count == 1 && !separated && reply.size() < 2)
        throw std::out_of_range("region reply without part");
    if (!separated || count < 1)
        return "0";
    const std::string_view rest(head.position(),
                                static_cast<size_t>(reply.data() + reply.size() - head.position()));
    if (count == 1)
        return std::string(rest);

    // Every part but the last ends at a ";", the last at the end of the line. A count above the
    // parts present is refused before anything is allocated for it.
    const std::string_view line = rest.substr(0, rest.find('\n'));
    const auto present = static_cast<size_t>(std::count(line.begin(), line.end(), ';')) + 1;
    // Every part needs a point, so the point bound also bounds the parts.
    if (static_cast<size_t>(count) > present || static_cast<size_t>(count) > kMaxReplyPoints)
        return "0";
    const auto parts = static_cast<size_t>(count);

    std::vector<std::vector<iPoint>> points(parts);
    std::vector<std::vector<iPoint>> border(parts);
    size_t total = 0;
    size_t begin = 0;
    for (size_t k = 0; k < parts; ++k) {
        const size_t end = k + 1 < parts ? line.find(';', begin) : line.size();
        if (!readPartPoints(line.substr(begin, end - begin), points[k], total))
            return "0";
        for (const iPoint& p : points[k]) {
            if (isOnEdge(p))
                border[k].push_back(p);
        }
        if (border[k].empty())
            return "0";
        begin = end + 1;
    }

    // Neighbouring parts join through their nearest pair of border points.
    std::vector<std::pair<iPoint, iPoint>> joins;
    joins.reserve(parts - 1);
    for (size_t k = 0; k + 1 < parts; ++k) {
        double best = kFarAway;
        std::pair<iPoint, iPoint> join{border[k].front(), border[k + 1].front()};
        for (const iPoint& a : border[k]) {
            for (const iPoint& b : border[k + 1]) {
                const double d = distance(a, b);
                if (d < best) {
                    best = d;
                    join = {a, b};
                }
            }
        }
        joins.push_back(join);
    }

    std::vector<iPoint> outline;
    for (size_t k = 0; k + 1 < parts; ++k) {
        const auto [a, b] = joins[k];
        if (!appendRoundFrom(points[k], a, outline))
            return "0";
        if (a == b)
            continue;
        // Along the border edge of a to the height or width of b.
        if (a.x == 0 || a.x == kCameraMax)
            outline.push_back({a.x, b.y});
        else if (a.y == 0 || a.y == kCameraMax)
            outline.push_back({b.x, a.y});
        outline.push_back(b);
    }
    if (!appendRoundFrom(points[parts - 1], joins.back().second, outline))
        return "0";

    if (parts > 2) {
        const iPoint last = outline.back();
        double best = kFarAway;
        iPoint nearest = kCorners[0];
        for (const iPoint& c : kCorners) {
            const double d = distance(c, last);
            if (d < best) {
                best = d;
                nearest = c;
            }
        }
        outline.push_back(nearest);
    }

    std::vector<iPoint> result;
    result.reserve(outline.size());
    for (const iPoint& p : outline) {
        if (result.empty() || result.back() != p)
            result.push_back(p);
    }
    return toCameraPositionText(result);
}

std::string getCurrentLine(const std::string& reply) {
    const std::string_view text(reply);
    const std::string_view first = text.substr(0, text.find(';'));
    size_t countLength = 0;
    const auto parsedCount = parseWholeNumber(first, &countLength);
    if (!parsedCount)
        refuseNumber(first);
    const int count = *parsedCount;

    if (count == 1) {
        // The single segment follows the count and one separator, "1,..." or "1;...".
        if (countLength >= text.size())
            throw std::out_of_range("line reply without segment");
        const std::string_view segment = text.substr(countLength + 1);
        return std::string(segment.substr(0, segment.find(';')));
    }
    if (count < 1)
        return "0";
    const auto present = static_cast<size_t>(std::count(text.begin(), text.end(), ';'));
    if (static_cast<size_t>(count) > present)
        return "0";

    std::vector<Line> segments;
    segments.reserve(static_cast<size_t>(count));
    size_t begin = first.size() + 1;
    for (int i = 0; i < count; ++i) {
        const size_t end = text.find(';', begin);
        const std::string_view token =
            text.substr(begin, end == std::string_view::npos ? end : end - begin);
        const std::vector<std::string_view> numbers = split(token, ',');
        if (numbers.size() < 4)
            return "0";
        segments.push_back(
            {{toInt(numbers[0]), toInt(numbers[1])}, {toInt(numbers[2]), toInt(numbers[3])}});
        begin = end + 1;
    }

    std::vector<iPoint> points{segments.front().start};
    for (size_t i = 0; i < segments.size(); ++i) {
        const iPoint end = segments[i].end;
        points.push_back(end);
        if (i + 1 == segments.size())
            break;
        const iPoint next = segments[i + 1].start;
        if (next == end)
            continue;
        iPoint corner;
        if (hasCornerBetween(end, next, corner))
            points.push_back(corner);
        points.push_back(next);
    }
    return toCameraPositionText(points);
}

std::vector<iPoint> figureToCameraPoints(const nlohmann::json& points) {
    std::vector<iPoint> result;
    if (!points.is_array())
        return result;
    const auto scale = [](const nlohmann::json& value, int32_t& out) {
        const double scaled = std::trunc(value.get<double>() * 1000.0);
        if (!std::isfinite(scaled) || scaled < std::numeric_limits<int32_t>::min() ||
            scaled > std::numeric_limits<int32_t>::max()) {
            return false;
        }
        out = static_cast<int32_t>(scaled);
        return true;
    };
    for (const nlohmann::json& point : points) {
        if (!point.is_array() || point.size() < 2 || !point[0].is_number() ||
            !point[1].is_number()) {
            continue;
        }
        iPoint p;
        if (scale(point[0], p.x) && scale(point[1], p.y))
            result.push_back(p);
    }
    return result;
}

nlohmann::json cameraTextToFigurePoints(const std::string& text) {
    nlohmann::json result = nlohmann::json::array();
    if (text.empty())
        return result;
    const std::vector<std::string_view> numbers = split(text, ',');
    for (size_t i = 0; i + 1 < numbers.size(); i += 2) {
        nlohmann::json point = nlohmann::json::array();
        for (size_t j = i; j < i + 2; ++j) {
            const auto parsed = parseDecimal(numbers[j]);
            if (!parsed)
                refuseNumber(numbers[j]);
            const float value = *parsed;
            if (!std::isfinite(value))
                throw std::invalid_argument("camera coordinate is not a number");
            point.push_back(static_cast<double>(value / 1000.0f));
        }
        result.push_back(std::move(point));
    }
    return result;
}

std::string toCameraPositionText(const std::vector<iPoint>& points) {
    std::string text;
    text.reserve(points.size() * 8);
    for (const iPoint& p : points) {
        if (!text.empty())
            text += ',';
        text += std::to_string(p.x);
        text += ',';
        text += std::to_string(p.y);
    }
    return text;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
