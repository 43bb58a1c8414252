// The light every surface gets whatever lights the scene has: the geometry pass writes
// each surface's colour under it into the light buffer (deferred_gbuffer.glsl).
const vec3 ambientLight = vec3(0.2, 0.2, 0.22);
