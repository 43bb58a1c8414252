#pragma once

// The base of a class that owns what a copy would share (GL names, files, threads,
// registered instances): class X : NonCopyable { ... }. Copying one is a compile error.
class NonCopyable {
public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;

protected:
    constexpr NonCopyable() = default;
    ~NonCopyable() = default;
};
