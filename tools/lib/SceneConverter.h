#pragma once

#include "Status.h"
#include "VboWriter.h"

#include <string>
#include <vector>

struct aiNode;
struct aiScene;

// Turns a scene exported from a modelling tool (glTF 2.0, .gltf with embedded or
// external buffers or .glb, or Wavefront OBJ with its MTL; read through assimp) into
// the records of an object file: meshes as triangle lists with normals and uvs,
// materials with their texture file names, the node tree, cameras and point, spot and
// directional lights.
//
// The engine places every object by its own matrix (a child is not placed relative to
// its parent), so each node is written with its complete world placement. Names are
// made unique per kind, as the engine requires, by appending "_2", "_3", ...
class SceneConverter {
public:
    // Fails with "INPUT: cannot read the scene (...)" when the importer cannot.
    Status convert(const std::string& input, VboWriter& out);
    // Things of the input that the object file cannot carry (one line each).
    const std::vector<std::string>& getWarnings() const { return warnings; }

    // What convert() wrote.
    struct Counts {
        int meshes = 0, materials = 0, textures = 0, objects = 0, lights = 0, cameras = 0;
    };
    const Counts& getCounts() const { return counts; }

private:
    struct Context;
    void warnLeftOut(const aiScene* scene);
    // The scene's textures and materials (a material no mesh uses is kept when it has a
    // name of its own), then its triangle meshes, under their assimp index.
    void writeMaterials(Context& c);
    void writeMeshes(Context& c);
    void writeNode(Context& c, const aiNode* node, const glm::mat4& parentWorld, int32_t parentId, bool isRoot);

    std::vector<std::string> warnings;
    Counts counts;
};
