#include "Effect.h"

#include "Assert.h"
#include "TrackInterpolate.h"

#include <iostream>

Effect::Effect() = default;
Effect::~Effect() = default;

void Effect::update(uint32_t) {}

void Effect::draw(uint32_t, int32_t, FBO*) { std::cout << "Fallback draw method! This should never happen!" << std::endl; }

void Effect::postDraw(uint32_t) {}

void Effect::init() {}

Effect* Effect::create() { return new Effect(); }

void Effect::setup() {}

void Effect::addTrack(const std::string& name, TrackInterpolate** out)
{
    tracks.push_back(std::make_unique<TrackInterpolate>(name));
    if (out)
        *out = tracks.back().get();
}

TrackInterpolate* Effect::getTrack(int index) const
{
    ORV_ASSERT(index >= 0 && index < getTrackCount());
    return tracks[index].get();
}
