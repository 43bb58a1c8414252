#pragma once

#include <cstdint>
#include <string>

// A position in the demo as minutes, seconds and milliseconds, with its total in
// milliseconds. Text form: "MM:SS:mmm" fields separated by ":" (e.g. "03:51:00" is
// 3 minutes 51 seconds, 231000 ms; the third field counts milliseconds).
class TimeCode {
public:
    TimeCode() = default;
    TimeCode(int32_t minutes, int32_t seconds, int32_t milliseconds);
    explicit TimeCode(uint32_t totalMs);
    // Parses the text form; an unreadable text gives an invalid, all-zero code.
    explicit TimeCode(const std::string& text);

    void parse(const std::string& text);
    void setMinutes(int32_t m);
    // Values of 60 or more carry whole minutes.
    void setSeconds(int32_t s);
    // Values of 1000 or more carry whole seconds (not on into minutes).
    void setMilliseconds(int32_t ms);

    int32_t getMinutes() const { return minutes; }
    int32_t getSeconds() const { return seconds; }
    int32_t getMilliseconds() const { return milliseconds; }
    uint32_t getTotal() const { return total; }
    bool isValid() const { return valid; }

    // "(0000231000)-[03:51:000]"
    std::string format() const;

private:
    void recompute();

    int32_t minutes = 0;
    int32_t seconds = 0;
    int32_t milliseconds = 0;
    uint32_t total = 0;
    bool valid = true;
};
