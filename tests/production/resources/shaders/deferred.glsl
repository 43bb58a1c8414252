// What the light shaders share: the G-buffer at this pixel.
uniform sampler2D diffuseBuffer;
uniform sampler2D depthBuffer;
uniform sampler2D normalBuffer;
uniform sampler2D materialBuffer;
uniform vec2 screensize;
uniform vec2 ProjConst;
uniform vec4 color;
out vec4 light;
vec2 screenUV() { return gl_FragCoord.xy / screensize; }
bool hasGeometry() { return texture(normalBuffer, screenUV()).a > 0.5; }
vec3 viewNormal() { return normalize(texture(normalBuffer, screenUV()).xyz * 2.0 - 1.0); }
// The material's row: texel 1 the specular colour, texel 2 the exponent.
int materialRow() { return int(texture(diffuseBuffer, screenUV()).a * 255.0 + 0.5); }
float viewDistance() { return ProjConst.y / (texture(depthBuffer, screenUV()).r - ProjConst.x); }
vec3 viewPosition(mat4 projection)
{
    vec2 ndc = screenUV() * 2.0 - 1.0;
    float distance = viewDistance();
    return vec3(ndc.x * distance / projection[0][0], ndc.y * distance / projection[1][1], -distance);
}
