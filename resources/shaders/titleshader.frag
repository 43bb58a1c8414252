#version 150
// A logo or credit picture, added to the target with its brightness times fade.
uniform sampler2D image;
uniform float fade;
in vec2 uv;
out vec4 fragColor;

void main()
{
    vec4 c = texture(image, uv);
    fragColor = vec4(c.rgb * c.a * fade, 1.0);
}
