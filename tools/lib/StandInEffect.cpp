#include "StandInEffect.h"

void StandInEffect::draw(uint32_t, int32_t, FBO*) {}

Effect* StandInEffect::create() { return new StandInEffect(); }
