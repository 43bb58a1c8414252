#version 150
// The title quad (-0.5..0.5), scaled about the screen centre and moved by pos.
in vec3 in_Position;
in vec2 in_UV0;
uniform vec2 pos;
uniform vec2 scale;
out vec2 uv;

void main()
{
    uv = in_UV0;
    gl_Position = vec4(in_Position.xy * scale + pos, 0.0, 1.0);
}
