#version 150
// A point light whose colour comes from a cube map (the lamp of the lamp room): its
// cube volume placed by "lightM" and projected by "projM".
in vec3 in_Position;
uniform mat4 projM;
uniform mat4 lightM;

void main() { gl_Position = projM * lightM * vec4(in_Position, 1.0); }
