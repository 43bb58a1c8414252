#include "BeatGrid.h"
#include "EditOverlay.h"
#include "Effect.h"
#include "FakeClock.h"
#include "ImageCompare.h"
#include "LogCapture.h"
#include "RenderState.h"
#include "Timer.h"
#include "TrackManager.h"
#include "TrackStartStop.h"
#include "Transport.h"
#include "StatusCheck.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

const int width = 640, height = 360;

// An offscreen colour buffer of the overlay's size, bound while it lives.
class Canvas {
public:
    Canvas()
    {
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        RenderState::invalidateFramebuffer();
        glViewport(0, 0, width, height);
    }
    ~Canvas()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        RenderState::invalidateFramebuffer();
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteRenderbuffers(1, &colour);
    }
    bool complete() const { return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE; }
    // Pixels in the top or bottom band that are clearly red, and clearly white.
    void count(int fromTop, int toTop, int& red, int& white) const
    {
        const RgbaImage image = readPixels(0, 0, width, height);
        red = white = 0;
        for (int y = fromTop; y < toTop; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = image.at(x, height - 1 - y);
                red += p[0] > 150 && p[1] < 90;
                white += p[0] > 150 && p[1] > 150 && p[2] > 150;
            }
    }

private:
    GLuint framebuffer = 0, colour = 0;
};

std::unique_ptr<TrackStartStop> range(int32_t priority, uint32_t from, uint32_t to, const std::string& target)
{
    std::unique_ptr<TrackStartStop> track(new TrackStartStop(priority));
    track->insertKey(StartStopKey(from, StartStopKey::Start, target));
    track->insertKey(StartStopKey(to, StartStopKey::Stop));
    return track;
}

// An effect that draws nothing.
class Idle : public Effect {
public:
    void draw(uint32_t, int32_t, FBO*) override {}
};

} // namespace

// The overlay says where the demo is and what the timeline drew there, and shows errors
// in red at the bottom until they are cleared.
TEST(EditOverlayTest, ShowsPositionActiveEffectsAndErrorsUntilCleared)
{
    FakeClock clock;
    Timer timer(20);
    timer.init();
    BeatGrid grid;
    ASSERT_TRUE(succeeds(grid.parse("tempo 120\nrows 20\nsection build1 9\nsection drop1 17\n", "grid")));
    Transport transport(&timer, grid, 0, 231000);
    captureLog();
    transport.seek(32000);
    transport.seek(32500);
    capturedLog();

    Idle backdrop, glow, later;
    TrackManager timeline;
    timeline.addEntry("glow", &glow, range(5, 640, 660, "staging0"));
    timeline.addEntry("backdrop", &backdrop, range(1, 600, 700, "screen"));
    timeline.addEntry("later", &later, range(0, 1000, 1100, "screen"));
    timeline.arrangeDrawOrder();
    timeline.drawFrame(32500, 650, 0);

    EditOverlay overlay;
    const std::vector<std::string> expected = {
        "00:32:500  row 650  bar 17.2  drop1  PAUSED",
        "loop 00:00:000 - --:--:--- off",
        "frame 16.7 ms",
        "  1 backdrop -> screen",
        "  2 glow -> staging0",
    };
    EXPECT_EQ(overlay.statusLines(transport, &timeline, 16.66), expected);

    Canvas canvas;
    ASSERT_TRUE(canvas.complete());
    glClearColor(0.2f, 0.3f, 0.4f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    overlay.setError("glasshall.sync", {"glasshall.sync:12: 'stop' before any 'start'"});
    overlay.setError("post_process", {"Error while compiling fragment shader", "common.glsl:3: error: syntax error"});
    overlay.draw(transport, &timeline);
    const char* dir = std::getenv("DEMOSYS_TEST_OUTPUT");
    writePng((dir ? std::string(dir) + "/" : std::string()) + "edit_overlay.png", readPixels(0, 0, width, height));

    const int line = overlay.getTextRenderer().lineHeight();
    int red = 0, white = 0;
    canvas.count(0, 8 + 5 * line, red, white);
    EXPECT_GT(white, 500) << "the status lines at the top";
    EXPECT_EQ(red, 0);
    canvas.count(height - 8 - 3 * line, height, red, white);
    EXPECT_GT(red, 300) << "three error lines at the bottom";
    EXPECT_EQ(white, 0);
    EXPECT_EQ(overlay.errorLines().size(), 3u);

    // Fixed files clear their errors; hidden, the overlay draws nothing.
    overlay.clearError("post_process");
    overlay.setError("glasshall.sync", {});
    EXPECT_FALSE(overlay.hasErrors());
    glClear(GL_COLOR_BUFFER_BIT);
    overlay.draw(transport, &timeline);
    canvas.count(height - 8 - 3 * line, height, red, white);
    EXPECT_EQ(red, 0);
    overlay.toggle();
    glClear(GL_COLOR_BUFFER_BIT);
    overlay.draw(transport, &timeline);
    canvas.count(0, height, red, white);
    EXPECT_EQ(white, 0);
}
