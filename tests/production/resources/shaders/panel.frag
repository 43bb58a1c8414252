#version 150
// The video texture holds Y, U and V in red, green and blue.
uniform sampler2D texture0;
in vec2 uv;
out vec4 fragColor;
void main()
{
    vec3 yuv = texture(texture0, uv).rgb - vec3(0.0625, 0.5, 0.5);
    float y = 1.164 * yuv.x;
    fragColor = vec4(y + 1.596 * yuv.z, y - 0.392 * yuv.y - 0.813 * yuv.z, y + 2.017 * yuv.y, 1.0);
}
