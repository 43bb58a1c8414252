#pragma once

#include "ObjectFile.h"
#include "Status.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

class ORVScene;
class ResourceFile;
class VAO;

// Reads one object file into a new scene: parses it (ObjectFile), then builds the
// scene from the parsed records: meshes become uploaded VAOs, texture references
// become texture aliases on the materials, nodes become objects, cameras and lights,
// and the scene is set up (bounding box, mesh groups).
//
// One reader per file. A failed read() leaves the scene empty and returns the text the
// loading pipeline reports; nothing of a failed file is kept.
class ObjectReader {
public:
    // Maps a texture record's file name to the alias of the texture the scene will
    // use, declaring the texture if the production has not (the loading pipeline
    // supplies one over its texture declarations). Without one the alias is the file
    // name itself.
    using TextureResolver = std::function<std::string(const std::string& fileName)>;

    explicit ObjectReader(const std::string& path);

    void setTrace(bool on) { trace = on; }
    // Where the trace and the warnings go (the engine log unless named).
    void setLog(std::ostream& stream) { log = &stream; }
    void setTextureResolver(TextureResolver resolver) { resolveTexture = std::move(resolver); }
    // Off: no GL work at all, and objects get no meshes (tools without a context read
    // the meshes from getFile()).
    void setCreateMeshes(bool on) { createMeshes = on; }

    // Loads the path through ORVIO (archive or loose file by the resource mode) and
    // reads it into scene.
    Status read(std::unique_ptr<ORVScene>& scene);
    // Reads a file that is already in memory, from its cursor.
    Status read(ResourceFile& file, std::unique_ptr<ORVScene>& scene);

    bool isLoaded() const { return loaded; }
    const std::string& getPath() const { return path; }
    // The parsed records of the last read.
    const ObjectFile& getFile() const { return file; }

    // One uploaded VAO for a parsed mesh (needs a current GL context): the interleaved
    // array mapped as "in_Position", "in_Normal" and "in_UV0" where present, and
    // tangents when there are texture coordinates. The caller owns it.
    static VAO* createMesh(const ObjectFile::Mesh& mesh);

private:
    ORVScene* build();

    std::string path;
    bool trace = true;
    std::ostream* log; // null: the engine log
    TextureResolver resolveTexture;
    bool createMeshes = true;
    bool loaded = false;
    ObjectFile file;
};
