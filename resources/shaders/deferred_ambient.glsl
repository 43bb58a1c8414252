// The light every surface gets whatever lights the scene has: the geometry pass writes
// each surface's colour under it into the light buffer, and the programs that take it
// out again (scene 2's mirror images) read it here.
const vec3 ambientLight = vec3(0.2, 0.2, 0.22);
