#pragma once

#include "Track.h"

#include <string>

class FBO;

// A key of a start/stop track. A start key opens a range in which the effect draws into
// its target; the next stop key closes it.
struct StartStopKey : TrackKey {
    enum Type : uint32_t { Stop = 0, Start = 1 };

    StartStopKey() = default;
    StartStopKey(uint32_t row, uint32_t type, const std::string& target = "screen", FBO* targetFbo = nullptr)
        : TrackKey(row, type), target(target), targetFbo(targetFbo)
    {
    }

    bool isStart() const { return type == Start; }

    // The framebuffer's name; "screen" when the effect draws to the screen.
    std::string target = "screen";
    // Not owned; null for the screen. Only start keys carry one.
    FBO* targetFbo = nullptr;
};

// When an effect is active and where it draws: start/stop key pairs, each range active
// from its start row through its stop row.
class TrackStartStop : public Track {
public:
    explicit TrackStartStop(int32_t priority);

    int32_t getPriority() const { return priority; }
    void setPriority(int32_t p) { priority = p; }
    // Kept and saved for editing tools; the timeline does not consult it.
    bool isEnabled() const { return enabled; }
    void setEnabled(bool e) { enabled = e; }

    // Stores the key at key.row, replacing a key already there.
    void insertKey(const StartStopKey& key);
    // Appends every key in row order.
    void getKeys(std::vector<StartStopKey>& out) const;

    // True from a start row through its stop row inclusive.
    bool isActive(uint32_t row) const;
    // The framebuffer of the range that contains row; null for the screen or outside.
    FBO* getTarget(uint32_t row) const;
    // The start row of the range that contains row, else 0.
    uint32_t getRangeStartRow(uint32_t row) const;

    // Whole ranges that touch fromRow..toRow: the range open at fromRow starting with
    // its start key, every key up to toRow, and the stop key that closes the last range.
    using Track::collectKeys;
    void collectKeys(uint32_t fromRow, uint32_t toRow, std::vector<StartStopKey>& out) const
    {
        collectKeysAs(fromRow, toRow, out);
    }

    // Editing tools; the player never calls these.
    // Inserts both keys, typed as a start and a stop whatever they say.
    void insertPair(const StartStopKey& startKey, const StartStopKey& stopKey);
    // Deletes the range that starts at row, or the range that row lies inside.
    void removeRange(uint32_t row);
    // The key at row, or null. Valid until the track changes.
    const StartStopKey* getKey(uint32_t row) const;
    bool isStartKey(uint32_t row) const;

private:
    using Iterator = KeyMap::const_iterator;
    // The start key of the range that contains row; end() when row lies in no range.
    Iterator rangeStart(uint32_t row) const;
    KeyRange window(uint32_t fromRow, uint32_t toRow) const override;

    int32_t priority;
    bool enabled = true;
};
