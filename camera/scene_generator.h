// SceneGenerator: the camera's metadata stream for a made-up street scene, as ONVIF documents in
// the camera's own dialect. People walk the pavements, cars, trucks, bicycles and a motorcycle
// drive the road, a car stays parked; every track sends one best shot with its appearance. The
// configured counting lines count the objects that cross them, the configured regions report
// objects appearing, entering, staying, leaving and (people) loitering; one tampering event comes
// in the scene, and an AI-settings-changed event for every parameter write the caller reports.
//
// The scene follows from the options alone (the seed above all), so two generators with the same
// options produce the same documents, and a document is built for any index on its own: a
// benchmark feeds many cameras without running one. The ground truth (tracks, crossings, events)
// lets a test compare what came out of the plugin with what went into the scene.
//
// Coordinates: objects are in pixels of a 1920 x 1080 frame, as the camera reports them; lines and
// regions in the camera's figure space 0..999, as the camera stores them. An object's position for
// lines and regions is the middle of its box's bottom edge, where it stands.
//
// Threading: immutable after construction; document() and the accessors may be called from any
// number of threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lumo_camera {

enum class SceneObjectKind { person, car, truck, bicycle, motorcycle };

enum class SceneEventKind {
    lineCounting,
    appear,
    enter,
    stay,
    exit,
    loitering,
    tampering,
    settingsChanged
};

/** The camera's word for the event: "LineCounting", "Appear", ..., "AppSettingChanged". */
const char* sceneEventName(SceneEventKind kind);

struct ScenePoint {
    int x = 0;
    int y = 0;
};

/** A counting line (polyline) or a region (polygon) at a camera slot 0..7. */
struct SceneFigure {
    int slot = 0;
    std::vector<ScenePoint> points;
};

struct SceneOptions {
    uint32_t seed = 1;
    double seconds = 20;
    double documentsPerSecond = 10;
    std::vector<SceneFigure> lines;
    std::vector<SceneFigure> regions;
    /** How long an object stays in a region before "Stay", a person before "Loitering". */
    double staySeconds = 2;
    double loiteringSeconds = 5;
    /** The UtcTime of the first document, in microseconds since 1970. */
    int64_t startUs = 1'715'678'467'000'000;
    /** Where the best-shot images are said to be. */
    std::string imageHost = "127.0.0.2";
};

struct SceneObject {
    int32_t id = 0;
    SceneObjectKind kind = SceneObjectKind::person;
    float left = 0, top = 0, right = 0, bottom = 0;
    /** Sent with its image reference and appearance instead of as a plain tracked object. */
    bool bestShot = false;
};

struct SceneEvent {
    SceneEventKind kind = SceneEventKind::tampering;
    int slot = -1;          // The line or region; -1 for the others.
    int32_t objectId = 0;   // Region events.
    int count = 0;          // Line counting: the line's count after the crossing.
    std::string parameter;  // Settings changes: the parameter written.
};

struct SceneDocument {
    int64_t offsetUs = 0;  // From the first document.
    std::string xml;
    std::vector<SceneObject> objects;
    std::vector<SceneEvent> events;
};

struct SceneTruth {
    struct Track {
        int32_t id = 0;
        SceneObjectKind kind = SceneObjectKind::person;
    };
    /** Every track seen in at least one document. */
    std::vector<Track> tracks;
    /** Crossings by line slot: the line's count at the end. */
    std::map<int, int> crossings;
    /** Events by kind, settings changes left out (they depend on the caller's writes). */
    std::map<SceneEventKind, int> events;
};

class SceneGenerator {
public:
    static constexpr int kFrameWidth = 1920;
    static constexpr int kFrameHeight = 1080;

    explicit SceneGenerator(SceneOptions options);

    const SceneOptions& options() const { return m_options; }
    size_t documentCount() const { return m_events.size(); }
    int64_t offsetUs(size_t index) const;

    /**
     * Document `index` (below documentCount()), with one AI-settings-changed event per parameter
     * in `settingsWrites`.
     */
    SceneDocument document(size_t index, const std::vector<std::string>& settingsWrites = {}) const;

    const SceneTruth& truth() const { return m_truth; }

private:
    struct Keyframe {
        double t;
        double x, y;  // The foot point in pixels.
    };
    struct Track {
        int32_t id;
        SceneObjectKind kind;
        std::vector<Keyframe> path;
        size_t bestShotDocument;
        uint32_t look;  // Chooses colours and accessories of the best shot.
    };

    void planTracks();
    void computeEvents();
    double timeOf(size_t index) const;
    // The object of a track at time t, if it is in the picture.
    bool place(const Track& track, double t, SceneObject* object) const;
    void appendObject(std::string& xml, const Track& track, const SceneObject& object,
                      int64_t timeUs) const;

    SceneOptions m_options;
    std::vector<Track> m_tracks;
    std::vector<std::vector<SceneEvent>> m_events;  // By document.
    SceneTruth m_truth;
};

}  // namespace lumo_camera
