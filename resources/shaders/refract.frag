#version 150
// The scene behind the cylinder ("texture0", the composed frame) seen through it: each
// pixel reads the frame displaced by the surface normal and by three layers of the
// scrolling "noise", tinted as glass, with a bright rim where the surface turns away.
uniform sampler2D texture0;
uniform sampler2D noise;
uniform vec2 screen;
uniform vec2 noise_scroll0;
uniform vec2 noise_scroll1;
uniform vec2 noise_scroll2;
in vec3 normal;
in vec3 viewPosition;
in vec2 uv;
out vec4 fragColor;

void main()
{
    vec3 n = normalize(normal);
    vec3 toEye = normalize(-viewPosition);
    vec2 wobble = vec2(texture(noise, uv * 2.0 + noise_scroll0).r, texture(noise, uv * 3.0 + noise_scroll1).g) +
                  texture(noise, uv * 5.0 + noise_scroll2).rg * 0.5 - 0.75;
    vec2 at = gl_FragCoord.xy / screen + n.xy * 0.06 + wobble * 0.03;
    // Split the colours a little: glass bends blue more than red.
    vec3 behind = vec3(texture(texture0, at * 1.0).r, texture(texture0, at + n.xy * 0.004).g,
                       texture(texture0, at + n.xy * 0.008).b);
    float rim = pow(1.0 - max(dot(n, toEye), 0.0), 3.0);
    fragColor = vec4(behind * vec3(0.85, 0.95, 1.0) + vec3(0.55, 0.7, 0.9) * rim, 1.0);
}
