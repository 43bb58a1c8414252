#pragma once

#include "TextRenderer.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

class TrackManager;
class Transport;

// The live-editing overlay: where the demo stands (time code, row, bar.beat, section,
// loop, frame time, pause), the effects the timeline drew this frame in drawing order
// with their targets, and at the bottom, in red, the errors of the files being edited
// until they are fixed. Drawn with the engine's text renderer over the finished frame.
class EditOverlay {
public:
    // Needs the GL context the frame is drawn in, as the text renderer does.
    EditOverlay();

    void setVisible(bool visible) { shown = visible; }
    bool isVisible() const { return shown; }
    void toggle() { shown = !shown; }

    // The error lines of one source (a sync script, a shader program), shown until the
    // source's errors are cleared; setting them again replaces them.
    void setError(const std::string& source, const std::vector<std::string>& lines);
    void clearError(const std::string& source);
    bool hasErrors() const { return !errors.empty(); }
    // Every error line, sources in name order.
    std::vector<std::string> errorLines() const;

    // The status lines for the transport's time, the timeline's active effects (none
    // without a timeline) and a frame time in ms.
    std::vector<std::string> statusLines(const Transport& transport, const TrackManager* timeline,
                                         double frameMs) const;

    // Draws the overlay into the current viewport when it is visible; call once a frame
    // after the timeline drew. The frame time is the wall-clock time between calls,
    // averaged, so it shows while the demo is paused too.
    void draw(const Transport& transport, const TrackManager* timeline);

    TextRenderer& getTextRenderer() { return text; }

private:
    TextRenderer text;
    bool shown = true;
    std::map<std::string, std::vector<std::string>> errors;
    std::chrono::steady_clock::time_point lastDraw;
    bool drawnBefore = false;
    double frameMs = 0.0;
};
