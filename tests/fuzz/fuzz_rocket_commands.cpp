// The sync editor link's command reader on arbitrary bytes, fed whole and in pieces.
// Every command handed out is whole and within the limits; the pieces give the same
// commands in the same order as the whole (a command half read is never handed out),
// and after the first bad command nothing more is.
#include "RocketProtocol.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Run {
    std::vector<RocketProtocol::Command> commands;
    bool bad = false;
};

bool same(const RocketProtocol::Command& a, const RocketProtocol::Command& b)
{
    return a.type == b.type && a.track == b.track && a.row == b.row &&
           std::memcmp(&a.value, &b.value, sizeof a.value) == 0 && a.keyType == b.keyType && a.pause == b.pause;
}

void drain(RocketProtocol::CommandReader& reader, Run& run, uint32_t tracks, uint32_t rows)
{
    RocketProtocol::Command c;
    for (;;) {
        bool ready = false;
        Status read = reader.next(c, ready);
        if (!read) {
            if (read.reason().empty())
                std::abort();
            run.bad = true;
            return;
        }
        if (!ready)
            return;
        if (run.bad)
            std::abort();
        if ((c.type == RocketProtocol::SetKey || c.type == RocketProtocol::DeleteKey) && c.track >= tracks)
            std::abort();
        if ((c.type == RocketProtocol::SetKey || c.type == RocketProtocol::DeleteKey) && c.row > rows)
            std::abort();
        if (c.type == RocketProtocol::SetKey && (!std::isfinite(c.value) || c.keyType > RocketProtocol::Ramp))
            std::abort();
        if (c.type == RocketProtocol::GetTrack)
            std::abort();
        run.commands.push_back(c);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first bytes: the tracks asked for, the last row and the piece size; the greeting
    // is given so that the commands are reached.
    if (size < 3)
        return 0;
    const uint32_t tracks = data[0];
    const uint32_t rows = uint32_t(data[1]) * 97;
    const size_t piece = data[2] % 16 + 1;
    data += 3;
    size -= 3;
    std::vector<uint8_t> bytes(RocketProtocol::serverGreeting,
                               RocketProtocol::serverGreeting + RocketProtocol::serverGreetingSize);
    bytes.insert(bytes.end(), data, data + size);

    RocketProtocol::CommandReader whole;
    whole.setLimits(tracks, rows);
    whole.feed(bytes.data(), bytes.size());
    Run all;
    drain(whole, all, tracks, rows);

    RocketProtocol::CommandReader pieces;
    pieces.setLimits(tracks, rows);
    Run parts;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        pieces.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
        drain(pieces, parts, tracks, rows);
    }
    if (all.bad != parts.bad || all.commands.size() != parts.commands.size())
        std::abort();
    for (size_t i = 0; i < all.commands.size(); ++i)
        if (!same(all.commands[i], parts.commands[i]))
            std::abort();
    if (!all.bad && whole.pending() >= 14)
        std::abort(); // the longest command would have been whole
    return 0;
}
