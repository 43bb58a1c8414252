#include "ORVAnimation.h"

ORVAnimation::ORVAnimation(const std::string& name) : name(name) {}
