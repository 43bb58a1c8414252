#include "ORVIO.h"

#include "ResourceArchive.h"
#include "ResourceFile.h"

#include <iostream>

namespace {
int resourceMode = ORVIO::ModeFiles;
bool verbose = false;
} // namespace

void ORVIO::init(int mode, const std::string& archivePath)
{
    resourceMode = mode;
    if (mode == ModeArchive)
        ResourceArchive::open(archivePath.c_str());
    verbose = false;
}

void ORVIO::release()
{
    if (resourceMode == ModeArchive)
        ResourceArchive::close();
}

int ORVIO::getMode() { return resourceMode; }
bool ORVIO::isVerbose() { return verbose; }
void ORVIO::setVerbose(bool v) { verbose = v; }

ResourceFile* ORVIO::load(const std::string& path, int mode)
{
    if (mode == ModeFiles)
        return new ResourceFile(path, ResourceFile::Read);
    if (mode == ModeArchive) {
        ResourceFile* file = new ResourceFile(path);
        file->readFromArchive();
        return file;
    }
    return nullptr;
}

ResourceFile* ORVIO::loadTextFile(const std::string& path) { return loadTextFile(path, resourceMode); }

ResourceFile* ORVIO::loadTextFile(const std::string& path, int mode)
{
    if (verbose)
        std::cout << "Loading text file : " << path << std::endl;
    return load(path, mode);
}

ResourceFile* ORVIO::loadFile(const std::string& path) { return loadFile(path, resourceMode); }

ResourceFile* ORVIO::loadFile(const std::string& path, int mode)
{
    if (verbose)
        std::cout << "Loading file : " << path << std::endl;
    return load(path, mode);
}
