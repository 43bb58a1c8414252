#include "OffscreenContext.h"

#include "GLError.h"
#include "RenderState.h"

#include <GL/glew.h>
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

// An EGL display is one per platform and device, shared by every context on it, and
// terminating it ends them all: it is terminated when its last context goes.
std::map<EGLDisplay, int>& displayUsers()
{
    static std::map<EGLDisplay, int> users;
    return users;
}

void releaseDisplay(EGLDisplay display)
{
    auto& users = displayUsers();
    auto it = users.find(display);
    if (it != users.end() && --it->second <= 0) {
        eglTerminate(display);
        users.erase(it);
    }
}

// GLFW starts with the first hidden window and ends with the last: the programs that
// fall back to one use GLFW for nothing else.
int hiddenWindows = 0;

bool hasExtension(const char* list, const char* name)
{
    if (!list)
        return false;
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool starts = p == list || p[-1] == ' ';
        const bool ends = p[length] == ' ' || p[length] == '\0';
        if (starts && ends)
            return true;
    }
    return false;
}

// Mesa's switch to its software rasteriser; a card's own driver does not read it.
bool softwareRequested()
{
    const char* value = std::getenv("LIBGL_ALWAYS_SOFTWARE");
    return value && *value && std::strcmp(value, "0") != 0 && std::strcmp(value, "false") != 0;
}

std::string eglErrorText()
{
    const EGLint code = eglGetError();
    char text[32];
    std::snprintf(text, sizeof(text), "EGL error 0x%04X", static_cast<unsigned>(code));
    return text;
}

const char* kindName(OffscreenContext::Kind kind)
{
    switch (kind) {
    case OffscreenContext::Kind::EglDevice: return "EGL device platform";
    case OffscreenContext::Kind::EglSurfaceless: return "EGL surfaceless platform";
    case OffscreenContext::Kind::HiddenWindow: return "hidden GLFW window";
    case OffscreenContext::Kind::None: break;
    }
    return "none";
}

} // namespace

OffscreenContext::~OffscreenContext() { close(); }

Status OffscreenContext::open(int w, int h)
{
    close();
    if (w < 1 || h < 1)
        return Status::failure("offscreen context size " + std::to_string(w) + "x" + std::to_string(h) + " is empty");
    width = w;
    height = h;
    std::string reasons;
    auto note = [&reasons](const std::string& text) { reasons += (reasons.empty() ? "" : "; ") + text; };
    // Made current: the entry points and the caches follow.
    auto ready = [this, &note, &reasons]() {
        Status loaded = loadFunctions();
        if (!loaded) {
            note(std::string(kindName(kind)) + ": " + loaded.reason());
            close();
            return Status::failure(reasons);
        }
        RenderState::reset();
        const GLubyte* name = glGetString(GL_RENDERER);
        renderer = name ? reinterpret_cast<const char*>(name) : "";
        return Status::success();
    };

    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!hasExtension(clientExtensions, "EGL_EXT_platform_base") || !getPlatformDisplay) {
        note("EGL: no platform displays (EGL_EXT_platform_base)");
    } else {
        auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
        auto queryDeviceString =
            reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
        if (!hasExtension(clientExtensions, "EGL_EXT_platform_device") || !queryDevices || !queryDeviceString) {
            note("EGL device platform: not supported");
        } else if (softwareRequested()) {
            note("EGL device platform: skipped, LIBGL_ALWAYS_SOFTWARE asks for the software rasteriser");
        } else {
            EGLint count = 0;
            std::vector<EGLDeviceEXT> devices;
            if (queryDevices(0, nullptr, &count) && count > 0) {
                devices.resize(static_cast<size_t>(count));
                if (!queryDevices(count, devices.data(), &count))
                    count = 0;
                devices.resize(static_cast<size_t>(count));
            }
            int cards = 0;
            for (EGLDeviceEXT device : devices) {
                // Mesa's software device: the surfaceless platform below gives the same.
                if (hasExtension(queryDeviceString(device, EGL_EXTENSIONS), "EGL_MESA_device_software"))
                    continue;
                ++cards;
                Status made = openEgl(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, device, nullptr), Kind::EglDevice);
                if (made)
                    return ready();
                note("EGL device platform, card " + std::to_string(cards) + ": " + made.reason());
            }
            if (cards == 0)
                note("EGL device platform: no graphics card");
        }
        if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
            note("EGL surfaceless platform: not supported");
        } else {
            Status made = openEgl(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr),
                                  Kind::EglSurfaceless);
            if (made)
                return ready();
            note("EGL surfaceless platform: " + made.reason());
        }
    }

    const char* x = std::getenv("DISPLAY");
    if (!x || !*x) {
        note("hidden window: no X display (DISPLAY is not set)");
    } else {
        Status made = openHiddenWindow();
        if (made)
            return ready();
        note("hidden window on " + std::string(x) + ": " + made.reason());
    }
    return Status::failure(reasons.empty() ? "no GL context" : reasons);
}

Status OffscreenContext::openEgl(void* platformDisplay, Kind as)
{
    EGLDisplay dpy = static_cast<EGLDisplay>(platformDisplay);
    if (dpy == EGL_NO_DISPLAY)
        return Status::failure("no display (" + eglErrorText() + ")");
    EGLint major = 0, minor = 0;
    if (!eglInitialize(dpy, &major, &minor))
        return Status::failure("cannot initialise (" + eglErrorText() + ")");
    ++displayUsers()[dpy];
    auto fail = [&](const std::string& text) {
        Status failed = Status::failure(text + " (" + eglErrorText() + ")");
        releaseDisplay(dpy);
        return failed;
    };
    // Versioned core contexts: EGL 1.5, or 1.4 with the extension.
    if ((major == 1 && minor < 5) && !hasExtension(eglQueryString(dpy, EGL_EXTENSIONS), "EGL_KHR_create_context"))
        return fail("EGL " + std::to_string(major) + "." + std::to_string(minor) + " makes no versioned contexts");
    if (!eglBindAPI(EGL_OPENGL_API))
        return fail("no desktop OpenGL");
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                       EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(dpy, configAttributes, &config, 1, &configs) || configs < 1)
        return fail("no RGBA8 pbuffer configuration with 24-bit depth and 8-bit stencil");
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION_KHR, 3, EGL_CONTEXT_MINOR_VERSION_KHR, 2,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK_KHR, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT_KHR,
                                        EGL_CONTEXT_FLAGS_KHR, EGL_CONTEXT_OPENGL_FORWARD_COMPATIBLE_BIT_KHR,
                                        EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, contextAttributes);
    if (ctx == EGL_NO_CONTEXT)
        return fail("no GL 3.2 core context");
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surf = eglCreatePbufferSurface(dpy, config, surfaceAttributes);
    if (surf == EGL_NO_SURFACE) {
        const std::string text = "no " + std::to_string(width) + "x" + std::to_string(height) + " pbuffer";
        eglDestroyContext(dpy, ctx);
        return fail(text);
    }
    if (!eglMakeCurrent(dpy, surf, surf, ctx)) {
        eglDestroySurface(dpy, surf);
        eglDestroyContext(dpy, ctx);
        return fail("cannot make the context current");
    }
    display = dpy;
    context = ctx;
    surface = surf;
    kind = as;
    return Status::success();
}

Status OffscreenContext::openHiddenWindow()
{
    auto glfwReason = [](const char* fallback) {
        const char* text = nullptr;
        glfwGetError(&text);
        return std::string(text ? text : fallback);
    };
    if (hiddenWindows == 0 && !glfwInit())
        return Status::failure(glfwReason("GLFW does not start"));
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 2);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    window = glfwCreateWindow(width, height, "offscreen", nullptr, nullptr);
    if (!window) {
        Status failed = Status::failure(glfwReason("no window with a GL 3.2 core context"));
        if (hiddenWindows == 0)
            glfwTerminate();
        return failed;
    }
    ++hiddenWindows;
    glfwMakeContextCurrent(window);
    kind = Kind::HiddenWindow;
    return Status::success();
}

bool OffscreenContext::makeCurrent()
{
    bool ok = false;
    if (context)
        ok = eglMakeCurrent(static_cast<EGLDisplay>(display), static_cast<EGLSurface>(surface),
                            static_cast<EGLSurface>(surface), static_cast<EGLContext>(context));
    else if (window) {
        glfwMakeContextCurrent(window);
        ok = glfwGetCurrentContext() == window;
    }
    // The caches describe the context that was current before.
    if (ok)
        RenderState::reset();
    return ok;
}

void OffscreenContext::close()
{
    if (context) {
        EGLDisplay dpy = static_cast<EGLDisplay>(display);
        if (eglGetCurrentContext() == context)
            eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroySurface(dpy, static_cast<EGLSurface>(surface));
        eglDestroyContext(dpy, static_cast<EGLContext>(context));
        releaseDisplay(dpy);
    }
    if (window) {
        if (glfwGetCurrentContext() == window)
            glfwMakeContextCurrent(nullptr);
        glfwDestroyWindow(window);
        if (--hiddenWindows == 0)
            glfwTerminate();
    }
    display = context = surface = nullptr;
    window = nullptr;
    kind = Kind::None;
    renderer.clear();
}

std::string OffscreenContext::describe() const
{
    return std::string(kindName(kind)) + (renderer.empty() ? "" : ", " + renderer);
}

const void* OffscreenContext::currentHandle()
{
    EGLContext egl = eglGetCurrentContext();
    if (egl != EGL_NO_CONTEXT)
        return egl;
    return glfwGetCurrentContext();
}

bool OffscreenContext::currentScreenSize(int& w, int& h)
{
    w = h = 0;
    if (eglGetCurrentContext() != EGL_NO_CONTEXT) {
        EGLSurface drawn = eglGetCurrentSurface(EGL_DRAW);
        EGLint ew = 0, eh = 0;
        if (drawn == EGL_NO_SURFACE || !eglQuerySurface(eglGetCurrentDisplay(), drawn, EGL_WIDTH, &ew) ||
            !eglQuerySurface(eglGetCurrentDisplay(), drawn, EGL_HEIGHT, &eh))
            return false;
        w = ew;
        h = eh;
        return true;
    }
    if (GLFWwindow* current = glfwGetCurrentContext()) {
        glfwGetFramebufferSize(current, &w, &h);
        return true;
    }
    return false;
}

Status OffscreenContext::loadFunctions()
{
    glewExperimental = GL_TRUE;
    const GLenum result = glewInit();
    // GLEW built for GLX loads the context's entry points first, then looks for a GLX
    // display, which an EGL context has none of: that failure is not the context's as
    // long as the entry points the engine needs beyond GL 1.1 are there.
    const bool loaded = result == GLEW_OK || (result == GLEW_ERROR_NO_GLX_DISPLAY && glGenFramebuffers &&
                                              glGenVertexArrays && glCreateShader && glGetStringi && glDrawBuffers);
    // GLEW's probing leaves an error behind on core contexts.
    GLError::discard();
    if (!loaded)
        return Status::failure(std::string("cannot load the GL entry points: ") +
                               reinterpret_cast<const char*>(glewGetErrorString(result)));
    return Status::success();
}
