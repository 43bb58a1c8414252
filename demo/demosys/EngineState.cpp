#include "EngineState.h"

#include "DataBinaryPool.h"
#include "DataEffectPool.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "DataVideoPool.h"
#include "EditSession.h"
#include "FrameProfiler.h"
#include "ProgressBar.h"
#include "ShaderCache.h"
#include "Timer.h"
#include "TrackManager.h"

#include <iostream>

void EngineState::createPools()
{
    std::cout << "[Creating DataPools]" << std::endl;
    sceneDataPool = new DataObjectPool();
    texturePool = new DataTexturePool();
    effectPool = new DataEffectPool();
    effectInstancePool = new DataEffectPool();
    binaryPool = new DataBinaryPool();
    shaderPool = new DataShaderPool();
    fboPool = new DataFBOPool();
    videoPool = new DataVideoPool();
}

void EngineState::release()
{
    // The session points at the timer and draws with GL names of the window's context.
    editSession = nullptr;
    frameProfiler = nullptr;
    progressBar = nullptr;
    std::cout << "[Deleting Pools]" << std::endl;
    // The effects free their curves with themselves; the timeline lets go of both first.
    if (tracks)
        tracks->detachEffects();
    sceneDataPool = nullptr;
    texturePool = nullptr;
    effectPool = nullptr;
    effectInstancePool = nullptr;
    binaryPool = nullptr;
    shaderPool = nullptr;
    fboPool = nullptr;
    videoPool = nullptr;
    std::cout << "delete ORVDemosys::tracks" << std::endl;
    tracks = nullptr;
    std::cout << "delete ORVDemosys::timer" << std::endl;
    timer = nullptr;
    shaderCache = nullptr;
}
