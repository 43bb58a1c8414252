#include "DataEffectPool.h"

#include "Assert.h"

#include <iterator>

DataEffectPool::~DataEffectPool()
{
    std::cout << "[Dispose effectPool]" << std::endl;
    map.deleteAll();
}

Effect* DataEffectPool::get(const std::string& name)
{
    Effect*& slot = map.all()[name];
    return slot;
}

const std::string& DataEffectPool::nameAt(int i) const
{
    ORV_ASSERT(i >= 0 && i < size());
    return std::next(map.all().begin(), i)->first;
}

std::string DataEffectPool::toString() const
{
    std::string s = "EffectPool {\n";
    for (const auto& entry : map.all())
        s += "    " + entry.first + " = Effect\n";
    return s + "}\n";
}
