// A sync editor's project file on arbitrary text, put into a sync script: the reader
// takes it or gives a reason, and whatever it takes is written back into the script so
// that the script reads back as exactly the keys the edit holds.
#include "EditorProject.h"
#include "SyncScriptEdit.h"
#include "TimelineDocument.h"
#include "TrackManager.h"
#include "TrackScript.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const script = R"(# a script on the beat grid, with times and rows
rate 20
bpm 120

effect a priority 0 # the first
  start bar 1
  stop @00:08.000
  curve x
    # keys
    bar 1      0
    bar 2.3+0.5 1 ease-out   # comment
    70 2 hold

effect "b" priority 1
  start 5 fbo
  stop 90
  curve y
    @00:01.000 3
)";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<EditorProject::Track> tracks;
    Status read = EditorProject::read(std::string(reinterpret_cast<const char*>(data), size), tracks);
    if (!read) {
        if (read.reason().empty())
            std::abort();
        return 0;
    }
    SyncScriptEdit edit;
    if (!edit.loadText(script, "f.sync"))
        std::abort();
    // A track the script cannot take is refused; the rest must still read back.
    static_cast<void>(EditorProject::apply(tracks, edit));
    const std::string text = edit.text();
    TimelineDocument document;
    if (!TrackScript::parse(text, "f.sync", document))
        std::abort();
    for (const std::string& effect : edit.effectNames()) {
        const EffectTracks* entry = document.manager()->findEntry(effect);
        const std::vector<StartStopKey> keys = edit.startStopKeys(effect);
        std::vector<StartStopKey> read;
        if (entry)
            entry->startStop->getKeys(read);
        if (read.size() != keys.size())
            std::abort();
        for (size_t i = 0; i < keys.size(); ++i)
            if (read[i].row != keys[i].row || read[i].type != keys[i].type || read[i].target != keys[i].target)
                std::abort();
        for (const std::string& curve : edit.curveNames(effect)) {
            const std::vector<InterpolateKey> want = edit.curveKeys(effect, curve);
            std::vector<InterpolateKey> got;
            if (entry && entry->tracksByName.count(curve))
                entry->tracksByName.at(curve)->getKeys(got);
            if (got.size() != want.size())
                std::abort();
            for (size_t i = 0; i < want.size(); ++i)
                if (got[i].row != want[i].row || got[i].type != want[i].type ||
                    std::memcmp(&got[i].value, &want[i].value, sizeof got[i].value) != 0)
                    std::abort();
        }
    }
    return 0;
}
