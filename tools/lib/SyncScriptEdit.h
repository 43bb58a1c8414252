#pragma once

#include "Status.h"
#include "TimelineDocument.h"
#include "TrackInterpolate.h"
#include "TrackScript.h"
#include "TrackStartStop.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A sync script being edited key by key: by an editor linked to the running demo, or by
// any tool. It holds the script's text as read and the keys as edited; build() gives the
// timeline to apply to the running demo after each change, and save() writes the keys
// back into the script: only the key lines of the tracks that changed are rewritten
// (new ones in the script's notation: bars on a beat grid, times where the track already
// uses them, rows otherwise), every other byte stays. The file is written whole through
// a temporary file and a rename, and never over a script that changed on disk since it
// was read.
class SyncScriptEdit {
public:
    // Reads and parses the script. Fails with a one-line reason; the edit is unchanged.
    Status load(const std::string& path);
    // The same from text already read (path names it in messages and is where save writes).
    Status loadText(const std::string& text, const std::string& path);

    bool isLoaded() const { return loaded; }
    const std::string& getPath() const { return path; }
    // The text as read (or last saved).
    const std::string& getBaseText() const { return baseText; }
    // Whether keys differ from the script as read.
    bool isModified() const;
    // The number of changes made since the script was read or saved.
    int getPendingChanges() const { return pending; }

    int32_t getRowsPerSecond() const { return rowsPerSecond; }

    bool hasEffect(const std::string& effect) const { return effects.count(effect) != 0; }
    // The effect's priority in the timeline; 0 for an effect the edit does not have.
    int32_t priorityOf(const std::string& effect) const
    {
        const auto e = effects.find(effect);
        return e == effects.end() ? 0 : e->second.priority;
    }
    // Adds an effect the script has no block for (the running production has it).
    void addEffect(const std::string& effect, int32_t priority);

    // Curve keys. A set replaces the key at its row; an unknown curve of a known effect is
    // added. False (nothing changed) for an unknown effect or a key that is not there.
    bool setCurveKey(const std::string& effect, const std::string& curve, const InterpolateKey& key);
    bool deleteCurveKey(const std::string& effect, const std::string& curve, uint32_t row);
    bool moveCurveKey(const std::string& effect, const std::string& curve, uint32_t fromRow, uint32_t toRow);
    // The key at row, or null.
    const InterpolateKey* findCurveKey(const std::string& effect, const std::string& curve, uint32_t row) const;
    std::vector<InterpolateKey> curveKeys(const std::string& effect, const std::string& curve) const;

    // Start/stop keys. The result must still pass the engine's start/stop check; a change
    // that does not is refused with its reason and nothing changes.
    Status setStartStop(const std::string& effect, const StartStopKey& key);
    Status deleteStartStop(const std::string& effect, uint32_t row);
    Status moveStartStop(const std::string& effect, uint32_t fromRow, uint32_t toRow);
    std::vector<StartStopKey> startStopKeys(const std::string& effect) const;
    // Where a new start at row draws: the target of the effect's last start at or before
    // row, else of its first start, else the screen.
    std::string startTargetAt(const std::string& effect, uint32_t row) const;

    // All keys of a track at once (a project read from another program): a curve's keys
    // replaced (the curve added when new), an effect's start/stop keys replaced when the
    // whole of them passes the start/stop check.
    bool replaceCurve(const std::string& effect, const std::string& curve, const std::vector<InterpolateKey>& keys);
    Status replaceStartStop(const std::string& effect, const std::vector<StartStopKey>& keys);

    // Effects in script order (then added ones), and an effect's curves in its order.
    const std::vector<std::string>& effectNames() const { return effectOrder; }
    std::vector<std::string> curveNames(const std::string& effect) const;

    // The edited timeline as a document of stand-in effects, ready for
    // TrackManager::adoptKeys on the running one.
    void build(TimelineDocument& out) const;

    // The script as save() would write it.
    std::string text() const;
    // Writes text() over the script. Refused (the file untouched) when the file on disk
    // is no longer the text that was read.
    Status save();

private:
    struct Curve {
        std::map<uint32_t, InterpolateKey> keys;
    };
    struct EffectKeys {
        int32_t priority = 0;
        bool enabled = true;
        std::map<uint32_t, StartStopKey> startStop;
        std::map<std::string, Curve> curves;
        std::vector<std::string> curveOrder;
    };
    using Effects = std::map<std::string, EffectKeys>;

    static void extract(const TimelineDocument& document, Effects& out, std::vector<std::string>& order);
    Status checkStartStop(const Effects& candidate) const;
    Curve* curveFor(const std::string& effect, const std::string& curve, bool create);
    // The text of a block for an effect the script has no block for; empty when the
    // effect has no keys.
    std::string newBlockText(const std::string& name, const EffectKeys& keys) const;

    bool loaded = false;
    std::string path;
    std::string baseText;
    std::vector<TrackScript::Statement> layout;
    int32_t rowsPerSecond = 20;
    TimelineDocument::BeatGrid grid;
    Effects original;
    Effects effects;
    std::vector<std::string> effectOrder; // script order, then added effects
    int pending = 0;
};
