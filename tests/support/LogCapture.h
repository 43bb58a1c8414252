#pragma once

#include <string>

// What the engine logs between captureLog() and capturedLog(), for tests that check
// what it said: the engine's log sink is switched to a string and back (standard output
// itself is left alone). Calls pair up and do not nest.
void captureLog();
std::string capturedLog();
