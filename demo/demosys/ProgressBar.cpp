#include "ProgressBar.h"

#include "Assert.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "ResourceFile.h"
#include "Shader.h"
#include "VAO.h"
#include "Window.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>

using ORVDemosys::Log;

ProgressBar::ProgressBar() = default;

ProgressBar::ProgressBar(int total, float halfHeight, float width, float left)
    : halfHeight(halfHeight), width(width), left(left), total(total)
{
}

ProgressBar::~ProgressBar() = default;

bool ProgressBar::setup()
{
    const std::string vertexPath = ORVDemosys::shaderDirectory + "default_Progress.vert";
    const std::string fragmentPath = ORVDemosys::shaderDirectory + "default_Progress.frag";
    // Listed for the packing script, or a production packed into the archive would
    // start without its loading screen.
    addFile(vertexPath);
    addFile(fragmentPath);
    std::unique_ptr<ResourceFile> vertex(ORVIO::loadTextFile(vertexPath));
    std::unique_ptr<ResourceFile> fragment(ORVIO::loadTextFile(fragmentPath));
    shader = std::make_unique<Shader>("Progress");
    if (!vertex || !vertex->isLoaded() || !fragment || !fragment->isLoaded()) {
        Log::error() << "ProgressBar : cannot read '" << vertexPath << "' and '" << fragmentPath << "'" << std::endl;
        shader.reset();
        return false;
    }
    shader->setVertexCode(vertex->toString());
    shader->setFragmentCode(fragment->toString());
    if (!shader->build()) {
        shader.reset();
        return false;
    }

    bar = std::make_unique<VAO>("ProgressBar::bar");
    float* v = bar->allocateArrayBuffer(18);
    const float h = halfHeight;
    const float corners[6][2] = {{-1, h}, {-1, -h}, {1, -h}, {-1, h}, {1, -h}, {1, h}};
    for (int i = 0; i < 6; ++i) {
        v[i * 3] = corners[i][0];
        v[i * 3 + 1] = corners[i][1];
        v[i * 3 + 2] = 0.0f;
    }
    bar->mapArray(v, "in_Position", 3);
    bar->upload();
    return true;
}

void ProgressBar::draw()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_CULL_FACE);
    // A loading screen whose shader could not be built still clears and swaps, so the
    // window shows the demo is alive.
    if (shader && bar) {
        shader->bind();
        shader->setFloat("scale", progress);
        bar->bind(shader.get());
        bar->draw();
    }
    if (currentWindow())
        glfwSwapBuffers(currentWindow());
}

void ProgressBar::advance()
{
    // Also when the total was lowered below the steps already taken.
    if (count >= total)
        return;
    progress = total > 0 ? static_cast<float>(count) / static_cast<float>(total) : 0.0f;
    ++count;
    show();
}

void ProgressBar::show()
{
    draw();
    pollWindowEvents();
}

const std::string& ProgressBar::getFile(int index) const
{
    ORV_ASSERT(index >= 0 && index < getFileCount());
    return files[static_cast<size_t>(index)];
}

void ProgressBar::addFile(const std::string& path)
{
    // Once each, however often setup runs.
    if (std::find(files.begin(), files.end(), path) == files.end())
        files.push_back(path);
}
