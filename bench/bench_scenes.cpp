// Glass Hall's scenes drawn lit through the deferred renderer at 640 x 360 from each of
// their viewpoints (content/scenes/README.md): prints each scene's triangles and the
// time of its geometry pass, light pass and composite, beside the time of one
// full-screen pass that reads two textures (the unit of the frame budget), and writes
// one PNG per viewpoint and a contact sheet of them all.
//
//   bench_scenes [OUTPUT-DIRECTORY [TEXTURE-DIRECTORY]]
//
// OUTPUT-DIRECTORY defaults to build/scene_previews; with a TEXTURE-DIRECTORY (for example
// build/resources/graphics) textured materials are drawn with their textures.
//
// Its GL context is offscreen (no display needed); LIBGL_ALWAYS_SOFTWARE=1 gives llvmpipe figures.
// The light programs are stand-ins for the production's (tests/support/ScenePreview.cpp).
#include "GLContext.h"
#include "ImageCompare.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ObjectReader.h"
#include "ResourceFile.h"
#include "ScenePreview.h"
#include "VAO.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : std::string(DEMOSYS_BINARY_DIR) + "/scene_previews";
    const std::string textureDirectory = argc > 2 ? argv[2] : "";
    std::filesystem::create_directories(out);
    const int width = 640, height = 360;
    if (!GLContext::ensure(width, height))
        return 1;
    int status = 0;
    {
        ScenePreview preview(width, height);
        if (!preview.isReady()) {
            std::fprintf(stderr, "%s\n", preview.getError().c_str());
            return 1;
        }
        const double pass = preview.timeFullScreenPass(30);
        std::printf("one full-screen pass (two texture reads) at %dx%d: %.2f ms\n", width, height, pass);
        std::printf("%-22s %10s %7s  %s\n", "scene", "triangles", "lights", "per viewpoint: best frame in ms and in full-screen passes (geometry pass, light pass in screens shaded)");
        const auto scenes = glassHallPreviewScenes();
        const int thumbW = width / 2, thumbH = height / 2, columns = 4;
        RgbaImage sheet;
        sheet.width = thumbW * columns;
        sheet.height = thumbH * int(scenes.size());
        sheet.pixels.assign(size_t(sheet.width) * sheet.height * 4, 255);
        for (size_t s = 0; s < scenes.size(); ++s) {
            const PreviewScene& item = scenes[s];
            const std::string path = std::string(DEMOSYS_BINARY_DIR) + "/resources/objects/" + item.file;
            ResourceFile data(path, ResourceFile::Read);
            std::ostringstream log;
            ObjectReader reader(path);
            reader.setTrace(false);
            reader.setLog(log);
            std::unique_ptr<ORVScene> scene;
            Status read = data.isLoaded() ? reader.read(data, scene) : Status::failure("missing");
            if (!read) {
                std::fprintf(stderr, "%s: %s\n", path.c_str(), read.reason().c_str());
                status = 1;
                continue;
            }
            arrangeSphereRings(scene.get());
            preview.prepare(scene.get(), textureDirectory);
            size_t triangles = 0;
            for (const ORVObject* obj : scene->getObjectList())
                if (obj->getMesh() && obj->isVisible())
                    triangles += obj->getMesh()->getVertexCount() / 3;
            std::printf("%-22s %10zu %7zu ", item.file.c_str(), triangles, scene->getLights().size());
            for (size_t v = 0; v < item.viewpoints.size(); ++v) {
                const Viewpoint& view = item.viewpoints[v];
                // Best of nine: on a shared machine the fastest frame is the one least
                // slowed by others.
                double best = 1e30, geometry = 1e30;
                for (int i = 0; i < 9; ++i) {
                    best = std::min(best, preview.timeFrame(scene.get(), view.eye, view.target, 1));
                    geometry = std::min(geometry, preview.getGeometryTime());
                }
                std::printf(" | %5.1f ms = %4.1f passes (geometry %4.1f ms, light %3.1f screens)", best, best / pass,
                            geometry, preview.getLightFragments());
                const RgbaImage image = preview.render(scene.get(), view.eye, view.target);
                const std::string name = out + "/" + item.file.substr(0, item.file.find('.')) + "_view" +
                                         std::to_string(v) + ".png";
                if (!writePng(name, image))
                    status = 1;
                // Half size into the sheet, rows top first there as in the image.
                for (int y = 0; y < thumbH; ++y)
                    for (int x = 0; x < thumbW; ++x) {
                        const uint8_t* p = image.at(x * 2, y * 2);
                        const int sx = int(v) * thumbW + x;
                        const int sy = int(scenes.size() - 1 - s) * thumbH + y;
                        std::copy(p, p + 4, sheet.pixels.begin() + (size_t(sy) * sheet.width + sx) * 4);
                    }
            }
            std::printf("\n");
        }
        if (!writePng(out + "/contact_sheet.png", sheet))
            status = 1;
        std::printf("previews in %s\n", out.c_str());
    }
    GLContext::destroy();
    return status;
}
