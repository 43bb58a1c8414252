// The scene model without GL: the tree and its preconditions, world matrices, cloning,
// light matrices, cameras and the scene pool.
#include "DataObjectPool.h"
#include "DeathTest.h"
#include "LogCapture.h"
#include "ORVAnimation.h"
#include "ORVCamera.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace {

glm::mat4 at(float x, float y, float z)
{
    return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z));
}

ORVObject* object(const std::string& name, ORVObject* parent = nullptr, const glm::mat4& m = glm::mat4(1.0f))
{
    ORVObject* obj = new ORVObject(name);
    obj->setMatrix(m);
    if (parent) {
        obj->setParent(parent);
        parent->addChild(obj);
    }
    return obj;
}

void expectNear(const glm::vec3& actual, const glm::vec3& expected)
{
    EXPECT_LT(glm::distance(actual, expected), 1e-4f)
        << "(" << actual.x << ", " << actual.y << ", " << actual.z << ") != (" << expected.x << ", " << expected.y
        << ", " << expected.z << ")";
}

glm::vec3 apply(const glm::mat4& m, const glm::vec3& p)
{
    return glm::vec3(m * glm::vec4(p, 1.0f));
}

} // namespace

TEST(ORVSceneTree, RootsParentsAndRemoval)
{
    ORVScene scene;
    ORVObject* root = object("root");
    ORVObject* child = object("child", root);
    ORVObject* other = object("other");
    scene.AddObject(root);
    scene.AddObject(child);
    scene.AddObject(other);
    EXPECT_EQ(scene.getObjectCount(), 3u);
    EXPECT_EQ(scene.getObject(1), child);
    // An object that already has a parent is listed and named but is no root.
    EXPECT_EQ(scene.getRoots(), (std::vector<ORVObject*>{root, other}));

    // Removal hands the object back whole: nothing the scene walks still points at it.
    scene.RemoveObject(child);
    EXPECT_FALSE(scene.objectExists("child"));
    EXPECT_EQ(scene.getObjectCount(), 2u);
    EXPECT_TRUE(root->getChildren().empty());
    delete child;
    scene.RemoveObject(other);
    EXPECT_EQ(scene.getRoots(), (std::vector<ORVObject*>{root}));
    delete other;
    scene.update(0);

    // Hiding a subtree hides every descendant.
    ORVObject* a = object("a", root);
    ORVObject* b = object("b", a);
    scene.AddObject(a);
    scene.AddObject(b);
    root->setVisible(false);
    EXPECT_FALSE(b->isVisible());
    a->setVisible(true);
    EXPECT_TRUE(b->isVisible());
    EXPECT_FALSE(root->isVisible());

    int data = 5;
    scene.setObjectData("b", &data);
    EXPECT_EQ(b->getUserData(), &data);
}

TEST(ORVSceneTree, WorldMatricesComeFromTheSceneMatrixAndTheirOwn)
{
    ORVScene scene;
    ORVObject* parent = object("parent", nullptr, at(5, 0, 0));
    ORVObject* child = object("child", parent, at(1, 0, 0));
    ORVObject* grandchild = object("grandchild", child, at(0, 2, 0));
    scene.AddObject(parent);
    scene.AddObject(child);
    scene.AddObject(grandchild);
    scene.update(0);
    EXPECT_EQ(child->getWorldPosition(), glm::vec3(1, 0, 0));
    EXPECT_EQ(grandchild->getWorldPosition(), glm::vec3(0, 2, 0));

    // The scene matrix reaches every level, and a moved world matrix is recomputed.
    scene.setSceneMatrix(at(0, 0, -10));
    grandchild->setWorldPosition(9, 9, 9);
    scene.update(0);
    EXPECT_EQ(parent->getWorldPosition(), glm::vec3(5, 0, -10));
    EXPECT_EQ(grandchild->getWorldPosition(), glm::vec3(0, 2, -10));
    EXPECT_EQ(grandchild->getLocalMatrix(), at(0, 2, 0));
    grandchild->resetWorld();
    EXPECT_EQ(grandchild->getWorldPosition(), glm::vec3(0, 2, 0));
}

TEST(ORVSceneTree, BoundingBoxAndMeshGroupsWithoutMeshes)
{
    ORVScene scene;
    scene.setup();
    EXPECT_EQ(scene.getBoundingBoxMin(), glm::vec3(0.0f));
    EXPECT_TRUE(scene.getMeshGroups().empty());
    ORVObject* a = object("a", nullptr, at(10, 10, 10));
    ORVObject* b = object("b");
    scene.AddObject(a);
    scene.AddObject(b);
    scene.setup();
    EXPECT_EQ(scene.getBoundingBoxMin(), glm::vec3(0.0f));
    EXPECT_EQ(scene.getBoundingBoxMax(), glm::vec3(0.0f));
    EXPECT_EQ(scene.getMeshGroups().at(nullptr), (std::vector<ORVObject*>{a, b}));
}

TEST(ORVSceneClone, CopiesTheWholeSubtreeUnderNewNames)
{
    ORVScene scene;
    ORVMaterial* material = new ORVMaterial();
    scene.addMaterial("m", material);
    ORVObject* holder = object("holder");
    ORVObject* source = object("source", holder, at(3, 0, 0));
    source->setMaterial(material);
    ORVObject* left = object("left", source);
    ORVObject* right = object("right", source);
    ORVObject* leaf = object("leaf", left);
    int data = 1;
    leaf->setUserData(&data);
    for (ORVObject* obj : {holder, source, left, right, leaf})
        scene.AddObject(obj);

    ORVObject* copy = scene.cloneObject(source, "copy", nullptr);
    ASSERT_EQ(scene.getObjectCount(), 9u);
    ORVObject* c0 = scene.getObjectByName("copy_c0");
    ORVObject* c1 = scene.getObjectByName("copy_c1");
    ORVObject* c00 = scene.getObjectByName("copy_c0_c0");
    // The copy has children of its own, the original keeps its own.
    EXPECT_EQ(copy->getChildren(), (std::vector<ORVObject*>{c0, c1}));
    EXPECT_EQ(c0->getChildren(), (std::vector<ORVObject*>{c00}));
    EXPECT_EQ(c00->getParent(), c0);
    EXPECT_EQ(source->getChildren(), (std::vector<ORVObject*>{left, right}));
    EXPECT_EQ(left->getParent(), source);
    // Without a parent given the copy sits beside the original, listed by that parent.
    EXPECT_EQ(copy->getParent(), holder);
    EXPECT_EQ(holder->getChildren(), (std::vector<ORVObject*>{source, copy}));
    EXPECT_EQ(scene.getRoots(), (std::vector<ORVObject*>{holder}));
    // Shared: material and user data; fresh: matrices.
    EXPECT_EQ(copy->getMaterial(), material);
    EXPECT_EQ(c00->getUserData(), &data);
    EXPECT_EQ(copy->getLocalMatrix(), glm::mat4(1.0f));

    // With a parent given, the copy goes there; cloning a root with none gives a root.
    ORVObject* under = scene.cloneObject(right, "under", c1);
    EXPECT_EQ(under->getParent(), c1);
    EXPECT_EQ(c1->getChildren(), (std::vector<ORVObject*>{under}));
    ORVObject* top = scene.cloneObject(holder, "top", nullptr);
    EXPECT_EQ(top->getParent(), nullptr);
    EXPECT_EQ(scene.getRoots().back(), top);
    EXPECT_TRUE(scene.objectExists("top_c1_c0_c0"));

    // Hiding the copy leaves the original visible.
    copy->setVisible(false);
    EXPECT_TRUE(left->isVisible());
    EXPECT_FALSE(c00->isVisible());
}

TEST(ORVSceneLinks, AnimationsGoToTheObjectOrElseTheCamera)
{
    ORVScene scene;
    ORVObject* obj = object("walker");
    scene.AddObject(obj);
    ORVCamera* camera = new ORVCamera("cam");
    scene.AddCamera("cam", camera);
    ORVAnimation* walk = new ORVAnimation("walker");
    ORVAnimation* pan = new ORVAnimation("cam");
    scene.AddAnimation("walker", walk);
    scene.AddAnimation("cam", pan);
    scene.AddAnimation("loose", new ORVAnimation("loose"));
    EXPECT_EQ(obj->getAnimation(), walk);
    EXPECT_EQ(camera->getAnimation(), pan);
    EXPECT_EQ(scene.GetAnimation("cam"), pan);
    EXPECT_EQ(scene.GetCamera("cam"), camera);
    // Clones share the animation.
    EXPECT_EQ(scene.cloneObject(obj, "twin", nullptr)->getAnimation(), walk);
}

TEST(ORVSceneDeathTest, PreconditionsStopWithTheirTexts)
{
    ORVScene scene;
    scene.AddObject(object("a"));
    scene.addMaterial("m", new ORVMaterial());
    scene.addLight("l", new ORVLight());
    scene.AddCamera("c", new ORVCamera("c"));
    EXPECT_DEATH(
        STDOUT_TO_STDERR(scene.AddObject(nullptr)),
        "demo/demosys/ORVScene:[0-9]+: void ORVScene::AddObject\\(ORVObject\\*\\): Assertion `obj != __null' failed");
    ORVObject twin("a");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.AddObject(&twin)), "Assertion `!objectExists\\(obj->getName\\(\\)\\)' failed");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.RemoveObject(nullptr)),
                 "void ORVScene::RemoveObject\\(ORVObject\\*\\): Assertion `obj != __null'");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.getObject(1)),
                 "ORVObject\\* ORVScene::getObject\\(unsigned int\\): Assertion `i >= 0 && i < objectList.size\\(\\)'");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.getObjectByName("b")),
                 "ORVObject\\* ORVScene::getObjectByName\\(std::string\\)");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.ApplyShaderInstance("b", nullptr)),
                 "void ORVScene::ApplyShaderInstance\\(std::string, ShaderInstance\\*\\): Assertion `obj != __null'");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.addMaterial("m", nullptr)),
                 "void ORVScene::addMaterial\\(std::string, ORVMaterial\\*\\): Assertion `!materialExists\\(name\\)'");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.getMaterialByName("x")), "ORVMaterial\\* ORVScene::getMaterialByName");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.addLight("l", nullptr)),
                 "void ORVScene::addLight\\(std::string, ORVLight\\*\\): Assertion `!lightExists\\(name\\)'");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.getLightByName("x")), "ORVLight\\* ORVScene::getLightByName");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.AddCamera("c", nullptr)),
                 "void ORVScene::AddCamera\\(std::string, ORVCamera\\*\\)");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.GetCamera("x")), "ORVCamera\\* ORVScene::GetCamera\\(std::string\\)");
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.GetAnimation("x")), "ORVAnimation\\* ORVScene::GetAnimation\\(std::string\\)");
    // A clone under a taken name is a duplicate add.
    EXPECT_DEATH(STDOUT_TO_STDERR(scene.cloneObject(scene.getObject(0), "a", nullptr)), "!objectExists");
}

TEST(ORVLightMatrix, SpotConeSizedAndTurnedByItsAngles)
{
    ORVLight light;
    light.setKind(ORVLight::Spot);
    light.setRadius(4);
    light.setConeAngle(90);
    light.setAngles(0, 90, 0);
    // A node matrix with a rotation: the rotation goes, the position stays.
    light.setTransform(at(1, 2, 3) * glm::rotate(glm::mat4(1.0f), 1.0f, glm::vec3(0, 0, 1)));
    const glm::mat4 view = at(0, 0, -10);
    light.updateMatrix(view);
    EXPECT_EQ(light.getTransform(), at(1, 2, 3));
    const glm::mat4& m = light.getLightMatrix();
    // Apex at the light; the base centre a radius away along the turned -Z (about y by
    // 90 degrees, -Z becomes -X); the rim at radius x tan(45) from the axis.
    expectNear(apply(m, {0, 0, 0}), glm::vec3(1, 2, -7));
    expectNear(apply(m, {0, 0, -1}), glm::vec3(-3, 2, -7));
    expectNear(apply(m, {0.5f, 0, -1}), glm::vec3(-3, 2, -11));
    expectNear(apply(m, {0, 0.5f, -1}), glm::vec3(-3, 6, -7));
}

TEST(ORVLightMatrix, PointVolumeAtItsPlacementAndOtherKindsKeepTheirTransform)
{
    ORVLight point;
    point.setKind(ORVLight::Point);
    point.setRadius(2);
    point.setPlacement({1, 2, 3});
    point.setPosition(7, 7, 7);
    point.updateMatrix(at(0, 0, -10));
    expectNear(apply(point.getLightMatrix(), {1, 1, 1}), glm::vec3(3, 4, -5));
    expectNear(apply(point.getLightMatrix(), {-1, 0, 0}), glm::vec3(-1, 2, -7));

    ORVLight sun;
    sun.setKind(ORVLight::Directional);
    const glm::mat4 tilted = glm::rotate(glm::mat4(1.0f), 0.5f, glm::vec3(1, 0, 0));
    sun.setTransform(tilted);
    sun.updateMatrix(at(0, 1, 0));
    EXPECT_EQ(sun.getTransform(), tilted);
    EXPECT_EQ(sun.getLightMatrix(), at(0, 1, 0) * tilted);

    ORVScene scene;
    ORVLight* owned = new ORVLight();
    owned->setKind(ORVLight::Point);
    owned->setPlacement({0, 0, 1});
    scene.addLight("p", owned);
    ORVCamera camera("c");
    camera.setMatrix(at(0, 0, -3));
    scene.updateLights(&camera);
    expectNear(apply(owned->getLightMatrix(), {0, 0, 0}), glm::vec3(0, 0, -2));
}

TEST(ORVLightMatrix, AnglesOfUndoesRotation)
{
    for (glm::vec3 angles : {glm::vec3(10, 20, 30), glm::vec3(-90, 0, 0), glm::vec3(45, -60, 170), glm::vec3(0, 90, 0),
                             glm::vec3(30, -90, 0)}) {
        const glm::mat4 r = ORVLight::rotation(angles);
        // Scaled nodes give the same orientation.
        const glm::mat4 back =
            ORVLight::rotation(ORVLight::anglesOf(at(4, 5, 6) * r * glm::scale(glm::mat4(1.0f), glm::vec3(2, 3, 4))));
        for (int c = 0; c < 3; ++c)
            expectNear(glm::vec3(back[c]), glm::vec3(r[c]));
    }
}

TEST(ORVCameraPlacement, LookAtAndRoll)
{
    ORVCamera camera("c");
    ORVCamera::lookAt(&camera, {0, 0, 0}, {0, 0, 5}, {0, 2, 0});
    expectNear(apply(camera.getViewMatrix(), {0, 0, 0}), glm::vec3(0, 0, -5));
    expectNear(apply(camera.getViewMatrix(), {1, 0, 0}), glm::vec3(1, 0, -5));
    ORVCamera::lookAt(&camera, {10, 0, 0}, {0, 0, 0}, {0, 1, 0});
    expectNear(apply(camera.getViewMatrix(), {10, 0, 0}), glm::vec3(0, 0, -10));
    expectNear(apply(camera.getViewMatrix(), {0, 0, 1}), glm::vec3(1, 0, 0));

    ORVCamera::lookAtRoll(&camera, {0, 0, 0}, {0, 0, 5}, 90);
    // The view is multiplied by the roll on the right: the world turns before viewing.
    expectNear(apply(camera.getViewMatrix(), {1, 0, 0}), glm::vec3(0, 1, -5));

    float values[16];
    camera.getMatrix(values);
    ORVCamera copy("d");
    copy.setMatrix(values);
    EXPECT_EQ(copy.getViewMatrix(), camera.getViewMatrix());
}

TEST(DataObjectPool, CountsAddsAndIndexesByName)
{
    captureLog();
    {
        DataObjectPool pool;
        ORVScene* first = new ORVScene();
        ORVScene* second = new ORVScene();
        pool.add("b", first);
        pool.add("a", second);
        EXPECT_EQ(pool.size(), 2);
        EXPECT_EQ(pool.at(0), second);
        EXPECT_EQ(pool.at(1), first);
        EXPECT_EQ(pool.get("zzz"), nullptr);
        EXPECT_EQ(pool.toString(), "DataObjectPool {\n}\n");
    }
    EXPECT_EQ(capturedLog(), "[Dispose objectPool]\n");
}

TEST(DataObjectPoolDeathTest, IndexBeyondTheEntries)
{
    DataObjectPool* pool = new DataObjectPool();
    ORVScene* scene = new ORVScene();
    pool->add("s", scene);
    pool->add("s", scene);
    // The count says 2, but only one scene is there to hand out.
    EXPECT_EQ(pool->size(), 2);
    EXPECT_DEATH(STDOUT_TO_STDERR(pool->at(1)), "Assertion `i >= 0 && i < entryCount\\(\\)' failed");
    EXPECT_DEATH(STDOUT_TO_STDERR(pool->at(-1)), "Assertion");
    captureLog();
    delete pool;
    capturedLog();
}
