#include "DataShaderPool.h"

#include "Shader.h"

#include <iostream>

DataShaderPool::~DataShaderPool() { deleteAll(); }

std::string DataShaderPool::toString() const
{
    std::cout << "Shaders in pool : " << entries.size() << std::endl;
    std::string s = "ShaderPool {\n";
    if (entries.empty())
        s += "<Empty>\n";
    for (const auto& entry : entries)
        s += "  " + entry.first + " = " + (entry.second ? entry.second->describe() : std::string()) + "\n";
    return s + "}\n";
}
