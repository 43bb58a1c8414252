#pragma once

#include "Assert.h"

#include <string>

namespace ORVDemosys {

// What an asserting lookup of one kind of resource says when its alias is missing: the
// returned type and the lookup's name make the function text, with the condition text the
// engine documents for that kind.
struct LookupKind {
    const char* type;      // "Shader"
    const char* lookup;    // "GetShader"
    const char* condition; // "shader != __null"
};

namespace Lookup {
constexpr LookupKind shader{"Shader", "GetShader", "shader != __null"};
constexpr LookupKind texture{"Texture", "GetTexture", "tex!=__null"};
constexpr LookupKind fbo{"FBO", "GetFBO", "fbo != __null"};
constexpr LookupKind scene{"ORVScene", "GetScene", "scene != __null"};
constexpr LookupKind binary{"Binary", "GetBinary", "bin != __null"};
constexpr LookupKind video{"Video", "GetVideo", "video != __null"};
constexpr LookupKind effect{"Effect", "GetEffect", "effect != __null"};
} // namespace Lookup

// Stops the program as the lookup `owner::kind.lookup(std::string)` at the documented
// line of demo/demosys/owner does on a missing alias.
[[noreturn]] void lookupFailed(const LookupKind& kind, const char* owner, int line);

// The shared body of the engine's asserting resource lookups: the entry of that name in
// pool (a pool pointer or the engine's slot of one, which may not have been created
// yet), or a stop with the lookup's documented assertion texts when there is none.
template <typename Pool>
auto lookupOrStop(const Pool& pool, const std::string& name, const LookupKind& kind, const char* owner, int line)
    -> decltype(pool->get(name))
{
    auto found = pool ? pool->get(name) : nullptr;
    if (found == nullptr)
        lookupFailed(kind, owner, line);
    return found;
}

} // namespace ORVDemosys
