#pragma once

#include "Status.h"
#include "SyncScriptEdit.h"

#include <cstdint>
#include <string>
#include <vector>

class BeatGrid;

// The timeline editor's JSON API over a sync script being edited: what a page in a
// browser (or any tool) reads and changes. It decodes and checks each request, applies
// it to the edit model and answers with the new state; a bad request answers 400 with a
// one-line reason and changes nothing. What only the running program can do (the
// transport, the waveform, the values it draws with, saving) goes through Host.
//
//   GET    /api/timeline              the grid, sections, effects, start/stop keys, curves
//   GET    /api/waveform?width=N      the music's peak envelope in N columns
//   GET    /api/value?track=T&row=R   what the running demo draws with at a row
//   POST   /api/keys                  {"track", "row", "value", "type", "from", "target"}
//   DELETE /api/keys                  track and row, in the query or as a JSON body
//   POST   /api/transport             {"seek": R} | {"pause": B} | {"loop": [A, B] | null}
//   POST   /api/save                  {"revision": N}
class WebApi {
public:
    struct Request {
        std::string method;
        std::string path;  // without the query
        std::string query; // without the '?'
        std::string body;
    };
    struct Reply {
        int status = 200;
        std::string body; // JSON
        // The track a change touched ("effect:curve" or "effect:active"); empty when the
        // request changed no key.
        std::string changedTrack;
    };

    // The running program's side.
    class Host {
    public:
        virtual ~Host() = default;
        virtual uint32_t currentRow() const = 0;
        virtual bool isPlaying() const = 0;
        // False while no loop is set; rows otherwise.
        virtual bool loopRows(uint32_t& first, uint32_t& last) const = 0;
        virtual void seek(uint32_t row) = 0;
        virtual void setPaused(bool paused) = 0;
        virtual void setLoop(uint32_t first, uint32_t last) = 0;
        virtual void clearLoop() = 0;
        // The demo's span in ms.
        virtual uint32_t startMs() const = 0;
        virtual uint32_t endMs() const = 0;
        // The music's lowest and highest sample in each of width equal columns of the
        // span, -1..1; all zero without music.
        virtual void waveform(uint32_t width, std::vector<float>& low, std::vector<float>& high) = 0;
        // What the running timeline draws with: a curve's value, or 1/0 for whether an
        // effect draws (curve empty). False when the running timeline has no such track.
        virtual bool drawnValue(const std::string& effect, const std::string& curve, uint32_t row, float& value) = 0;
        // The edit model has changed: the running demo takes it now.
        virtual void applyEdit() = 0;
    };

    // One track name split: "effect:curve", the curve "active" for start/stop keys.
    struct TrackName {
        std::string effect;
        std::string curve; // empty for "effect:active"
    };
    // The effect is everything before the last ':'. False for a name without one.
    static bool splitTrack(const std::string& name, TrackName& out);

    // A decoded key change (POST /api/keys).
    struct KeyChange {
        TrackName track;
        uint32_t row = 0;
        bool hasValue = false;
        float value = 0.0f;
        bool hasType = false;
        uint32_t type = 0;
        bool hasFrom = false;
        uint32_t from = 0;
        bool hasTarget = false;
        std::string target;
    };
    // Decodes a POST /api/keys body; rows are checked against lastRow. Used by the
    // handler and the fuzz target alike.
    static Status decodeKeyChange(const std::string& body, uint32_t lastRow, KeyChange& out);

    // edit and grid are not owned and outlive the API. lastRow is the demo's last row.
    WebApi(SyncScriptEdit& edit, const BeatGrid& grid, uint32_t lastRow);

    // Runs one request. Called on the thread that owns the edit and the host.
    Reply handle(const Request& request, Host& host);

    // The keys changed outside the API (the editor link, a reload of the script): the
    // revision moves on. For a reload, the caller tells pages to read the timeline again.
    void noteChange() { ++revision; }
    uint64_t getRevision() const { return revision; }

    // JSON texts, also for the push channel.
    std::string timelineJson(const Host& host) const;
    std::string trackJson(const TrackName& track) const;
    std::string transportJson(const Host& host) const;

private:
    Reply getWaveform(const Request& request, Host& host);
    Reply getValue(const Request& request, Host& host);
    Reply postKey(const Request& request);
    Reply deleteKey(const Request& request);
    Reply postTransport(const Request& request, Host& host);
    Reply postSave(const Request& request);
    Reply changed(const TrackName& track);

    SyncScriptEdit& edit;
    const BeatGrid& grid;
    uint32_t lastRow;
    uint64_t revision = 1;
};
