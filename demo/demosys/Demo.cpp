#include "Demo.h"

#include "Assert.h"
#include "DataFBOPool.h"
#include "EditSession.h"
#include "FBO.h"
#include "GLError.h"
#include "Geometry.h"
#include "LoadingPipeline.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "QuadRenderer.h"
#include "ResourceDefinition.h"
#include "ScreenMetrics.h"
#include "TimeCode.h"
#include "Timer.h"
#include "TrackManager.h"
#include "Window.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

using ORVDemosys::Log;

namespace {
Demo* currentDemo = nullptr;
bool glfwStarted = false;

int32_t wallClockMs() { return static_cast<int32_t>(glfwGetTime() * 1000.0); }
} // namespace

Demo::Demo(int, char**) { currentDemo = this; }

Demo::~Demo()
{
    if (currentDemo == this)
        currentDemo = nullptr;
}

Demo* Demo::current() { return currentDemo; }

Status Demo::fail(const Status& failure)
{
    message = failure.reason();
    failed = true;
    return failure;
}

Status Demo::load(ScreenMetrics* metrics, int mode)
{
    ORV_ASSERT_AT(ORVDemosys::resources != nullptr, "ORVDemosys::resources != __null", "demo/demosys/Demo", 50,
                  "bool Demo::load(ScreenMetrics*, int)");
    // Offscreen, GLFW (which needs a display) stays down.
    if (!offscreen) {
        if (!glfwInit())
            return fail(Status::failure("Failed to initialize GLFW"));
        glfwStarted = true;
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 2);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        // Core contexts on every platform the demo runs on are forward-compatible.
        glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    }

    ORVIO::init(mode);

    LoadingPipeline::createDataPools();
    Status screen = LoadingPipeline::openScreen(metrics, title, offscreen);
    if (!screen) {
        // As the engine has always said it: the offscreen reason in parentheses, both
        // behind the size.
        screenMessage = offscreen ? " (" + screen.reason() + ")" : screen.reason();
        return fail(Status::failure("Failed to open screen : " + std::to_string(metrics->getWidth()) + "x" +
                                    std::to_string(metrics->getHeight()) + screenMessage));
    }

    if (offscreen) {
        // The context has loaded the entry points itself.
        Log::info() << "Offscreen context : " << describeOffscreen() << std::endl;
    } else {
        glewExperimental = GL_TRUE;
        if (glewInit() != GLEW_OK)
            return fail(Status::failure("Error initializing glew\n"));
        // The extension probing of the loader leaves an error behind in core contexts;
        // it is not the demo's.
        GLError::discard();
    }
    Log::info() << "OpenGL version : " << glGetString(GL_VERSION) << std::endl;
    Log::info() << "GLSL version : " << glGetString(GL_SHADING_LANGUAGE_VERSION) << std::endl;

    Geometry::build();

    Status resourcesLoaded = LoadingPipeline::loadResources();
    if (!resourcesLoaded)
        return fail(resourcesLoaded);
    ORVDemosys::resources->createEffectInstances();
    if (!LoadingPipeline::createTrackData()) {
        // The timeline has said what is wrong; the demo's own message stays empty.
        failed = true;
        return Status::failure("the timeline failed its checks");
    }
    Status soundSetUp = LoadingPipeline::setupSound();
    if (!soundSetUp)
        return fail(soundSetUp);
    ORVIO::release();
    loaded = true;
    return Status::success();
}

void Demo::setCallbacks()
{
    if (failed || !currentWindow())
        return;
    // Whatever was pressed during loading is still queued: read it with no callback, so
    // that an Escape pressed while loading does not end the demo on its first frame.
    pollWindowEvents();
    glfwSetKeyCallback(currentWindow(), onKey);
    glfwSetMouseButtonCallback(currentWindow(), onMouseButton);
}

void Demo::run()
{
    if (failed || !loaded || !currentWindow())
        return;
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    LoadingPipeline::demoInit();

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    ORVDemosys::loopStartMs = wallClockMs();
    Timer* timer = ORVDemosys::timer;
    while (!ORVDemosys::quitRequested()) {
        FBO::bind(nullptr);
        timer->update();
        // Reloads, loop and hold move the clock: before the frame reads it.
        if (ORVDemosys::editSession)
            ORVDemosys::editSession->beforeFrame();
        int t = timer->getTimeMs();
        uint32_t row = timer->getRow();
        int dt = timer->getDeltaMs(t);
        if (t > static_cast<int64_t>(ORVDemosys::endTime.getTotal()))
            ORVDemosys::setQuitRequested(true);
        if (!ORVDemosys::tracks || !ORVDemosys::tracks->coversScreen(row))
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        if (ORVDemosys::tracks)
            ORVDemosys::tracks->drawFrame(static_cast<uint32_t>(t), row, dt);
        if (ORVDemosys::editSession)
            ORVDemosys::editSession->afterFrame(ORVDemosys::tracks);
        ORVDemosys::fboPool->clearUsed();
        glfwSwapBuffers(currentWindow());
        // GLFW 3 delivers input when events are polled, no longer inside the swap.
        glfwPollEvents();
        if (glfwWindowShouldClose(currentWindow()))
            ORVDemosys::setQuitRequested(true);
        ++ORVDemosys::frameCount;
    }

    int d = timer->getTimeMs();
    Log::info() << "Duration : " << TimeCode(static_cast<uint32_t>(d < 0 ? 0 : d)).format() << std::endl;
    uint32_t elapsed = static_cast<uint32_t>(wallClockMs() - ORVDemosys::loopStartMs);
    // Frames over elapsed seconds as a fraction: whole seconds would be wrong by up to
    // half for short runs and divide by zero under one second.
    double fps = elapsed == 0 ? 0.0 : ORVDemosys::frameCount / (elapsed / 1000.0);
    Log::info() << "Average FPS = " << fps << std::endl;
}

bool ORVDemosys::shutdown()
{
    Log::info() << "[Shutting Down]" << std::endl;
    Demo* demo = Demo::current();
    if (demo && demo->hasFailed()) {
        Log::info() << "Message from demosys :" << std::endl
                  << demo->getScreenMessage() << std::endl
                  << "Message from resourceloader" << std::endl
                  << demo->getMessage() << std::endl;
    }
    LoadingPipeline::deletePools();
    // The shared meshes and the quad shader hold GL names of this context.
    if (hasScreen()) {
        QuadRenderer::release();
        Geometry::release();
    }
    closeWindow();
    if (glfwStarted) {
        glfwTerminate();
        glfwStarted = false;
    }
    Log::info() << "ORVDemosys::shutdown()" << std::endl << "[Application End]" << std::endl;
    return true;
}
