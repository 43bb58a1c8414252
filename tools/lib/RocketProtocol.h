#pragma once

#include "Status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The sync editors' TCP protocol, seen from the demo: the demo greets, the editor
// answers, then commands flow as one byte followed by big-endian 32-bit fields.
//
//   SET_KEY     0  track, row, value (the float's bits), interpolation (one byte)
//   DELETE_KEY  1  track, row
//   GET_TRACK   2  name length, name (demo to editor only)
//   SET_ROW     3  row (both ways)
//   PAUSE       4  one byte: 1 pauses, 0 resumes
//   SAVE_TRACKS 5  nothing
//
// The reader takes the bytes as they arrive and hands out whole commands only, checked
// against what the demo knows (the tracks it asked for, its last row for keys): a command that
// is not whole yet is never acted on, and one that is wrong ends the connection.
namespace RocketProtocol {

extern const char clientGreeting[]; // "hello, synctracker!", 19 bytes, sent by the demo
extern const char serverGreeting[]; // "hello, demo!", 12 bytes, the editor's answer
constexpr size_t clientGreetingSize = 19;
constexpr size_t serverGreetingSize = 12;

enum CommandByte : uint8_t { SetKey = 0, DeleteKey = 1, GetTrack = 2, SetRow = 3, Pause = 4, SaveTracks = 5 };

// The editors' key types.
enum KeyType : uint8_t { Step = 0, Linear = 1, Smooth = 2, Ramp = 3 };

struct Command {
    CommandByte type = SetRow;
    uint32_t track = 0;
    uint32_t row = 0;
    float value = 0.0f;
    uint8_t keyType = Step;
    bool pause = false;
};

class CommandReader {
public:
    // trackCount: the tracks requested so far; lastRow: the demo's last row.
    void setLimits(uint32_t trackCount, uint32_t lastRow)
    {
        tracks = trackCount;
        rows = lastRow;
    }
    // Starts over for a new connection: the editor's greeting comes first.
    void reset();
    void feed(const uint8_t* data, size_t size);
    // The next whole command into out (ready), its bytes then consumed; not ready when
    // the command has not arrived whole. A broken stream fails with the reason, and
    // every later call fails the same way until reset.
    Status next(Command& out, bool& ready);
    // Bytes received and not yet taken as a command (a command half read).
    size_t pending() const { return buffer.size() - offset; }
    bool greeted() const { return greetingDone; }

private:
    Status fail(const std::string& reason);

    std::vector<uint8_t> buffer;
    size_t offset = 0;
    bool greetingDone = false;
    bool broken = false;
    std::string brokenReason;
    uint32_t tracks = 0;
    uint32_t rows = 0;
};

// The editors' key types on the engine's: step, linear, smooth and ramp are hold,
// linear, smooth and quadratic.
uint32_t engineType(uint8_t editorType);
// The editor type an engine type shows as: sine ease-out as linear, cosine ease-in as
// ramp, the types without a curve of their own as linear.
uint8_t editorType(uint32_t engineType);
// The engine type a key set from the editor gets: the editor's type, except that a key
// whose engine type the editor shows as that same type keeps it (previous: the type of
// the key at that row, -1 for none).
uint32_t keptType(uint8_t editorType, int64_t previous);

// Messages from the demo to the editor.
std::string encodeGetTrack(const std::string& name);
std::string encodeSetRow(uint32_t row);

} // namespace RocketProtocol
