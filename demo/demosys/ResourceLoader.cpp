#include "ResourceLoader.h"

ResourceLoader::ResourceLoader() : message("ResourceLoader : unknown") {}

void ResourceLoader::fail(const std::string& text)
{
    message = text;
    ok = false;
}
