#include "DataTexturePool.h"

#include "Log.h"
#include "Texture.h"

#include <sstream>

using ORVDemosys::Log;

DataTexturePool::~DataTexturePool()
{
    Log::info() << "[Dispose texturePool]" << std::endl;
    deleteAll();
}

void DataTexturePool::add(const std::string& alias, Texture* texture)
{
    NamedPool::add(alias, texture);
    if (texture && !texture->getName().empty())
        fileNames[texture->getName()] = alias;
}

void DataTexturePool::add(const std::string& alias, const std::string& fileName, unsigned int glTexture)
{
    NamedPool::add(alias, new Texture(fileName, glTexture));
    fileNames[fileName] = alias;
}

unsigned int DataTexturePool::getTextureId(const std::string& alias) const
{
    Texture* t = get(alias);
    return t ? t->getGlName() : 0;
}

unsigned int DataTexturePool::getTextureIdByFile(const std::string& fileName) const
{
    auto it = fileNames.find(fileName);
    return it == fileNames.end() ? 0 : getTextureId(it->second);
}

std::vector<std::string> DataTexturePool::fileNamesInOrder() const
{
    std::vector<std::string> names;
    for (const auto& entry : fileNames)
        names.push_back(entry.first);
    return names;
}

uint64_t DataTexturePool::totalOf(int64_t (Texture::*size)() const) const
{
    uint64_t total = 0;
    for (const auto& entry : entries)
        if (entry.second)
            total += static_cast<uint64_t>((entry.second->*size)());
    return total;
}

uint64_t DataTexturePool::totalMemorySize() const { return totalOf(&Texture::memorySize); }

uint64_t DataTexturePool::totalFileSize() const { return totalOf(&Texture::fileSize); }

std::string DataTexturePool::toString() const
{
    std::ostringstream s;
    uint64_t memory = totalMemorySize();
    uint64_t files = totalFileSize();
    s << "DataTexturePool {\n";
    s << "    total memory size : " << static_cast<double>(memory) * (1.0 / 1024.0) * (1.0 / 1024.0) << " MB - "
      << memory << " bytes\n";
    s << "    total file size : " << static_cast<double>(files) * (1.0 / 1024.0) * (1.0 / 1024.0) << " mb - " << files
      << " bytes\n";
    s << "    numTextures = " << count << "\n";
    for (const auto& entry : entries)
        s << "    " << entry.first << " = " << (entry.second ? entry.second->describe() : std::string("\n"));
    s << "}\n";
    return s.str();
}
