#version 150
uniform sampler2D diffuseBuffer;
uniform sampler2D normalBuffer;
uniform sampler2D lightBuffer;
in vec2 uv;
out vec4 result;
// Surface colour times ambient plus the accumulated light; a dark blue where there is
// no geometry.
void main()
{
    if (texture(normalBuffer, uv).a < 0.5) { result = vec4(0.05, 0.06, 0.12, 1.0); return; }
    result = vec4(texture(diffuseBuffer, uv).rgb * (vec3(0.18) + texture(lightBuffer, uv).rgb), 1.0);
}
