#pragma once

#include <string>
#include <vector>

// Every node, light, material and camera that Glass Hall's code looks up by name in its
// five scenes, in one place. The effects and the shader cache take their names from
// here, and the content test walks the same lists over the generated object files, so a
// node renamed on either side fails the build's tests instead of a lookup at run time.
namespace GlassHallSceneNames {

struct LightName {
    std::string name;
    int kind; // ORVLight::Kind: 1 spot, 2 directional, 3 point
};

// What one scene must hold.
struct SceneNames {
    std::string alias; // the object pool alias
    std::string file;  // under resources/objects/
    std::vector<std::string> objects;   // nodes with geometry
    std::vector<LightName> lights;
    std::vector<std::string> materials; // materials looked up by name
    std::vector<std::string> cameras;
};

inline std::vector<std::string> numbered(const std::string& prefix, int first, int last,
                                         const std::string& suffix = "")
{
    std::vector<std::string> names;
    for (int i = first; i <= last; ++i)
        names.push_back(prefix + std::to_string(i) + suffix);
    return names;
}

// Scene 1: three music-driven balls over spinning disks.
inline std::vector<std::string> scene1Balls() { return numbered("Ball", 1, 3); }
inline std::vector<std::string> scene1Disks() { return numbered("Disk", 1, 3); }
inline std::vector<std::string> scene1Points() { return numbered("Point", 0, 2); }
inline std::vector<std::string> scene1Spots() { return numbered("Spot", 0, 2); }

// Scene 2: the sphere that the shader cache clones into rings, and the coloured lights.
inline const char* scene2Sphere() { return "Sphere"; }
inline std::vector<std::string> scene2ColourPoints() { return {"PointYellow", "PointRed", "PointBlue", "PointGreen"}; }
inline std::vector<std::string> scene2ColourSpheres() { return {"YellowSphere", "PinkSphere", "BlueSphere", "GreenSphere"}; }
// In the order the effect turns them: two suns, then the four side spots.
inline std::vector<std::string> scene2Suns() { return {"Sun", "Sun2"}; }
inline std::vector<std::string> scene2SideSpots() { return numbered("SideSpot", 1, 4); }

// Scene 4: 32 blenders with two spots each, global points and the greeting spots.
const int scene4Blenders = 32;
inline std::string scene4Blender(int n) { return "SB" + std::to_string(n); }
inline std::string scene4BlenderSpot(int n, int k) { return "SB" + std::to_string(n) + "Spot" + std::to_string(k); }
inline std::vector<std::string> scene4GlobalPoints() { return numbered("GlobalPoint", 1, 5); }
inline std::vector<std::string> scene4GreetSpots() { return numbered("SpotGreet", 1, 6); }

// Scene 5: the glass cylinder in a room of volume meters.
inline std::vector<std::string> scene5Floors()
{
    return {"BLFloor", "BRFloor", "TLFloor", "TRFloor", "BLRoof", "BRRoof", "TLRoof", "TRRoof"};
}
inline std::vector<std::string> scene5Walls()
{
    return {"WWallTop", "WWallBottom", "SWallTop", "SWallBottom",
            "EWallTop", "EWallBottom", "NWallTop", "NWallBottom"};
}
inline std::vector<std::string> scene5DynPoints() { return numbered("DynPoint", 1, 3); }

// Scene 6: the lamp room.
inline std::vector<std::string> scene6Balls() { return {"LightBallWhite", "LightBallRed", "LightBall"}; }
inline std::vector<std::string> scene6GlobalPoints() { return numbered("GlobalPoint", 1, 8); }

// The complete requirement of each scene, in the production's declaration order.
inline std::vector<SceneNames> allScenes()
{
    auto withKind = [](const std::vector<std::string>& names, int kind) {
        std::vector<LightName> lights;
        for (const auto& n : names)
            lights.push_back({n, kind});
        return lights;
    };
    auto append = [](auto& to, const auto& from) { to.insert(to.end(), from.begin(), from.end()); };
    const int spot = 1, directional = 2, point = 3;

    std::vector<SceneNames> scenes;

    SceneNames s1{"scene1", "Scene1.vbo", {}, {}, {}, {}};
    append(s1.objects, scene1Balls());
    append(s1.objects, scene1Disks());
    append(s1.lights, withKind(scene1Points(), point));
    append(s1.lights, withKind(scene1Spots(), spot));
    scenes.push_back(s1);

    SceneNames s2{"scene2", "Scene2Alternativ.vbo", {scene2Sphere(), "Floor"}, {}, {}, {}};
    append(s2.objects, scene2ColourSpheres());
    append(s2.lights, withKind(scene2ColourPoints(), point));
    append(s2.lights, withKind(scene2Suns(), directional));
    append(s2.lights, withKind(scene2SideSpots(), spot));
    scenes.push_back(s2);

    SceneNames s4{"scene4", "Scene4.vbo", {"Floor", "WallsnRoof"}, {}, {}, {}};
    for (int n = 1; n <= scene4Blenders; ++n) {
        s4.objects.push_back(scene4Blender(n));
        s4.lights.push_back({scene4BlenderSpot(n, 0), spot});
        s4.lights.push_back({scene4BlenderSpot(n, 1), spot});
    }
    append(s4.lights, withKind(scene4GlobalPoints(), point));
    append(s4.lights, withKind(scene4GreetSpots(), spot));
    scenes.push_back(s4);

    SceneNames s5{"scene5", "Scene5+.vbo", {"CylinderReal"}, {{"TLFLight", point}}, {"Material"}, {}};
    append(s5.objects, scene5Floors());
    append(s5.objects, scene5Walls());
    append(s5.lights, withKind(scene5DynPoints(), point));
    scenes.push_back(s5);

    SceneNames s6{"scene6", "Scene6.vbo", {"Floor"}, {{"Lamp", point}}, {}, {"Camera"}};
    append(s6.objects, scene6Balls());
    append(s6.lights, withKind(scene6GlobalPoints(), point));
    scenes.push_back(s6);

    return scenes;
}

} // namespace GlassHallSceneNames
