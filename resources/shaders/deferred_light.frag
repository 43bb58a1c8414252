#version 150
#include deferred_lighting.glsl
#ifdef DIRECTIONAL_LIGHT
uniform vec3 lightDirection;
// A second full-screen light drawn in the same pass (black when there is none).
uniform vec3 lightDirection2;
uniform vec4 color2;
#else
uniform mat4 projM;
uniform vec3 lightPos;
uniform float lightRadius;
#endif
#ifdef CONE_LIGHT
uniform vec3 lightDirection;
uniform float FallOff;
uniform float LinearAttenuation;
#endif

void main()
{
    lightOut = vec4(0.0);
#ifdef DIRECTIONAL_LIGHT
    // A full-screen light has no projection of its own; the view ray only steers the
    // highlight, so the production's field of view (50 degrees) is close enough.
    float yScale = 1.0 / tan(radians(25.0));
    float xScale = yScale * screensize.y / screensize.x;
#else
    float xScale = projM[0][0];
    float yScale = projM[1][1];
#endif
    Surface s;
    if (!readPosition(xScale, yScale, s))
        return;
#ifdef DIRECTIONAL_LIGHT
    // A surface facing away from a light gets nothing from it: shade() gives 0 there (no
    // diffuse, so no highlight either), and a black second light adds 0. No discard and no
    // branch around the material: a CPU rasteriser runs both sides of a branch for every
    // pixel, and a program that may discard is slower for every pixel it draws.
    readMaterial(s);
    vec3 light = shade(s, -normalize(lightDirection), color.rgb) + shade(s, -normalize(lightDirection2), color2.rgb);
    lightOut = vec4(light, 1.0);
#else
    vec3 toLight = lightPos - s.position;
    float distance = length(toLight);
    // Most of a light's volume on screen lies beyond its reach: leave before the material.
    if (distance >= lightRadius)
        return;
    toLight /= max(distance, 1e-5);
#ifdef CONE_LIGHT
    // Soft edge inside the cone; LinearAttenuation dims it with distance along the axis.
    float axis = dot(-toLight, normalize(lightDirection));
    if (axis <= FallOff)
        return;
    float reach = distance / lightRadius;
    float strength = clamp((axis - FallOff) / max((1.0 - FallOff) * 0.3, 1e-4), 0.0, 1.0) *
                     (1.0 - reach * reach * reach * reach) / (1.0 + max(LinearAttenuation, 0.0) * reach * 2.0);
#else
    float strength = rangeFalloff(distance, lightRadius);
#endif
    readMaterial(s);
    lightOut = vec4(shade(s, toLight, color.rgb) * strength, 1.0);
#endif
}
