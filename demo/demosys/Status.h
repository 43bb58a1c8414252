#pragma once

#include <string>
#include <utility>

// The result of anything that can fail on its input (a file, an archive entry, a shader
// source, a sound device, a command-line argument): success, or failure with one line
// naming what failed and why. What a call produces goes into the object it was called on
// or a reference argument; the Status says only whether it worked. Whoever gives up on
// the input logs the reason, once. Programming errors are assertions instead (Assert.h).
class [[nodiscard]] Status {
public:
    // Success.
    Status() = default;
    static Status success() { return Status(); }
    static Status failure(std::string reason) { return Status(std::move(reason)); }

    bool ok() const { return !failed; }
    explicit operator bool() const { return !failed; }
    // Empty on success.
    const std::string& reason() const { return text; }

private:
    explicit Status(std::string reason) : failed(true), text(std::move(reason)) {}

    bool failed = false;
    std::string text;
};
