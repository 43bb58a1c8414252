#version 150
#extension GL_ARB_explicit_attrib_location : require
uniform vec3 color;
uniform float MaterialIndex;
in vec3 normal;
// Surface colour with the material's row of the material table in alpha; the
// view-space normal, alpha 1 where there is geometry.
layout(location = 0) out vec4 diffuse;
layout(location = 1) out vec4 normalOut;
void main()
{
    diffuse = vec4(color, MaterialIndex / 255.0);
    normalOut = vec4(normalize(normal) * 0.5 + 0.5, 1.0);
}
