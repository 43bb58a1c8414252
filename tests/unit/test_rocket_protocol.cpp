#include "RocketProtocol.h"
#include "TrackInterpolate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Reader = RocketProtocol::CommandReader;

std::string big(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string setKey(uint32_t track, uint32_t row, float value, uint8_t type)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return std::string(1, '\0') + big(track) + big(row) + big(bits) + std::string(1, char(type));
}

// A reader past the editor's greeting, 3 tracks asked for, rows up to 200.
// What one read gave: a command, too few bytes yet, or a broken stream (its reason in
// error).
enum Outcome { NeedMore, Ready, Bad };

Outcome outcome(Reader& reader, RocketProtocol::Command& c, std::string& error)
{
    bool ready = false;
    Status read = reader.next(c, ready);
    error = read.reason();
    return !read ? Bad : ready ? Ready : NeedMore;
}

struct Linked {
    Reader reader;
    Linked()
    {
        reader.setLimits(3, 200);
        feed("hello, demo!");
    }
    void feed(const std::string& bytes) { reader.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()); }
    Outcome next(RocketProtocol::Command& c, std::string& error) { return outcome(reader, c, error); }
};

} // namespace

// Whole commands come out with their fields; one arriving byte by byte only when whole.
TEST(RocketProtocol, ReadsWholeCommandsOnly)
{
    Linked link;
    RocketProtocol::Command c;
    std::string error;
    const std::string key = setKey(2, 140, -1.5f, RocketProtocol::Smooth);
    for (size_t i = 0; i + 1 < key.size(); ++i) {
        link.feed(key.substr(i, 1));
        ASSERT_EQ(link.next(c, error), NeedMore);
    }
    // A row beyond the end is a place for the cursor, not a key.
    link.feed(key.substr(key.size() - 1) + std::string("\x01", 1) + big(2) + big(7) + "\x03" + big(5000) +
              std::string("\x04\x01\x05", 3));
    ASSERT_EQ(link.next(c, error), Ready);
    EXPECT_EQ(c.type, RocketProtocol::SetKey);
    EXPECT_EQ(c.track, 2u);
    EXPECT_EQ(c.row, 140u);
    EXPECT_EQ(c.value, -1.5f);
    EXPECT_EQ(c.keyType, RocketProtocol::Smooth);
    ASSERT_EQ(link.next(c, error), Ready);
    EXPECT_EQ(c.type, RocketProtocol::DeleteKey);
    EXPECT_EQ(c.row, 7u);
    ASSERT_EQ(link.next(c, error), Ready);
    EXPECT_EQ(c.type, RocketProtocol::SetRow);
    EXPECT_EQ(c.row, 5000u);
    ASSERT_EQ(link.next(c, error), Ready);
    EXPECT_TRUE(c.pause);
    ASSERT_EQ(link.next(c, error), Ready);
    EXPECT_EQ(c.type, RocketProtocol::SaveTracks);
    EXPECT_EQ(link.next(c, error), NeedMore);
    EXPECT_EQ(link.reader.pending(), 0u);
    EXPECT_EQ(RocketProtocol::encodeGetTrack("a:b"), std::string("\x02\0\0\0\x03" "a:b", 8));
    EXPECT_EQ(RocketProtocol::encodeSetRow(258), std::string("\x03\0\0\x01\x02", 5));
}

// Each kind of bad input ends the reading with its reason, and nothing after it is read.
TEST(RocketProtocol, BadInputStopsTheReader)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        std::string bytes;
        const char* reason;
    } cases[] = {
        {std::string("\x09", 1), "unknown command 9"},
        {std::string("\x02", 1) + big(5) + "hello", "unknown command 2"},
        {setKey(3, 1, 1, 0), "track 3 was never asked for"},
        {std::string("\x01", 1) + big(99) + big(1), "track 99 was never asked for"},
        {setKey(0, 1, nan, 0), "a key value that is not a finite number"},
        {setKey(0, 1, inf, 0), "a key value that is not a finite number"},
        {setKey(0, 1, 1, 4), "key type 4 does not exist"},
        {setKey(0, 201, 1, 0), "row 201 is beyond the demo's last row 200"},
        {std::string("\x01", 1) + big(0) + big(0xFFFFFFFF), "row 4294967295 is beyond the demo's last row 200"},
        {std::string("\x04\x02", 2), "pause flag 2"},
    };
    for (const auto& bad : cases) {
        Linked link;
        RocketProtocol::Command c;
        std::string error;
        link.feed(bad.bytes + std::string("\x05", 1));
        EXPECT_EQ(link.next(c, error), Bad) << bad.reason;
        EXPECT_EQ(error, bad.reason);
        EXPECT_EQ(link.next(c, error), Bad) << "a command read after " << bad.reason;
    }
    Reader wrong;
    RocketProtocol::Command c;
    std::string error;
    wrong.feed(reinterpret_cast<const uint8_t*>("hello, d3mo!"), 12);
    EXPECT_EQ(outcome(wrong, c, error), Bad);
    EXPECT_EQ(error, "the editor's greeting is wrong");
}

// Step, linear, smooth and ramp are hold, linear, smooth and quadratic; the engine's
// eased types come back from the editor as their nearest and stay.
TEST(RocketProtocol, KeyTypesMapBothWays)
{
    const uint32_t engine[] = {InterpolateKey::Hold, InterpolateKey::Linear, InterpolateKey::Smooth,
                               InterpolateKey::Quadratic};
    for (uint8_t t = 0; t < 4; ++t) {
        EXPECT_EQ(RocketProtocol::engineType(t), engine[t]);
        EXPECT_EQ(RocketProtocol::editorType(engine[t]), t);
        EXPECT_EQ(RocketProtocol::keptType(t, -1), engine[t]);
    }
    EXPECT_EQ(RocketProtocol::editorType(InterpolateKey::SineOut), RocketProtocol::Linear);
    EXPECT_EQ(RocketProtocol::editorType(InterpolateKey::CosineIn), RocketProtocol::Ramp);
    EXPECT_EQ(RocketProtocol::keptType(RocketProtocol::Linear, InterpolateKey::SineOut), uint32_t(InterpolateKey::SineOut));
    EXPECT_EQ(RocketProtocol::keptType(RocketProtocol::Ramp, InterpolateKey::CosineIn), uint32_t(InterpolateKey::CosineIn));
    EXPECT_EQ(RocketProtocol::keptType(RocketProtocol::Step, InterpolateKey::SineOut), uint32_t(InterpolateKey::Hold));
}
