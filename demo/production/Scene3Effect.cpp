#include "Scene3Effect.h"

void Scene3Effect::draw(uint32_t, int32_t, FBO*) {}
