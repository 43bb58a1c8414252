// The sync script parser on arbitrary text: it never crashes, and whatever it accepts
// writes back to a text that parses to the same text again.
#include "TimelineDocument.h"
#include "TrackScript.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    TimelineDocument document;
    if (!TrackScript::parse(text, "fuzz.sync", document))
        return 0;
    std::string formatted = TrackScript::format(document);
    TimelineDocument again;
    if (!TrackScript::parse(formatted, "formatted.sync", again) || TrackScript::format(again) != formatted)
        std::abort();
    return 0;
}
