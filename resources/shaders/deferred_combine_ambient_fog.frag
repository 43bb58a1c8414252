#version 150
#include deferred_combine.glsl
// As the plain composite, then fogged by distance; where nothing was drawn the fog
// alone shows. The depth is linearised with the production's clip planes (1, 200).
uniform sampler2D depthBuffer;
in vec2 uv;
out vec4 fragColor;

const float zNear = 1.0;
const float zFar = 200.0;
const vec3 fogColour = vec3(0.045, 0.05, 0.075);

void main()
{
    float depth = texelFetch(depthBuffer, gbufferTexelAt(uv), 0).r;
    float distance = (zFar * zNear / (zNear - zFar)) / (depth - zFar / (zFar - zNear));
    float fog = depth >= 1.0 ? 1.0 : 1.0 - exp(-max(distance - 12.0, 0.0) * 0.018);
    fragColor = vec4(mix(combine(uv), fogColour, clamp(fog, 0.0, 1.0)), 1.0);
}
