#include "EditOverlay.h"

#include "BeatGrid.h"
#include "TrackManager.h"
#include "TrackStartStop.h"
#include "Transport.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int margin = 8;

// Cuts a line into pieces of at most width characters.
void wrap(const std::string& line, size_t width, std::vector<std::string>& out)
{
    if (line.empty() || width == 0) {
        out.push_back(line);
        return;
    }
    for (size_t at = 0; at < line.size(); at += width)
        out.push_back(line.substr(at, width));
}

} // namespace

EditOverlay::EditOverlay() = default;

void EditOverlay::setError(const std::string& source, const std::vector<std::string>& lines)
{
    if (lines.empty())
        errors.erase(source);
    else
        errors[source] = lines;
}

void EditOverlay::clearError(const std::string& source) { errors.erase(source); }

std::vector<std::string> EditOverlay::errorLines() const
{
    std::vector<std::string> lines;
    for (const auto& e : errors)
        lines.insert(lines.end(), e.second.begin(), e.second.end());
    return lines;
}

std::vector<std::string> EditOverlay::statusLines(const Transport& transport, const TrackManager* timeline,
                                                  double frame) const
{
    const uint32_t t = transport.getTimeMs();
    const BeatGrid& grid = transport.getGrid();
    const BeatGrid::Section* section = grid.sectionAt(t);
    std::vector<std::string> lines;
    lines.push_back(Transport::clockText(t) + "  row " + std::to_string(grid.rowAt(t)) + "  bar " +
                    grid.barBeatText(t) + (section ? "  " + section->name : std::string()) +
                    (transport.isPaused() ? "  PAUSED" : ""));
    lines.push_back("loop " + transport.loopText() + (transport.isLooping() ? " on" : " off"));
    char frameText[48];
    std::snprintf(frameText, sizeof frameText, "frame %.1f ms", frame);
    lines.push_back(frameText);
    if (!timeline)
        return lines;
    const uint32_t row = grid.rowAt(t);
    for (const EffectTracks* entry : timeline->getActiveEntries()) {
        std::string target = "screen";
        if (entry->startStop) {
            const StartStopKey* start = entry->startStop->getKey(entry->startStop->getRangeStartRow(row));
            if (start && start->isStart())
                target = start->target;
        }
        lines.push_back("  " + std::to_string(entry->startStop ? entry->startStop->getPriority() : -1) + " " +
                        entry->name + " -> " + target);
    }
    return lines;
}

void EditOverlay::draw(const Transport& transport, const TrackManager* timeline)
{
    const auto now = std::chrono::steady_clock::now();
    if (drawnBefore) {
        const double ms = std::chrono::duration<double, std::milli>(now - lastDraw).count();
        // Smoothed over about ten frames, so the figure can be read.
        frameMs = frameMs > 0.0 ? frameMs + (ms - frameMs) * 0.1 : ms;
    }
    lastDraw = now;
    drawnBefore = true;
    if (!shown || !text.isReady())
        return;

    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int lineHeight = text.lineHeight();
    const size_t columns = static_cast<size_t>(std::max(1, (viewport[2] - 2 * margin) / text.cellWidth()));

    // Every backing box of a block first, then its text: a box drawn after the line
    // above would cover that line's descenders and underscores.
    const int padding = 2;
    auto drawBlock = [&](const std::vector<std::string>& lines, size_t first, int top, const glm::vec4& colour) {
        int y = top;
        for (size_t i = first; i < lines.size(); ++i, y += lineHeight)
            text.drawBox(margin - padding, y - padding, text.textWidth(lines[i]) + 2 * padding,
                         text.textHeight(lines[i]) + 2 * padding, TextRenderer::backing);
        y = top;
        for (size_t i = first; i < lines.size(); ++i, y += lineHeight)
            text.drawText(lines[i], margin, y, colour);
        return y;
    };
    std::vector<std::string> status = statusLines(transport, timeline, frameMs);
    for (std::string& line : status)
        line = line.substr(0, columns);
    const int y = drawBlock(status, 0, margin, TextRenderer::white);

    std::vector<std::string> wrapped;
    for (const std::string& line : errorLines())
        wrap(line, columns, wrapped);
    // The last lines stay when there are more than fit below the status.
    const int room = std::max(0, (viewport[3] - margin - y) / lineHeight - 1);
    const size_t first = wrapped.size() > static_cast<size_t>(room) ? wrapped.size() - static_cast<size_t>(room) : 0;
    drawBlock(wrapped, first, viewport[3] - margin - static_cast<int>(wrapped.size() - first) * lineHeight,
              TextRenderer::red);
}
