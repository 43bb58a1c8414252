#include "VAO.h"

#include "ArrayBuffer.h"
#include "Assert.h"
#include "Log.h"
#include "MeshProcessing.h"
#include "RenderState.h"
#include "Shader.h"
#include "VAOCombo.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string>

using ORVDemosys::Log;

namespace {

const char* const sourceFile = "demo/demosys/VAO";

// Built-in inputs such as gl_VertexID are reported by some drivers with location -1;
// they are fed by GL, not by a mapped array.
bool isFedByMesh(const ShaderVariable& attribute)
{
    return attribute.location >= 0 && !attribute.name.empty() && attribute.name.compare(0, 3, "gl_") != 0;
}

} // namespace

VAO::VAO(const std::string& name) : name(name), mappedArrays(new VAOCombo(""))
{
}

VAO::~VAO() = default;

ArrayBuffer* VAO::registerArrayBuffer(GLsizei count, GLfloat* data, bool owned)
{
    arrayBuffers.emplace_back(new ArrayBuffer(GL_ARRAY_BUFFER, GL_FLOAT, count, data, owned));
    ArrayBuffer* buffer = arrayBuffers.back().get();
    bufferMap[data] = buffer;
    return buffer;
}

ArrayBuffer* VAO::createArrayBuffer(GLsizei count, GLfloat* data)
{
    return registerArrayBuffer(count, data, false);
}

GLfloat* VAO::allocateArrayBuffer(GLsizei count)
{
    count = std::max(count, 0);
    GLfloat* data = new GLfloat[size_t(count)]();
    registerArrayBuffer(count, data, true);
    return data;
}

ArrayBuffer* VAO::replaceIndices(GLsizei count, GLuint* data, bool owned)
{
    if (indexBuffer)
        indexBuffer->replaceData(count, data, owned);
    else
        indexBuffer.reset(new ArrayBuffer(GL_ELEMENT_ARRAY_BUFFER, GL_UNSIGNED_INT, count, data, owned));
    return indexBuffer.get();
}

ArrayBuffer* VAO::setIndices(GLsizei count, GLuint* data) { return replaceIndices(count, data, false); }

GLuint* VAO::allocateIndices(GLsizei count)
{
    count = std::max(count, 0);
    GLuint* data = new GLuint[size_t(count)]();
    replaceIndices(count, data, true);
    return data;
}

ArrayBuffer* VAO::getArrayBuffer(const void* data)
{
    auto it = bufferMap.find(data);
    if (it == bufferMap.end()) {
        Log::error() << "Invalid pointer to vertex buffer" << std::endl;
        ORV_ASSERT_AT(false, "0", sourceFile, __LINE__, "ArrayBuffer* VAO::getArrayBuffer(void*)");
    }
    return it->second;
}

MappedArray* VAO::mapArray(const void* data, const std::string& arrayName, GLint components)
{
    ArrayBuffer* buffer = getArrayBuffer(data);
    mappedStorage.emplace_back(new MappedArray);
    MappedArray* array = mappedStorage.back().get();
    array->name = arrayName;
    array->components = components;
    array->buffer = buffer;
    array->offset = buffer->appendArray(components * Shader::typeByteSize(buffer->getDataType()));
    mappedArrays->addNamed(array);
    return array;
}

MappedArray* VAO::getMappedArray(const std::string& arrayName) const { return mappedArrays->find(arrayName); }

bool VAO::hasMappedArray(const std::string& arrayName) const { return getMappedArray(arrayName) != nullptr; }

void VAO::upload()
{
    for (auto& buffer : arrayBuffers)
        buffer->upload();
    vertexCount = 0;
    if (!arrayBuffers.empty() && arrayBuffers.front()->getStride() > 0)
        vertexCount = GLsizei(arrayBuffers.front()->byteSize() / arrayBuffers.front()->getStride());
    if (indexBuffer)
        indexBuffer->upload();
    // GL has its own copy now; the caller's arrays may go.
    for (auto& buffer : arrayBuffers)
        buffer->forgetBorrowedData();
    if (indexBuffer)
        indexBuffer->forgetBorrowedData();
}

VAOCombo* VAO::getCombo(const std::string& key) const
{
    auto it = combos.find(key);
    return it == combos.end() ? nullptr : it->second;
}

void VAO::bind(Shader* shader)
{
    ORV_ASSERT_AT(shader != nullptr, "shader != __null", sourceFile, __LINE__, "void VAO::bind(Shader*)");
    shader->bind();
    VAOCombo* combo = getCombo(shader->getAttributeKey());
    if (!combo)
        combo = generateVAOCombo(shader);
    else
        combo->bind();
    currentCombo = combo;
}

VAOCombo* VAO::generateVAOCombo(Shader* shader)
{
    const std::string key = shader->getAttributeKey();
    // A second combo for the same layout would only duplicate the first, and callers
    // that generate on every draw would pile up vertex arrays.
    if (VAOCombo* existing = getCombo(key)) {
        existing->bind();
        currentCombo = existing;
        return existing;
    }
    std::unique_ptr<VAOCombo> combo(new VAOCombo(key));
    Log::info() << "VAO : Generating vao with key '" << key << "'" << std::endl;
    combo->bind();

    std::vector<ShaderVariable> attributes = shader->getAttributeList();
    std::vector<GLint> locations;
    for (const ShaderVariable& attribute : attributes) {
        if (!isFedByMesh(attribute))
            continue;
        MappedArray* array = mappedArrays->find(attribute.name);
        if (!array) {
            Log::error() << "VAO : '" << name << "'. Cannot find a mapped array named '" << attribute.name
                      << "' in shader " << shader->getName() << std::endl;
            ORV_ASSERT_AT(false, "0", sourceFile, __LINE__, "VAOCombo* VAO::generateVAOCombo(Shader*)");
        }
        combo->add(array);
        locations.push_back(attribute.location);
    }

    const std::vector<MappedArray*>& arrays = combo->getArrays();
    for (size_t i = 0; i < arrays.size(); ++i) {
        const MappedArray* array = arrays[i];
        const ArrayBuffer* buffer = array->buffer;
        GLuint location = GLuint(locations[i]);
        Log::info() << "-> [" << array->name << "] Attrib " << location << " VBO " << buffer->getGlName()
                  << " Components " << array->components << " DataType " << buffer->getDataType() << " Stride "
                  << buffer->getStride() << " Offset " << array->offset << std::endl;
        glBindBuffer(buffer->getTarget(), buffer->getGlName());
        glVertexAttribPointer(location, array->components, buffer->getDataType(), GL_FALSE, buffer->getStride(),
                              reinterpret_cast<const void*>(static_cast<uintptr_t>(array->offset)));
        glEnableVertexAttribArray(location);
        glBindBuffer(buffer->getTarget(), 0);
    }

    // Bound while the vertex array is, so that the vertex array records it.
    if (indexBuffer)
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer->getGlName());

    VAOCombo* result = combo.get();
    combos[key] = result;
    comboList.push_back(std::move(combo));
    currentCombo = result;
    return result;
}

bool VAO::bindCurrentCombo()
{
    if (!currentCombo)
        return false;
    currentCombo->bind();
    return true;
}

void VAO::draw() { draw(GL_TRIANGLES); }

void VAO::draw(GLenum mode)
{
    if (!bindCurrentCombo())
        return;
    if (indexBuffer)
        glDrawElements(mode, indexBuffer->getCount(), GL_UNSIGNED_INT, nullptr);
    else
        glDrawArrays(mode, 0, vertexCount);
    RenderState::countDrawCall();
}

void VAO::drawArrays(GLenum mode, GLint first, GLsizei count)
{
    if (!bindCurrentCombo())
        return;
    glDrawArrays(mode, first, count);
    RenderState::countDrawCall();
}

void VAO::drawInstanced(GLsizei instances)
{
    if (!bindCurrentCombo())
        return;
    // An indexed mesh is its indices, instanced or not.
    if (indexBuffer)
        glDrawElementsInstanced(GL_TRIANGLES, indexBuffer->getCount(), GL_UNSIGNED_INT, nullptr, instances);
    else
        glDrawArraysInstanced(GL_TRIANGLES, 0, vertexCount, instances);
    RenderState::countDrawCall();
}

bool VAO::createTangents(const std::string& position, const std::string& normal, const std::string& uv,
                         const std::string& tangent, const std::string& bitangent)
{
    const MappedArray* positions = getMappedArray(position);
    const MappedArray* normals = getMappedArray(normal);
    const MappedArray* uvs = getMappedArray(uv);
    if (!positions || !normals || !uvs) {
        Log::warning() << "createTangents : " << name << " - missing position, normals or VUs to generate tangents"
                  << std::endl;
        ORV_ASSERT_AT(false, "0", sourceFile, __LINE__,
                      "void VAO::createTangents(std::string, std::string, std::string, std::string, std::string)");
    }
    if (indexBuffer) {
        Log::info() << "createTangents : " << name << " - indexed meshes are not supported" << std::endl;
        return false;
    }
    const ArrayBuffer* positionBuffer = positions->buffer;
    const ArrayBuffer* uvBuffer = uvs->buffer;
    const GLfloat* positionData = static_cast<const GLfloat*>(positionBuffer->getData());
    const GLfloat* uvData = static_cast<const GLfloat*>(uvBuffer->getData());
    if (!positionData || !uvData) {
        Log::info() << "createTangents : " << name << " - the vertex arrays were released by upload" << std::endl;
        return false;
    }
    if (positions->components < 3 || uvs->components < 2) {
        Log::info() << "createTangents : " << name << " - position needs 3 and uv 2 components" << std::endl;
        return false;
    }

    // Each array is read in the rows of its own buffer, and only as far as that buffer
    // holds whole rows.
    const MeshProcessing::FloatRows positionRows{positionData, size_t(positionBuffer->getStride() / 4),
                                                 size_t(positions->offset / 4)};
    const MeshProcessing::FloatRows uvRows{uvData, size_t(uvBuffer->getStride() / 4), size_t(uvs->offset / 4)};
    const GLsizei n = positionBuffer->getCount() / GLsizei(positionRows.row);
    const GLsizei covered = std::min(n, uvBuffer->getCount() / GLsizei(uvRows.row));
    GLfloat* frame = allocateArrayBuffer(n * 6);
    MeshProcessing::triangleTangents(positionRows, uvRows, size_t(covered), frame);
    mapArray(frame, tangent, 3);
    mapArray(frame, bitangent, 3);
    return true;
}

bool VAO::weld()
{
    if (indexBuffer || arrayBuffers.empty())
        return false;
    struct Source {
        ArrayBuffer* buffer;
        const GLfloat* data;
        size_t row;
    };
    std::vector<Source> sources;
    size_t rows = 0;
    for (auto& buffer : arrayBuffers) {
        const GLfloat* data = static_cast<const GLfloat*>(buffer->getData());
        const size_t row = size_t(std::max(buffer->getStride(), 0)) / sizeof(GLfloat);
        if (!data || buffer->getDataType() != GL_FLOAT || row == 0)
            return false;
        const size_t count = size_t(buffer->getCount()) / row;
        if (!sources.empty() && count != rows)
            return false;
        rows = count;
        sources.push_back({buffer.get(), data, row});
    }
    if (rows == 0 || rows > size_t(std::numeric_limits<GLuint>::max()))
        return false;

    std::vector<MeshProcessing::FloatRows> rowsOf;
    for (const Source& source : sources)
        rowsOf.push_back({source.data, source.row, 0});
    std::vector<GLuint> indices;
    std::vector<GLuint> firstOf;
    if (!MeshProcessing::weldRows(rowsOf, rows, indices, firstOf))
        return false;

    for (const Source& source : sources) {
        GLfloat* welded = new GLfloat[firstOf.size() * source.row];
        for (size_t u = 0; u < firstOf.size(); ++u)
            std::copy_n(source.data + size_t(firstOf[u]) * source.row, source.row, welded + u * source.row);
        for (auto it = bufferMap.begin(); it != bufferMap.end();)
            it = it->second == source.buffer ? bufferMap.erase(it) : std::next(it);
        source.buffer->replaceData(GLsizei(firstOf.size() * source.row), welded, true);
        bufferMap[welded] = source.buffer;
    }
    std::copy(indices.begin(), indices.end(), allocateIndices(GLsizei(rows)));
    return true;
}

void VAO::setBoundingBox(const glm::vec3& minimum, const glm::vec3& maximum)
{
    boundingBoxMin = minimum;
    boundingBoxMax = maximum;
}

void VAO::setCullingBox(const glm::vec3& minimum, const glm::vec3& maximum)
{
    cullingBoxMin = minimum;
    cullingBoxMax = maximum;
    cullingBoxSet = true;
}
