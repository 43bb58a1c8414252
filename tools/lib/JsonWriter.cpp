#include "JsonWriter.h"

#include <cmath>
#include <cstdio>

void JsonWriter::newline()
{
    out << '\n' << std::string(open.size() * 2, ' ');
}

void JsonWriter::beforeValue()
{
    if (afterKey) {
        afterKey = false;
        return;
    }
    if (!open.empty()) {
        Container& c = open.back();
        if (c.hasElement)
            out << (c.compact ? ", " : ",");
        if (!c.compact)
            newline();
        c.hasElement = true;
    }
}

JsonWriter& JsonWriter::beginObject(bool compact)
{
    beforeValue();
    out << '{';
    open.push_back({false, compact || (!open.empty() && open.back().compact)});
    return *this;
}

JsonWriter& JsonWriter::close(char bracket)
{
    Container c = open.back();
    open.pop_back();
    if (c.hasElement && !c.compact)
        newline();
    out << bracket;
    return *this;
}

JsonWriter& JsonWriter::endObject() { return close('}'); }

JsonWriter& JsonWriter::beginArray(bool compact)
{
    beforeValue();
    out << '[';
    open.push_back({false, compact || (!open.empty() && open.back().compact)});
    return *this;
}

JsonWriter& JsonWriter::endArray() { return close(']'); }

JsonWriter& JsonWriter::key(const std::string& name)
{
    beforeValue();
    out << '"' << escape(name) << "\": ";
    afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(const std::string& s)
{
    beforeValue();
    out << '"' << escape(s) << '"';
    return *this;
}

JsonWriter& JsonWriter::value(long long n)
{
    beforeValue();
    out << n;
    return *this;
}

JsonWriter& JsonWriter::value(float f)
{
    beforeValue();
    if (!std::isfinite(f)) {
        // JSON has no infinities or NaN.
        out << "null";
        return *this;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(f));
    out << buffer;
    return *this;
}

JsonWriter& JsonWriter::value(bool b)
{
    beforeValue();
    out << (b ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::null()
{
    beforeValue();
    out << "null";
    return *this;
}

std::string JsonWriter::escape(const std::string& s)
{
    std::string r;
    for (unsigned char c : s) {
        switch (c) {
        case '"': r += "\\\""; break;
        case '\\': r += "\\\\"; break;
        case '\n': r += "\\n"; break;
        case '\r': r += "\\r"; break;
        case '\t': r += "\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                r += buffer;
            } else {
                r += static_cast<char>(c);
            }
        }
    }
    return r;
}
