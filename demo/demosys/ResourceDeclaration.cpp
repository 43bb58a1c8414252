#include "ResourceDeclaration.h"

// GL_TEXTURE_2D, without pulling GL into every production header.
static const int texture2D = 0x0DE1;

ResourceDeclaration::ResourceDeclaration() = default;

ResourceDeclaration::ResourceDeclaration(const std::string& alias, const std::string& fileName)
    : alias(alias), fileName(fileName)
{
}

TextureDeclaration::TextureDeclaration() : target(texture2D), mipmapped(false) {}

TextureDeclaration::TextureDeclaration(const std::string& alias, const std::string& fileName, int target,
                                       bool mipmapped)
    : alias(alias), fileName(fileName), target(target), mipmapped(mipmapped)
{
}
