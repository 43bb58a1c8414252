#pragma once

#include <iostream>
#include <map>
#include <string>

// The base of the named resource pools: each maps names (exact, byte-wise ordered) to
// the objects it owns, can describe itself, and releases its objects when deleted.
class DataPool {
public:
    DataPool() = default;
    virtual ~DataPool();
    DataPool(const DataPool&) = delete;
    DataPool& operator=(const DataPool&) = delete;

    virtual int size() const;
    virtual std::string toString() const;

protected:
    int count = 0;
};
