// OnvifDocumentWriter: the pieces of a metadata document in the camera's own dialect, each a
// function that returns its markup, nested by passing one piece into the next:
//
//   document(frame(transformation(2.0 / 1920, -2.0 / 1080) +
//                  object(7, shape(10, 20, 110, 220) + classType("Human"))) +
//            event(kTopicTampering, {{"Source", "VideoSourceToken-0"}}, {{"State", "true"}}))
//
// The scene generator writes its stream with it; tests and benchmarks write the
// documents they feed with it, so there is one place that knows how the camera spells things.
// A piece takes any text as its content: a test may put something the camera never sends inside.
//
// Threading: free functions without state; call from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumo_camera::onvif {

inline constexpr char kTopicCounter[] = "tns1:RuleEngine/CountAggregation/Counter";
inline constexpr char kTopicRegion[] = "tns1:RuleEngine/ObjectDetection/vndObjectEx";
inline constexpr char kTopicTampering[] = "tns1:VideoSource/GlobalSceneChange/AnalyticsService";
inline constexpr char kTopicSettingChanged[] = "tns1:AI/AppSettingChanged";

inline constexpr char kFrameTime[] = "2024-05-14T09:21:07.512Z";
inline constexpr char kEventTime[] = "2024-05-14T09:21:07.600Z";
inline constexpr char kCaptureTime[] = "2024-05-14T09:21:07.480Z";

/** Microseconds since 1970 as the camera writes a time: "2024-05-14T09:21:07.512Z". */
std::string utcTime(int64_t us);
/** Shortest text that reads back as the same float. */
std::string number(double value);

/** The whole document around `body`, with every namespace the camera declares. */
std::string document(const std::string& body);
std::string frame(const std::string& content, const std::string& time = kFrameTime);
/** Translation (-1, 1) and the given scale: pixels to the normalised frame. */
std::string transformation(double scaleX, double scaleY);
std::string object(int64_t id, const std::string& appearance);

/** A bounding box, with its centre of gravity when `centre`. */
std::string shape(double left, double top, double right, double bottom, bool centre = false);
std::string classType(const std::string& type, const std::string& likelihood = "0.9");
std::string vehicleInfo(const std::string& type, const std::string& likelihood = "0.8",
                        const std::string& parts = "");
/** One colour cluster: luma, the two colour differences and the cluster's weight. */
std::string colourCluster(int y, int u, int v, const std::string& weight = "0.8");
/** A "tt:Color" of one or more clusters. */
std::string colour(const std::string& clusters);
std::string imageRef(const std::string& url, const std::string& captureTime = kCaptureTime);

struct Face {
    std::string gender = "Male";
    bool eyewear = false, mask = false, hat = false, helmet = false;
};
std::string humanFace(const Face& face);

struct Body {
    std::string topCategory = "LongSleeve";
    std::string topColour;  // colour(...) markup; empty for none.
    std::string bottomCategory = "Trousers";
    std::string bottomColour;
    std::string bag = "Backpack";  // Empty for none.
};
std::string humanBody(const Body& body);

/** A simple item; without a name or a value the attribute is left out. */
using Item = std::pair<std::optional<std::string>, std::optional<std::string>>;
using Items = std::vector<Item>;
/** A notification; without a topic it has no "wsnt:Topic". */
std::string event(const std::optional<std::string>& topic, const Items& source = {},
                  const Items& data = {}, const std::string& time = kEventTime);

}  // namespace lumo_camera::onvif
