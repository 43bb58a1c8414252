#pragma once

#include "Projection.h"

#include <glm/glm.hpp>

// The window size and the choices of the setup dialog, with the 16:9 letterbox viewport
// the demo draws the screen into.
class ScreenMetrics {
public:
    ScreenMetrics() = default;

    void setSize(int width, int height);
    // Sets the size and recomputes the viewport.
    void resize(int width, int height);
    void setFullscreen(bool f) { fullscreen = f; }
    bool isFullscreen() const { return fullscreen; }
    // 0 "Low", 1 "Medium", 2 "High", 3 "Ultra".
    void setQuality(int q) { quality = q; }
    int getQuality() const { return quality; }

    // A letterbox of 16:9 across the full window width, centred vertically (it overhangs
    // the window when the window is wider than 16:9).
    void computeViewport();
    // Sets the GL viewport to the letterbox.
    void applyViewport();

    Projection& getProjection() { return projection; }
    const Projection& getProjection() const { return projection; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    float getFieldOfView() const { return fieldOfView; }
    const glm::mat4& getView() const { return view; }
    int getViewportX() const { return viewportX; }
    int getViewportY() const { return viewportY; }
    int getViewportWidth() const { return viewportWidth; }
    int getViewportHeight() const { return viewportHeight; }
    float getViewportAspect() const { return viewportAspect; }
    float getScaledWidth() const { return scaledWidth; }
    float getScaledHeight() const { return scaledHeight; }
    float getScaleX() const { return scaleX; }
    float getScaleY() const { return scaleY; }

private:
    Projection projection;
    int quality = 2;
    int height = 0;
    int width = 0;
    float fieldOfView = 0.0f;
    glm::mat4 view = glm::mat4(1.0f);
    int viewportX = 0;
    int viewportY = 0;
    int viewportHeight = 0;
    int viewportWidth = 0;
    float viewportAspect = 0.0f;
    float scaledWidth = 0.0f;
    float scaledHeight = 0.0f;
    bool fullscreen = true;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
};
