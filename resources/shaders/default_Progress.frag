#version 150
uniform float scale;
in float fill;
out vec4 fragColor;

void main()
{
    // Done part bright, the rest a dim track.
    fragColor = fill <= scale ? vec4(0.85, 0.88, 0.92, 1.0) : vec4(0.12, 0.13, 0.15, 1.0);
}
