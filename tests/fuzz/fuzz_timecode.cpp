// TimeCode parsing on arbitrary text, then the setters on arbitrary numbers. A parsed
// code is either valid with its total made of its fields or invalid and all zero; no
// input may overflow (the carries wrap like the total) or break the formatter.
#include "TimeCode.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(const TimeCode& code)
{
    const uint32_t sum = static_cast<uint32_t>(code.getMinutes()) * 60000u +
                         static_cast<uint32_t>(code.getSeconds()) * 1000u +
                         static_cast<uint32_t>(code.getMilliseconds());
    if (code.getTotal() != sum || code.format().size() < 24)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first twelve bytes (when there are that many) are the setters' numbers.
    int32_t numbers[3] = {0, 0, 0};
    if (size >= sizeof numbers) {
        std::memcpy(numbers, data, sizeof numbers);
        data += sizeof numbers;
        size -= sizeof numbers;
    }
    TimeCode code(std::string(reinterpret_cast<const char*>(data), size));
    if (!code.isValid() && (code.getTotal() != 0 || code.getMinutes() != 0 || code.getSeconds() != 0 ||
                            code.getMilliseconds() != 0))
        std::abort();
    check(code);

    TimeCode fromTotal(code.getTotal());
    if (fromTotal.getTotal() != code.getTotal() || fromTotal.getSeconds() >= 60 || fromTotal.getMilliseconds() >= 1000)
        std::abort();
    check(fromTotal);

    code.setMilliseconds(numbers[2]);
    check(code);
    code.setSeconds(numbers[1]);
    check(code);
    code.setMinutes(numbers[0]);
    check(code);
    return 0;
}
