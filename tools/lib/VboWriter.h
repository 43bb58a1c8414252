#pragma once

#include "Status.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Writes object files (".vbo") in the layout the engine's reader reads: the records are
// kept as given (ids, slots and index lists included) and written in file order, so a
// test can also write files that the reader must refuse.
class VboWriter {
public:
    enum NodeType { GroupNode = 0, MeshNode = 1, CameraNode = 2, LightNode = 3 };
    // A material texture id that names no texture record.
    static const uint32_t noTexture = 0xFFFFFFFFu;

    struct Mesh {
        uint32_t id = 0;
        std::string name;
        std::vector<glm::vec3> positions;
        std::vector<glm::vec3> normals;
        std::vector<glm::vec2> texcoords;
        // Slot of each array's index within an index tuple; -1 gives the present
        // arrays the slots 0, 1, 2 in the order position, normal, texture coordinate.
        int positionSlot = -1;
        int normalSlot = -1;
        int texcoordSlot = -1;
        std::vector<uint32_t> indices;
        // Unless set, the box around the positions.
        bool hasBox = false;
        glm::vec3 boxMin{0.0f};
        glm::vec3 boxMax{0.0f};
    };

    struct Texture {
        uint32_t id = 0;
        std::string name;
        std::string fileName;
    };

    struct Material {
        uint32_t id = 0;
        std::string name;
        glm::vec3 diffuseColor{1.0f, 1.0f, 1.0f};
        glm::vec3 secondColor{0.25f, 0.25f, 0.25f};
        float exponent = 10.0f;
        uint32_t textureId = noTexture;
    };

    struct Light {
        int32_t id = 0;
        int32_t kind = 3;
        glm::vec3 position{0.0f};
        float radius = 10.0f;
        float spotParameter = 0.0f;
        float coneAngle = 0.0f;
    };

    struct Node {
        int32_t id = 0;
        int32_t type = GroupNode;
        // The mesh id of a mesh node, the light id of a light node.
        int32_t ref = 0;
        int32_t parentId = -1;
        std::string name;
        glm::mat4 matrix{1.0f};
        int32_t materialId = -1;
    };

    void setVersion(int32_t value) { version = value; }
    void addMesh(const Mesh& mesh) { meshes.push_back(mesh); }
    void addTexture(const Texture& texture) { textures.push_back(texture); }
    void addMaterial(const Material& material) { materials.push_back(material); }
    void addLight(const Light& light) { lights.push_back(light); }
    void addNode(const Node& node) { nodes.push_back(node); }
    void addGroup(int32_t id, int32_t parentId, const std::string& name, const glm::mat4& matrix);
    void addMeshNode(int32_t id, int32_t meshId, int32_t parentId, const std::string& name, const glm::mat4& matrix,
                     int32_t materialId);
    // A camera node; the matrix is the camera's view matrix (world to eye).
    void addCamera(int32_t id, const std::string& name, const glm::mat4& view);
    void addLightNode(int32_t id, int32_t lightId, const std::string& name, const glm::mat4& matrix);

    // A mesh whose arrays share one index per corner: each corner i becomes the tuple
    // (i, i, i) over the present arrays. Normals and uvs may be empty.
    static Mesh cornerMesh(uint32_t id, const std::string& name, const std::vector<glm::vec3>& positions,
                           const std::vector<glm::vec3>& normals, const std::vector<glm::vec2>& texcoords,
                           const std::vector<uint32_t>& corners);

    std::vector<uint8_t> bytes() const;
    // Writes bytes() to path.
    Status save(const std::string& path) const;

    const std::vector<Mesh>& getMeshes() const { return meshes; }
    const std::vector<Node>& getNodes() const { return nodes; }

private:
    int32_t version = 1;
    std::vector<Mesh> meshes;
    std::vector<Texture> textures;
    std::vector<Material> materials;
    std::vector<Light> lights;
    std::vector<Node> nodes;
};
