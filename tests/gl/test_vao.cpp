#include "ArrayBuffer.h"
#include "BuildShader.h"
#include "DeathTest.h"
#include "ImageCompare.h"
#include "LogCapture.h"
#include "RenderState.h"
#include "Shader.h"
#include "VAO.h"
#include "VAOCombo.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

// Assertion lines go to standard output; death tests read standard error.
namespace {

std::unique_ptr<Shader> makeShader(const char* name, const char* inputs, const char* colour)
{
    return buildShader(name,
                       std::string("#version 150\n") + inputs +
                           "uniform float w;\nout vec4 v;\n"
                           "void main() { v = " + colour + "; gl_Position = vec4(in_Position, 1.0); }\n",
                       "#version 150\nin vec4 v;\nout vec4 c;\nvoid main() { c = v; }\n");
}

// Layouts: position only; position + uv; position + uv + normal (coloured by the normal;
// the uniform w stays 0 and keeps the uv active).
std::unique_ptr<Shader> positionShader(const char* name)
{
    return makeShader(name, "in vec3 in_Position;\n", "vec4(1.0)");
}
std::unique_ptr<Shader> uvShader(const char* name)
{
    return makeShader(name, "in vec3 in_Position;\nin vec2 in_UV0;\n", "vec4(in_UV0, 0.0, 1.0)");
}
std::unique_ptr<Shader> normalShader(const char* name)
{
    return makeShader(name, "in vec3 in_Position;\nin vec2 in_UV0;\nin vec3 in_Normal;\n",
                      "vec4(in_Normal + vec3(in_UV0, 0.0) * w, 1.0)");
}

// A full-viewport quad of six interleaved vertices (position 3, uv 2, normal 3) mapped in
// that order.
float* interleavedQuad(VAO& mesh, float r, float g, float b)
{
    float* v = mesh.allocateArrayBuffer(6 * 8);
    const float corners[6][2] = {{-1, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    for (int i = 0; i < 6; ++i) {
        const float row[8] = {corners[i][0], corners[i][1], 0, 0, 0, r, g, b};
        std::copy(row, row + 8, v + i * 8);
    }
    mesh.mapArray(v, "in_Position", 3);
    mesh.mapArray(v, "in_UV0", 2);
    mesh.mapArray(v, "in_Normal", 3);
    return v;
}

GLuint boundVertexArray()
{
    GLint name = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &name);
    return GLuint(name);
}

template <typename Draw>
GLuint primitivesOf(Draw draw)
{
    GLuint query = 0, count = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    draw();
    glEndQuery(GL_PRIMITIVES_GENERATED);
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
        RenderState::resetCounters();
    }
    void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }
};

} // namespace

TEST_F(VAOTest, InterleavedLayoutReachesTheShader)
{
    VAO mesh("interleaved");
    float* vertices = interleavedQuad(mesh, 1.0f, 0.5f, 0.25f);
    EXPECT_EQ(mesh.getMappedArray("in_Position")->offset, 0);
    EXPECT_EQ(mesh.getMappedArray("in_UV0")->offset, 12);
    EXPECT_EQ(mesh.getMappedArray("in_Normal")->offset, 20);
    EXPECT_EQ(mesh.getArrayBuffer(vertices)->getStride(), 32);
    EXPECT_FALSE(mesh.hasMappedArray("in_Tangent"));
    // A caller's array is forgotten at upload; the VAO's own stays.
    std::vector<float> borrowed(12, 0.0f);
    mesh.createArrayBuffer(12, borrowed.data());
    mesh.upload();
    EXPECT_EQ(mesh.getVertexCount(), 6);
    EXPECT_EQ(mesh.getArrayBuffer(vertices)->getData(), vertices);
    EXPECT_EQ(mesh.getArrayBuffer(borrowed.data())->getData(), nullptr);

    // Right only if each normal is read 20 bytes into its 32-byte vertex.
    auto shader = normalShader("normals");
    mesh.bind(shader.get());
    mesh.draw();
    RgbaImage image = readPixels(0, 0, 256, 256);
    for (const uint8_t* p : {image.at(0, 0), image.at(128, 128), image.at(255, 255)}) {
        EXPECT_NEAR(p[0], 255, 1);
        EXPECT_NEAR(p[1], 128, 1);
        EXPECT_NEAR(p[2], 64, 1);
    }
}

TEST_F(VAOTest, CombosPerAttributeKeyAndTheBindingCache)
{
    VAO mesh("combos");
    const ArrayBuffer* buffer = mesh.getArrayBuffer(interleavedQuad(mesh, 0, 1, 0));
    mesh.upload();
    auto a = uvShader("a");
    auto b = uvShader("b");
    auto c = normalShader("c");
    ASSERT_EQ(a->getAttributeKey(), b->getAttributeKey());

    mesh.bind(a.get());
    mesh.draw();
    mesh.bind(b.get());
    mesh.draw();
    EXPECT_EQ(mesh.getComboCount(), 1u);
    EXPECT_EQ(RenderState::getVertexArraySwitches(), 1u);
    EXPECT_EQ(RenderState::getDrawCalls(), 2u);
    EXPECT_EQ(boundVertexArray(), RenderState::getCurrentVertexArray());

    // An extra attribute: a second combo, and its wiring printed.
    std::ostringstream expected;
    expected << "VAO : Generating vao with key '" << c->getAttributeKey() << "'\n";
    for (const ShaderVariable& attribute : c->getAttributeList())
        expected << "-> [" << attribute.name << "] Attrib " << attribute.location << " VBO " << buffer->getGlName()
                 << " Components " << mesh.getMappedArray(attribute.name)->components
                 << " DataType 5126 Stride 32 Offset " << mesh.getMappedArray(attribute.name)->offset << "\n";
    captureLog();
    mesh.bind(c.get());
    EXPECT_EQ(capturedLog(), expected.str());
    EXPECT_EQ(mesh.getComboCount(), 2u);
    EXPECT_EQ(RenderState::getVertexArraySwitches(), 2u);

    // Generating a layout that exists rebinds its combo, silently.
    captureLog();
    VAOCombo* first = mesh.generateVAOCombo(a.get());
    EXPECT_EQ(capturedLog(), "");
    EXPECT_EQ(first, mesh.getCombo(a->getAttributeKey()));
    EXPECT_EQ(mesh.getComboCount(), 2u);

    // Another mesh bound in between: the draw rebinds this mesh's combo.
    VAO other("other");
    interleavedQuad(other, 0, 0, 1);
    other.upload();
    other.bind(a.get());
    mesh.draw();
    EXPECT_EQ(boundVertexArray(), first->getGlName());
    EXPECT_EQ(boundVertexArray(), RenderState::getCurrentVertexArray());
}

TEST_F(VAOTest, DeletingTheBoundMeshClearsTheCache)
{
    auto shader = positionShader("position");
    for (int i = 0; i < 2; ++i) {
        VAO mesh("mesh");
        mesh.mapArray(mesh.allocateArrayBuffer(9), "in_Position", 3);
        mesh.upload();
        mesh.bind(shader.get());
        // The second mesh may reuse the first one's name: it must still reach GL.
        EXPECT_NE(boundVertexArray(), 0u);
        EXPECT_EQ(boundVertexArray(), RenderState::getCurrentVertexArray());
    }
    EXPECT_EQ(RenderState::getCurrentVertexArray(), 0u);
    EXPECT_EQ(boundVertexArray(), 0u);
}

TEST_F(VAOTest, IndexedDrawsCountIndices)
{
    auto shader = positionShader("position");
    VAO mesh("indexed");
    float* v = mesh.allocateArrayBuffer(12);
    const float corners[12] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    std::copy(corners, corners + 12, v);
    mesh.mapArray(v, "in_Position", 3);
    mesh.allocateIndices(3);
    // The second call replaces the first: four triangles over four vertices.
    GLuint* indices = mesh.allocateIndices(12);
    const GLuint order[12] = {0, 1, 2, 0, 2, 3, 0, 1, 2, 0, 2, 3};
    std::copy(order, order + 12, indices);
    mesh.upload();
    EXPECT_EQ(mesh.getVertexCount(), 4);

    EXPECT_EQ(primitivesOf([&] { mesh.draw(); }), 0u) << "drawn before any bind";
    mesh.bind(shader.get());
    EXPECT_EQ(primitivesOf([&] { mesh.draw(); }), 4u);
    EXPECT_EQ(primitivesOf([&] { mesh.draw(GL_LINES); }), 6u);
    EXPECT_EQ(primitivesOf([&] { mesh.drawInstanced(3); }), 12u);
    EXPECT_EQ(primitivesOf([&] { mesh.drawArrays(GL_TRIANGLES, 0, 3); }), 1u);
    EXPECT_EQ(RenderState::getDrawCalls(), 4u);
    RgbaImage image = readPixels(0, 0, 256, 256);
    EXPECT_EQ(image.at(10, 245)[0], 255);
    EXPECT_EQ(image.at(245, 10)[0], 255);
}

TEST_F(VAOTest, WeldSharesEqualVerticesAndDrawsTheSamePicture)
{
    // The quad's two triangles share two corners: 6 vertices, 4 distinct in every buffer.
    VAO mesh("welded");
    interleavedQuad(mesh, 1.0f, 0.5f, 0.25f);
    ASSERT_TRUE(mesh.weld());
    mesh.upload();
    EXPECT_EQ(mesh.getVertexCount(), 4);
    auto shader = normalShader("normals");
    mesh.bind(shader.get());
    EXPECT_EQ(primitivesOf([&] { mesh.draw(); }), 2u);
    RgbaImage image = readPixels(0, 0, 256, 256);
    for (const uint8_t* p : {image.at(0, 0), image.at(128, 128), image.at(255, 255)})
        EXPECT_NEAR(p[0], 255, 1);
    EXPECT_FALSE(mesh.weld()) << "an indexed mesh is welded already";

    // A vertex differing in one buffer only stays its own: two buffers of three rows
    // where the rows are equal in the first buffer and not in the second.
    VAO split("split");
    float* a = split.allocateArrayBuffer(9);
    float* b = split.allocateArrayBuffer(3);
    split.mapArray(a, "in_Position", 3);
    split.mapArray(b, "in_Weight", 1);
    b[2] = 1.0f;
    ASSERT_TRUE(split.weld());
    split.upload();
    EXPECT_EQ(split.getVertexCount(), 2);
    // Nothing to share, or buffers of different lengths: left as they are.
    VAO distinct("distinct");
    float* d = distinct.allocateArrayBuffer(9);
    distinct.mapArray(d, "in_Position", 3);
    d[3] = 1.0f;
    d[6] = 2.0f;
    EXPECT_FALSE(distinct.weld());
    float* e = distinct.allocateArrayBuffer(2);
    distinct.mapArray(e, "in_Weight", 1);
    EXPECT_FALSE(distinct.weld());
}

namespace {

// Tangent then bitangent of a vertex.
const float* frameOf(const VAO& mesh, int vertex)
{
    return static_cast<const float*>(mesh.getMappedArray("in_Tangent")->buffer->getData()) + vertex * 6;
}

void expectFrame(const float* f, std::initializer_list<float> expected)
{
    for (float e : expected)
        EXPECT_FLOAT_EQ(*f++, e);
}

bool tangents(VAO& mesh)
{
    return mesh.createTangents("in_Position", "in_Normal", "in_UV0", "in_Tangent", "in_Bitangent");
}

} // namespace

TEST_F(VAOTest, TangentsPerWholeTriangleWithinTheArrays)
{
    // Interleaved position, normal, uv as the object reader builds meshes: seven
    // vertices, the last one no triangle.
    VAO mesh("tangents");
    float* v = mesh.allocateArrayBuffer(7 * 8);
    mesh.mapArray(v, "in_Position", 3);
    mesh.mapArray(v, "in_Normal", 3);
    mesh.mapArray(v, "in_UV0", 2);
    // (x, y, u, v): u along +x and v along +y with edges 2 and 3; then a rotated mapping
    // of determinant 4; then a stray vertex.
    const float rows[7][4] = {{0, 0, 0, 0}, {2, 0, 1, 0}, {0, 3, 0, 1}, {0, 0, 0, 0},
                              {1, 0, 0, 2}, {0, 1, -2, 0}, {5, 5, 1, 1}};
    for (int i = 0; i < 7; ++i) {
        v[i * 8] = rows[i][0];
        v[i * 8 + 1] = rows[i][1];
        v[i * 8 + 6] = rows[i][2];
        v[i * 8 + 7] = rows[i][3];
    }
    ASSERT_TRUE(tangents(mesh));
    const MappedArray* bitangent = mesh.getMappedArray("in_Bitangent");
    EXPECT_EQ(bitangent->buffer, mesh.getMappedArray("in_Tangent")->buffer);
    EXPECT_EQ(bitangent->offset, 12);
    EXPECT_EQ(bitangent->buffer->getStride(), 24);
    for (int i = 0; i < 3; ++i)
        expectFrame(frameOf(mesh, i), {1, 0, 0, 0, 3, 0});
    // The tangent normalised, the bitangent not.
    for (int i = 3; i < 6; ++i)
        expectFrame(frameOf(mesh, i), {0, -1, 0, 0.5f, 0, 0});
    expectFrame(frameOf(mesh, 6), {0, 0, 0, 0, 0, 0});

    // Positions for two triangles but uvs, in their own buffer, for one: the second
    // triangle is not read past the uvs.
    VAO split("split");
    float* positions = split.allocateArrayBuffer(18);
    float* uvs = split.allocateArrayBuffer(6);
    split.mapArray(positions, "in_Position", 3);
    split.mapArray(split.allocateArrayBuffer(18), "in_Normal", 3);
    split.mapArray(uvs, "in_UV0", 2);
    const float p[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0}, t[6] = {0, 0, 1, 0, 0, 1};
    std::copy(p, p + 9, positions);
    std::copy(p, p + 9, positions + 9);
    std::copy(t, t + 6, uvs);
    ASSERT_TRUE(tangents(split));
    expectFrame(frameOf(split, 2), {1, 0, 0, 0, 1, 0});
    expectFrame(frameOf(split, 3), {0, 0, 0, 0, 0, 0});

    // Refused, adding nothing: an indexed mesh, too few components.
    captureLog();
    mesh.allocateIndices(3);
    EXPECT_FALSE(mesh.createTangents("in_Position", "in_Normal", "in_UV0", "in_T2", "in_B2"));
    VAO flat("flat");
    float* xy = flat.allocateArrayBuffer(24);
    flat.mapArray(xy, "in_Position", 2);
    flat.mapArray(xy, "in_Normal", 0);
    flat.mapArray(xy, "in_UV0", 2);
    EXPECT_FALSE(tangents(flat));
    std::string out = capturedLog();
    EXPECT_NE(out.find("createTangents : tangents - "), std::string::npos) << out;
    EXPECT_NE(out.find("createTangents : flat - "), std::string::npos) << out;
    EXPECT_FALSE(mesh.hasMappedArray("in_T2"));
    EXPECT_FALSE(flat.hasMappedArray("in_Tangent"));
}

namespace {

void bindShaderNeedingAMissingArray()
{
    VAO mesh("onlyPositions");
    mesh.mapArray(mesh.allocateArrayBuffer(9), "in_Position", 3);
    mesh.upload();
    mesh.bind(uvShader("needsUv").get());
}

void mapAnUnregisteredArray()
{
    VAO mesh("mesh");
    float unregistered[3] = {0, 0, 0};
    mesh.mapArray(unregistered, "in_Position", 3);
}

void tangentsWithoutUv()
{
    VAO mesh("noUv");
    float* v = mesh.allocateArrayBuffer(9);
    mesh.mapArray(v, "in_Position", 3);
    mesh.mapArray(v, "in_Normal", 3);
    tangents(mesh);
}

} // namespace

// GL does not survive a fork: each dying statement runs in a new test process.
TEST(VAODeathTest, ProgrammingAndContentErrorsStop)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
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
