#include "DataVideoPool.h"

DataVideoPool::~DataVideoPool()
{
    std::cout << "[Dispose videoPool]" << std::endl;
    map.deleteAll();
}
