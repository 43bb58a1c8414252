#pragma once

#include "Status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The sound layer's decoders: a whole WAV (8, 16, 24 or 32-bit PCM, 32-bit float) or MP3
// file in memory to 16-bit interleaved stereo at its own rate. The MP3 decoder removes
// the encoder's delay and padding that the file records, so sample 0 is the first sample
// the encoder was given.
namespace SoundDecoder {

struct Decoded {
    int rate = 0;
    std::vector<int16_t> samples; // interleaved stereo
};

// WAV when the data starts with "RIFF", MP3 otherwise. out holds the sound on success.
Status decode(const uint8_t* data, size_t size, Decoded& out);

// v rounded to the nearest 16-bit sample, saturating.
int16_t clamp16(double v);

} // namespace SoundDecoder
