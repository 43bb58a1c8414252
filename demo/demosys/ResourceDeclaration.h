#pragma once

#include <string>

// A declared resource file: the alias it is pooled under and its file name inside the
// resource directory of its kind (3D objects, binary data, misc files, videos).
struct ResourceDeclaration {
    ResourceDeclaration();
    ResourceDeclaration(const std::string& alias, const std::string& fileName);

    std::string alias;
    std::string fileName;
};

// A declared texture: also the GL target it is made as and whether it gets mipmaps.
struct TextureDeclaration {
    TextureDeclaration();
    TextureDeclaration(const std::string& alias, const std::string& fileName, int target, bool mipmapped);

    std::string alias;
    std::string fileName;
    int target;
    bool mipmapped;
    // Set when a scene refers to this texture (or declared it for itself).
    bool used = false;
};
