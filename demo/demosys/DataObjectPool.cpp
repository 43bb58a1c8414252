#include "DataObjectPool.h"

#include "Assert.h"
#include "Log.h"
#include "ORVScene.h"

#include <iterator>

using ORVDemosys::Log;

DataObjectPool::~DataObjectPool()
{
    Log::info() << "[Dispose objectPool]" << std::endl;
    deleteAll();
}

ORVScene* DataObjectPool::at(int i) const
{
    ORV_ASSERT(i >= 0 && i < entryCount());
    return std::next(entries.begin(), i)->second;
}

std::string DataObjectPool::toString() const { return "DataObjectPool {\n}\n"; }
