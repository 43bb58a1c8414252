#pragma once

#include "NonCopyable.h"

#include <memory>
#include <string>
#include <vector>

class Shader;
class VAO;

// The loading screen: counts the loading steps and redraws the window after each one.
// A production may derive its own look; the engine falls back to this one.
class ProgressBar : NonCopyable {
public:
    ProgressBar();
    ProgressBar(int total, float halfHeight, float width, float left);
    virtual ~ProgressBar();

    // Redraws the screen with the current progress and swaps buffers.
    virtual void draw();
    // Builds the shader ("Progress", from default_Progress.vert/.frag) and the bar.
    // False, with the reason on standard output, when the shader cannot be built.
    virtual bool setup();

    void setTotal(int n) { total = n; }
    int getTotal() const { return total; }
    int getCount() const { return count; }
    float getProgress() const { return progress; }
    // One step: shows the fraction of the steps done before it. Extra steps are ignored.
    void advance();
    // Draws, then reads the window's pending events, so the window stays responsive
    // through a long load (input callbacks are not installed yet: keys do nothing).
    void show();

    // The resource files the loading screen reads itself (for the packing script).
    int getFileCount() const { return static_cast<int>(files.size()); }
    // index must be below getFileCount().
    const std::string& getFile(int index) const;

protected:
    // Lists a file the loading screen reads, once.
    void addFile(const std::string& path);

    std::unique_ptr<VAO> bar;
    std::unique_ptr<Shader> shader;
    float halfHeight = 0.125f;
    float width = 1.8f;
    float left = -0.9f;
    float progress = 0.0f;
    int total = 1;
    int count = 0;
    std::vector<std::string> files;
};
