#pragma once

#include "Assert.h"

#include <string>

namespace ORVDemosys {

// The shared body of the engine's asserting resource lookups: the entry of that name in
// pool (a pool pointer or the engine's slot of one, which may not have been created
// yet), or a stop with the lookup's documented assertion texts when there is none.
template <typename Pool>
auto lookupOrStop(const Pool& pool, const std::string& name, const char* condText, const char* file, int line,
                  const char* function) -> decltype(pool->get(name))
{
    auto found = pool ? pool->get(name) : nullptr;
    if (found == nullptr)
        assertFailed(condText, file, line, function);
    return found;
}

} // namespace ORVDemosys
