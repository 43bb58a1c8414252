#version 150
in vec3 in_Position;
uniform mat4 projM;
uniform mat4 lightM;
void main() { gl_Position = projM * lightM * vec4(in_Position, 1.0); }
