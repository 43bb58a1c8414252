#pragma once

struct Production;

// The production as its two programs (main.cpp, capture.cpp) hand it to the engine.
const Production& demoProduction();
