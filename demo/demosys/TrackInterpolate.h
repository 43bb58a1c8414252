#pragma once

#include "Track.h"

#include <string>

// A key of a curve: its value at its row and how the segment that starts here moves on
// to the next key.
struct InterpolateKey : TrackKey {
    enum Type : uint32_t {
        Linear = 0,   // w = c
        SineOut = 1,  // w = cos((1 - c) * pi / 2): fast start, slow arrival
        CosineIn = 2, // w = 1 - cos(c * pi / 2): slow start
        Hold = 3,     // the earlier key's value until the next key
        Quadratic = 4, // w = c * c
        Smooth = 5     // w = c * c * (3 - 2c): slow start and arrival
        // 6 and above are linear.
    };

    InterpolateKey() = default;
    InterpolateKey(uint32_t row, float value, uint32_t type = Linear) : TrackKey(row, type), value(value) {}

    float value = 0.0f;
};

// A named float curve that an effect reads every frame. Zero before its first key; holds
// its last value after the last key.
class TrackInterpolate : public Track {
public:
    explicit TrackInterpolate(const std::string& name);

    const std::string& getName() const { return name; }

    // The curve at a time in milliseconds, on the timeline's row rate.
    float getValue(uint32_t timeMs) const;
    // The same on an explicit row rate (rows per second, above 0).
    float getValue(uint32_t timeMs, int32_t rowsPerSecond) const;

    // Stores the key at key.row, replacing a key already there.
    void insertKey(const InterpolateKey& key);
    // Appends every key in row order.
    void getKeys(std::vector<InterpolateKey>& out) const;

    // The key just before fromRow when fromRow falls strictly between two keys, every
    // key on fromRow..toRow, and the first key after toRow. Nothing when fromRow > toRow.
    using Track::collectKeys;
    void collectKeys(uint32_t fromRow, uint32_t toRow, std::vector<InterpolateKey>& out) const
    {
        collectKeysAs(fromRow, toRow, out);
    }

    // Deletes the key at row; when there is none there but a later key exists, deletes
    // the last key before row instead (the key whose segment row lies in).
    void removeKey(uint32_t row);

private:
    KeyRange window(uint32_t fromRow, uint32_t toRow) const override;

    std::string name;
};
