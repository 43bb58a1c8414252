#pragma once

#include <string>
#include <vector>

// One declared GLSL program: the alias it is pooled under, the base name of its file
// pair under resources/shaders/ (without ".vert"/".frag") and the #define names that
// are compiled into both files.
struct ShaderDeclaration {
    ShaderDeclaration();
    ShaderDeclaration(const std::string& alias, const std::string& fileName,
                      const std::vector<std::string>& defines = {});

    std::string alias;
    std::string fileName;
    std::vector<std::string> defines;
};
