#include "MeshBuilder.h"

#include <glm/gtc/matrix_inverse.hpp>

#include <cmath>
#include <map>
#include <utility>

namespace {

const float pi = 3.14159265358979f;

glm::vec2 projectedUV(const glm::vec3& p, const glm::vec3& n, float scale)
{
    const glm::vec3 a = glm::abs(n);
    if (a.y >= a.x && a.y >= a.z)
        return glm::vec2(p.x, p.z) * scale;
    if (a.x >= a.z)
        return glm::vec2(p.z, p.y) * scale;
    return glm::vec2(p.x, p.y) * scale;
}

} // namespace

void MeshBuilder::triangle(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, const glm::vec3& na,
                           const glm::vec3& nb, const glm::vec3& nc, const glm::vec2& ta, const glm::vec2& tb,
                           const glm::vec2& tc)
{
    const glm::vec3 face = glm::cross(b - a, c - a);
    // Slivers and collapsed corners (the poles of a lathe) add nothing but cost.
    if (glm::length(face) < 1e-9f)
        return;
    if (glm::dot(face, na + nb + nc) < 0.0f) {
        positions.insert(positions.end(), {a, c, b});
        normals.insert(normals.end(), {na, nc, nb});
        uvs.insert(uvs.end(), {ta, tc, tb});
    } else {
        positions.insert(positions.end(), {a, b, c});
        normals.insert(normals.end(), {na, nb, nc});
        uvs.insert(uvs.end(), {ta, tb, tc});
    }
}

void MeshBuilder::quad(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, const glm::vec3& d,
                       const glm::vec3& n, const glm::vec2& ua, const glm::vec2& ub, const glm::vec2& uc,
                       const glm::vec2& ud)
{
    triangle(a, b, c, n, n, n, ua, ub, uc);
    triangle(a, c, d, n, n, n, ua, uc, ud);
}

void MeshBuilder::box(const glm::vec3& centre, const glm::vec3& h, float bevel, float uvScale, bool inward)
{
    const float b = std::max(0.0f, std::min(bevel, 0.49f * std::min(h.x, std::min(h.y, h.z)) * 2.0f));
    const float turn = inward ? -1.0f : 1.0f;
    auto corner = [&](const glm::vec3& local, const glm::vec3& faceNormal, glm::vec3& p, glm::vec3& n,
                      glm::vec2& uv) {
        p = centre + local;
        n = faceNormal * turn;
        uv = projectedUV(p, faceNormal, uvScale);
    };
    auto addTriangle = [&](const glm::vec3 (&local)[3], const glm::vec3 (&faceNormal)[3]) {
        glm::vec3 p[3], n[3];
        glm::vec2 uv[3];
        for (int k = 0; k < 3; ++k)
            corner(local[k], faceNormal[k], p[k], n[k], uv[k]);
        triangle(p[0], p[1], p[2], n[0], n[1], n[2], uv[0], uv[1], uv[2]);
    };
    auto addQuad = [&](const glm::vec3 (&local)[4], const glm::vec3 (&faceNormal)[4]) {
        addTriangle({local[0], local[1], local[2]}, {faceNormal[0], faceNormal[1], faceNormal[2]});
        addTriangle({local[0], local[2], local[3]}, {faceNormal[0], faceNormal[2], faceNormal[3]});
    };
    const glm::vec3 inner = h - glm::vec3(b);
    // Faces: the full extent along their axis, shrunk by the bevel across it.
    for (int a = 0; a < 3; ++a)
        for (float s : {-1.0f, 1.0f}) {
            const int u = (a + 1) % 3, v = (a + 2) % 3;
            glm::vec3 n(0.0f);
            n[a] = s;
            glm::vec3 q[4];
            const float su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
            for (int k = 0; k < 4; ++k) {
                q[k][a] = s * h[a];
                q[k][u] = su[k] * inner[u];
                q[k][v] = sv[k] * inner[v];
            }
            addQuad(q, {n, n, n, n});
        }
    if (b <= 0.0f)
        return;
    // Edge strips between two faces, shaded from one face's normal to the other's.
    for (int a = 0; a < 3; ++a)
        for (int c = a + 1; c < 3; ++c) {
            const int w = 3 - a - c;
            for (float sa : {-1.0f, 1.0f})
                for (float sc : {-1.0f, 1.0f}) {
                    glm::vec3 na(0.0f), nc(0.0f);
                    na[a] = sa;
                    nc[c] = sc;
                    glm::vec3 q[4];
                    const float sw[4] = {-1, 1, 1, -1};
                    for (int k = 0; k < 4; ++k) {
                        const bool onA = k < 2;
                        q[k][a] = sa * (onA ? h[a] : inner[a]);
                        q[k][c] = sc * (onA ? inner[c] : h[c]);
                        q[k][w] = sw[k] * inner[w];
                    }
                    addQuad(q, {na, na, nc, nc});
                }
        }
    // Corner triangles joining three faces.
    for (float sx : {-1.0f, 1.0f})
        for (float sy : {-1.0f, 1.0f})
            for (float sz : {-1.0f, 1.0f}) {
                const glm::vec3 s(sx, sy, sz);
                glm::vec3 q[3], n[3];
                for (int a = 0; a < 3; ++a) {
                    q[a] = s * inner;
                    q[a][a] = s[a] * h[a];
                    n[a] = glm::vec3(0.0f);
                    n[a][a] = s[a];
                }
                addTriangle(q, n);
            }
}

void MeshBuilder::plane(float x0, float z0, float x1, float z1, float y, int cells, float uvScale, bool facingUp)
{
    cells = std::max(1, cells);
    const glm::vec3 n(0.0f, facingUp ? 1.0f : -1.0f, 0.0f);
    auto at = [&](int i, int j) {
        return glm::vec3(x0 + (x1 - x0) * float(i) / float(cells), y, z0 + (z1 - z0) * float(j) / float(cells));
    };
    auto uv = [&](const glm::vec3& p) { return glm::vec2(p.x, p.z) * uvScale; };
    for (int i = 0; i < cells; ++i)
        for (int j = 0; j < cells; ++j) {
            const glm::vec3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            quad(a, b, c, d, n, uv(a), uv(b), uv(c), uv(d));
        }
}

void MeshBuilder::lathe(const std::vector<ProfilePoint>& profile, int segments, const glm::vec3& centre,
                        float uRepeat, float vScale)
{
    float along = 0.0f;
    for (size_t i = 0; i + 1 < profile.size(); ++i) {
        const glm::vec2 p0 = profile[i], p1 = profile[i + 1];
        const glm::vec2 d = p1 - p0;
        const float length = glm::length(d);
        if (length < 1e-6f)
            continue;
        // The outside is on the left of the walk.
        const glm::vec2 n2 = glm::vec2(-d.y, d.x) / length;
        const float v0 = along * vScale, v1 = (along + length) * vScale;
        along += length;
        for (int j = 0; j < segments; ++j) {
            const float t0 = 2.0f * pi * float(j) / float(segments);
            const float t1 = 2.0f * pi * float(j + 1) / float(segments);
            auto point = [&](const glm::vec2& p, float t) {
                return centre + glm::vec3(p.x * std::cos(t), p.y, p.x * std::sin(t));
            };
            auto normal = [&](float t) { return glm::vec3(n2.x * std::cos(t), n2.y, n2.x * std::sin(t)); };
            const float u0 = uRepeat * float(j) / float(segments), u1 = uRepeat * float(j + 1) / float(segments);
            const glm::vec3 a = point(p0, t0), b = point(p0, t1), c = point(p1, t1), e = point(p1, t0);
            const glm::vec3 na = normal(t0), nb = normal(t1);
            triangle(a, b, c, na, nb, nb, {u0, v0}, {u1, v0}, {u1, v1});
            triangle(a, c, e, na, nb, na, {u0, v0}, {u1, v1}, {u0, v1});
        }
    }
}

void MeshBuilder::cylinder(const glm::vec3& base, float radius, float height, float bevel, int segments, int bands)
{
    const float b = std::max(0.0f, std::min(bevel, std::min(radius, 0.5f * height) * 0.9f));
    std::vector<ProfilePoint> profile;
    profile.push_back({0.0f, height});
    if (b > 0.0f) {
        profile.push_back({radius - b, height});
        // Two steps round the rim.
        profile.push_back({radius - b * 0.29289f, height - b * 0.29289f});
    }
    profile.push_back({radius, height - b});
    bands = std::max(1, bands);
    for (int k = 1; k < bands; ++k)
        profile.push_back({radius, height - b - (height - 2.0f * b) * float(k) / float(bands)});
    profile.push_back({radius, b});
    if (b > 0.0f) {
        profile.push_back({radius - b * 0.29289f, b * 0.29289f});
        profile.push_back({radius - b, 0.0f});
    }
    profile.push_back({0.0f, 0.0f});
    lathe(profile, segments, base, 1.0f, 1.0f / std::max(0.001f, 2.0f * pi * radius / 4.0f));
}

void MeshBuilder::icosphere(const glm::vec3& centre, float radius, int subdivisions)
{
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<glm::vec3> v = {{-1, t, 0}, {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                                {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    for (glm::vec3& p : v)
        p = glm::normalize(p);
    std::vector<glm::uvec3> faces = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                     {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                     {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                     {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (int s = 0; s < subdivisions; ++s) {
        std::map<std::pair<uint32_t, uint32_t>, uint32_t> middle;
        auto mid = [&](uint32_t a, uint32_t b) {
            const auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto found = middle.find(key);
            if (found != middle.end())
                return found->second;
            v.push_back(glm::normalize(v[a] + v[b]));
            const uint32_t index = uint32_t(v.size() - 1);
            middle[key] = index;
            return index;
        };
        std::vector<glm::uvec3> next;
        for (const glm::uvec3& f : faces) {
            const uint32_t ab = mid(f.x, f.y), bc = mid(f.y, f.z), ca = mid(f.z, f.x);
            next.insert(next.end(), {{f.x, ab, ca}, {f.y, bc, ab}, {f.z, ca, bc}, {ab, bc, ca}});
        }
        faces = next;
    }
    auto uv = [](const glm::vec3& n) {
        return glm::vec2(0.5f + std::atan2(n.z, n.x) / (2.0f * pi), 0.5f + std::asin(n.y) / pi);
    };
    for (const glm::uvec3& f : faces)
        triangle(centre + v[f.x] * radius, centre + v[f.y] * radius, centre + v[f.z] * radius, v[f.x], v[f.y],
                 v[f.z], uv(v[f.x]), uv(v[f.y]), uv(v[f.z]));
}

void MeshBuilder::uvSphere(const glm::vec3& centre, float radius, int rings, int segments)
{
    auto direction = [&](int i, int j) {
        const float theta = pi * float(i) / float(rings), phi = 2.0f * pi * float(j) / float(segments);
        return glm::vec3(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi));
    };
    auto uv = [&](int i, int j) { return glm::vec2(float(j) / float(segments), 1.0f - float(i) / float(rings)); };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            const glm::vec3 a = direction(i, j), b = direction(i + 1, j), c = direction(i + 1, j + 1),
                            d = direction(i, j + 1);
            triangle(centre + a * radius, centre + b * radius, centre + c * radius, a, b, c, uv(i, j), uv(i + 1, j),
                     uv(i + 1, j + 1));
            triangle(centre + a * radius, centre + c * radius, centre + d * radius, a, c, d, uv(i, j),
                     uv(i + 1, j + 1), uv(i, j + 1));
        }
}

void MeshBuilder::append(const MeshBuilder& other, const glm::mat4& m)
{
    const glm::mat3 normalMatrix = glm::inverseTranspose(glm::mat3(m));
    for (size_t i = 0; i + 2 < other.positions.size(); i += 3) {
        glm::vec3 p[3], n[3];
        for (int k = 0; k < 3; ++k) {
            p[k] = glm::vec3(m * glm::vec4(other.positions[i + k], 1.0f));
            n[k] = glm::normalize(normalMatrix * other.normals[i + k]);
        }
        triangle(p[0], p[1], p[2], n[0], n[1], n[2], other.uvs[i], other.uvs[i + 1], other.uvs[i + 2]);
    }
}

namespace {

// Each distinct value once, and for every corner the index of its value.
template <typename V>
std::vector<V> shared(const std::vector<V>& values, std::vector<uint32_t>& index)
{
    std::map<std::vector<float>, uint32_t> seen;
    std::vector<V> out;
    index.clear();
    for (const V& v : values) {
        std::vector<float> key(&v[0], &v[0] + V::length());
        auto found = seen.find(key);
        if (found == seen.end()) {
            found = seen.emplace(key, uint32_t(out.size())).first;
            out.push_back(v);
        }
        index.push_back(found->second);
    }
    return out;
}

} // namespace

VboWriter::Mesh MeshBuilder::mesh(uint32_t id, const std::string& name, bool withUVs) const
{
    // Each array keeps its distinct values only; the index tuples pick them per corner.
    VboWriter::Mesh m;
    m.id = id;
    m.name = name;
    std::vector<uint32_t> p, n, t;
    m.positions = shared(positions, p);
    m.normals = shared(normals, n);
    if (withUVs)
        m.texcoords = shared(uvs, t);
    m.indices.reserve(positions.size() * (withUVs ? 3 : 2));
    for (size_t i = 0; i < positions.size(); ++i) {
        m.indices.push_back(p[i]);
        m.indices.push_back(n[i]);
        if (withUVs)
            m.indices.push_back(t[i]);
    }
    return m;
}
