#version 150
// One light of the light pass. DIRECTIONAL_LIGHT: the full-screen quad, already in clip
// space. POINT_LIGHT, CONE_LIGHT: the light's unit volume (cube or cone) placed by
// "lightM" (view space) and projected by "projM".
in vec3 in_Position;
#ifndef DIRECTIONAL_LIGHT
uniform mat4 projM;
uniform mat4 lightM;
#endif

void main()
{
#ifdef DIRECTIONAL_LIGHT
    gl_Position = vec4(in_Position.xy, 0.0, 1.0);
#else
    gl_Position = projM * lightM * vec4(in_Position, 1.0);
#endif
}
