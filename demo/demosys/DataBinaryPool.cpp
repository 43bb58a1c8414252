#include "DataBinaryPool.h"

DataBinaryPool::~DataBinaryPool()
{
    std::cout << "[Dispose binaryPool]" << std::endl;
    map.deleteAll();
}

void DataBinaryPool::add(const std::string& name, Binary* binary)
{
    ++count;
    map.put(name, binary);
}

std::string DataBinaryPool::toString() const
{
    std::string s = "DataBinaryPool {\n    num3dObjects = " + std::to_string(count) + "\n";
    for (const auto& entry : map.all())
        s += "    " + entry.first + " = " + (entry.second ? entry.second->describe() : std::string("\n"));
    return s + "}\n";
}
