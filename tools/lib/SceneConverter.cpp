#include "SceneConverter.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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
    return glm::mat4(glm::vec4(x, 0), glm::vec4(y, 0), glm::vec4(z, 0), glm::vec4(position, 1));
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

// glTF asks for unit quaternions, but hand-written files and some exporters carry
// others, and the importer builds a node's matrix from the quaternion as it stands,
// which shears and scales the node. Every "rotation": [x, y, z, w] of the JSON is made
// unit length before the importer reads it (a zero one becomes no rotation). Other
// "rotation" keys of glTF (texture transforms) hold a single number and stay.
std::string normaliseRotations(const std::string& json)
{
    static const char key[] = "\"rotation\"";
    std::string out;
    size_t done = 0;
    for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        size_t i = at + sizeof key - 1;
        auto skipBlanks = [&json, &i] {
            while (i < json.size() && json[i] != '\0' && std::strchr(" \t\r\n", json[i]))
                ++i;
        };
        skipBlanks();
        if (i >= json.size() || json[i] != ':')
            continue;
        ++i;
        skipBlanks();
        if (i >= json.size() || json[i] != '[')
            continue;
        const size_t open = i++;
        double q[4];
        bool ok = true;
        for (int k = 0; k < 4 && ok; ++k) {
            skipBlanks();
            const char* begin = json.c_str() + i;
            char* end = nullptr;
            q[k] = std::strtod(begin, &end);
            ok = end != begin;
            i += static_cast<size_t>(end - begin);
            skipBlanks();
            ok = ok && i < json.size() && json[i] == (k == 3 ? ']' : ',');
            ++i;
        }
        if (!ok)
            continue;
        const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        if (std::fabs(length - 1.0) < 1e-6)
            continue;
        char text[160];
        if (length > 0.0)
            std::snprintf(text, sizeof text, "[%.9g, %.9g, %.9g, %.9g]", q[0] / length, q[1] / length,
                          q[2] / length, q[3] / length);
        else
            std::snprintf(text, sizeof text, "[0, 0, 0, 1]");
        out += json.substr(done, open - done) + text;
        done = i;
    }
    return done == 0 ? json : out + json.substr(done);
}

uint32_t readLE32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v |= uint32_t(static_cast<unsigned char>(bytes[at + k])) << (8 * k);
    return v;
}

void putLE32(std::string& bytes, size_t at, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

// The file with its node rotations normalised: a .gltf is JSON throughout; a .glb
// holds the JSON as its first chunk (12-byte header, then length, type and data, the
// data padded with blanks to four bytes).
std::string normaliseGltf(const std::string& bytes)
{
    if (bytes.size() < 20 || bytes.compare(0, 4, "glTF") != 0)
        return normaliseRotations(bytes);
    const uint32_t jsonLength = readLE32(bytes, 12);
    if (bytes.compare(16, 4, "JSON") != 0 || jsonLength > bytes.size() - 20)
        return bytes; // damaged: the importer reports it
    std::string json = normaliseRotations(bytes.substr(20, jsonLength));
    json.append((4 - json.size() % 4) % 4, ' ');
    std::string out = bytes.substr(0, 20) + json + bytes.substr(20 + jsonLength);
    putLE32(out, 8, static_cast<uint32_t>(out.size()));
    putLE32(out, 12, static_cast<uint32_t>(json.size()));
    return out;
}

// The importer stops with a crash on a skin without inverse bind matrices (which glTF
// allows: they default to identity). A skin names its "joints"; so does nothing else
// in glTF (vertex attributes are "JOINTS_0").
bool skinWithoutBindMatrices(const std::string& json)
{
    auto count = [&json](const char* key) {
        size_t n = 0;
        for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1))
            ++n;
        return n;
    };
    return count("\"joints\"") > count("\"inverseBindMatrices\"");
}

// Files as they are on disk, except the scene file itself, which the importer gets as
// prepared here (node rotations normalised).
class GltfFileSystem : public Assimp::DefaultIOSystem {
public:
    GltfFileSystem(const std::string& sceneFile, const std::string& prepared) : sceneFile(sceneFile), prepared(prepared)
    {
    }

    Assimp::IOStream* Open(const char* file, const char* mode) override
    {
        if (sceneFile != file || (mode && std::strchr(mode, 'w')))
            return DefaultIOSystem::Open(file, mode);
        uint8_t* buffer = new uint8_t[prepared.size() ? prepared.size() : 1];
        std::memcpy(buffer, prepared.data(), prepared.size());
        return new Assimp::MemoryIOStream(buffer, prepared.size(), true);
    }

private:
    std::string sceneFile;
    std::string prepared;
};

// "1 camera", "2 cameras".
std::string countOf(unsigned count, const std::string& one, const std::string& many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

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

Status SceneConverter::convert(const std::string& input, VboWriter& out)
{
    warnings.clear();
    Assimp::Importer importer;
    const std::string ext = lowerExtension(input);
    const bool gltf = ext == "gltf" || ext == "glb";
    std::ifstream file(gltf ? input : std::string(), std::ios::binary);
    if (file) {
        const std::string prepared =
            normaliseGltf(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()));
        if (skinWithoutBindMatrices(prepared))
            return Status::failure(input +
                                   ": cannot read the scene (a skin without inverseBindMatrices; give it identity matrices)");
        importer.SetIOHandler(new GltfFileSystem(input, prepared)); // the importer owns it
    }
    // Points and lines have no place in a triangle-list mesh.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    const aiScene* scene = importer.ReadFile(input, aiProcess_Triangulate | aiProcess_GenSmoothNormals |
                                                        aiProcess_SortByPType | aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
        std::string reason = importer.GetErrorString();
        // One line, whatever the importer wrote.
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        std::replace(reason.begin(), reason.end(), '\r', ' ');
        return Status::failure(input + ": cannot read the scene" + (reason.empty() ? std::string() : " (" + reason + ")"));
    }

    Context c;
    c.scene = scene;
    c.out = &out;
    c.gltf = gltf;
    warnLeftOut(scene);

    writeMaterials(c);
    writeMeshes(c);

    for (unsigned i = 0; i < scene->mNumLights; ++i)
        c.lightsByNode[scene->mLights[i]->mName.C_Str()] = scene->mLights[i];
    for (unsigned i = 0; i < scene->mNumCameras; ++i)
        c.camerasByNode[scene->mCameras[i]->mName.C_Str()] = scene->mCameras[i];

    writeNode(c, scene->mRootNode, glm::mat4(1.0f), -1, true);
    return Status::success();
}

void SceneConverter::writeMaterials(Context& c)
{
    const aiScene* scene = c.scene;
    VboWriter& out = *c.out;
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
        record.id = static_cast<uint32_t>(counts.materials++);
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
                t.id = static_cast<uint32_t>(counts.textures++);
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
    if (counts.materials > 256)
        warnings.push_back(std::to_string(counts.materials) +
                           " materials: the deferred renderer's material table has rows for the first 256 only");
}

void SceneConverter::writeMeshes(Context& c)
{
    const aiScene* scene = c.scene;
    VboWriter& out = *c.out;
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
        ++counts.meshes;
    }
}

void SceneConverter::warnLeftOut(const aiScene* scene)
{
    unsigned skinned = 0, coloured = 0, orthographic = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        skinned += scene->mMeshes[i]->HasBones() ? 1 : 0;
        coloured += scene->mMeshes[i]->HasVertexColors(0) ? 1 : 0;
    }
    for (unsigned i = 0; i < scene->mNumCameras; ++i)
        orthographic += scene->mCameras[i]->mOrthographicWidth > 0.0f ? 1 : 0;
    if (scene->mNumAnimations)
        warnings.push_back(countOf(scene->mNumAnimations, "animation", "animations") +
                           " left out: the model arrives in its rest pose");
    if (skinned)
        warnings.push_back(countOf(skinned, "skinned mesh", "skinned meshes") +
                           ": skins are left out and the model arrives in its rest pose");
    if (coloured)
        warnings.push_back(countOf(coloured, "mesh", "meshes") +
                           " with vertex colours (COLOR_0): the object file cannot carry them; left out");
    if (scene->mNumCameras)
        warnings.push_back(
            countOf(scene->mNumCameras, "camera", "cameras") +
            ": the object file keeps a camera's view, not its lens (field of view, clipping planes)" +
            (orthographic ? "; " + countOf(orthographic, "orthographic camera gets", "orthographic cameras get") +
                                " the production's perspective projection"
                          : std::string()));
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
            ++counts.lights;
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
        ++counts.cameras;
    }

    // A node that only carries a light or camera needs no object, and the root that the
    // importer adds itself (for an OBJ file, which has no tree, and for a glTF scene of
    // several top nodes or none, where it is called "ROOT") is no node of the file.
    // A root the file names itself (exporters wrap whole scenes in one) stays: an
    // effect may look it up.
    std::vector<unsigned> meshes;
    for (unsigned i = 0; i < node->mNumMeshes; ++i)
        if (node->mMeshes[i] < c.meshWritten.size() && c.meshWritten[node->mMeshes[i]])
            meshes.push_back(node->mMeshes[i]);
    bool asObject = true;
    if ((carriesLight || carriesCamera) && meshes.empty() && node->mNumChildren == 0)
        asObject = false;
    const bool placeholder = c.gltf ? nodeName == "ROOT" && node->mNumChildren != 1 : true;
    if (isRoot && placeholder && meshes.empty() && isIdentity(node->mTransformation) && !carriesLight &&
        !carriesCamera)
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
        ++counts.objects;
        // Further meshes of the node (one per material in most exporters) hang below it.
        for (size_t k = 1; k < meshes.size(); ++k) {
            const aiMesh* m = c.scene->mMeshes[meshes[k]];
            c.out->addMeshNode(c.nextNodeId++, static_cast<int32_t>(meshes[k]), id,
                               c.objectNames.unique(name + "_" + std::to_string(k), "Object"), world, materialOf(m));
            ++counts.objects;
        }
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i)
        writeNode(c, node->mChildren[i], world, id, false);
}
