#version 150
// The title typed out from its five frames (each shows a little more of it): as fade
// rises from 0 to 2 the frames follow one another, cross-fading, and the last one, the
// whole title, stays; fading out runs the typing backwards.
uniform sampler2D image1;
uniform sampler2D image2;
uniform sampler2D image3;
uniform sampler2D image4;
uniform sampler2D image5;
uniform float fade;
in vec2 uv;
out vec4 fragColor;

vec3 frame(float i)
{
    vec4 c;
    if (i < 0.5)
        c = texture(image1, uv);
    else if (i < 1.5)
        c = texture(image2, uv);
    else if (i < 2.5)
        c = texture(image3, uv);
    else if (i < 3.5)
        c = texture(image4, uv);
    else
        c = texture(image5, uv);
    return c.rgb * c.a;
}

void main()
{
    float t = clamp(fade * 0.5, 0.0, 1.0) * 4.0;
    float i = floor(t);
    vec3 c = mix(frame(i), frame(min(i + 1.0, 4.0)), t - i);
    fragColor = vec4(c * clamp(fade * 2.0, 0.0, 1.0), 1.0);
}
