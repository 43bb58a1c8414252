#include "LoadingPipeline.h"

#include "Binary.h"
#include "DataBinaryPool.h"
#include "DataEffectPool.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "ORVMaterial.h"
#include "ORVScene.h"
#include "ObjectReader.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "DataVideoPool.h"
#include "EngineState.h"
#include "ShaderCache.h"
#include "Video.h"
#include "Effect.h"
#include "FMODTimer.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "ProgressBar.h"
#include "ResourceDefinition.h"
#include "ResourceFile.h"
#include "Shader.h"
#include "Texture.h"
#include "ResourceLoader.h"
#include "ScreenMetrics.h"
#include "Timer.h"
#include "TrackManager.h"
#include "ResourceDeclaration.h"
#include "Window.h"

#include <GL/glew.h>

#include <filesystem>
#include <iostream>
#include <memory>

bool LoadingPipeline::createDataPools()
{
    ORVDemosys::engineState().createPools();
    return true;
}

bool LoadingPipeline::openScreen(ResourceLoader& loader, ScreenMetrics* metrics, const std::string& title)
{
    if (ORVDemosys::resources)
        ORVDemosys::resources->configure(metrics);
    bool opened = metrics->isFullscreen() ? openFullscreen(metrics) : openWindow(metrics, title);
    if (!opened) {
        loader.fail("Failed to open screen : " + std::to_string(metrics->getWidth()) + "x" +
                    std::to_string(metrics->getHeight()) + ORVDemosys::lastError);
        return false;
    }
    ORVDemosys::screenMetrics->computeViewport();
    ORVDemosys::screenMetrics->applyViewport();
    return true;
}

namespace {

void advanceLoadingScreen()
{
    if (ORVDemosys::progressBar)
        ORVDemosys::progressBar->advance();
}

bool loadShaders(ResourceLoader& loader)
{
    std::cout << "[Loading Shaders]" << std::endl;
    for (const ShaderDeclaration& d : ORVDemosys::shaderDeclarations) {
        std::cout << "-> Loading " << d.fileName << std::endl;
        Shader* shader = new Shader(d.fileName + "::" + d.alias);
        if (!Shader::prepare(loader, *shader, d)) {
            delete shader;
            return false;
        }
        ORVDemosys::shaderPool->add(d.alias, shader);
        if (loader.isVerbose())
            std::cout << "Adding shader '" << d.alias << "' = " << shader->describe() << std::endl;
        shader->bind();
    }
    return true;
}

// The alias a scene's texture reference uses: the first declaration of that file, or
// a declaration made for it so it loads with the others.
std::string textureAlias(const std::string& fileName)
{
    for (TextureDeclaration& d : ORVDemosys::textureDeclarations) {
        if (d.fileName == fileName) {
            d.used = true;
            return d.alias;
        }
    }
    TextureDeclaration added(fileName, fileName, GL_TEXTURE_2D, false);
    added.used = true;
    ORVDemosys::textureDeclarations.push_back(added);
    return fileName;
}

bool loadObjects(ResourceLoader& loader)
{
    std::cout << "[Loading 3D Objects]" << std::endl;
    for (const ResourceDeclaration& d : ORVDemosys::objectDeclarations) {
        const std::string path = ORVDemosys::objectDirectory + d.fileName;
        std::cout << "Loading : '" << path << std::endl;
        ObjectReader reader(path);
        reader.setTextureResolver(textureAlias);
        ORVScene* scene = reader.read();
        if (!scene) {
            loader.fail(reader.getError());
            return false;
        }
        ORVDemosys::sceneDataPool->add(d.alias, scene);
        advanceLoadingScreen();
    }
    return true;
}

// Every material keeps the loaded texture its texture name refers to.
void resolveSceneTextures()
{
    for (int i = 0; i < ORVDemosys::sceneDataPool->entryCount(); ++i) {
        ORVScene* scene = ORVDemosys::sceneDataPool->at(i);
        if (!scene)
            continue;
        for (const auto& entry : scene->getMaterials()) {
            ORVMaterial* material = entry.second;
            if (material && !material->getTextureName().empty())
                material->setTexture(ORVDemosys::texturePool->get(material->getTextureName()));
        }
    }
}

bool loadTextures(ResourceLoader& loader)
{
    std::cout << "[Loading Textures]" << std::endl;
    for (const TextureDeclaration& d : ORVDemosys::textureDeclarations) {
        // A file declared under a second alias is loaded once; the second alias is not
        // registered.
        if (!ORVDemosys::texturePool->hasFile(d.fileName)) {
            const std::string path = ORVDemosys::graphicsDirectory + d.fileName;
            std::cout << "Load : " << path << std::endl;
            Texture* texture = ORVIO::loadTexture(path, static_cast<unsigned int>(d.target), d.mipmapped);
            if (!texture) {
                loader.fail("Failed to load texture!\nFile : '" + path + "'");
                return false;
            }
            texture->setName(d.fileName);
            ORVDemosys::texturePool->add(d.alias, texture);
        }
        advanceLoadingScreen();
    }
    return true;
}

bool loadBinaries(ResourceLoader& loader)
{
    std::cout << "[Loading Binary Data]" << std::endl;
    for (const ResourceDeclaration& d : ORVDemosys::binaryDeclarations) {
        const std::string path = ORVDemosys::miscDirectory + d.fileName;
        std::cout << "Loading binary : '" << path << "'" << std::endl;
        Binary* binary = ORVIO::loadBinaryFile(path);
        if (!binary) {
            loader.fail("Failed to binary data!\nFile : '" + path + "'");
            return false;
        }
        ORVDemosys::binaryPool->add(d.alias, binary);
        std::cout << "Loaded '" << path << "' using alias " << d.alias << std::endl;
        advanceLoadingScreen();
    }
    return true;
}

bool loadVideos(ResourceLoader& loader)
{
    std::cout << "[Loading Video Data]" << std::endl;
    for (const ResourceDeclaration& d : ORVDemosys::videoDeclarations) {
        const std::string path = ORVDemosys::videoDirectory + d.fileName;
        std::cout << "Loading video: " << path << std::endl;
        Video* video = ORVIO::loadVideoFile(path);
        // The stream's own form of the address: a missing video prints 0.
        std::cout << "Video object " << static_cast<const void*>(video) << std::endl;
        if (!video) {
            loader.fail("Failed to load video!\nFile : '" + path + "'");
            return false;
        }
        ORVDemosys::videoPool->add(d.alias, video);
        std::cout << "Loaded '" << path << "' using alias " << d.alias << std::endl;
        advanceLoadingScreen();
    }
    return true;
}

} // namespace

int LoadingPipeline::progressTotal()
{
    return static_cast<int>(ORVDemosys::objectDeclarations.size() + ORVDemosys::miscDeclarations.size() +
                            ORVDemosys::binaryDeclarations.size() + ORVDemosys::videoDeclarations.size() +
                            ORVDemosys::textureDeclarations.size() + 3);
}

bool LoadingPipeline::loadResources(ResourceLoader& loader)
{
    std::cout << "[Defining Resources]" << std::endl;
    ORVDemosys::resources->declareResources();
    std::cout << "[Define Effects]" << std::endl;
    ORVDemosys::resources->declareEffects();

    int total = progressTotal();
    if (!ORVDemosys::progressBar)
        ORVDemosys::progressBar = new ProgressBar(total, 0.09f, 1.2f, 0.0f);
    ORVDemosys::progressBar->setTotal(total);
    ORVDemosys::progressBar->setup();
    ORVDemosys::progressBar->show();

    if (!loadShaders(loader))
        return false;
    if (!loadObjects(loader))
        return false;
    if (!loadTextures(loader))
        return false;
    resolveSceneTextures();
    // The shader instances bind to the scenes, which now have their textures.
    if (!ORVDemosys::shaderCache)
        ORVDemosys::shaderCache = new ShaderCache();
    ORVDemosys::shaderCache->createInstances();
    if (!loadBinaries(loader))
        return false;
    std::cout << "[Loading Animation Data]" << std::endl;
    return loadVideos(loader);
}

bool LoadingPipeline::createTrackData()
{
    std::cout << "[Create track data]" << std::endl;
    std::vector<std::string> names;
    std::vector<Effect*> effects;
    for (const auto& entry : ORVDemosys::effectInstancePool->all()) {
        if (entry.second && entry.second->isOnTimeline()) {
            names.push_back(entry.first);
            effects.push_back(entry.second);
        }
    }
    std::cout << "Loading track data from index file" << std::endl;
    // Start keys draw into the framebuffer of the pool that they name.
    TargetResolver framebuffers = [](const std::string& name, FBO** fbo) {
        FBO* found = ORVDemosys::fboPool->exists(name) ? ORVDemosys::fboPool->get(name) : nullptr;
        *fbo = found;
        return found != nullptr;
    };
    ORVDemosys::tracks = TrackManager::load(ORVDemosys::trackDirectory, names, effects, framebuffers);
    ORVDemosys::tracks->setRowsPerSecond(20);

    std::cout << "[Initializing Effect Instances]" << std::endl;
    for (const auto& entry : ORVDemosys::effectInstancePool->all()) {
        if (!entry.second)
            continue;
        std::cout << "-> Initializing " << entry.first << std::endl;
        entry.second->init();
        checkGLError(entry.first + ":init()");
    }
    return ORVDemosys::tracks->validate() && ORVDemosys::tracks->checkInstances();
}

bool LoadingPipeline::reloadShaders(ResourceLoader& loader)
{
    std::cout << "[Reloading Shaders]" << std::endl;
    for (const ShaderDeclaration& d : ORVDemosys::shaderDeclarations) {
        Shader* shader = ORVDemosys::shaderPool->get(d.alias);
        if (!shader)
            continue;
        if (!Shader::prepare(loader, *shader, d)) {
            std::cout << "Error while recompiling '" << d.alias << "' : " << std::endl
                      << loader.getMessage() << std::endl;
            return false;
        }
        ORVDemosys::shaderPool->add(d.alias, shader);
        std::cout << "Adding shader '" << d.alias << "' = " << shader->describe() << std::endl;
        shader->bind();
    }
    std::cout << "[Reloading Shaders] ... Done!" << std::endl;
    return true;
}

void LoadingPipeline::writePackScript(const std::string& command, const std::string& scriptFile)
{
    const std::string word = " resources.7z ";
    const std::string archive = "resources.7z";
    const std::string head = command + " a -ms=off -mx=9 " + word;
    const std::string tail = " >> " + archive + ".log \n";
    std::string script = "rm " + word + "\n" + "rm " + archive + ".log" + "\n";
    if (!ORVDemosys::musicFile.empty())
        script += head + ORVDemosys::soundDirectory + ORVDemosys::musicFile + tail;
    if (ORVDemosys::texturePool)
        for (const std::string& file : ORVDemosys::texturePool->fileNamesInOrder())
            script += head + ORVDemosys::graphicsDirectory + file + tail;
    for (const ResourceDeclaration& d : ORVDemosys::objectDeclarations) {
        script += head + ORVDemosys::objectDirectory + d.fileName + tail;
        std::error_code ec;
        if (std::filesystem::exists(ORVDemosys::objectDirectory + d.fileName + ".kf", ec))
            script += head + ORVDemosys::objectDirectory + d.fileName + ".kf" + tail;
    }
    for (const ResourceDeclaration& d : ORVDemosys::miscDeclarations)
        script += head + ORVDemosys::miscDirectory + d.fileName + tail;
    for (const ResourceDeclaration& d : ORVDemosys::binaryDeclarations)
        script += head + ORVDemosys::miscDirectory + d.fileName + tail;
    // The videos too: without them a packed production with a video cannot load.
    for (const ResourceDeclaration& d : ORVDemosys::videoDeclarations)
        script += head + ORVDemosys::videoDirectory + d.fileName + tail;
    for (const ShaderDeclaration& d : ORVDemosys::shaderDeclarations) {
        script += head + ORVDemosys::shaderDirectory + d.fileName + ".vert" + tail;
        script += head + ORVDemosys::shaderDirectory + d.fileName + ".frag" + tail;
    }
    script += head + ORVDemosys::trackDirectory + "index.list" + tail;
    script += head + ORVDemosys::trackDirectory + "track.data" + tail;
    for (const std::string& include : ORVDemosys::shaderIncludes)
        script += head + include + tail;
    if (ORVDemosys::progressBar)
        for (int i = 0; i < ORVDemosys::progressBar->getFileCount(); ++i)
            script += head + ORVDemosys::progressBar->getFile(i) + tail;

    ResourceFile out(scriptFile, ResourceFile::Truncate);
    out.appendString(script);
    if (!out.save())
        std::cout << "Cannot write the pack script '" << scriptFile << "'" << std::endl;
}

bool LoadingPipeline::setupSound(ResourceLoader& loader)
{
    std::cout << "[Setting up sound]" << std::endl;
    int rate = ORVDemosys::tracks ? ORVDemosys::tracks->getRowsPerSecond() : TrackManager::defaultRowsPerSecond;
    if (!ORVDemosys::musicFile.empty()) {
        std::cout << "Play : " << ORVDemosys::musicFile << std::endl;
        ORVDemosys::timer = new FMODTimer(ORVDemosys::soundDirectory + ORVDemosys::musicFile, static_cast<uint32_t>(rate));
        if (!ORVDemosys::timer->init()) {
            loader.fail("Failed to load sound!\nFile : '" + ORVDemosys::musicFile + "'");
            return false;
        }
    } else {
        ORVDemosys::timer = new Timer(static_cast<uint32_t>(rate));
        ORVDemosys::timer->init();
    }
    advanceLoadingScreen();
    return true;
}

bool LoadingPipeline::demoInit(ResourceLoader& loader)
{
    if (loader.isVerbose())
        std::cout << "[Getting Startpos]" << std::endl
                  << "startpos = " << ORVDemosys::startTime.format() << std::endl;
    ORVDemosys::timer->setTimeMs(static_cast<int>(ORVDemosys::startTime.getTotal()));
    advanceLoadingScreen();
    std::cout << "[Demo Init]" << std::endl;
    if (!ORVDemosys::musicFile.empty())
        ORVDemosys::timer->play();
    if (loader.isVerbose())
        std::cout << "[Demo Init END]" << std::endl;
    return true;
}

void LoadingPipeline::deletePools()
{
    ORVDemosys::engineState().release();
    std::cout << "Query GL for remaining texture objects (1-250)" << std::endl;
    if (!currentWindow())
        return; // no context: there is nothing to query
    for (GLuint n = 1; n < 250; ++n) {
        if (glIsTexture(n)) {
            glDeleteTextures(1, &n);
            std::cout << "- " << n << " deleted" << std::endl;
        }
    }
}
