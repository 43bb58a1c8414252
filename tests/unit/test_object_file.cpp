// The object file reader on files written by the tools' writer: the layout it reads,
// every refusal of a damaged file, and the scene it builds without a GL context.
#include "ORVCamera.h"
#include "ORVIO.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ObjectFile.h"
#include "ObjectReader.h"
#include "ResourceFile.h"
#include "VboWriter.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <sstream>

namespace {

const char* const testPath = "resources/objects/test.vbo";

glm::mat4 at(float x, float y, float z)
{
    return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z));
}

// A quad whose four corners share one normal (separate index per array), a
// positions-only triangle, one texture, two materials, a spot and a point light, and a
// small tree with a camera.
VboWriter standardScene()
{
    VboWriter w;
    VboWriter::Mesh quad;
    quad.id = 10;
    quad.name = "Quad";
    quad.positions = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    quad.normals = {{0, 0, 1}};
    quad.texcoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (uint32_t corner : {0u, 1u, 2u, 0u, 2u, 3u})
        quad.indices.insert(quad.indices.end(), {corner, 0u, corner});
    w.addMesh(quad);
    w.addMesh(VboWriter::cornerMesh(11, "Tri", {{0, 0, 0}, {2, 0, 0}, {0, 3, 0}}, {}, {}, {0, 1, 2}));

    w.addTexture({0, "wood", "wood.png"});
    VboWriter::Material wood;
    wood.id = 3;
    wood.name = "Wood";
    wood.diffuseColor = {0.5f, 0.25f, 0.125f};
    wood.secondColor = {0.1f, 0.2f, 0.3f};
    wood.exponent = 40;
    wood.textureId = 0;
    w.addMaterial(wood);
    VboWriter::Material plain;
    plain.id = 4;
    plain.name = "Plain";
    w.addMaterial(plain);

    VboWriter::Light spot;
    spot.id = 7;
    spot.kind = ORVLight::Spot;
    spot.radius = 5;
    spot.coneAngle = 40;
    spot.spotParameter = 2;
    w.addLight(spot);
    VboWriter::Light point;
    point.id = 8;
    point.kind = ORVLight::Point;
    point.radius = 3;
    w.addLight(point);

    w.addGroup(1, -1, "Root", at(5, 0, 0));
    w.addMeshNode(2, 10, 1, "Panel", at(1, 2, 3), 3);
    w.addMeshNode(3, 11, 1, "Shard", at(0, 0, -4), 99);
    w.addCamera(4, "Cam", glm::inverse(at(0, 1, 10)));
    // Aimed straight down: a quarter turn about x.
    w.addLightNode(5, 7, "Spot", at(0, 6, 0) * glm::rotate(glm::mat4(1.0f), glm::radians(-90.0f), glm::vec3(1, 0, 0)));
    w.addLightNode(6, 8, "Bulb", at(2, 2, 2));
    return w;
}

struct Parsed {
    Status ok;
    ObjectFile file;
    std::string log;
};

std::unique_ptr<Parsed> parse(const std::vector<uint8_t>& bytes, bool trace = false)
{
    std::unique_ptr<Parsed> p(new Parsed);
    ResourceFile resource(testPath, bytes);
    std::ostringstream log;
    p->file.setTrace(trace);
    p->file.setLog(log);
    p->ok = p->file.parse(resource, testPath);
    p->log = log.str();
    return p;
}

// The scene the reader builds without GL (objects carry no meshes); why it failed in
// why when given.
std::unique_ptr<ORVScene> buildScene(const std::vector<uint8_t>& bytes, ObjectReader& reader,
                                     std::string* why = nullptr)
{
    ResourceFile resource(testPath, bytes);
    std::ostringstream log;
    reader.setLog(log);
    reader.setTrace(false);
    reader.setCreateMeshes(false);
    std::unique_ptr<ORVScene> scene;
    Status read = reader.read(resource, scene);
    if (why)
        *why = read.reason();
    return scene;
}

void putU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + k] = static_cast<uint8_t>(value >> (8 * k));
}

// Byte offset of the first mesh's head fields: version, mesh count, id, then "Quad\0".
const size_t firstMeshCounts = 4 + 4 + 4 + 5;

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ObjectFileLayout, MeshesAreDeindexedIntoInterleavedVertices)
{
    auto p = parse(standardScene().bytes());
    ASSERT_TRUE(p->ok) << p->ok.reason();
    ASSERT_EQ(p->file.getMeshes().size(), 2u);

    const ObjectFile::Mesh& quad = p->file.getMeshes()[0];
    EXPECT_EQ(quad.vertexCount, 6u);
    EXPECT_EQ(quad.floatsPerVertex(), 8);
    ASSERT_EQ(quad.vertices.size(), 48u);
    // Third output vertex: corner 2, the shared normal, uv of corner 2.
    const std::vector<float> third(quad.vertices.begin() + 16, quad.vertices.begin() + 24);
    EXPECT_EQ(third, (std::vector<float>{1, 1, 0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(quad.attributeNames(),
              (std::vector<std::string>{"in_Position", "in_Normal", "in_UV0", "in_Tangent", "in_Bitangent"}));
    EXPECT_EQ(quad.boxMin, glm::vec3(-1, -1, 0));
    EXPECT_EQ(quad.boxMax, glm::vec3(1, 1, 0));

    const ObjectFile::Mesh& tri = p->file.getMeshes()[1];
    EXPECT_EQ(tri.vertexCount, 3u);
    EXPECT_EQ(tri.floatsPerVertex(), 3);
    EXPECT_EQ(tri.vertices, (std::vector<float>{0, 0, 0, 2, 0, 0, 0, 3, 0}));
    EXPECT_EQ(tri.attributeNames(), (std::vector<std::string>{"in_Position"}));
}

TEST(ObjectFileLayout, StrideAndSlotsFollowThePresentArrays)
{
    VboWriter w;
    // Positions and uvs without normals: stride 2, uvs take slot 1, tangents follow.
    w.addMesh(VboWriter::cornerMesh(1, "NoNormals", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {}, {{0, 0}, {1, 0}, {0, 1}},
                                    {0, 1, 2}));
    // Index count 7 with stride 3: two vertices, and the seventh index (out of range
    // for every array) is never read.
    VboWriter::Mesh seven = VboWriter::cornerMesh(2, "Seven", {{0, 0, 0}, {1, 0, 0}}, {{0, 0, 1}}, {{0, 0}}, {});
    seven.indices = {0, 0, 0, 1, 0, 0, 999};
    w.addMesh(seven);
    // Slots in the order uv, position: the vertex is still laid out position first.
    VboWriter::Mesh swapped = VboWriter::cornerMesh(3, "Swapped", {{7, 8, 9}}, {}, {{0.5f, 0.25f}}, {});
    swapped.texcoordSlot = 0;
    swapped.positionSlot = 1;
    swapped.indices = {0, 0};
    w.addMesh(swapped);
    // A gap: positions in slot 0, no normals, uvs in slot 2; a tuple is still two indices.
    VboWriter::Mesh gap = VboWriter::cornerMesh(4, "Gap", {{1, 2, 3}, {4, 5, 6}}, {}, {{0.5f, 0.75f}}, {});
    gap.normalSlot = 1;
    gap.texcoordSlot = 2;
    gap.indices = {1, 0, 0, 0};
    w.addMesh(gap);
    auto p = parse(w.bytes());
    ASSERT_TRUE(p->ok) << p->ok.reason();

    const ObjectFile::Mesh& noNormals = p->file.getMeshes()[0];
    EXPECT_EQ(noNormals.indexStride(), 2u);
    EXPECT_EQ(noNormals.texcoordSlot, 1u);
    EXPECT_EQ(noNormals.floatsPerVertex(), 5);
    EXPECT_EQ(noNormals.attributeNames(),
              (std::vector<std::string>{"in_Position", "in_UV0", "in_Tangent", "in_Bitangent"}));

    EXPECT_EQ(p->file.getMeshes()[1].vertexCount, 2u);
    EXPECT_EQ(p->file.getMeshes()[1].vertices.size(), 16u);

    EXPECT_EQ(p->file.getMeshes()[2].vertices, (std::vector<float>{7, 8, 9, 0.5f, 0.25f}));
    EXPECT_EQ(p->file.getMeshes()[3].vertices, (std::vector<float>{4, 5, 6, 0.5f, 0.75f, 1, 2, 3, 0.5f, 0.75f}));
}

TEST(ObjectFileLayout, TraceShowsTheFileAsItIsRead)
{
    auto p = parse(standardScene().bytes(), true);
    ASSERT_TRUE(p->ok) << p->ok.reason();
    for (const char* line : {"File version : 1\n",
                             "Number of meshes : 2\n",
                             "Mesh id : '10'\n",
                             "Mesh name : 'Quad'\n",
                             "Vertex    : count = 4, offset = 0\n",
                             "Normal    : count = 1, offset = 1\n",
                             "Texcoord0 : count = 4, offset = 2\n",
                             "IndexList : count = 18\n",
                             "Index stride : 3\n",
                             "Polygon indices : 6\n",
                             "--- Vertices ---\n",
                             "--- Normals ---\n",
                             "--- UVs ---\n",
                             "--- Polydata ---\n",
                             "Number of textures 1\n",
                             "Texture 0 : wood : wood.png\n",
                             "Number of materials 2\n",
                             "Number of lights 2\n",
                             "--- Scene Tree ---\nNumber of nodes 6\n",
                             "-> Node id : 2\n-> Node type : 1\n",
                             "-> Node type ref : 10\n-> Node parent : 1\n-> Node name : Panel\n-> Matrix : 1 0 0 0",
                             "-> Node type : 3\nLight\n"})
        EXPECT_TRUE(contains(p->log, line)) << "missing: " << line << "\nin:\n" << p->log;

    // Without the trace nothing is printed for a sound file.
    EXPECT_EQ(parse(standardScene().bytes(), false)->log, "");
}

TEST(ObjectFileLayout, NodeRecords)
{
    VboWriter w = standardScene();
    // An unknown type is only its head; the group after it still reads.
    VboWriter::Node odd;
    odd.id = 20;
    odd.type = 5;
    w.addNode(odd);
    w.addGroup(21, -1, "", glm::mat4(1.0f));
    // A second node with id 3 replaces the first in the object tree.
    w.addGroup(3, 1, "Replacement", glm::mat4(1.0f));
    auto p = parse(w.bytes());
    ASSERT_TRUE(p->ok) << p->ok.reason();
    ASSERT_EQ(p->file.getNodes().size(), 9u);
    EXPECT_EQ(p->file.getNodes()[6].type, 5);
    EXPECT_EQ(p->file.getNodes()[7].name, "Object");

    std::vector<std::string> names;
    for (const ObjectFile::Node* n : p->file.objectNodes())
        names.push_back(n->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Root", "Panel", "Replacement", "Object"}));
    ASSERT_EQ(p->file.lightNodes().size(), 2u);
    ASSERT_EQ(p->file.cameraNodes().size(), 1u);
    EXPECT_EQ(p->file.cameraNodes()[0]->matrix, glm::inverse(at(0, 1, 10)));
}

TEST(ObjectFileWarnings, MissingMeshAndMissingLightRecord)
{
    VboWriter w = standardScene();
    w.addMeshNode(30, 9, -1, "Ghost", glm::mat4(1.0f), 3);
    w.addLightNode(31, 42, "Nowhere", glm::mat4(1.0f));
    auto p = parse(w.bytes());
    ASSERT_TRUE(p->ok) << p->ok.reason();
    ASSERT_EQ(p->file.getWarnings().size(), 2u);
    EXPECT_EQ(p->file.getWarnings()[0], "ERROR : Cannot find mesh 9");
    EXPECT_TRUE(contains(p->file.getWarnings()[1], "names light 42")) << p->file.getWarnings()[1];
    EXPECT_TRUE(contains(p->log, "ERROR : Cannot find mesh 9\n"));
    // The mesh node still becomes an object; the light node does not become a light.
    EXPECT_EQ(p->file.objectNodes().back()->name, "Ghost");
    EXPECT_EQ(p->file.lightNodes().size(), 2u);

    ObjectReader reader(testPath);
    std::unique_ptr<ORVScene> scene = buildScene(w.bytes(), reader);
    ASSERT_TRUE(scene);
    EXPECT_TRUE(scene->objectExists("Ghost"));
    EXPECT_EQ(scene->getObjectByName("Ghost")->getMesh(), nullptr);
    EXPECT_FALSE(scene->lightExists("Nowhere"));
}

TEST(ObjectFileFailures, VersionAndMissingFile)
{
    VboWriter w = standardScene();
    w.setVersion(2);
    auto p = parse(w.bytes());
    EXPECT_FALSE(p->ok);
    EXPECT_EQ(p->ok.reason(), std::string("Invalid object version in file '") + testPath +
                                      "', File version states version 2. Expected version 1.");

    ORVIO::init(ORVIO::ModeFiles);
    ObjectReader reader("resources/objects/nowhere.vbo");
    std::unique_ptr<ORVScene> scene;
    Status read = reader.read(scene);
    EXPECT_FALSE(read);
    EXPECT_EQ(scene, nullptr);
    EXPECT_FALSE(reader.isLoaded());
    EXPECT_EQ(read.reason(), "Object 'resources/objects/nowhere.vbo' not found");
}

TEST(ObjectFileFailures, CountsBeyondTheData)
{
    const std::vector<uint8_t> good = standardScene().bytes();
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        const char* message;
    } cases[] = {
        {"mesh count", 4, 0xFFFFFFFFu, "the mesh count 4294967295 is more than the"},
        {"positions", firstMeshCounts, 100000u, "mesh 1 of 2 ('Quad') needs 1200116 bytes for its arrays"},
        {"indices", firstMeshCounts + 24, 0x40000000u, "mesh 1 of 2 ('Quad') needs"},
        {"normals", firstMeshCounts + 8, 0x80000000u, "mesh 1 of 2 ('Quad') needs"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        putU32(bytes, c.offset, c.value);
        auto p = parse(bytes);
        EXPECT_FALSE(p->ok) << c.what;
        EXPECT_TRUE(contains(p->ok.reason(), std::string("Object '") + testPath + "' is corrupt: " + c.message))
            << c.what << ": " << p->ok.reason();
    }

    // A negative node count means no nodes; a huge one is refused.
    VboWriter empty;
    std::vector<uint8_t> bytes = empty.bytes();
    putU32(bytes, bytes.size() - 4, 0xFFFFFFF0u);
    auto none = parse(bytes);
    EXPECT_TRUE(none->ok) << none->ok.reason();
    EXPECT_TRUE(none->file.getNodes().empty());
    putU32(bytes, bytes.size() - 4, 0x7FFFFFFFu);
    EXPECT_TRUE(contains(parse(bytes)->ok.reason(), "the node count 2147483647 is more than the 0 bytes left"));
}

TEST(ObjectFileFailures, IndicesAndSlotsMustFitTheArrays)
{
    struct Case {
        const char* what;
        VboWriter::Mesh mesh;
        const char* message;
    };
    std::vector<Case> cases;
    {
        VboWriter::Mesh m = VboWriter::cornerMesh(1, "Far", {{0, 0, 0}, {1, 0, 0}}, {{0, 0, 1}}, {}, {0, 1});
        m.indices[3] = 2; // normal index of the second vertex; there is one normal
        cases.push_back(
            {"normal index", m, "mesh 1 of 1 ('Far') has index 2 at place 3 of its index list, beyond its 1 normals"});
    }
    {
        VboWriter::Mesh m = VboWriter::cornerMesh(1, "Far", {{0, 0, 0}}, {}, {}, {0, 0, 1});
        cases.push_back({"position index", m, "has index 1 at place 2 of its index list, beyond its 1 positions"});
    }
    {
        VboWriter::Mesh m = VboWriter::cornerMesh(1, "Same", {{0, 0, 0}}, {{0, 0, 1}}, {}, {0});
        m.normalSlot = 0;
        cases.push_back({"shared slot", m,
                         "mesh 1 of 1 ('Same') gives its arrays the index slots 0, 0, 0; each present array needs a "
                         "slot of its own, from 0 to 2"});
    }
    {
        VboWriter::Mesh m = VboWriter::cornerMesh(1, "High", {{0, 0, 0}}, {}, {{0, 0}}, {0, 0});
        m.texcoordSlot = 3;
        cases.push_back({"slot beyond the tuple", m, "index slots 0, 0, 3"});
    }
    {
        VboWriter::Mesh m = VboWriter::cornerMesh(1, "Flat", {}, {{0, 0, 1}}, {}, {0});
        cases.push_back(
            {"no positions", m, "mesh 1 of 1 ('Flat') has normals or texture coordinates but no positions"});
    }
    for (const Case& c : cases) {
        VboWriter w;
        w.addMesh(c.mesh);
        auto p = parse(w.bytes());
        EXPECT_FALSE(p->ok) << c.what;
        EXPECT_TRUE(contains(p->ok.reason(), testPath)) << c.what;
        EXPECT_TRUE(contains(p->ok.reason(), c.message)) << c.what << ": " << p->ok.reason();
    }

    // A mesh without any array is empty, not an error (and its indices are skipped).
    VboWriter w;
    VboWriter::Mesh empty;
    empty.indices = {5, 6};
    w.addMesh(empty);
    w.addTexture({1, "t", "t.png"});
    auto p = parse(w.bytes());
    ASSERT_TRUE(p->ok) << p->ok.reason();
    EXPECT_EQ(p->file.getMeshes()[0].vertexCount, 0u);
    EXPECT_EQ(p->file.getTextures().size(), 1u);
}

TEST(ObjectFileFailures, NamesTheSceneKeepsUniqueAndParentCycles)
{
    struct Case {
        const char* what;
        void (*edit)(VboWriter&);
        const char* message;
    } cases[] = {
        {"objects", [](VboWriter& w) { w.addGroup(40, -1, "Panel", glm::mat4(1.0f)); },
         "two objects are named 'Panel'"},
        {"materials",
         [](VboWriter& w) {
             VboWriter::Material m;
             m.id = 9;
             m.name = "Wood";
             w.addMaterial(m);
         },
         "two materials are named 'Wood'"},
        {"cameras", [](VboWriter& w) { w.addCamera(41, "Cam", glm::mat4(1.0f)); }, "two cameras are named 'Cam'"},
        {"lights", [](VboWriter& w) { w.addLightNode(42, 8, "Spot", glm::mat4(1.0f)); }, "two lights are named 'Spot'"},
        {"own parent", [](VboWriter& w) { w.addGroup(43, 43, "Loop", glm::mat4(1.0f)); },
         "node 43 ('Loop') is its own ancestor"},
        {"two-node cycle",
         [](VboWriter& w) {
             w.addGroup(44, 45, "A", glm::mat4(1.0f));
             w.addGroup(45, 44, "B", glm::mat4(1.0f));
         },
         "is its own ancestor"},
    };
    for (const Case& c : cases) {
        VboWriter w = standardScene();
        c.edit(w);
        auto p = parse(w.bytes());
        EXPECT_FALSE(p->ok) << c.what;
        EXPECT_TRUE(contains(p->ok.reason(), c.message)) << c.what << ": " << p->ok.reason();
    }
    // A name reused across kinds is fine, and so is an object replaced under its id.
    VboWriter w = standardScene();
    w.addCamera(46, "Panel", glm::mat4(1.0f));
    w.addGroup(2, 1, "Panel", glm::mat4(1.0f));
    EXPECT_TRUE(parse(w.bytes())->ok);
}

TEST(ObjectFileFailures, EveryTruncationFailsCleanly)
{
    const std::vector<uint8_t> good = standardScene().bytes();
    for (size_t length = 0; length < good.size(); ++length) {
        auto p = parse(std::vector<uint8_t>(good.begin(), good.begin() + length));
        ASSERT_FALSE(p->ok) << "a file cut to " << length << " of " << good.size() << " bytes was accepted";
        EXPECT_TRUE(contains(p->ok.reason(), std::string("Object '") + testPath + "'"))
            << length << ": " << p->ok.reason();
    }
    // Trailing bytes are ignored.
    std::vector<uint8_t> longer = good;
    longer.insert(longer.end(), {1, 2, 3});
    EXPECT_TRUE(parse(longer)->ok);
}

TEST(ObjectFileFailures, RandomByteFlipsNeverBreakTheReader)
{
    const std::vector<uint8_t> good = standardScene().bytes();
    std::mt19937 random(1234);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = good;
        const int flips = 1 + int(random() % 6);
        for (int k = 0; k < flips; ++k) {
            const size_t at = random() % bytes.size();
            // Small values often land on counts, ids and slots, which matters most.
            bytes[at] = (random() % 2) ? uint8_t(random()) : uint8_t(random() % 8);
        }
        if (random() % 4 == 0)
            bytes.resize(random() % bytes.size());
        ObjectReader reader(testPath);
        std::string why;
        std::unique_ptr<ORVScene> scene = buildScene(bytes, reader, &why);
        if (!scene) {
            EXPECT_TRUE(contains(why, testPath)) << why;
            continue;
        }
        ++accepted;
        // Whatever was accepted forms a tree that the scene's walks finish on.
        scene->update(0);
        ORVCamera camera("probe");
        scene->updateLights(&camera);
        for (ORVObject* obj : scene->getObjectList())
            obj->setVisible(true);
    }
    // The flips must not all land where they make no difference, nor all be refused.
    EXPECT_GT(accepted, 100);
    EXPECT_LT(accepted, 3000);
}

TEST(ObjectReaderScene, TreeMaterialsCamerasAndLights)
{
    ObjectReader reader(testPath);
    std::vector<std::string> asked;
    reader.setTextureResolver([&](const std::string& file) {
        asked.push_back(file);
        return "tex_" + file;
    });
    std::string why;
    std::unique_ptr<ORVScene> scene = buildScene(standardScene().bytes(), reader, &why);
    ASSERT_TRUE(scene) << why;
    EXPECT_TRUE(reader.isLoaded());
    EXPECT_EQ(asked, (std::vector<std::string>{"wood.png"}));

    ASSERT_EQ(scene->getObjectCount(), 3u);
    ORVObject* root = scene->getObjectByName("Root");
    ORVObject* panel = scene->getObjectByName("Panel");
    ORVObject* shard = scene->getObjectByName("Shard");
    EXPECT_EQ(scene->getRoots(), (std::vector<ORVObject*>{root}));
    EXPECT_EQ(root->getChildren(), (std::vector<ORVObject*>{panel, shard}));
    EXPECT_EQ(panel->getParent(), root);
    EXPECT_EQ(panel->getId(), 2);
    EXPECT_EQ(panel->getParentId(), 1);
    // Material 99 names nothing: the object has none.
    EXPECT_EQ(panel->getMaterial(), scene->getMaterialByName("Wood"));
    EXPECT_EQ(shard->getMaterial(), nullptr);

    const ORVMaterial* wood = scene->getMaterialByName("Wood");
    EXPECT_EQ(wood->getIndex(), 3);
    EXPECT_EQ(wood->getDiffuseColor(), glm::vec3(0.5f, 0.25f, 0.125f));
    EXPECT_EQ(wood->getSecondColor(), glm::vec3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(wood->getExponent(), 40.0f);
    EXPECT_EQ(wood->getTextureName(), "tex_wood.png");
    EXPECT_EQ(scene->getMaterialByName("Plain")->getTextureName(), "");

    // File matrices are complete placements: the parent's does not move the child.
    scene->update(0);
    EXPECT_EQ(panel->getWorldPosition(), glm::vec3(1, 2, 3));
    EXPECT_EQ(root->getWorldPosition(), glm::vec3(5, 0, 0));

    float view[16];
    scene->GetCamera("Cam")->getMatrix(view);
    EXPECT_EQ(glm::vec3(glm::inverse(scene->GetCamera("Cam")->getViewMatrix())[3]), glm::vec3(0, 1, 10));
    EXPECT_FLOAT_EQ(view[14], -10.0f);

    ASSERT_EQ(scene->getLights().size(), 2u);
    const ORVLight* spot = scene->getLightByName("Spot");
    EXPECT_EQ(spot->getKind(), ORVLight::Spot);
    EXPECT_EQ(spot->getRadius(), 5.0f);
    EXPECT_EQ(spot->getConeAngle(), 40.0f);
    EXPECT_EQ(spot->getSpotParameter(), 2.0f);
    EXPECT_EQ(spot->getPlacement(), glm::vec3(0, 6, 0));
    EXPECT_EQ(spot->getPosition(), glm::vec3(0, 6, 0));
    // The node's orientation survives as the angles the light matrix is built from.
    EXPECT_NEAR(spot->getAngles().x, -90.0f, 1e-3f);
    const glm::vec3 down = glm::vec3(ORVLight::rotation(spot->getAngles()) * glm::vec4(0, 0, -1, 0));
    EXPECT_NEAR(glm::distance(down, glm::vec3(0, -1, 0)), 0.0f, 1e-5f);
    EXPECT_EQ(scene->getLightByName("Bulb")->getKind(), ORVLight::Point);
    EXPECT_EQ(scene->getLightByName("Bulb")->getPlacement(), glm::vec3(2, 2, 2));

    // Without meshes the box is the origin; every object is in the null mesh's group.
    EXPECT_EQ(scene->getBoundingBoxMin(), glm::vec3(0.0f));
    EXPECT_EQ(scene->getBoundingBoxMax(), glm::vec3(0.0f));
    ASSERT_EQ(scene->getMeshGroups().size(), 1u);
    EXPECT_EQ(scene->getMeshGroups().at(nullptr), (std::vector<ORVObject*>{root, panel, shard}));
}

TEST(ObjectReaderScene, LightNodesSharingARecordGetLightsOfTheirOwn)
{
    VboWriter w = standardScene();
    w.addLightNode(50, 8, "Bulb2", at(-2, 0, 0));
    ObjectReader reader(testPath);
    std::string why;
    std::unique_ptr<ORVScene> scene = buildScene(w.bytes(), reader, &why);
    ASSERT_TRUE(scene) << why;
    ORVLight* a = scene->getLightByName("Bulb");
    ORVLight* b = scene->getLightByName("Bulb2");
    EXPECT_NE(a, b);
    EXPECT_EQ(a->getName(), "Bulb");
    EXPECT_EQ(b->getName(), "Bulb2");
    EXPECT_EQ(b->getPlacement(), glm::vec3(-2, 0, 0));
    EXPECT_EQ(a->getRadius(), b->getRadius());
}

TEST(ObjectReaderScene, DefaultTextureAliasIsTheFileName)
{
    ObjectReader reader(testPath);
    std::unique_ptr<ORVScene> scene = buildScene(standardScene().bytes(), reader);
    ASSERT_TRUE(scene);
    EXPECT_EQ(scene->getMaterialByName("Wood")->getTextureName(), "wood.png");
}
