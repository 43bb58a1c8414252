#version 150
// A zoom blur towards the centre: 1 / alpha.y samples of the image, each shrunk a
// little more about the centre (zoomFactor.x the first scale, zoomFactor.y the shrink
// over the whole streak), averaged and multiplied; alpha.x is the result's alpha.
uniform sampler2D image;
uniform vec2 zoomFactor;
uniform vec2 alpha;
uniform float multiply;
in vec2 uv;
out vec4 fragColor;

void main()
{
    int samples = int(clamp(floor(1.0 / alpha.y + 0.5), 1.0, 64.0));
    vec2 fromCentre = uv - vec2(0.5);
    vec3 sum = vec3(0.0);
    for (int i = 0; i < samples; ++i) {
        float scale = zoomFactor.x - zoomFactor.y * 12.0 * float(i) / float(samples);
        sum += texture(image, vec2(0.5) + fromCentre * scale).rgb;
    }
    fragColor = vec4(sum / float(samples) * multiply, alpha.x);
}
