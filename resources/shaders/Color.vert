#version 150
// Flat colour: "ModelM" (view times model) and "ProjM".
in vec3 in_Position;
uniform mat4 ModelM;
uniform mat4 ProjM;

void main() { gl_Position = ProjM * ModelM * vec4(in_Position, 1.0); }
