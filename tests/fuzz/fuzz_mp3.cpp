// The sound layer's MP3 path on arbitrary bytes, through the public calls: the decoder
// reads the memory block through the layer's own reader and seek callbacks, damaged
// frames end the stream or fail the load, and whatever is accepted plays, seeks and
// gives a spectrum. Inputs that start like a WAV file belong to the WAV fuzzer.
#include "SoundFuzz.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0)
        return 0;
    soundfuzz::loadAndPlay(data, size);
    return 0;
}
