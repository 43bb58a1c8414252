// The timeline editor's API on arbitrary requests: the first byte picks the endpoint,
// the rest is the body (or the query). Every answer is JSON; a refused request changes
// neither the keys nor the revision nor the transport; an accepted key change moves the
// revision on by one and leaves a script that reads back.
#include "BeatGrid.h"
#include "StandInWebHost.h"
#include "SyncScriptEdit.h"
#include "TimelineDocument.h"
#include "TrackScript.h"
#include "WebApi.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const char* const script = standInWebScript;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const char* const endpoints[][2] = {{"POST", "/api/keys"},      {"DELETE", "/api/keys"},
                                               {"POST", "/api/transport"}, {"GET", "/api/waveform"},
                                               {"GET", "/api/value"},      {"POST", "/api/save"}};
    const auto& endpoint = endpoints[data[0] % 6];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);

    // Read once; each input edits a copy.
    static const SyncScriptEdit loaded = [] {
        SyncScriptEdit e;
        if (!e.loadText(script, "/nonexistent/fuzz.sync"))
            std::abort();
        return e;
    }();
    SyncScriptEdit edit = loaded;
    BeatGrid grid;
    WebApi api(edit, grid, 320);
    StandInWebHost host;
    WebApi::Request request{endpoint[0], endpoint[1], std::string(), rest};
    if (request.method != std::string("POST"))
        request.query = rest;
    // Wide waveforms are slow under the fuzzer's instrumentation and test nothing more.
    if (request.path == "/api/waveform")
        request.query = rest.substr(0, 10);
    const uint64_t revision = api.getRevision();
    const WebApi::Reply reply = api.handle(request, host);

    const nlohmann::json answer = nlohmann::json::parse(reply.body, nullptr, false);
    if (answer.is_discarded())
        std::abort();
    if (reply.status != 200) {
        // Every change of a key counts in the edit's pending changes.
        if (!answer.contains("error") || edit.getPendingChanges() != 0 || api.getRevision() != revision ||
            !reply.changedTrack.empty() || host.row != 0 || !host.playing || host.looping)
            std::abort();
        return 0;
    }
    if (!reply.changedTrack.empty()) {
        if (api.getRevision() != revision + 1)
            std::abort();
        TimelineDocument document;
        if (!TrackScript::parse(edit.text(), "fuzz.sync", document) || !document.validate())
            std::abort();
    } else if (edit.getPendingChanges() != 0 || api.getRevision() != revision) {
        std::abort();
    }
    return 0;
}
