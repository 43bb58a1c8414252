#include "Assert.h"
#include "PoolLookup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

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

void lookupFailed(const LookupKind& kind, const char* owner, int line)
{
    const std::string file = std::string("demo/demosys/") + owner;
    const std::string function = std::string(kind.type) + "* " + owner + "::" + kind.lookup + "(std::string)";
    assertFailed(kind.condition, file.c_str(), line, function.c_str());
}

} // namespace ORVDemosys
