// Rect: a box in fractions of the frame (0..1): x, y, width, height. The default box is all -1.
#pragma once

namespace qo::sdk::analytics {

struct Rect {
    Rect() = default;
    Rect(float x, float y, float width, float height) : x(x), y(y), width(width), height(height) {}

    bool operator==(const Rect& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }

    float x = -1.0F;
    float y = -1.0F;
    float width = -1.0F;
    float height = -1.0F;
};

}  // namespace qo::sdk::analytics
