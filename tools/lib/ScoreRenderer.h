#pragma once

#include "Status.h"
#include "Score.h"

#include <cstdint>
#include <string>
#include <vector>

// Synthesizes a Score: every play of every section becomes notes, each note a voice of
// its instrument (drums, subtractive bass, pads, lead and plucks, an FM electric piano,
// filtered noise), mixed with pan, ducking under the kick and sends into one reverb and
// one tempo-synced ping-pong delay. The mix is peak-normalised to the score's level.
// Everything, noise included, comes from the score's seed: the same score gives the
// same samples.
class ScoreRenderer {
public:
    static constexpr int sampleRate = 44100;

    explicit ScoreRenderer(const Score& score);

    // Renders bars fromBar..toBar (0: to the last bar) plus the score's tail into
    // interleaved stereo samples in -1..1. Sample 0 is the start of fromBar.
    void render(std::vector<float>& stereo, int fromBar = 1, int toBar = 0);

    // Of the last render: the mix's peak before normalising and the gain applied.
    double peakBeforeNormalize() const { return rawPeak; }
    double normalizeGain() const { return gain; }
    size_t noteCount() const { return notes; }

    // 16-bit stereo PCM WAV at sampleRate, with triangular dither from seed.
    static Status writeWav(const std::string& path, const std::vector<float>& stereo, uint32_t seed);

private:
    const Score& score;
    double rawPeak = 0;
    double gain = 1;
    size_t notes = 0;
};
