#pragma once

#include <cstdint>
#include <string_view>

// Numbers in the engine's and the tools' text formats (beat grids, sync scripts, scores),
// read with std::from_chars: a word is a number only when all of it is, and a value out
// of range is refused rather than wrapped.
namespace TextNumber {

// Decimal digits only (no sign, no space), at most limit.
bool parseUnsigned(std::string_view word, uint64_t limit, uint64_t& out);

// A whole number of at most wholeLimit with up to three decimals ("64", "64.5", "0.25")
// as num / den, den a power of ten (1, 10, 100 or 1000).
bool parseDecimal(std::string_view word, uint64_t wholeLimit, uint64_t& num, uint64_t& den);

// A finite floating-point number ("-12", "0.5", "1e3").
bool parseDouble(std::string_view word, double& out);

} // namespace TextNumber
