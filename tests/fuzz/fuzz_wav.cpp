// The sound layer's RIFF WAV reader on arbitrary bytes, through the public calls: every
// chunk size is checked against the file, and whatever is accepted plays, seeks and
// gives a spectrum without reading outside its samples.
#include "SoundFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    soundfuzz::loadAndPlay(data, size);
    return 0;
}
