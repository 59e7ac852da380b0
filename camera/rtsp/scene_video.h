// SceneVideo: the picture of the camera's video track, a 1920 x 1080 I420 frame of a plain
// background with every object of the scene outlined in a colour of its kind. Only what moved is
// drawn again: the outlines of the previous frame are painted over with the background first, so
// a frame costs the outlines, not the picture.
//
// Threading: not thread-safe; one owner draws and reads the frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene_generator.h"

namespace lumo_camera {

class SceneVideo {
public:
    static constexpr int kWidth = SceneGenerator::kFrameWidth;
    static constexpr int kHeight = SceneGenerator::kFrameHeight;
    static constexpr size_t kFrameSize = kWidth * kHeight * 3 / 2;

    SceneVideo();

    /** Replaces the outlines of the last frame by those of `objects`. */
    void draw(const std::vector<SceneObject>& objects);
    /** The I420 frame: the Y plane, then U and V at half width and height. */
    const std::vector<uint8_t>& frame() const { return m_frame; }

private:
    struct Box {
        int left, top, right, bottom;  // Pixels, inclusive, even, inside the frame.
        uint8_t y, u, v;
    };
    void outline(const Box& box);
    void fill(int left, int top, int right, int bottom, uint8_t y, uint8_t u, uint8_t v);

    std::vector<uint8_t> m_frame;
    std::vector<Box> m_drawn;
};

}  // namespace lumo_camera
