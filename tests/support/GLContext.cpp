#include "GLContext.h"

#include "OffscreenContext.h"

#include <cstdio>
#include <memory>

namespace {
std::unique_ptr<OffscreenContext> shared;
} // namespace

bool GLContext::ensure(int width, int height)
{
    if (shared)
        return true;
    auto made = std::make_unique<OffscreenContext>();
    Status opened = made->open(width, height);
    if (!opened) {
        std::fprintf(stderr, "No GL 3.2 core context: %s\n", opened.reason().c_str());
        return false;
    }
    shared = std::move(made);
    return true;
}

OffscreenContext* GLContext::context() { return shared.get(); }

void GLContext::destroy() { shared.reset(); }
