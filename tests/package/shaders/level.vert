#version 150
in vec3 in_Position;
uniform vec2 pos;
uniform vec2 scale;
void main()
{
    gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0);
}
