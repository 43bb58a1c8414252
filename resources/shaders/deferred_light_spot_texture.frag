#version 150
#include deferred_lighting.glsl
uniform mat4 projM;
uniform vec3 lightPos;
uniform vec3 lightDirection;
uniform float lightRadius;
uniform float FallOff;
uniform sampler2D spotTexture;
flat in mat4 viewToCone;

void main()
{
    Surface s;
    if (!readSurface(projM[0][0], projM[1][1], s)) {
        lightOut = vec4(0.0);
        return;
    }
    vec3 toLight = lightPos - s.position;
    float distance = length(toLight);
    toLight /= max(distance, 1e-5);
    // The unit cone opens along -z to a base of half-size 0.5 at z = -1.
    vec3 cone = (viewToCone * vec4(s.position, 1.0)).xyz;
    float depth = -cone.z;
    vec2 uv = cone.xy / max(depth, 1e-4) + 0.5;
    float inside = step(0.0, depth) * step(0.0, uv.x) * step(uv.x, 1.0) * step(0.0, uv.y) * step(uv.y, 1.0);
    vec4 picture = texture(spotTexture, uv);
    float axis = dot(-toLight, normalize(lightDirection));
    float edge = smoothstep(FallOff * 0.98, FallOff, axis) * 0.35 + 0.65;
    float strength = inside * edge * rangeFalloff(distance, lightRadius) * (0.25 + 0.75 * picture.a);
    lightOut = vec4(shade(s, toLight, color.rgb * picture.rgb) * strength, 1.0);
}
