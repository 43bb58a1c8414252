#include "DataVideoPool.h"

#include <iostream>

DataVideoPool::~DataVideoPool()
{
    std::cout << "[Dispose videoPool]" << std::endl;
    deleteAll();
}
