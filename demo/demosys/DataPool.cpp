#include "DataPool.h"

DataPool::~DataPool() = default;

int DataPool::size() const { return count; }

std::string DataPool::toString() const { return "DataPool { size = " + std::to_string(count) + " }\n"; }
