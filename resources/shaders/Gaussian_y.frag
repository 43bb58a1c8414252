#version 150
// One direction of a separable Gaussian blur: 13 taps blur_radius texels apart at the
// widest, gained by adjustment, then brightness and contrast (0 and 0 leave it as is).
// Neighbouring taps are read in pairs, one filtered read between the two at their
// weighted mean, so the 13 taps cost 7 reads.
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
    vec3 sum = texture(source, uv).rgb;
    float weights = 1.0;
    for (int i = 1; i < taps; i += 2) {
        float a = float(i) / float(taps), b = float(i + 1) / float(taps);
        float wa = exp(-4.0 * a * a), wb = exp(-4.0 * b * b);
        float at = (wa * float(i) + wb * float(i + 1)) / (wa + wb);
        sum += (wa + wb) * (texture(source, uv + at * step).rgb + texture(source, uv - at * step).rgb);
        weights += 2.0 * (wa + wb);
    }
    vec3 c = sum / weights * adjustment;
    c = (c - 0.5) * (1.0 + contrast) + 0.5 + brightness;
    fragColor = vec4(max(c, 0.0), 1.0);
}
