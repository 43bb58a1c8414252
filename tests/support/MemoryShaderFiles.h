#pragma once

#include "ShaderPreprocessor.h"

#include <map>
#include <string>

// A source reader for the shader preprocessor over files held in memory (path -> text),
// read as they stand at each call. The map must outlive the reader.
inline ShaderPreprocessor::SourceReader readFromMemory(const std::map<std::string, std::string>& files)
{
    return [&files](const std::string& path, std::string& text) {
        auto it = files.find(path);
        if (it == files.end())
            return false;
        text = it->second;
        return true;
    };
}
