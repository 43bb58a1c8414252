#version 150
#include deferred_lighting.glsl
uniform mat4 projM;
uniform vec3 lightPos;
uniform float lightRadius;
// The lamp's shade: the direction from the light to the surface, turned by
// "objectMatrix" from view space into the cube map's frame, picks the colour.
uniform samplerCube cubeMap;
uniform mat4 objectMatrix;

void main()
{
    Surface s;
    lightOut = vec4(0.0);
    if (!readPosition(projM[0][0], projM[1][1], s))
        return;
    vec3 toLight = lightPos - s.position;
    float distance = length(toLight);
    if (distance >= lightRadius)
        return;
    toLight /= max(distance, 1e-5);
    vec3 shadeColour = texture(cubeMap, mat3(objectMatrix) * -toLight).rgb;
    readMaterial(s);
    lightOut = vec4(shade(s, toLight, color.rgb * shadeColour) * rangeFalloff(distance, lightRadius), 1.0);
}
