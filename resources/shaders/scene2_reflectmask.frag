#version 150
// Adds a faint mirror image of a sphere to the ambient light. "mask" (the G-buffer
// colour) limits it to the surface it lies on and tints it with that surface's colour;
// "lightBuffer" (the lights alone, in a buffer of their own) makes it brighter where the
// floor is lit;
// "color" is the reflection's own tint.
uniform sampler2D mask;
uniform sampler2D lightBuffer;
uniform vec4 color;
in vec3 normal;
out vec4 fragColor;

void main()
{
    // Both have the light buffer's size: the texel under the pixel, read unfiltered (a
    // filtered read at the texel's centre gives the same value and costs more).
    ivec2 at = ivec2(gl_FragCoord.xy);
    vec3 floorColour = texelFetch(mask, at, 0).rgb;
    vec3 floorLight = texelFetch(lightBuffer, at, 0).rgb;
    vec3 n = normalize(normal);
    // Brightest where the sphere faces the viewer, like the lit sphere above it.
    float facing = 0.25 + 0.75 * abs(n.z);
    vec3 reflection = (floorColour * 0.5 + floorLight) * facing * 0.6;
    // The lights and the image together stop at white, as one 8-bit light buffer holding
    // both would: the image adds at most what the lights leave.
    fragColor = vec4(min((reflection + color.rgb) * color.a, max(1.0 - floorLight, 0.0)), color.a);
}
