#pragma once

#include "NonCopyable.h"

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// The part every key record shares: the row it sits on and its type (the interpolation
// type of a curve key, start or stop for a start/stop key).
struct TrackKey {
    TrackKey() = default;
    TrackKey(uint32_t row, uint32_t type) : row(row), type(type) {}
    TrackKey(const TrackKey&) = default;
    TrackKey& operator=(const TrackKey&) = default;
    virtual ~TrackKey();

    uint32_t row = 0;
    uint32_t type = 0;
};

// Keys on the row grid, at most one per row, in row order. The track owns its key
// records; they go with it.
class Track : NonCopyable {
public:
    // The row that nearest-key lookups return when there is no such key.
    static constexpr uint32_t noRow = 0xFFFFFFFFu;

    virtual ~Track();

    // Appends the keys needed to draw the track over the rows fromRow..toRow (those of
    // window()). The pointers stay valid until the track is changed.
    void collectKeys(uint32_t fromRow, uint32_t toRow, std::vector<const TrackKey*>& out) const;

    // The start/stop check: keys in row order must alternate start (type 1), stop
    // (type 0), beginning with a start. Prints the first offending key and fails.
    virtual bool validate() const;

    size_t getKeyCount() const { return keys.size(); }
    bool hasKey(uint32_t row) const { return keys.count(row) != 0; }
    // The row of the nearest key strictly before / after row, noRow when there is none.
    uint32_t previousKeyRow(uint32_t row) const;
    uint32_t nextKeyRow(uint32_t row) const;

    // Moves the key at fromRow to toRow (replacing a key there) and reports the move.
    // Nothing happens when the rows are equal or no key is at fromRow.
    void moveKey(uint32_t fromRow, uint32_t toRow);
    void clearKeys() { keys.clear(); }

protected:
    Track() = default;

    using KeyMap = std::map<uint32_t, std::unique_ptr<TrackKey>>;

    using KeyRange = std::pair<KeyMap::const_iterator, KeyMap::const_iterator>;

    // Stores the key at its own row, replacing any key already there.
    void putKey(std::unique_ptr<TrackKey> key);

    // The keys a drawing of rows fromRow..toRow needs: each kind of track decides which
    // neighbours outside the rows belong to it.
    virtual KeyRange window(uint32_t fromRow, uint32_t toRow) const = 0;

    // collectKeys() as copies of the subclass's own key type.
    template <typename Key>
    void collectKeysAs(uint32_t fromRow, uint32_t toRow, std::vector<Key>& out) const
    {
        const KeyRange range = window(fromRow, toRow);
        for (auto it = range.first; it != range.second; ++it)
            out.push_back(static_cast<const Key&>(*it->second));
    }

    KeyMap keys;
};
