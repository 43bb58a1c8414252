#version 150
// A picture over the whole target; the caller blends it by its alpha.
uniform sampler2D image;
in vec2 uv;
out vec4 fragColor;

void main()
{
    fragColor = texture(image, uv);
}
