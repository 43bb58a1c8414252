#include "GlassHallProgressBar.h"

#include "GlassHallPass.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "ResourceFile.h"
#include "Shader.h"
#include "Texture.h"
#include "Window.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cmath>

using ORVDemosys::Log;

GlassHallProgressBar::GlassHallProgressBar() = default;
GlassHallProgressBar::~GlassHallProgressBar() = default;

bool GlassHallProgressBar::setup()
{
    const std::string layer1Path = ORVDemosys::graphicsDirectory + "Loader1.png";
    const std::string layer2Path = ORVDemosys::graphicsDirectory + "Loader2.png";
    const std::string vertexPath = ORVDemosys::graphicsDirectory + "progressbar.vert";
    const std::string fragmentPath = ORVDemosys::graphicsDirectory + "progressbar.frag";
    // Listed for the packing script first, so a packed production keeps its loading
    // screen even when a file was missing here.
    addFile(layer1Path);
    addFile(layer2Path);
    addFile(vertexPath);
    addFile(fragmentPath);

    // Whatever fails here is said once below, naming the directory.
    const bool layer1Read = ORVIO::loadTexture(layer1Path, GL_TEXTURE_2D, false, layer1).ok();
    const bool layer2Read = ORVIO::loadTexture(layer2Path, GL_TEXTURE_2D, false, layer2).ok();
    std::unique_ptr<ResourceFile> vertex(ORVIO::loadTextFile(vertexPath));
    std::unique_ptr<ResourceFile> fragment(ORVIO::loadTextFile(fragmentPath));
    shader.reset();
    if (!layer1Read || !layer2Read || !vertex || !vertex->isLoaded() || !fragment || !fragment->isLoaded()) {
        Log::error() << "GlassHallProgressBar : cannot read the loading screen's files in '"
                  << ORVDemosys::graphicsDirectory << "'" << std::endl;
        return false;
    }
    shader = std::make_unique<Shader>("Progress");
    shader->setVertexCode(vertex->toString());
    shader->setFragmentCode(fragment->toString());
    if (!shader->build()) {
        shader.reset();
        return false;
    }
    return true;
}

float GlassHallProgressBar::barPosition() const
{
    const float done = total > 0 ? static_cast<float>(count) / static_cast<float>(total) : 0.0f;
    return std::floor(done * 10.0f) * 0.09f + 0.045f;
}

void GlassHallProgressBar::draw()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // Without its files the screen still clears and swaps: the window shows it is alive.
    if (shader) {
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        GlassHallPass::bindQuad(shader.get());
        shader->setTexture("layer1", 0, layer1.get());
        shader->setTexture("layer2", 1, layer2.get());
        shader->setFloat("progress", barPosition());
        GlassHallPass::drawQuad();
        glEnable(GL_DEPTH_TEST);
    }
    if (currentWindow())
        glfwSwapBuffers(currentWindow());
}
