#pragma once

#include <algorithm>

// A rectangle of the screen in fractions of its size, x to the right and y up as GL
// counts them: (0, 0) to (1, 1) is the whole screen.
struct ScreenArea {
    float x0 = 0.0f, y0 = 0.0f, x1 = 1.0f, y1 = 1.0f;

    bool isWhole() const { return x0 <= 0.0f && y0 <= 0.0f && x1 >= 1.0f && y1 >= 1.0f; }
    // Larger by margin on every side, within the screen.
    ScreenArea grown(float margin) const
    {
        return {std::max(0.0f, x0 - margin), std::max(0.0f, y0 - margin), std::min(1.0f, x1 + margin),
                std::min(1.0f, y1 + margin)};
    }
};
