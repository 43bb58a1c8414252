#include "ImageCompare.h"
#include "LogCapture.h"
#include "ORVIO.h"
#include "DeathTest.h"
#include "ProgressBar.h"
#include "RenderState.h"
#include "TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>


namespace {

// The window is 256 x 256; the bar's quad spans 0.9 of the width on either side.
const int size = 256;
const float barPixels = 0.9f * size;
const float barLeft = (1.0f - 0.9f) * size / 2.0f;

// Each pixel as one letter: 'c' the clear colour, 'g' what the screen held before,
// 'b' the done part, 't' the track, '?' anything else.
char classify(const uint8_t* p)
{
    auto near = [p](int r, int g, int b) {
        return std::abs(p[0] - r) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - b) <= 2;
    };
    if (near(102, 0, 102))
        return 'c';
    if (near(0, 255, 0))
        return 'g';
    if (near(217, 224, 235))
        return 'b';
    if (near(31, 33, 38))
        return 't';
    return '?';
}

// The letters of a row (or column) collapsed into runs, with the length of each run.
struct Runs {
    std::string kinds;
    std::vector<int> lengths;
};

Runs runsOf(bool row, int index)
{
    RgbaImage image = row ? readPixels(0, index, size, 1) : readPixels(index, 0, 1, size);
    Runs runs;
    for (int i = 0; i < size; ++i) {
        char kind = classify(image.pixels.data() + size_t(i) * 4);
        if (runs.kinds.empty() || runs.kinds.back() != kind) {
            runs.kinds += kind;
            runs.lengths.push_back(0);
        }
        ++runs.lengths.back();
    }
    return runs;
}

// Fills the screen with green at a depth of 0.25, then sets the clear colour and depth
// that the bar's own clear should show.
void fillScreen()
{
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClearDepth(0.25);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.4f, 0.0f, 0.4f, 1.0f);
    glClearDepth(0.75);
}

float depthAt(int x, int y)
{
    float depth = -1.0f;
    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
}

class ProgressBarTest : public testing::Test {
protected:
    void SetUp() override
    {
        previous = std::filesystem::current_path().string();
        std::filesystem::current_path(DEMOSYS_SOURCE_DIR);
        ORVIO::init(ORVIO::ModeFiles);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        RenderState::invalidateFramebuffer();
        glViewport(0, 0, size, size);
    }

    void TearDown() override
    {
        glDisable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glClearDepth(1.0);
        glClearColor(0, 0, 0, 0);
        glUseProgram(0);
        glBindVertexArray(0);
        RenderState::reset();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        std::filesystem::current_path(previous);
    }

    static bool setUp(ProgressBar& bar)
    {
        captureLog();
        bool ok = bar.setup();
        std::string out = capturedLog();
        EXPECT_TRUE(ok) << out;
        return ok;
    }

    std::string previous;
};

} // namespace

TEST_F(ProgressBarTest, EachStepFillsTheFractionDoneBeforeItAndExtraStepsAreIgnored)
{
    ProgressBar bar(5, 0.09f, 1.2f, 0.0f);
    EXPECT_EQ(bar.getFileCount(), 0);
    const char* outOfRange = "ProgressBar::getFile\\(int\\) const: Assertion `index >= 0 && index < getFileCount\\(\\)' failed";
    EXPECT_DEATH(STDOUT_TO_STDERR(bar.getFile(0)), outOfRange);
    // Setting up lists the shader pair for packing, once however often it runs.
    ASSERT_TRUE(setUp(bar));
    ASSERT_TRUE(setUp(bar));
    ASSERT_EQ(bar.getFileCount(), 2);
    EXPECT_EQ(bar.getFile(0), "resources/shaders/default_Progress.vert");
    EXPECT_EQ(bar.getFile(1), "resources/shaders/default_Progress.frag");
    EXPECT_DEATH(STDOUT_TO_STDERR(bar.getFile(2)), outOfRange);
    EXPECT_DEATH(STDOUT_TO_STDERR(bar.getFile(-1)), outOfRange);

    for (int step = 0; step < 5; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        fillScreen();
        // Culling of both faces would hide the bar unless drawing turns it off.
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT_AND_BACK);
        bar.advance();
        EXPECT_EQ(bar.getCount(), step + 1);
        EXPECT_FLOAT_EQ(bar.getProgress(), step / 5.0f);
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FLOAT_EQ(depthAt(2, 2), 0.75f) << "depth cleared too";

        Runs row = runsOf(true, size / 2);
        if (step == 0) {
            ASSERT_EQ(row.kinds, "ctc");
            EXPECT_NEAR(row.lengths[1], barPixels, 1.0);
        } else {
            ASSERT_EQ(row.kinds, "cbtc");
            EXPECT_NEAR(row.lengths[0], barLeft, 1.0);
            EXPECT_NEAR(row.lengths[1], barPixels * step / 5.0f, 1.5);
            EXPECT_NEAR(row.lengths[1] + row.lengths[2], barPixels, 1.0);
        }
        // Across the bar vertically: clear, the bar's 2 * 0.09 of the height, clear.
        Runs column = runsOf(false, size / 2);
        ASSERT_EQ(column.kinds, step >= 3 ? "cbc" : "ctc");
        EXPECT_NEAR(column.lengths[1], 0.09f * size, 1.5);
        EXPECT_NEAR(column.lengths[0], column.lengths[2], 1.0);
    }

    // The bar is full of steps: nothing changes, not even the screen.
    fillScreen();
    bar.advance();
    EXPECT_EQ(bar.getCount(), 5);
    EXPECT_FLOAT_EQ(bar.getProgress(), 0.8f);
    EXPECT_EQ(runsOf(true, size / 2).kinds, "g");
    EXPECT_FLOAT_EQ(depthAt(2, 2), 0.25f);
}

TEST_F(ProgressBarTest, DefaultBarShowsAnEmptyTrackOnce)
{
    ProgressBar bar;
    EXPECT_EQ(bar.getTotal(), 1);
    ASSERT_TRUE(setUp(bar));
    fillScreen();
    bar.advance();
    EXPECT_EQ(bar.getCount(), 1);
    EXPECT_FLOAT_EQ(bar.getProgress(), 0.0f);
    Runs row = runsOf(true, size / 2);
    ASSERT_EQ(row.kinds, "ctc");
    EXPECT_NEAR(row.lengths[1], barPixels, 1.0);
    Runs column = runsOf(false, size / 2);
    ASSERT_EQ(column.kinds, "ctc");
    EXPECT_NEAR(column.lengths[1], 0.125f * size, 1.5);

    fillScreen();
    bar.advance();
    EXPECT_EQ(bar.getCount(), 1);
    EXPECT_EQ(runsOf(true, size / 2).kinds, "g");
}

TEST_F(ProgressBarTest, SetupFailsWithoutItsShaderAndTheBarStillClears)
{
    TempDir dir(true);
    ProgressBar missing(3, 0.1f, 1.8f, -0.9f);
    captureLog();
    EXPECT_FALSE(missing.setup());
    EXPECT_EQ(capturedLog(), "ProgressBar : cannot read 'resources/shaders/default_Progress.vert' and "
                                   "'resources/shaders/default_Progress.frag'\n");
    EXPECT_EQ(missing.getFileCount(), 2) << "listed before they are read";

    // Only one of the pair is the same failure; a pair that does not compile fails too.
    dir.write("resources/shaders/default_Progress.vert",
              readWholeFile(std::string(DEMOSYS_SOURCE_DIR) + "/resources/shaders/default_Progress.vert"));
    ProgressBar half;
    captureLog();
    EXPECT_FALSE(half.setup());
    EXPECT_NE(capturedLog().find("cannot read"), std::string::npos);
    dir.write("resources/shaders/default_Progress.frag", "#version 150\nvoid main() { not glsl }\n");
    ProgressBar broken;
    captureLog();
    EXPECT_FALSE(broken.setup());
    capturedLog();

    // Without a shader each step still clears the screen and counts.
    fillScreen();
    missing.advance();
    EXPECT_EQ(missing.getCount(), 1);
    EXPECT_EQ(runsOf(true, size / 2).kinds, "c");
    EXPECT_EQ(runsOf(false, size / 2).kinds, "c");
    EXPECT_FLOAT_EQ(depthAt(2, 2), 0.75f);
}
