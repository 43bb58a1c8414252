#include "DataEffectPool.h"

#include "Assert.h"
#include "Log.h"

#include <iterator>

using ORVDemosys::Log;

DataEffectPool::~DataEffectPool() {
    Log::info() << "[Dispose effectPool]" << std::endl;
    deleteAll();
}

const std::string& DataEffectPool::nameAt(int i) const
{
    ORV_ASSERT(i >= 0 && i < size());
    return std::next(entries.begin(), i)->first;
}

std::string DataEffectPool::toString() const
{
    std::string s = "EffectPool {\n";
    for (const auto& entry : entries)
        s += "    " + entry.first + " = Effect\n";
    return s + "}\n";
}
