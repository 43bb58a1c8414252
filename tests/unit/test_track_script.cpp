#include "TimelineDocument.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackScript.h"
#include "TrackStartStop.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    TimelineDocument document;
    std::string error;
    bool ok = false;
};

std::unique_ptr<Parsed> parse(const std::string& text)
{
    auto p = std::make_unique<Parsed>();
    Status parsed = TrackScript::parse(text, "test.sync", p->document);
    p->ok = parsed.ok();
    p->error = parsed.reason();
    return p;
}

const char* const script = R"(# comment line
rate 20
effect post priority 7   # drawn last
  start 0
  stop @03:51.000
effect "scene one" priority 2 disabled
  start @00:01.500 "gbuffer #2"
  stop 60
  curve fade
    30 0
    40 1 ease-in
    50 0.25 7
  curve "cam x"
)";

} // namespace

TEST(TrackScript, BuildsTheTimelineItDescribes)
{
    auto p = parse(script);
    ASSERT_TRUE(p->ok) << p->error;
    TrackManager& m = *p->document.manager();
    ASSERT_EQ(m.getEntryCount(), 2);
    // Drawing order follows the priorities, renumbered from 0.
    ASSERT_EQ(m.getDrawOrder().size(), 2u);
    EXPECT_EQ(m.getDrawOrder()[0]->name, "scene one");
    EXPECT_EQ(m.getDrawOrder()[0]->startStop->getPriority(), 0);
    EXPECT_EQ(m.getDrawOrder()[1]->name, "post");
    EXPECT_FALSE(m.findEntry("scene one")->startStop->isEnabled());
    EXPECT_TRUE(m.findEntry("post")->startStop->isActive(4620)); // 03:51.000 at 20 rows/s

    const EffectTracks* scene = m.findEntry("scene one");
    const StartStopKey* start = scene->startStop->getKey(30);
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->isStart());
    EXPECT_EQ(start->target, "gbuffer #2");
    ASSERT_EQ(scene->tracks.size(), 2u);
    EXPECT_EQ(scene->tracks[0]->getName(), "fade");
    EXPECT_EQ(scene->tracks[1]->getName(), "cam x");
    std::vector<InterpolateKey> keys;
    scene->tracks[0]->getKeys(keys);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[1].type, uint32_t(InterpolateKey::CosineIn));
    EXPECT_EQ(keys[2].type, 7u);
    EXPECT_EQ(keys[2].value, 0.25f);
}

TEST(TrackScript, FormatParsesBackToTheSameText)
{
    auto p = parse(script);
    ASSERT_TRUE(p->ok) << p->error;
    std::string text = TrackScript::format(p->document);
    auto again = parse(text);
    ASSERT_TRUE(again->ok) << again->error << "\n" << text;
    EXPECT_EQ(TrackScript::format(again->document), text);
    // Values survive exactly, not only to a few digits.
    auto precise = parse("effect e\n  curve c\n    0 0.1\n    1 3.40282347e+38\n    2 -1.17549435e-38\n");
    ASSERT_TRUE(precise->ok) << precise->error;
    auto reread = parse(TrackScript::format(precise->document));
    ASSERT_TRUE(reread->ok);
    std::vector<InterpolateKey> a, b;
    precise->document.manager()->findEntry("e")->tracks[0]->getKeys(a);
    reread->document.manager()->findEntry("e")->tracks[0]->getKeys(b);
    ASSERT_EQ(a.size(), 3u);
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(a[i].value, b[i].value);
}

TEST(TrackScript, ErrorsNameTheLine)
{
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"start 10\n", "test.sync:1: 'start' outside an effect block"},
        {"effect a\n  start 10\n  start 10\n", "test.sync:3: effect 'a' already has a key at row 10"},
        {"effect a\n\n  curve c\n    5 1 bouncy\n", "test.sync:4: unknown interpolation 'bouncy'"},
        {"effect a\n  4 1\n", "test.sync:2: a curve key before any 'curve NAME' line"},
        {"effect a\n  start @00:01.010\n", "test.sync:2: time @00:01.010 falls between rows"},
        {"effect a\n  start @1:75.000\n", "test.sync:2: '@1:75.000' is not a time"},
        {"effect a\n  stop 4294967296\n", "test.sync:2: '4294967296' is not a row"},
        {"effect a.b\n", "test.sync:1: effect name 'a.b' may not contain '.'"},
        {"effect a\neffect a\n", "test.sync:2: effect 'a' appears twice"},
        {"effect a\n  curve c\n    1 x\n", "test.sync:3: 'x' is not a number"},
        {"effect a\n  curve c\n  curve c\n", "test.sync:3: curve 'c' appears twice"},
        {"effect \"a\n", "test.sync:1: unterminated quoted name"},
        {"effect a\nrate 30\n", "test.sync:2: 'rate' must come before the first effect"},
        {"rate 0\n", "test.sync:1: 'rate' takes one number"},
        {"effect a priority x\n", "test.sync:1: priority 'x' is not a whole number"},
        // Names that cannot make up a track file name.
        {"effect \"\"\n", "test.sync:1: an effect name may not be empty"},
        {"effect a\n  curve \"\"\n", "test.sync:2: a curve name may not be empty"},
        {"effect a\n  curve cam/x\n", "test.sync:2: curve name 'cam/x' may not contain '/'"},
        // Beats.
        {"effect a\n  start b3\n", "test.sync:2: 'b3' needs a beat grid"},
        {"bpm 120\neffect a\n  start b0\n", "test.sync:3: 'b0' is not a beat"},
        {"bpm 120\neffect a\n  stop bar 2.5\n", "test.sync:3: 'bar 2.5' is not a bar and beat"},
        {"bpm 120\neffect a\n  curve c\n    bar\n", "test.sync:4: 'bar' takes a bar and beat"},
        {"bpm 128\neffect a\n  start b2\n", "test.sync:3: b2 falls between rows (a beat is 9.375 rows)"},
        {"bpm 120\neffect a\n  start b1.05\n", "test.sync:3: b1.05 falls between rows"},
        {"effect a\nbpm 120\n", "test.sync:2: 'bpm' must come before the first effect"},
        {"bpm 0\n", "test.sync:1: 'bpm' takes one number"},
    };
    for (const Case& c : cases) {
        auto p = parse(c.text);
        EXPECT_FALSE(p->ok) << c.text;
        EXPECT_EQ(p->error.rfind(c.expected, 0), 0u) << "got: " << p->error << "\nfor: " << c.text;
    }
}

TEST(TrackScript, TimesFollowTheRate)
{
    auto p = parse("rate 25\neffect a\n  start @00:00.040\n  stop @1:00.000\n");
    ASSERT_TRUE(p->ok) << p->error;
    const TrackStartStop& t = *p->document.manager()->findEntry("a")->startStop;
    EXPECT_TRUE(t.isStartKey(1));
    EXPECT_TRUE(t.hasKey(1500));
    EXPECT_EQ(p->document.manager()->getRowsPerSecond(), 25);
}

TEST(TrackScript, BeatsAndBarsCountFromOne)
{
    // 120 BPM at 20 rows a second: 10 rows a beat, 40 a bar; bar 1.1 and b1 are row 0.
    const char* text = "bpm 120\n"
                       "effect a\n"
                       "  start b65 fbo\n"
                       "  stop bar 17.3+0.5\n"
                       "  curve c\n"
                       "    bar 1.1 0\n"
                       "    b1.5 1 hold\n"
                       "    bar 2 0.5\n"
                       "    @00:32.000 1\n";
    auto p = parse(text);
    ASSERT_TRUE(p->ok) << p->error;
    const EffectTracks* a = p->document.manager()->findEntry("a");
    EXPECT_TRUE(a->startStop->isStartKey(640));
    EXPECT_EQ(a->startStop->getKey(640)->target, "fbo");
    EXPECT_TRUE(a->startStop->hasKey(665));
    std::vector<InterpolateKey> keys;
    a->tracks[0]->getKeys(keys);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].row, 0u);
    EXPECT_EQ(keys[1].row, 5u);
    EXPECT_EQ(keys[2].row, 40u);
    EXPECT_EQ(keys[3].row, 640u);

    // The written form keeps rows, names the grid and gives bars in the comments.
    std::string written = TrackScript::format(p->document);
    EXPECT_NE(written.find("\nbpm 120\n"), std::string::npos) << written;
    EXPECT_NE(written.find("start 640 fbo"), std::string::npos) << written;
    EXPECT_NE(written.find("# 00:32.000  bar 17.1\n"), std::string::npos) << written;
    EXPECT_NE(written.find("# 00:33.250  bar 17.3+0.5\n"), std::string::npos) << written;
    auto again = parse(written);
    ASSERT_TRUE(again->ok) << again->error;
    EXPECT_EQ(TrackScript::format(again->document), written);

    // A grid of its own: 8 rows a beat whatever the tempo says.
    auto own = parse("rate 25\nbpm 90.5\nrows-per-beat 8\neffect a\n  start bar 2.2\n");
    ASSERT_TRUE(own->ok) << own->error;
    EXPECT_TRUE(own->document.manager()->findEntry("a")->startStop->isStartKey(40));
    EXPECT_NE(TrackScript::format(own->document).find("bpm 90.5\nrows-per-beat 8\n"), std::string::npos);
}
