#include "VboWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<uint8_t>& out) : out(out) {}
    void u32(uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            out.push_back(static_cast<uint8_t>(v >> (8 * k)));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float f)
    {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        u32(u);
    }
    void vec3(const glm::vec3& v)
    {
        f32(v.x);
        f32(v.y);
        f32(v.z);
    }
    void str(const std::string& s)
    {
        // The reader stops at the first zero byte, so that is where the name ends.
        out.insert(out.end(), s.begin(), std::find(s.begin(), s.end(), '\0'));
        out.push_back(0);
    }
    void mat4(const glm::mat4& m)
    {
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                f32(m[c][r]);
    }

private:
    std::vector<uint8_t>& out;
};

// One mesh record: its head (slots in order of the arrays present unless given, the box
// of its positions unless given), then its arrays and indices.
void putMesh(Bytes& out, const VboWriter::Mesh& m)
{
    int next = 0;
    const int positionSlot = m.positionSlot >= 0 ? m.positionSlot : (m.positions.empty() ? 0 : next++);
    const int normalSlot = m.normalSlot >= 0 ? m.normalSlot : (m.normals.empty() ? 0 : next++);
    const int texcoordSlot = m.texcoordSlot >= 0 ? m.texcoordSlot : (m.texcoords.empty() ? 0 : next++);
    glm::vec3 low = m.boxMin, high = m.boxMax;
    if (!m.hasBox) {
        low = high = m.positions.empty() ? glm::vec3(0.0f) : m.positions.front();
        for (const glm::vec3& p : m.positions) {
            low = glm::min(low, p);
            high = glm::max(high, p);
        }
    }
    out.u32(m.id);
    out.str(m.name);
    out.u32(static_cast<uint32_t>(m.positions.size()));
    out.u32(static_cast<uint32_t>(positionSlot));
    out.u32(static_cast<uint32_t>(m.normals.size()));
    out.u32(static_cast<uint32_t>(normalSlot));
    out.u32(static_cast<uint32_t>(m.texcoords.size()));
    out.u32(static_cast<uint32_t>(texcoordSlot));
    out.u32(static_cast<uint32_t>(m.indices.size()));
    out.vec3(low);
    out.vec3(high);
    for (const glm::vec3& p : m.positions)
        out.vec3(p);
    for (const glm::vec3& n : m.normals)
        out.vec3(n);
    for (const glm::vec2& t : m.texcoords) {
        out.f32(t.x);
        out.f32(t.y);
    }
    for (uint32_t i : m.indices)
        out.u32(i);
}

// One node record; its fields depend on its type.
void putNode(Bytes& out, const VboWriter::Node& n)
{
    out.i32(n.id);
    out.i32(n.type);
    switch (n.type) {
    case VboWriter::GroupNode:
        out.i32(n.parentId);
        out.str(n.name);
        out.mat4(n.matrix);
        break;
    case VboWriter::MeshNode:
        out.i32(n.ref);
        out.i32(n.parentId);
        out.str(n.name);
        out.mat4(n.matrix);
        out.i32(n.materialId);
        break;
    case VboWriter::CameraNode:
        out.i32(0);
        out.i32(0);
        out.str(n.name);
        out.mat4(n.matrix);
        out.i32(0);
        break;
    case VboWriter::LightNode:
        out.i32(n.ref);
        out.i32(0);
        out.str(n.name);
        out.mat4(n.matrix);
        out.i32(0);
        break;
    default:
        break;
    }
}

} // namespace

// Node fields in order: id, type, ref (mesh or light id), parent id, name, matrix,
// material id.
void VboWriter::addGroup(int32_t id, int32_t parentId, const std::string& name, const glm::mat4& matrix)
{
    nodes.push_back({id, GroupNode, 0, parentId, name, matrix, -1});
}

void VboWriter::addMeshNode(int32_t id, int32_t meshId, int32_t parentId, const std::string& name,
                            const glm::mat4& matrix, int32_t materialId)
{
    nodes.push_back({id, MeshNode, meshId, parentId, name, matrix, materialId});
}

void VboWriter::addCamera(int32_t id, const std::string& name, const glm::mat4& view)
{
    nodes.push_back({id, CameraNode, 0, -1, name, view, -1});
}

void VboWriter::addLightNode(int32_t id, int32_t lightId, const std::string& name, const glm::mat4& matrix)
{
    nodes.push_back({id, LightNode, lightId, -1, name, matrix, -1});
}

VboWriter::Mesh VboWriter::cornerMesh(uint32_t id, const std::string& name, const std::vector<glm::vec3>& positions,
                                      const std::vector<glm::vec3>& normals, const std::vector<glm::vec2>& texcoords,
                                      const std::vector<uint32_t>& corners)
{
    Mesh m;
    m.id = id;
    m.name = name;
    m.positions = positions;
    m.normals = normals;
    m.texcoords = texcoords;
    const size_t stride = (positions.empty() ? 0 : 1) + (normals.empty() ? 0 : 1) + (texcoords.empty() ? 0 : 1);
    m.indices.reserve(corners.size() * stride);
    for (uint32_t corner : corners)
        for (size_t k = 0; k < stride; ++k)
            m.indices.push_back(corner);
    return m;
}

std::vector<uint8_t> VboWriter::bytes() const
{
    std::vector<uint8_t> data;
    Bytes out(data);
    out.i32(version);

    out.u32(static_cast<uint32_t>(meshes.size()));
    for (const Mesh& m : meshes)
        putMesh(out, m);

    out.u32(static_cast<uint32_t>(textures.size()));
    for (const Texture& t : textures) {
        out.u32(t.id);
        out.str(t.name);
        out.str(t.fileName);
    }

    out.u32(static_cast<uint32_t>(materials.size()));
    for (const Material& m : materials) {
        out.u32(m.id);
        out.str(m.name);
        for (int k = 0; k < 4; ++k)
            out.f32(0.0f);
        out.vec3(m.diffuseColor);
        out.vec3(m.secondColor);
        out.f32(m.exponent);
        out.u32(m.textureId);
    }

    out.u32(static_cast<uint32_t>(lights.size()));
    for (const Light& l : lights) {
        out.i32(l.id);
        out.i32(l.kind);
        out.vec3(l.position);
        out.f32(l.radius);
        out.f32(l.spotParameter);
        out.f32(l.coneAngle);
    }

    out.i32(static_cast<int32_t>(nodes.size()));
    for (const Node& n : nodes)
        putNode(out, n);
    return data;
}

Status VboWriter::save(const std::string& path) const
{
    const std::vector<uint8_t> data = bytes();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return Status::failure(path + ": cannot create (" + std::strerror(errno) + ")");
    const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed)
        return Status::failure(path + ": cannot write (" + std::strerror(errno) + ")");
    return Status::success();
}
