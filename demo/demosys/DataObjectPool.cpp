#include "DataObjectPool.h"

#include "Assert.h"
#include "ORVScene.h"

#include <iterator>

DataObjectPool::~DataObjectPool()
{
    std::cout << "[Dispose objectPool]" << std::endl;
    map.deleteAll();
}

void DataObjectPool::add(const std::string& name, ORVScene* scene)
{
    ++count;
    map.put(name, scene);
}

ORVScene* DataObjectPool::at(int i) const
{
    ORV_ASSERT(i >= 0 && i < entryCount());
    return std::next(map.all().begin(), i)->second;
}

std::string DataObjectPool::toString() const
{
    return "DataObjectPool {\n}\n";
}
