#version 150
// The shared full-screen quad, already in clip space.
in vec3 in_Position;
in vec2 in_UV0;
out vec2 uv;

void main()
{
    uv = in_UV0;
    gl_Position = vec4(in_Position.xy, 0.0, 1.0);
}
