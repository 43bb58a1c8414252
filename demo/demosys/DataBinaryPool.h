#pragma once

#include "Binary.h"
#include "DataPool.h"

class DataBinaryPool : public DataPool {
public:
    ~DataBinaryPool() override;
    bool exists(const std::string& name) const { return map.exists(name); }
    Binary* get(const std::string& name) const { return map.find(name); }
    // Counts every add, also one that replaces an entry.
    void add(const std::string& name, Binary* binary);
    std::string toString() const override;

private:
    NamedMap<Binary> map;
};
