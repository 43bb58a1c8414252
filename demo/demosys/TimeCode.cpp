#include "TimeCode.h"

#include "TextNumber.h"

#include <cstdio>
#include <vector>

namespace {

// An optional leading "-" and then one or more decimal digits.
bool parseInteger(const std::string& text, int32_t& out)
{
    const bool negative = !text.empty() && text[0] == '-';
    uint64_t magnitude = 0;
    if (!TextNumber::parseUnsigned(std::string_view(text).substr(negative ? 1 : 0), INT32_MAX, magnitude))
        return false;
    out = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
    return true;
}

} // namespace

TimeCode::TimeCode(int32_t minutes, int32_t seconds, int32_t milliseconds)
    : minutes(minutes), seconds(seconds), milliseconds(milliseconds)
{
    recompute();
}

TimeCode::TimeCode(uint32_t totalMs)
    : minutes(static_cast<int32_t>(totalMs / 60000)),
      seconds(static_cast<int32_t>((totalMs % 60000) / 1000)),
      milliseconds(static_cast<int32_t>(totalMs % 1000)),
      total(totalMs)
{
}

TimeCode::TimeCode(const std::string& text) { parse(text); }

void TimeCode::parse(const std::string& text)
{
    valid = true;
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    if (parts.size() != 3) {
        minutes = seconds = milliseconds = 0;
        total = 0;
        valid = false;
        return;
    }
    int32_t* fields[3] = {&minutes, &seconds, &milliseconds};
    bool lastParsed = false;
    for (int i = 0; i < 3; ++i) {
        int32_t value;
        bool ok = parseInteger(parts[i], value);
        if (ok)
            *fields[i] = value;
        else
            valid = false;
        if (i == 2)
            lastParsed = ok;
    }
    if (lastParsed && valid) {
        recompute();
    } else {
        minutes = seconds = milliseconds = 0;
        total = 0;
    }
}

void TimeCode::setMinutes(int32_t m)
{
    minutes = m;
    recompute();
}

namespace {

// The carries wrap like the unsigned total does instead of overflowing.
int32_t addWrapping(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

} // namespace

void TimeCode::setSeconds(int32_t s)
{
    if (s >= 60) {
        minutes = addWrapping(minutes, s / 60);
        s %= 60;
    }
    seconds = s;
    recompute();
}

void TimeCode::setMilliseconds(int32_t ms)
{
    if (ms >= 1000) {
        seconds = addWrapping(seconds, ms / 1000);
        ms %= 1000;
    }
    milliseconds = ms;
    recompute();
}

void TimeCode::recompute()
{
    total = static_cast<uint32_t>(minutes) * 60000u + static_cast<uint32_t>(seconds) * 1000u +
            static_cast<uint32_t>(milliseconds);
}

std::string TimeCode::format() const
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "(%010u)-[%02d:%02d:%03d]", total, minutes, seconds, milliseconds);
    return buffer;
}
