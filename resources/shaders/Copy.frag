#version 150
// A plain copy of one image. SPLIT: each channel read where the grade's chromatic
// aberration puts it, red "shift" to the right, blue as far to the left (in the
// picture's texture coordinates): the soft picture the grade lays over its sharp one,
// pulled apart once into a buffer as wide as the picture, so the grade reads it once a
// pixel.
uniform sampler2D source;
#ifdef SPLIT
uniform float shift;
#endif
in vec2 uv;
out vec4 fragColor;

void main()
{
#ifdef SPLIT
    vec2 d = vec2(shift, 0.0);
    fragColor = vec4(texture(source, uv + d).r, texture(source, uv).g, texture(source, uv - d).b, 1.0);
#else
    fragColor = texture(source, uv);
#endif
}
