// demosys-vbo: converts a scene from a modelling tool into an object file for the engine.
//
//   demosys-vbo INPUT OUTPUT.vbo      INPUT: glTF 2.0 (.gltf, .glb) or Wavefront OBJ (.obj)
#include "CommandLine.h"
#include "SceneConverter.h"
#include "VboWriter.h"

#include <iostream>
#include <string>

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
    CLI::App app("", "demosys-vbo");
    std::string input, output;
    app.add_option("INPUT", input)->required();
    app.add_option("OUTPUT", output)->required();
    const int status = parseCommandLine(app, argc, argv, usage);
    if (status >= 0)
        return status;
    SceneConverter converter;
    VboWriter writer;
    Status converted = converter.convert(input, writer);
    if (!converted) {
        std::cerr << "demosys-vbo: " << converted.reason() << std::endl;
        return 1;
    }
    for (const std::string& warning : converter.getWarnings())
        std::cerr << "demosys-vbo: warning: " << input << ": " << warning << std::endl;
    Status saved = writer.save(output);
    if (!saved) {
        std::cerr << "demosys-vbo: " << saved.reason() << std::endl;
        return 1;
    }
    const SceneConverter::Counts& n = converter.getCounts();
    std::cout << output << ": " << n.meshes << " meshes, " << n.materials << " materials, " << n.textures
              << " textures, " << n.objects << " objects, " << n.lights << " lights, " << n.cameras << " cameras"
              << std::endl;
    return 0;
}
