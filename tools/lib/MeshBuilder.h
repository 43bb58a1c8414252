#pragma once

#include "VboWriter.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Triangle soup for procedural scenes: every corner carries a position, a normal and a
// texture coordinate. Each triangle is wound counter-clockwise seen from the side its
// normals point to, so back-face culling keeps exactly the faces that look at the camera
// (a room built with inward normals is seen from inside and open from outside).
class MeshBuilder {
public:
    // One profile point of a surface of revolution: radius and height.
    using ProfilePoint = glm::vec2;

    void triangle(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, const glm::vec3& na,
                  const glm::vec3& nb, const glm::vec3& nc, const glm::vec2& ta, const glm::vec2& tb,
                  const glm::vec2& tc);
    // A flat quad a, b, c, d (in order around it) with normal n and uvs ua .. ud.
    void quad(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, const glm::vec3& d, const glm::vec3& n,
              const glm::vec2& ua, const glm::vec2& ub, const glm::vec2& uc, const glm::vec2& ud);

    // A box of half extents h around centre, its edges chamfered by bevel (0 for none),
    // the chamfers shaded round. uvs are the box's own coordinates times uvScale,
    // projected along each face's axis. inward turns the faces to the inside (a room).
    void box(const glm::vec3& centre, const glm::vec3& h, float bevel, float uvScale = 1.0f, bool inward = false);
    // A floor-like rectangle at height y from (x0, z0) to (x1, z1), facing up (or down),
    // in cells x cells quads, uv = world x, z times uvScale.
    void plane(float x0, float z0, float x1, float z1, float y, int cells, float uvScale, bool facingUp = true);
    // A surface of revolution about the y axis through the profile (radius, height)
    // points, walked with the outside on the left (top to bottom for an outer wall).
    // Each profile segment is one band with its own normal; segments is the number of
    // steps around. u runs once around (times uRepeat), v along the profile's length.
    void lathe(const std::vector<ProfilePoint>& profile, int segments, const glm::vec3& centre, float uRepeat = 1.0f,
               float vScale = 1.0f);
    // A closed cylinder about y from y0 to y1 with chamfered rims (bevel), and optional
    // vertical bands (so that a vertex shader can bend it).
    void cylinder(const glm::vec3& base, float radius, float height, float bevel, int segments, int bands = 1);
    // A sphere by subdividing an icosahedron subdivisions times (80 triangles at 1).
    void icosphere(const glm::vec3& centre, float radius, int subdivisions);
    // A sphere in rings x segments quads with uvs.
    void uvSphere(const glm::vec3& centre, float radius, int rings, int segments);

    // Appends another builder's triangles placed by m (normals by its inverse transpose).
    void append(const MeshBuilder& other, const glm::mat4& m);

    size_t triangleCount() const { return positions.size() / 3; }
    bool empty() const { return positions.empty(); }
    // A mesh record with one index tuple per corner; uvs only when withUVs.
    VboWriter::Mesh mesh(uint32_t id, const std::string& name, bool withUVs) const;

private:
    std::vector<glm::vec3> positions;
    std::vector<glm::vec3> normals;
    std::vector<glm::vec2> uvs;
};
