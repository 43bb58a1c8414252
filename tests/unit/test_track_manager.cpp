#include "Effect.h"
#include "LogCapture.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackStartStop.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

FBO* fakeFbo(int i)
{
    static char storage[4];
    return reinterpret_cast<FBO*>(&storage[i]);
}

// Little-endian track bytes, written independently of the engine's writers.
struct Bytes {
    std::vector<uint8_t> data;

    Bytes& i32(int32_t v)
    {
        uint32_t u = static_cast<uint32_t>(v);
        for (int k = 0; k < 4; ++k)
            data.push_back(static_cast<uint8_t>(u >> (8 * k)));
        return *this;
    }
    Bytes& f32(float f)
    {
        int32_t i;
        std::memcpy(&i, &f, 4);
        return i32(i);
    }
    Bytes& str(const std::string& s)
    {
        data.insert(data.end(), s.begin(), s.end());
        data.push_back(0);
        return *this;
    }
};

struct StartKey {
    int32_t row;
    int32_t type;
    std::string target;
};
struct CurveKey {
    int32_t row;
    int32_t type;
    float value;
};

Bytes startStopBody(int32_t priority, const std::vector<StartKey>& keys)
{
    Bytes b;
    b.i32(priority).i32(static_cast<int32_t>(keys.size()));
    for (const auto& k : keys) {
        b.i32(k.row).i32(k.type);
        if (k.type == 1)
            b.str(k.target);
    }
    return b;
}

Bytes curveBody(const std::vector<CurveKey>& keys)
{
    Bytes b;
    b.i32(static_cast<int32_t>(keys.size()));
    for (const auto& k : keys)
        b.i32(k.row).i32(k.type).f32(k.value);
    return b;
}

// Track bodies by file name, in the order they go into the packed pair.
struct TrackSet {
    std::vector<std::pair<std::string, Bytes>> bodies;

    void add(const std::string& name, const Bytes& body) { bodies.emplace_back(name, body); }

    void pack(Bytes& index, Bytes& data) const
    {
        index.i32(static_cast<int32_t>(bodies.size()));
        for (const auto& body : bodies) {
            index.str(body.first).i32(static_cast<int32_t>(data.data.size()));
            data.data.insert(data.data.end(), body.second.data.begin(), body.second.data.end());
        }
    }
};

std::vector<uint8_t> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Records every timeline call into a shared log.
class RecordingEffect : public Effect {
public:
    RecordingEffect(const std::string& name, std::vector<std::string>* log, const std::vector<std::string>& curves = {})
        : name(name), log(log)
    {
        for (const auto& curve : curves)
            addTrack(curve, nullptr);
    }

    void update(uint32_t timeMs) override { log->push_back("update " + name + " " + std::to_string(timeMs)); }
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override
    {
        std::string where = !target ? "screen" : target == fakeFbo(0) ? "fbo0" : target == fakeFbo(1) ? "fbo1" : "?";
        log->push_back("draw " + name + " " + std::to_string(timeMs) + " " + std::to_string(deltaMs) + " " + where);
    }
    void postDraw(uint32_t timeMs) override { log->push_back("post " + name + " " + std::to_string(timeMs)); }
    bool coversTarget() const override { return covers; }

    bool covers = false;

private:
    std::string name;
    std::vector<std::string>* log;
};

// Knows "staging0" and "gbuffer", like an FBO pool holding those two.
bool twoTargets(const std::string& name, FBO** fbo)
{
    if (name == "staging0")
        *fbo = fakeFbo(0);
    else if (name == "gbuffer")
        *fbo = fakeFbo(1);
    else
        return false;
    return true;
}

bool sameStartStop(const TrackStartStop& a, const TrackStartStop& b)
{
    std::vector<StartStopKey> ka, kb;
    a.getKeys(ka);
    b.getKeys(kb);
    if (ka.size() != kb.size() || a.getPriority() != b.getPriority())
        return false;
    for (size_t i = 0; i < ka.size(); ++i)
        if (ka[i].row != kb[i].row || ka[i].type != kb[i].type || ka[i].target != kb[i].target ||
            ka[i].targetFbo != kb[i].targetFbo)
            return false;
    return true;
}

std::vector<InterpolateKey> keysOf(const TrackInterpolate& t)
{
    std::vector<InterpolateKey> keys;
    t.getKeys(keys);
    return keys;
}

bool sameCurve(const std::vector<InterpolateKey>& a, const std::vector<InterpolateKey>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].row != b[i].row || a[i].type != b[i].type || a[i].value != b[i].value)
            return false;
    return true;
}

class TrackFiles : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::path(testing::TempDir()) / "demosys-tracks-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        ORVIO::setVerbose(false);
    }
    void TearDown() override
    {
        ORVIO::setVerbose(false);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // With the trailing "/" that the loading stage passes.
    std::string slashed(const fs::path& p) const { return p.string() + "/"; }

    void writePacked(const TrackSet& set, const fs::path& where)
    {
        Bytes index, data;
        set.pack(index, data);
        writeBytes(where / "index.list", index.data);
        writeBytes(where / "track.data", data.data);
    }

    void writeLoose(const TrackSet& set, const fs::path& where)
    {
        for (const auto& body : set.bodies)
            writeBytes(where / body.first, body.second.data);
    }

    // Effects "a" (curves fade, zoom), "b" and "c": a has priority 5 and a target that
    // is an FBO, b priority -1, c no files at all. The index also lists a file no effect
    // reads and an earlier b.track that the later one overrides; b's body comes last.
    TrackSet sampleSet() const
    {
        TrackSet set;
        set.add("unused.track", startStopBody(0, {}));
        set.add("b.track", startStopBody(99, {}));
        set.add("a.track", startStopBody(5, {{100, 1, "staging0"}, {200, 0, ""}, {300, 1, "nosuchfbo"}, {400, 0, ""}}));
        set.add("a.fade.track", curveBody({{20, 0, 0.0f}, {40, 3, 1.0f}, {60, 0, 0.5f}}));
        set.add("b.track", startStopBody(-1, {{150, 1, ""}, {250, 0, ""}}));
        return set;
    }

    std::unique_ptr<TrackManager> loadSample(bool packed, std::string* output = nullptr)
    {
        TrackSet set = sampleSet();
        if (packed)
            writePacked(set, dir);
        else
            writeLoose(set, dir);
        captureLog();
        auto manager = packed ? TrackManager::load(slashed(dir), names, effects, twoTargets)
                              : TrackManager::loadFromFiles(dir.string(), names, effects, twoTargets);
        std::string out = capturedLog();
        if (output)
            *output = out;
        return manager;
    }

    void checkSample(const TrackManager& m)
    {
        EXPECT_TRUE(succeeds(m.loadStatus()));
        ASSERT_EQ(m.getEntryCount(), 3);
        EXPECT_EQ(m.getEntry(0)->name, "a");
        EXPECT_EQ(m.getEntry(2)->name, "c");
        EXPECT_EQ(m.getEntry(3), nullptr);
        EXPECT_EQ(m.getEntry(-1), nullptr);
        EXPECT_EQ(m.getTrackFileCount(), 5);

        // Priorities -1 (b), -1 (c, no file) and 5 (a): b and c draw first, then a.
        ASSERT_EQ(m.getDrawOrder().size(), 3u);
        EXPECT_EQ(m.getDrawOrder()[0]->name, "b");
        EXPECT_EQ(m.getDrawOrder()[1]->name, "c");
        EXPECT_EQ(m.getDrawOrder()[2]->name, "a");
        EXPECT_EQ(m.findEntry("b")->startStop->getPriority(), 0);
        EXPECT_EQ(m.findEntry("c")->startStop->getPriority(), 1);
        EXPECT_EQ(m.findEntry("a")->startStop->getPriority(), 2);
        EXPECT_EQ(m.findEntry("nope"), nullptr);

        const TrackStartStop& a = *m.findEntry("a")->startStop;
        ASSERT_EQ(a.getKeyCount(), 4u);
        EXPECT_EQ(a.getKey(100)->target, "staging0");
        EXPECT_EQ(a.getKey(100)->targetFbo, fakeFbo(0));
        // A name that is no FBO is the screen.
        EXPECT_EQ(a.getKey(300)->target, "screen");
        EXPECT_EQ(a.getKey(300)->targetFbo, nullptr);
        EXPECT_EQ(a.getTarget(150), fakeFbo(0));
        EXPECT_EQ(m.findEntry("b")->startStop->getKey(150)->target, "screen");
        EXPECT_EQ(m.findEntry("c")->startStop->getKeyCount(), 0u);

        const EffectTracks& entry = *m.findEntry("a");
        ASSERT_EQ(entry.tracks.size(), 2u);
        EXPECT_EQ(entry.tracks[0], curveA);
        EXPECT_EQ(entry.tracksByName.at("zoom"), zoomA);
        EXPECT_FLOAT_EQ(curveA->getValue(1500, 20), 0.5f);
        EXPECT_EQ(curveA->getValue(2500, 20), 1.0f); // hold
        EXPECT_EQ(curveA->getValue(5000, 20), 0.5f);
        EXPECT_EQ(zoomA->getKeyCount(), 0u); // no file: stays empty
    }

    fs::path dir;
    std::vector<std::string> log;
    RecordingEffect a{"a", &log, {"fade", "zoom"}};
    RecordingEffect b{"b", &log};
    RecordingEffect c{"c", &log};
    TrackInterpolate* curveA = a.getTrack(0);
    TrackInterpolate* zoomA = a.getTrack(1);
    std::vector<std::string> names{"a", "b", "c"};
    std::vector<Effect*> effects{&a, &b, &c};
};

} // namespace

TEST_F(TrackFiles, LoadsThePackedPairWrittenByHand)
{
    std::string out;
    auto m = loadSample(true, &out);
    checkSample(*m);
    EXPECT_EQ(out, "Loading 'a.track' (5)\n"
                   "Loading 'a.fade'\n"
                   "Loading 'b.track' (-1)\n");
    captureLog();
    EXPECT_TRUE(m->validate());
    EXPECT_TRUE(m->checkInstances());
    EXPECT_EQ(capturedLog(), "Validating StartStop track data.\n");
}

TEST_F(TrackFiles, LoadsOneFilePerTrackWrittenByHand)
{
    auto m = loadSample(false);
    checkSample(*m);
}

TEST_F(TrackFiles, VerboseLoadTracesKeysAndDummies)
{
    ORVIO::setVerbose(true);
    std::string out;
    auto m = loadSample(true, &out);
    EXPECT_NE(out.find("Raw string = 'staging0'\nkeyframe 100 : 1, staging0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Raw string = 'nosuchfbo'\nkeyframe 300 : 1, screen\n"), std::string::npos);
    EXPECT_NE(out.find("keyframe 200 : 0, screen\n"), std::string::npos);
    EXPECT_NE(out.find("keyframe 40 : 3, 1\n"), std::string::npos);
    EXPECT_NE(out.find("-> 'a.zoom.track' do not exit. Keeping dummy.\n"), std::string::npos);
    EXPECT_NE(out.find("Track 'c' do not exit. Creating dummy.\n"), std::string::npos);
}

TEST_F(TrackFiles, EmptyTargetIsTheScreenEvenForToolsThatAcceptEveryName)
{
    TrackSet set;
    set.add("a.track", startStopBody(0, {{10, 1, ""}, {20, 0, ""}, {30, 1, "custom"}, {40, 0, ""}}));
    writePacked(set, dir);
    captureLog();
    auto m = TrackManager::load(slashed(dir), {"a"}, {nullptr}, TrackManager::acceptAllTargets());
    capturedLog();
    const TrackStartStop& t = *m->findEntry("a")->startStop;
    EXPECT_EQ(t.getKey(10)->target, "screen");
    EXPECT_EQ(t.getKey(30)->target, "custom");
    EXPECT_EQ(t.getKey(30)->targetFbo, nullptr);

    // Without a resolver no name is a target.
    captureLog();
    auto player = TrackManager::load(slashed(dir), {"a"}, {nullptr});
    capturedLog();
    EXPECT_EQ(player->findEntry("a")->startStop->getKey(30)->target, "screen");
}

TEST_F(TrackFiles, MissingIndexMeansNoTrackData)
{
    captureLog();
    auto m = TrackManager::load(slashed(dir), names, effects, twoTargets);
    EXPECT_EQ(capturedLog(),
              "Track index '" + slashed(dir) + "index.list' is missing: no effect has track data\n");
    EXPECT_TRUE(m->loadStatus());
    EXPECT_EQ(m->getEntryCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(m->getEntry(i)->startStop->getKeyCount(), 0u);
    captureLog();
    EXPECT_TRUE(m->validate());
    capturedLog();
}

TEST_F(TrackFiles, IndexWithoutTrackDataFailsTheLoad)
{
    Bytes index, data;
    sampleSet().pack(index, data);
    writeBytes(dir / "index.list", index.data);
    captureLog();
    auto m = TrackManager::load(slashed(dir), names, effects);
    capturedLog();
    EXPECT_EQ(m->loadStatus().reason(),
              "Track data '" + slashed(dir) + "track.data' is missing but '" + slashed(dir) + "index.list' lists 5 files");
}

TEST_F(TrackFiles, SelectionSortTiesAndRenumbering)
{
    // In name order a(2), b(2), c(1), d(-1): d swaps with a, c with b, and so the tie
    // between a and b ends as b before a.
    TrackManager m;
    m.addEntry("a", nullptr, std::make_unique<TrackStartStop>(2));
    m.addEntry("b", nullptr, std::make_unique<TrackStartStop>(2));
    m.addEntry("c", nullptr, std::make_unique<TrackStartStop>(1));
    EXPECT_EQ(m.addEntry("a", nullptr, nullptr), nullptr);
    EXPECT_EQ(m.addEntry("d", nullptr, nullptr)->startStop->getPriority(), -1);
    m.arrangeDrawOrder();
    captureLog();
    m.printPriorities();
    EXPECT_EQ(capturedLog(), "Priority 0 = d\nPriority 1 = c\nPriority 2 = b\nPriority 3 = a\n");

    EXPECT_TRUE(m.swapPriorities(0, 3));
    EXPECT_FALSE(m.swapPriorities(0, 4));
    EXPECT_FALSE(m.swapPriorities(-1, 0));
    captureLog();
    m.printPriorities();
    EXPECT_EQ(capturedLog(), "Priority 0 = a\nPriority 1 = c\nPriority 2 = b\nPriority 3 = d\n");
}

TEST_F(TrackFiles, DrawFrameCallsEachPassOverActiveEffectsInPriorityOrder)
{
    auto m = loadSample(true);
    // a (priority 2) is active on rows 100..200 into staging0 and 300..400 on the screen;
    // b (priority 0) on 150..250; c never.
    m->drawFrame(5000, 99, 16);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(m->getActiveEntries().empty());

    m->drawFrame(7500, 150, 16);
    EXPECT_EQ(log, (std::vector<std::string>{"update b 7500", "update a 7500", "draw b 7500 16 screen",
                                             "draw a 7500 16 fbo0", "post b 7500", "post a 7500"}));
    EXPECT_EQ(m->findActiveEffect("a"), &a);
    EXPECT_EQ(m->findActiveEffect("c"), nullptr);
    EXPECT_EQ(m->nextActiveEffect(&b), &a);
    EXPECT_EQ(m->nextActiveEffect(&a), nullptr);
    EXPECT_EQ(m->nextActiveEffect(&c), nullptr);

    log.clear();
    m->drawFrame(10000, 200, 20); // the stop row still draws
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[3], "draw a 10000 20 fbo0");

    log.clear();
    m->drawFrame(12600, 251, 20);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(m->findActiveEffect("a"), nullptr);

    m->drawFrame(15000, 300, 20);
    EXPECT_EQ(log, (std::vector<std::string>{"update a 15000", "draw a 15000 20 screen", "post a 15000"}));
}

TEST_F(TrackFiles, TheScreenIsCoveredOnlyByAnActiveCoveringEffectDrawingThere)
{
    auto m = loadSample(true);
    // a draws into staging0 on rows 100..200 and on the screen on 300..400; b on the
    // screen on 150..250.
    a.covers = true;
    EXPECT_FALSE(m->coversScreen(99));  // nothing active
    EXPECT_FALSE(m->coversScreen(120)); // a covers, but staging0
    EXPECT_FALSE(m->coversScreen(160)); // b on the screen does not cover
    EXPECT_TRUE(m->coversScreen(300));
    EXPECT_FALSE(m->coversScreen(401));
    b.covers = true;
    EXPECT_TRUE(m->coversScreen(160));
    EXPECT_TRUE(log.empty()); // asking draws nothing
}

TEST_F(TrackFiles, ValidateNamesTheMismatchedEffect)
{
    TrackSet set;
    set.add("a.track", startStopBody(0, {{10, 1, ""}, {20, 1, ""}}));
    writePacked(set, dir);
    captureLog();
    auto m = TrackManager::load(slashed(dir), names, effects);
    capturedLog();
    captureLog();
    EXPECT_FALSE(m->validate());
    EXPECT_EQ(capturedLog(),
              "Validating StartStop track data.\n"
              "--> row = 20, row=20, type = 1\n"
              "--> PREVIOUS LINE IS CORRUPT BECAUSE IT'S NOT TAGGED AS A STOP KEYFRAME!\n"
              "--> StartStop Track : a has keyframe mismatch\n");
}

TEST_F(TrackFiles, WritersRoundTripBothForms)
{
    auto original = loadSample(true);
    const fs::path files = dir / "files";
    const fs::path packed = dir / "packed";
    fs::create_directory(files);
    fs::create_directory(packed);
    const auto fade = keysOf(*curveA);

    captureLog();
    EXPECT_TRUE(succeeds(original->saveFiles(files.string())));
    EXPECT_TRUE(succeeds(original->savePacked(packed.string())));
    auto fromFiles = TrackManager::loadFromFiles(files.string(), names, effects, twoTargets);
    ASSERT_TRUE(sameCurve(keysOf(*curveA), fade));
    auto fromPacked = TrackManager::load(slashed(packed), names, effects, twoTargets);
    capturedLog();

    EXPECT_TRUE(fs::exists(files / "a.zoom.track"));
    EXPECT_TRUE(fs::exists(files / "c.track"));
    for (const TrackManager* copy : {fromFiles.get(), fromPacked.get()}) {
        ASSERT_TRUE(succeeds(copy->loadStatus()));
        ASSERT_EQ(copy->getEntryCount(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(sameStartStop(*copy->getEntry(i)->startStop, *original->getEntry(i)->startStop)) << i;
    }
    EXPECT_TRUE(sameCurve(keysOf(*curveA), fade));
}

TEST_F(TrackFiles, PackedWriterReproducesCanonicalBytes)
{
    // Priorities already in drawing order, targets kept by name: the writer must give
    // back exactly the bytes it was read from.
    TrackSet set;
    set.add("a.track", startStopBody(1, {{100, 1, "staging0"}, {200, 0, ""}, {300, 1, ""}, {400, 0, ""}}));
    set.add("a.fade.track", curveBody({{20, 2, -0.25f}, {40, 3, 1e6f}}));
    set.add("a.zoom.track", curveBody({}));
    set.add("b.track", startStopBody(0, {{static_cast<int32_t>(4000000000u), 1, "gbuffer"}}));
    set.add("c.track", startStopBody(2, {}));
    writePacked(set, dir);
    const fs::path out = dir / "out";
    fs::create_directory(out);

    captureLog();
    auto m = TrackManager::load(slashed(dir), names, effects, TrackManager::acceptAllTargets());
    EXPECT_TRUE(succeeds(m->savePacked(out.string())));
    EXPECT_TRUE(succeeds(m->saveFiles(out.string())));
    capturedLog();

    EXPECT_EQ(readBytes(out / "index.list"), readBytes(dir / "index.list"));
    EXPECT_EQ(readBytes(out / "track.data"), readBytes(dir / "track.data"));
    for (const auto& body : set.bodies)
        EXPECT_EQ(readBytes(out / body.first), body.second.data) << body.first;
}

TEST_F(TrackFiles, WritersReportFilesThatCannotBeWritten)
{
    TrackManager m;
    m.addEntry("a", nullptr, nullptr);
    const std::string missing = (dir / "no" / "such").string();
    EXPECT_EQ(m.saveFiles(missing).reason(), "Cannot write track file '" + missing + "/a.track'");
    EXPECT_EQ(m.savePacked(missing).reason(), "Cannot write track file '" + missing + "/track.data'");
    EXPECT_EQ(m.saveProperties(missing).reason(), "Cannot write track file '" + missing + "/track.properties'");
}

TEST_F(TrackFiles, PropertiesRoundTripAndUnknownNames)
{
    TrackManager m;
    m.addEntry("b", nullptr, nullptr);
    m.addEntry("a", nullptr, nullptr)->startStop->setEnabled(false);
    captureLog();
    EXPECT_TRUE(succeeds(m.saveProperties(dir.string())));
    EXPECT_EQ(capturedLog(), "Saving track property for a\nSaving track property for b\n");
    EXPECT_EQ(readBytes(dir / "track.properties"), Bytes().i32(2).str("a").i32(1).str("b").i32(0).data);

    // An unknown name still has its flag read; the next entry is applied.
    writeBytes(dir / "track.properties", Bytes().i32(3).str("zzz").i32(1).str("b").i32(1).str("a").i32(0).data);
    captureLog();
    EXPECT_TRUE(succeeds(m.loadProperties(slashed(dir))));
    EXPECT_EQ(capturedLog(),
              "Loading track property for zzz\n"
              "Loading track property for b\nFlag : 1\n"
              "Loading track property for a\nFlag : 0\n");
    EXPECT_FALSE(m.findEntry("b")->startStop->isEnabled());
    EXPECT_TRUE(m.findEntry("a")->startStop->isEnabled());

    // A missing file changes nothing; a short one is reported.
    fs::remove(dir / "track.properties");
    EXPECT_TRUE(succeeds(m.loadProperties(dir.string())));
    EXPECT_FALSE(m.findEntry("b")->startStop->isEnabled());
    writeBytes(dir / "track.properties", Bytes().i32(1).str("abcdef").data);
    captureLog();
    EXPECT_EQ(m.loadProperties(dir.string()).reason(),
              "Corrupt track file '" + (dir / "track.properties").string() + "': entry 0 flag runs past the end");
    EXPECT_EQ(capturedLog(), "Loading track property for abcdef\n");
}

TEST_F(TrackFiles, CorruptBodiesAreReportedAndFailValidation)
{
    struct Case {
        Bytes body;
        std::string what;
    };
    Bytes noTerminator = Bytes().i32(0).i32(1).i32(10).i32(1);
    noTerminator.data.push_back('x');
    std::vector<Case> cases = {
        {Bytes().i32(0).i32(-3), "key count -3 is negative"},
        {Bytes().i32(0).i32(0x7FFFFFFF), "key count 2147483647 needs more than the 0 bytes left"},
        {Bytes().i32(0).i32(4).i32(10).i32(1).str("").i32(20).i32(0).i32(30).i32(1).str("staging0").i32(40),
         "key 3 runs past the end"},
        {noTerminator, "key 0 target has no terminating zero byte"},
        {Bytes().i32(0).i32(1).i32(10).i32(1), "key 0 target runs past the end"},
        {Bytes().i32(7), "key count runs past the end"},
    };
    for (const Case& c : cases) {
        TrackSet set;
        set.add("a.track", c.body);
        writePacked(set, dir);
        writeLoose(set, dir);
        captureLog();
        auto packed = TrackManager::load(slashed(dir), names, effects);
        auto loose = TrackManager::loadFromFiles(dir.string(), names, effects);
        const bool packedOk = packed->validate();
        capturedLog();
        EXPECT_FALSE(packedOk);
        EXPECT_EQ(packed->loadStatus().reason(), "Corrupt track file '" + slashed(dir) + "track.data': 'a.track' " + c.what);
        EXPECT_EQ(loose->loadStatus().reason(), "Corrupt track file '" + (dir / "a.track").string() + "': " + c.what);
        // The broken track is replaced by a never-active dummy.
        EXPECT_EQ(packed->findEntry("a")->startStop->getKeyCount(), 0u);
    }

    // A short curve: reported, and the curve keeps no partial keys.
    TrackSet set;
    set.add("a.fade.track", curveBody({{1, 0, 1.0f}, {2, 0, 2.0f}}));
    set.bodies[0].second.data.pop_back();
    writePacked(set, dir);
    captureLog();
    auto m = TrackManager::load(slashed(dir), names, effects);
    EXPECT_FALSE(m->validate());
    const std::string out = capturedLog();
    EXPECT_EQ(out, "Loading 'a.fade'\n"
                   "Corrupt track file '" + slashed(dir) + "track.data': 'a.fade.track' key count 2 needs more than the 23 bytes left\n"
                   "Validating StartStop track data.\n"
                   "Corrupt track file '" + slashed(dir) + "track.data': 'a.fade.track' key count 2 needs more than the 23 bytes left\n");
    EXPECT_EQ(curveA->getKeyCount(), 0u);
}

TEST_F(TrackFiles, CorruptIndexEntriesAreReported)
{
    const std::string index = "Corrupt track file '" + slashed(dir) + "index.list': ";
    struct Case {
        Bytes bytes;
        std::string what;
    };
    std::vector<Case> cases = {
        {Bytes(), "file count runs past the end"},
        {Bytes().i32(-1), "file count -1 is negative"},
        {Bytes().i32(3).str("a.track").i32(0), "file count 3 needs more than the 12 bytes left"},
        {Bytes().i32(1).i32(0x41414141).i32(0x41414141), "entry 0 name has no terminating zero byte"},
        {Bytes().i32(2).str("a").i32(0).str("bbbbbbb"), "entry 1 ('bbbbbbb') offset runs past the end"},
        {Bytes().i32(1).str("a.track").i32(8), "'a.track' offset 8 lies outside '" + slashed(dir) + "track.data' (8 bytes)"},
        {Bytes().i32(1).str("a.track").i32(-4), "'a.track' offset -4 lies outside '" + slashed(dir) + "track.data' (8 bytes)"},
    };
    writeBytes(dir / "track.data", startStopBody(0, {}).data);
    for (const Case& c : cases) {
        writeBytes(dir / "index.list", c.bytes.data);
        captureLog();
        auto m = TrackManager::load(slashed(dir), names, effects);
        EXPECT_FALSE(m->validate());
        capturedLog();
        EXPECT_EQ(m->loadStatus().reason(), index + c.what);
    }
}

TEST_F(TrackFiles, TruncatedOrFlippedPackedDataNeverReadsOutOfBounds)
{
    Bytes index, data;
    sampleSet().pack(index, data);
    // Every strict prefix of either file is short data and must fail the load.
    for (int which = 0; which < 2; ++which) {
        const std::vector<uint8_t>& whole = which == 0 ? index.data : data.data;
        for (size_t length = 0; length < whole.size(); ++length) {
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(length));
            writeBytes(dir / "index.list", which == 0 ? cut : index.data);
            writeBytes(dir / "track.data", which == 1 ? cut : data.data);
            captureLog();
            auto m = TrackManager::load(slashed(dir), names, effects, twoTargets);
            const bool ok = m->validate();
            capturedLog();
            // The body read last ends track.data, and the index ends with an offset:
            // cutting anything must show.
            ASSERT_FALSE(ok) << (which == 0 ? "index.list" : "track.data") << " cut at " << length;
            ASSERT_EQ(m->getEntryCount(), 3);
        }
    }
    // Flipped bytes may still be valid data, but never crash, and what loads is usable.
    for (int which = 0; which < 2; ++which) {
        const std::vector<uint8_t>& whole = which == 0 ? index.data : data.data;
        for (size_t at = 0; at < whole.size(); ++at) {
            for (uint8_t mask : {uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)}) {
                std::vector<uint8_t> flipped = whole;
                flipped[at] ^= mask;
                writeBytes(dir / "index.list", which == 0 ? flipped : index.data);
                writeBytes(dir / "track.data", which == 1 ? flipped : data.data);
                captureLog();
                auto m = TrackManager::load(slashed(dir), names, effects, twoTargets);
                m->validate();
                for (uint32_t row : {0u, 100u, 150u, 200u, 300u, 400u})
                    m->drawFrame(row * 50, row, 16);
                capturedLog();
                ASSERT_EQ(m->getEntryCount(), 3);
                log.clear();
            }
        }
    }
}
