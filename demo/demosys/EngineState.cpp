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
#include "Log.h"
#include "ProgressBar.h"
#include "ShaderCache.h"
#include "Timer.h"
#include "TrackManager.h"


using ORVDemosys::Log;

void EngineState::createPools()
{
    Log::info() << "[Creating DataPools]" << std::endl;
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
    Log::info() << "[Deleting Pools]" << std::endl;
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
    Log::info() << "delete ORVDemosys::tracks" << std::endl;
    tracks = nullptr;
    Log::info() << "delete ORVDemosys::timer" << std::endl;
    timer = nullptr;
    shaderCache = nullptr;
}
