// The offline renderer on an empty timeline: the frame times it drives, the pixels it
// hands over, the music it stands at each frame's time, and the engine state it puts
// back.
#include "DataFBOPool.h"
#include "FBO.h"
#include "FMODTimer.h"
#include "HostClock.h"
#include "LogCapture.h"
#include "ORVDemosys.h"
#include "OfflineRenderer.h"
#include "SoundTestFiles.h"
#include "TempDir.h"
#include "Timer.h"
#include "TrackManager.h"
#include "StatusCheck.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

class OfflineRendererTest : public testing::Test {
protected:
    void TearDown() override
    {
        ORVDemosys::tracks = nullptr;
        ORVDemosys::fboPool = nullptr;
        ORVDemosys::musicFile.clear();
        HostClock::resetSource();
    }
    void install()
    {
        ORVDemosys::tracks = new TrackManager();
        ORVDemosys::fboPool = new DataFBOPool();
    }
};

} // namespace

TEST_F(OfflineRendererTest, RefusesWithoutAProductionOrWithBadArguments)
{
    OfflineRenderer renderer(32, 16);
    auto never = [](const OfflineRenderer::Frame&) {
        ADD_FAILURE() << "no frame may be drawn";
        return true;
    };
    EXPECT_EQ(renderer.render(0, 30, 2, never).reason(), "Offline render needs a loaded production");

    install();
    EXPECT_FALSE(renderer.render(0, 0, 2, never));
    EXPECT_FALSE(renderer.render(-5, 30, 2, never));
    EXPECT_FALSE(OfflineRenderer(0, 16).render(0, 30, 2, never));
    EXPECT_FALSE(OfflineRenderer(1 << 20, 16).render(0, 30, 2, never));
}

TEST_F(OfflineRendererTest, DrivesFixedFrameTimesAndPutsTheEngineBack)
{
    install();
    // A source of its own and a timer of the engine's that the render must not touch.
    HostClock::setSource([] { return 42.0; });
    Timer* engineTimer = new Timer(20);
    ORVDemosys::timer = engineTimer;

    glClearColor(0.2f, 0.4f, 0.6f, 1.0f); // the render clears to black, as the demo does
    OfflineRenderer renderer(40, 30);
    std::vector<int> times;
    std::vector<uint8_t> first;
    ASSERT_TRUE(succeeds(renderer.render(1000, 60, 5, [&](const OfflineRenderer::Frame& frame) {
        EXPECT_EQ(frame.index, static_cast<int>(times.size()));
        EXPECT_EQ(frame.width, 40);
        EXPECT_EQ(frame.height, 30);
        EXPECT_EQ(frame.pixels.size(), 40u * 30u * 4u);
        // The timeline's timer while rendering is the renderer's, not the engine's.
        EXPECT_NE(ORVDemosys::timer, engineTimer);
        EXPECT_EQ(ORVDemosys::timer->getTimeMs(), frame.timeMs);
        times.push_back(frame.timeMs);
        if (first.empty())
            first = frame.pixels;
        return true;
    })));
    // Frame k at 1000 + k * 1000 / 60 ms, in whole ms.
    EXPECT_EQ(times, (std::vector<int>{1000, 1016, 1033, 1050, 1066}));
    ASSERT_FALSE(first.empty());
    for (size_t i = 0; i < first.size(); ++i)
        ASSERT_EQ(first[i], 0) << "byte " << i;

    EXPECT_EQ(ORVDemosys::timer, engineTimer);
    EXPECT_EQ(FBO::getScreenFramebuffer(), 0u);
    EXPECT_EQ(HostClock::seconds(), 42.0);
    ORVDemosys::timer = nullptr;

    // A sink that says stop ends the render after that frame.
    int calls = 0;
    EXPECT_TRUE(renderer.render(0, 30, 10, [&](const OfflineRenderer::Frame&) { return ++calls < 3; }));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(OfflineRendererTest, WithMusicEachFrameReadsTheSpectrumAtItsTime)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir(true);
    // A 2 s tone that moves from bin 10 to bin 40 of a 128-value spectrum at 1 s.
    const int rate = 44100;
    const double bin = rate / 256.0;
    dir.write("resources/sound/tone.wav", soundtest::makeWav(rate, 2, rate * 2, [&](size_t frame, int) {
                  const double hz = (frame >= size_t(rate) ? 40 : 10) * bin;
                  return std::sin(2.0 * 3.14159265358979 * hz * double(frame) / rate);
              }));
    install();
    OfflineRenderer renderer(8, 8);

    ORVDemosys::musicFile = "missing.wav";
    captureLog();
    Status rendered = renderer.render(0, 4, 4, [](const OfflineRenderer::Frame&) { return true; });
    capturedLog();
    EXPECT_FALSE(rendered);
    EXPECT_EQ(rendered.reason().rfind("Offline render cannot load the music 'missing.wav': ", 0), 0u)
        << rendered.reason();

    ORVDemosys::musicFile = "tone.wav";
    auto render = [&]() {
        std::vector<std::vector<float>> spectra;
        captureLog();
        Status ok = renderer.render(500, 4, 4, [&](const OfflineRenderer::Frame& frame) {
            FMODTimer* music = dynamic_cast<FMODTimer*>(ORVDemosys::timer.get());
            EXPECT_NE(music, nullptr);
            if (music) {
                EXPECT_EQ(music->getMusicPositionMs(), frame.timeMs);
            }
            std::vector<float> spectrum(128);
            ORVDemosys::timer->getSpectrum(0, 128, spectrum.data());
            spectra.push_back(spectrum);
            return true;
        });
        capturedLog();
        EXPECT_TRUE(succeeds(ok));
        return spectra;
    };
    const std::vector<std::vector<float>> first = render();
    ASSERT_EQ(first.size(), 4u);
    auto peak = [](const std::vector<float>& v) { return std::max_element(v.begin(), v.end()) - v.begin(); };
    // Frames at 500, 750, 1000 and 1250 ms.
    EXPECT_EQ(peak(first[0]), 10);
    EXPECT_EQ(peak(first[1]), 10);
    EXPECT_EQ(peak(first[3]), 40);
    EXPECT_EQ(render(), first);
    EXPECT_EQ(ORVDemosys::timer, nullptr);
}
