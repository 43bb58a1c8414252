#pragma once

#include "DataPool.h"
#include "Effect.h"

// Effects by name: the prototypes by class name, or the instances by instance name.
class DataEffectPool : public DataPool {
public:
    ~DataEffectPool() override;
    bool exists(const std::string& name) const { return map.exists(name); }
    // The effect of that name; an absent name is entered with no effect (and then shows
    // in the description), and null is returned.
    Effect* get(const std::string& name);
    void add(const std::string& name, Effect* effect) { map.put(name, effect); }
    // The i-th name in name order; i must be below size().
    const std::string& nameAt(int i) const;
    int size() const override { return static_cast<int>(map.all().size()); }
    std::string toString() const override;
    const std::map<std::string, Effect*>& all() const { return map.all(); }

private:
    NamedMap<Effect> map;
};
