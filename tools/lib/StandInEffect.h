#pragma once

#include "Effect.h"

// An effect that only carries its curves: tools load and step timelines without a
// production, so nothing is drawn.
class StandInEffect : public Effect {
public:
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;
    Effect* create() override;
};
