#pragma once

#include "NonCopyable.h"

#include <iostream>
#include <map>
#include <string>

// The base of the named resource pools: each maps names (exact, byte-wise ordered) to
// the objects it owns, can describe itself, and releases its objects when deleted.
class DataPool : NonCopyable {
public:
    DataPool() = default;
    virtual ~DataPool();

    virtual int size() const;
    virtual std::string toString() const;

protected:
    int count = 0;
};
