#include "ShaderDeclaration.h"

ShaderDeclaration::ShaderDeclaration() = default;

ShaderDeclaration::ShaderDeclaration(const std::string& a, const std::string& f, const std::vector<std::string>& d)
    : alias(a), fileName(f), defines(d)
{
}
