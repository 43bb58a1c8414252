#include "DemoResources.h"

#include "GradientEffect.h"

#include <demosys/ORVDemosys.h>
#include <demosys/ShaderDeclaration.h>
#include <demosys/TimeCode.h>

void DemoResources::configure(ScreenMetrics*)
{
    // The demo ends when the music time passes endTime (minutes, seconds, ms).
    ORVDemosys::startTime = TimeCode(0, 0, 0);
    ORVDemosys::endTime = TimeCode(0, 10, 0);
}

void DemoResources::declareResources()
{
    // resources/shaders/gradient.vert and .frag, found by the alias "gradient".
    AddShader(ShaderDeclaration("gradient", "gradient"));
    // resources/sound/@NAME@.wav (MP3 works too).
    SetMusic("@NAME@.wav");
}

void DemoResources::declareEffects() { AddEffect("GradientEffect", new GradientEffect()); }

void DemoResources::createEffectInstances()
{
    // The instance's name is the effect's name in the sync script.
    CreateEffectInstance("GradientEffect", "gradient", true);
}
