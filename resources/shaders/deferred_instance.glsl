// The vertex stage of Glass Hall's own geometry instances: "ProjM" (the camera's
// projection), "ModelM" (the camera's view times the object's world matrix) and
// "NormalM" (its normal matrix).
in vec3 in_Position;
in vec3 in_Normal;
in vec2 in_UV0;
uniform mat4 ProjM;
uniform mat4 ModelM;
uniform mat3 NormalM;
out vec3 normal;
out vec2 uv;

void placeVertex()
{
    normal = NormalM * in_Normal;
    uv = in_UV0;
    gl_Position = ProjM * ModelM * vec4(in_Position, 1.0);
}
