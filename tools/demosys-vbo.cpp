// demosys-vbo: converts a scene from a modelling tool into an object file for the engine.
//
//   demosys-vbo INPUT OUTPUT.vbo      INPUT: glTF 2.0 (.gltf, .glb) or Wavefront OBJ (.obj)
#include "SceneConverter.h"
#include "VboWriter.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const usage = "usage: demosys-vbo INPUT OUTPUT.vbo\n"
                          "\n"
                          "Converts a glTF 2.0 file (.gltf with embedded or external buffers, or .glb) or a\n"
                          "Wavefront OBJ file (with its MTL) into an object file: meshes with normals and\n"
                          "texture coordinates, materials with their texture file names, the node tree with\n"
                          "each node's world placement, cameras, and point, spot and directional lights\n"
                          "(KHR_lights_punctual). Names are made unique per kind by appending _2, _3, ...\n"
                          "What the object file cannot carry (animations, skins, vertex colours, camera\n"
                          "lenses) is named on standard error, once per kind with a count.\n";

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << usage;
        return 0;
    }
    if (args.size() != 2) {
        std::cerr << usage;
        return 2;
    }
    SceneConverter converter;
    VboWriter writer;
    Status converted = converter.convert(args[0], writer);
    if (!converted) {
        std::cerr << "demosys-vbo: " << converted.reason() << std::endl;
        return 1;
    }
    for (const std::string& warning : converter.getWarnings())
        std::cerr << "demosys-vbo: warning: " << args[0] << ": " << warning << std::endl;
    Status saved = writer.save(args[1]);
    if (!saved) {
        std::cerr << "demosys-vbo: " << saved.reason() << std::endl;
        return 1;
    }
    std::cout << args[1] << ": " << converter.getMeshCount() << " meshes, " << converter.getMaterialCount()
              << " materials, " << converter.getTextureCount() << " textures, " << converter.getObjectCount()
              << " objects, " << converter.getLightCount() << " lights, " << converter.getCameraCount() << " cameras"
              << std::endl;
    return 0;
}
