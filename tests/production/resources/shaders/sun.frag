#version 150
#include deferred.glsl
uniform vec3 lightDirection;
void main()
{
    if (!hasGeometry()) { light = vec4(0.0); return; }
    vec3 n = viewNormal();
    vec3 l = -normalize(lightDirection);
    // A sun has no position: the highlight takes the view direction as straight ahead,
    // and the light thins with the distance as through a haze.
    int row = materialRow();
    vec3 specularColor = texelFetch(materialBuffer, ivec2(1, row), 0).rgb;
    float exponent = texelFetch(materialBuffer, ivec2(2, row), 0).r * 255.0;
    float specular = pow(max(dot(n, normalize(l + vec3(0.0, 0.0, 1.0))), 0.0), exponent);
    float haze = clamp(1.25 - viewDistance() / 16.0, 0.4, 1.0);
    light = haze * (color * max(dot(n, l), 0.0) + vec4(specularColor * specular, 0.0));
}
