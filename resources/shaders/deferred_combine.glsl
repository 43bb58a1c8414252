// Shared by the composite programs: the lit colour of one pixel from the G-buffer
// colour ("diffuseMap", material index in alpha), the accumulated light ("lightMap")
// and the material table ("materialBuffer"): light + colour x (ambient x B + A), where
// parameter B says how much light the surface takes and A how much it glows.
uniform sampler2D diffuseMap;
uniform sampler2D lightMap;
uniform sampler2D materialBuffer;

const vec3 ambientLight = vec3(0.2, 0.2, 0.22);

vec3 combine(vec2 uv)
{
    vec4 surface = texture(diffuseMap, uv);
    int row = int(surface.a * 255.0 + 0.5);
    vec4 params = texelFetch(materialBuffer, ivec2(0, row), 0);
    return texture(lightMap, uv).rgb + surface.rgb * (ambientLight * params.g + params.r);
}
