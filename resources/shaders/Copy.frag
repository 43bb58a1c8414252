#version 150
// A plain copy of one image.
uniform sampler2D source;
in vec2 uv;
out vec4 fragColor;

void main()
{
    fragColor = texture(source, uv);
}
