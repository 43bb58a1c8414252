#pragma once

// Shared by the sound layer's fuzzers: hands arbitrary bytes to an offline sound system
// as a memory block (the archive's way of loading music), then plays what was accepted:
// its length, seeks, the spectrum at a few positions. Loading failures print a line,
// which goes nowhere here.
#include "SoundSystem.h"

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <streambuf>

namespace soundfuzz {

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

inline void loadAndPlay(const uint8_t* data, size_t size)
{
    static SoundSystem* system = [] {
        SoundSystem* s = nullptr;
        if (SoundSystem::create(&s) != SoundOk || s->init(4, SoundSystem::InitOffline, nullptr) != SoundOk)
            std::abort();
        return s;
    }();
    static NullBuffer nowhere;
    std::streambuf* previous = std::cout.rdbuf(&nowhere);

    SoundCreateInfo info;
    info.size = sizeof info;
    info.length = static_cast<unsigned>(size);
    Sound* sound = nullptr;
    int result = system->createSound(reinterpret_cast<const char*>(data),
                                     SoundSystem::ModeSoftware | SoundSystem::ModeMemory, &info, &sound);
    std::cout.rdbuf(previous);
    if (result != SoundOk) {
        if (sound || (size > 0 && result != SoundErrFileBad))
            std::abort();
        return;
    }
    unsigned frames = 0, ms = 0;
    if (sound->getLength(&frames, SoundSystem::UnitFrames) != SoundOk || frames != sound->frameCount() ||
        frames == 0 || sound->getLength(&ms, SoundSystem::UnitMs) != SoundOk || sound->getSampleRate() <= 0)
        std::abort();
    SoundChannel* channel = nullptr;
    if (system->playSound(SoundSystem::ChannelFree, sound, true, &channel) != SoundOk)
        std::abort();
    float spectrum[64];
    for (unsigned position : {0u, frames / 2, frames - 1, frames + 100}) {
        channel->setPosition(position, SoundSystem::UnitFrames);
        unsigned at = 0;
        if (channel->getPosition(&at, SoundSystem::UnitFrames) != SoundOk || at > frames)
            std::abort();
        if (channel->getSpectrum(spectrum, 64, 0, SoundSystem::WindowHanning) != SoundOk)
            std::abort();
    }
    sound->release();
    system->update();
}

} // namespace soundfuzz
