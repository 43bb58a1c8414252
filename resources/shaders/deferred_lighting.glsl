// Shared by the light programs: the G-buffer and the material table at this pixel and
// the view-space position rebuilt from the depth buffer (the surface's response to one
// light is deferred_shade.glsl's). The light pass binds "diffuseBuffer" (0),
// "depthBuffer" (1), "normalBuffer" (2) and "materialBuffer" (3, four texels per
// material row: parameters A and B, the second colour that lights as specular with the
// exponent in alpha, the exponent) and sets "screensize" and "ProjConst" =
// (f / (f - n), f n / (n - f)) of the camera's projection.
uniform sampler2D diffuseBuffer;
uniform sampler2D depthBuffer;
uniform sampler2D normalBuffer;
uniform sampler2D materialBuffer;
uniform vec2 screensize;
uniform vec2 ProjConst;
uniform vec4 color;

out vec4 lightOut;

#include deferred_shade.glsl

vec2 screenUV() { return gl_FragCoord.xy / screensize; }
// The light buffer has the G-buffer's size: its pixel is the G-buffer's texel, read
// unfiltered.
ivec2 gbufferTexel() { return ivec2(gl_FragCoord.xy); }

// View-space distance along -z of the stored depth.
float viewDistance(float depth) { return ProjConst.y / (depth - ProjConst.x); }

// The pixel's view-space position; false where nothing was drawn (the depth buffer is
// cleared to 1). The rest of the surface comes with readMaterial, once the light is
// known to reach the pixel.
bool readPosition(float xScale, float yScale, out Surface s)
{
    vec2 uv = screenUV();
    float depth = texelFetch(depthBuffer, gbufferTexel(), 0).r;
    float distance = viewDistance(depth);
    vec2 ndc = uv * 2.0 - 1.0;
    s.position = vec3(ndc.x * distance / xScale, ndc.y * distance / yScale, -distance);
    return depth < 1.0;
}

// The G-buffer stores n * 0.5 + 0.5 in eight bits a channel, and in alpha how much
// light the surface takes (the material's parameter B, as the table stores it).
void readNormal(inout Surface s)
{
    vec4 n = texelFetch(normalBuffer, gbufferTexel(), 0);
    s.normal = normalize(n.xyz * 2.0 - 1.0 + vec3(0.0, 0.0, 1e-5));
    s.diffuse = n.a;
}

// The rest of the surface, after readNormal.
void readAlbedoAndMaterial(inout Surface s)
{
    vec4 c = texelFetch(diffuseBuffer, gbufferTexel(), 0);
    s.albedo = c.rgb;
    int row = int(c.a * 255.0 + 0.5);
    // The second colour's alpha holds the exponent too: one read for both.
    vec4 second = texelFetch(materialBuffer, ivec2(1, row), 0);
    s.specular = second.rgb;
    s.exponent = max(second.a * 255.0, 1.0);
}

void readMaterial(inout Surface s)
{
    readNormal(s);
    readAlbedoAndMaterial(s);
}
