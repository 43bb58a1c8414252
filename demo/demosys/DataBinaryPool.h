#pragma once

#include "Binary.h"
#include "NamedPool.h"

// The loaded binary files by alias; size() counts every add.
class DataBinaryPool : public NamedPool<Binary> {
public:
    DataBinaryPool() : NamedPool(Counting::Adds) {}
    ~DataBinaryPool() override;
    std::string toString() const override;
};
