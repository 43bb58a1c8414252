#include "DataShaderPool.h"

#include "Shader.h"

DataShaderPool::~DataShaderPool() { map.deleteAll(); }

std::string DataShaderPool::toString() const
{
    std::cout << "Shaders in pool : " << map.all().size() << std::endl;
    std::string s = "ShaderPool {\n";
    if (map.all().empty())
        s += "<Empty>\n";
    for (const auto& entry : map.all())
        s += "  " + entry.first + " = " + (entry.second ? entry.second->describe() : std::string()) + "\n";
    return s + "}\n";
}
