#version 150
in vec3 in_Position;
in vec3 in_Normal;
uniform mat4 projM;
uniform mat4 cameraM;
uniform mat4 modelM;
uniform mat3 normalM;
out vec3 normal;
void main()
{
    normal = normalM * in_Normal;
    gl_Position = projM * cameraM * modelM * vec4(in_Position, 1.0);
}
