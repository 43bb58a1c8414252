#pragma once

#include "Status.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class ResourceFile;

// The contents of one object file (".vbo") as plain data: meshes already turned into
// interleaved vertex arrays, texture references, materials, light records and the
// node records of the scene tree. Parsing makes no GL call, so tools and tests read
// files without a context; ObjectReader turns the result into a scene.
//
// Every count and index is checked against the bytes that are really there: a short or
// inconsistent file fails with an error text naming the file and what is wrong, and
// nothing is read out of bounds. A mesh node naming no mesh, and a light node naming no
// light record, are reported as warnings: the first becomes an object without a mesh,
// the second is skipped.
class ObjectFile {
public:
    enum NodeType { GroupNode = 0, MeshNode = 1, CameraNode = 2, LightNode = 3 };

    struct Mesh {
        uint32_t id = 0;
        std::string name;
        // As stored: array lengths, the slot of each array's index within an index
        // tuple, and the length of the index list.
        uint32_t positionCount = 0;
        uint32_t positionSlot = 0;
        uint32_t normalCount = 0;
        uint32_t normalSlot = 0;
        uint32_t texcoordCount = 0;
        uint32_t texcoordSlot = 0;
        uint32_t indexCount = 0;
        glm::vec3 boxMin{0.0f};
        glm::vec3 boxMax{0.0f};
        // One output vertex per index tuple: position (3), then normal (3) and texture
        // coordinate (2) where present.
        uint32_t vertexCount = 0;
        std::vector<float> vertices;

        bool hasNormals() const { return normalCount != 0; }
        bool hasTexcoords() const { return texcoordCount != 0; }
        // The number of arrays an index tuple refers to.
        uint32_t indexStride() const;
        int floatsPerVertex() const;
        // The attribute arrays the uploaded mesh has, tangents included.
        std::vector<std::string> attributeNames() const;
    };

    struct TextureRef {
        uint32_t id = 0;
        std::string name;
        std::string fileName;
    };

    struct Material {
        uint32_t id = 0;
        std::string name;
        glm::vec3 diffuseColor{0.0f};
        glm::vec3 secondColor{0.0f};
        float exponent = 0.0f;
        uint32_t textureId = 0;
    };

    struct Light {
        int32_t id = 0;
        int32_t kind = 0;
        glm::vec3 position{0.0f};
        float radius = 0.0f;
        float spotParameter = 0.0f;
        float coneAngle = 0.0f;
    };

    struct Node {
        int32_t id = 0;
        int32_t type = 0;
        // The mesh id of a mesh node, the light id of a light node.
        int32_t ref = 0;
        int32_t parentId = 0;
        std::string name;
        // Column-major, as stored.
        glm::mat4 matrix{1.0f};
        int32_t materialId = 0;
    };

    ObjectFile();

    // Trace lines of the layout go to the log when on (default); warnings always do.
    void setTrace(bool on) { trace = on; }
    // Where the trace and the warnings go (the engine log unless named).
    void setLog(std::ostream& stream) { log = &stream; }

    // Reads the file from its cursor. path names it in messages.
    Status parse(ResourceFile& file, const std::string& path);
    const std::vector<std::string>& getWarnings() const { return warnings; }

    int32_t getVersion() const { return version; }
    const std::vector<Mesh>& getMeshes() const { return meshes; }
    const std::vector<TextureRef>& getTextures() const { return textures; }
    const std::vector<Material>& getMaterials() const { return materials; }
    const std::vector<Light>& getLights() const { return lights; }
    // Every node record in file order (those of unknown types included).
    const std::vector<Node>& getNodes() const { return nodes; }

    // A later record with the same id replaces an earlier one: these find the last.
    const Mesh* findMesh(uint32_t id) const;
    const Light* findLight(int32_t id) const;
    const Material* findMaterial(uint32_t id) const;
    const TextureRef* findTexture(uint32_t id) const;

    // The group and mesh nodes that become objects, in ascending node id: of several
    // with one id only the last counts.
    std::vector<const Node*> objectNodes() const;
    // Camera nodes in file order.
    std::vector<const Node*> cameraNodes() const;
    // Light nodes that name a light record, in file order.
    std::vector<const Node*> lightNodes() const;

private:
    class Cursor;

    bool readAll(ResourceFile& file);
    // Keeps the reason for parse() and returns false.
    bool fail(const std::string& detail);
    void warn(const std::string& line);
    // The records after the meshes, each a count and that many entries.
    bool readTextures(Cursor& in);
    bool readMaterials(Cursor& in);
    bool readLights(Cursor& in);
    bool readNodes(Cursor& in);
    bool tooMany(Cursor& in, const char* noun, uint64_t count);
    bool readMesh(Cursor& in, uint32_t index, uint32_t total);
    // Where each present array's index sits in a mesh's index tuple; false when two
    // arrays share a slot or one lies beyond slot 2.
    static bool indexPlaces(const Mesh& m, uint32_t place[3]);
    // One output vertex per whole index tuple, position, normal, uv.
    bool deindex(Mesh& m, const std::string& named, const uint32_t place[3], const std::vector<float>& positions,
                 const std::vector<float>& normals, const std::vector<float>& uvs,
                 const std::vector<uint32_t>& indices);
    bool readNode(Cursor& in, int32_t index, int32_t total);
    bool checkScene();

    bool trace = true;
    std::ostream& logStream() const;
    std::ostream* log; // null: the engine log
    std::string path;
    std::string error;
    std::vector<std::string> warnings;
    int32_t version = 0;
    std::vector<Mesh> meshes;
    std::vector<TextureRef> textures;
    std::vector<Material> materials;
    std::vector<Light> lights;
    std::vector<Node> nodes;
};
