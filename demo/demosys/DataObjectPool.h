#pragma once

#include "NamedPool.h"

class ORVScene;

// The loaded 3D scenes by alias; size() counts every add.
class DataObjectPool : public NamedPool<ORVScene> {
public:
    DataObjectPool() : NamedPool(Counting::Adds) {}
    ~DataObjectPool() override;
    // The i-th scene in name order; i must be below the number of entries.
    ORVScene* at(int i) const;
    std::string toString() const override;
};
