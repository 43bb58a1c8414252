// What every geometry program writes into the G-buffer: colour attachment 0 holds the
// surface colour with the material index (0..255) in alpha, attachment 1 (8 bits a
// channel) the view-space normal as n * 0.5 + 0.5 with the material's parameter B (how
// much light it takes, as the material table stores it) in alpha, so that a light pass
// reads it with the normal instead of from the table. Eight bits are enough for a normal
// that the light programs normalise again, and an 8-bit target costs llvmpipe far less
// to write and read than a float one. The light programs find "no geometry" by the
// cleared depth.
// Attachment 2 is the light buffer: the surface's colour under the ambient light plus its
// glow, colour x (ambient x B + A), where "MaterialLight" holds the material's parameters
// A (glow) and B (how much light it takes) as the material table stores them. The lights
// add theirs on top, so the light buffer ends as the finished picture and no composite
// pass has to read the G-buffer again.
#include deferred_ambient.glsl
uniform vec2 MaterialLight;
layout(location = 0) out vec4 gbufferColor;
layout(location = 1) out vec4 gbufferNormal;
layout(location = 2) out vec4 gbufferLit;

#ifdef FORWARD_LAMP
// FORWARD_LAMP: one point light whose shade is a cube map (scene 6's lamp) lit here, as
// the surface is drawn, instead of in a light pass of its own. Its reach covers the whole
// room, so that pass would read every pixel's depth, normal, colour and material back
// from the G-buffer; here they are at hand. It sees the surface as the light programs
// would read it back (the colour and normal at eight bits, the material as the table
// stores it: "MaterialLight" and "MaterialSecond" = second colour and exponent) and
// gives the same light (deferred_light_cube.frag). The light's uniforms, set once a
// frame: "lampPosition" (view space), "lampRadius", "lampColour", "lampShade" (the cube
// map), "lampTurn" (view space into the shade's axes), "lampProjection" = (projM[0][0],
// projM[1][1], ProjConst) and "lampScreen" (the G-buffer's size).
#include deferred_shade.glsl
uniform vec4 MaterialSecond;
uniform vec3 lampPosition;
uniform float lampRadius;
uniform vec4 lampColour;
uniform samplerCube lampShade;
uniform mat4 lampTurn;
uniform vec4 lampProjection;
uniform vec2 lampScreen;

vec3 lampLight(vec3 storedColour, vec3 storedNormal)
{
    Surface s;
    float distance = lampProjection.w / (gl_FragCoord.z - lampProjection.z);
    vec2 ndc = gl_FragCoord.xy / lampScreen * 2.0 - 1.0;
    s.position = vec3(ndc.x * distance / lampProjection.x, ndc.y * distance / lampProjection.y, -distance);
    vec3 toLight = lampPosition - s.position;
    float reach = length(toLight);
    toLight /= max(reach, 1e-5);
    s.albedo = storedColour;
    s.normal = normalize(storedNormal * 2.0 - 1.0 + vec3(0.0, 0.0, 1e-5));
    s.diffuse = MaterialLight.y;
    s.specular = MaterialSecond.rgb;
    s.exponent = max(MaterialSecond.a, 1.0);
    vec3 shadeColour = texture(lampShade, mat3(lampTurn) * -toLight).rgb;
    vec3 light = shade(s, toLight, lampColour.rgb * shadeColour) * rangeFalloff(reach, lampRadius);
    // What the light pass adds is stored at eight bits before it is added.
    return reach < lampRadius ? floor(clamp(light, 0.0, 1.0) * 255.0 + 0.5) / 255.0 : vec3(0.0);
}
#endif

void writeGBuffer(vec3 colour, float materialIndex, vec3 viewNormal)
{
    vec3 c = clamp(colour, 0.0, 1.0);
    gbufferColor = vec4(c, clamp(materialIndex, 0.0, 255.0) / 255.0);
    // A degenerate normal would light as NaN; it falls back to facing the viewer.
    float len = length(viewNormal);
    gbufferNormal = vec4((len > 1e-6 ? viewNormal / len : vec3(0.0, 0.0, 1.0)) * 0.5 + 0.5, MaterialLight.y);
    vec3 lit = c * (ambientLight * MaterialLight.y + MaterialLight.x);
#ifdef FORWARD_LAMP
    // The stored ambient light is eight bits too: the sum is what the light pass makes.
    lit = floor(clamp(lit, 0.0, 1.0) * 255.0 + 0.5) / 255.0 +
          lampLight(floor(c * 255.0 + 0.5) / 255.0, floor(gbufferNormal.xyz * 255.0 + 0.5) / 255.0);
#endif
    gbufferLit = vec4(lit, 1.0);
}
