#include "ArrayBuffer.h"
#include "ImageCompare.h"
#include "RenderState.h"
#include "Shader.h"
#include "VAO.h"
#include "VAOCombo.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>

// The engine reports failed assertions on standard output; death tests read standard
// error, so the dying child sends one into the other.
#define STDOUT_TO_STDERR(statement) \
    do {                            \
        dup2(2, 1);                 \
        statement;                  \
    } while (0)

namespace {

std::unique_ptr<Shader> makeShader(const std::string& name, const std::string& vertex, const std::string& fragment)
{
    std::unique_ptr<Shader> shader(new Shader(name));
    shader->setVertexCode(vertex);
    shader->setFragmentCode(fragment);
    EXPECT_TRUE(shader->build()) << shader->getErrorLog();
    return shader;
}

const char* const solidFragment = "#version 150\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n";

// Position and uv; the uv only feeds an output so that it stays active.
std::unique_ptr<Shader> positionUvShader(const std::string& name)
{
    return makeShader(name,
                      "#version 150\nin vec3 in_Position;\nin vec2 in_UV0;\nout vec2 uv;\n"
                      "void main() { uv = in_UV0; gl_Position = vec4(in_Position, 1.0); }\n",
                      "#version 150\nin vec2 uv;\nout vec4 c;\nvoid main() { c = vec4(uv, 0.0, 1.0); }\n");
}

// Colours each fragment with the normal attribute (uvWeight stays 0; it keeps the uv
// active).
std::unique_ptr<Shader> normalColourShader(const std::string& name)
{
    return makeShader(name,
                      "#version 150\nin vec3 in_Position;\nin vec2 in_UV0;\nin vec3 in_Normal;\n"
                      "uniform float uvWeight;\nout vec3 n;\n"
                      "void main() { n = in_Normal + vec3(in_UV0, 0.0) * uvWeight; gl_Position = vec4(in_Position, 1.0); }\n",
                      "#version 150\nin vec3 n;\nout vec4 c;\nvoid main() { c = vec4(n, 1.0); }\n");
}

std::unique_ptr<Shader> positionShader(const std::string& name)
{
    return makeShader(name, "#version 150\nin vec3 in_Position;\nvoid main() { gl_Position = vec4(in_Position, 1.0); }\n",
                      solidFragment);
}

// A full-viewport quad as six interleaved vertices: position 3, uv 2, normal 3.
void fillInterleavedQuad(GLfloat* v, float r, float g, float b)
{
    const float corners[6][2] = {{-1, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    for (int i = 0; i < 6; ++i) {
        GLfloat* row = v + i * 8;
        row[0] = corners[i][0];
        row[1] = corners[i][1];
        row[2] = 0;
        row[3] = (corners[i][0] + 1) / 2;
        row[4] = (corners[i][1] + 1) / 2;
        row[5] = r;
        row[6] = g;
        row[7] = b;
    }
}

GLint boundVertexArray()
{
    GLint name = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &name);
    return name;
}

// Primitives that a draw sends to the rasteriser.
template <typename Draw>
GLuint primitivesOf(Draw draw)
{
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    draw();
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint count = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
    glDeleteQueries(1, &query);
    return count;
}

class VAOTest : public testing::Test {
protected:
    void SetUp() override
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        RenderState::invalidateFramebuffer();
        glViewport(0, 0, 256, 256);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }
};

} // namespace

TEST_F(VAOTest, InterleavedArraysGetOffsetsStrideAndReachTheShader)
{
    VAO mesh("interleaved");
    GLfloat* vertices = mesh.allocateArrayBuffer(6 * 8);
    fillInterleavedQuad(vertices, 1.0f, 0.5f, 0.25f);
    MappedArray* position = mesh.mapArray(vertices, "in_Position", 3);
    MappedArray* uv = mesh.mapArray(vertices, "in_UV0", 2);
    MappedArray* normal = mesh.mapArray(vertices, "in_Normal", 3);
    EXPECT_EQ(position->offset, 0);
    EXPECT_EQ(uv->offset, 12);
    EXPECT_EQ(normal->offset, 20);
    ArrayBuffer* buffer = mesh.getArrayBuffer(vertices);
    EXPECT_EQ(buffer->getStride(), 32);
    EXPECT_EQ(buffer->getNextOffset(), 32);
    EXPECT_EQ(mesh.getMappedArray("in_UV0"), uv);
    EXPECT_FALSE(mesh.hasMappedArray("in_Tangent"));

    mesh.upload();
    EXPECT_EQ(mesh.getVertexCount(), 6);
    // The VAO allocated this array, so it keeps it after the upload.
    EXPECT_EQ(buffer->getData(), vertices);

    // The wiring is right only if the normal is read 20 bytes into each 32-byte vertex.
    auto shader = normalColourShader("normals");
    mesh.bind(shader.get());
    mesh.draw();
    RgbaImage image = readPixels(0, 0, 256, 256);
    for (const uint8_t* p : {image.at(0, 0), image.at(128, 128), image.at(255, 255)}) {
        EXPECT_NEAR(p[0], 255, 1);
        EXPECT_NEAR(p[1], 128, 1);
        EXPECT_NEAR(p[2], 64, 1);
    }
}

TEST_F(VAOTest, CallerArraysAreForgottenAfterUploadAndRemappingReplacesByName)
{
    VAO mesh("borrowed");
    {
        std::vector<GLfloat> positions(9, 0.0f), extra(6, 0.0f);
        mesh.createArrayBuffer(9, positions.data());
        mesh.createArrayBuffer(6, extra.data());
        MappedArray* first = mesh.mapArray(positions.data(), "in_Position", 3);
        MappedArray* second = mesh.mapArray(extra.data(), "in_Position", 2);
        EXPECT_NE(first, second);
        EXPECT_EQ(mesh.getMappedArray("in_Position"), second);
        mesh.upload();
    }
    // The vertex count comes from the first buffer: 9 floats of 12-byte vertices.
    EXPECT_EQ(mesh.getVertexCount(), 3);
    for (const auto& buffer : mesh.getArrayBuffers())
        EXPECT_EQ(buffer->getData(), nullptr);
}

TEST_F(VAOTest, EqualAttributeKeysShareACombo)
{
    VAO mesh("combos");
    GLfloat* vertices = mesh.allocateArrayBuffer(6 * 8);
    fillInterleavedQuad(vertices, 0, 1, 0);
    mesh.mapArray(vertices, "in_Position", 3);
    mesh.mapArray(vertices, "in_UV0", 2);
    mesh.mapArray(vertices, "in_Normal", 3);
    mesh.upload();

    auto a = positionUvShader("a");
    auto b = positionUvShader("b");
    auto c = normalColourShader("c");
    ASSERT_EQ(a->getAttributeKey(), b->getAttributeKey());
    ASSERT_NE(a->getAttributeKey(), c->getAttributeKey());

    RenderState::resetCounters();
    mesh.bind(a.get());
    mesh.draw();
    mesh.bind(b.get());
    mesh.draw();
    EXPECT_EQ(mesh.getComboCount(), 1u);
    EXPECT_EQ(mesh.getCurrentCombo(), mesh.getCombo(a->getAttributeKey()));
    // One combo: bound once, however often it is drawn.
    EXPECT_EQ(RenderState::vertexArraySwitches, 1u);
    EXPECT_EQ(RenderState::drawCalls, 2u);
    EXPECT_EQ(boundVertexArray(), GLint(RenderState::currentVertexArray));

    // A third layout makes a second combo and prints how it wires each attribute.
    std::ostringstream expected;
    expected << "VAO : Generating vao with key '" << c->getAttributeKey() << "'\n";
    const ArrayBuffer* buffer = mesh.getArrayBuffer(vertices);
    for (const ShaderVariable& attribute : c->getAttributeList()) {
        const MappedArray* array = mesh.getMappedArray(attribute.name);
        ASSERT_NE(array, nullptr) << attribute.name;
        expected << "-> [" << attribute.name << "] Attrib " << attribute.location << " VBO " << buffer->getGlName()
                 << " Components " << array->components << " DataType 5126 Stride 32 Offset " << array->offset
                 << "\n";
    }
    testing::internal::CaptureStdout();
    mesh.bind(c.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected.str());
    EXPECT_EQ(mesh.getComboCount(), 2u);
    EXPECT_EQ(RenderState::vertexArraySwitches, 2u);

    // Back to the first layout: its combo again, and nothing printed.
    testing::internal::CaptureStdout();
    mesh.bind(a.get());
    mesh.generateVAOCombo(a.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(mesh.getComboCount(), 2u);
    EXPECT_EQ(RenderState::vertexArraySwitches, 3u);
    EXPECT_EQ(boundVertexArray(), GLint(mesh.getCombo(a->getAttributeKey())->getGlName()));

    // Another mesh's bind in between: the draw rebinds this mesh's combo.
    VAO other("other");
    GLfloat* more = other.allocateArrayBuffer(6 * 8);
    other.mapArray(more, "in_Position", 3);
    other.mapArray(more, "in_UV0", 2);
    other.upload();
    other.bind(a.get());
    mesh.draw();
    EXPECT_EQ(boundVertexArray(), GLint(mesh.getCombo(a->getAttributeKey())->getGlName()));
    EXPECT_EQ(boundVertexArray(), GLint(RenderState::currentVertexArray));
}

TEST_F(VAOTest, DeletingTheBoundMeshClearsTheBindingCache)
{
    auto shader = positionShader("position");
    VAO* first = new VAO("first");
    GLfloat* v = first->allocateArrayBuffer(9);
    first->mapArray(v, "in_Position", 3);
    first->upload();
    first->bind(shader.get());
    ASSERT_NE(RenderState::currentVertexArray, 0u);
    delete first;
    EXPECT_EQ(RenderState::currentVertexArray, 0u);
    EXPECT_EQ(boundVertexArray(), 0);

    // A new mesh whose combo may well reuse the freed name is really bound.
    VAO second("second");
    GLfloat* w = second.allocateArrayBuffer(9);
    second.mapArray(w, "in_Position", 3);
    second.upload();
    second.bind(shader.get());
    EXPECT_NE(boundVertexArray(), 0);
    EXPECT_EQ(boundVertexArray(), GLint(RenderState::currentVertexArray));
}

TEST_F(VAOTest, IndexedDrawsCountIndicesNotVertices)
{
    auto shader = positionShader("position");
    VAO mesh("indexed");
    GLfloat* v = mesh.allocateArrayBuffer(4 * 3);
    const GLfloat corners[12] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    std::copy(corners, corners + 12, v);
    mesh.mapArray(v, "in_Position", 3);
    GLuint* first = mesh.allocateIndices(3);
    first[0] = 0;
    first[1] = 1;
    first[2] = 2;
    // The second call replaces the first: four triangles over four vertices.
    GLuint* indices = mesh.allocateIndices(12);
    const GLuint order[12] = {0, 1, 2, 0, 2, 3, 0, 1, 2, 0, 2, 3};
    std::copy(order, order + 12, indices);
    mesh.upload();
    EXPECT_EQ(mesh.getVertexCount(), 4);
    EXPECT_EQ(mesh.getIndexBuffer()->getCount(), 12);

    // Nothing is drawn before the mesh was bound to a shader.
    RenderState::resetCounters();
    EXPECT_EQ(primitivesOf([&] { mesh.draw(); }), 0u);
    EXPECT_EQ(RenderState::drawCalls, 0u);

    mesh.bind(shader.get());
    EXPECT_EQ(primitivesOf([&] { mesh.draw(); }), 4u);
    EXPECT_EQ(primitivesOf([&] { mesh.draw(GL_LINES); }), 6u);
    EXPECT_EQ(primitivesOf([&] { mesh.drawInstanced(3); }), 12u);
    EXPECT_EQ(primitivesOf([&] { mesh.drawArrays(GL_TRIANGLES, 0, 3); }), 1u);
    EXPECT_EQ(RenderState::drawCalls, 4u);
    // The index buffer is recorded by the combo and covers the viewport.
    RgbaImage image = readPixels(0, 0, 256, 256);
    EXPECT_EQ(image.at(10, 245)[0], 255);
    EXPECT_EQ(image.at(245, 10)[0], 255);
}

namespace {

// Interleaved position 3, normal 3, uv 2 as the object reader lays meshes out.
struct TangentMesh {
    VAO vao{"tangents"};
    GLfloat* data = nullptr;

    explicit TangentMesh(int vertices)
    {
        data = vao.allocateArrayBuffer(vertices * 8);
        vao.mapArray(data, "in_Position", 3);
        vao.mapArray(data, "in_Normal", 3);
        vao.mapArray(data, "in_UV0", 2);
    }
    void set(int vertex, float x, float y, float u, float v)
    {
        GLfloat* row = data + vertex * 8;
        row[0] = x;
        row[1] = y;
        row[2] = 0;
        row[6] = u;
        row[7] = v;
    }
    // Tangent then bitangent of a vertex.
    const GLfloat* frame(int vertex) const
    {
        return static_cast<const GLfloat*>(vao.getMappedArray("in_Tangent")->buffer->getData()) + vertex * 6;
    }
};

void expectFrame(const GLfloat* f, float tx, float ty, float tz, float bx, float by, float bz)
{
    EXPECT_FLOAT_EQ(f[0], tx);
    EXPECT_FLOAT_EQ(f[1], ty);
    EXPECT_FLOAT_EQ(f[2], tz);
    EXPECT_FLOAT_EQ(f[3], bx);
    EXPECT_FLOAT_EQ(f[4], by);
    EXPECT_FLOAT_EQ(f[5], bz);
}

} // namespace

TEST_F(VAOTest, TangentsPerWholeTriangle)
{
    TangentMesh mesh(7);
    // Triangle 1: u along +x, v along +y, edges of length 2 and 3.
    mesh.set(0, 0, 0, 0, 0);
    mesh.set(1, 2, 0, 1, 0);
    mesh.set(2, 0, 3, 0, 1);
    // Triangle 2: a rotated, doubled mapping (determinant 4).
    mesh.set(3, 0, 0, 0, 0);
    mesh.set(4, 1, 0, 0, 2);
    mesh.set(5, 0, 1, -2, 0);
    // A trailing vertex that is no triangle.
    mesh.set(6, 5, 5, 1, 1);
    ASSERT_TRUE(mesh.vao.createTangents("in_Position", "in_Normal", "in_UV0", "in_Tangent", "in_Bitangent"));

    const MappedArray* tangent = mesh.vao.getMappedArray("in_Tangent");
    const MappedArray* bitangent = mesh.vao.getMappedArray("in_Bitangent");
    ASSERT_NE(tangent, nullptr);
    ASSERT_NE(bitangent, nullptr);
    EXPECT_EQ(tangent->buffer, bitangent->buffer);
    EXPECT_EQ(tangent->offset, 0);
    EXPECT_EQ(bitangent->offset, 12);
    EXPECT_EQ(tangent->buffer->getStride(), 24);
    EXPECT_EQ(tangent->buffer->getCount(), 7 * 6);
    for (int v = 0; v < 3; ++v)
        expectFrame(mesh.frame(v), 1, 0, 0, 0, 3, 0);
    // The tangent is normalised, the bitangent is not.
    for (int v = 3; v < 6; ++v)
        expectFrame(mesh.frame(v), 0, -1, 0, 0.5f, 0, 0);
    expectFrame(mesh.frame(6), 0, 0, 0, 0, 0, 0);

    // Uploaded with the rest, the tangents count the same vertices.
    mesh.vao.upload();
    EXPECT_EQ(mesh.vao.getVertexCount(), 7);
}

TEST_F(VAOTest, TangentsStayInsideShortOrUnsuitableArrays)
{
    // Positions for two triangles, uvs in their own buffer for only one.
    VAO split("split");
    GLfloat* positions = split.allocateArrayBuffer(6 * 3);
    GLfloat* normals = split.allocateArrayBuffer(6 * 3);
    GLfloat* uvs = split.allocateArrayBuffer(3 * 2);
    const GLfloat p[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const GLfloat t[6] = {0, 0, 1, 0, 0, 1};
    std::copy(p, p + 9, positions);
    std::copy(p, p + 9, positions + 9);
    std::copy(t, t + 6, uvs);
    split.mapArray(positions, "in_Position", 3);
    split.mapArray(normals, "in_Normal", 3);
    split.mapArray(uvs, "in_UV0", 2);
    ASSERT_TRUE(split.createTangents("in_Position", "in_Normal", "in_UV0", "in_Tangent", "in_Bitangent"));
    const GLfloat* frame = static_cast<const GLfloat*>(split.getMappedArray("in_Tangent")->buffer->getData());
    expectFrame(frame + 2 * 6, 1, 0, 0, 0, 1, 0);
    expectFrame(frame + 3 * 6, 0, 0, 0, 0, 0, 0);

    // Indexed meshes and too few components are refused without adding arrays.
    testing::internal::CaptureStdout();
    TangentMesh indexed(3);
    indexed.vao.allocateIndices(3);
    EXPECT_FALSE(indexed.vao.createTangents("in_Position", "in_Normal", "in_UV0", "in_Tangent", "in_Bitangent"));
    VAO flat("flat");
    GLfloat* xy = flat.allocateArrayBuffer(6 * 4);
    flat.mapArray(xy, "in_Position", 2);
    flat.mapArray(xy, "in_UV0", 2);
    flat.mapArray(xy, "in_Normal", 0);
    EXPECT_FALSE(flat.createTangents("in_Position", "in_Normal", "in_UV0", "in_Tangent", "in_Bitangent"));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("createTangents : tangents - "), std::string::npos) << out;
    EXPECT_NE(out.find("createTangents : flat - "), std::string::npos) << out;
    EXPECT_FALSE(indexed.vao.hasMappedArray("in_Tangent"));
    EXPECT_FALSE(flat.hasMappedArray("in_Tangent"));
}

// GL does not survive a fork: each dying statement runs in a freshly started test
// process with a context of its own.
class VAODeathTest : public VAOTest {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        VAOTest::SetUp();
    }
};

namespace {

void bindShaderNeedingAMissingArray()
{
    VAO mesh("onlyPositions");
    GLfloat* v = mesh.allocateArrayBuffer(9);
    mesh.mapArray(v, "in_Position", 3);
    mesh.upload();
    auto shader = positionUvShader("needsUv");
    mesh.bind(shader.get());
}

void mapAnUnregisteredArray()
{
    VAO mesh("mesh");
    GLfloat unregistered[3] = {0, 0, 0};
    mesh.mapArray(unregistered, "in_Position", 3);
}

void tangentsWithoutUv()
{
    VAO mesh("noUv");
    GLfloat* v = mesh.allocateArrayBuffer(9);
    mesh.mapArray(v, "in_Position", 3);
    mesh.mapArray(v, "in_Normal", 3);
    mesh.createTangents("in_Position", "in_Normal", "in_UV0", "in_Tangent", "in_Bitangent");
}

} // namespace

TEST_F(VAODeathTest, ProgrammingAndContentErrorsStop)
{
    EXPECT_DEATH(STDOUT_TO_STDERR(bindShaderNeedingAMissingArray()),
                 "VAO : 'onlyPositions'. Cannot find a mapped array named 'in_UV0' in shader needsUv\n"
                 ".*demo/demosys/VAO:[0-9]+: VAOCombo\\* VAO::generateVAOCombo\\(Shader\\*\\): Assertion `0' failed");
    EXPECT_DEATH(STDOUT_TO_STDERR(mapAnUnregisteredArray()),
                 "Invalid pointer to vertex buffer\n"
                 ".*demo/demosys/VAO:[0-9]+: ArrayBuffer\\* VAO::getArrayBuffer\\(void\\*\\): Assertion `0' failed");
    EXPECT_DEATH(STDOUT_TO_STDERR(tangentsWithoutUv()),
                 "createTangents : noUv - missing position, normals or VUs to generate tangents\n"
                 ".*void VAO::createTangents\\(std::string, std::string, std::string, std::string, "
                 "std::string\\): Assertion `0' failed");
}
