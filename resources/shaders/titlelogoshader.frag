#version 150
// The title typed out from its five frames (each shows a little more of it): the effect
// picks the two frames of the moment, "image1" and the one after it, "image2", and how
// far the cross-fade between them has gone; "fade" is the brightness. Choosing the frames
// on the CPU keeps the pass at two reads a pixel: a choice made in the program would run
// every branch's read for every pixel.
uniform sampler2D image1;
uniform sampler2D image2;
uniform float crossFade;
uniform float fade;
in vec2 uv;
out vec4 fragColor;

void main()
{
    vec4 a = texture(image1, uv);
    vec4 b = texture(image2, uv);
    vec3 c = mix(a.rgb * a.a, b.rgb * b.a, crossFade);
    fragColor = vec4(c * fade, 1.0);
}
