#include "Score.h"
#include "ScoreRenderer.h"
#include "TempDir.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

// Two bars of four-to-the-floor with a bass line under one chord.
const char* tinyScore = R"(tempo 120
rows 20
bars 2
tail 0.5
normalize -1
instrument kick kick
instrument bass bass gain -12
chord Am A1 : A3 C4 E4
progression one Am
pattern four X... X... X... X...
line low r . . . r' . . . f . . . r . 1 2
section all 1 2
  chords one
  play kick four
  play bass low
end
)";

Score parsed(const std::string& text)
{
    Score score;
    EXPECT_TRUE(succeeds(score.parse(text, "t.score")));
    return score;
}

double energy(const std::vector<float>& stereo, size_t fromFrame, size_t frames)
{
    double e = 0;
    for (size_t f = fromFrame; f < fromFrame + frames && 2 * f + 1 < stereo.size(); ++f)
        e += stereo[2 * f] * stereo[2 * f] + stereo[2 * f + 1] * stereo[2 * f + 1];
    return e;
}

} // namespace

TEST(Score, NoteNames)
{
    int n = -1;
    EXPECT_TRUE(Score::parseNote("A4", n));
    EXPECT_EQ(n, 69);
    EXPECT_TRUE(Score::parseNote("C#5", n));
    EXPECT_EQ(n, 73);
    EXPECT_TRUE(Score::parseNote("Bb3", n));
    EXPECT_EQ(n, 58);
    EXPECT_TRUE(Score::parseNote("C-1", n));
    EXPECT_EQ(n, 0);
    for (const char* bad : {"H4", "C", "C#", "a4", "C10", "A4x", "G9x", "Cb-1"})
        EXPECT_FALSE(Score::parseNote(bad, n)) << bad;
}

TEST(Score, ErrorsNameTheFileLineAndProblem)
{
    struct Case {
        std::string text;
        int line;
        const char* reason;
    } cases[] = {
        {"tempo 700\n", 1, "tempo must be"},
        {"tempo 110\nbars 1\n", 0, "whole rows"},
        {"bars 2\ninstrument x flute\n", 2, "unknown voice 'flute'"},
        {"bars 2\ninstrument x pad cutoff 5\n", 2, "parameter cutoff"},
        {"bars 2\ninstrument x pad gain\n", 2, "NAME VALUE pairs"},
        {"bars 2\nchord Am A1 A3 C4\n", 2, "BASS : NOTE"},
        {"bars 2\nprogression p Zm\n", 2, "no chord 'Zm'"},
        {"bars 2\npattern p X..\n", 2, "3 steps"},
        {"bars 2\npattern p X..q\n", 2, "drum step 'q'"},
        {"bars 2\nline p r . z .\n", 2, "line step 'z'"},
        {"bars 2\nmelody m\n  A4:3 |\nend\n", 3, "not on a bar"},
        {"bars 2\nmelody m\n  A4:1\n", 3, "has no 'end'"},
        {"bars 2\nsection a 2 2\nend\n", 2, "within bars 1..2"},
        {"bars 4\nsection a 1 2\nend\nsection b 2 2\nend\n", 4, "starts before 'a' ends"},
        {"bars 2\ninstrument k kick\nsection a 1 2\n  play k\nend\n", 4, "needs a pattern"},
        {"bars 2\ninstrument p pad\nsection a 1 2\n  play p\nend\n", 4, "needs the section's chords"},
        {"bars 2\ninstrument p pad\nchord C C2 : C4\nprogression c C\nsection a 1 2\n  chords c\n  play p bars 1-3\nend\n",
         7, "bars A-B"},
        {"bars 2\ninstrument p pad\nsection a 1 2\n  sweep p detune 1 2\nend\n", 4, "cannot sweep 'detune'"},
        {"bars 2\ninstrument p pad\nsection a 1 2\n  sweep p cutoff 1 2\nend\n", 4, "out of range"},
        {"instrument p pad\n", 1, "no 'bars' line"},
    };
    for (const Case& c : cases) {
        Score score;
        Status parsed = score.parse(c.text, "x.score");
        const std::string& error = parsed.reason();
        EXPECT_FALSE(parsed) << c.text;
        EXPECT_EQ(error.rfind("x.score:" + std::to_string(c.line) + ": ", 0), 0u)
            << error << "\n  for:\n" << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(Score, CommentsStartAtAWordButSharpsStayNotes)
{
    Score score = parsed("bars 1 # one bar\nchord X C#2 : C#4 F4 # comment\n#instrument x flute\n");
    ASSERT_EQ(score.chords.size(), 1u);
    EXPECT_EQ(score.chords[0].bass, 37);
    EXPECT_EQ(score.chords[0].notes, (std::vector<int>{61, 65}));
    EXPECT_TRUE(score.instruments.empty());
}

TEST(ScoreRenderer, DeterministicNormalisedAndOnTheBeat)
{
    Score score = parsed(tinyScore);
    ScoreRenderer renderer(score);
    std::vector<float> a, b;
    renderer.render(a);
    renderer.render(b);
    ASSERT_EQ(a.size(), static_cast<size_t>(std::lround(4.5 * ScoreRenderer::sampleRate)) * 2);
    EXPECT_TRUE(a == b) << "two renders of one score differ";
    EXPECT_EQ(renderer.noteCount(), 8u + 2 * 6);

    float peak = 0;
    for (float v : a)
        peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, std::pow(10.0, -1.0 / 20.0), 1e-5);

    // Every beat starts with the kick: the 5 ms after it are far louder than the 5 ms before.
    const size_t beat = ScoreRenderer::sampleRate / 2, window = 220;
    for (size_t k = 1; k < 8; ++k)
        EXPECT_GT(energy(a, k * beat, window), 4.0 * energy(a, k * beat - window, window)) << "beat " << k;
    EXPECT_GT(energy(a, 0, window), 0.0);

    // A stretch of bars starts at its first bar, with the same notes as the whole render.
    std::vector<float> second;
    renderer.render(second, 2, 2);
    EXPECT_EQ(renderer.noteCount(), 4u + 6);
    ASSERT_EQ(second.size(), static_cast<size_t>(std::lround(2.5 * ScoreRenderer::sampleRate)) * 2);
    EXPECT_GT(energy(second, 0, window), 4.0 * energy(second, beat - window, window));
}

TEST(ScoreRenderer, WritesA16BitStereoWav)
{
    TempDir dir;
    std::vector<float> stereo = {0.0f, 1.0f, -1.0f, 0.5f, 2.0f, -2.0f};
    std::string path = dir.path() + "/out.wav";
    ASSERT_TRUE(succeeds(ScoreRenderer::writeWav(path, stereo, 1)));
    std::string bytes = readWholeFile(path);
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(36, 4), "data");
    const int16_t* s = reinterpret_cast<const int16_t*>(bytes.data() + 44);
    EXPECT_NEAR(s[0], 0, 1);
    EXPECT_NEAR(s[1], 32767, 1);
    EXPECT_NEAR(s[2], -32767, 1);
    EXPECT_NEAR(s[3], 16384, 1);
    EXPECT_EQ(s[4], 32767) << "overs are clamped, not wrapped";
    EXPECT_EQ(s[5], -32768);
    EXPECT_FALSE(ScoreRenderer::writeWav(dir.path() + "/no/such/dir/x.wav", stereo, 1));
}

// The header of the production's score lists the sections for the people keying sync;
// it must say what the score does.
TEST(ScoreRenderer, ProductionScoreHeaderMatchesItsSections)
{
    std::string path = std::string(DEMOSYS_SOURCE_DIR) + "/content/music/glass_hall.score";
    std::string text = readWholeFile(path);
    ASSERT_FALSE(text.empty()) << path;
    Score score;
    ASSERT_TRUE(succeeds(score.parse(text, path)));
    EXPECT_GE(score.bars * score.barSeconds(), 231.0) << "the demo runs to 03:51.000";
    EXPECT_EQ(score.rowsPerBeat(), 10);

    std::istringstream in(text);
    std::string line;
    size_t listed = 0;
    while (std::getline(in, line)) {
        // "#   NAME  FIRST-LAST  MM:SS.S-MM:SS.S  ROW-ROW ..."
        char name[32];
        int first, last, m0, s0, t0, m1, s1, t1, row0, row1;
        if (std::sscanf(line.c_str(), "# %31s %d-%d %d:%d.%d-%d:%d.%d %d-%d", name, &first, &last, &m0, &s0, &t0, &m1,
                        &s1, &t1, &row0, &row1) != 11)
            continue;
        ASSERT_LT(listed, score.sections.size()) << line;
        const Score::Section& s = score.sections[listed++];
        EXPECT_EQ(name, s.name);
        EXPECT_EQ(first, s.firstBar) << line;
        EXPECT_EQ(last, s.firstBar + s.bars - 1) << line;
        double start = score.barStart(s.firstBar), end = score.barStart(s.firstBar + s.bars);
        EXPECT_NEAR(m0 * 60 + s0 + t0 / 10.0, start, 1e-9) << line;
        EXPECT_NEAR(m1 * 60 + s1 + t1 / 10.0, end, 1e-9) << line;
        EXPECT_EQ(row0, std::lround(start * score.rows)) << line;
        EXPECT_EQ(row1, std::lround(end * score.rows)) << line;
    }
    EXPECT_EQ(listed, score.sections.size()) << "every section is in the header";
}
