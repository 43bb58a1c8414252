#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The mesh computations behind VAO's weld() and createTangents(), on plain float rows
// and without GL: the vertex array wrapper hands its client arrays in and stores what
// comes back.
namespace MeshProcessing {

// An array of vertices: row floats per vertex, the attribute offset floats into each row.
struct FloatRows {
    const float* data;
    size_t row;
    size_t offset;

    const float* at(size_t vertex) const { return data + vertex * row + offset; }
};

// Tangent (normalised) and bitangent of each whole triangle of a triangle list among
// the first count vertices, written as six floats per vertex into out (which holds
// count * 6 floats at least). A degenerate mapping gives infinities or NaN; they are
// stored as they come.
void triangleTangents(const FloatRows& positions, const FloatRows& uvs, size_t count, float* out);

// Vertices equal in every array (the bytes of their whole rows): indices[v] is the
// welded vertex of vertex v, firstOf[u] the first vertex of welded vertex u. False
// when no vertex is shared.
bool weldRows(const std::vector<FloatRows>& arrays, size_t count, std::vector<uint32_t>& indices,
              std::vector<uint32_t>& firstOf);

} // namespace MeshProcessing
