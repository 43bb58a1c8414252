#include "Assert.h"

#include <cstdio>
#include <cstdlib>

namespace ORVDemosys {

void assertFailed(const char* condition, const char* file, int line, const char* function)
{
    // Standard output carries every message of the system; flush it so the line is
    // not lost in a buffer when abort() ends the process.
    std::fflush(stdout);
    std::printf("demosys: %s:%d: %s: Assertion `%s' failed.\n", file, line, function, condition);
    std::fflush(stdout);
    std::abort();
}

} // namespace ORVDemosys
