#version 150
uniform float level;
out vec4 fragColor;
void main()
{
    fragColor = vec4(level, 0.5, 1.0 - level, 1.0);
}
