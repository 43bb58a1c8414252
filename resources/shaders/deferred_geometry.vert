#version 150
// The scene's geometry into the G-buffer, through the engine's geometry instances:
// "projM", "cameraM", "modelM", "normalM" (view space), "MaterialIndex", "color" and,
// textured, "texture0" and "NormalMap". Defines: COLOR, TEXTURE or NORMALMAP.
in vec3 in_Position;
in vec3 in_Normal;
#if defined(TEXTURE) || defined(NORMALMAP)
in vec2 in_UV0;
out vec2 uv;
#endif
#ifdef NORMALMAP
in vec3 in_Tangent;
in vec3 in_Bitangent;
out vec3 tangent;
out vec3 bitangent;
#endif
uniform mat4 projM;
uniform mat4 cameraM;
uniform mat4 modelM;
uniform mat3 normalM;
out vec3 normal;

void main()
{
    mat4 modelView = cameraM * modelM;
    normal = normalM * in_Normal;
#if defined(TEXTURE) || defined(NORMALMAP)
    uv = in_UV0;
#endif
#ifdef NORMALMAP
    tangent = mat3(modelView) * in_Tangent;
    bitangent = mat3(modelView) * in_Bitangent;
#endif
    gl_Position = projM * modelView * vec4(in_Position, 1.0);
}
