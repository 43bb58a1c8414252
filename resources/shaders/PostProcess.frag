#version 150
// The final grade. Every control is neutral at 0, so an unkeyed curve leaves the image
// alone: distortion (a 1D noise shifting rows sideways, scrolling down the screen),
// chromatic aberration (red and blue pulled apart by that many texels), brightness and
// contrast, negative, fade to a colour, film noise and a vignette that darkens from
// vignett_radius (distance from the centre, 0 = none) outwards. The overlay pictures are
// blended over afterwards, only where they show.
// Compiled in variants (ShaderVariants): DISTORT keeps its texture read out of the
// passes that do not use it; ALIGNED, for a picture of the target's size read without
// distortion and pulled apart by whole texels, fetches its texels unfiltered (each read
// falls on a texel's centre, so the result is the same); SCREEN lays "soft" over "image"
// with a screen blend, 1 - (1 - soft)(1 - image), as it reads it: the glow's and the
// radial blur's last pass, taken into the grade when it follows them: each channel of
// "soft" read where that channel of the image was. ALIGNED with SCREEN, "soft" comes
// already pulled apart as the aberration pulls the image (red read "aberration" texels
// to the right, blue to the left: PostProcessEffect::splitSoft) and as wide as the
// image, so one read at the pixel's centre gives what three did. The plain program
// has the distortion and filters, and no SCREEN (the grade draws the blend first where
// that variant is missing).
#ifndef SHADER_VARIANT
#define DISTORT
#endif
#ifdef SCREEN
uniform sampler2D soft;
#endif
uniform sampler2D image;
uniform sampler1D distortmap;
uniform float distort_amount;
uniform float distort_scroll;
uniform float image_size;
uniform float aberration;
// Brightness, contrast, negative, fade and the grain's centring folded into one gain and
// offset (PostProcessEffect::gradeAffine).
uniform float grade_gain;
uniform vec3 grade_offset;
uniform float vignett_radius;
uniform sampler2D noise;
uniform float noise_offset;
uniform float noise_strength;
in vec2 uv;
out vec4 fragColor;

void main()
{
    vec2 p = uv;
#ifdef DISTORT
    float shift = texture(distortmap, fract(p.y * 0.5 + distort_scroll)).r - 0.5;
    p.x += shift * distort_amount * 0.1;
#endif

    vec3 c;
#ifdef ALIGNED
    ivec2 size = textureSize(image, 0);
    ivec2 q = ivec2(uv * vec2(size));
    ivec2 split = ivec2(int(aberration), 0);
    ivec2 qr = clamp(q + split, ivec2(0), size - 1);
    ivec2 qb = clamp(q - split, ivec2(0), size - 1);
    c.r = texelFetch(image, qr, 0).r;
    c.g = texelFetch(image, q, 0).g;
    c.b = texelFetch(image, qb, 0).b;
#ifdef SCREEN
    vec3 a = texture(soft, (vec2(q) + 0.5) / vec2(size)).rgb;
#endif
#else
    vec2 split = vec2(aberration / image_size, 0.0);
    c.r = texture(image, p + split).r;
    c.g = texture(image, p).g;
    c.b = texture(image, p - split).b;
#ifdef SCREEN
    vec3 a = vec3(texture(soft, p + split).r, texture(soft, p).g, texture(soft, p - split).b);
#endif
#endif

#ifdef SCREEN
    c = 1.0 - (1.0 - clamp(a, 0.0, 1.0)) * (1.0 - clamp(c, 0.0, 1.0));
#endif

    vec3 grain = texture(noise, fract(p * vec2(3.2, 1.8) + vec2(noise_offset * 7.0, noise_offset * 3.0))).rgb;
    c = c * grade_gain + grain * noise_strength + grade_offset;

    if (vignett_radius > 0.0) {
        float d = length((uv - 0.5) * vec2(1.7778, 1.0));
        c *= 1.0 - smoothstep(vignett_radius, vignett_radius + 0.6, d);
    }
    c = clamp(c, 0.0, 1.0);
    fragColor = vec4(c, 1.0);
}
