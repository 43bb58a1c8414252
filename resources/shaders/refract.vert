#version 150
// The glass cylinder: "ModelM" (view times model), "ProjM"; "bulge" swells it along its
// normals, rippled by the scrolling "noise". The noise is laid around the cylinder's
// axis (angle, height), so the mesh needs no texture coordinates.
in vec3 in_Position;
in vec3 in_Normal;
uniform mat4 ModelM;
uniform mat4 ProjM;
uniform sampler2D noise;
uniform vec2 noise_scroll0;
uniform float bulge;
out vec3 normal;
out vec3 viewPosition;
out vec2 uv;

void main()
{
    uv = vec2(atan(in_Position.z, in_Position.x) / 6.2831853 + 0.5, in_Position.y * 0.08);
    float ripple = textureLod(noise, uv + noise_scroll0, 0.0).r;
    vec3 position = in_Position + in_Normal * bulge * (0.5 + ripple);
    vec4 view = ModelM * vec4(position, 1.0);
    normal = mat3(ModelM) * in_Normal;
    viewPosition = view.xyz;
    gl_Position = ProjM * view;
}
