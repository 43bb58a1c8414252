#pragma once

#include "NonCopyable.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ArrayBuffer;
class Shader;
class VAOCombo;
struct MappedArray;

// One drawable mesh: client vertex arrays uploaded to GL buffers, the named attribute
// arrays mapped over them, an optional index buffer, and one GL vertex array object
// (VAOCombo) per distinct shader attribute layout, made the first time the mesh is
// drawn with a shader of that layout.
//
// Use: construct, create or allocate buffers, fill them, map the arrays in their order
// inside the interleaved vertex, upload() once; then per frame bind(shader), set
// uniforms, draw().
//
// Ownership: the VAO owns every ArrayBuffer (and so its GL buffer name), every combo
// (and its vertex array name) and the arrays it allocated itself (allocate...,
// createTangents), which live as long as the mesh. Arrays handed in with
// createArrayBuffer or setIndices stay the caller's: they must live until upload(),
// after which the VAO forgets them and the caller may free them at once.
class VAO : NonCopyable {
public:
    explicit VAO(const std::string& name);
    ~VAO();

    // A vertex buffer over the caller's count floats, registered under data.
    ArrayBuffer* createArrayBuffer(GLsizei count, GLfloat* data);
    // A zeroed array of count floats owned by the VAO, registered as a vertex buffer.
    GLfloat* allocateArrayBuffer(GLsizei count);
    // The index buffer over the caller's count indices; a second call replaces it.
    ArrayBuffer* setIndices(GLsizei count, GLuint* data);
    // A zeroed index array owned by the VAO; a second call replaces the first.
    GLuint* allocateIndices(GLsizei count);

    // The vertex buffer registered under exactly this client pointer; any other
    // pointer is a programming error and stops the program.
    ArrayBuffer* getArrayBuffer(const void* data);

    // Maps the next components floats of the buffer's interleaved vertex as an
    // attribute array called name.
    MappedArray* mapArray(const void* data, const std::string& name, GLint components);
    MappedArray* getMappedArray(const std::string& name) const;
    bool hasMappedArray(const std::string& name) const;

    // Copies every buffer to GL and computes the vertex count.
    void upload();
    // Before upload: merges vertices that are equal in every buffer into one and draws
    // the mesh through an index buffer instead, so each shared vertex is shaded once.
    // Returns false, changing nothing, for a mesh that is already indexed, whose client
    // arrays are gone, whose buffers hold different vertex counts, or with no vertex
    // to share.
    bool weld();

    // Binds the shader and the combo for its attribute layout, making it on first use.
    void bind(Shader* shader);
    // Builds, binds and keeps the combo for the shader's layout (binds the existing one
    // when the layout has one). A shader attribute that the mesh does not provide stops
    // the program.
    VAOCombo* generateVAOCombo(Shader* shader);

    // Draw operations use the combo of the last bind() (rebound through the cache if
    // another vertex array was bound since); before any bind() they draw nothing.
    // With an index buffer they draw its indices, otherwise the vertices.
    void draw();
    void draw(GLenum mode);
    void drawArrays(GLenum mode, GLint first, GLsizei count);
    void drawInstanced(GLsizei instances);

    // Per-triangle tangents (normalised) and bitangents of a non-indexed triangle list,
    // stored in a new buffer mapped as tangent (3) and bitangent (3). Missing position,
    // normal or uv arrays stop the program. Returns false without adding arrays for an
    // indexed mesh (its triangles are not consecutive vertices), for client arrays
    // already forgotten by upload(), or for position / uv arrays with fewer than 3 / 2
    // components. Only whole triangles present in both buffers get values; the
    // remaining vertices keep zeros.
    bool createTangents(const std::string& position, const std::string& normal, const std::string& uv,
                        const std::string& tangent, const std::string& bitangent);

    const std::string& getName() const { return name; }
    GLsizei getVertexCount() const { return vertexCount; }
    ArrayBuffer* getIndexBuffer() const { return indexBuffer.get(); }
    const std::vector<std::unique_ptr<ArrayBuffer>>& getArrayBuffers() const { return arrayBuffers; }
    // The combo made for an attribute key, null when there is none yet.
    VAOCombo* getCombo(const std::string& key) const;
    size_t getComboCount() const { return comboList.size(); }
    VAOCombo* getCurrentCombo() const { return currentCombo; }
    // Every mapped array by name; never bound.
    const VAOCombo& getMappedArrays() const { return *mappedArrays; }

    void setBoundingBox(const glm::vec3& minimum, const glm::vec3& maximum);
    const glm::vec3& getBoundingBoxMin() const { return boundingBoxMin; }
    const glm::vec3& getBoundingBoxMax() const { return boundingBoxMax; }
    // The box the mesh's positions actually span, for skipping it outside the view; a
    // mesh without one is always drawn (the stored bounding box above is the file's word).
    void setCullingBox(const glm::vec3& minimum, const glm::vec3& maximum);
    bool hasCullingBox() const { return cullingBoxSet; }
    const glm::vec3& getCullingBoxMin() const { return cullingBoxMin; }
    const glm::vec3& getCullingBoxMax() const { return cullingBoxMax; }
    int32_t getTag() const { return tag; }
    void setTag(int32_t value) { tag = value; }

private:
    ArrayBuffer* registerArrayBuffer(GLsizei count, GLfloat* data, bool owned);
    ArrayBuffer* replaceIndices(GLsizei count, GLuint* data, bool owned);
    // Makes sure the current combo is bound; false when there is none.
    bool bindCurrentCombo();

    std::string name;
    GLsizei vertexCount = 0;
    std::unique_ptr<ArrayBuffer> indexBuffer;
    std::vector<std::unique_ptr<ArrayBuffer>> arrayBuffers;
    std::map<const void*, ArrayBuffer*> bufferMap;
    std::map<std::string, VAOCombo*> combos;
    std::vector<std::unique_ptr<VAOCombo>> comboList;
    std::unique_ptr<VAOCombo> mappedArrays;
    // Every array ever mapped, including those a later mapping of the same name
    // replaced: combos built before the replacement still point at them.
    std::vector<std::unique_ptr<MappedArray>> mappedStorage;
    VAOCombo* currentCombo = nullptr;
    glm::vec3 boundingBoxMin{0.0f};
    glm::vec3 boundingBoxMax{0.0f};
    glm::vec3 cullingBoxMin{0.0f};
    glm::vec3 cullingBoxMax{0.0f};
    bool cullingBoxSet = false;
    int32_t tag = 0;
};
