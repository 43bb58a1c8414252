#pragma once

// The engine-wide assertion for programming and content errors that stop the program.
// The failure line names the condition, the source file, the line and the function,
// then the process aborts. Engine code passes the texts the engine documents for each
// check, so the message stays stable however the source file is edited.

namespace ORVDemosys {

// Prints "demosys: FILE:LINE: FUNCTION: Assertion `CONDITION' failed." on standard
// output, flushes, and aborts.
[[noreturn]] void assertFailed(const char* condition, const char* file, int line, const char* function);

} // namespace ORVDemosys

// Checks cond; on failure reports the given texts.
#define ORV_ASSERT_AT(cond, condText, file, line, function)                              \
    do {                                                                                \
        if (!(cond)) ::ORVDemosys::assertFailed((condText), (file), (line), (function)); \
    } while (0)

// Checks cond; on failure reports this source location.
#define ORV_ASSERT(cond) ORV_ASSERT_AT(cond, #cond, __FILE__, __LINE__, __PRETTY_FUNCTION__)
