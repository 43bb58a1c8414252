#include "DataFBOPool.h"

#include "FBO.h"
#include "FrameProfiler.h"
#include "Log.h"


using ORVDemosys::Log;

DataFBOPool::~DataFBOPool() { deleteAll(); }

FBO* DataFBOPool::get(const std::string& name) const
{
    FBO* fbo = NamedPool::get(name);
    if (!fbo && !exists(name))
        Log::error() << "FBO::getFBO(" << name << ") cannot find the requested VBO" << std::endl;
    return fbo;
}

void DataFBOPool::add(const std::string& name, FBO* fbo)
{
    NamedPool::add(name, fbo);
    added.push_back(fbo);
    addedNames.push_back(name);
}

void DataFBOPool::clearUsed()
{
    // Timed like an effect: the clears are part of the frame's GL time.
    FrameProfiler::Scope timed("frame-end clears");
    for (const auto& entry : entries)
        FBO::endFrame(entry.second);
    FBO::bindScreen();
}

std::string DataFBOPool::toString() const
{
    std::string s = "FBOPool {\n";
    for (const auto& entry : entries)
        s += "  " + entry.first + " = " + FBO::describe(entry.second) + "\n";
    return s + "}\n";
}
