#pragma once

#include "ProgressBar.h"

#include <memory>

class Texture;

// Glass Hall's loading screen: the title over a bar of ten segments that light up one
// tenth of the loading at a time, drawn from two pictures (Loader1: unlit, Loader2:
// lit) by its own "Progress" program read from the graphics directory.
class GlassHallProgressBar : public ProgressBar {
public:
    GlassHallProgressBar();
    ~GlassHallProgressBar() override;

    bool setup() override;
    void draw() override;

    // What draw sends as "progress": floor(count / total x 10) x 0.09 + 0.045.
    float barPosition() const;

private:
    std::unique_ptr<Texture> layer1;
    std::unique_ptr<Texture> layer2;
};
