#version 150
// Adds a faint mirror image of a sphere to the light buffer. "mask" (the G-buffer
// colour) limits it to the surface it lies on and tints it with that surface's colour;
// "lightBuffer" (a copy of the lit pixels) makes it brighter where the floor is lit;
// "color" is the reflection's own tint.
uniform sampler2D mask;
uniform sampler2D lightBuffer;
uniform vec2 screen;
uniform vec4 color;
in vec3 normal;
out vec4 fragColor;

void main()
{
    vec2 at = gl_FragCoord.xy / screen;
    vec3 floorColour = texture(mask, at).rgb;
    vec3 floorLight = texture(lightBuffer, at).rgb;
    vec3 n = normalize(normal);
    // Brightest where the sphere faces the viewer, like the lit sphere above it.
    float facing = 0.25 + 0.75 * abs(n.z);
    vec3 reflection = (floorColour * 0.5 + floorLight) * facing * 0.6;
    fragColor = vec4(reflection + color.rgb, 1.0) * color.a;
}
