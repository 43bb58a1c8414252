#version 150
// The title from its five frames, stacked with a little depth between them: as the
// title grows (scale), the farther frames lag behind, so the layers spread apart.
uniform sampler2D image1;
uniform sampler2D image2;
uniform sampler2D image3;
uniform sampler2D image4;
uniform sampler2D image5;
uniform vec2 scale;
uniform float fade;
in vec2 uv;
out vec4 fragColor;

vec3 layer(sampler2D frame, float depth)
{
    float lag = 1.0 + depth * 0.06 * (scale.x - 1.0);
    vec2 p = (uv - 0.5) * lag + 0.5;
    if (p.x < 0.0 || p.x > 1.0 || p.y < 0.0 || p.y > 1.0)
        return vec3(0.0);
    vec4 c = texture(frame, p);
    return c.rgb * c.a;
}

void main()
{
    vec3 c = layer(image1, 0.0) + layer(image2, 1.0) * 0.8 + layer(image3, 2.0) * 0.6 +
             layer(image4, 3.0) * 0.45 + layer(image5, 4.0) * 0.3;
    fragColor = vec4(c * 0.5 * fade, 1.0);
}
