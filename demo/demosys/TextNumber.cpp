#include "TextNumber.h"

#include <charconv>
#include <cmath>

bool TextNumber::parseUnsigned(std::string_view word, uint64_t limit, uint64_t& out)
{
    // from_chars takes no sign for an unsigned type, and reports overflow.
    uint64_t value = 0;
    const char* end = word.data() + word.size();
    const auto result = std::from_chars(word.data(), end, value);
    if (word.empty() || result.ec != std::errc() || result.ptr != end || value > limit)
        return false;
    out = value;
    return true;
}

bool TextNumber::parseDecimal(std::string_view word, uint64_t wholeLimit, uint64_t& num, uint64_t& den)
{
    const size_t dot = word.find('.');
    uint64_t whole = 0, fraction = 0;
    if (!parseUnsigned(word.substr(0, dot), wholeLimit, whole))
        return false;
    den = 1;
    if (dot != std::string_view::npos) {
        const std::string_view digits = word.substr(dot + 1);
        if (digits.empty() || digits.size() > 3 || !parseUnsigned(digits, 999, fraction))
            return false;
        for (size_t k = 0; k < digits.size(); ++k)
            den *= 10;
    }
    num = whole * den + fraction;
    return true;
}

bool TextNumber::parseDouble(std::string_view word, double& out)
{
    double value = 0.0;
    const char* end = word.data() + word.size();
    const auto result = std::from_chars(word.data(), end, value);
    if (word.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return false;
    out = value;
    return true;
}
