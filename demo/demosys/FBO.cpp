#include "FBO.h"

#include "DataTexturePool.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "OffscreenContext.h"
#include "RenderState.h"
#include "ScreenMetrics.h"
#include "Texture.h"


#include <algorithm>
#include <cmath>

using ORVDemosys::Log;

class FBO::Scope {
public:
    explicit Scope(const FBO& fbo)
    {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo.glName);
    }
    ~Scope()
    {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    GLint draw = 0;
    GLint read = 0;
};

FBO::FBO(unsigned int w, unsigned int h) : width(w), height(h)
{
    glGenFramebuffers(1, &glName);
}

FBO::FBO(unsigned int w, unsigned int h, bool withDepth, bool withStencil, GLint colorInternalFormat)
    : width(w), height(h)
{
    glGenFramebuffers(1, &glName);
    Scope scope(*this);
    Texture* color = createTexture(colorInternalFormat, GL_RGBA, GL_UNSIGNED_BYTE);
    colorTextures.push_back(color);
    drawBuffers.push_back(GL_COLOR_ATTACHMENT0);
    attach(GL_COLOR_ATTACHMENT0, color);
    if (withDepth) {
        depthTexture = createTexture(GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT);
        attach(GL_DEPTH_ATTACHMENT, depthTexture);
    }
    hasDepth = withDepth;
    hasStencil = withStencil;
    applyDrawBuffers();
    checkStatus();
}

std::vector<FBO*> FBO::clearingOnBind;
ScreenArea FBO::shownArea;
bool FBO::areaSet = false;
bool FBO::clipping = true;

FBO::~FBO()
{
    clearingOnBind.erase(std::remove(clearingOnBind.begin(), clearingOnBind.end(), this), clearingOnBind.end());
    if (glName != 0) {
        // GL falls back to the screen, but not to the screen's viewport.
        if (RenderState::getCurrentFramebuffer() == glName)
            RenderState::invalidateFramebuffer();
        glDeleteFramebuffers(1, &glName);
    }
    for (Texture* texture : ownedTextures)
        delete texture;
}

void FBO::poolTexture(Texture* texture, const char* kind)
{
    // Attachments added after creation are shared resources: effects look them up by
    // name, and the texture pool then owns them.
    if (!ORVDemosys::texturePool)
        return;
    std::string alias = "FBO_" + std::to_string(glName) + kind + std::to_string(texture->getGlName());
    ORVDemosys::texturePool->add(alias, texture);
    ownedTextures.erase(std::remove(ownedTextures.begin(), ownedTextures.end(), texture), ownedTextures.end());
}

Texture* FBO::createTexture(GLint internalFormat, GLenum format, GLenum type)
{
    Texture* texture = new Texture(static_cast<GLsizei>(width), static_cast<GLsizei>(height), internalFormat, format, type);
    ownedTextures.push_back(texture);
    return texture;
}

void FBO::attach(GLenum attachment, Texture* texture)
{
    glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, texture->getTarget(), texture->getGlName(), 0);
}

void FBO::applyDrawBuffers()
{
    // Draw and read buffers are state of the framebuffer object: set them whenever the
    // colour attachments change. Without colour there is nothing to draw or read.
    if (drawBuffers.empty()) {
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
    } else if (drawBuffers.size() == 1) {
        glDrawBuffer(drawBuffers[0]);
        glReadBuffer(drawBuffers[0]);
    } else {
        glDrawBuffers(static_cast<GLsizei>(drawBuffers.size()), drawBuffers.data());
        glReadBuffer(drawBuffers[0]);
    }
}

void FBO::addColorAttachment(GLint internalFormat, GLenum format)
{
    Texture* texture = createTexture(internalFormat, format, GL_UNSIGNED_BYTE);
    poolTexture(texture, "_color_");
    addColorTexture(texture);
}

void FBO::addColorTexture(Texture* texture)
{
    if (!texture)
        return;
    Scope scope(*this);
    GLenum attachment = GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(colorTextures.size());
    colorTextures.push_back(texture);
    drawBuffers.push_back(attachment);
    attach(attachment, texture);
    applyDrawBuffers();
    checkStatus();
}

void FBO::addDepthAttachment(GLint internalFormat, GLenum format)
{
    // A depth format with a byte type is refused by some core drivers; storage without
    // data only needs a type that is valid with the format.
    GLenum type = format == GL_DEPTH_STENCIL ? GL_UNSIGNED_INT_24_8 : GL_UNSIGNED_INT;
    Texture* texture = createTexture(internalFormat, format, type);
    poolTexture(texture, "_depth_");
    attachDepthTexture(texture);
}

void FBO::addDepthStencilAttachment()
{
    Texture* texture = createTexture(GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8);
    poolTexture(texture, "_depthstencil_");
    attachDepthStencilTexture(texture);
}

void FBO::attachDepthTexture(Texture* texture) { attachDepth(texture, false); }

void FBO::attachDepthStencilTexture(Texture* texture) { attachDepth(texture, true); }

void FBO::attachDepth(Texture* texture, bool withStencil)
{
    if (!texture)
        return;
    Scope scope(*this);
    depthTexture = texture;
    attach(withStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT, texture);
    hasDepth = true;
    hasStencil = hasStencil || withStencil;
    checkStatus();
}

std::string FBO::statusTextOf(GLenum status)
{
    switch (status) {
    case GL_FRAMEBUFFER_COMPLETE:
        return "Framebuffer is complete.";
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT:
        return "Framebuffer incomplete attachment";
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT:
        return "Framebuffer missing attachment";
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT:
        return "Framebuffer unsupported dimension.";
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT:
        return "Framebuffer incoplete formats.";
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER:
        return "Framebuffer incomplete draw buffer.";
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER:
        return "Framebuffer incomplete read buffer";
    case GL_FRAMEBUFFER_UNSUPPORTED:
        return "Framebuffer unsupported. Try another format.";
    default:
        return "Unknown framebuffer errror.";
    }
}

bool FBO::checkStatus()
{
    Scope scope(*this);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    statusText = statusTextOf(status);
    complete = status == GL_FRAMEBUFFER_COMPLETE;
    if (!complete)
        Log::info() << "FBO " << statusText << "(" << status << ")" << " = " << "false" << std::endl;
    return complete;
}

void FBO::bind(FBO* fbo)
{
    if (!fbo) {
        bindScreen();
        return;
    }
    if (RenderState::getCurrentFramebuffer() != fbo->glName) {
        glBindFramebuffer(GL_FRAMEBUFFER, fbo->glName);
        glViewport(0, 0, static_cast<GLsizei>(fbo->width), static_cast<GLsizei>(fbo->height));
        RenderState::setCurrentFramebuffer(fbo->glName);
        if (fbo->drawBuffers.size() >= 2)
            glDrawBuffers(static_cast<GLsizei>(fbo->drawBuffers.size()), fbo->drawBuffers.data());
    }
    applyShownArea(fbo);
    if (fbo->hasPendingClear())
        fbo->clearAttachments(Select::pending);
}

void FBO::setShownArea(const ScreenArea& area)
{
    if (!clipping)
        return;
    if (area.isWhole()) {
        showAll();
        return;
    }
    shownArea = area;
    areaSet = true;
}

void FBO::showAll()
{
    if (areaSet)
        glDisable(GL_SCISSOR_TEST);
    areaSet = false;
}

void FBO::setClipping(bool enabled)
{
    if (!enabled)
        showAll();
    clipping = enabled;
}

void FBO::applyShownArea(FBO* fbo)
{
    // Without a shown area the scissor is the effects' own business.
    if (!areaSet)
        return;
    if (fbo && !fbo->followsScreen) {
        glDisable(GL_SCISSOR_TEST);
        return;
    }
    int x = 0, y = 0, w = 0, h = 0;
    if (const ScreenMetrics* metrics = fbo ? nullptr : ORVDemosys::screenMetrics) {
        x = metrics->getViewportX();
        y = metrics->getViewportY();
        w = metrics->getViewportWidth();
        h = metrics->getViewportHeight();
    } else {
        targetSize(fbo, w, h);
    }
    const int left = x + static_cast<int>(std::floor(shownArea.x0 * float(w)));
    const int right = x + static_cast<int>(std::ceil(shownArea.x1 * float(w)));
    const int bottom = y + static_cast<int>(std::floor(shownArea.y0 * float(h)));
    const int top = y + static_cast<int>(std::ceil(shownArea.y1 * float(h)));
    glScissor(left, bottom, std::max(0, right - left), std::max(0, top - bottom));
    glEnable(GL_SCISSOR_TEST);
}

void FBO::redirectScreen(GLuint framebuffer)
{
    RenderState::setScreenFramebuffer(framebuffer);
    RenderState::invalidateFramebuffer();
}

GLuint FBO::getScreenFramebuffer() { return RenderState::getScreenFramebuffer(); }

void FBO::bindScreen()
{
    if (RenderState::getCurrentFramebuffer() != 0) {
        glBindFramebuffer(GL_FRAMEBUFFER, RenderState::getScreenFramebuffer());
        if (const ScreenMetrics* metrics = ORVDemosys::screenMetrics)
            glViewport(metrics->getViewportX(), metrics->getViewportY(), metrics->getViewportWidth(),
                       metrics->getViewportHeight());
        RenderState::setCurrentFramebuffer(0);
    }
    applyShownArea(nullptr);
}

namespace {
// Whatever masks and scissor the last pass left, a clear reaches every pixel, every
// channel and the depth; the masks and the scissor are put back afterwards.
class ClearMasks {
public:
    ClearMasks()
    {
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
        scissor = glIsEnabled(GL_SCISSOR_TEST);
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_SCISSOR_TEST);
    }
    ~ClearMasks()
    {
        glDepthMask(depthMask);
        glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
        if (scissor)
            glEnable(GL_SCISSOR_TEST);
    }
    ClearMasks(const ClearMasks&) = delete;
    ClearMasks& operator=(const ClearMasks&) = delete;

private:
    GLboolean depthMask = GL_TRUE;
    GLboolean scissor = GL_FALSE;
    GLboolean colourMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
};
} // namespace

void FBO::bindAndClear(FBO* fbo)
{
    if (!fbo)
        return;
    bind(fbo);
    fbo->dirty = false;
    fbo->clearAttachments(Select::all);
}

void FBO::clearAttachments(Select which)
{
    auto selected = [which](const Texture* texture) {
        return which == Select::all || (which == Select::stale && !texture->isCleared()) ||
               (which == Select::pending && texture->isClearPending());
    };
    bool all = !depthTexture || selected(depthTexture);
    bool any = depthTexture && selected(depthTexture);
    for (const Texture* texture : colorTextures) {
        all = all && selected(texture);
        any = any || selected(texture);
    }
    if (!any)
        return;
    ClearMasks masks;
    if (all) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    } else {
        // The others were cleared through another FBO since they were last drawn, or
        // hold this frame's drawing: only these, with the values glClear would use.
        GLfloat colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
        for (size_t i = 0; i < colorTextures.size(); ++i)
            if (selected(colorTextures[i]))
                glClearBufferfv(GL_COLOR, static_cast<GLint>(i), colour);
        if (depthTexture && selected(depthTexture)) {
            GLfloat depth = 1.0f;
            glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
            if (hasStencil) {
                GLint stencil = 0;
                glGetIntegerv(GL_STENCIL_CLEAR_VALUE, &stencil);
                glClearBufferfi(GL_DEPTH_STENCIL, 0, depth, stencil);
            } else {
                glClearBufferfv(GL_DEPTH, 0, &depth);
            }
        }
    }
    for (Texture* texture : colorTextures)
        if (selected(texture)) {
            texture->setCleared(true);
            texture->setClearPending(false);
        }
    if (depthTexture && selected(depthTexture)) {
        depthTexture->setCleared(true);
        depthTexture->setClearPending(false);
    }
}

bool FBO::hasPendingClear() const
{
    if (depthTexture && depthTexture->isClearPending())
        return true;
    for (const Texture* texture : colorTextures)
        if (texture->isClearPending())
            return true;
    return false;
}

void FBO::bindAndClearIfUsed(FBO* fbo)
{
    if (!fbo)
        return;
    bind(fbo);
    fbo->clearAttachments(Select::stale);
    fbo->dirty = false;
}

void FBO::markDirty(FBO* fbo)
{
    if (!fbo)
        return;
    fbo->dirty = true;
    for (Texture* texture : fbo->colorTextures)
        texture->setCleared(false);
    if (fbo->depthTexture)
        fbo->depthTexture->setCleared(false);
}

bool FBO::isClean(FBO* fbo)
{
    if (!fbo)
        return false;
    auto clean = [](const Texture* texture) { return texture->isCleared() || texture->isClearPending(); };
    if (fbo->depthTexture && !clean(fbo->depthTexture))
        return false;
    for (const Texture* texture : fbo->colorTextures)
        if (!clean(texture))
            return false;
    return true;
}

void FBO::setClearOnBind(bool enabled)
{
    clearOnBind = enabled;
    clearingOnBind.erase(std::remove(clearingOnBind.begin(), clearingOnBind.end(), this), clearingOnBind.end());
    if (enabled) {
        clearingOnBind.push_back(this);
        oweClear();
    }
}

bool FBO::holds(const Texture* texture) const
{
    return texture == depthTexture || std::find(colorTextures.begin(), colorTextures.end(), texture) != colorTextures.end();
}

void FBO::payOwedClear(const Texture* texture)
{
    for (FBO* fbo : clearingOnBind) {
        if (!fbo->holds(texture) || !fbo->hasPendingClear())
            continue;
        // A pass is reading, its own target bound: that binding comes back after.
        GLint drawn = 0, read = 0, viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo->glName);
        fbo->clearAttachments(Select::pending);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawn));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        return;
    }
}

void FBO::oweClear()
{
    // Only what is not clear already: an attachment cleared through another FBO since it
    // was drawn is not owed again, as the frame-end clear of stale attachments leaves it.
    for (Texture* texture : colorTextures)
        if (!texture->isCleared())
            texture->setClearPending(true);
    if (depthTexture && !depthTexture->isCleared())
        depthTexture->setClearPending(true);
}

void FBO::endFrame(FBO* fbo)
{
    if (!fbo || !fbo->dirty)
        return;
    if (fbo->clearOnBind) {
        fbo->oweClear();
        fbo->dirty = false;
    } else {
        bindAndClearIfUsed(fbo);
    }
}

bool FBO::isBound() const { return RenderState::getCurrentFramebuffer() == glName; }

Texture* FBO::getColorTexture(FBO* fbo, int index)
{
    if (!fbo || index < 0 || index >= fbo->getColorTextureCount())
        return nullptr;
    return fbo->colorTextures[static_cast<size_t>(index)];
}

Texture* FBO::getDepthTexture(FBO* fbo) { return fbo ? fbo->depthTexture : nullptr; }
unsigned int FBO::getWidth(FBO* fbo) { return fbo ? fbo->width : 0; }
unsigned int FBO::getHeight(FBO* fbo) { return fbo ? fbo->height : 0; }
GLuint FBO::getGlName(FBO* fbo) { return fbo ? fbo->glName : RenderState::getScreenFramebuffer(); }
bool FBO::isDirty(FBO* fbo) { return fbo && fbo->dirty; }
bool FBO::isComplete(FBO* fbo) { return fbo && fbo->complete; }
std::string FBO::getStatusText(FBO* fbo) { return fbo ? fbo->statusText : "unknown"; }

void FBO::bindColorTexture()
{
    if (complete && !colorTextures.empty())
        colorTextures[0]->bind();
}

void FBO::targetSize(FBO* fbo, int& w, int& h)
{
    w = h = 0;
    if (fbo) {
        w = static_cast<int>(fbo->width);
        h = static_cast<int>(fbo->height);
    } else if (const ScreenMetrics* metrics = ORVDemosys::screenMetrics) {
        w = metrics->getWidth();
        h = metrics->getHeight();
    } else {
        // No demo screen (tools, tests): the default framebuffer of the current context.
        OffscreenContext::currentScreenSize(w, h);
    }
}

void FBO::payOwedClears(FBO* src, FBO* dst)
{
    // A blit reads and writes behind the binds: what is owed to either is cleared first.
    for (FBO* fbo : {src, dst})
        if (fbo && fbo->hasPendingClear()) {
            bind(fbo);
            fbo->clearAttachments(Select::pending);
        }
}

bool FBO::selectBlitTargets(FBO* src, int srcAttachment, FBO* dst, int dstAttachment)
{
    bool badSource = src && (srcAttachment < 0 || srcAttachment >= src->getColorTextureCount());
    bool badTarget = dst && (dstAttachment < 0 || dstAttachment >= dst->getColorTextureCount());
    if (badSource || badTarget) {
        Log::warning() << "FBO blit: no colour attachment " << (badSource ? srcAttachment : dstAttachment) << " in "
                  << describe(badSource ? src : dst) << std::endl;
        return false;
    }
    payOwedClears(src, dst);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, getGlName(src));
    if (src)
        glReadBuffer(GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(srcAttachment));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, getGlName(dst));
    if (dst)
        glDrawBuffer(GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(dstAttachment));
    // Blits stay whole: clipped, a software rasteriser copies through a drawing instead
    // of row by row, at three times the cost. The next bind sets the scissor again.
    if (areaSet)
        glDisable(GL_SCISSOR_TEST);
    return true;
}

void FBO::finishBlit(FBO* src, FBO* dst)
{
    // The blit chose single read and draw buffers on the objects themselves; put back
    // their full sets, or the next draw into dst would reach one attachment only.
    if (src && !src->drawBuffers.empty())
        glReadBuffer(src->drawBuffers[0]);
    if (dst) {
        if (dst->drawBuffers.size() == 1)
            glDrawBuffer(dst->drawBuffers[0]);
        else if (dst->drawBuffers.size() > 1)
            glDrawBuffers(static_cast<GLsizei>(dst->drawBuffers.size()), dst->drawBuffers.data());
    }
    // Read and draw bindings now differ from what the cache says.
    RenderState::invalidateFramebuffer();
}

void FBO::blitColor(FBO* src, int srcAttachment, FBO* dst, int dstAttachment, GLenum filter)
{
    int sw = 0, sh = 0, dw = 0, dh = 0;
    targetSize(src, sw, sh);
    targetSize(dst, dw, dh);
    blitColorRect(src, srcAttachment, 0, 0, sw, sh, dst, dstAttachment, 0, 0, dw, dh, filter);
}

void FBO::blitColorRect(FBO* src, int srcAttachment, int srcX0, int srcY0, int srcX1, int srcY1, FBO* dst,
                        int dstAttachment, int dstX0, int dstY0, int dstX1, int dstY1, GLenum filter)
{
    if (!selectBlitTargets(src, srcAttachment, dst, dstAttachment))
        return;
    glBlitFramebuffer(srcX0, srcY0, srcX1, srcY1, dstX0, dstY0, dstX1, dstY1, GL_COLOR_BUFFER_BIT, filter);
    finishBlit(src, dst);
}

void FBO::blitDepth(FBO* src, FBO* dst)
{
    int sw = 0, sh = 0, dw = 0, dh = 0;
    targetSize(src, sw, sh);
    targetSize(dst, dw, dh);
    payOwedClears(src, dst);
    // Depth has no read or draw buffer to choose (glReadBuffer takes colour buffers only).
    glBindFramebuffer(GL_READ_FRAMEBUFFER, getGlName(src));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, getGlName(dst));
    if (areaSet)
        glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, sw, sh, 0, 0, dw, dh, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    RenderState::invalidateFramebuffer();
}

std::string FBO::describe(FBO* fbo)
{
    if (!fbo)
        return "** screen or nullpointer**";
    std::string text = "FBO(" + std::to_string(fbo->width) + "," + std::to_string(fbo->height) + ",COLOR_BUFFER";
    if (fbo->hasDepth)
        text += ",DEPTH_BUFFER";
    if (fbo->hasStencil)
        text += ",STENCIL_BUFFER";
    return text + ")";
}
