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
    // A surface facing away from the light gets nothing from it (no diffuse, so no
    // highlight either). A full-screen light meets many such pixels; dropping them before
    // the material is read lets whole blocks of them skip the rest of the program.
    vec3 toLight = -normalize(lightDirection);
    vec3 toLight2 = -normalize(lightDirection2);
    bool second = any(greaterThan(color2.rgb, vec3(0.0)));
    readNormal(s);
    bool lit = dot(s.normal, toLight) > 0.0;
    bool lit2 = second && dot(s.normal, toLight2) > 0.0;
    if (!lit && !lit2)
        discard;
    readAlbedoAndMaterial(s);
    vec3 light = lit ? shade(s, toLight, color.rgb) : vec3(0.0);
    if (lit2)
        light += shade(s, toLight2, color2.rgb);
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
