#version 150
// The engine's default loading screen: a bar across the screen, filled up to "scale".
in vec3 in_Position;
out float fill;

void main()
{
    // 0 at the bar's left end, 1 at its right end.
    fill = in_Position.x * 0.5 + 0.5;
    gl_Position = vec4(in_Position.x * 0.9, in_Position.y, 0.0, 1.0);
}
