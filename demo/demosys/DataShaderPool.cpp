#include "DataShaderPool.h"

#include "Log.h"
#include "Shader.h"


using ORVDemosys::Log;

DataShaderPool::~DataShaderPool() { deleteAll(); }

std::string DataShaderPool::toString() const
{
    Log::info() << "Shaders in pool : " << entries.size() << std::endl;
    std::string s = "ShaderPool {\n";
    if (entries.empty())
        s += "<Empty>\n";
    for (const auto& entry : entries)
        s += "  " + entry.first + " = " + (entry.second ? entry.second->describe() : std::string()) + "\n";
    return s + "}\n";
}
