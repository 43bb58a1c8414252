#pragma once

#include "NamedPool.h"

#include <cstdint>
#include <vector>

class Texture;

// Textures by alias, with the file each was loaded from, so that a file declared under
// two aliases is loaded once.
class DataTexturePool : public NamedPool<Texture> {
public:
    DataTexturePool() : NamedPool(Counting::Adds) {}
    ~DataTexturePool() override;

    // Counts every add; a texture with a file name registers that file under alias.
    void add(const std::string& alias, Texture* texture);
    // Makes a texture record for an already created GL texture of fileName.
    void add(const std::string& alias, const std::string& fileName, unsigned int glTexture);
    bool hasFile(const std::string& fileName) const { return fileNames.count(fileName) != 0; }
    // The GL name of the texture under alias (of fileName); 0 when there is none.
    unsigned int getTextureId(const std::string& alias) const;
    unsigned int getTextureIdByFile(const std::string& fileName) const;
    // The file names of the loaded textures, in name order.
    std::vector<std::string> fileNamesInOrder() const;
    uint64_t totalMemorySize() const;
    uint64_t totalFileSize() const;

    std::string toString() const override;

private:
    // The sum of size() over the textures.
    uint64_t totalOf(int64_t (Texture::*size)() const) const;

    std::map<std::string, std::string> fileNames;
};
