// The light every surface gets whatever lights the scene has, shared by the composite
// programs and a light program that adds it (a light that reaches every drawn pixel
// can take the composite's work).
const vec3 ambientLight = vec3(0.2, 0.2, 0.22);
