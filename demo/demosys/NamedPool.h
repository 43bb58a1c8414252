#pragma once

#include "DataPool.h"

#include <map>
#include <string>

// A pool of one element type: an ordered map from name (exact, byte-wise order) to the
// elements it owns, with the operations every pool shares. A pool class adds only its
// own description and its dispose line: its destructor prints the line, then calls
// deleteAll() (in its own source file, where the element type is complete).
//
// Adding under a name that is present replaces the pointer; the element it replaces is
// neither deleted nor kept (the pool cannot know whether someone else still holds it).
template <class T>
class NamedPool : public DataPool {
public:
    // What size() counts: every add (a replacement too), or the names held.
    enum class Counting { Adds, Entries };

    explicit NamedPool(Counting counting) : counting(counting) {}

    bool exists(const std::string& name) const { return entries.count(name) != 0; }
    // The element of that name; null when there is none.
    T* get(const std::string& name) const
    {
        auto it = entries.find(name);
        return it == entries.end() ? nullptr : it->second;
    }
    void add(const std::string& name, T* element)
    {
        if (counting == Counting::Adds)
            ++count;
        entries[name] = element;
    }
    int size() const override { return counting == Counting::Adds ? count : entryCount(); }
    int entryCount() const { return static_cast<int>(entries.size()); }
    const std::map<std::string, T*>& all() const { return entries; }

protected:
    // Deletes the elements in name order (null entries are skipped) and empties the map.
    void deleteAll()
    {
        for (auto& entry : entries)
            delete entry.second;
        entries.clear();
    }

    std::map<std::string, T*> entries;

private:
    Counting counting;
};
