#pragma once

#include "ShaderCache.h"

class ORVScene;

// Decides, once the scenes are loaded, which shader instance draws every object and
// which light program lights every light of Glass Hall's five scenes, and makes the
// scene edits the effects expect: scene 2's sphere cloned into eight rings, normal maps
// on the floors and walls of scenes 4 and 6, the scrolling blenders of scene 4.
class GlassHallShaderCache : public ShaderCache {
public:
    void createInstances() override;

    // The ring sizes of scene 2: 15, then each the one before times 1.25, truncated.
    static const int ringCount = 8;
    static int ringSize(int ring);
    // The clones' names: "Sphere_" and a running number from 0.
    static std::string cloneName(int index);

private:
    // Light programs by light kind, and one shared colour, texture and normal-map
    // instance for the scene's objects, entered under prefix + "_color" and so on.
    // variant: "" or "_lamp" (the geometry programs that light themselves with the lamp).
    void defaultShading(ORVScene* scene, const std::string& prefix, const std::string& variant = "");
    void cloneSphereRings(ORVScene* scene);
};
