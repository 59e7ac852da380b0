#include "scene_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "onvif_document_writer.h"

namespace lumo_camera {

namespace {

constexpr double kWidth = SceneGenerator::kFrameWidth;
constexpr double kHeight = SceneGenerator::kFrameHeight;
// Foot lines of the picture, top to bottom: far pavement, the road's lanes and the near pavement.
constexpr double kFarPavement = 430, kBikeWest = 585, kLaneWest = 650, kLaneEast = 790,
                 kBikeEast = 840, kNearPavement = 950;
constexpr double kBestShotDelay = 1.0;
constexpr double kMinVisible = 10;  // Pixels of a box inside the picture for it to be reported.

// splitmix64: the same numbers on every platform, unlike the standard distributions.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint32_t next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
    }
    double uniform(double low, double high) { return low + (high - low) * (next() / 4294967296.0); }

private:
    uint64_t m_state;
};

struct KindLook {
    double width, height;  // Box at the bottom of the picture, in pixels.
    double minSpeed, maxSpeed;
    const char* classType;
    const char* vehicleType;  // Null for people.
};

const KindLook& lookOf(SceneObjectKind kind) {
    static const KindLook kLooks[] = {
        {62, 170, 110, 170, "Human", nullptr},         {240, 120, 380, 560, "Vehicle", "Car"},
        {340, 190, 300, 380, "Vehicle", "Truck"},      {80, 110, 220, 300, "Vehicle", "Bicycle"},
        {110, 115, 600, 700, "Vehicle", "Motorcycle"},
    };
    return kLooks[static_cast<int>(kind)];
}

// Things further up the picture are further away.
double perspective(double footY) {
    return 0.55 + 0.45 * footY / kHeight;
}

// Colours as the camera describes them: luma and the two colour differences.
const int kColours[][3] = {{76, 85, 255}, {29, 255, 107},  {235, 128, 128}, {16, 128, 128},
                           {150, 44, 21}, {128, 128, 128}, {210, 16, 146},  {100, 150, 180}};

double cross(double ax, double ay, double bx, double by, double px, double py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

bool segmentsCross(double ax, double ay, double bx, double by, const ScenePoint& c,
                   const ScenePoint& d) {
    const double o1 = cross(ax, ay, bx, by, c.x, c.y), o2 = cross(ax, ay, bx, by, d.x, d.y);
    const double o3 = cross(c.x, c.y, d.x, d.y, ax, ay), o4 = cross(c.x, c.y, d.x, d.y, bx, by);
    return o1 * o2 < 0 && o3 * o4 < 0;
}

bool crossesLine(double ax, double ay, double bx, double by, const SceneFigure& line) {
    for (size_t i = 0; i + 1 < line.points.size(); ++i) {
        if (segmentsCross(ax, ay, bx, by, line.points[i], line.points[i + 1]))
            return true;
    }
    return false;
}

bool inside(double x, double y, const SceneFigure& region) {
    bool in = false;
    const auto& p = region.points;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        if ((p[i].y > y) != (p[j].y > y) &&
            x < p[j].x + (y - p[j].y) * (p[i].x - p[j].x) / double(p[i].y - p[j].y)) {
            in = !in;
        }
    }
    return !p.empty() && in;
}

std::string eventMarkup(const SceneEvent& event, const std::string& time) {
    const std::string slot = std::to_string(event.slot);
    switch (event.kind) {
        case SceneEventKind::lineCounting:
            return onvif::event(
                onvif::kTopicCounter,
                {{"VideoSource", "VideoSourceToken-0"}, {"Rule", "LineCounting" + slot}},
                {{"Count", std::to_string(event.count)}}, time);
        case SceneEventKind::tampering:
            return onvif::event(onvif::kTopicTampering, {{"Source", "VideoSourceToken-0"}},
                                {{"State", "true"}}, time);
        case SceneEventKind::settingsChanged:
            return onvif::event(onvif::kTopicSettingChanged,
                                {{"VideoSourceToken", "VideoSourceToken-0"}},
                                {{"Data", event.parameter}}, time);
        default:
            return onvif::event(onvif::kTopicRegion,
                                {{"VideoSource", "VideoSourceToken-0"}, {"Rule", "Region" + slot}},
                                {{"ObjectId", std::to_string(event.objectId)},
                                 {"ClassTypes", event.parameter},
                                 {"Actions", sceneEventName(event.kind)}},
                                time);
    }
}

std::string colourOf(uint32_t pick) {
    const int* c = kColours[pick % (sizeof kColours / sizeof kColours[0])];
    return onvif::colour(onvif::colourCluster(c[0], c[1], c[2]));
}

}  // namespace

const char* sceneEventName(SceneEventKind kind) {
    static const char* const kNames[] = {
        "LineCounting", "Appear",    "Enter",     "Stay",
        "Exit",         "Loitering", "Tampering", "AppSettingChanged"};
    return kNames[static_cast<int>(kind)];
}

SceneGenerator::SceneGenerator(SceneOptions options) : m_options(std::move(options)) {
    m_options.seconds = std::max(m_options.seconds, 0.1);
    m_options.documentsPerSecond = std::max(m_options.documentsPerSecond, 0.1);
    const auto count = static_cast<size_t>(
        std::max(1.0, std::floor(m_options.seconds * m_options.documentsPerSecond + 1e-9)));
    m_events.resize(count);
    planTracks();
    computeEvents();
}

int64_t SceneGenerator::offsetUs(size_t index) const {
    return std::llround(static_cast<double>(index) * 1e6 / m_options.documentsPerSecond);
}

double SceneGenerator::timeOf(size_t index) const {
    return static_cast<double>(offsetUs(index)) / 1e6;
}

void SceneGenerator::planTracks() {
    Random random(m_options.seed * 0x2545F4914F6CDD1DULL + 1);
    const double seconds = m_options.seconds;
    int32_t nextId = 101;
    const auto add = [&](SceneObjectKind kind, std::vector<Keyframe> path, double bestShotTime) {
        const double document = std::ceil(bestShotTime * m_options.documentsPerSecond - 1e-9);
        m_tracks.push_back(
            {nextId++, kind, std::move(path), static_cast<size_t>(document), random.next()});
    };
    // Across the whole picture at the kind's pace, from a random moment on.
    const auto crossing = [&](SceneObjectKind kind, double footY, bool eastward) {
        const KindLook& look = lookOf(kind);
        const double margin = look.width * perspective(footY) / 2;
        const double speed = random.uniform(look.minSpeed, look.maxSpeed);
        const double start = random.uniform(0, std::max(0.0, seconds - 1.5));
        const double from = eastward ? -margin : kWidth + margin;
        const double to = eastward ? kWidth + margin : -margin;
        add(kind, {{start, from, footY}, {start + (kWidth + 2 * margin) / speed, to, footY}},
            start + kBestShotDelay);
    };

    add(SceneObjectKind::car, {{0, 300, 520}, {seconds + 1, 300, 520}}, 0.5);  // Parked.
    const auto count = [&](double perSecond, int least) {
        return std::max(least, static_cast<int>(std::lround(seconds * perSecond)));
    };
    for (int i = count(0.3, 2); i > 0; --i) {
        const bool near = random.next() % 2 == 0;
        crossing(SceneObjectKind::person, near ? kNearPavement : kFarPavement,
                 random.next() % 2 == 0);
    }
    for (int i = count(0.3, 2); i > 0; --i) {
        const bool east = random.next() % 2 == 0;
        crossing(SceneObjectKind::car, east ? kLaneEast : kLaneWest, east);
    }
    for (int i = count(0.06, 1); i > 0; --i) {
        const bool east = random.next() % 2 == 0;
        crossing(SceneObjectKind::truck, east ? kLaneEast : kLaneWest, east);
    }
    for (int i = count(0.1, 1); i > 0; --i) {
        const bool east = random.next() % 2 == 0;
        crossing(SceneObjectKind::bicycle, east ? kBikeEast : kBikeWest, east);
    }
    crossing(SceneObjectKind::motorcycle, kLaneEast, random.next() % 2 == 0);

    // Two people for the first region (or the near pavement without one): one steps out of a door
    // inside it, one comes along and lingers.
    double cx = 1030, cy = kNearPavement;
    std::vector<std::pair<double, double>> spots;
    if (!m_options.regions.empty() && !m_options.regions.front().points.empty()) {
        const auto& points = m_options.regions.front().points;
        cx = cy = 0;
        for (const auto& p : points) {
            cx += p.x * kWidth / 1000 / points.size();
            cy += p.y * kHeight / 1000 / points.size();
        }
        for (const auto& p : points)
            spots.emplace_back(cx + 0.4 * (p.x * kWidth / 1000 - cx),
                               cy + 0.4 * (p.y * kHeight / 1000 - cy));
    } else {
        spots = {{cx - 80, cy - 20}, {cx + 80, cy}, {cx, cy + 20}};
    }
    const double appearAt = std::max(0.5, seconds * 0.25);
    add(SceneObjectKind::person,
        {{appearAt, cx, cy}, {appearAt + (kWidth - cx) / 130, kWidth + 30, cy}},
        appearAt + kBestShotDelay);

    std::vector<Keyframe> lingering = {{0, cx - 300, cy}, {2, cx, cy}};
    const double dwell = m_options.loiteringSeconds + 1.5;
    for (size_t i = 0; i < spots.size(); ++i)
        lingering.push_back({2 + dwell * (i + 1) / spots.size(), spots[i].first, spots[i].second});
    const Keyframe& last = lingering.back();
    lingering.push_back({last.t + (kWidth + 30 - last.x) / 140, kWidth + 30, last.y});
    add(SceneObjectKind::person, std::move(lingering), kBestShotDelay);
}

bool SceneGenerator::place(const Track& track, double t, SceneObject* object) const {
    const auto& path = track.path;
    if (t < path.front().t || t > path.back().t)
        return false;
    size_t i = 1;
    while (i + 1 < path.size() && path[i].t < t)
        ++i;
    const Keyframe& a = path[i - 1];
    const Keyframe& b = path[i];
    const double f = b.t > a.t ? (t - a.t) / (b.t - a.t) : 0;
    const double x = a.x + f * (b.x - a.x), y = a.y + f * (b.y - a.y);
    const KindLook& look = lookOf(track.kind);
    const double scale = perspective(y);
    const auto tenth = [](double v) { return static_cast<float>(std::round(v * 10) / 10); };
    object->id = track.id;
    object->kind = track.kind;
    object->left = tenth(std::max(0.0, x - look.width * scale / 2));
    object->right = tenth(std::min(kWidth, x + look.width * scale / 2));
    object->top = tenth(std::max(0.0, y - look.height * scale));
    object->bottom = tenth(std::min(kHeight, y));
    object->bestShot = false;
    return object->right - object->left >= kMinVisible &&
           object->bottom - object->top >= kMinVisible;
}

void SceneGenerator::computeEvents() {
    struct State {
        bool seen = false;
        double x = 0, y = 0;
        std::vector<double> enteredAt;  // Per region; negative while outside.
        std::vector<bool> stayed, loitered;
    };
    const auto& lines = m_options.lines;
    const auto& regions = m_options.regions;
    std::vector<State> states(m_tracks.size());
    std::map<int, int> counts;
    for (const auto& line : lines)
        counts[line.slot] = 0;
    const size_t tamperingAt = std::min(m_events.size() - 1, m_events.size() * 3 / 5);

    for (size_t index = 0; index < m_events.size(); ++index) {
        const double t = timeOf(index);
        auto& events = m_events[index];
        for (size_t k = 0; k < m_tracks.size(); ++k) {
            const Track& track = m_tracks[k];
            State& state = states[k];
            SceneObject object;
            if (!place(track, t, &object))
                continue;
            const double x = (object.left + object.right) / 2 * 1000 / kWidth;
            const double y = object.bottom * 1000 / kHeight;
            const char* classType = lookOf(track.kind).classType;
            const auto regionEvent = [&](SceneEventKind kind, size_t r) {
                events.push_back({kind, regions[r].slot, track.id, 0, classType});
            };
            if (!state.seen) {
                state.seen = true;
                state.enteredAt.assign(regions.size(), -1);
                state.stayed.assign(regions.size(), false);
                state.loitered.assign(regions.size(), false);
                m_truth.tracks.push_back({track.id, track.kind});
                for (size_t r = 0; r < regions.size(); ++r) {
                    if (inside(x, y, regions[r])) {
                        state.enteredAt[r] = t;
                        regionEvent(SceneEventKind::appear, r);
                    }
                }
            } else {
                for (const auto& line : lines) {
                    if (crossesLine(state.x, state.y, x, y, line))
                        events.push_back({SceneEventKind::lineCounting,
                                          line.slot,
                                          track.id,
                                          ++counts[line.slot],
                                          {}});
                }
                for (size_t r = 0; r < regions.size(); ++r) {
                    const bool in = inside(x, y, regions[r]);
                    if (in && state.enteredAt[r] < 0) {
                        state.enteredAt[r] = t;
                        regionEvent(SceneEventKind::enter, r);
                    } else if (!in && state.enteredAt[r] >= 0) {
                        state.enteredAt[r] = -1;
                        state.stayed[r] = state.loitered[r] = false;
                        regionEvent(SceneEventKind::exit, r);
                    }
                }
            }
            for (size_t r = 0; r < regions.size(); ++r) {
                const double stayed = state.enteredAt[r] < 0 ? -1 : t - state.enteredAt[r];
                if (!state.stayed[r] && stayed >= m_options.staySeconds) {
                    state.stayed[r] = true;
                    regionEvent(SceneEventKind::stay, r);
                }
                if (track.kind == SceneObjectKind::person && !state.loitered[r] &&
                    stayed >= m_options.loiteringSeconds) {
                    state.loitered[r] = true;
                    regionEvent(SceneEventKind::loitering, r);
                }
            }
            state.x = x;
            state.y = y;
        }
        if (index == tamperingAt)
            events.push_back({SceneEventKind::tampering, -1, 0, 0, {}});
        for (const SceneEvent& event : events)
            ++m_truth.events[event.kind];
    }
    m_truth.crossings = counts;
}

void SceneGenerator::appendObject(std::string& xml, const Track& track, const SceneObject& object,
                                  int64_t timeUs) const {
    const KindLook& look = lookOf(track.kind);
    const uint32_t seen = track.look;
    std::string appearance =
        onvif::shape(object.left, object.top, object.right, object.bottom, true) +
        onvif::classType(look.classType, "0." + std::to_string(80 + seen % 19));
    if (look.vehicleType) {
        appearance += onvif::vehicleInfo(look.vehicleType, "0." + std::to_string(70 + seen % 29),
                                         object.bestShot ? colourOf(seen >> 3) : "");
    }
    if (object.bestShot) {
        appearance += onvif::imageRef(
            "http://" + m_options.imageHost + "/bestshot/" + std::to_string(object.id) + ".jpg",
            onvif::utcTime(timeUs - 200'000));
    }
    if (object.bestShot && !look.vehicleType) {
        appearance +=
            onvif::humanFace({seen & 1 ? "Female" : "Male", (seen >> 1 & 1) != 0,
                              (seen >> 2 & 1) != 0, (seen >> 3 & 1) != 0, (seen >> 4 & 1) != 0});
        appearance += onvif::humanBody({"LongSleeve", colourOf(seen >> 5), "Trousers",
                                        colourOf(seen >> 8), seen & 2048 ? "Backpack" : "Handbag"});
    }
    xml += onvif::object(object.id, appearance);
}

SceneDocument SceneGenerator::document(size_t index,
                                       const std::vector<std::string>& settingsWrites) const {
    SceneDocument document;
    if (index >= m_events.size())
        return document;
    document.offsetUs = offsetUs(index);
    const int64_t timeUs = m_options.startUs + document.offsetUs;
    const std::string time = onvif::utcTime(timeUs);
    std::string content = onvif::transformation(2 / kWidth, -2 / kHeight);
    content.reserve(4096);
    const double t = timeOf(index);
    for (const Track& track : m_tracks) {
        SceneObject object;
        if (!place(track, t, &object))
            continue;
        object.bestShot = index == track.bestShotDocument;
        appendObject(content, track, object, timeUs);
        document.objects.push_back(object);
    }
    std::string body = onvif::frame(content, time);

    document.events = m_events[index];
    for (const std::string& parameter : settingsWrites)
        document.events.push_back({SceneEventKind::settingsChanged, -1, 0, 0, parameter});
    for (const SceneEvent& event : document.events)
        body += eventMarkup(event, time);
    document.xml = onvif::document(body);
    return document;
}

}  // namespace lumo_camera
