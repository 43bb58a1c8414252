#version 150
in vec3 in_Position;
void main() { gl_Position = vec4(in_Position.xy, 0.0, 1.0); }
