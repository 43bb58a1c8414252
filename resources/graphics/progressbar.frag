#version 150
// The loading screen from its two pictures: layer1 is the screen with the bar's ten
// segments unlit, layer2 the same with them lit. progress steps in tenths (0.045 with
// nothing loaded, +0.09 per tenth, 0.945 when done); the lit picture shows over the
// segments done so far. The bar runs from 40/1024 of the width, 92/1024 a segment.
uniform sampler2D layer1;
uniform sampler2D layer2;
uniform float progress;
in vec2 uv;
out vec4 fragColor;

void main()
{
    float segments = floor((progress - 0.045) / 0.09 + 0.5);
    float litUpTo = 40.0 / 1024.0 + segments * (92.0 / 1024.0) + 0.002;
    vec4 unlit = texture(layer1, uv);
    vec4 lit = texture(layer2, uv);
    float fromTop = 1.0 - uv.y;
    float inBar = step(0.55, fromTop) * step(fromTop, 0.70);
    // The bar lights segment by segment; the title and the rest glow up with it.
    vec4 bar = mix(unlit, lit, step(uv.x, litUpTo));
    vec4 rest = mix(unlit, lit, clamp(progress, 0.0, 1.0));
    fragColor = vec4(mix(rest, bar, inBar).rgb, 1.0);
}
