#include "ArrayBuffer.h"
#include "Geometry.h"
#include "ImageCompare.h"
#include "RenderState.h"
#include "Shader.h"
#include "VAO.h"
#include "VAOCombo.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<Shader> makeShader(const std::string& name, const std::string& vertex, const std::string& fragment)
{
    std::unique_ptr<Shader> shader(new Shader(name));
    shader->setVertexCode(vertex);
    shader->setFragmentCode(fragment);
    EXPECT_TRUE(shader->build()) << shader->getErrorLog();
    return shader;
}

// The quad placement of the engine's 2D drawing, with the uv as colour.
std::unique_ptr<Shader> placedUvShader()
{
    return makeShader("placedUv",
                      "#version 150\nin vec3 in_Position;\nin vec2 in_UV0;\nuniform vec2 pos;\nuniform vec2 scale;\n"
                      "out vec2 uv;\nvoid main() { uv = in_UV0; gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0); }\n",
                      "#version 150\nin vec2 uv;\nout vec4 c;\nvoid main() { c = vec4(uv, 0.0, 1.0); }\n");
}

// The same placement for position-only meshes, in white.
std::unique_ptr<Shader> placedShader()
{
    return makeShader("placed",
                      "#version 150\nin vec3 in_Position;\nuniform vec2 pos;\nuniform vec2 scale;\n"
                      "void main() { gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0); }\n",
                      "#version 150\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n");
}

// Green where the rasterised side is the front, red where it is the back.
std::unique_ptr<Shader> facingShader()
{
    return makeShader("facing",
                      "#version 150\nin vec3 in_Position;\nuniform mat4 mvp;\n"
                      "void main() { gl_Position = mvp * vec4(in_Position, 1.0); }\n",
                      "#version 150\nout vec4 c;\n"
                      "void main() { c = gl_FrontFacing ? vec4(0.0, 1.0, 0.0, 1.0) : vec4(1.0, 0.0, 0.0, 1.0); }\n");
}

std::vector<GLfloat> readBuffer(const MappedArray* array)
{
    const ArrayBuffer* buffer = array->buffer;
    std::vector<GLfloat> values(size_t(buffer->getCount()));
    glBindBuffer(GL_ARRAY_BUFFER, buffer->getGlName());
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, buffer->byteSize(), values.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return values;
}

struct Coverage {
    int front = 0;
    int back = 0;
};

Coverage countFacing()
{
    Coverage c;
    RgbaImage image = readPixels(0, 0, 256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint8_t* p = image.at(x, y);
            c.front += p[1] > 128;
            c.back += p[0] > 128;
        }
    return c;
}

class GeometryTest : public testing::Test {
protected:
    void SetUp() override
    {
        Geometry::build();
        Geometry::buildLightVolumes();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        RenderState::invalidateFramebuffer();
        glViewport(0, 0, 256, 256);
    }
    void TearDown() override
    {
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        Geometry::release();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // Draws mesh seen from eye towards target and counts front and back pixels.
    Coverage view(Shader* shader, VAO* mesh, glm::vec3 eye, glm::vec3 target, bool cull)
    {
        glm::vec3 direction = glm::normalize(target - eye);
        glm::vec3 up = std::abs(direction.y) > 0.9f ? glm::vec3(0, 0, 1) : glm::vec3(0, 1, 0);
        glm::mat4 mvp = glm::perspective(glm::radians(100.0f), 1.0f, 0.01f, 100.0f) * glm::lookAt(eye, target, up);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        if (cull) {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
        } else {
            glDisable(GL_CULL_FACE);
        }
        mesh->bind(shader);
        shader->setMatrix4("mvp", glm::value_ptr(mvp));
        mesh->draw();
        return countFacing();
    }
};

} // namespace

TEST_F(GeometryTest, SharedMeshesHaveTheirCountsAndSeparateArrays)
{
    struct Expected {
        VAO* mesh;
        const char* name;
        GLsizei vertices;
        GLsizei indices;
        std::vector<std::string> arrays;
    };
    const std::vector<std::string> quadArrays = {"in_Position", "in_UV0", "in_Normal"};
    const std::vector<Expected> meshes = {
        {Geometry::quad, "Geometry::Quad", 6, 0, quadArrays},
        {Geometry::cornerQuad, "Geometry::Quad", 6, 0, quadArrays},
        {Geometry::quadLines, "Geometry::QuadLines", 8, 0, {"in_Position"}},
        {Geometry::cube, "Cube", 36, 0, {"in_Position", "in_Normal", "in_UV0"}},
        {Geometry::lightCube, "deferred:cube", 8, 36, {"in_Position"}},
        {Geometry::lightCubeLines, "deferred:cubeLines", 8, 24, {"in_Position"}},
        {Geometry::lightCone, "deferred:cone", 5, 18, {"in_Position"}},
        {Geometry::lightConeLines, "deferred:coneLines", 5, 16, {"in_Position"}},
    };
    for (const Expected& e : meshes) {
        SCOPED_TRACE(e.name);
        ASSERT_NE(e.mesh, nullptr);
        EXPECT_EQ(e.mesh->getName(), e.name);
        EXPECT_EQ(e.mesh->getVertexCount(), e.vertices);
        EXPECT_EQ(e.mesh->getIndexBuffer() ? e.mesh->getIndexBuffer()->getCount() : 0, e.indices);
        ASSERT_EQ(e.mesh->getArrayBuffers().size(), e.arrays.size());
        EXPECT_EQ(e.mesh->getMappedArrays().getArrayMap().size(), e.arrays.size());
        for (size_t i = 0; i < e.arrays.size(); ++i) {
            const MappedArray* array = e.mesh->getMappedArray(e.arrays[i]);
            ASSERT_NE(array, nullptr) << e.arrays[i];
            // One attribute per buffer, in the listed order, and no client copy kept.
            EXPECT_EQ(array->buffer, e.mesh->getArrayBuffers()[i].get());
            EXPECT_EQ(array->offset, 0);
            EXPECT_EQ(array->buffer->getStride(), array->components * 4);
            EXPECT_EQ(array->buffer->getData(), nullptr);
        }
    }
    EXPECT_NE(Geometry::quad, Geometry::cornerQuad);

    // Building again keeps the meshes; release clears every pointer.
    VAO* quad = Geometry::quad;
    VAO* lightCube = Geometry::lightCube;
    Geometry::build();
    Geometry::buildLightVolumes();
    EXPECT_EQ(Geometry::quad, quad);
    EXPECT_EQ(Geometry::lightCube, lightCube);
    Geometry::release();
    for (VAO* mesh : {Geometry::quad, Geometry::cornerQuad, Geometry::quadLines, Geometry::cube, Geometry::lightCube,
                      Geometry::lightCubeLines, Geometry::lightCone, Geometry::lightConeLines})
        EXPECT_EQ(mesh, nullptr);
}

// What the tables must agree on: each triangle winds counter-clockwise around the normal
// its vertices carry, and the quads show their texture upright and unmirrored.
TEST_F(GeometryTest, WindingNormalsAndUvAgreeInTheUploadedBuffers)
{
    for (VAO* mesh : {Geometry::quad, Geometry::cornerQuad, Geometry::cube}) {
        SCOPED_TRACE(mesh == Geometry::cube ? "cube" : mesh == Geometry::quad ? "quad" : "cornerQuad");
        std::vector<GLfloat> p = readBuffer(mesh->getMappedArray("in_Position"));
        std::vector<GLfloat> n = readBuffer(mesh->getMappedArray("in_Normal"));
        std::vector<GLfloat> t = readBuffer(mesh->getMappedArray("in_UV0"));
        ASSERT_EQ(p.size(), size_t(mesh->getVertexCount()) * 3);
        for (GLsizei v = 0; v < mesh->getVertexCount(); v += 3) {
            glm::vec3 a(p[v * 3], p[v * 3 + 1], p[v * 3 + 2]);
            glm::vec3 b(p[v * 3 + 3], p[v * 3 + 4], p[v * 3 + 5]);
            glm::vec3 c(p[v * 3 + 6], p[v * 3 + 7], p[v * 3 + 8]);
            glm::vec3 faceNormal = glm::normalize(glm::cross(b - a, c - a));
            for (int k = 0; k < 3; ++k) {
                glm::vec3 normal(n[(v + k) * 3], n[(v + k) * 3 + 1], n[(v + k) * 3 + 2]);
                EXPECT_NEAR(glm::dot(faceNormal, normal), 1.0f, 1e-5f) << "triangle " << v / 3;
                // The vertex lies on the face its normal names (|coordinate| = 1 there).
                if (mesh == Geometry::cube) {
                    EXPECT_FLOAT_EQ(glm::dot(glm::vec3(p[(v + k) * 3], p[(v + k) * 3 + 1], p[(v + k) * 3 + 2]), normal),
                                    1.0f);
                }
            }
        }
        if (mesh == Geometry::cube)
            continue;
        // u grows with x and v with y, from 0 at the left / bottom edge to 1.
        const float left = mesh == Geometry::quad ? -1.0f : 0.0f;
        const float bottom = -1.0f;
        const float width = mesh == Geometry::quad ? 2.0f : 1.0f;
        const float height = mesh == Geometry::quad ? 2.0f : 1.0f;
        for (int v = 0; v < 6; ++v) {
            EXPECT_FLOAT_EQ(t[v * 2], (p[v * 3] - left) / width);
            EXPECT_FLOAT_EQ(t[v * 2 + 1], (p[v * 3 + 1] - bottom) / height);
        }
    }
}

TEST_F(GeometryTest, QuadsCoverTheViewportWithUvZeroOneTopLeft)
{
    auto shader = placedUvShader();
    struct Placement {
        VAO* mesh;
        float pos[2];
        float scale[2];
    };
    for (const Placement& q : {Placement{Geometry::cornerQuad, {-1, 1}, {2, 2}}, Placement{Geometry::quad, {0, 0}, {1, 1}}}) {
        SCOPED_TRACE(q.mesh == Geometry::quad ? "quad" : "cornerQuad");
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        q.mesh->bind(shader.get());
        shader->setVec2("pos", q.pos[0], q.pos[1]);
        shader->setVec2("scale", q.scale[0], q.scale[1]);
        q.mesh->draw();
        RgbaImage image = readPixels(0, 0, 256, 256);
        int uncovered = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                uncovered += image.at(x, y)[2] != 0;
        EXPECT_EQ(uncovered, 0);
        // Rows are bottom first: y = 255 is the top.
        EXPECT_LE(image.at(0, 255)[0], 1);
        EXPECT_GE(image.at(0, 255)[1], 254);
        EXPECT_GE(image.at(255, 0)[0], 254);
        EXPECT_LE(image.at(255, 0)[1], 1);
    }

    // The outline frames the corner-anchored square: four segments on its edges.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    auto lineShader = placedShader();
    Geometry::quadLines->bind(lineShader.get());
    lineShader->setVec2("pos", -0.5f, 0.5f);
    lineShader->setVec2("scale", 1, 1);
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    Geometry::quadLines->draw(GL_LINES);
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint lines = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &lines);
    glDeleteQueries(1, &query);
    EXPECT_EQ(lines, 4u);
    RgbaImage image = readPixels(0, 0, 256, 256);
    auto lit = [&](int x, int y) { return image.at(x, y)[0] + image.at(x, y)[1] > 0; };
    EXPECT_FALSE(lit(128, 128));
    // The left edge lies on x = 64 (window units), between two pixel columns.
    int leftEdge = 0, bottomEdge = 0;
    for (int i = 70; i < 186; ++i) {
        leftEdge += lit(63, i) || lit(64, i);
        bottomEdge += lit(i, 63) || lit(i, 64);
    }
    EXPECT_EQ(leftEdge, 116);
    EXPECT_EQ(bottomEdge, 116);
}

TEST_F(GeometryTest, ClosedMeshesFaceOutward)
{
    auto shader = facingShader();
    const std::vector<glm::vec3> directions = {{1, 0, 0},  {-1, 0, 0},  {0, 1, 0},   {0, -1, 0},  {0, 0, 1},
                                               {0, 0, -1}, {1, 1, 1},   {-1, 1, 1},  {1, -1, 1},  {1, 1, -1},
                                               {-1, -1, 1}, {-1, 1, -1}, {1, -1, -1}, {-1, -1, -1}};
    for (VAO* mesh : {Geometry::lightCube, Geometry::lightCone, Geometry::cube}) {
        SCOPED_TRACE(mesh->getName());
        // A point inside: the cone narrows towards its apex at the origin.
        const glm::vec3 inside = mesh == Geometry::lightCone ? glm::vec3(0, 0, -0.7f) : glm::vec3(0);
        for (const glm::vec3& d : directions) {
            SCOPED_TRACE(testing::Message() << "direction " << d.x << "," << d.y << "," << d.z);
            // From outside, whatever is nearest is a front face.
            Coverage outside = view(shader.get(), mesh, inside + glm::normalize(d) * 3.0f, inside, false);
            EXPECT_GT(outside.front, 300);
            EXPECT_EQ(outside.back, 0);
            // From inside every face is a back face: all of them culled.
            Coverage within = view(shader.get(), mesh, inside, inside + d, false);
            EXPECT_GT(within.back, 1000);
            EXPECT_EQ(within.front, 0);
            Coverage culled = view(shader.get(), mesh, inside, inside + d, true);
            EXPECT_EQ(culled.back + culled.front, 0);
        }
    }

    // The cone's base (its first two triangles) is seen from its front at -Z.
    view(shader.get(), Geometry::lightCone, glm::vec3(0, 0, -4), glm::vec3(0, 0, -1), false);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
    Coverage base = countFacing();
    EXPECT_GT(base.front, 1000);
    EXPECT_EQ(base.back, 0);
}
