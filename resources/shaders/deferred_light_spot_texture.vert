#version 150
// A spot light that projects a picture: its cone volume placed by "lightM" and
// projected by "projM". The inverse of "lightM" carries view-space points back into the
// unit cone, where the picture is laid across the base.
in vec3 in_Position;
uniform mat4 projM;
uniform mat4 lightM;
flat out mat4 viewToCone;

void main()
{
    viewToCone = inverse(lightM);
    gl_Position = projM * lightM * vec4(in_Position, 1.0);
}
