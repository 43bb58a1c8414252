// Object files into uploaded meshes: vertex counts, the attribute arrays mapped over
// the interleaved buffer, what reaches GL, and drawing the scene tree.
#include "ArrayBuffer.h"
#include "BuildShader.h"
#include "ORVCamera.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ObjectReader.h"
#include "RenderState.h"
#include "ResourceFile.h"
#include "Shader.h"
#include "ShaderInstance.h"
#include "VAO.h"
#include "VAOCombo.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

namespace {

// Writes the layout by hand, independently of the tools' writer.
class FileBytes {
public:
    FileBytes() : file("scene.vbo", std::vector<uint8_t>()) {}
    FileBytes& i(int32_t v)
    {
        file.appendInt(v);
        return *this;
    }
    FileBytes& f(std::initializer_list<float> values)
    {
        for (float v : values)
            file.appendFloat(v);
        return *this;
    }
    FileBytes& s(const std::string& text)
    {
        file.appendString(text);
        file.appendByte(0);
        return *this;
    }
    FileBytes& identity() { return f({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}); }
    FileBytes& translation(float x, float y, float z) { return f({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}); }
    ResourceFile file;
};

// Three meshes: all arrays (one shared normal), positions only, positions and uvs;
// node A (mesh 1) with child B (mesh 2), and C (mesh 3) as a second root.
void writeScene(FileBytes& b)
{
    b.i(1).i(3);
    b.i(1).s("Full").i(3).i(0).i(1).i(1).i(3).i(2).i(9).f({0, 0, 0, 1, 1, 0});
    b.f({0, 0, 0, 1, 0, 0, 0, 1, 0}).f({0, 0, 1}).f({0, 0, 1, 0, 0, 1});
    for (int v : {0, 1, 2})
        b.i(v).i(0).i(v);
    b.i(2).s("Bare").i(3).i(0).i(0).i(0).i(0).i(0).i(3).f({-1, -1, 0, 0, 0, 0});
    b.f({-1, -1, 0, 0, -1, 0, -1, 0, 0}).i(0).i(1).i(2);
    b.i(3).s("NoNormals").i(3).i(0).i(0).i(0).i(3).i(1).i(6).f({0, 0, 0, 1, 1, 0});
    b.f({0, 0, 0, 1, 0, 0, 0, 1, 0}).f({0, 0, 1, 0, 0, 1});
    for (int v : {0, 1, 2})
        b.i(v).i(v);
    b.i(0).i(0).i(0); // textures, materials, lights
    b.i(3);
    b.i(1).i(1).i(1).i(-1).s("A").translation(0.5f, 0, 0).i(-1);
    b.i(2).i(1).i(2).i(1).s("B").identity().i(-1);
    b.i(3).i(1).i(3).i(-1).s("C").identity().i(-1);
}

std::unique_ptr<Shader> positionShader()
{
    return buildShader("position",
                       "#version 150\nin vec3 in_Position;\nvoid main() { gl_Position = vec4(in_Position, 1.0); }\n",
                       "#version 150\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n");
}

struct CountingInstance : ShaderInstance {
    explicit CountingInstance(Shader* shader) : ShaderInstance(shader) {}
    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial*) override
    {
        ShaderInstance::bind(camera, model, mesh, nullptr);
        models.push_back(model);
        meshes.push_back(mesh);
    }
    std::vector<glm::mat4> models;
    std::vector<VAO*> meshes;
};

void expectArray(const VAO& mesh, const std::string& name, GLsizei offset, GLint components, GLsizei stride)
{
    const MappedArray* array = mesh.getMappedArray(name);
    ASSERT_NE(array, nullptr) << mesh.getName() << " has no " << name;
    EXPECT_EQ(array->offset, offset) << mesh.getName() << " " << name;
    EXPECT_EQ(array->components, components) << mesh.getName() << " " << name;
    EXPECT_EQ(array->buffer->getStride(), stride) << mesh.getName() << " " << name;
}

class ObjectReaderGL : public testing::Test {
protected:
    void SetUp() override
    {
        writeScene(bytes);
        ObjectReader reader("scene.vbo");
        reader.setTrace(false);
        reader.setLog(log);
        Status read = reader.read(bytes.file, scene);
        ASSERT_TRUE(read) << read.reason();
    }
    void TearDown() override
    {
        scene.reset();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    VAO* mesh(const std::string& object) { return scene->getObjectByName(object)->getMesh(); }

    FileBytes bytes;
    std::ostringstream log;
    std::unique_ptr<ORVScene> scene;
};

} // namespace

TEST_F(ObjectReaderGL, MeshesAreUploadedWithTheirAttributeArrays)
{
    ASSERT_EQ(scene->getMeshes().size(), 3u);
    const VAO* full = mesh("A");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->getName(), "Full");
    EXPECT_EQ(full->getTag(), 1);
    EXPECT_EQ(full->getVertexCount(), 3);
    EXPECT_EQ(full->getBoundingBoxMax(), glm::vec3(1, 1, 0));
    expectArray(*full, "in_Position", 0, 3, 32);
    expectArray(*full, "in_Normal", 12, 3, 32);
    expectArray(*full, "in_UV0", 24, 2, 32);
    expectArray(*full, "in_Tangent", 0, 3, 24);
    expectArray(*full, "in_Bitangent", 12, 3, 24);
    EXPECT_NE(full->getMappedArray("in_Tangent")->buffer, full->getMappedArray("in_Position")->buffer);

    // GL holds the de-indexed vertices, each with the shared normal.
    const ArrayBuffer* buffer = full->getMappedArray("in_Position")->buffer;
    std::vector<float> stored(24);
    glBindBuffer(GL_ARRAY_BUFFER, buffer->getGlName());
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, 24 * sizeof(float), stored.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_EQ(stored, (std::vector<float>{0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 0, 1}));
    // The tangent of a triangle whose u runs along x is +x.
    std::vector<float> frame(6);
    glBindBuffer(GL_ARRAY_BUFFER, full->getMappedArray("in_Tangent")->buffer->getGlName());
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, 6 * sizeof(float), frame.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_EQ(frame, (std::vector<float>{1, 0, 0, 0, 1, 0}));

    const VAO* bare = mesh("B");
    EXPECT_EQ(bare->getVertexCount(), 3);
    expectArray(*bare, "in_Position", 0, 3, 12);
    EXPECT_FALSE(bare->hasMappedArray("in_Normal"));
    EXPECT_FALSE(bare->hasMappedArray("in_Tangent"));

    const VAO* noNormals = mesh("C");
    EXPECT_EQ(noNormals->getVertexCount(), 3);
    expectArray(*noNormals, "in_Position", 0, 3, 20);
    expectArray(*noNormals, "in_UV0", 12, 2, 20);
    EXPECT_FALSE(noNormals->hasMappedArray("in_Normal"));
    EXPECT_TRUE(noNormals->hasMappedArray("in_Tangent"));

    // The scene box spans every mesh box.
    EXPECT_EQ(scene->getBoundingBoxMin(), glm::vec3(-1, -1, 0));
    EXPECT_EQ(scene->getBoundingBoxMax(), glm::vec3(1, 1, 0));
    EXPECT_EQ(scene->getMeshGroups().size(), 3u);
}

TEST_F(ObjectReaderGL, DrawWalksTheVisibleTree)
{
    auto shader = positionShader();
    shader->bind();
    uint64_t before = RenderState::getDrawCalls();
    scene->draw(nullptr, shader.get());
    EXPECT_EQ(RenderState::getDrawCalls() - before, 3u);

    // Hiding A hides its child B too; C is drawn alone.
    scene->getObjectByName("A")->setVisible(false);
    before = RenderState::getDrawCalls();
    scene->draw(nullptr, shader.get());
    EXPECT_EQ(RenderState::getDrawCalls() - before, 1u);

    // A removed object is not drawn any more.
    ORVObject* c = scene->getObjectByName("C");
    scene->RemoveObject(c);
    before = RenderState::getDrawCalls();
    scene->draw(nullptr, shader.get());
    EXPECT_EQ(RenderState::getDrawCalls() - before, 0u);
    delete c;
}

TEST_F(ObjectReaderGL, WithoutAShaderEachObjectDrawsThroughItsInstance)
{
    auto shader = positionShader();
    CountingInstance instance(shader.get());
    scene->ApplyShaderInstance("A", &instance);
    scene->ApplyShaderInstance("C", &instance);
    scene->update(0);
    // The camera stands 5 back from the meshes (at z = 0), which fill its view.
    ORVCamera camera("c");
    camera.setMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, -5)));
    uint64_t before = RenderState::getDrawCalls();
    scene->draw(&camera, nullptr);
    // B has no instance and draws nothing.
    EXPECT_EQ(RenderState::getDrawCalls() - before, 2u);
    ASSERT_EQ(instance.models.size(), 2u);
    EXPECT_EQ(instance.models[0], glm::translate(glm::mat4(1.0f), glm::vec3(0.5f, 0, 0)));
    EXPECT_EQ(instance.meshes[0], mesh("A"));
    EXPECT_EQ(instance.meshes[1], mesh("C"));
    EXPECT_EQ(RenderState::getCurrentProgram(), shader->getProgram());

    // A mesh wholly behind the camera, or wholly beside its view, is skipped; one that
    // reaches into the view by a corner is drawn.
    ORVObject* a = scene->getObjectByName("A");
    const glm::mat4 placed = a->getWorldMatrix();
    for (const glm::vec3& at : {glm::vec3(0, 0, 10), glm::vec3(40, 0, 0), glm::vec3(3.3f, 0, 0)}) {
        a->setWorldMatrix(glm::translate(glm::mat4(1.0f), at));
        instance.models.clear();
        instance.meshes.clear();
        scene->draw(&camera, nullptr);
        const bool drawn = !instance.models.empty() && instance.meshes[0] == mesh("A");
        EXPECT_EQ(drawn, at.x == 3.3f) << "A at " << at.x << ", " << at.z;
    }
    a->setWorldMatrix(placed);
}
