#pragma once

#include "NonCopyable.h"
#include "Status.h"

#include <GL/glew.h>

#include <memory>
#include <string>
#include <vector>

class Shader;

// One program compiled once for every set of a few features, each feature a #define
// put behind the sources' #version line together with "#define SHADER_VARIANT". On a
// CPU rasteriser a feature switched off by a uniform still costs its work: both sides
// of a branch run for every pixel, texture reads included. A pass therefore picks, on
// the CPU, the variant of the features its values use. The program's source reads
// every feature as on when SHADER_VARIANT is not defined, so the plain program (the
// one declared with the resources) draws every case and stands in for a variant that
// failed to build.
class ShaderVariants : NonCopyable {
public:
    static constexpr size_t maxFeatures = 6;

    ShaderVariants();
    ~ShaderVariants();

    // Compiles the 2^n variants of base's sources (n at most maxFeatures); bit i of a
    // variant's index is features[i]. A failure names the variants that did not build
    // (base stands in for each of them, so the pass still draws).
    Status build(Shader* base, const std::vector<std::string>& features);
    // The variant with the features of mask's bits; base itself when none was built.
    // A base rebuilt since (a shader edited while the demo runs) builds them anew.
    Shader* pick(unsigned int mask);

    // The sources with the defines of mask put behind the first line.
    static std::string withDefines(const std::string& source, const std::vector<std::string>& features,
                                   unsigned int mask);

private:
    Shader* base = nullptr;
    GLuint builtFrom = 0;
    std::vector<std::string> features;
    std::vector<std::unique_ptr<Shader>> variants;
};
