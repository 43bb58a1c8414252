#pragma once

#include "NonCopyable.h"
#include "ResourceDeclaration.h"
#include "ShaderDeclaration.h"

#include <string>

class Binary;
class Effect;
class FBO;
class ORVScene;
class ScreenMetrics;
class Shader;
class Texture;
class Video;

// The contract between the engine and a production. A production derives one class,
// stores an instance in ORVDemosys::resources, and the engine calls it at fixed points of
// start-up: configure the screen and time span, declare the files, register one
// prototype per effect class, and create the named effect instances. Declarations only
// fill the engine's lists; the loading stages load them afterwards.
class ResourceDefinition : NonCopyable {
public:
    ResourceDefinition();
    virtual ~ResourceDefinition();

    // Before the window opens. Base: a 1280 x 768 window, 00:00:00 to 99:00:00.
    virtual void configure(ScreenMetrics* metrics);
    virtual void declareResources();
    virtual void declareEffects();
    // After every resource was loaded.
    virtual void createEffectInstances();

    static void AddTexture(const TextureDeclaration& declaration);
    static void AddObject(const ResourceDeclaration& declaration);
    static void AddBinary(const ResourceDeclaration& declaration);
    static void AddMiscFile(const ResourceDeclaration& declaration);
    static void AddVideo(const ResourceDeclaration& declaration);
    static void AddShader(const ShaderDeclaration& declaration);
    // The music under resources/sound/.
    static void SetMusic(const std::string& fileName);
    // Enters a framebuffer into the pool at once, clears it once and rebinds the screen.
    static void AddFBO(const std::string& name, FBO* fbo);

    // Registers the prototype of an effect class under its class name.
    static void AddEffect(const std::string& className, Effect* prototype);
    // A new instance of a registered class, set up and pooled under instanceName.
    static Effect* CreateEffectInstance(std::string className, std::string instanceName, bool onTimeline);

    // Look-ups that stop the program when the name is missing.
    static Shader* GetShader(std::string name);
    static Texture* GetTexture(std::string name);
    static FBO* GetFBO(std::string name);
    static ORVScene* GetScene(std::string name);
    static Binary* GetBinary(std::string name);
    static Video* GetVideo(std::string name);
};
