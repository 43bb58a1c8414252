#version 150
// A glow facing the camera: "ModelViewM" puts the quad at the light with no rotation,
// so it always faces the viewer; the half-size quad is enlarged to the glow's size.
in vec3 in_Position;
in vec2 in_UV0;
uniform mat4 ProjM;
uniform mat4 ModelViewM;
out vec2 uv;

const float spriteSize = 5.0;

void main()
{
    uv = in_UV0;
    gl_Position = ProjM * ModelViewM * vec4(in_Position.xy * spriteSize, 0.0, 1.0);
}
