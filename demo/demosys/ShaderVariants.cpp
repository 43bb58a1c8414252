#include "ShaderVariants.h"

#include "Assert.h"
#include "Log.h"
#include "Shader.h"

#include <algorithm>

using ORVDemosys::Log;

ShaderVariants::ShaderVariants() = default;
ShaderVariants::~ShaderVariants() = default;

std::string ShaderVariants::withDefines(const std::string& source, const std::vector<std::string>& features,
                                        unsigned int mask)
{
    std::string defines = "#define SHADER_VARIANT\n";
    for (size_t i = 0; i < features.size(); ++i)
        if (mask & (1u << i))
            defines += "#define " + features[i] + "\n";
    const size_t lineEnd = source.find('\n');
    if (lineEnd == std::string::npos)
        return source + "\n" + defines;
    return source.substr(0, lineEnd + 1) + defines + source.substr(lineEnd + 1);
}

Status ShaderVariants::build(Shader* shader, const std::vector<std::string>& names)
{
    ORV_ASSERT(names.size() <= maxFeatures);
    base = shader;
    features = names;
    variants.clear();
    builtFrom = base ? base->getProgram() : 0;
    if (!base || builtFrom == 0)
        return Status::failure(std::string("no variants of ") + (base ? base->getName() : "a missing shader") +
                               ": it has no program");
    // The base program's build has listed its uniforms; the variants' would repeat them.
    Log::Redirect quiet(Log::getSink(), std::max(Log::getThreshold(), Log::Level::Warning));
    std::string failed;
    const unsigned int count = 1u << features.size();
    for (unsigned int mask = 0; mask < count; ++mask) {
        auto variant = std::make_unique<Shader>(base->getName() + "#" + std::to_string(mask));
        variant->setVertexCode(base->getVertexCode());
        variant->setFragmentCode(withDefines(base->getFragmentCode(), features, mask));
        if (variant->build()) {
            variants.push_back(std::move(variant));
        } else {
            variants.push_back(nullptr);
            failed += (failed.empty() ? "" : ", ") + variant->getName();
        }
    }
    if (!failed.empty())
        return Status::failure("shader variants that did not build (the plain program draws instead): " + failed);
    return Status::success();
}

Shader* ShaderVariants::pick(unsigned int mask)
{
    if (!base)
        return nullptr;
    if (base->getProgram() != builtFrom) {
        const Status rebuilt = build(base, features);
        if (!rebuilt)
            Log::warning() << rebuilt.reason() << std::endl;
    }
    const size_t index = mask & ((1u << features.size()) - 1u);
    return index < variants.size() && variants[index] ? variants[index].get() : base;
}
