#pragma once

#include "ProgressBar.h"

// The engine's bar with a line per redraw, so the log shows every loading step and the
// fraction it displayed.
class TestLoadingScreen : public ProgressBar {
public:
    void draw() override;
};
