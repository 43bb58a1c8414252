#include "Effect.h"
#include "TimelineDocument.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackScript.h"
#include "TrackStartStop.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// An effect with one curve, as a production declares it.
class Glow : public Effect {
public:
    void setup() override { addTrack("fade", &fade); }
    void draw(uint32_t, int32_t, FBO*) override {}
    TrackInterpolate* fade = nullptr;
};

FBO* staging() { return reinterpret_cast<FBO*>(0x1000); }

bool knownTargets(const std::string& name, FBO** fbo)
{
    if (name != "staging0")
        return false;
    *fbo = staging();
    return true;
}

// The running timeline takes the keys of a script compiled by the engine's reader.
bool adoptScript(TrackManager& running, const std::string& script, std::vector<std::string>& notes)
{
    TimelineDocument document;
    Status parsed = TrackScript::parse(script, "demo.sync", document);
    if (!parsed) {
        ADD_FAILURE() << parsed.reason();
        return false;
    }
    running.adoptKeys(*document.manager(), knownTargets, notes);
    return true;
}

} // namespace

// An edited script replaces keys, ranges, targets and priorities of the running
// timeline; the effect instances and their curve objects stay.
TEST(TimelineReloadTest, AdoptedKeysReplaceTheOldOnesAndEffectsStay)
{
    Glow glow, backdrop;
    glow.setup();
    backdrop.setup();
    TrackManager running;
    running.addEntry("glow", &glow, nullptr);
    running.addEntry("backdrop", &backdrop, nullptr);
    running.arrangeDrawOrder();
    TrackInterpolate* const fade = glow.fade;

    std::vector<std::string> notes;
    ASSERT_TRUE(adoptScript(running,
                            "rate 20\nbpm 120\n"
                            "effect backdrop priority 1\n  start 0\n  stop 1000\n"
                            "effect glow priority 2\n  start bar 17 staging0\n  stop 700\n"
                            "  curve fade\n    640 0\n    660 1\n",
                            notes));
    EXPECT_TRUE(notes.empty());
    EXPECT_TRUE(running.validate());
    running.drawFrame(32500, 650, 0);
    ASSERT_EQ(running.getActiveEntries().size(), 2u);
    EXPECT_EQ(running.getActiveEntries()[0]->name, "backdrop");
    EXPECT_EQ(running.getActiveEntries()[1]->effect, &glow);
    EXPECT_EQ(running.findEntry("glow")->startStop->getTarget(650), staging());
    EXPECT_EQ(glow.fade, fade);
    EXPECT_FLOAT_EQ(glow.fade->getValue(32500), 0.5f);

    // Edited: new keys, the order swapped, glow to the screen, backdrop left out (so
    // it no longer draws), and names the production does not have.
    ASSERT_TRUE(adoptScript(running,
                            "rate 25\n"
                            "effect glow priority 0\n  start 600\n  stop 700\n"
                            "  curve fade\n    600 1\n  curve missing\n    0 1\n"
                            "effect ghost\n  start 0\n  stop 10\n",
                            notes));
    EXPECT_EQ(notes, (std::vector<std::string>{"effect 'glow' has no curve 'missing'",
                                               "no effect instance is named 'ghost'",
                                               "rows are counted at 20 a second, not 25, until the demo is restarted"}));
    EXPECT_EQ(running.getRowsPerSecond(), 20);
    running.drawFrame(32500, 650, 0);
    ASSERT_EQ(running.getActiveEntries().size(), 1u);
    EXPECT_EQ(running.getActiveEntries()[0]->effect, &glow);
    EXPECT_EQ(running.findEntry("glow")->startStop->getTarget(650), nullptr);
    EXPECT_FLOAT_EQ(glow.fade->getValue(32500), 1.0f);
    EXPECT_FLOAT_EQ(backdrop.fade->getValue(32500), 0.0f);
    EXPECT_EQ(running.getDrawOrder().front()->name, "backdrop");
}
