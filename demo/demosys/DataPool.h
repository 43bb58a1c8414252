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

// The map every pool keeps, with the operations they share. Adding under a name that
// is present replaces the pointer; the object it replaces is neither deleted nor kept
// (the pool cannot know whether someone else still holds it).
template <class T>
class NamedMap {
public:
    bool exists(const std::string& name) const { return entries.count(name) != 0; }
    T* find(const std::string& name) const
    {
        auto it = entries.find(name);
        return it == entries.end() ? nullptr : it->second;
    }
    void put(const std::string& name, T* element) { entries[name] = element; }
    const std::map<std::string, T*>& all() const { return entries; }
    std::map<std::string, T*>& all() { return entries; }
    // Deletes every element in name order, skipping null entries, then empties the map.
    void deleteAll()
    {
        for (auto& entry : entries)
            delete entry.second;
        entries.clear();
    }

private:
    std::map<std::string, T*> entries;
};
