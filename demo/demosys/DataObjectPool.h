#pragma once

#include "DataPool.h"

class ORVScene;

// The loaded 3D scenes by alias.
class DataObjectPool : public DataPool {
public:
    ~DataObjectPool() override;
    bool exists(const std::string& name) const { return map.exists(name); }
    ORVScene* get(const std::string& name) const { return map.find(name); }
    // Counts every add, also one that replaces an entry.
    void add(const std::string& name, ORVScene* scene);
    // The i-th scene in name order; i must be below the number of entries.
    ORVScene* at(int i) const;
    int entryCount() const { return static_cast<int>(map.all().size()); }
    const std::map<std::string, ORVScene*>& all() const { return map.all(); }
    std::string toString() const override;

private:
    NamedMap<ORVScene> map;
};
