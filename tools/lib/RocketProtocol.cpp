#include "RocketProtocol.h"

#include "TrackInterpolate.h"

#include <cmath>
#include <cstring>

namespace RocketProtocol {

const char clientGreeting[] = "hello, synctracker!";
const char serverGreeting[] = "hello, demo!";

namespace {

uint32_t readBig(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void putBig(std::string& out, uint32_t v)
{
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

} // namespace

void CommandReader::reset()
{
    buffer.clear();
    offset = 0;
    greetingDone = false;
    broken = false;
    brokenReason.clear();
}

void CommandReader::feed(const uint8_t* data, size_t size)
{
    // What was taken goes before the buffer grows, so it stays the size of one command.
    if (offset > 0) {
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(offset));
        offset = 0;
    }
    buffer.insert(buffer.end(), data, data + size);
}

Status CommandReader::fail(const std::string& reason)
{
    broken = true;
    brokenReason = reason;
    return Status::failure(reason);
}

Status CommandReader::next(Command& out, bool& ready)
{
    ready = false;
    if (broken)
        return Status::failure(brokenReason);
    const uint8_t* p = buffer.data() + offset;
    const size_t have = buffer.size() - offset;
    if (!greetingDone) {
        const size_t compare = have < serverGreetingSize ? have : serverGreetingSize;
        if (std::memcmp(p, serverGreeting, compare) != 0)
            return fail("the editor's greeting is wrong");
        if (have < serverGreetingSize)
            return Status::success();
        offset += serverGreetingSize;
        greetingDone = true;
        return next(out, ready);
    }
    if (have == 0)
        return Status::success();
    size_t size = 0;
    switch (p[0]) {
    case SetKey: size = 1 + 4 + 4 + 4 + 1; break;
    case DeleteKey: size = 1 + 4 + 4; break;
    case SetRow: size = 1 + 4; break;
    case Pause: size = 1 + 1; break;
    case SaveTracks: size = 1; break;
    default: return fail("unknown command " + std::to_string(p[0]));
    }
    if (have < size)
        return Status::success();
    Command c;
    c.type = static_cast<CommandByte>(p[0]);
    if (c.type == SetKey || c.type == DeleteKey) {
        c.track = readBig(p + 1);
        c.row = readBig(p + 5);
        if (c.track >= tracks)
            return fail("track " + std::to_string(c.track) + " was never asked for");
    }
    if (c.type == SetKey) {
        const uint32_t bits = readBig(p + 9);
        std::memcpy(&c.value, &bits, sizeof c.value);
        c.keyType = p[13];
        if (!std::isfinite(c.value))
            return fail("a key value that is not a finite number");
        if (c.keyType > Ramp)
            return fail("key type " + std::to_string(c.keyType) + " does not exist");
    }
    if (c.type == SetRow)
        c.row = readBig(p + 1);
    // A key beyond the end would go into the script; the editor's cursor may go there
    // (the demo then seeks to its end).
    if ((c.type == SetKey || c.type == DeleteKey) && c.row > rows)
        return fail("row " + std::to_string(c.row) + " is beyond the demo's last row " + std::to_string(rows));
    if (c.type == Pause) {
        if (p[1] > 1)
            return fail("pause flag " + std::to_string(p[1]));
        c.pause = p[1] == 1;
    }
    offset += size;
    out = c;
    ready = true;
    return Status::success();
}

uint32_t engineType(uint8_t type)
{
    switch (type) {
    case Step: return InterpolateKey::Hold;
    case Smooth: return InterpolateKey::Smooth;
    case Ramp: return InterpolateKey::Quadratic;
    default: return InterpolateKey::Linear;
    }
}

uint8_t editorType(uint32_t type)
{
    switch (type) {
    case InterpolateKey::Hold: return Step;
    case InterpolateKey::Smooth: return Smooth;
    case InterpolateKey::Quadratic:
    case InterpolateKey::CosineIn: return Ramp;
    default: return Linear;
    }
}

uint32_t keptType(uint8_t type, int64_t previous)
{
    if (previous >= 0 && editorType(static_cast<uint32_t>(previous)) == type)
        return static_cast<uint32_t>(previous);
    return engineType(type);
}

std::string encodeGetTrack(const std::string& name)
{
    std::string out(1, static_cast<char>(GetTrack));
    putBig(out, static_cast<uint32_t>(name.size()));
    return out + name;
}

std::string encodeSetRow(uint32_t row)
{
    std::string out(1, static_cast<char>(SetRow));
    putBig(out, row);
    return out;
}

} // namespace RocketProtocol
