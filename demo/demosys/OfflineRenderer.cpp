#include "OfflineRenderer.h"

#include "DataFBOPool.h"
#include "FBO.h"
#include "FMODTimer.h"
#include "HostClock.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "RenderState.h"
#include "ScreenMetrics.h"
#include "Timer.h"
#include "TrackManager.h"

#include <algorithm>
#include <memory>
#include <utility>

OfflineRenderer::OfflineRenderer(int w, int h) : width(w), height(h) {}

OfflineRenderer::~OfflineRenderer()
{
    if (framebuffer)
        glDeleteFramebuffers(1, &framebuffer);
    if (colorBuffer)
        glDeleteRenderbuffers(1, &colorBuffer);
    if (depthBuffer)
        glDeleteRenderbuffers(1, &depthBuffer);
}

Status OfflineRenderer::makeTarget()
{
    if (framebuffer)
        return Status::success();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width < 1 || height < 1 || width > maxSize || height > maxSize)
        return Status::failure("Offline render size " + std::to_string(width) + "x" + std::to_string(height) +
                               " is outside 1.." + std::to_string(maxSize));
    glGenRenderbuffers(1, &colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colorBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    // Effects clear stencil with everything else, so the target has one.
    glGenRenderbuffers(1, &depthBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);

    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    RenderState::invalidateFramebuffer();
    if (status != GL_FRAMEBUFFER_COMPLETE)
        return Status::failure("Offline render target is incomplete: " + FBO::statusTextOf(status));
    return Status::success();
}

namespace {

// The render's timer, screen settings, host clock and screen stand in for the engine's
// until the render returns, however it ends; the engine's timer waits in here meanwhile.
class StandIn {
public:
    StandIn(std::unique_ptr<Timer> timer, ScreenMetrics* metrics, GLuint target)
        : engineTimer(ORVDemosys::timer.exchange(std::move(timer))),
          engineMetrics(std::exchange(ORVDemosys::screenMetrics, metrics)), engineSource(HostClock::getSource())
    {
        FBO::redirectScreen(target);
    }
    ~StandIn()
    {
        FBO::redirectScreen(0);
        ORVDemosys::timer.exchange(std::move(engineTimer));
        ORVDemosys::screenMetrics = engineMetrics;
        HostClock::setSource(engineSource);
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

private:
    std::unique_ptr<Timer> engineTimer;
    ScreenMetrics* engineMetrics;
    HostClock::Source engineSource;
};

} // namespace

Status OfflineRenderer::render(int startMs, int framesPerSecond, int frameCount, const Sink& sink)
{
    if (framesPerSecond < 1 || framesPerSecond > 1000 || frameCount < 0 || startMs < 0)
        return Status::failure("Offline render needs 1..1000 frames per second, a frame count of 0 or more and a "
                               "start at or after 0 ms");
    return run(startMs, frameCount,
               [framesPerSecond](int k, int64_t& hostMs) { hostMs = static_cast<int64_t>(k) * 1000 / framesPerSecond; },
               sink);
}

Status OfflineRenderer::renderTimes(const std::vector<int>& timesMs, const Sink& sink)
{
    if (std::any_of(timesMs.begin(), timesMs.end(), [](int t) { return t < 0; }))
        return Status::failure("Offline render needs times at or after 0 ms");
    // The clock starts at the earliest time, so every frame's host time is at or after 0.
    const int earliest = timesMs.empty() ? 0 : *std::min_element(timesMs.begin(), timesMs.end());
    return run(earliest, static_cast<int>(timesMs.size()),
               [&timesMs, earliest](int k, int64_t& hostMs) { hostMs = timesMs[size_t(k)] - earliest; }, sink);
}

Status OfflineRenderer::run(int startMs, int frameCount, const Clocking& clocking, const Sink& sink)
{
    if (!ORVDemosys::tracks || !ORVDemosys::fboPool)
        return Status::failure("Offline render needs a loaded production");
    Status target = makeTarget();
    if (!target)
        return target;

    // The screen settings of a window of this size: same projection, own letterbox.
    ScreenMetrics metrics = ORVDemosys::screenMetrics ? *ORVDemosys::screenMetrics : ScreenMetrics();
    metrics.resize(width, height);

    // Host time in ms since the render began; each frame sets it exactly (the half ms
    // keeps the conversion to whole ms from rounding down).
    int64_t hostMs = 0;
    HostClock::Source drivenSource = [&hostMs]() { return (static_cast<double>(hostMs) + 0.5) / 1000.0; };
    // With music, a music timer that plays nothing and stands where the clock says, so
    // effects read the spectrum at each frame's time; otherwise the plain timer.
    const uint32_t rate = static_cast<uint32_t>(ORVDemosys::tracks->getRowsPerSecond());
    std::unique_ptr<Timer> ownTimer;
    if (ORVDemosys::musicFile.empty())
        ownTimer = std::make_unique<Timer>(rate);
    else
        ownTimer = std::make_unique<FMODTimer>(ORVDemosys::soundDirectory + ORVDemosys::musicFile, rate,
                                               FMODTimer::Output::Offline);
    StandIn standIn(std::move(ownTimer), &metrics, framebuffer);
    Timer* timer = ORVDemosys::timer;
    HostClock::setSource(drivenSource);
    // The load has closed the archive; the music is read from it again.
    if (ORVIO::getMode() == ORVIO::ModeArchive)
        ORVIO::init(ORVIO::ModeArchive);
    const bool ready = timer->init();
    if (ORVIO::getMode() == ORVIO::ModeArchive)
        ORVIO::release();
    if (!ready)
        return Status::failure("Offline render cannot load the music '" + ORVDemosys::musicFile +
                               "': " + timer->getMessage());
    timer->setTimeMs(startMs);
    timer->play();

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (int k = 0; k < frameCount; ++k) {
        clocking(k, hostMs);
        FBO::bind(nullptr);
        timer->update();
        int t = timer->getTimeMs();
        uint32_t row = timer->getRow();
        int dt = timer->getDeltaMs(t);
        if (!ORVDemosys::tracks->coversScreen(row))
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        ORVDemosys::tracks->drawFrame(static_cast<uint32_t>(t), row, dt);
        ORVDemosys::fboPool->clearUsed();

        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        RenderState::invalidateFramebuffer();
        if (!sink(Frame{k, t, width, height, pixels}))
            break;
    }
    return Status::success();
}
