#include "SceneConverter.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

namespace {

// Hands out each name once: a taken (or empty) name gets the first free "_N" suffix.
class NameTable {
public:
    std::string unique(const std::string& wanted, const std::string& fallback)
    {
        const std::string base = wanted.empty() ? fallback : wanted;
        std::string name = base;
        for (int n = 2; taken.count(name); ++n)
            name = base + "_" + std::to_string(n);
        taken.insert(name);
        return name;
    }

private:
    std::set<std::string> taken;
};

glm::mat4 toGlm(const aiMatrix4x4& m)
{
    // assimp stores rows (a1 a2 a3 a4 is the first row); glm indexes columns.
    glm::mat4 r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            r[col][row] = m[row][col];
    return r;
}

glm::vec3 toGlm(const aiVector3D& v)
{
    return glm::vec3(v.x, v.y, v.z);
}

// A frame at position looking along direction (its -Z axis) with up near +Y.
glm::mat4 frame(const glm::vec3& position, glm::vec3 direction, glm::vec3 up)
{
    if (glm::length(direction) < 1e-6f)
        direction = glm::vec3(0, 0, -1);
    if (glm::length(up) < 1e-6f)
        up = glm::vec3(0, 1, 0);
    const glm::vec3 z = -glm::normalize(direction);
    glm::vec3 x = glm::cross(glm::normalize(up), z);
    if (glm::length(x) < 1e-6f)
        x = glm::cross(glm::vec3(1, 0, 0), z);
    if (glm::length(x) < 1e-6f)
        x = glm::cross(glm::vec3(0, 0, 1), z);
    x = glm::normalize(x);
    const glm::vec3 y = glm::cross(z, x);
    glm::mat4 m(1.0f);
    m[0] = glm::vec4(x, 0);
    m[1] = glm::vec4(y, 0);
    m[2] = glm::vec4(z, 0);
    m[3] = glm::vec4(position, 1);
    return m;
}

bool isIdentity(const aiMatrix4x4& m)
{
    return m.IsIdentity();
}

std::string lowerExtension(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
    return ext;
}

std::string stem(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = base.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

const float pi = 3.14159265358979f;

} // namespace

struct SceneConverter::Context {
    const aiScene* scene = nullptr;
    VboWriter* out = nullptr;
    bool gltf = false;
    int32_t nextNodeId = 1;
    NameTable objectNames, lightNames, cameraNames;
    // Written material id of each assimp material, -1 when it was left out.
    std::vector<int32_t> materialIds;
    std::vector<bool> meshWritten;
    std::map<std::string, const aiLight*> lightsByNode;
    std::map<std::string, const aiCamera*> camerasByNode;
    int32_t nextLightId = 0;
};

bool SceneConverter::convert(const std::string& input, VboWriter& out)
{
    error.clear();
    warnings.clear();
    Assimp::Importer importer;
    // Points and lines have no place in a triangle-list mesh.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    const aiScene* scene = importer.ReadFile(input, aiProcess_Triangulate | aiProcess_GenSmoothNormals |
                                                        aiProcess_SortByPType | aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
        std::string reason = importer.GetErrorString();
        // One line, whatever the importer wrote.
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        std::replace(reason.begin(), reason.end(), '\r', ' ');
        error = input + ": cannot read the scene" + (reason.empty() ? std::string() : " (" + reason + ")");
        return false;
    }

    Context c;
    c.scene = scene;
    c.out = &out;
    const std::string ext = lowerExtension(input);
    c.gltf = ext == "gltf" || ext == "glb";

    // Textures and materials. A material that no mesh uses is kept when it has a name
    // of its own: a production may look it up.
    std::vector<bool> used(scene->mNumMaterials, false);
    for (unsigned i = 0; i < scene->mNumMeshes; ++i)
        if (scene->mMeshes[i]->mMaterialIndex < scene->mNumMaterials)
            used[scene->mMeshes[i]->mMaterialIndex] = true;
    std::map<std::string, uint32_t> textureIds;
    NameTable materialNames;
    c.materialIds.assign(scene->mNumMaterials, -1);
    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
        const aiMaterial* m = scene->mMaterials[i];
        aiString aiName;
        m->Get(AI_MATKEY_NAME, aiName);
        const std::string name = aiName.C_Str();
        if (!used[i] && (name.empty() || name == AI_DEFAULT_MATERIAL_NAME))
            continue;
        VboWriter::Material record;
        record.id = static_cast<uint32_t>(materialCount++);
        record.name = materialNames.unique(name, "Material");
        aiColor3D diffuse(1, 1, 1), specular(0.25f, 0.25f, 0.25f);
        m->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
        m->Get(AI_MATKEY_COLOR_SPECULAR, specular);
        record.diffuseColor = glm::vec3(diffuse.r, diffuse.g, diffuse.b);
        record.secondColor = glm::vec3(specular.r, specular.g, specular.b);
        float shininess = 0.0f;
        if (m->Get(AI_MATKEY_SHININESS, shininess) == AI_SUCCESS && shininess > 0.0f)
            record.exponent = shininess;
        aiString texture;
        if (m->GetTexture(aiTextureType_DIFFUSE, 0, &texture) != AI_SUCCESS)
            m->GetTexture(aiTextureType_BASE_COLOR, 0, &texture);
        std::string file = texture.C_Str();
        std::replace(file.begin(), file.end(), '\\', '/');
        if (!file.empty() && file[0] == '*') {
            warnings.push_back("material '" + record.name +
                               "' uses an image stored inside the scene file; save it as a file to use it");
        } else if (!file.empty()) {
            auto known = textureIds.find(file);
            if (known == textureIds.end()) {
                VboWriter::Texture t;
                t.id = static_cast<uint32_t>(textureCount++);
                t.name = stem(file);
                t.fileName = file;
                out.addTexture(t);
                known = textureIds.emplace(file, t.id).first;
            }
            record.textureId = known->second;
        }
        c.materialIds[i] = static_cast<int32_t>(record.id);
        out.addMaterial(record);
    }
    if (materialCount > 256)
        warnings.push_back(std::to_string(materialCount) +
                           " materials: the deferred renderer's material table has rows for the first 256 only");

    // Meshes, under their assimp index.
    c.meshWritten.assign(scene->mNumMeshes, false);
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        const aiMesh* m = scene->mMeshes[i];
        std::vector<glm::vec3> positions(m->mNumVertices), normals;
        std::vector<glm::vec2> uvs;
        for (unsigned v = 0; v < m->mNumVertices; ++v)
            positions[v] = toGlm(m->mVertices[v]);
        if (m->HasNormals()) {
            normals.resize(m->mNumVertices);
            for (unsigned v = 0; v < m->mNumVertices; ++v)
                normals[v] = toGlm(m->mNormals[v]);
        }
        if (m->HasTextureCoords(0)) {
            uvs.resize(m->mNumVertices);
            for (unsigned v = 0; v < m->mNumVertices; ++v)
                uvs[v] = glm::vec2(m->mTextureCoords[0][v].x, m->mTextureCoords[0][v].y);
        }
        std::vector<uint32_t> corners;
        corners.reserve(size_t(m->mNumFaces) * 3);
        for (unsigned f = 0; f < m->mNumFaces; ++f)
            if (m->mFaces[f].mNumIndices == 3)
                corners.insert(corners.end(), m->mFaces[f].mIndices, m->mFaces[f].mIndices + 3);
        if (corners.empty() || positions.empty()) {
            warnings.push_back("mesh '" + std::string(m->mName.C_Str()) + "' has no triangles and is left out");
            continue;
        }
        const std::string name = m->mName.length ? m->mName.C_Str() : "mesh" + std::to_string(i);
        out.addMesh(VboWriter::cornerMesh(i, name, positions, normals, uvs, corners));
        c.meshWritten[i] = true;
        ++meshCount;
    }

    for (unsigned i = 0; i < scene->mNumLights; ++i)
        c.lightsByNode[scene->mLights[i]->mName.C_Str()] = scene->mLights[i];
    for (unsigned i = 0; i < scene->mNumCameras; ++i)
        c.camerasByNode[scene->mCameras[i]->mName.C_Str()] = scene->mCameras[i];

    writeNode(c, scene->mRootNode, glm::mat4(1.0f), -1, true);
    return true;
}

void SceneConverter::writeNode(Context& c, const aiNode* node, const glm::mat4& parentWorld, int32_t parentId,
                               bool isRoot)
{
    const glm::mat4 world = parentWorld * toGlm(node->mTransformation);
    const std::string nodeName = node->mName.C_Str();
    auto light = c.lightsByNode.find(nodeName);
    auto camera = c.camerasByNode.find(nodeName);
    const bool carriesLight = light != c.lightsByNode.end();
    const bool carriesCamera = camera != c.camerasByNode.end();

    if (carriesLight) {
        const aiLight* l = light->second;
        VboWriter::Light record;
        record.id = c.nextLightId;
        // The engine's spot cone opens along its local -Z, and a directional light
        // shines along its local -Y.
        glm::mat4 placement = world * frame(toGlm(l->mPosition), toGlm(l->mDirection), toGlm(l->mUp));
        bool known = true;
        switch (l->mType) {
        case aiLightSource_POINT:
            record.kind = 3;
            break;
        case aiLightSource_SPOT:
            record.kind = 1;
            // assimp gives the half angle from the axis to the outer edge.
            record.coneAngle = 2.0f * l->mAngleOuterCone * 180.0f / pi;
            break;
        case aiLightSource_DIRECTIONAL:
            record.kind = 2;
            placement = placement * glm::rotate(glm::mat4(1.0f), pi / 2, glm::vec3(1, 0, 0));
            break;
        default:
            known = false;
            warnings.push_back("light '" + nodeName + "' is neither a point, spot nor directional light; left out");
            break;
        }
        if (known) {
            float range = 0.0f;
            if (node->mMetaData && node->mMetaData->Get("PBR_LightRange", range) && range > 0.0f)
                record.radius = range;
            record.position = glm::vec3(placement[3]);
            c.out->addLight(record);
            c.out->addLightNode(c.nextNodeId++, record.id, c.lightNames.unique(nodeName, "Light"), placement);
            ++c.nextLightId;
            ++lightCount;
        }
    }
    if (carriesCamera) {
        const aiCamera* k = camera->second;
        // The glTF importer copies the node's translation into the camera's position:
        // there the node alone places the camera.
        glm::mat4 placement = world;
        if (!c.gltf)
            placement = world * frame(toGlm(k->mPosition), toGlm(k->mLookAt), toGlm(k->mUp));
        c.out->addCamera(c.nextNodeId++, c.cameraNames.unique(nodeName, "Camera"), glm::inverse(placement));
        ++cameraCount;
    }

    // A node that only carries a light or camera needs no object; an unplaced root
    // without meshes only groups the file's top nodes.
    std::vector<unsigned> meshes;
    for (unsigned i = 0; i < node->mNumMeshes; ++i)
        if (node->mMeshes[i] < c.meshWritten.size() && c.meshWritten[node->mMeshes[i]])
            meshes.push_back(node->mMeshes[i]);
    bool asObject = true;
    if ((carriesLight || carriesCamera) && meshes.empty() && node->mNumChildren == 0)
        asObject = false;
    if (isRoot && meshes.empty() && isIdentity(node->mTransformation) && !carriesLight && !carriesCamera)
        asObject = false;

    auto materialOf = [&c](const aiMesh* mesh) {
        return mesh->mMaterialIndex < c.materialIds.size() ? c.materialIds[mesh->mMaterialIndex] : -1;
    };
    int32_t id = parentId;
    if (asObject) {
        id = c.nextNodeId++;
        const std::string name = c.objectNames.unique(nodeName, "Object");
        if (meshes.empty()) {
            c.out->addGroup(id, parentId, name, world);
        } else {
            const aiMesh* first = c.scene->mMeshes[meshes[0]];
            c.out->addMeshNode(id, static_cast<int32_t>(meshes[0]), parentId, name, world, materialOf(first));
        }
        ++objectCount;
        // Further meshes of the node (one per material in most exporters) hang below it.
        for (size_t k = 1; k < meshes.size(); ++k) {
            const aiMesh* m = c.scene->mMeshes[meshes[k]];
            c.out->addMeshNode(c.nextNodeId++, static_cast<int32_t>(meshes[k]), id,
                               c.objectNames.unique(name + "_" + std::to_string(k), "Object"), world, materialOf(m));
            ++objectCount;
        }
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i)
        writeNode(c, node->mChildren[i], world, id, false);
}
