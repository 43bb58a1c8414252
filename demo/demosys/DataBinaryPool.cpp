#include "DataBinaryPool.h"

#include "Log.h"


using ORVDemosys::Log;

DataBinaryPool::~DataBinaryPool() {
    Log::info() << "[Dispose binaryPool]" << std::endl;
    deleteAll();
}

std::string DataBinaryPool::toString() const
{
    std::string s = "DataBinaryPool {\n    num3dObjects = " + std::to_string(count) + "\n";
    for (const auto& entry : entries)
        s += "    " + entry.first + " = " + (entry.second ? entry.second->describe() : std::string("\n"));
    return s + "}\n";
}
