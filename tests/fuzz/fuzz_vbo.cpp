// The object file reader on arbitrary bytes: parsing (with the trace on) and building
// the scene without GL, then the scene's walks over whatever was accepted. Nothing may
// be read out of bounds, and no accepted file may stop the program or hang it.
#include "ORVCamera.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ObjectReader.h"
#include "ResourceFile.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static NullBuffer buffer;
    static std::ostream sink(&buffer);
    ResourceFile file("fuzz.vbo", std::vector<uint8_t>(data, data + size));
    ObjectReader reader("fuzz.vbo");
    reader.setLog(sink);
    reader.setCreateMeshes(false);
    std::unique_ptr<ORVScene> scene;
    if (reader.read(file, scene)) {
        scene->update(0);
        ORVCamera camera("fuzz");
        scene->updateLights(&camera);
        for (ORVObject* root : scene->getRoots())
            root->setVisible(true);
        // A clone name (and the names of the copied children) that the file left free:
        // a taken one is the caller's programming error, not the file's.
        std::string name = "clone";
        for (bool taken = true; taken;) {
            name += "+";
            taken = false;
            for (const ORVObject* obj : scene->getObjectList())
                taken = taken || obj->getName().compare(0, name.size(), name) == 0;
        }
        if (scene->getObjectCount() > 0)
            scene->cloneObject(scene->getObject(0), name, nullptr);
    }
    return 0;
}
