#pragma once

// The tools' command lines: CLI11 parses them, and each tool keeps its own usage text
// and exit statuses. Called bare, a tool prints its usage on standard output with
// status 2; -h or --help prints it with status 0; a command line that CLI11 refuses
// prints "TOOL: reason" and the usage on standard error with status 2 (with whyLine
// false, the usage alone, for a usage of one line that must stay one line).
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

// The status to exit with, or -1 when the command line parsed and the tool goes on. The
// app carries the tool's name (CLI::App app("", "TOOL")), which starts its error lines.
inline int parseCommandLine(CLI::App& app, int argc, char** argv, const std::string& usage, bool whyLine = true)
{
    if (argc < 2) {
        std::cout << usage;
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << usage;
        return 0;
    } catch (const CLI::ParseError& e) {
        if (whyLine)
            std::cerr << app.get_name() << ": " << e.what() << "\n";
        std::cerr << usage;
        return 2;
    }
    return -1;
}
