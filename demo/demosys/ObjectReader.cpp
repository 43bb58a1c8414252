#include "ObjectReader.h"

#include "ORVCamera.h"
#include "ORVIO.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ResourceFile.h"
#include "VAO.h"

#include <iostream>
#include <map>
#include <memory>

ObjectReader::ObjectReader(const std::string& path) : path(path), log(nullptr) {}

Status ObjectReader::read(std::unique_ptr<ORVScene>& scene)
{
    loaded = false;
    scene.reset();
    std::unique_ptr<ResourceFile> resource(ORVIO::loadFile(path));
    if (!resource || !resource->isLoaded())
        return Status::failure("Object '" + path + "' not found");
    return read(*resource, scene);
}

Status ObjectReader::read(ResourceFile& resource, std::unique_ptr<ORVScene>& scene)
{
    loaded = false;
    scene.reset();
    file.setTrace(trace);
    if (log)
        file.setLog(*log);
    Status parsed = file.parse(resource, path);
    if (!parsed)
        return parsed;
    scene.reset(build());
    loaded = true;
    return parsed;
}

namespace {

// The box of the positions as they will be drawn, not the box the file states.
void setCullingBox(VAO& vao, const ObjectFile::Mesh& mesh)
{
    const size_t stride = 3 + (mesh.hasNormals() ? 3 : 0) + (mesh.hasTexcoords() ? 2 : 0);
    if (mesh.vertices.size() < stride)
        return;
    glm::vec3 low(mesh.vertices[0], mesh.vertices[1], mesh.vertices[2]), high = low;
    for (size_t i = 0; i + 2 < mesh.vertices.size(); i += stride) {
        const glm::vec3 p(mesh.vertices[i], mesh.vertices[i + 1], mesh.vertices[i + 2]);
        low = glm::min(low, p);
        high = glm::max(high, p);
    }
    // A NaN position leaves the mesh without a box: it is then always drawn.
    if (glm::all(glm::equal(low, low)) && glm::all(glm::equal(high, high)))
        vao.setCullingBox(low, high);
}

} // namespace

VAO* ObjectReader::createMesh(const ObjectFile::Mesh& mesh)
{
    VAO* vao = new VAO(mesh.name);
    vao->setTag(static_cast<int32_t>(mesh.id));
    vao->setBoundingBox(mesh.boxMin, mesh.boxMax);
    setCullingBox(*vao, mesh);
    // The parsed array is only borrowed until upload: GL keeps the copy.
    GLfloat* data = const_cast<GLfloat*>(mesh.vertices.data());
    vao->createArrayBuffer(static_cast<GLsizei>(mesh.vertices.size()), data);
    vao->mapArray(data, "in_Position", 3);
    if (mesh.hasNormals())
        vao->mapArray(data, "in_Normal", 3);
    if (mesh.hasTexcoords()) {
        vao->mapArray(data, "in_UV0", 2);
        // Tangents come from positions and uvs alone; the normal array is only
        // required to exist, so a mesh without normals names the positions there.
        vao->createTangents("in_Position", mesh.hasNormals() ? "in_Normal" : "in_Position", "in_UV0", "in_Tangent",
                            "in_Bitangent");
    }
    vao->upload();
    return vao;
}

ORVScene* ObjectReader::build()
{
    ORVScene* scene = new ORVScene();

    // Only the last mesh of each id can be used by a node.
    std::map<uint32_t, VAO*> meshById;
    for (const ObjectFile::Mesh& mesh : file.getMeshes()) {
        if (file.findMesh(mesh.id) != &mesh)
            continue;
        VAO* vao = nullptr;
        if (createMeshes) {
            vao = createMesh(mesh);
            scene->adoptMesh(vao);
        }
        meshById[mesh.id] = vao;
    }

    std::map<uint32_t, std::string> textureAlias;
    for (const ObjectFile::TextureRef& texture : file.getTextures())
        textureAlias[texture.id] = resolveTexture ? resolveTexture(texture.fileName) : texture.fileName;

    std::map<uint32_t, ORVMaterial*> materialById;
    for (const ObjectFile::Material& record : file.getMaterials()) {
        ORVMaterial* material = new ORVMaterial();
        material->setIndex(static_cast<int>(record.id));
        material->setName(record.name);
        material->setDiffuseColor(record.diffuseColor.x, record.diffuseColor.y, record.diffuseColor.z);
        material->setSecondColor(record.secondColor.x, record.secondColor.y, record.secondColor.z);
        material->setExponent(record.exponent);
        auto alias = textureAlias.find(record.textureId);
        if (alias != textureAlias.end())
            material->setTextureName(alias->second);
        materialById[record.id] = material;
        scene->addMaterial(record.name, material);
    }

    for (const ObjectFile::Node* node : file.cameraNodes()) {
        ORVCamera* camera = new ORVCamera(node->name);
        camera->setMatrix(node->matrix);
        scene->AddCamera(node->name, camera);
    }

    // Each light node gets a light of its own made from its record, so that two nodes
    // naming one record do not share (and twice delete) one light.
    for (const ObjectFile::Node* node : file.lightNodes()) {
        const ObjectFile::Light* record = file.findLight(node->ref);
        ORVLight* light = new ORVLight();
        light->setKind(record->kind);
        light->setPosition(record->position.x, record->position.y, record->position.z);
        light->setRadius(record->radius);
        light->setSpotParameter(record->spotParameter);
        light->setConeAngle(record->coneAngle);
        light->setName(node->name);
        light->setTransform(node->matrix);
        light->setPlacement(glm::vec3(node->matrix[3]));
        // The record has no direction: the node's orientation is kept as the angles
        // from which the light matrix is rebuilt.
        const glm::vec3 angles = ORVLight::anglesOf(node->matrix);
        light->setAngles(angles.x, angles.y, angles.z);
        scene->addLight(node->name, light);
    }

    std::map<int32_t, ORVObject*> objectById;
    const std::vector<const ObjectFile::Node*> objectNodes = file.objectNodes();
    for (const ObjectFile::Node* node : objectNodes) {
        ORVObject* obj = new ORVObject(node->name);
        obj->setId(node->id);
        obj->setParentId(node->parentId);
        obj->setMatrix(node->matrix);
        if (node->type == ObjectFile::MeshNode) {
            auto mesh = meshById.find(static_cast<uint32_t>(node->ref));
            if (mesh != meshById.end())
                obj->setMesh(mesh->second);
            auto material = materialById.find(static_cast<uint32_t>(node->materialId));
            if (material != materialById.end())
                obj->setMaterial(material->second);
        }
        objectById[node->id] = obj;
    }
    for (auto& entry : objectById) {
        ORVObject* obj = entry.second;
        auto parent = objectById.find(obj->getParentId());
        if (parent != objectById.end()) {
            obj->setParent(parent->second);
            parent->second->addChild(obj);
        }
        scene->AddObject(obj);
    }

    scene->setup();
    return scene;
}
