#include "ScreenMetrics.h"

#include <GL/glew.h>

void ScreenMetrics::setSize(int w, int h)
{
    width = w;
    height = h;
}

void ScreenMetrics::resize(int w, int h)
{
    setSize(w, h);
    computeViewport();
}

void ScreenMetrics::computeViewport()
{
    viewportX = 0;
    scaleX = 1.0f;
    fieldOfView = 50.0f;
    scaleY = 0.5625f;
    viewportWidth = width;
    viewportHeight = static_cast<int>(0.5625f * static_cast<float>(width));
    viewportY = static_cast<int>(static_cast<float>(height - viewportHeight) * 0.5f);
    // A window of zero width has no letterbox to speak of; keep the aspect finite.
    viewportAspect = viewportHeight > 0 ? static_cast<float>(width) / static_cast<float>(viewportHeight) : 0.0f;
}

void ScreenMetrics::applyViewport()
{
    scaledWidth = static_cast<float>(width) / scaleX;
    scaledHeight = static_cast<float>(height) / scaleY;
    glViewport(viewportX, viewportY, viewportWidth, viewportHeight);
}
