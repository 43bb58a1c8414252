#version 150
// The engine's quad: in_Position (xy, 0..1 across, 0..-1 down) placed by pos and scale.
in vec3 in_Position;
in vec2 in_UV0;
uniform vec2 pos;
uniform vec2 scale;
out vec2 uv;
void main()
{
    uv = in_UV0;
    gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0);
}
