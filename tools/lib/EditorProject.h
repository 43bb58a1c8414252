#pragma once

#include "Status.h"

#include <cstdint>
#include <string>
#include <vector>

class SyncScriptEdit;

// The sync editors' project file, an XML document of tracks and their keys:
//
//   <sync rows="4640">
//     <tracks>
//       <track name="postprocess_effect:brightness">
//         <key row="0" value="0.4" interpolation="1"/>
//
// Tracks are named as over the link: "effect:curve", and "effect:active" for an
// effect's start/stop keys (1 start, 0 stop). Key types are the editors' (0 step,
// 1 linear, 2 smooth, 3 ramp). Reading takes every <track> element wherever it is.
class EditorProject {
public:
    struct Key {
        uint32_t row = 0;
        float value = 0.0f;
        uint8_t interpolation = 0;
    };
    struct Track {
        std::string name;
        std::vector<Key> keys;
    };

    // The script's tracks as a project; rows is the editor's row count.
    static std::string write(const SyncScriptEdit& edit, uint32_t rows);
    // Fails with the reason (and the line) for a document that is not one.
    static Status read(const std::string& xml, std::vector<Track>& tracks);
    // Puts the project's tracks into the script being edited: each track's keys replace
    // the keys it had, other tracks stay. A key whose engine type the editor shows as its
    // type keeps its engine type; start keys draw into the target of the start before.
    // Fails with the reason, the script unchanged past the track that failed.
    static Status apply(const std::vector<Track>& tracks, SyncScriptEdit& edit);
};
