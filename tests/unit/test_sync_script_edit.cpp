#include "SyncScriptEdit.h"
#include "TempDir.h"
#include "TimelineDocument.h"
#include "TrackManager.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const char* const barScript = R"(# A timeline on the beat grid.
rate 20
bpm 120

effect camera priority 0
  start bar 1
  stop bar 9
  curve x
    # the first shot
    bar 1            0
    bar 2.4+0.9      5 hold   # held to the cut

    # the second shot
    bar 3            -2
  curve y
    0 1

# the post pass
effect post priority 1
  start 0
  stop 320
)";

// The keys the text describes, through the script's own reader.
std::vector<InterpolateKey> keysOf(const std::string& text, const std::string& effect, const std::string& curve)
{
    TimelineDocument document;
    EXPECT_TRUE(succeeds(TrackScript::parse(text, "t.sync", document))) << text;
    std::vector<InterpolateKey> keys;
    if (EffectTracks* e = document.manager() ? document.manager()->findEntry(effect) : nullptr)
        if (e->tracksByName.count(curve))
            e->tracksByName[curve]->getKeys(keys);
    return keys;
}

} // namespace

// Set, change and delete keys of one curve: only those lines change, new keys are
// written on the beat grid, every comment, blank line and other key stays as it was.
TEST(SyncScriptEdit, RewritesOnlyTheChangedKeysInTheScriptsNotation)
{
    SyncScriptEdit edit;
    ASSERT_TRUE(succeeds(edit.loadText(barScript, "t.sync")));
    EXPECT_FALSE(edit.isModified());
    EXPECT_EQ(edit.text(), barScript);

    ASSERT_TRUE(edit.setCurveKey("camera", "x", InterpolateKey(45, 0.1f, InterpolateKey::Smooth))); // bar 2.1+0.5
    ASSERT_TRUE(edit.setCurveKey("camera", "x", InterpolateKey(79, 7, InterpolateKey::Hold)));       // value changed
    ASSERT_TRUE(edit.deleteCurveKey("camera", "x", 80));
    ASSERT_TRUE(edit.setCurveKey("camera", "x", InterpolateKey(81, 2)));       // bar 3.1+0.1
    EXPECT_FALSE(edit.setCurveKey("nobody", "x", InterpolateKey(0, 1)));
    EXPECT_FALSE(edit.deleteCurveKey("camera", "y", 5));
    EXPECT_TRUE(edit.isModified());

    const std::string expected = R"(# A timeline on the beat grid.
rate 20
bpm 120

effect camera priority 0
  start bar 1
  stop bar 9
  curve x
    # the first shot
    bar 1            0
    bar 2.1+0.5 0.1 smooth
    bar 2.4+0.9 7 hold        # held to the cut

    # the second shot
    bar 3.1+0.1 2
  curve y
    0 1

# the post pass
effect post priority 1
  start 0
  stop 320
)";
    EXPECT_EQ(edit.text(), expected);
    const std::vector<InterpolateKey> keys = keysOf(edit.text(), "camera", "x");
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[1].row, 45u);
    EXPECT_EQ(keys[1].value, 0.1f);
    EXPECT_EQ(keys[1].type, uint32_t(InterpolateKey::Smooth));
    EXPECT_EQ(keys[3].row, 81u);

    // A curve and an effect the script has no lines for get them; moving a key moves it.
    ASSERT_TRUE(edit.moveCurveKey("camera", "y", 0, 20));
    ASSERT_TRUE(edit.setCurveKey("camera", "z", InterpolateKey(0, 3)));
    ASSERT_TRUE(edit.setCurveKey("post", "#tint", InterpolateKey(0, 1)));
    edit.addEffect("titles", 5);
    ASSERT_TRUE(succeeds(edit.setStartStop("titles", StartStopKey(40, StartStopKey::Start))));
    ASSERT_TRUE(succeeds(edit.setStartStop("titles", StartStopKey(60, StartStopKey::Stop))));
    const std::string text = edit.text();
    EXPECT_NE(text.find("  curve y\n    bar 1.3 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    bar 1.3 1\n  curve z\n    bar 1.1 3\n\n# the post pass"), std::string::npos) << text;
    EXPECT_NE(text.find("  stop 320\n  curve \"#tint\"\n    bar 1.1 1\n\neffect titles priority 5\n  start bar 2.1\n  stop bar 2.3\n"),
              std::string::npos)
        << text;
}

// Without a beat grid new keys are rows, or times where the track already uses them;
// a start/stop change the engine's check refuses changes nothing.
TEST(SyncScriptEdit, KeepsTimesAndRowsAndRefusesBrokenRanges)
{
    const std::string script = "rate 20\r\neffect a priority 0\r\n  start 0\r\n  stop @00:10.000\r\n"
                               "  curve fade\r\n    0 0.3\r\n    @00:02.000 1 ease-out\r\n  curve speed\r\n    0 90\r\n";
    SyncScriptEdit edit;
    ASSERT_TRUE(succeeds(edit.loadText(script, "t.sync")));
    ASSERT_TRUE(edit.setCurveKey("a", "fade", InterpolateKey(60, 0.5f)));
    ASSERT_TRUE(edit.setCurveKey("a", "speed", InterpolateKey(7, 45)));
    ASSERT_TRUE(edit.setCurveKey("a", "fade", InterpolateKey(40, 1, InterpolateKey::SineOut))); // unchanged
    // A second start inside a range is not a timeline.
    Status refused = edit.setStartStop("a", StartStopKey(100, StartStopKey::Start));
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.reason().empty());
    ASSERT_TRUE(succeeds(edit.moveStartStop("a", 200, 180)));
    // New starts draw where the start before them drew, the first start's target before it.
    ASSERT_TRUE(succeeds(edit.setStartStop("a", StartStopKey(300, StartStopKey::Start, "fbo"))));
    EXPECT_EQ(edit.startTargetAt("a", 250), "screen");
    EXPECT_EQ(edit.startTargetAt("a", 300), "fbo");
    ASSERT_TRUE(succeeds(edit.deleteStartStop("a", 300)));
    EXPECT_EQ(edit.text(), "rate 20\r\neffect a priority 0\r\n  start 0\r\n  stop @00:09.000\r\n"
                           "  curve fade\r\n    0 0.3\r\n    @00:02.000 1 ease-out\r\n    @00:03.000 0.5\r\n"
                           "  curve speed\r\n    0 90\r\n    7 45\r\n");
}

// Saving writes the whole file through a rename and refuses a script that changed on
// disk since it was read, leaving it as it is.
TEST(SyncScriptEdit, SavesWholeAndRefusesAScriptChangedOnDisk)
{
    TempDir dir;
    const std::string path = dir.write("t.sync", barScript);
    SyncScriptEdit edit;
    ASSERT_TRUE(succeeds(edit.load(path)));
    ASSERT_TRUE(edit.setCurveKey("camera", "y", InterpolateKey(0, 2)));
    ASSERT_TRUE(succeeds(edit.save()));
    const std::string saved = readWholeFile(path);
    EXPECT_NE(saved.find("  curve y\n    0 2\n"), std::string::npos) << saved;
    EXPECT_EQ(edit.getBaseText(), saved);
    EXPECT_FALSE(edit.isModified());

    // Saved again after a further edit: the new base is where it goes.
    ASSERT_TRUE(edit.setCurveKey("camera", "y", InterpolateKey(0, 3)));
    ASSERT_TRUE(succeeds(edit.save()));
    EXPECT_NE(readWholeFile(path).find("  curve y\n    0 3\n"), std::string::npos);

    // Someone else writes the script: the save refuses and names the file.
    const std::string theirs = std::string(barScript) + "# their change\n";
    dir.write("t.sync", theirs);
    ASSERT_TRUE(edit.setCurveKey("camera", "y", InterpolateKey(0, 4)));
    Status refused = edit.save();
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.reason().find("changed on disk"), std::string::npos) << refused.reason();
    EXPECT_EQ(readWholeFile(path), theirs);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1) << "a temporary file was left behind";

    // A script that is gone is not written either.
    std::filesystem::remove(path);
    EXPECT_FALSE(edit.save());
    EXPECT_FALSE(std::filesystem::exists(path));
}
