#version 150
// A zoom blur towards the centre: 1 / alpha.y samples of the image, each shrunk a
// little more about the centre (zoomFactor.x the first scale, zoomFactor.y the shrink
// over the whole streak), averaged and multiplied; alpha.x is the result's alpha.
// Each pixel starts its samples a little further along the streak than its neighbour,
// so a few samples give a smooth streak with a fine grain rather than bands.
uniform sampler2D image;
uniform vec2 zoomFactor;
uniform vec2 alpha;
uniform float multiply;
in vec2 uv;
out vec4 fragColor;

void main()
{
    int samples = int(clamp(floor(1.0 / alpha.y + 0.5), 1.0, 64.0));
    float jitter = fract(52.9829189 * fract(dot(gl_FragCoord.xy, vec2(0.06711056, 0.00583715))));
    vec2 fromCentre = uv - vec2(0.5);
    vec3 sum = vec3(0.0);
    for (int i = 0; i < samples; ++i) {
        float scale = zoomFactor.x - zoomFactor.y * 12.0 * (float(i) + jitter) / float(samples);
        sum += texture(image, vec2(0.5) + fromCentre * scale).rgb;
    }
    fragColor = vec4(sum / float(samples) * multiply, alpha.x);
}
