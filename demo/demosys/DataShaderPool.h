#pragma once

#include "NamedPool.h"

class Shader;

// The built shader programs by alias.
class DataShaderPool : public NamedPool<Shader> {
public:
    DataShaderPool() : NamedPool(Counting::Entries) {}
    ~DataShaderPool() override;
    // Also prints "Shaders in pool : N".
    std::string toString() const override;
};
