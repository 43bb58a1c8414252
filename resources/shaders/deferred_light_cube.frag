#version 150
#include deferred_lighting.glsl
uniform mat4 projM;
uniform vec3 lightPos;
uniform float lightRadius;
// The lamp's shade: the direction from the light to the surface, turned by
// "objectMatrix" from view space into the cube map's frame, picks the colour.
// WITH_AMBIENT: the pass also adds each surface's ambient light and glow, the composite's
// share, so that the light buffer holds the finished picture. Only for a light whose
// volume holds every drawn surface: a pixel it does not reach gets no ambient.
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
#ifndef WITH_AMBIENT
    if (distance >= lightRadius)
        return;
#endif
    toLight /= max(distance, 1e-5);
    vec3 shadeColour = texture(cubeMap, mat3(objectMatrix) * -toLight).rgb;
    readMaterial(s);
    // The fall-off is 0 from the radius on.
    vec3 light = shade(s, toLight, color.rgb * shadeColour) * rangeFalloff(distance, lightRadius);
#ifdef WITH_AMBIENT
    light += ambientAndGlow(s);
#endif
    lightOut = vec4(light, 1.0);
}
