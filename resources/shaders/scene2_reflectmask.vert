#version 150
// The spheres mirrored in the floor: "Modelview" carries the mirror (so the winding
// flips and the pass culls front faces), "ProjM" projects.
in vec3 in_Position;
in vec3 in_Normal;
uniform mat4 Modelview;
uniform mat4 ProjM;
out vec3 normal;

void main()
{
    normal = mat3(Modelview) * in_Normal;
    gl_Position = ProjM * Modelview * vec4(in_Position, 1.0);
}
