#version 150
// A tunnel of star streaks: the screen in polar coordinates, the angle turning with
// zangle (seconds), depth 1 / distance scrolled by scroll; a second streak layer
// rushing ahead by accelerate, mixed in by speedlayer_alpha; all times intensity.
uniform sampler2D tex;
uniform sampler2D tex2;
uniform float scroll;
uniform float intensity;
uniform float zangle;
uniform float speedlayer_alpha;
uniform float accelerate;
in vec2 uv;
out vec4 fragColor;

void main()
{
    vec2 p = (uv - 0.5) * vec2(1.7778, 1.0);
    float r = max(length(p), 0.001);
    float around = atan(p.y, p.x) / 6.2831853 + zangle * 0.02;
    float depth = 0.25 / r;
    vec3 streaks = texture(tex, vec2(around, depth + scroll)).rgb;
    vec3 fast = texture(tex2, vec2(around * 2.0, depth * 0.5 + scroll * 2.0 + accelerate)).rgb;
    vec3 c = streaks + fast * speedlayer_alpha;
    // Dark at the vanishing point, so the streaks seem to come out of the distance.
    c *= smoothstep(0.02, 0.35, r);
    fragColor = vec4(c * intensity, 1.0);
}
