#version 150
in vec2 uv;
uniform float mix_amount;
uniform float time;
out vec4 fragColor;
void main()
{
    vec3 dusk = mix(vec3(0.10, 0.05, 0.30), vec3(0.95, 0.45, 0.20), uv.y);
    vec3 dawn = mix(vec3(0.05, 0.30, 0.35), vec3(0.90, 0.90, 0.50), uv.x);
    vec3 colour = mix(dusk, dawn, clamp(mix_amount, 0.0, 1.0));
    // A soft band sweeping across once every two seconds.
    float band = 0.5 + 0.5 * sin(6.2831853 * (uv.x - time * 0.5));
    fragColor = vec4(colour * (0.75 + 0.25 * band), 1.0);
}
