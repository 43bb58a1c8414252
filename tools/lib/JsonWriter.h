#pragma once

#include <sstream>
#include <string>
#include <vector>

// A small streaming JSON writer for the tools' machine-readable output: objects and
// arrays nest, commas and indentation are placed automatically.
class JsonWriter {
public:
    // A compact object or array is written on one line.
    JsonWriter& beginObject(bool compact = false);
    JsonWriter& endObject();
    JsonWriter& beginArray(bool compact = false);
    JsonWriter& endArray();
    // The key of the next value inside an object.
    JsonWriter& key(const std::string& name);
    JsonWriter& value(const std::string& s);
    JsonWriter& value(const char* s) { return value(std::string(s)); }
    JsonWriter& value(long long n);
    JsonWriter& value(int n) { return value(static_cast<long long>(n)); }
    JsonWriter& value(unsigned n) { return value(static_cast<long long>(n)); }
    // Floats are written with enough digits to read back the same single value.
    JsonWriter& value(float f);
    JsonWriter& value(bool b);
    JsonWriter& null();

    std::string str() const { return out.str() + "\n"; }
    static std::string escape(const std::string& s);

private:
    void beforeValue();
    JsonWriter& close(char bracket);
    void newline();

    std::ostringstream out;
    struct Container {
        bool hasElement;
        bool compact;
    };
    std::vector<Container> open;
    bool afterKey = false;
};
