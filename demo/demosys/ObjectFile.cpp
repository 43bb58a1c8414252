#include "ObjectFile.h"

#include "Log.h"
#include "ResourceFile.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <map>
#include <set>

using ORVDemosys::Log;

namespace {

// The smallest number of bytes each record can take (strings at least their zero
// byte): a count that cannot fit in what is left of the file is refused before
// anything is allocated for it.
const uint64_t minMeshBytes = 4 + 1 + 7 * 4 + 6 * 4;
const uint64_t minTextureBytes = 4 + 1 + 1;
const uint64_t minMaterialBytes = 4 + 1 + 4 * 4 + 3 * 4 + 3 * 4 + 4 + 4;
const uint64_t minLightBytes = 4 + 4 + 3 * 4 + 3 * 4;
const uint64_t minNodeBytes = 4 + 4;

std::string ordinal(uint64_t index, uint64_t total)
{
    return std::to_string(index + 1) + " of " + std::to_string(total);
}

} // namespace

// Little-endian reads through the resource file's bounds-checked readers; after any
// read past the end, ok() is false and every value read was zero.
class ObjectFile::Cursor {
public:
    explicit Cursor(ResourceFile& file) : file(file) {}

    bool ok() const { return !file.readFailed(); }
    uint64_t remaining() const { return file.remaining(); }
    bool fits(uint64_t count, uint64_t recordBytes) const { return file.fits(count, recordBytes); }
    int32_t i32() { return file.readInt(); }
    uint32_t u32() { return static_cast<uint32_t>(file.readInt()); }
    float f32() { return file.readFloat(); }
    std::string str() { return file.readString(); }
    glm::vec3 vec3()
    {
        glm::vec3 v;
        v.x = f32();
        v.y = f32();
        v.z = f32();
        return v;
    }
    glm::mat4 mat4()
    {
        glm::mat4 m;
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                m[c][r] = f32();
        return m;
    }

private:
    ResourceFile& file;
};

uint32_t ObjectFile::Mesh::indexStride() const
{
    return (positionCount != 0 ? 1u : 0u) + (normalCount != 0 ? 1u : 0u) + (texcoordCount != 0 ? 1u : 0u);
}

int ObjectFile::Mesh::floatsPerVertex() const
{
    return (positionCount != 0 ? 3 : 0) + (normalCount != 0 ? 3 : 0) + (texcoordCount != 0 ? 2 : 0);
}

std::vector<std::string> ObjectFile::Mesh::attributeNames() const
{
    std::vector<std::string> names{"in_Position"};
    if (hasNormals())
        names.push_back("in_Normal");
    if (hasTexcoords()) {
        names.push_back("in_UV0");
        names.push_back("in_Tangent");
        names.push_back("in_Bitangent");
    }
    return names;
}

ObjectFile::ObjectFile() : log(nullptr) {}

std::ostream& ObjectFile::logStream() const { return log ? *log : Log::info(); }

bool ObjectFile::fail(const std::string& detail)
{
    error = "Object '" + path + "' is corrupt: " + detail;
    return false;
}

void ObjectFile::warn(const std::string& line)
{
    warnings.push_back(line);
    logStream() << line << std::endl;
}

Status ObjectFile::parse(ResourceFile& file, const std::string& filePath)
{
    path = filePath;
    error.clear();
    if (readAll(file))
        return Status::success();
    return Status::failure(error);
}

bool ObjectFile::readAll(ResourceFile& file)
{
    warnings.clear();
    meshes.clear();
    textures.clear();
    materials.clear();
    lights.clear();
    nodes.clear();
    Cursor in(file);
    std::ostream& out = logStream();

    version = in.i32();
    if (!in.ok())
        return fail("the file ends inside the version");
    if (trace)
        out << "File version : " << version << std::endl;
    if (version != 1) {
        error = "Invalid object version in file '" + path + "', File version states version " +
                std::to_string(version) + ". Expected version " + std::to_string(1) + ".";
        return false;
    }

    const uint32_t meshCount = in.u32();
    if (!in.ok())
        return fail("the file ends inside the mesh count");
    if (trace)
        out << "Number of meshes : " << meshCount << std::endl;
    if (!in.fits(meshCount, minMeshBytes))
        return tooMany(in, "mesh", meshCount);
    meshes.reserve(meshCount);
    for (uint32_t i = 0; i < meshCount; ++i)
        if (!readMesh(in, i, meshCount))
            return false;

    return readTextures(in) && readMaterials(in) && readLights(in) && readNodes(in) && checkScene();
}

bool ObjectFile::tooMany(Cursor& in, const char* noun, uint64_t count)
{
    return fail(std::string("the ") + noun + " count " + std::to_string(count) + " is more than the " +
                std::to_string(in.remaining()) + " bytes left can hold");
}

bool ObjectFile::readTextures(Cursor& in)
{
    std::ostream& out = logStream();
    const uint32_t textureCount = in.u32();
    if (!in.ok())
        return fail("the file ends inside the texture count");
    if (trace)
        out << "Number of textures " << textureCount << std::endl;
    if (!in.fits(textureCount, minTextureBytes))
        return tooMany(in, "texture", textureCount);
    for (uint32_t i = 0; i < textureCount; ++i) {
        TextureRef t;
        t.id = in.u32();
        t.name = in.str();
        t.fileName = in.str();
        if (!in.ok())
            return fail("the file ends inside texture " + ordinal(i, textureCount));
        if (trace)
            out << "Texture " << t.id << " : " << t.name << " : " << t.fileName << std::endl;
        textures.push_back(t);
    }
    return true;
}

bool ObjectFile::readMaterials(Cursor& in)
{
    std::ostream& out = logStream();
    const uint32_t materialCount = in.u32();
    if (!in.ok())
        return fail("the file ends inside the material count");
    if (trace)
        out << "Number of materials " << materialCount << std::endl;
    if (!in.fits(materialCount, minMaterialBytes))
        return tooMany(in, "material", materialCount);
    for (uint32_t i = 0; i < materialCount; ++i) {
        Material m;
        m.id = in.u32();
        m.name = in.str();
        for (int k = 0; k < 4; ++k)
            in.f32();
        m.diffuseColor = in.vec3();
        m.secondColor = in.vec3();
        m.exponent = in.f32();
        m.textureId = in.u32();
        if (!in.ok())
            return fail("the file ends inside material " + ordinal(i, materialCount));
        materials.push_back(m);
    }
    return true;
}

bool ObjectFile::readLights(Cursor& in)
{
    std::ostream& out = logStream();
    const uint32_t lightCount = in.u32();
    if (!in.ok())
        return fail("the file ends inside the light count");
    if (trace)
        out << "Number of lights " << lightCount << std::endl;
    if (!in.fits(lightCount, minLightBytes))
        return tooMany(in, "light", lightCount);
    for (uint32_t i = 0; i < lightCount; ++i) {
        Light l;
        l.id = in.i32();
        l.kind = in.i32();
        l.position = in.vec3();
        l.radius = in.f32();
        l.spotParameter = in.f32();
        l.coneAngle = in.f32();
        if (!in.ok())
            return fail("the file ends inside light " + ordinal(i, lightCount));
        lights.push_back(l);
    }
    return true;
}

bool ObjectFile::readNodes(Cursor& in)
{
    std::ostream& out = logStream();
    if (trace)
        out << "--- Scene Tree ---" << std::endl;
    const int32_t nodeCount = in.i32();
    if (!in.ok())
        return fail("the file ends inside the node count");
    if (trace)
        out << "Number of nodes " << nodeCount << std::endl;
    if (nodeCount > 0 && !in.fits(uint64_t(nodeCount), minNodeBytes))
        return tooMany(in, "node", uint64_t(nodeCount));
    for (int32_t i = 0; i < nodeCount; ++i)
        if (!readNode(in, i, nodeCount))
            return false;
    return true;
}

bool ObjectFile::readMesh(Cursor& in, uint32_t index, uint32_t total)
{
    std::ostream& out = logStream();
    const std::string which = "mesh " + ordinal(index, total);
    Mesh m;
    m.id = in.u32();
    m.name = in.str();
    m.positionCount = in.u32();
    m.positionSlot = in.u32();
    m.normalCount = in.u32();
    m.normalSlot = in.u32();
    m.texcoordCount = in.u32();
    m.texcoordSlot = in.u32();
    m.indexCount = in.u32();
    m.boxMin = in.vec3();
    m.boxMax = in.vec3();
    if (!in.ok())
        return fail("the file ends inside the head of " + which);
    const std::string named = which + " ('" + m.name + "')";

    const uint32_t stride = m.indexStride();
    const uint32_t polygonIndices = stride ? m.indexCount / stride : 0;
    if (trace) {
        out << "Mesh id : '" << m.id << "'" << std::endl;
        out << "Mesh name : '" << m.name << "'" << std::endl;
        out << "Vertex    : count = " << m.positionCount << ", offset = " << m.positionSlot << std::endl;
        out << "Normal    : count = " << m.normalCount << ", offset = " << m.normalSlot << std::endl;
        out << "Texcoord0 : count = " << m.texcoordCount << ", offset = " << m.texcoordSlot << std::endl;
        out << "IndexList : count = " << m.indexCount << std::endl;
        out << "Index stride : " << stride << std::endl;
        out << "Polygon indices : " << polygonIndices << std::endl;
    }

    const uint64_t arrayBytes = uint64_t(m.positionCount) * 12 + uint64_t(m.normalCount) * 12 +
                                uint64_t(m.texcoordCount) * 8 + uint64_t(m.indexCount) * 4;
    if (!in.fits(arrayBytes, 1))
        return fail(named + " needs " + std::to_string(arrayBytes) + " bytes for its arrays but only " +
                    std::to_string(in.remaining()) + " are left");
    if (m.positionCount == 0 && (m.normalCount != 0 || m.texcoordCount != 0))
        return fail(named + " has normals or texture coordinates but no positions");
    // An index tuple walks the slots 0, 1 and 2 and takes one index for each slot that a
    // present array names; a slot that names no present array is skipped, so a file may
    // leave a gap (positions in 0, texture coordinates in 2). Two arrays in one slot, or
    // a slot the walk never reaches, would lose an array: those files are refused.
    uint32_t place[3] = {0, 0, 0}; // where each array's index sits in the tuple
    if (!indexPlaces(m, place))
        return fail(named + " gives its arrays the index slots " + std::to_string(m.positionSlot) + ", " +
                    std::to_string(m.normalSlot) + ", " + std::to_string(m.texcoordSlot) +
                    "; each present array needs a slot of its own, from 0 to 2");
    const uint64_t outputFloats = uint64_t(polygonIndices) * uint64_t(m.floatsPerVertex());
    if (outputFloats > uint64_t(std::numeric_limits<int32_t>::max()))
        return fail(named + " has more vertices than one vertex buffer can hold");

    if (trace)
        out << "--- Vertices ---" << std::endl;
    std::vector<float> positions(size_t(m.positionCount) * 3);
    for (float& f : positions)
        f = in.f32();
    if (trace)
        out << "--- Normals ---" << std::endl;
    std::vector<float> normals(size_t(m.normalCount) * 3);
    for (float& f : normals)
        f = in.f32();
    if (trace)
        out << "--- UVs ---" << std::endl;
    std::vector<float> uvs(size_t(m.texcoordCount) * 2);
    for (float& f : uvs)
        f = in.f32();
    if (trace)
        out << "--- Polydata ---" << std::endl;
    std::vector<uint32_t> indices(m.indexCount);
    for (uint32_t& i : indices)
        i = in.u32();
    if (!in.ok())
        return fail("the file ends inside the arrays of " + named);

    if (!deindex(m, named, place, positions, normals, uvs, indices))
        return false;
    meshes.push_back(std::move(m));
    return true;
}

bool ObjectFile::indexPlaces(const Mesh& m, uint32_t place[3])
{
    const bool present[3] = {m.positionCount != 0, m.normalCount != 0, m.texcoordCount != 0};
    const uint32_t slot[3] = {m.positionSlot, m.normalSlot, m.texcoordSlot};
    bool layoutOk = true;
    for (int k = 0; k < 3; ++k) {
        if (!present[k])
            continue;
        layoutOk = layoutOk && slot[k] <= 2;
        for (int j = 0; j < 3; ++j) {
            if (j == k || !present[j])
                continue;
            layoutOk = layoutOk && slot[j] != slot[k];
            place[k] += slot[j] < slot[k] ? 1 : 0;
        }
    }
    return layoutOk;
}

bool ObjectFile::deindex(Mesh& m, const std::string& named, const uint32_t place[3], const std::vector<float>& positions,
                         const std::vector<float>& normals, const std::vector<float>& uvs,
                         const std::vector<uint32_t>& indices)
{
    // De-index: one output vertex per whole tuple (a remainder of the index list is
    // never read), written position, normal, uv whatever the slot order.
    const uint32_t stride = m.indexStride();
    const uint32_t polygonIndices = stride ? m.indexCount / stride : 0;
    m.vertexCount = polygonIndices;
    m.vertices.reserve(size_t(polygonIndices) * size_t(m.floatsPerVertex()));
    for (uint32_t v = 0; v < polygonIndices; ++v) {
        const uint32_t* tuple = indices.data() + size_t(v) * stride;
        const struct {
            uint32_t count, place;
            const std::vector<float>* data;
            int width;
            const char* what;
        } arrays[3] = {{m.positionCount, place[0], &positions, 3, "positions"},
                       {m.normalCount, place[1], &normals, 3, "normals"},
                       {m.texcoordCount, place[2], &uvs, 2, "texture coordinates"}};
        for (const auto& a : arrays) {
            if (a.count == 0)
                continue;
            const uint32_t i = tuple[a.place];
            if (i >= a.count)
                return fail(named + " has index " + std::to_string(i) + " at place " +
                            std::to_string(size_t(v) * stride + a.place) + " of its index list, beyond its " +
                            std::to_string(a.count) + " " + a.what);
            const float* src = a.data->data() + size_t(i) * a.width;
            m.vertices.insert(m.vertices.end(), src, src + a.width);
        }
    }
    return true;
}

bool ObjectFile::readNode(Cursor& in, int32_t index, int32_t total)
{
    std::ostream& out = logStream();
    Node n;
    n.id = in.i32();
    n.type = in.i32();
    if (!in.ok())
        return fail("the file ends inside node " + ordinal(uint64_t(index), uint64_t(total)));
    if (trace) {
        out << "-> Node id : " << n.id << std::endl;
        out << "-> Node type : " << n.type << std::endl;
    }
    auto traceMatrix = [&]() {
        if (!trace)
            return;
        out << "-> Matrix :";
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                out << ' ' << n.matrix[c][r];
        out << std::endl;
    };
    switch (n.type) {
    case GroupNode:
    case MeshNode:
        if (n.type == MeshNode) {
            n.ref = in.i32();
            if (trace && in.ok())
                out << "-> Node type ref : " << n.ref << std::endl;
            if (in.ok() && !findMesh(static_cast<uint32_t>(n.ref)))
                warn("ERROR : Cannot find mesh " + std::to_string(n.ref));
        }
        n.parentId = in.i32();
        if (trace && in.ok())
            out << "-> Node parent : " << n.parentId << std::endl;
        n.name = in.str();
        if (trace && in.ok())
            out << "-> Node name : " << n.name << std::endl;
        n.matrix = in.mat4();
        if (in.ok())
            traceMatrix();
        if (n.type == MeshNode)
            n.materialId = in.i32();
        break;
    case CameraNode:
        in.i32();
        in.i32();
        n.name = in.str();
        n.matrix = in.mat4();
        in.i32();
        break;
    case LightNode:
        if (trace)
            out << "Light" << std::endl;
        n.ref = in.i32();
        in.i32();
        n.name = in.str();
        n.matrix = in.mat4();
        in.i32();
        if (in.ok() && !findLight(n.ref))
            warn("ERROR : Light node " + std::to_string(n.id) + " ('" + n.name + "') names light " +
                 std::to_string(n.ref) + ", which the file does not hold; the node is skipped");
        break;
    default:
        // Unknown node types are only their head.
        break;
    }
    if (!in.ok())
        return fail("the file ends inside node " + ordinal(uint64_t(index), uint64_t(total)) + " (id " +
                    std::to_string(n.id) + ")");
    nodes.push_back(std::move(n));
    return true;
}

bool ObjectFile::checkScene()
{
    // Names that the scene keeps unique: a second one would stop the program when the
    // scene is built, so the file is refused here instead.
    std::set<std::string> seen;
    for (const Material& m : materials)
        if (!seen.insert(m.name).second)
            return fail("two materials are named '" + m.name + "'");
    seen.clear();
    const std::vector<const Node*> objects = objectNodes();
    for (const Node* n : objects)
        if (!seen.insert(n->name).second)
            return fail("two objects are named '" + n->name + "'");
    seen.clear();
    for (const Node* n : cameraNodes())
        if (!seen.insert(n->name).second)
            return fail("two cameras are named '" + n->name + "'");
    seen.clear();
    for (const Node* n : lightNodes())
        if (!seen.insert(n->name).second)
            return fail("two lights are named '" + n->name + "'");

    // A parent chain that comes back to where it started would make every walk of the
    // tree (drawing, updating, hiding) run forever.
    std::map<int32_t, const Node*> byId;
    for (const Node* n : objects)
        byId[n->id] = n;
    std::map<int32_t, int> state; // 1: on the current chain, 2: known to end
    for (const Node* start : objects) {
        std::vector<int32_t> chain;
        const Node* n = start;
        while (n && state[n->id] == 0) {
            state[n->id] = 1;
            chain.push_back(n->id);
            auto parent = byId.find(n->parentId);
            n = parent == byId.end() ? nullptr : parent->second;
        }
        if (n && state[n->id] == 1)
            return fail("node " + std::to_string(n->id) + " ('" + n->name + "') is its own ancestor");
        for (int32_t id : chain)
            state[id] = 2;
    }
    return true;
}

const ObjectFile::Mesh* ObjectFile::findMesh(uint32_t id) const
{
    for (auto it = meshes.rbegin(); it != meshes.rend(); ++it)
        if (it->id == id)
            return &*it;
    return nullptr;
}

const ObjectFile::Light* ObjectFile::findLight(int32_t id) const
{
    for (auto it = lights.rbegin(); it != lights.rend(); ++it)
        if (it->id == id)
            return &*it;
    return nullptr;
}

const ObjectFile::Material* ObjectFile::findMaterial(uint32_t id) const
{
    for (auto it = materials.rbegin(); it != materials.rend(); ++it)
        if (it->id == id)
            return &*it;
    return nullptr;
}

const ObjectFile::TextureRef* ObjectFile::findTexture(uint32_t id) const
{
    for (auto it = textures.rbegin(); it != textures.rend(); ++it)
        if (it->id == id)
            return &*it;
    return nullptr;
}

std::vector<const ObjectFile::Node*> ObjectFile::objectNodes() const
{
    std::map<int32_t, const Node*> byId;
    for (const Node& n : nodes)
        if (n.type == GroupNode || n.type == MeshNode)
            byId[n.id] = &n;
    std::vector<const Node*> result;
    for (const auto& entry : byId)
        result.push_back(entry.second);
    return result;
}

std::vector<const ObjectFile::Node*> ObjectFile::cameraNodes() const
{
    std::vector<const Node*> result;
    for (const Node& n : nodes)
        if (n.type == CameraNode)
            result.push_back(&n);
    return result;
}

std::vector<const ObjectFile::Node*> ObjectFile::lightNodes() const
{
    std::vector<const Node*> result;
    for (const Node& n : nodes)
        if (n.type == LightNode && findLight(n.ref))
            result.push_back(&n);
    return result;
}
