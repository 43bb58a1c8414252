#version 150
// Brightness and contrast of one image; both 0 leave it as it is.
uniform sampler2D source;
uniform float brightness;
uniform float contrast;
in vec2 uv;
out vec4 fragColor;

void main()
{
    vec3 c = texture(source, uv).rgb;
    c = (c - 0.5) * (1.0 + contrast) + 0.5 + brightness;
    fragColor = vec4(max(c, 0.0), 1.0);
}
