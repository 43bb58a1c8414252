#version 150
uniform sampler2D image;
uniform float alpha;
in vec2 uv;
out vec4 fragColor;

void main()
{
    vec4 c = texture(image, uv);
    fragColor = vec4(c.rgb, c.a * clamp(alpha, 0.0, 1.0));
}
