#pragma once

struct Production;

// Glass Hall as its programs see it: its names, its resource definition, shader cache
// and loading screen, the setup dialog's logo and its sync script and score.
namespace GlassHallProduction {
const Production& get();
}
