// The scene generator: crossings and events where the geometry puts them.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

#include "scene_generator.h"

namespace lumo_camera {
namespace {

TEST(SceneGeneratorTest, LinesCountEveryCrossingAndRegionsNameTheObjectsInside) {
    SceneOptions options;
    options.seconds = 30;
    options.lines = {{3, {{500, 0}, {500, 999}}}};
    options.regions = {{1, {{420, 700}, {700, 700}, {700, 999}, {420, 999}}}};
    const SceneGenerator generator(options), again(options);
    EXPECT_EQ(generator.document(99).xml, again.document(99).xml) << "the seed decides";

    std::map<int32_t, double> lastX;
    std::map<SceneEventKind, int> events;
    int crossings = 0;
    for (size_t i = 0; i < generator.documentCount(); ++i) {
        const auto document = generator.document(i);
        std::map<int32_t, std::pair<double, double>> feet;
        for (const auto& object : document.objects) {
            // Where the object stands, in the figure space of lines and regions.
            const double x = (object.left + object.right) / 2 * 1000 / SceneGenerator::kFrameWidth;
            feet[object.id] = {x, object.bottom * 1000 / SceneGenerator::kFrameHeight};
            if (lastX.count(object.id) && (lastX[object.id] < 500) != (x < 500))
                ++crossings;
            lastX[object.id] = x;
        }
        for (const auto& event : document.events) {
            ++events[event.kind];
            if (event.kind == SceneEventKind::lineCounting) {
                EXPECT_EQ(event.slot, 3);
                EXPECT_EQ(event.count, events[event.kind]) << "counts rise one by one";
            } else if (event.kind != SceneEventKind::tampering) {
                ASSERT_TRUE(feet.count(event.objectId)) << "events name objects in the frame";
                const auto [x, y] = feet[event.objectId];
                EXPECT_EQ(x > 420 && x < 700 && y > 700 && y < 999,
                          event.kind != SceneEventKind::exit)
                    << lumo_camera::sceneEventName(event.kind) << " of " << event.objectId;
            }
        }
    }
    EXPECT_GT(crossings, 10);
    EXPECT_EQ(crossings, generator.truth().crossings.at(3));
    EXPECT_EQ(events, generator.truth().events);
    EXPECT_EQ(events.size(), 7u) << "every kind but the settings change";
    EXPECT_EQ(events[SceneEventKind::tampering], 1);
}

}  // namespace
}  // namespace lumo_camera
