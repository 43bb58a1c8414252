#include "DataFBOPool.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "FBO.h"
#include "ImageCompare.h"
#include "LogCapture.h"
#include "ORVDemosys.h"
#include "RenderState.h"
#include "ScreenMetrics.h"
#include "Shader.h"
#include "Texture.h"
#include "Window.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

TEST(CheckGLError, ReportsOneQueuedErrorPerCall)
{
    while (glGetError() != GL_NO_ERROR) {
    }
    EXPECT_FALSE(checkGLError("nothing"));
    // One read per call: (Mesa keeps a single error flag, so each error is raised after
    // the previous one was read.)
    captureLog();
    glEnable(0x1234); // GL_INVALID_ENUM
    bool first = checkGLError("effect:init()");
    glUseProgram(0xFFFFFF); // no such program: GL_INVALID_VALUE
    bool second = checkGLError("effect:init()");
    bool third = checkGLError("effect:init()");
    std::string out = capturedLog();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_FALSE(third);
    EXPECT_EQ(out, "[GL_ERROR [GL_INVALID_ENUM (1280)] LOCATION = ['effect:init()']\n"
                   "[GL_ERROR [GL_INVALID_VALUE (1281)] LOCATION = ['effect:init()']\n");
}

TEST(DataPoolsGL, TexturePoolCountsAddsAndSumsMemory)
{
    captureLog();
    {
        DataTexturePool pool;
        // 512 x 768 RGBA = 1572864 bytes.
        Texture* big = new Texture(512, 768, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE);
        big->setName("big.png");
        Texture* replaced = new Texture(4, 4, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE);
        pool.add("a", replaced);
        pool.add("a", big);
        EXPECT_EQ(pool.size(), 2);
        EXPECT_TRUE(pool.hasFile("big.png"));
        EXPECT_EQ(pool.getTextureId("a"), big->getGlName());
        EXPECT_EQ(pool.getTextureIdByFile("big.png"), big->getGlName());
        EXPECT_EQ(pool.getTextureId("none"), 0u);
        EXPECT_EQ(pool.totalMemorySize(), 1572864u);
        std::string text = pool.toString();
        EXPECT_EQ(text.rfind("DataTexturePool {\n    total memory size : 1.5 MB - 1572864 bytes\n", 0), 0u) << text;
        EXPECT_NE(text.find("    numTextures = 2\n    a = Texture {"), std::string::npos) << text;
        EXPECT_EQ(text.find("    a = Texture", text.find("    a = Texture") + 1), std::string::npos);
        delete replaced;
    }
    EXPECT_EQ(capturedLog(), "[Dispose texturePool]\n");
}

TEST(DataPoolsGL, ShaderPoolDescription)
{
    DataShaderPool pool;
    captureLog();
    EXPECT_EQ(pool.toString(), "ShaderPool {\n<Empty>\n}\n");
    EXPECT_EQ(capturedLog(), "Shaders in pool : 0\n");
}

TEST(DataPoolsGL, FrameResetClearsOnlyUsedFramebuffersAndRebindsTheScreen)
{
    ScreenMetrics metrics;
    metrics.resize(256, 200);
    ORVDemosys::screenMetrics = &metrics;
    {
        DataFBOPool pool;
        FBO* used = new FBO(16, 16, true, false, GL_RGBA8);
        FBO* idle = new FBO(16, 16, true, false, GL_RGBA8);
        pool.add("used", used);
        pool.add("idle", idle);
        for (FBO* f : {used, idle}) {
            FBO::bind(f);
            glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        FBO::markDirty(used);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        pool.clearUsed();

        EXPECT_FALSE(FBO::isDirty(used));
        GLint drawBinding = -1, viewport[4];
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(drawBinding, 0);
        EXPECT_EQ(viewport[1], metrics.getViewportY());
        EXPECT_EQ(viewport[3], metrics.getViewportHeight());

        glBindFramebuffer(GL_READ_FRAMEBUFFER, FBO::getGlName(used));
        EXPECT_EQ(readPixels(8, 8, 1, 1).at(0, 0)[1], 0) << "the used framebuffer was not cleared";
        glBindFramebuffer(GL_READ_FRAMEBUFFER, FBO::getGlName(idle));
        EXPECT_EQ(readPixels(8, 8, 1, 1).at(0, 0)[1], 255) << "an idle framebuffer was cleared";
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);

        captureLog();
        EXPECT_EQ(pool.get("nope"), nullptr);
        EXPECT_EQ(capturedLog(), "FBO::getFBO(nope) cannot find the requested VBO\n");
        EXPECT_EQ(pool.toString(), "FBOPool {\n  idle = FBO(16,16,COLOR_BUFFER,DEPTH_BUFFER)\n"
                                   "  used = FBO(16,16,COLOR_BUFFER,DEPTH_BUFFER)\n}\n");
    }
    ORVDemosys::screenMetrics = nullptr;
    RenderState::reset();
}

TEST(DataPoolsGL, AttachmentsAddedLaterBelongToTheTexturePool)
{
    captureLog();
    ORVDemosys::texturePool = new DataTexturePool();
    FBO* fbo = new FBO(32, 32);
    fbo->addColorAttachment(GL_RGBA8, GL_RGBA);
    fbo->addColorAttachment(GL_RGBA8, GL_RGBA);
    fbo->addDepthAttachment(GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT);
    EXPECT_TRUE(FBO::isComplete(fbo));
    std::string prefix = "FBO_" + std::to_string(FBO::getGlName(fbo));
    Texture* color1 = FBO::getColorTexture(fbo, 1);
    Texture* depth = FBO::getDepthTexture(fbo);
    EXPECT_EQ(ORVDemosys::texturePool->get(prefix + "_color_" + std::to_string(color1->getGlName())), color1);
    EXPECT_EQ(ORVDemosys::texturePool->get(prefix + "_depth_" + std::to_string(depth->getGlName())), depth);
    // Not files: the packing step must not list them.
    EXPECT_TRUE(ORVDemosys::texturePool->fileNamesInOrder().empty());
    GLuint name = color1->getGlName();
    // The shutdown order: textures first, then the framebuffers; nothing is freed twice.
    ORVDemosys::texturePool = nullptr;
    EXPECT_FALSE(glIsTexture(name));
    delete fbo;
    capturedLog();
    RenderState::reset();
}
