#include "scene_video.h"

#include <algorithm>
#include <cstring>

namespace lumo_camera {

namespace {

constexpr uint8_t kBackgroundY = 90, kBackgroundU = 128, kBackgroundV = 128;
constexpr int kLine = 6;  // Outline width in pixels; even, so the chroma planes line up.

struct Colour {
    uint8_t y, u, v;
};

Colour colourOf(SceneObjectKind kind) {
    switch (kind) {
        case SceneObjectKind::person:
            return {210, 100, 150};
        case SceneObjectKind::car:
            return {80, 200, 100};
        case SceneObjectKind::truck:
            return {170, 50, 180};
        case SceneObjectKind::bicycle:
            return {150, 60, 60};
        case SceneObjectKind::motorcycle:
            return {60, 110, 230};
    }
    return {255, 128, 128};
}

int evenClamp(float value, int limit) {
    const int pixel = static_cast<int>(std::max(0.0f, std::min(value, float(limit - 1))));
    return pixel & ~1;
}

}  // namespace

SceneVideo::SceneVideo() : m_frame(kFrameSize) {
    std::memset(m_frame.data(), kBackgroundY, kWidth * kHeight);
    std::memset(m_frame.data() + kWidth * kHeight, kBackgroundU, kWidth * kHeight / 4);
    std::memset(m_frame.data() + kWidth * kHeight * 5 / 4, kBackgroundV, kWidth * kHeight / 4);
}

void SceneVideo::fill(int left, int top, int right, int bottom, uint8_t y, uint8_t u, uint8_t v) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, kWidth - 1);
    bottom = std::min(bottom, kHeight - 1);
    if (left > right || top > bottom)
        return;
    for (int row = top; row <= bottom; ++row)
        std::memset(m_frame.data() + row * kWidth + left, y, right - left + 1);
    uint8_t* const planeU = m_frame.data() + kWidth * kHeight;
    uint8_t* const planeV = planeU + kWidth * kHeight / 4;
    for (int row = top / 2; row <= bottom / 2; ++row) {
        std::memset(planeU + row * (kWidth / 2) + left / 2, u, right / 2 - left / 2 + 1);
        std::memset(planeV + row * (kWidth / 2) + left / 2, v, right / 2 - left / 2 + 1);
    }
}

void SceneVideo::outline(const Box& b) {
    fill(b.left, b.top, b.right, b.top + kLine - 1, b.y, b.u, b.v);
    fill(b.left, b.bottom - kLine + 1, b.right, b.bottom, b.y, b.u, b.v);
    fill(b.left, b.top, b.left + kLine - 1, b.bottom, b.y, b.u, b.v);
    fill(b.right - kLine + 1, b.top, b.right, b.bottom, b.y, b.u, b.v);
}

void SceneVideo::draw(const std::vector<SceneObject>& objects) {
    for (Box box : m_drawn) {
        box.y = kBackgroundY;
        box.u = kBackgroundU;
        box.v = kBackgroundV;
        outline(box);
    }
    m_drawn.clear();
    for (const SceneObject& object : objects) {
        const Colour colour = colourOf(object.kind);
        Box box{evenClamp(object.left, kWidth),
                evenClamp(object.top, kHeight),
                evenClamp(object.right, kWidth) + 1,
                evenClamp(object.bottom, kHeight) + 1,
                colour.y,
                colour.u,
                colour.v};
        if (box.right - box.left < 2 * kLine || box.bottom - box.top < 2 * kLine)
            continue;
        outline(box);
        m_drawn.push_back(box);
    }
}

}  // namespace lumo_camera
