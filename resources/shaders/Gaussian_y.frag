#version 150
// One direction of a separable Gaussian blur: 13 taps blur_radius texels apart at the
// widest, gained by adjustment, then brightness and contrast (0 and 0 leave it as is).
uniform sampler2D source;
uniform float blur_radius;
uniform float texture_size;
uniform float adjustment;
uniform float brightness;
uniform float contrast;
in vec2 uv;
out vec4 fragColor;

void main()
{
    const int taps = 6;
    vec2 step = vec2(0.0, 1.0) * (blur_radius / float(taps)) / texture_size;
    vec3 sum = vec3(0.0);
    float weights = 0.0;
    for (int i = -taps; i <= taps; ++i) {
        float x = float(i) / float(taps);
        float w = exp(-4.0 * x * x);
        sum += w * texture(source, uv + float(i) * step).rgb;
        weights += w;
    }
    vec3 c = sum / weights * adjustment;
    c = (c - 0.5) * (1.0 + contrast) + 0.5 + brightness;
    fragColor = vec4(max(c, 0.0), 1.0);
}
