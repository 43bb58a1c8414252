#pragma once

#include "Effect.h"
#include "NamedPool.h"

// Effects by name: the prototypes by class name, or the instances by instance name.
class DataEffectPool : public NamedPool<Effect> {
public:
    DataEffectPool() : NamedPool(Counting::Entries) {}
    ~DataEffectPool() override;
    // The effect of that name; an absent name is entered with no effect (and then shows
    // in the description), and null is returned.
    Effect* get(const std::string& name) { return entries[name]; }
    // The i-th name in name order; i must be below size().
    const std::string& nameAt(int i) const;
    std::string toString() const override;
};
