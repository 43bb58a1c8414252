#pragma once

// A timeline shaped like the production's: its eleven effect instances, each with the
// curves it reads, on start/stop ranges over the whole 3:51, with stub effects whose
// draw reads every curve at the frame's time and does no GL work. For measuring and
// checking the engine's own per-frame cost.

#include "Effect.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackStartStop.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace stubtimeline {

class StubEffect : public Effect {
public:
    explicit StubEffect(int curves)
    {
        TrackInterpolate* curve = nullptr;
        for (int i = 0; i < curves; ++i)
            addTrack("curve" + std::to_string(i), &curve);
    }
    void update(uint32_t) override { ++updates; }
    void draw(uint32_t timeMs, int32_t, FBO*) override
    {
        for (int i = 0; i < getTrackCount(); ++i)
            sum += getTrack(i)->getValue(timeMs);
        ++draws;
    }
    float sum = 0.0f;
    long updates = 0;
    long draws = 0;
};

struct StubTimeline {
    static constexpr uint32_t lengthMs = 231000;
    static constexpr uint32_t rowsPerSecond = 20;
    static constexpr uint32_t lengthRows = lengthMs / 1000 * rowsPerSecond;

    StubTimeline()
    {
        struct Instance {
            const char* name;
            int curves;
            uint32_t from, to; // rows, as fractions of the length in 1/20
        };
        // The camera and the grading run throughout; the scenes take turns; the rest
        // come and go.
        const Instance instances[] = {
            {"cameralens_effect", 7, 0, 20},  {"postprocess_effect", 6, 0, 20}, {"glow_effect", 3, 2, 17},
            {"radial_blur_effect", 2, 6, 9},  {"scene_1_effect", 4, 0, 4},      {"scene_2_effect", 4, 4, 8},
            {"scene_4_effect", 4, 8, 12},     {"scene_5_effect", 4, 12, 16},    {"scene_6_effect", 4, 16, 20},
            {"title_effect", 5, 0, 3},        {"warpspeed_effect", 3, 9, 11},
        };
        int priority = 0;
        for (const Instance& instance : instances) {
            effects.emplace_back(new StubEffect(instance.curves));
            StubEffect* effect = effects.back().get();
            for (int i = 0; i < effect->getTrackCount(); ++i) {
                TrackInterpolate* curve = effect->getTrack(i);
                // A key every two seconds with every kind of segment.
                for (uint32_t row = 0, k = 0; row <= lengthRows; row += 40, ++k)
                    curve->insertKey(InterpolateKey(row, static_cast<float>((k * 7 + i) % 11) / 10.0f, k % 5));
            }
            auto startStop = std::make_unique<TrackStartStop>(priority++);
            // Each span in two ranges with a gap, as cuts do.
            const uint32_t from = instance.from * lengthRows / 20, to = instance.to * lengthRows / 20;
            const uint32_t middle = from + (to - from) / 2;
            startStop->insertKey(StartStopKey(from, StartStopKey::Start, "staging0"));
            startStop->insertKey(StartStopKey(middle, StartStopKey::Stop));
            startStop->insertKey(StartStopKey(middle + 1, StartStopKey::Start, "screen"));
            startStop->insertKey(StartStopKey(to, StartStopKey::Stop));
            timeline.addEntry(instance.name, effect, std::move(startStop));
        }
        timeline.arrangeDrawOrder();
    }

    // Frame k of a run at 50 fps.
    void drawFrame(uint32_t k)
    {
        const uint32_t timeMs = (k * 20u) % lengthMs;
        timeline.drawFrame(timeMs, timeMs * rowsPerSecond / 1000u, 20);
    }

    std::vector<std::unique_ptr<StubEffect>> effects;
    TrackManager timeline;
};

} // namespace stubtimeline
