// glasshall-scenes: writes Glass Hall's five scenes as object files.
//
//   glasshall-scenes OUTPUT-DIRECTORY
//
// Every scene is built here from procedural geometry, deterministically (no randomness,
// no clock), with every object, material, light and camera the production's code looks
// up by name. Units are metres; y is up; the camera looks along -z unless placed.
// content/scenes/README.md describes where everything is.
#include "CommandLine.h"
#include "MeshBuilder.h"
#include "VboWriter.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

const float pi = 3.14159265358979f;
const int spot = 1, directional = 2, point = 3;

// The production's texture files that the scenes' materials name.
const char* const smoothNoise = "SmoothNoise.png";
const char* const streaks = "WarpspeedTexture2.png";

glm::mat4 translate(const glm::vec3& p) { return glm::translate(glm::mat4(1.0f), p); }

// Rotations in the order the engine composes a light's angles: x, then y, then z.
glm::mat4 rotation(const glm::vec3& degrees)
{
    glm::mat4 r(1.0f);
    r = glm::rotate(r, glm::radians(degrees.x), glm::vec3(1, 0, 0));
    r = glm::rotate(r, glm::radians(degrees.y), glm::vec3(0, 1, 0));
    r = glm::rotate(r, glm::radians(degrees.z), glm::vec3(0, 0, 1));
    return r;
}

glm::mat4 place(const glm::vec3& p, const glm::vec3& degrees = glm::vec3(0.0f)) { return translate(p) * rotation(degrees); }

// A directional light's node: the engine shines it along the node's -y axis.
glm::mat4 shining(const glm::vec3& position, const glm::vec3& direction)
{
    const glm::vec3 y = -glm::normalize(direction);
    const glm::vec3 helper = std::fabs(y.z) < 0.9f ? glm::vec3(0, 0, 1) : glm::vec3(1, 0, 0);
    const glm::vec3 x = glm::normalize(glm::cross(y, helper));
    const glm::vec3 z = glm::cross(x, y);
    return glm::mat4(glm::vec4(x, 0), glm::vec4(y, 0), glm::vec4(z, 0), glm::vec4(position, 1));
}

// One object file being put together: ids are handed out in order, materials get the
// indices 0, 1, 2, ... (index 255 belongs to a material the production adds).
class SceneFile {
public:
    explicit SceneFile(const std::string& file) : file(file) {}

    int material(const std::string& name, const glm::vec3& diffuse, const glm::vec3& second, float exponent,
                 const std::string& texture = "")
    {
        VboWriter::Material m;
        m.id = uint32_t(materials.size());
        m.name = name;
        m.diffuseColor = diffuse;
        m.secondColor = second;
        m.exponent = exponent;
        if (!texture.empty())
            m.textureId = textureId(texture);
        writer.addMaterial(m);
        materials[name] = int(m.id);
        return int(m.id);
    }

    uint32_t mesh(const std::string& name, const MeshBuilder& geometry, bool withUVs = true)
    {
        const uint32_t id = nextMesh++;
        writer.addMesh(geometry.mesh(id, name, withUVs));
        triangles[id] = geometry.triangleCount();
        return id;
    }

    void object(const std::string& name, uint32_t meshId, const glm::mat4& matrix, int materialId)
    {
        writer.addMeshNode(nextNode++, int32_t(meshId), -1, name, matrix, materialId);
        drawnTriangles += triangles[meshId];
        ++objectCount;
    }

    // A mesh used by one object only.
    void object(const std::string& name, const MeshBuilder& geometry, const glm::mat4& matrix, int materialId)
    {
        object(name, mesh(name, geometry), matrix, materialId);
    }

    void light(const std::string& name, int kind, const glm::mat4& matrix, float radius, float coneAngle = 0.0f)
    {
        VboWriter::Light l;
        l.id = nextLight++;
        l.kind = kind;
        l.position = glm::vec3(matrix[3]);
        l.radius = radius;
        l.coneAngle = coneAngle;
        writer.addLight(l);
        writer.addLightNode(nextNode++, l.id, name, matrix);
    }

    void camera(const std::string& name, const glm::vec3& eye, const glm::vec3& target)
    {
        writer.addCamera(nextNode++, name, glm::lookAt(eye, target, glm::vec3(0, 1, 0)));
    }

    // Triangles drawn per frame, given that the mesh of extra copies is drawn that often.
    void addCopies(uint32_t meshId, int copies) { drawnTriangles += triangles[meshId] * size_t(copies); }

    bool save(const std::string& directory)
    {
        Status saved = writer.save(directory + "/" + file);
        if (!saved) {
            std::cerr << "glasshall-scenes: " << saved.reason() << std::endl;
            return false;
        }
        // Light ids run from 1.
        std::cout << file << ": " << objectCount << " objects, " << materials.size() << " materials, "
                  << nextLight - 1 << " lights, " << drawnTriangles << " triangles drawn" << std::endl;
        return true;
    }

private:
    uint32_t textureId(const std::string& fileName)
    {
        auto found = textures.find(fileName);
        if (found != textures.end())
            return found->second;
        VboWriter::Texture t;
        t.id = uint32_t(textures.size());
        t.name = fileName;
        t.fileName = fileName;
        writer.addTexture(t);
        textures[fileName] = t.id;
        return t.id;
    }

    std::string file;
    VboWriter writer;
    std::map<std::string, uint32_t> textures;
    std::map<std::string, int> materials;
    std::map<uint32_t, size_t> triangles;
    uint32_t nextMesh = 1;
    int32_t nextNode = 1;
    int32_t nextLight = 1;
    int objectCount = 0;
    size_t drawnTriangles = 0;
};

// The walls (and optionally the ceiling) of a room from lo to hi, facing inside; uvs in
// world units times uvScale.
void room(MeshBuilder& b, const glm::vec3& lo, const glm::vec3& hi, bool ceiling, float uvScale)
{
    const glm::vec3 c000(lo.x, lo.y, lo.z), c100(hi.x, lo.y, lo.z), c110(hi.x, hi.y, lo.z), c010(lo.x, hi.y, lo.z);
    const glm::vec3 c001(lo.x, lo.y, hi.z), c101(hi.x, lo.y, hi.z), c111(hi.x, hi.y, hi.z), c011(lo.x, hi.y, hi.z);
    auto uvX = [&](const glm::vec3& p) { return glm::vec2(p.x, p.y) * uvScale; };
    auto uvZ = [&](const glm::vec3& p) { return glm::vec2(p.z, p.y) * uvScale; };
    auto uvY = [&](const glm::vec3& p) { return glm::vec2(p.x, p.z) * uvScale; };
    b.quad(c000, c100, c110, c010, {0, 0, 1}, uvX(c000), uvX(c100), uvX(c110), uvX(c010));  // north, z = lo
    b.quad(c001, c101, c111, c011, {0, 0, -1}, uvX(c001), uvX(c101), uvX(c111), uvX(c011)); // south, z = hi
    b.quad(c000, c001, c011, c010, {1, 0, 0}, uvZ(c000), uvZ(c001), uvZ(c011), uvZ(c010));  // west, x = lo
    b.quad(c100, c101, c111, c110, {-1, 0, 0}, uvZ(c100), uvZ(c101), uvZ(c111), uvZ(c110)); // east, x = hi
    if (ceiling)
        b.quad(c010, c110, c111, c011, {0, -1, 0}, uvY(c010), uvY(c110), uvY(c111), uvY(c011));
}

// A ring of a round bar (a torus about y) of the given radius and bar radius.
MeshBuilder ring(float radius, float bar, int segments, int sides)
{
    std::vector<MeshBuilder::ProfilePoint> profile;
    for (int k = 0; k <= sides; ++k) {
        // Walked clockwise in the (r, y) plane so that the outside stays on the left.
        const float a = -2.0f * pi * float(k) / float(sides);
        profile.push_back({radius + bar * std::cos(a), bar * std::sin(a)});
    }
    MeshBuilder b;
    b.lathe(profile, segments, glm::vec3(0.0f));
    return b;
}

// ---------------------------------------------------------------------------------------
// Scene 1: the glass hall. A 48 x 48 m hall, 14 m high, glass walls in a grid of
// mullions, columns and roof beams; three disks hover over pedestals on the x axis with
// a ball above each.
bool sceneGlassHall(const std::string& out)
{
    SceneFile s("Scene1.vbo");
    const float half = 24.0f, height = 14.0f;
    const int floorMat = s.material("HallFloor", {0.42f, 0.43f, 0.46f}, {0.7f, 0.7f, 0.75f}, 48.0f);
    const int glassMat = s.material("HallGlass", {0.16f, 0.26f, 0.32f}, {1.0f, 1.0f, 1.0f}, 120.0f);
    const int frameMat = s.material("HallFrames", {0.72f, 0.72f, 0.74f}, {0.9f, 0.9f, 0.9f}, 64.0f);
    const int stoneMat = s.material("HallStone", {0.62f, 0.6f, 0.56f}, {0.3f, 0.3f, 0.3f}, 12.0f);
    const int diskMat = s.material("DiskMat", {0.85f, 0.85f, 0.9f}, {1.0f, 1.0f, 1.0f}, 90.0f, smoothNoise);
    int ballMat[3];
    for (int k = 0; k < 3; ++k)
        ballMat[k] = s.material("Ball" + std::to_string(k + 1) + "Mat", {1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, 100.0f);

    MeshBuilder floor;
    floor.plane(-half, -half, half, half, 0.0f, 8, 0.25f);
    s.object("HallFloor", floor, glm::mat4(1.0f), floorMat);

    MeshBuilder glass;
    room(glass, {-half, 0.0f, -half}, {half, height, half}, true, 0.125f);
    s.object("HallGlass", glass, glm::mat4(1.0f), glassMat);

    // Mullions 0.3 m in front of the glass: uprights every 4 m, transoms every 3.5 m.
    MeshBuilder frames;
    const float inset = half - 0.2f;
    for (int side = 0; side < 4; ++side) {
        const glm::mat4 turn = glm::rotate(glm::mat4(1.0f), glm::radians(90.0f * float(side)), glm::vec3(0, 1, 0));
        MeshBuilder wall;
        for (int i = 1; i < 12; ++i)
            wall.box({-half + 4.0f * float(i), height * 0.5f, -inset}, {0.15f, height * 0.5f, 0.15f}, 0.04f, 0.25f);
        for (int j = 1; j < 4; ++j)
            wall.box({0.0f, 3.5f * float(j), -inset}, {half - 0.3f, 0.12f, 0.18f}, 0.04f, 0.25f);
        wall.box({0.0f, 0.25f, -inset + 0.1f}, {half - 0.3f, 0.25f, 0.3f}, 0.05f, 0.25f); // sill
        frames.append(wall, turn);
    }
    // Roof beams across the hall.
    for (int i = -2; i <= 2; ++i)
        frames.box({8.0f * float(i), height - 0.5f, 0.0f}, {0.3f, 0.5f, half - 0.2f}, 0.06f, 0.25f);
    s.object("HallFrames", frames, glm::mat4(1.0f), frameMat);

    // Columns with base and capital, in two rows along the sides.
    MeshBuilder stone;
    for (float x : {-16.0f, 16.0f})
        for (float z : {-18.0f, -6.0f, 6.0f, 18.0f}) {
            stone.box({x, height * 0.5f, z}, {0.55f, height * 0.5f, 0.55f}, 0.1f, 0.5f);
            stone.box({x, 0.3f, z}, {0.85f, 0.3f, 0.85f}, 0.08f, 0.5f);
            stone.box({x, height - 1.3f, z}, {0.8f, 0.25f, 0.8f}, 0.08f, 0.5f);
        }
    // The three pedestals under the disks.
    const float diskY = 2.8f, ballY = 5.0f, spacing = 6.0f;
    for (int k = 0; k < 3; ++k) {
        const glm::vec3 base(spacing * float(k - 1), 0.0f, 0.0f);
        stone.cylinder(base, 1.1f, 0.2f, 0.05f, 40);
        stone.cylinder(base + glm::vec3(0, 0.2f, 0), 0.45f, 0.55f, 0.06f, 32);
        stone.cylinder(base + glm::vec3(0, 0.75f, 0), 0.7f, 0.15f, 0.05f, 32);
    }
    s.object("HallStone", stone, glm::mat4(1.0f), stoneMat);

    // A disk: chamfered plate with a hub and raised marks on its face, built about its
    // own z axis (the axis the production spins it about) and laid flat by its node.
    MeshBuilder diskY_;
    diskY_.cylinder({0.0f, -0.12f, 0.0f}, 1.5f, 0.24f, 0.07f, 48);
    diskY_.cylinder({0.0f, -0.22f, 0.0f}, 0.42f, 0.44f, 0.08f, 24);
    for (int i = 0; i < 12; ++i) {
        const glm::mat4 m = glm::rotate(glm::mat4(1.0f), 2.0f * pi * float(i) / 12.0f, glm::vec3(0, 1, 0));
        MeshBuilder mark;
        mark.box({1.05f, 0.0f, 0.0f}, {0.28f, 0.17f, 0.05f}, 0.03f, 1.0f);
        diskY_.append(mark, m);
    }
    MeshBuilder disk;
    disk.append(diskY_, glm::rotate(glm::mat4(1.0f), glm::radians(90.0f), glm::vec3(1, 0, 0)));
    const uint32_t diskMesh = s.mesh("Disk", disk);
    MeshBuilder ball;
    ball.uvSphere(glm::vec3(0.0f), 0.6f, 16, 24);
    const uint32_t ballMesh = s.mesh("Ball", ball);
    for (int k = 0; k < 3; ++k) {
        const float x = spacing * float(k - 1);
        s.object("Disk" + std::to_string(k + 1), diskMesh, place({x, diskY, 0.0f}, {-90.0f, 0.0f, 0.0f}), diskMat);
        s.object("Ball" + std::to_string(k + 1), ballMesh, translate({x, ballY, 0.0f}), ballMat[k]);
    }
    // Each ball carries its point light; the spots stand in front and shine along -z over
    // the balls onto the back glass.
    for (int k = 0; k < 3; ++k) {
        const float x = spacing * float(k - 1);
        s.light("Point" + std::to_string(k), point, translate({x, ballY, 0.0f}), 8.0f);
        s.light("Spot" + std::to_string(k), spot, translate({x * 1.6f, 4.5f, 18.0f}), 36.0f, 24.0f);
    }
    return s.save(out);
}

// ---------------------------------------------------------------------------------------
// Scene 2: the ring arena. A round floor of radius 30 m at y = 0 over which the 270
// sphere copies run in rings of radius 5 + 3 i; stepped tiers around it, the four
// coloured spheres on the second step at the diagonals.
bool sceneRingArena(const std::string& out)
{
    SceneFile s("Scene2Alternativ.vbo");
    const int floorMat = s.material("FloorMat", {0.16f, 0.17f, 0.2f}, {0.9f, 0.9f, 0.95f}, 60.0f);
    const int tierMat = s.material("TierMat", {0.5f, 0.5f, 0.54f}, {0.35f, 0.35f, 0.35f}, 16.0f);
    const int sphereMat = s.material("SphereMat", {0.9f, 0.9f, 0.92f}, {1.0f, 1.0f, 1.0f}, 80.0f);
    const char* const colours[4] = {"Yellow", "Pink", "Blue", "Green"};
    const glm::vec3 tint[4] = {{1.0f, 0.82f, 0.18f}, {1.0f, 0.38f, 0.7f}, {0.25f, 0.45f, 1.0f}, {0.3f, 0.95f, 0.4f}};
    int colourMat[4];
    for (int k = 0; k < 4; ++k)
        colourMat[k] = s.material(std::string(colours[k]) + "Mat", tint[k], {1.0f, 1.0f, 1.0f}, 90.0f);

    // The floor: a flat disc (it mirrors the spheres) with a chamfered edge, in rings so
    // that no triangle is long and thin.
    MeshBuilder floor;
    std::vector<MeshBuilder::ProfilePoint> top = {{0.0f, 0.0f}};
    for (int i = 0; i < 8; ++i)
        top.push_back({5.0f + 3.0f * float(i) + 1.5f, 0.0f});
    top.insert(top.end(), {{29.8f, 0.0f}, {30.0f, -0.2f}, {30.0f, -0.6f}});
    // Walked centre to rim along the top, the outside (up) is on the left.
    floor.lathe(top, 64, glm::vec3(0.0f), 8.0f, 0.1f);
    s.object("Floor", floor, glm::mat4(1.0f), floorMat);

    // Tiers: four steps up from the floor's rim, then the outer wall.
    MeshBuilder tiers;
    std::vector<MeshBuilder::ProfilePoint> steps = {{30.0f, -0.6f}};
    float r = 30.0f;
    for (int k = 1; k <= 4; ++k) {
        steps.push_back({r, float(k)});
        r += 2.5f;
        steps.push_back({r, float(k)});
    }
    steps.insert(steps.end(), {{44.0f, 4.0f}, {44.0f, 12.0f}});
    tiers.lathe(steps, 72, glm::vec3(0.0f), 12.0f, 0.1f);
    s.object("Tiers", tiers, glm::mat4(1.0f), tierMat);

    // A low dais inside the innermost ring, with a beacon ring on it.
    MeshBuilder dais;
    dais.cylinder({0.0f, -0.1f, 0.0f}, 3.0f, 0.45f, 0.12f, 48);
    dais.cylinder({0.0f, 0.35f, 0.0f}, 1.6f, 0.25f, 0.08f, 40);
    dais.append(ring(1.1f, 0.12f, 40, 8), translate({0.0f, 1.4f, 0.0f}));
    for (int k = 0; k < 3; ++k) {
        const glm::mat4 turn = glm::rotate(glm::mat4(1.0f), glm::radians(120.0f * float(k)), glm::vec3(0, 1, 0));
        MeshBuilder strut;
        strut.box({1.1f, 1.0f, 0.0f}, {0.06f, 0.42f, 0.06f}, 0.02f, 1.0f);
        dais.append(strut, turn);
    }
    s.object("Dais", dais, glm::mat4(1.0f), tierMat);

    // The sphere the production clones into its rings: low-poly, resting on y = 0.
    MeshBuilder sphere;
    sphere.icosphere({0.0f, 0.8f, 0.0f}, 0.8f, 1);
    const uint32_t sphereMesh = s.mesh("Sphere", sphere);
    s.object("Sphere", sphereMesh, glm::mat4(1.0f), sphereMat);
    s.addCopies(sphereMesh, 270 - 1);

    // The coloured spheres sit on the second step (y = 2) at the diagonals; each has its
    // coloured point light in front of it, towards the arena.
    MeshBuilder big;
    big.uvSphere(glm::vec3(0.0f), 1.6f, 14, 24);
    const uint32_t bigMesh = s.mesh("ColourSphere", big);
    const char* const sphereNames[4] = {"YellowSphere", "PinkSphere", "BlueSphere", "GreenSphere"};
    const char* const lightNames[4] = {"PointYellow", "PointRed", "PointBlue", "PointGreen"};
    for (int k = 0; k < 4; ++k) {
        const float a = glm::radians(45.0f + 90.0f * float(k));
        const glm::vec3 along(std::sin(a), 0.0f, std::cos(a));
        s.object(sphereNames[k], bigMesh, translate(along * 33.75f + glm::vec3(0, 3.6f, 0)), colourMat[k]);
        s.light(lightNames[k], point, translate(along * 28.0f + glm::vec3(0, 4.0f, 0)), 12.0f);
    }
    // Two suns from opposite sides, the four side spots level at 3 m around the arena,
    // each shining across it to the centre in the direction the production turns it to.
    s.light("Sun", directional, shining({0, 30, 0}, {0.35f, -1.0f, -0.45f}), 100.0f);
    s.light("Sun2", directional, shining({0, 30, 0}, {-0.5f, -0.7f, 0.55f}), 100.0f);
    s.light("SideSpot1", spot, place({0, 3, -34}, {0, 180, 0}), 34.0f, 16.0f);
    s.light("SideSpot2", spot, place({0, 3, 34}, {0, 0, 0}), 34.0f, 16.0f);
    s.light("SideSpot3", spot, place({34, 3, 0}, {0, 90, 0}), 34.0f, 16.0f);
    s.light("SideSpot4", spot, place({-34, 3, 0}, {0, -90, 0}), 34.0f, 16.0f);
    return s.save(out);
}

// ---------------------------------------------------------------------------------------
// Scene 4: the room of machines. A 64 x 32 m hall, 12 m high; two rows of 16 blenders
// along z = -10 and z = +10 face the aisle, each throwing two beams; the greeting spots
// hang over the aisle.
bool sceneMachines(const std::string& out)
{
    SceneFile s("Scene4.vbo");
    const float hx = 32.0f, hz = 16.0f, height = 12.0f;
    const int floorMat = s.material("FloorMat", {0.55f, 0.55f, 0.56f}, {0.45f, 0.45f, 0.45f}, 24.0f, smoothNoise);
    const int wallMat = s.material("WallMat", {0.6f, 0.6f, 0.6f}, {0.25f, 0.25f, 0.25f}, 10.0f, smoothNoise);
    const int blenderMat = s.material("BlenderMat", {0.85f, 0.85f, 0.9f}, {1.0f, 1.0f, 1.0f}, 80.0f, streaks);

    MeshBuilder floor;
    floor.plane(-hx, -hz, hx, hz, 0.0f, 8, 0.25f);
    s.object("Floor", floor, glm::mat4(1.0f), floorMat);

    // Walls and roof as one object, with pilasters along the walls and roof beams.
    MeshBuilder walls;
    room(walls, {-hx, 0.0f, -hz}, {hx, height, hz}, true, 0.25f);
    for (int i = -3; i <= 3; ++i) {
        const float x = 8.0f * float(i);
        for (float z : {-hz, hz})
            walls.box({x, height * 0.5f, z}, {0.6f, height * 0.5f, 0.5f}, 0.1f, 0.25f);
        walls.box({x, height - 0.45f, 0.0f}, {0.35f, 0.45f, hz - 0.5f}, 0.08f, 0.25f);
    }
    for (float x : {-hx, hx})
        for (int j = -1; j <= 1; ++j)
            walls.box({x, height * 0.5f, 8.0f * float(j)}, {0.5f, height * 0.5f, 0.6f}, 0.1f, 0.25f);
    // A low plinth along the walls.
    walls.box({0.0f, 0.3f, -hz}, {hx, 0.3f, 0.25f}, 0.05f, 0.25f);
    walls.box({0.0f, 0.3f, hz}, {hx, 0.3f, 0.25f}, 0.05f, 0.25f);
    s.object("WallsnRoof", walls, glm::mat4(1.0f), wallMat);

    // A blender: chamfered base with a control panel, a collar, a tapered jar (its u runs
    // once around, which the production's shader scrolls) and a lid.
    MeshBuilder blender;
    blender.box({0.0f, 0.5f, 0.0f}, {0.7f, 0.5f, 0.6f}, 0.12f, 0.5f);
    blender.box({0.0f, 0.52f, 0.62f}, {0.38f, 0.16f, 0.05f}, 0.03f, 0.5f);
    for (float x : {-0.22f, 0.0f, 0.22f})
        blender.box({x, 0.52f, 0.69f}, {0.06f, 0.06f, 0.04f}, 0.015f, 0.5f);
    blender.cylinder({0.0f, 1.0f, 0.0f}, 0.52f, 0.16f, 0.04f, 20);
    blender.lathe({{0.0f, 3.04f}, {0.58f, 3.04f}, {0.63f, 2.98f}, {0.6f, 2.86f}, {0.44f, 1.24f}, {0.4f, 1.16f},
                   {0.0f, 1.16f}},
                  20, glm::vec3(0.0f), 1.0f, 0.5f);
    blender.cylinder({0.0f, 3.04f, 0.0f}, 0.55f, 0.12f, 0.03f, 20);
    blender.cylinder({0.0f, 3.16f, 0.0f}, 0.12f, 0.12f, 0.03f, 12);
    const uint32_t blenderMesh = s.mesh("Blender", blender);

    for (int n = 1; n <= 32; ++n) {
        const int row = (n - 1) / 16, column = (n - 1) % 16;
        const float x = -27.0f + 3.6f * float(column);
        const float z = row == 0 ? -10.0f : 10.0f;
        // Panels face the aisle.
        const float facing = row == 0 ? 0.0f : 180.0f;
        const std::string name = "SB" + std::to_string(n);
        s.object(name, blenderMesh, place({x, 0.0f, z}, {0.0f, facing, 0.0f}), blenderMat);
        // Spot 0 shines along -z, spot 1 along +z, from the middle of the jar.
        s.light(name + "Spot0", spot, place({x, 1.8f, z}, {0, 0, 0}), 6.5f, 40.0f);
        s.light(name + "Spot1", spot, place({x, 1.8f, z}, {0, 180, 0}), 6.5f, 40.0f);
    }
    for (int i = 0; i < 5; ++i)
        s.light("GlobalPoint" + std::to_string(i + 1), point, translate({-24.0f + 12.0f * float(i), 9.0f, 0.0f}),
                7.0f);
    // Greeting spots under the roof over the aisle, shining straight down.
    for (int k = 0; k < 6; ++k)
        s.light("SpotGreet" + std::to_string(k + 1), spot, place({-20.0f + 8.0f * float(k), 11.0f, 0.0f}, {-90, 0, 0}),
                12.5f, 45.0f);
    return s.save(out);
}

// ---------------------------------------------------------------------------------------
// Scene 5: the room of volume meters. A 24 x 24 m room, 12 m high, whose floor and roof
// are four quarters each and whose walls are an upper and a lower half each; every piece
// has uvs 0..1 of its own. The glass cylinder stands in the middle.
bool sceneVolumeMeters(const std::string& out)
{
    SceneFile s("Scene5+.vbo");
    const float h = 12.0f, height = 12.0f, middle = 6.0f;
    const int roomMat = s.material("Material", {0.08f, 0.1f, 0.16f}, {0.6f, 0.6f, 0.7f}, 40.0f);
    const int glassMat = s.material("Glass", {0.75f, 0.85f, 0.95f}, {1.0f, 1.0f, 1.0f}, 128.0f);
    const int trimMat = s.material("TrimMat", {0.5f, 0.52f, 0.56f}, {0.8f, 0.8f, 0.8f}, 60.0f);

    // A floor or roof quarter: x from 0 to sx * h, z from 0 to sz * h; u grows with |x|
    // and v with |z| from the room's centre outwards.
    auto quarter = [&](const std::string& name, float sx, float sz, bool roof) {
        MeshBuilder b;
        const float y = roof ? height : 0.0f;
        const glm::vec3 n(0.0f, roof ? -1.0f : 1.0f, 0.0f);
        const int cells = 4;
        for (int i = 0; i < cells; ++i)
            for (int j = 0; j < cells; ++j) {
                const float u0 = float(i) / cells, u1 = float(i + 1) / cells;
                const float v0 = float(j) / cells, v1 = float(j + 1) / cells;
                auto p = [&](float u, float v) { return glm::vec3(sx * h * u, y, sz * h * v); };
                b.quad(p(u0, v0), p(u1, v0), p(u1, v1), p(u0, v1), n, {u0, v0}, {u1, v0}, {u1, v1}, {u0, v1});
            }
        s.object(name, b, glm::mat4(1.0f), roomMat);
    };
    // Seen from above with north (-z) at the top: T is the north half, B the south, L
    // the west, R the east.
    quarter("BLFloor", -1, 1, false);
    quarter("BRFloor", 1, 1, false);
    quarter("TLFloor", -1, -1, false);
    quarter("TRFloor", 1, -1, false);
    quarter("BLRoof", -1, 1, true);
    quarter("BRRoof", 1, 1, true);
    quarter("TLRoof", -1, -1, true);
    quarter("TRRoof", 1, -1, true);

    // A wall half: u runs left to right as seen from inside, v from the floor (bottom
    // halves) or from the roof (top halves) towards the middle height.
    auto wall = [&](const std::string& name, const glm::vec3& left, const glm::vec3& right, bool top) {
        const glm::vec3 n = glm::normalize(glm::cross(right - left, glm::vec3(0, 1, 0)));
        MeshBuilder b;
        const int cells = 4;
        for (int i = 0; i < cells; ++i)
            for (int j = 0; j < cells; ++j) {
                const float u0 = float(i) / cells, u1 = float(i + 1) / cells;
                const float v0 = float(j) / cells, v1 = float(j + 1) / cells;
                auto p = [&](float u, float v) {
                    const float y = top ? height - v * (height - middle) : v * middle;
                    return glm::mix(left, right, u) + glm::vec3(0, y, 0);
                };
                b.quad(p(u0, v0), p(u1, v0), p(u1, v1), p(u0, v1), n, {u0, v0}, {u1, v0}, {u1, v1}, {u0, v1});
            }
        s.object(name, b, glm::mat4(1.0f), roomMat);
    };
    const glm::vec3 nw(-h, 0, -h), ne(h, 0, -h), se(h, 0, h), sw(-h, 0, h);
    wall("WWallTop", sw, nw, true);
    wall("WWallBottom", sw, nw, false);
    wall("SWallTop", se, sw, true);
    wall("SWallBottom", se, sw, false);
    wall("EWallTop", ne, se, true);
    wall("EWallBottom", ne, se, false);
    wall("NWallTop", nw, ne, true);
    wall("NWallBottom", nw, ne, false);

    // Trims over the seams between the pieces and along the room's edges.
    MeshBuilder trims;
    for (float y : {0.0f, height}) {
        trims.box({0.0f, y, 0.0f}, {h, 0.08f, 0.15f}, 0.03f, 0.5f);
        trims.box({0.0f, y, 0.0f}, {0.15f, 0.08f, h}, 0.03f, 0.5f);
        for (float z : {-h, h})
            trims.box({0.0f, y, z}, {h, 0.25f, 0.25f}, 0.05f, 0.5f);
        for (float x : {-h, h})
            trims.box({x, y, 0.0f}, {0.25f, 0.25f, h}, 0.05f, 0.5f);
    }
    for (float z : {-h, h})
        trims.box({0.0f, middle, z}, {h, 0.12f, 0.12f}, 0.03f, 0.5f);
    for (float x : {-h, h})
        trims.box({x, middle, 0.0f}, {0.12f, 0.12f, h}, 0.03f, 0.5f);
    for (float x : {-h, h})
        for (float z : {-h, h})
            trims.box({x, middle, z}, {0.3f, middle, 0.3f}, 0.06f, 0.5f);
    // The cylinder's base ring.
    trims.cylinder({0.0f, 0.0f, 0.0f}, 3.1f, 0.35f, 0.08f, 48);
    s.object("Trims", trims, glm::mat4(1.0f), trimMat);

    // The glass cylinder: 2.5 m radius, 9 m high on its base, in bands that a vertex
    // shader can bulge.
    MeshBuilder cylinder;
    cylinder.cylinder({0.0f, 0.0f, 0.0f}, 2.5f, 9.0f, 0.25f, 48, 18);
    s.object("CylinderReal", cylinder, translate({0.0f, 0.35f, 0.0f}), glassMat);

    s.light("TLFLight", point, translate({-6.0f, 1.5f, -6.0f}), 7.0f);
    for (int k = 0; k < 3; ++k) {
        const float a = glm::radians(120.0f * float(k));
        s.light("DynPoint" + std::to_string(k + 1), point,
                translate({6.0f * std::sin(a), 4.0f, 6.0f * std::cos(a)}), 6.0f);
    }
    return s.save(out);
}

// ---------------------------------------------------------------------------------------
// Scene 6: the lamp room. A 30 x 30 m room, 10 m high; the lamp hangs in a cage of
// brass rings at the centre, three light balls stand on the tiled floor, eight wall
// lights ring the room.
bool sceneLampRoom(const std::string& out)
{
    SceneFile s("Scene6.vbo");
    const float h = 15.0f, height = 10.0f;
    const glm::vec3 lamp(0.0f, 4.0f, 0.0f);
    const int floorMat = s.material("FloorMat", {0.8f, 0.78f, 0.74f}, {1.0f, 1.0f, 1.0f}, 10.0f, smoothNoise);
    const int wallMat = s.material("WallMat", {0.62f, 0.58f, 0.54f}, {0.2f, 0.2f, 0.2f}, 8.0f);
    const int brassMat = s.material("Brass", {0.85f, 0.65f, 0.32f}, {1.0f, 0.9f, 0.6f}, 70.0f);
    const int whiteMat = s.material("LightBallWhiteMat", {1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, 100.0f);
    const int redMat = s.material("LightBallRedMat", {1.0f, 0.2f, 0.15f}, {1.0f, 1.0f, 1.0f}, 100.0f);
    const int blueMat = s.material("LightBallMat", {0.35f, 0.6f, 1.0f}, {1.0f, 1.0f, 1.0f}, 100.0f);

    MeshBuilder floor;
    floor.plane(-h, -h, h, h, 0.0f, 6, 0.5f);
    s.object("Floor", floor, glm::mat4(1.0f), floorMat);

    MeshBuilder walls;
    room(walls, {-h, 0.0f, -h}, {h, height, h}, true, 0.25f);
    // Skirting, a dado rail and pilasters between the wall lights.
    for (int side = 0; side < 4; ++side) {
        const glm::mat4 turn = glm::rotate(glm::mat4(1.0f), glm::radians(90.0f * float(side)), glm::vec3(0, 1, 0));
        MeshBuilder w;
        w.box({0.0f, 0.2f, -h}, {h, 0.2f, 0.12f}, 0.04f, 0.25f);
        w.box({0.0f, 3.0f, -h}, {h, 0.08f, 0.1f}, 0.03f, 0.25f);
        for (float x : {-h, 0.0f})
            w.box({x, height * 0.5f, -h}, {0.45f, height * 0.5f, 0.3f}, 0.08f, 0.25f);
        walls.append(w, turn);
    }
    s.object("Walls", walls, glm::mat4(1.0f), wallMat);

    // The lamp's cage: four rings through the poles and three around, a cap and the
    // cord to the ceiling. Seen from the lamp its bars cover part of every direction.
    MeshBuilder cage;
    const MeshBuilder meridian = ring(1.1f, 0.045f, 40, 6);
    for (int k = 0; k < 4; ++k)
        cage.append(meridian, glm::rotate(glm::mat4(1.0f), glm::radians(45.0f * float(k)), glm::vec3(0, 1, 0)) *
                                  glm::rotate(glm::mat4(1.0f), glm::radians(90.0f), glm::vec3(1, 0, 0)));
    for (float y : {-0.55f, 0.0f, 0.55f}) {
        const float r = std::sqrt(1.1f * 1.1f - y * y);
        cage.append(ring(r, 0.045f, 40, 6), translate({0.0f, y, 0.0f}));
    }
    cage.cylinder({0.0f, 1.05f, 0.0f}, 0.28f, 0.2f, 0.05f, 24);
    cage.cylinder({0.0f, 1.25f, 0.0f}, 0.03f, height - lamp.y - 1.25f, 0.0f, 8);
    cage.cylinder({0.0f, height - lamp.y - 0.1f, 0.0f}, 0.35f, 0.1f, 0.03f, 24);
    s.object("LampCage", cage, translate(lamp), brassMat);

    // The light balls, 0.9 m radius, resting on the floor.
    MeshBuilder ball;
    ball.uvSphere(glm::vec3(0.0f), 0.9f, 16, 24);
    const uint32_t ballMesh = s.mesh("LightBall", ball);
    s.object("LightBallWhite", ballMesh, translate({-5.0f, 0.9f, 3.0f}), whiteMat);
    s.object("LightBallRed", ballMesh, translate({5.0f, 0.9f, 3.0f}), redMat);
    s.object("LightBall", ballMesh, translate({0.0f, 0.9f, -5.0f}), blueMat);

    s.light("Lamp", point, translate(lamp), 30.0f);
    // Wall lights, two per wall, 1 m from the wall at 7 m.
    for (int k = 0; k < 8; ++k) {
        const int side = k / 2;
        const float along = (k % 2 == 0) ? -7.5f : 7.5f;
        const glm::vec3 local(along, 7.0f, -h + 1.0f);
        const glm::mat4 turn = glm::rotate(glm::mat4(1.0f), glm::radians(90.0f * float(side)), glm::vec3(0, 1, 0));
        s.light("GlobalPoint" + std::to_string(k + 1), point, translate(glm::vec3(turn * glm::vec4(local, 1.0f))),
                4.5f);
    }
    s.camera("Camera", {0.0f, 3.5f, 13.0f}, {0.0f, 2.5f, 0.0f});
    return s.save(out);
}

const char* const usage = "usage: glasshall-scenes OUTPUT-DIRECTORY\n"
                          "\n"
                          "Writes Scene1.vbo, Scene2Alternativ.vbo, Scene4.vbo, Scene5+.vbo and Scene6.vbo,\n"
                          "Glass Hall's scenes, into OUTPUT-DIRECTORY (which must exist).\n";

} // namespace

int main(int argc, char** argv)
{
    CLI::App app("", "glasshall-scenes");
    std::string out;
    app.add_option("OUTPUT-DIRECTORY", out)->required();
    const int status = parseCommandLine(app, argc, argv, usage);
    if (status >= 0)
        return status;
    const bool ok = sceneGlassHall(out) && sceneRingArena(out) && sceneMachines(out) && sceneVolumeMeters(out) &&
                    sceneLampRoom(out);
    return ok ? 0 : 1;
}
