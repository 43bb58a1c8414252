// demosys-tracks: converts a timeline between its readable text form and the two forms
// the engine stores, with the engine's own loaders and writers.
//
//   demosys-tracks compile SCRIPT DIR [--files]   text -> packed pair (or one file per track)
//   demosys-tracks decompile DIR [--files] [-o SCRIPT] [--rate N]
//                                                 stored form -> text (standard output by default)
//   demosys-tracks to-editor SCRIPT PROJECT       text -> the sync editors' XML project
//   demosys-tracks from-editor PROJECT SCRIPT     the project's keys -> into the text
#include "CommandLine.h"
#include "EditorProject.h"
#include "SyncScriptEdit.h"
#include "TimelineDocument.h"
#include "TrackManager.h"
#include "TrackScript.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const usage =
    "usage: demosys-tracks compile SCRIPT DIR [--files]\n"
    "       demosys-tracks decompile DIR [--files] [-o SCRIPT] [--rate N]\n"
    "       demosys-tracks to-editor SCRIPT PROJECT\n"
    "       demosys-tracks from-editor PROJECT SCRIPT\n"
    "\n"
    "compile    reads a sync script and writes its timeline into DIR: index.list and\n"
    "           track.data (the form the demo loads), or one .track file per track with\n"
    "           --files; track.properties holds the enabled flags, the rows per second\n"
    "           and the beat grid in both cases. Track files (N.track, N.T.track) of an\n"
    "           earlier timeline in DIR that this one does not write are removed.\n"
    "decompile  reads the timeline stored in DIR and writes it as a sync script, keys on\n"
    "           rows; --rate overrides the rows per second stored with it (default 20)\n"
    "to-editor  writes the script's keys as a sync editor's XML project: tracks\n"
    "           effect:curve and effect:active (start 1, stop 0), the editors' key types\n"
    "from-editor puts the tracks of such a project into the script: their keys replace\n"
    "           the script's keys of those tracks, written in its notation; comments and\n"
    "           every other line stay\n"
    "\n"
    "Positions in a script (start, stop and curve keys) are written as\n"
    "  640            a row (rate 20: 20 rows a second)\n"
    "  @00:32.000     a time, @MM:SS.mmm\n"
    "  b65  b65.5     a beat, counted from 1 as a musician counts: b1 is the start\n"
    "  bar 17.1       bar 17, beat 1 (4 beats a bar, both counted from 1: bar 1.1 is the\n"
    "  bar 17.3+0.5   start); +F adds part of a beat. bar 17 is bar 17.1\n"
    "Beats need 'bpm N' before the first effect; 'rows-per-beat N' sets the grid where\n"
    "it is not rate x 60 / bpm (bpm 120 at rate 20: 10 rows a beat, 40 a bar, so\n"
    "b65 = bar 17.1 = row 640 = @00:32.000).\n";

int fail(const std::string& message)
{
    std::cerr << "demosys-tracks: " << message << std::endl;
    return 1;
}

int compile(const std::string& scriptPath, const std::string& directory, TimelineDocument::Form form)
{
    std::ifstream in(scriptPath, std::ios::binary);
    if (!in)
        return fail(scriptPath + ": cannot read");
    std::stringstream text;
    text << in.rdbuf();
    TimelineDocument document;
    Status parsed = TrackScript::parse(text.str(), scriptPath, document);
    if (!parsed)
        return fail(parsed.reason());
    Status valid = document.validate();
    if (!valid)
        return fail(scriptPath + ": start and stop keys must alternate (" + valid.reason() + ")");
    Status saved = document.save(directory, form);
    if (!saved)
        return fail(saved.reason());
    std::cerr << "demosys-tracks: wrote " << document.manager()->getEntryCount() << " effects and "
              << document.manager()->getTrackFileCount() << " track files at "
              << document.manager()->getRowsPerSecond() << " rows per second to " << directory << std::endl;
    if (!document.removedFiles().empty()) {
        std::cerr << "demosys-tracks: removed " << document.removedFiles().size()
                  << " track files the timeline no longer has:";
        for (const std::string& name : document.removedFiles())
            std::cerr << " " << name;
        std::cerr << std::endl;
    }
    return 0;
}

int decompile(const std::string& directory, TimelineDocument::Form form, const std::string& output, int rate)
{
    TimelineDocument document;
    Status loaded = document.load(directory, form);
    if (!loaded)
        return fail(loaded.reason());
    // Without --rate the stored rate stands (20 where none is stored).
    if (rate > 0)
        document.manager()->setRowsPerSecond(rate);
    Status valid = document.validate();
    if (!valid)
        return fail(directory + ": start and stop keys do not alternate (" + valid.reason() + ")");
    std::string text = TrackScript::format(document);
    if (output.empty()) {
        std::cout << text;
        return 0;
    }
    std::ofstream out(output, std::ios::binary);
    out << text;
    out.close();
    if (!out)
        return fail(output + ": cannot write");
    return 0;
}

int toEditor(const std::string& scriptPath, const std::string& projectPath)
{
    SyncScriptEdit edit;
    Status loaded = edit.load(scriptPath);
    if (!loaded)
        return fail(loaded.reason());
    // The editor's rows reach past the last key.
    uint32_t last = 0;
    for (const std::string& effect : edit.effectNames()) {
        for (const StartStopKey& k : edit.startStopKeys(effect))
            last = std::max(last, k.row);
        for (const std::string& curve : edit.curveNames(effect))
            for (const InterpolateKey& k : edit.curveKeys(effect, curve))
                last = std::max(last, k.row);
    }
    std::ofstream out(projectPath, std::ios::binary);
    out << EditorProject::write(edit, last + 1);
    out.close();
    if (!out)
        return fail(projectPath + ": cannot write");
    return 0;
}

int fromEditor(const std::string& projectPath, const std::string& scriptPath)
{
    std::ifstream in(projectPath, std::ios::binary);
    if (!in)
        return fail(projectPath + ": cannot read");
    std::stringstream xml;
    xml << in.rdbuf();
    std::vector<EditorProject::Track> tracks;
    Status read = EditorProject::read(xml.str(), tracks);
    if (!read)
        return fail(projectPath + ": " + read.reason());
    SyncScriptEdit edit;
    Status loaded = edit.load(scriptPath);
    if (!loaded)
        return fail(loaded.reason());
    Status applied = EditorProject::apply(tracks, edit);
    if (!applied)
        return fail(projectPath + ": " + applied.reason());
    Status saved = edit.save();
    if (!saved)
        return fail(saved.reason());
    std::cerr << "demosys-tracks: " << tracks.size() << " tracks of " << projectPath << " in " << scriptPath
              << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app("", "demosys-tracks");
    app.require_subcommand(1);
    std::string first, second, output;
    bool files = false;
    int rate = 0;
    CLI::App* compileCommand = app.add_subcommand("compile");
    compileCommand->add_option("SCRIPT", first)->required();
    compileCommand->add_option("DIR", second)->required();
    CLI::App* decompileCommand = app.add_subcommand("decompile");
    decompileCommand->add_option("DIR", first)->required();
    decompileCommand->add_option("-o", output);
    decompileCommand->add_option("--rate", rate)->check(CLI::Range(1, 1000));
    for (CLI::App* command : {compileCommand, decompileCommand})
        command->add_flag("--files", files);
    CLI::App* toEditorCommand = app.add_subcommand("to-editor");
    toEditorCommand->add_option("SCRIPT", first)->required();
    toEditorCommand->add_option("PROJECT", second)->required();
    CLI::App* fromEditorCommand = app.add_subcommand("from-editor");
    fromEditorCommand->add_option("PROJECT", first)->required();
    fromEditorCommand->add_option("SCRIPT", second)->required();
    const int status = parseCommandLine(app, argc, argv, usage);
    if (status >= 0)
        return status;

    const TimelineDocument::Form form = files ? TimelineDocument::Files : TimelineDocument::Packed;
    if (compileCommand->parsed())
        return compile(first, second, form);
    if (decompileCommand->parsed())
        return decompile(first, form, output, rate);
    if (toEditorCommand->parsed())
        return toEditor(first, second);
    return fromEditor(first, second);
}
