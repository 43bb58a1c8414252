#pragma once

// GLSL pieces that the deferred tests' stand-in programs share: the vertex stages of the
// G-buffer, full-screen and light-volume passes, and the start of a light program (the
// buffers and uniforms the renderer binds, and the view-space position of a pixel).

// Position and normal through the camera; the normal goes out in view space.
inline const char* const standInGeometryVertex = R"(#version 150
in vec3 in_Position;
in vec3 in_Normal;
uniform mat4 projM;
uniform mat4 cameraM;
uniform mat4 modelM;
uniform mat3 normalM;
out vec3 normal;
void main()
{
    normal = normalM * in_Normal;
    gl_Position = projM * cameraM * modelM * vec4(in_Position, 1.0);
}
)";

// The start of a G-buffer fragment stage: colour with the material index in alpha into
// the first target, the normal into the second.
inline const char* const standInGBufferOutputs = R"(#version 150
#extension GL_ARB_explicit_attrib_location : require
uniform vec3 color;
uniform float MaterialIndex;
in vec3 normal;
layout(location = 0) out vec4 diffuse;
layout(location = 1) out vec4 normalOut;
)";

inline const char* const standInScreenVertex = R"(#version 150
in vec3 in_Position;
void main() { gl_Position = vec4(in_Position.xy, 0.0, 1.0); }
)";

inline const char* const standInVolumeVertex = R"(#version 150
in vec3 in_Position;
uniform mat4 projM;
uniform mat4 lightM;
void main() { gl_Position = projM * lightM * vec4(in_Position, 1.0); }
)";

// A light program's inputs; it goes on with its own hasGeometry() and viewNormal().
inline const char* const standInLightInputs = R"(#version 150
uniform sampler2D diffuseBuffer;
uniform sampler2D depthBuffer;
uniform sampler2D normalBuffer;
uniform sampler2D materialBuffer;
uniform vec2 screensize;
uniform vec2 ProjConst;
uniform vec4 color;
out vec4 light;
vec2 screenUV() { return gl_FragCoord.xy / screensize; }
)";

// The pixel's view-space position from the depth buffer.
inline const char* const standInViewPosition = R"(vec3 viewPosition(mat4 projection)
{
    vec2 ndc = screenUV() * 2.0 - 1.0;
    float distance = ProjConst.y / (texture(depthBuffer, screenUV()).r - ProjConst.x);
    return vec3(ndc.x * distance / projection[0][0], ndc.y * distance / projection[1][1], -distance);
}
)";

// What a point or spot light program adds to those inputs: the light's place and reach.
inline const char* const standInLocalLight = R"(uniform mat4 projM;
uniform vec3 lightPos;
uniform float lightRadius;
)";
