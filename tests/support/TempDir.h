#pragma once

#include "NonCopyable.h"

#include <string>
#include <vector>

// A fresh directory for one test, removed with everything in it when the object goes.
// Optionally the process works inside it while the object lives, since the resource
// layer reads paths relative to the working directory.
class TempDir : NonCopyable {
public:
    explicit TempDir(bool enter = false);
    ~TempDir();

    const std::string& path() const { return dir; }
    // Writes bytes to path()/relative, creating the directories on the way.
    std::string write(const std::string& relative, const std::string& bytes) const;
    std::string write(const std::string& relative, const std::vector<unsigned char>& bytes) const;

private:
    std::string dir;
    std::string previous;
};

// Reads a whole file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);
// Runs a shell command; its exit status.
int runCommand(const std::string& command);
