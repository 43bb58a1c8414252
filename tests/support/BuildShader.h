#pragma once

#include "Shader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// A shader built from the two sources given; a build that fails fails the calling test
// with the shader's log, and the (unbuilt) shader is still returned.
inline std::unique_ptr<Shader> buildShader(const std::string& name, const std::string& vertex,
                                           const std::string& fragment)
{
    std::unique_ptr<Shader> shader(new Shader(name));
    shader->setVertexCode(vertex);
    shader->setFragmentCode(fragment);
    EXPECT_TRUE(shader->build()) << name << ": " << shader->getErrorLog();
    return shader;
}
