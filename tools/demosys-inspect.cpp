// demosys-inspect: shows what the engine reads from a production's files.
//
//   demosys-inspect archive FILE                  every entry of a resource archive with its size
//   demosys-inspect tracks DIR [--files] [--at ROW] [--rate N]
//                                                 the whole timeline of a track directory as JSON
#include "JsonWriter.h"
#include "ResourceArchive.h"
#include "TimelineDocument.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackScript.h"
#include "TrackStartStop.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const usage =
    "usage: demosys-inspect archive FILE\n"
    "       demosys-inspect tracks DIR [--files] [--at ROW] [--rate N]\n"
    "\n"
    "archive  lists every entry of a 7z resource archive with its size in bytes\n"
    "tracks   prints the timeline stored in DIR as JSON: packed form (index.list and\n"
    "         track.data) by default, one file per track with --files; --at ROW adds\n"
    "         the effects active at that row in drawing order and each curve's value at\n"
    "         the start of the row; --rate sets the rows per second (default 20)\n";

int fail(const std::string& message)
{
    std::cerr << "demosys-inspect: " << message << std::endl;
    return 1;
}

int inspectArchive(const std::string& path)
{
    if (!ResourceArchive::open(path.c_str()))
        return fail(path + ": cannot open as a 7z archive");
    JsonWriter json;
    json.beginObject().key("archive").value(path).key("entries").beginArray();
    long long total = 0;
    int files = 0;
    for (int i = 0; i < ResourceArchive::entryCount(); ++i) {
        bool directory = ResourceArchive::entryIsDirectory(i);
        json.beginObject(true)
            .key("name")
            .value(ResourceArchive::entryName(i))
            .key("size")
            .value(static_cast<long long>(ResourceArchive::entrySizeAt(i)))
            .key("directory")
            .value(directory)
            .endObject();
        if (!directory) {
            total += ResourceArchive::entrySizeAt(i);
            ++files;
        }
    }
    json.endArray().key("files").value(files).key("totalSize").value(total).endObject();
    ResourceArchive::close();
    std::cout << json.str();
    return 0;
}

void writeTimeline(JsonWriter& json, const TrackManager& m)
{
    json.key("entries").beginArray();
    for (int i = 0; i < m.getEntryCount(); ++i) {
        const EffectTracks* entry = m.getEntry(i);
        json.beginObject()
            .key("name")
            .value(entry->name)
            .key("priority")
            .value(entry->startStop->getPriority())
            .key("enabled")
            .value(entry->startStop->isEnabled());
        std::vector<StartStopKey> keys;
        entry->startStop->getKeys(keys);
        json.key("keys").beginArray();
        for (const StartStopKey& k : keys) {
            json.beginObject(true).key("row").value(k.row).key("type").value(k.type);
            if (k.type == StartStopKey::Start)
                json.key("target").value(k.target);
            json.endObject();
        }
        json.endArray().key("curves").beginArray();
        for (const TrackInterpolate* curve : entry->tracks) {
            json.beginObject().key("name").value(curve->getName()).key("keys").beginArray();
            std::vector<InterpolateKey> ckeys;
            curve->getKeys(ckeys);
            for (const InterpolateKey& k : ckeys)
                json.beginObject(true)
                    .key("row")
                    .value(k.row)
                    .key("type")
                    .value(k.type)
                    .key("interpolation")
                    .value(TrackScript::interpolationName(k.type))
                    .key("value")
                    .value(k.value)
                    .endObject();
            json.endArray().endObject();
        }
        json.endArray().endObject();
    }
    json.endArray();
}

void writeRow(JsonWriter& json, TrackManager& m, uint32_t row)
{
    uint32_t timeMs = static_cast<uint32_t>(uint64_t(row) * 1000 / static_cast<uint32_t>(m.getRowsPerSecond()));
    // The engine's own frame step decides what is active and in which order; the
    // stand-in effects draw nothing.
    m.drawFrame(timeMs, row, 0);
    json.key("at").beginObject().key("row").value(row).key("timeMs").value(timeMs);
    json.key("active").beginArray();
    for (const EffectTracks* entry : m.getActiveEntries()) {
        const StartStopKey* start = entry->startStop->getKey(entry->startStop->getRangeStartRow(row));
        json.beginObject(true)
            .key("name")
            .value(entry->name)
            .key("priority")
            .value(entry->startStop->getPriority())
            .key("target")
            .value(start ? start->target : std::string("screen"))
            .endObject();
    }
    json.endArray().key("values").beginArray();
    for (int i = 0; i < m.getEntryCount(); ++i) {
        const EffectTracks* entry = m.getEntry(i);
        for (const TrackInterpolate* curve : entry->tracks)
            json.beginObject(true)
                .key("effect")
                .value(entry->name)
                .key("curve")
                .value(curve->getName())
                .key("value")
                .value(curve->getValue(timeMs, m.getRowsPerSecond()))
                .endObject();
    }
    json.endArray().endObject();
}

bool parseNumber(const std::string& text, long long low, long long high, long long& out)
{
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && out >= low && out <= high;
}

int inspectTracks(const std::vector<std::string>& args)
{
    std::string directory;
    TimelineDocument::Form form = TimelineDocument::Packed;
    bool haveRow = false;
    long long row = 0, rate = TrackManager::defaultRowsPerSecond;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--files") {
            form = TimelineDocument::Files;
        } else if (args[i] == "--at" && i + 1 < args.size()) {
            if (!parseNumber(args[++i], 0, 0xFFFFFFFFll, row))
                return fail("--at takes a row number, not '" + args[i] + "'");
            haveRow = true;
        } else if (args[i] == "--rate" && i + 1 < args.size()) {
            if (!parseNumber(args[++i], 1, 1000, rate))
                return fail("--rate takes 1 to 1000 rows per second, not '" + args[i] + "'");
        } else if (directory.empty() && args[i].rfind("--", 0) != 0) {
            directory = args[i];
        } else {
            return fail("unexpected argument '" + args[i] + "'\n" + usage);
        }
    }
    if (directory.empty())
        return fail(std::string("tracks needs a directory\n") + usage);

    TimelineDocument document;
    if (!document.load(directory, form))
        return fail(document.error());
    TrackManager& m = *document.manager();
    m.setRowsPerSecond(static_cast<int32_t>(rate));
    std::string reason;
    bool valid = document.validate(reason);

    JsonWriter json;
    json.beginObject()
        .key("directory")
        .value(directory)
        .key("form")
        .value(form == TimelineDocument::Packed ? "packed" : "files")
        .key("rowsPerSecond")
        .value(static_cast<long long>(rate))
        .key("valid")
        .value(valid);
    writeTimeline(json, m);
    if (haveRow)
        writeRow(json, m, static_cast<uint32_t>(row));
    json.endObject();
    std::cout << json.str();
    if (!valid)
        return fail(directory + ": start/stop keys do not alternate (" + reason + ")");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << usage;
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "archive" && args.size() == 2)
        return inspectArchive(args[1]);
    if (args[0] == "tracks")
        return inspectTracks(std::vector<std::string>(args.begin() + 1, args.end()));
    std::cerr << usage;
    return 2;
}
