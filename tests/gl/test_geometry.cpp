#include "ArrayBuffer.h"
#include "BuildShader.h"
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

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<Shader> makeShader(const char* vertex, const char* colour)
{
    return buildShader("geometry",
                       std::string("#version 150\nin vec3 in_Position;\nuniform vec2 pos;\nuniform vec2 scale;\n"
                                   "uniform mat4 mvp;\n") +
                           vertex,
                       std::string("#version 150\nin vec2 uv;\nout vec4 c;\nvoid main() { c = ") + colour + "; }\n");
}

// The quad placement of the engine's 2D drawing, uv as colour.
const char* const placed = "in vec2 in_UV0;\nout vec2 uv;\n"
                           "void main() { uv = in_UV0; gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0); }\n";
// The same without uv, for the outline.
const char* const placedLines = "out vec2 uv;\n"
                                "void main() { uv = vec2(1.0); gl_Position = vec4(pos + in_Position.xy * scale, 0.0, 1.0); }\n";
// Projected; green where the front is rasterised, red where the back is.
const char* const projected = "out vec2 uv;\nvoid main() { uv = vec2(0.0); gl_Position = mvp * vec4(in_Position, 1.0); }\n";
const char* const facing = "gl_FrontFacing ? vec4(0.0, 1.0, 0.0, 1.0) : vec4(1.0, 0.0, 0.0, 1.0)";

struct Coverage {
    int front = 0, back = 0;
};

Coverage countFacing()
{
    Coverage c;
    RgbaImage image = readPixels(0, 0, 256, 256);
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        c.front += image.pixels[i + 1] > 128;
        c.back += image.pixels[i] > 128;
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
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override
    {
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        Geometry::release();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // Draws the mesh seen from eye towards target; counts front and back pixels.
    static Coverage view(Shader* shader, VAO* mesh, glm::vec3 eye, glm::vec3 target, bool cull)
    {
        glm::vec3 up = std::abs(glm::normalize(target - eye).y) > 0.9f ? glm::vec3(0, 0, 1) : glm::vec3(0, 1, 0);
        glm::mat4 mvp = glm::perspective(glm::radians(100.0f), 1.0f, 0.01f, 100.0f) * glm::lookAt(eye, target, up);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        mesh->bind(shader);
        shader->setMatrix4("mvp", glm::value_ptr(mvp));
        mesh->draw();
        return countFacing();
    }
};

} // namespace

TEST_F(GeometryTest, MeshCountsOneArrayPerBufferAndRelease)
{
    const std::vector<std::string> quadArrays = {"in_Position", "in_UV0", "in_Normal"}, position = {"in_Position"};
    struct Expected {
        VAO* mesh;
        const char* name;
        GLsizei vertices, indices;
        std::vector<std::string> arrays;
    } meshes[] = {
        {Geometry::quad, "Geometry::Quad", 6, 0, quadArrays},
        {Geometry::cornerQuad, "Geometry::Quad", 6, 0, quadArrays},
        {Geometry::quadLines, "Geometry::QuadLines", 8, 0, position},
        {Geometry::cube, "Cube", 36, 0, {"in_Position", "in_Normal", "in_UV0"}},
        {Geometry::lightCube, "deferred:cube", 8, 36, position},
        {Geometry::lightCubeLines, "deferred:cubeLines", 8, 24, position},
        {Geometry::lightCone, "deferred:cone", 5, 18, position},
        {Geometry::lightConeLines, "deferred:coneLines", 5, 16, position},
        {Geometry::lightSphere, "deferred:sphere", 42, 240, position},
        {Geometry::lightRoundCone, "deferred:roundCone", 10, 48, position},
    };
    for (const Expected& e : meshes) {
        SCOPED_TRACE(e.name);
        ASSERT_NE(e.mesh, nullptr);
        EXPECT_EQ(e.mesh->getName(), e.name);
        EXPECT_EQ(e.mesh->getVertexCount(), e.vertices);
        EXPECT_EQ(e.mesh->getIndexBuffer() ? e.mesh->getIndexBuffer()->getCount() : 0, e.indices);
        ASSERT_EQ(e.mesh->getArrayBuffers().size(), e.arrays.size());
        for (size_t i = 0; i < e.arrays.size(); ++i) {
            const MappedArray* array = e.mesh->getMappedArray(e.arrays[i]);
            ASSERT_NE(array, nullptr) << e.arrays[i];
            EXPECT_EQ(array->buffer, e.mesh->getArrayBuffers()[i].get());
            EXPECT_EQ(array->buffer->getStride(), array->components * 4);
            EXPECT_EQ(array->buffer->getData(), nullptr) << "client array kept";
        }
    }
    EXPECT_NE(Geometry::quad, Geometry::cornerQuad);
    VAO* quad = Geometry::quad;
    Geometry::build();
    EXPECT_EQ(Geometry::quad, quad);
    Geometry::release();
    for (VAO* mesh : {Geometry::quad, Geometry::cornerQuad, Geometry::quadLines, Geometry::cube, Geometry::lightCube,
                      Geometry::lightCubeLines, Geometry::lightCone, Geometry::lightConeLines, Geometry::lightSphere,
                      Geometry::lightRoundCone})
        EXPECT_EQ(mesh, nullptr);
}

// A mesh's uploaded vertices of one array, read back from GL.
static std::vector<glm::vec3> readVectors(VAO* mesh, const char* name)
{
    const ArrayBuffer* buffer = mesh->getMappedArray(name)->buffer;
    std::vector<glm::vec3> values(size_t(buffer->getCount()) / 3);
    glBindBuffer(GL_ARRAY_BUFFER, buffer->getGlName());
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, buffer->byteSize(), values.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return values;
}

// Lighting needs each cube normal to be the face its triangle winds around.
TEST_F(GeometryTest, CubeNormalsMatchTheWinding)
{
    std::vector<glm::vec3> p = readVectors(Geometry::cube, "in_Position"), n = readVectors(Geometry::cube, "in_Normal");
    ASSERT_EQ(p.size(), 36u);
    for (size_t v = 0; v < 36; v += 3) {
        glm::vec3 face = glm::normalize(glm::cross(p[v + 1] - p[v], p[v + 2] - p[v]));
        for (size_t k = v; k < v + 3; ++k) {
            EXPECT_NEAR(glm::dot(face, n[k]), 1.0f, 1e-5f) << "triangle " << v / 3;
            EXPECT_FLOAT_EQ(glm::dot(p[k], n[k]), 1.0f) << "vertex " << k << " off its face";
        }
    }
}

TEST_F(GeometryTest, QuadsCoverTheViewportWithUvZeroOneTopLeft)
{
    auto shader = makeShader(placed, "vec4(uv, 0.0, 1.0)");
    struct Placement {
        VAO* mesh;
        float x, y, scale;
    };
    for (const Placement& q : {Placement{Geometry::cornerQuad, -1, 1, 2}, Placement{Geometry::quad, 0, 0, 1}}) {
        glClear(GL_COLOR_BUFFER_BIT);
        q.mesh->bind(shader.get());
        shader->setVec2("pos", q.x, q.y);
        shader->setVec2("scale", q.scale, q.scale);
        q.mesh->draw();
        RgbaImage image = readPixels(0, 0, 256, 256);
        int uncovered = 0;
        for (size_t i = 0; i < image.pixels.size(); i += 4)
            uncovered += image.pixels[i + 2] != 0;
        EXPECT_EQ(uncovered, 0);
        // Bottom row first: (0, 255) is the top-left pixel.
        EXPECT_LE(image.at(0, 255)[0], 1);
        EXPECT_GE(image.at(0, 255)[1], 254);
        EXPECT_GE(image.at(255, 0)[0], 254);
        EXPECT_LE(image.at(255, 0)[1], 1);
    }

    // The outline frames the corner-anchored square (here pixels 64..192).
    auto lines = makeShader(placedLines, "vec4(1.0)");
    glClear(GL_COLOR_BUFFER_BIT);
    Geometry::quadLines->bind(lines.get());
    lines->setVec2("pos", -0.5f, 0.5f);
    lines->setVec2("scale", 1, 1);
    Geometry::quadLines->draw(GL_LINES);
    RgbaImage image = readPixels(0, 0, 256, 256);
    auto lit = [&](int x, int y) { return image.at(x, y)[0] == 255; };
    EXPECT_FALSE(lit(128, 128));
    for (int i = 70; i < 186; ++i) {
        // Each edge lies between two pixel columns or rows.
        EXPECT_TRUE(lit(63, i) || lit(64, i)) << i;
        EXPECT_TRUE(lit(191, i) || lit(192, i)) << i;
        EXPECT_TRUE(lit(i, 63) || lit(i, 64)) << i;
        EXPECT_TRUE(lit(i, 191) || lit(i, 192)) << i;
    }
}

TEST_F(GeometryTest, ClosedMeshesFaceOutward)
{
    auto shader = makeShader(projected, facing);
    const glm::vec3 directions[] = {{1, 0, 0},  {-1, 0, 0},  {0, 1, 0},   {0, -1, 0},  {0, 0, 1},
                                    {0, 0, -1}, {1, 1, 1},   {-1, 1, 1},  {1, -1, 1},  {1, 1, -1},
                                    {-1, -1, 1}, {-1, 1, -1}, {1, -1, -1}, {-1, -1, -1}};
    for (VAO* mesh : {Geometry::lightCube, Geometry::lightCone, Geometry::cube, Geometry::lightSphere,
                      Geometry::lightRoundCone}) {
        // The cones narrow towards their apex at the origin.
        const bool cone = mesh == Geometry::lightCone || mesh == Geometry::lightRoundCone;
        const glm::vec3 inside = cone ? glm::vec3(0, 0, -0.7f) : glm::vec3(0);
        for (const glm::vec3& d : directions) {
            SCOPED_TRACE(testing::Message() << mesh->getName() << " towards " << d.x << "," << d.y << "," << d.z);
            // From outside the nearest surface is always a front face (a pixel centre
            // exactly on a silhouette edge may go to the back triangle behind it, which
            // the fill rule sees from the other side) ...
            Coverage outside = view(shader.get(), mesh, inside + glm::normalize(d) * 3.0f, inside, false);
            EXPECT_GT(outside.front, 300);
            EXPECT_LE(outside.back, 2);
            // ... from inside always a back face, so back-face culling leaves nothing.
            Coverage within = view(shader.get(), mesh, inside, inside + d, false);
            EXPECT_GT(within.back, 1000);
            EXPECT_EQ(within.front, 0);
            Coverage culled = view(shader.get(), mesh, inside, inside + d, true);
            EXPECT_EQ(culled.front + culled.back, 0);
        }
    }
    // The cone's base (its first two triangles) faces -Z.
    view(shader.get(), Geometry::lightCone, glm::vec3(0, 0, -4), glm::vec3(0, 0, -1), false);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
    Coverage base = countFacing();
    EXPECT_GT(base.front, 1000);
    EXPECT_EQ(base.back, 0);
}

// A light lights nothing outside its volume, so a volume that cut into the lit region
// would cut the light: every face plane of the sphere's volume must keep the unit sphere
// inside, and of the round cone's the cone of base radius 0.5 at z = -1 (its apex and
// base circle are its outermost points). And they must be tighter than the cube and the
// square cone they replace.
TEST_F(GeometryTest, TightVolumesEncloseTheirShapes)
{
    for (VAO* mesh : {Geometry::lightSphere, Geometry::lightRoundCone}) {
        SCOPED_TRACE(mesh->getName());
        const bool cone = mesh == Geometry::lightRoundCone;
        std::vector<glm::vec3> p = readVectors(mesh, "in_Position");
        const ArrayBuffer* indexBuffer = mesh->getIndexBuffer();
        std::vector<GLuint> index(size_t(indexBuffer->getCount()));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer->getGlName());
        glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(index.size() * sizeof(GLuint)), index.data());
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        for (size_t i = 0; i < index.size(); i += 3) {
            ASSERT_LT(index[i + 2], p.size());
            const glm::vec3 a = p[index[i]], b = p[index[i + 1]], c = p[index[i + 2]];
            const glm::vec3 n = glm::normalize(glm::cross(b - a, c - a));
            const float plane = glm::dot(n, a);
            const float reach = cone ? std::max(0.0f, -n.z + 0.5f * std::sqrt(n.x * n.x + n.y * n.y)) : 1.0f;
            EXPECT_GE(plane, reach - 1e-5f) << "triangle " << i / 3;
        }
        for (const glm::vec3& v : p) {
            if (cone)
                EXPECT_LT(std::sqrt(v.x * v.x + v.y * v.y), 0.55f) << "the square cone's corners reach 0.71";
            else
                EXPECT_LT(glm::length(v), 1.1f) << "the cube's corners reach 1.73";
        }
    }
}
