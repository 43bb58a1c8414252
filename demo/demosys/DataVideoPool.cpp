#include "DataVideoPool.h"

#include "Log.h"


using ORVDemosys::Log;

DataVideoPool::~DataVideoPool()
{
    Log::info() << "[Dispose videoPool]" << std::endl;
    deleteAll();
}
