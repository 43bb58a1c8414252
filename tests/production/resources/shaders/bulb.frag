#version 150
#include deferred.glsl
uniform mat4 projM;
uniform vec3 lightPos;
uniform float lightRadius;
void main()
{
    if (!hasGeometry()) { light = vec4(0.0); return; }
    vec3 position = viewPosition(projM);
    vec3 toLight = lightPos - position;
    float d = length(toLight);
    vec3 l = toLight / d;
    vec3 n = viewNormal();
    float attenuation = clamp(1.0 - d / lightRadius, 0.0, 1.0);
    int row = materialRow();
    vec3 specularColor = texelFetch(materialBuffer, ivec2(1, row), 0).rgb;
    float exponent = texelFetch(materialBuffer, ivec2(2, row), 0).r * 255.0;
    float specular = pow(max(dot(reflect(-l, n), normalize(-position)), 0.0), exponent);
    // Specular in the material's own colour: none for a material without one.
    light = color * attenuation * max(dot(n, l), 0.0) * 1.5 + vec4(specularColor * specular * attenuation, 0.0);
}
