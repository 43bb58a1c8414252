#include "MeshProcessing.h"

#include <glm/glm.hpp>

#include <string>
#include <unordered_map>

void MeshProcessing::triangleTangents(const FloatRows& positions, const FloatRows& uvs, size_t count, float* out)
{
    for (size_t v = 0; v + 2 < count; v += 3) {
        glm::vec3 p[3];
        glm::vec2 t[3];
        for (size_t k = 0; k < 3; ++k) {
            const float* pp = positions.at(v + k);
            const float* tt = uvs.at(v + k);
            p[k] = glm::vec3(pp[0], pp[1], pp[2]);
            t[k] = glm::vec2(tt[0], tt[1]);
        }
        const glm::vec3 e1 = p[1] - p[0];
        const glm::vec3 e2 = p[2] - p[0];
        const glm::vec2 d1 = t[1] - t[0];
        const glm::vec2 d2 = t[2] - t[0];
        const float r = 1.0f / (d1.x * d2.y - d1.y * d2.x);
        glm::vec3 tan = (e1 * d2.y - e2 * d1.y) * r;
        tan /= glm::length(tan);
        const glm::vec3 bitan = (e2 * d1.x - e1 * d2.x) * r;
        for (size_t k = 0; k < 3; ++k) {
            float* frame = out + (v + k) * 6;
            frame[0] = tan.x;
            frame[1] = tan.y;
            frame[2] = tan.z;
            frame[3] = bitan.x;
            frame[4] = bitan.y;
            frame[5] = bitan.z;
        }
    }
}

bool MeshProcessing::weldRows(const std::vector<FloatRows>& arrays, size_t count, std::vector<uint32_t>& indices,
                              std::vector<uint32_t>& firstOf)
{
    std::unordered_map<std::string, uint32_t> seen;
    seen.reserve(count);
    indices.assign(count, 0);
    firstOf.clear();
    std::string key;
    for (size_t v = 0; v < count; ++v) {
        key.clear();
        for (const FloatRows& array : arrays)
            key.append(reinterpret_cast<const char*>(array.at(v)), array.row * sizeof(float));
        auto found = seen.emplace(key, uint32_t(firstOf.size()));
        if (found.second)
            firstOf.push_back(uint32_t(v));
        indices[v] = found.first->second;
    }
    return firstOf.size() < count;
}
