#include "LoadingPipeline.h"

#include "Binary.h"
#include "DataBinaryPool.h"
#include "DataEffectPool.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "Log.h"
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
#include "ScreenMetrics.h"
#include "Timer.h"
#include "TrackManager.h"
#include "ResourceDeclaration.h"
#include "Window.h"

#include <GL/glew.h>

#include <algorithm>
#include <filesystem>
#include <memory>

using ORVDemosys::Log;

bool LoadingPipeline::createDataPools()
{
    ORVDemosys::engineState().createPools();
    return true;
}

Status LoadingPipeline::openScreen(ScreenMetrics* metrics, const std::string& title, bool offscreen)
{
    if (ORVDemosys::resources)
        ORVDemosys::resources->configure(metrics);
    Status opened = offscreen                 ? openOffscreen(metrics)
                    : metrics->isFullscreen() ? openFullscreen(metrics)
                                              : openWindow(metrics, title);
    if (!opened)
        return opened;
    ORVDemosys::screenMetrics->computeViewport();
    ORVDemosys::screenMetrics->applyViewport();
    return opened;
}

namespace {

void advanceLoadingScreen()
{
    if (ORVDemosys::progressBar)
        ORVDemosys::progressBar->advance();
}

// The loaders of one declaration each, given its path (its kind's directory and its file
// name): a failure says why the file cannot be loaded.

Status loadShader(const std::string&, const ShaderDeclaration& d)
{
    Log::info() << "-> Loading " << d.fileName << std::endl;
    Shader* shader = new Shader(d.fileName + "::" + d.alias);
    Status prepared = Shader::prepare(*shader, d);
    if (!prepared) {
        delete shader;
        return prepared;
    }
    ORVDemosys::shaderPool->add(d.alias, shader);
    if (ORVIO::isVerbose())
        Log::info() << "Adding shader '" << d.alias << "' = " << shader->describe() << std::endl;
    shader->bind();
    return prepared;
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

Status loadObject(const std::string& path, const ResourceDeclaration& d)
{
    Log::info() << "Loading : '" << path << std::endl;
    ObjectReader reader(path);
    reader.setTextureResolver(textureAlias);
    std::unique_ptr<ORVScene> scene;
    Status read = reader.read(scene);
    if (read)
        ORVDemosys::sceneDataPool->add(d.alias, scene.release());
    return read;
}

Status loadTexture(const std::string& path, const TextureDeclaration& d)
{
    // A file declared under a second alias is loaded once; the second alias is not
    // registered.
    if (ORVDemosys::texturePool->hasFile(d.fileName))
        return Status::success();
    Log::info() << "Load : " << path << std::endl;
    std::unique_ptr<Texture> texture;
    Status loaded = ORVIO::loadTexture(path, static_cast<unsigned int>(d.target), d.mipmapped, texture);
    if (!loaded)
        return Status::failure("Failed to load texture!\nFile : '" + path + "'\n" + loaded.reason());
    texture->setName(d.fileName);
    ORVDemosys::texturePool->add(d.alias, texture.release());
    return loaded;
}

Status loadBinary(const std::string& path, const ResourceDeclaration& d)
{
    Log::info() << "Loading binary : '" << path << "'" << std::endl;
    Binary* binary = ORVIO::loadBinaryFile(path);
    if (!binary)
        return Status::failure("Failed to binary data!\nFile : '" + path + "'");
    ORVDemosys::binaryPool->add(d.alias, binary);
    Log::info() << "Loaded '" << path << "' using alias " << d.alias << std::endl;
    return Status::success();
}

Status loadVideo(const std::string& path, const ResourceDeclaration& d)
{
    Log::info() << "Loading video: " << path << std::endl;
    Video* video = ORVIO::loadVideoFile(path);
    // The stream's own form of the address: a missing video prints 0.
    Log::info() << "Video object " << static_cast<const void*>(video) << std::endl;
    if (!video)
        return Status::failure("Failed to load video!\nFile : '" + path + "'");
    ORVDemosys::videoPool->add(d.alias, video);
    Log::info() << "Loaded '" << path << "' using alias " << d.alias << std::endl;
    return Status::success();
}

// Every material keeps the loaded texture its texture name refers to; then the shader
// instances bind to the scenes, which now have their textures.
void afterTextures()
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
    if (!ORVDemosys::shaderCache)
        ORVDemosys::shaderCache = new ShaderCache();
    ORVDemosys::shaderCache->createInstances();
}

// One kind of declared resource: its directory and declarations, the stage that loads
// them into their pool and its section of the pack script.
struct ResourceKind {
    const char* kind;
    const std::string& directory;
    // Number of declarations; with steps, one step each of the progress total.
    int (*declared)();
    bool steps;
    // Printed before the kind loads; null for a kind that is declared and packed but
    // never loaded.
    const char* heading;
    // Loads every declaration (null: nothing to load); then afterLoad, if any.
    Status (*load)(const ResourceKind& kind);
    void (*afterLoad)();
    // The section's place in the pack script (-1: none) and its files, in order.
    int packSection;
    std::vector<std::string> (*packFiles)(const ResourceKind& kind);
};

// Loads the declarations in order, a loading-screen step after each when the kind takes
// steps; the first failure ends it.
template <class Declaration>
Status loadEach(const ResourceKind& kind, const std::vector<Declaration>& declarations,
                Status (*load)(const std::string&, const Declaration&))
{
    for (const Declaration& d : declarations) {
        Status loaded = load(kind.directory + d.fileName, d);
        if (!loaded)
            return loaded;
        if (kind.steps)
            advanceLoadingScreen();
    }
    return Status::success();
}

template <class Declaration>
int countOf(const std::vector<Declaration>& declarations)
{
    return static_cast<int>(declarations.size());
}

// The declared files of a list, in the kind's directory.
template <class Declaration>
std::vector<std::string> pathsOf(const ResourceKind& kind, const std::vector<Declaration>& declarations)
{
    std::vector<std::string> paths;
    for (const Declaration& d : declarations)
        paths.push_back(kind.directory + d.fileName);
    return paths;
}

// The kinds in loading order.
const std::vector<ResourceKind>& resourceKinds()
{
    using namespace ORVDemosys;
    using Kind = const ResourceKind&;
    static const std::vector<ResourceKind> kinds = {
        {"shader", shaderDirectory, [] { return countOf(shaderDeclarations); }, false, "[Loading Shaders]",
         [](Kind k) { return loadEach(k, shaderDeclarations, loadShader); }, nullptr, 5,
         [](Kind k) {
             std::vector<std::string> paths;
             for (const ShaderDeclaration& d : shaderDeclarations) {
                 paths.push_back(k.directory + d.fileName + ".vert");
                 paths.push_back(k.directory + d.fileName + ".frag");
             }
             return paths;
         }},
        {"3D object", objectDirectory, [] { return countOf(objectDeclarations); }, true, "[Loading 3D Objects]",
         [](Kind k) { return loadEach(k, objectDeclarations, loadObject); }, nullptr, 1,
         [](Kind k) {
             // An object's keyframe companion ".kf" is packed with it when it exists.
             std::vector<std::string> paths;
             for (const std::string& path : pathsOf(k, objectDeclarations)) {
                 paths.push_back(path);
                 std::error_code ec;
                 if (std::filesystem::exists(path + ".kf", ec))
                     paths.push_back(path + ".kf");
             }
             return paths;
         }},
        {"texture", graphicsDirectory, [] { return countOf(textureDeclarations); }, true, "[Loading Textures]",
         [](Kind k) { return loadEach(k, textureDeclarations, loadTexture); }, afterTextures, 0,
         [](Kind k) {
             // The files loaded, not those declared: a file declared twice is packed once.
             std::vector<std::string> paths;
             if (texturePool)
                 for (const std::string& file : texturePool->fileNamesInOrder())
                     paths.push_back(k.directory + file);
             return paths;
         }},
        {"binary", miscDirectory, [] { return countOf(binaryDeclarations); }, true, "[Loading Binary Data]",
         [](Kind k) { return loadEach(k, binaryDeclarations, loadBinary); }, nullptr, 3,
         [](Kind k) { return pathsOf(k, binaryDeclarations); }},
        // A stage of its own that loads nothing yet.
        {"animation", objectDirectory, [] { return 0; }, false, "[Loading Animation Data]", nullptr, nullptr, -1,
         nullptr},
        // The videos are packed too: without them a packed production with a video
        // cannot load.
        {"video", videoDirectory, [] { return countOf(videoDeclarations); }, true, "[Loading Video Data]",
         [](Kind k) { return loadEach(k, videoDeclarations, loadVideo); }, nullptr, 4,
         [](Kind k) { return pathsOf(k, videoDeclarations); }},
        {"misc file", miscDirectory, [] { return countOf(miscDeclarations); }, true, nullptr, nullptr, nullptr, 2,
         [](Kind k) { return pathsOf(k, miscDeclarations); }},
    };
    return kinds;
}

} // namespace

int LoadingPipeline::progressTotal()
{
    // One step per counted declaration, one for the sound, one for the start, and one
    // more, so that the bar never reaches its end.
    int total = 3;
    for (const ResourceKind& kind : resourceKinds())
        if (kind.steps)
            total += kind.declared();
    return total;
}

Status LoadingPipeline::loadResources()
{
    Log::info() << "[Defining Resources]" << std::endl;
    ORVDemosys::resources->declareResources();
    Log::info() << "[Define Effects]" << std::endl;
    ORVDemosys::resources->declareEffects();

    int total = progressTotal();
    if (!ORVDemosys::progressBar)
        ORVDemosys::progressBar = new ProgressBar(total, 0.09f, 1.2f, 0.0f);
    ORVDemosys::progressBar->setTotal(total);
    ORVDemosys::progressBar->setup();
    ORVDemosys::progressBar->show();

    for (const ResourceKind& kind : resourceKinds()) {
        if (!kind.heading)
            continue;
        Log::info() << kind.heading << std::endl;
        if (kind.load) {
            Status loaded = kind.load(kind);
            if (!loaded)
                return loaded;
        }
        if (kind.afterLoad)
            kind.afterLoad();
    }
    return Status::success();
}

bool LoadingPipeline::createTrackData()
{
    Log::info() << "[Create track data]" << std::endl;
    std::vector<std::string> names;
    std::vector<Effect*> effects;
    for (const auto& entry : ORVDemosys::effectInstancePool->all()) {
        if (entry.second && entry.second->isOnTimeline()) {
            names.push_back(entry.first);
            effects.push_back(entry.second);
        }
    }
    Log::info() << "Loading track data from index file" << std::endl;
    // Start keys draw into the framebuffer of the pool that they name.
    TargetResolver framebuffers = [](const std::string& name, FBO** fbo) {
        FBO* found = ORVDemosys::fboPool->exists(name) ? ORVDemosys::fboPool->get(name) : nullptr;
        *fbo = found;
        return found != nullptr;
    };
    ORVDemosys::tracks = TrackManager::load(ORVDemosys::trackDirectory, names, effects, framebuffers);
    ORVDemosys::tracks->setRowsPerSecond(20);

    Log::info() << "[Initializing Effect Instances]" << std::endl;
    for (const auto& entry : ORVDemosys::effectInstancePool->all()) {
        if (!entry.second)
            continue;
        Log::info() << "-> Initializing " << entry.first << std::endl;
        entry.second->init();
        checkGLError(entry.first + ":init()");
    }
    return ORVDemosys::tracks->validate() && ORVDemosys::tracks->checkInstances();
}

Status LoadingPipeline::reloadShaders()
{
    Log::info() << "[Reloading Shaders]" << std::endl;
    for (const ShaderDeclaration& d : ORVDemosys::shaderDeclarations) {
        Shader* shader = ORVDemosys::shaderPool->get(d.alias);
        if (!shader)
            continue;
        Status prepared = Shader::prepare(*shader, d);
        if (!prepared)
            return Status::failure("Error while recompiling '" + d.alias + "' : \n" + prepared.reason());
        ORVDemosys::shaderPool->add(d.alias, shader);
        Log::info() << "Adding shader '" << d.alias << "' = " << shader->describe() << std::endl;
        shader->bind();
    }
    Log::info() << "[Reloading Shaders] ... Done!" << std::endl;
    return Status::success();
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
    std::vector<const ResourceKind*> sections;
    for (const ResourceKind& kind : resourceKinds())
        if (kind.packSection >= 0)
            sections.push_back(&kind);
    std::sort(sections.begin(), sections.end(),
              [](const ResourceKind* a, const ResourceKind* b) { return a->packSection < b->packSection; });
    for (const ResourceKind* kind : sections)
        for (const std::string& path : kind->packFiles(*kind))
            script += head + path + tail;
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
        Log::error() << "Cannot write the pack script '" << scriptFile << "'" << std::endl;
}

Status LoadingPipeline::setupSound()
{
    Log::info() << "[Setting up sound]" << std::endl;
    int rate = ORVDemosys::tracks ? ORVDemosys::tracks->getRowsPerSecond() : TrackManager::defaultRowsPerSecond;
    if (!ORVDemosys::musicFile.empty()) {
        Log::info() << "Play : " << ORVDemosys::musicFile << std::endl;
        ORVDemosys::timer = new FMODTimer(ORVDemosys::soundDirectory + ORVDemosys::musicFile, static_cast<uint32_t>(rate));
        if (!ORVDemosys::timer->init())
            return Status::failure("Failed to load sound!\nFile : '" + ORVDemosys::musicFile + "'");
    } else {
        ORVDemosys::timer = new Timer(static_cast<uint32_t>(rate));
        ORVDemosys::timer->init();
    }
    advanceLoadingScreen();
    return Status::success();
}

void LoadingPipeline::demoInit()
{
    if (ORVIO::isVerbose())
        Log::info() << "[Getting Startpos]" << std::endl
                  << "startpos = " << ORVDemosys::startTime.format() << std::endl;
    ORVDemosys::timer->setTimeMs(static_cast<int>(ORVDemosys::startTime.getTotal()));
    advanceLoadingScreen();
    Log::info() << "[Demo Init]" << std::endl;
    if (!ORVDemosys::musicFile.empty())
        ORVDemosys::timer->play();
    if (ORVIO::isVerbose())
        Log::info() << "[Demo Init END]" << std::endl;
}

void LoadingPipeline::deletePools()
{
    ORVDemosys::engineState().release();
    Log::info() << "Query GL for remaining texture objects (1-250)" << std::endl;
    if (!hasScreen())
        return; // no context: there is nothing to query
    for (GLuint n = 1; n < 250; ++n) {
        if (glIsTexture(n)) {
            glDeleteTextures(1, &n);
            Log::info() << "- " << n << " deleted" << std::endl;
        }
    }
}
