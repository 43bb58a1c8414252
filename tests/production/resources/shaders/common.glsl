// Shared by the test production's shaders.
vec3 applyTint(vec3 color, vec3 tint, float fade)
{
#ifdef USE_TINT
    color *= tint;
#endif
    return color * fade;
}
