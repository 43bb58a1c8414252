#pragma once

#include "NonCopyable.h"
#include "ScreenArea.h"

#include <GL/glew.h>

#include <string>
#include <vector>

class Texture;

// One GL framebuffer object with its colour textures and an optional depth or
// depth-stencil texture, all of the FBO's size. A null FBO pointer stands for the
// screen in every static operation.
//
// The FBO deletes the textures it creates itself; textures attached from outside stay
// with their owners. Binding goes through one process-wide cache (RenderState); every
// operation that binds behind it (attachment changes, blits) leaves the cache exact or
// invalid, never wrong.
class FBO : NonCopyable {
public:
    // No attachments.
    FBO(unsigned int width, unsigned int height);
    // One colour texture (colourInternalFormat, RGBA bytes) and, when withDepth, a 24-bit
    // depth texture; withStencil only marks the FBO.
    FBO(unsigned int width, unsigned int height, bool withDepth, bool withStencil, GLint colorInternalFormat);
    ~FBO();

    // Each attachment change ends with a status check; the framebuffer bindings are as
    // they were before the call.
    void addColorAttachment(GLint internalFormat, GLenum format);
    void addColorTexture(Texture* texture);
    void addDepthAttachment(GLint internalFormat, GLenum format);
    void addDepthStencilAttachment();
    void attachDepthTexture(Texture* texture);
    void attachDepthStencilTexture(Texture* texture);

    // Binds for drawing (read too) and sets the viewport to the FBO's size, unless it is
    // bound already. Null binds the screen.
    static void bind(FBO* fbo);
    // Binds the screen with the letterbox viewport, unless it is bound already. Without
    // screen metrics (no window of the demo's own) the viewport is left alone.
    static void bindScreen();
    // Sends everything drawn to "the screen" into another framebuffer (0: the window
    // again). Offline rendering points it at its own target, so effects draw a frame
    // exactly as they would on the window.
    static void redirectScreen(GLuint framebuffer);
    static GLuint getScreenFramebuffer();
    // Binds and clears colour, depth and stencil (whatever the write masks); clears the
    // dirty flag. Null: nothing.
    static void bindAndClear(FBO* fbo);
    // The same, but only the attachments drawn into since their last clear are cleared,
    // through this FBO or any other that shares them (the G-buffer and the light buffers
    // share a depth texture and a colour texture): a full-screen clear costs a software
    // rasteriser about what a pass does, and a shared attachment needs it once.
    static void bindAndClearIfUsed(FBO* fbo);
    // Marks the FBO drawn into, and so each of its attachments, wherever else attached.
    static void markDirty(FBO* fbo);
    // Clearing on bind: the end-of-frame clear (DataFBOPool::clearUsed) of this FBO's
    // attachments is owed until an FBO they are attached to is next bound or blitted,
    // where a software rasteriser folds the clear into the drawing that follows (each
    // tile is cleared while it is in cache) instead of clearing in a pass of its own.
    // A texture read before that bind (Texture::bind) is cleared first, so what any
    // pass sees is what the frame-end clear would have left. Setting it owes the first
    // clear.
    void setClearOnBind(bool enabled);
    // Whether the FBO holds a picture of the whole screen, at whatever size: while a
    // shown area is set, drawing into it is clipped to that area. Off by default (a cube
    // face or a texture's picture does not follow the screen).
    void setFollowsScreen(bool follows) { followsScreen = follows; }
    // Clips drawing into the screen (its viewport) and into every FBO that follows it to
    // area, rounded outwards to whole pixels, from the next bind (bind, bindScreen) until
    // showAll(): what an effect drawn later paints over opaquely need not be drawn. Clears
    // and blits stay whole (an attachment counted clear is clear everywhere; a whole blit
    // is a plain copy). Nothing while clipping is off.
    static void setShownArea(const ScreenArea& area);
    static void showAll();
    // On by default; off, every frame is drawn whole (a check that clipping changes no
    // pixel that shows).
    static void setClipping(bool enabled);
    // Makes the clear owed to this texture now, through the clear-on-bind FBO it is
    // attached to, and leaves the framebuffer binding and viewport as they were.
    static void payOwedClear(const Texture* texture);
    // Each attachment is as its last clear left it, or is owed a clear at the next bind.
    static bool isClean(FBO* fbo);
    // What clearUsed does with a dirty FBO: clears what is not yet clear, or, for an FBO
    // that clears on bind, owes the clear.
    static void endFrame(FBO* fbo);
    bool isBound() const;

    // Null-safe: 0, null or "unknown" for the screen.
    static Texture* getColorTexture(FBO* fbo, int index);
    static Texture* getDepthTexture(FBO* fbo);
    static unsigned int getWidth(FBO* fbo);
    static unsigned int getHeight(FBO* fbo);
    static GLuint getGlName(FBO* fbo);
    static bool isDirty(FBO* fbo);
    static bool isComplete(FBO* fbo);
    static std::string getStatusText(FBO* fbo);

    int getColorTextureCount() const { return static_cast<int>(colorTextures.size()); }
    const std::vector<GLenum>& getDrawBuffers() const { return drawBuffers; }
    bool hasDepthBuffer() const { return hasDepth; }
    bool hasStencilBuffer() const { return hasStencil; }

    // Binds colour texture 0 to its target when the FBO is complete.
    void bindColorTexture();

    // Copies colour attachment srcAttachment of src over the whole of colour attachment
    // dstAttachment of dst (null: the screen, attachment ignored). Afterwards the
    // framebuffer cache is invalid, so the next bind of anything reaches GL.
    static void blitColor(FBO* src, int srcAttachment, FBO* dst, int dstAttachment, GLenum filter);
    // Copies the whole depth buffer (nearest).
    static void blitDepth(FBO* src, FBO* dst);
    // Copies a rectangle (x0, y0, x1, y1) of colour into a rectangle of dst.
    static void blitColorRect(FBO* src, int srcAttachment, int srcX0, int srcY0, int srcX1, int srcY1, FBO* dst,
                              int dstAttachment, int dstX0, int dstY0, int dstX1, int dstY1, GLenum filter);

    // "FBO(W,H,COLOR_BUFFER[,DEPTH_BUFFER][,STENCIL_BUFFER])", or
    // "** screen or nullpointer**" for null.
    static std::string describe(FBO* fbo);

    // Checks the framebuffer bound for drawing: sets the status text and the complete
    // flag, and reports an incomplete one on standard output.
    bool checkStatus();
    static std::string statusTextOf(GLenum status);

private:
    // Binds this FBO as GL_FRAMEBUFFER for an attachment change and afterwards restores
    // what was bound, so the cache stays true.
    class Scope;

    void attach(GLenum attachment, Texture* texture);
    void attachDepth(Texture* texture, bool withStencil);
    void applyDrawBuffers();
    Texture* createTexture(GLint internalFormat, GLenum format, GLenum type);
    void poolTexture(Texture* texture, const char* kind);
    // The framebuffer's size; null: the screen's.
    static void targetSize(FBO* fbo, int& width, int& height);
    // The scissor of the shown area for drawing into fbo (null: the screen), or none.
    static void applyShownArea(FBO* fbo);
    // Clears the chosen attachments of the bound FBO (stale: drawn into since their last
    // clear; pending: owed a clear), all of them with one glClear when all are chosen.
    enum class Select { all, stale, pending };
    void clearAttachments(Select which);
    bool hasPendingClear() const;
    bool holds(const Texture* texture) const;
    void oweClear();
    static void payOwedClears(FBO* src, FBO* dst);
    static bool selectBlitTargets(FBO* src, int srcAttachment, FBO* dst, int dstAttachment);
    static void finishBlit(FBO* src, FBO* dst);

    std::vector<Texture*> colorTextures;
    std::vector<GLenum> drawBuffers;
    Texture* depthTexture = nullptr;
    GLuint glName = 0;
    bool hasDepth = false;
    bool hasStencil = false;
    bool dirty = false;
    bool clearOnBind = false;
    bool followsScreen = false;
    bool complete = false;
    unsigned int width = 0;
    unsigned int height = 0;
    std::string statusText;
    // The textures this FBO made and deletes.
    std::vector<Texture*> ownedTextures;
    // The FBOs that clear on bind, where a texture read before its bind finds the FBO
    // that owes its clear (nothing here touches a texture, which may go first).
    static std::vector<FBO*> clearingOnBind;
    static ScreenArea shownArea;
    static bool areaSet;
    static bool clipping;
};
