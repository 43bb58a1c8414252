// The full-screen quad of the composite programs: the shared centred quad is already in
// clip space; its texture coordinates address the G-buffer whatever the target's size.
in vec3 in_Position;
in vec2 in_UV0;
out vec2 uv;

void fullScreen()
{
    uv = in_UV0;
    gl_Position = vec4(in_Position.xy, 0.0, 1.0);
}
