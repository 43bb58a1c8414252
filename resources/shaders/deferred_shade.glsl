// A surface's response to one light: shared by the light programs, which read the
// surface back from the G-buffer (deferred_lighting.glsl), and by geometry that lights
// itself as it is drawn (deferred_gbuffer.glsl), so that both give the same light.
struct Surface {
    vec3 albedo;
    vec3 normal;   // view space, unit length
    vec3 position; // view space
    float diffuse;   // material parameter B: how much light the surface takes
    vec3 specular;   // the material's second colour
    float exponent;
};

// Diffuse and specular light from a light in direction toLight (unit, view space).
vec3 shade(Surface s, vec3 toLight, vec3 lightColour)
{
    float lambert = max(dot(s.normal, toLight), 0.0);
    vec3 toEye = normalize(-s.position);
    vec3 halfway = normalize(toLight + toEye);
    float highlight = lambert > 0.0 ? pow(max(dot(s.normal, halfway), 0.0), s.exponent) : 0.0;
    return lightColour * (s.albedo * s.diffuse * lambert + s.specular * highlight);
}

// Smooth fall-off to zero at the radius.
float rangeFalloff(float distance, float radius)
{
    float x = clamp(distance / max(radius, 1e-4), 0.0, 1.0);
    float f = 1.0 - x * x;
    return f * f;
}
