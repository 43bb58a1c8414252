#include "Binary.h"

Binary::Binary(std::vector<uint8_t> b) : bytes(std::move(b)) {}

const std::vector<float>& Binary::floats()
{
    if (!floatsMade) {
        asFloats = floats(0, bytes.size());
        floatsMade = true;
    }
    return asFloats;
}

std::vector<float> Binary::floats(size_t index, size_t count) const
{
    std::vector<float> out;
    if (index > bytes.size() || count > bytes.size() - index)
        return out;
    out.reserve(count);
    for (size_t i = index; i < index + count; ++i)
        out.push_back(static_cast<float>(bytes[i]) * 0.00390625f);
    return out;
}

std::string Binary::describe() const { return "Binary { size = " + std::to_string(bytes.size()) + " }\n"; }
