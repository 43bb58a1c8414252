#include "Shader.h"

#include "Log.h"
#include "RenderState.h"
#include "ShaderDeclaration.h"
#include "ShaderPreprocessor.h"
#include "Texture.h"

#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cstdlib>

using ORVDemosys::Log;

namespace {

// Units a shader tracks textures for, whatever the driver offers beyond.
constexpr GLint maxTrackedUnits = 8;
// Attributes at or above this location are never placed in the ordered list.
constexpr GLint maxAttributeLocation = 10000;

// The program's active uniforms or attributes, with their names, sizes and types (not
// their locations): the count and the longest name from the two queries, each variable
// from getActive (glGetActiveUniform or glGetActiveAttrib).
std::vector<ShaderVariable> activeVariables(GLuint program, GLenum countQuery, GLenum lengthQuery,
                                            PFNGLGETACTIVEUNIFORMPROC getActive)
{
    GLint count = 0;
    glGetProgramiv(program, countQuery, &count);
    // Sized from the longest name, so no name is cut short and then looked up wrongly.
    GLint maxLength = 0;
    glGetProgramiv(program, lengthQuery, &maxLength);
    std::vector<char> buffer(static_cast<size_t>(std::max(maxLength, 1) + 1), '\0');
    std::vector<ShaderVariable> variables(static_cast<size_t>(std::max(count, 0)));
    for (GLint i = 0; i < count; ++i) {
        ShaderVariable& v = variables[static_cast<size_t>(i)];
        getActive(program, static_cast<GLuint>(i), static_cast<GLsizei>(buffer.size()), &v.nameLength, &v.size, &v.type,
                  buffer.data());
        v.name.assign(buffer.data(), static_cast<size_t>(std::max<GLsizei>(v.nameLength, 0)));
    }
    return variables;
}

std::vector<std::string> splitAtBlanks(const std::string& line)
{
    std::vector<std::string> tokens;
    std::string token;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!token.empty())
                tokens.push_back(token);
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty())
        tokens.push_back(token);
    return tokens;
}

std::string shaderInfoLog(GLuint object)
{
    GLint length = 0;
    glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    if (length < 1)
        return std::string();
    std::string log(static_cast<size_t>(length), '\0');
    GLsizei written = 0;
    glGetShaderInfoLog(object, length, &written, &log[0]);
    log.resize(static_cast<size_t>(std::max<GLsizei>(written, 0)));
    return log;
}

} // namespace

Shader::Shader(const std::string& n) : name(n)
{
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &units);
    textureSlots.assign(static_cast<size_t>(std::clamp(units, 0, maxTrackedUnits)), nullptr);
}

Shader::~Shader()
{
    releaseObjects();
}

void Shader::deleteObjects(GLuint program, GLuint vertex, GLuint fragment)
{
    if (program != 0) {
        if (vertex != 0)
            glDetachShader(program, vertex);
        if (fragment != 0)
            glDetachShader(program, fragment);
    }
    if (vertex != 0)
        glDeleteShader(vertex);
    if (fragment != 0)
        glDeleteShader(fragment);
    if (program != 0)
        glDeleteProgram(program);
}

void Shader::releaseObjects()
{
    RenderState::releaseProgram(pref);
    deleteObjects(pref, vref, fref);
    vref = fref = pref = 0;
}

Status Shader::prepare(Shader& shader, const ShaderDeclaration& declaration)
{
    Status read = ShaderPreprocessor::prepareSources(declaration.fileName, declaration.defines, shader.vertexCode,
                                                     shader.fragmentCode);
    if (!read)
        return read;
    if (shader.build())
        return Status::success();
    Log::error() << "Shader::prepare().. failed : " << shader.errorLog << std::endl;
    return Status::failure(shader.errorLog);
}

void Shader::setVertexCode(const std::string& code) { vertexCode = code; }
void Shader::setFragmentCode(const std::string& code) { fragmentCode = code; }

bool Shader::readVersion()
{
    std::vector<std::string> tokens = splitAtBlanks(vertexCode.substr(0, vertexCode.find('\n')));
    glslVersion = 0;
    if (tokens.size() >= 2 && tokens[0] == "#version") {
        unsigned long value = std::strtoul(tokens[1].c_str(), nullptr, 10);
        glslVersion = value > 0xFFFFu ? 0u : static_cast<unsigned int>(value);
    }
    if (glslVersion != 0)
        return true;
    errorLog = "Failed to read GLSL shader version\n"
               "The first line in the shader must contain a lower case #version definiton\n"
               "shader : " +
               name + "\n";
    Log::error() << errorLog << std::endl;
    return false;
}

bool Shader::compile(GLenum stage, GLuint& object, const std::string& code, const char* stageName,
                     const char* extension)
{
    object = glCreateShader(stage);
    const char* text = code.c_str();
    GLint length = static_cast<GLint>(code.size());
    glShaderSource(object, 1, &text, &length);
    glCompileShader(object);
    GLint status = GL_FALSE;
    glGetShaderiv(object, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE)
        return true;
    errorLog += std::string("Error while compiling ") + stageName + " shader\n" + "Shader: " + name + extension +
                "\n" + shaderInfoLog(object);
    Log::error() << errorLog << std::endl;
    return false;
}

bool Shader::link(GLuint program, GLuint vertex, GLuint fragment)
{
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_TRUE)
        return true;
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    if (length < 1) {
        errorLog += "Unknown error while linking shader pair : " + name;
    } else {
        std::string log(static_cast<size_t>(length), '\0');
        GLsizei written = 0;
        glGetProgramInfoLog(program, length, &written, &log[0]);
        log.resize(static_cast<size_t>(std::max<GLsizei>(written, 0)));
        errorLog = "Error while linking shader pair\nShader: " + name + "\n" + log;
    }
    Log::error() << errorLog << std::endl;
    return false;
}

bool Shader::build()
{
    // The new objects replace the program only once they link: a rebuild that fails
    // (a live edit with a typo) leaves the last good program, its uniforms and its
    // attributes in place, and no program that failed is ever bound or cached.
    if (!readVersion())
        return false;
    GLuint vertex = 0, fragment = 0, program = 0;
    bool ok = compile(GL_VERTEX_SHADER, vertex, vertexCode, "vertex", ".vert") &&
              compile(GL_FRAGMENT_SHADER, fragment, fragmentCode, "fragment", ".frag");
    if (ok) {
        program = glCreateProgram();
        ok = link(program, vertex, fragment);
    }
    if (!ok) {
        deleteObjects(program, vertex, fragment);
        return false;
    }
    releaseObjects();
    vref = vertex;
    fref = fragment;
    pref = program;
    readUniforms();
    readAttributes();
    return true;
}

void Shader::readUniforms()
{
    uniforms.clear();
    reportedMissing.clear();
    Log::info() << "Shader " << name << std::endl;
    for (ShaderVariable& v :
         activeVariables(pref, GL_ACTIVE_UNIFORMS, GL_ACTIVE_UNIFORM_MAX_LENGTH, glGetActiveUniform)) {
        v.location = glGetUniformLocation(pref, v.name.c_str());
        uniforms[v.name] = v;
        // GL names an array "a[0]"; the setters address it as "a".
        const std::string suffix = "[0]";
        if (v.name.size() > suffix.size() && v.name.compare(v.name.size() - suffix.size(), suffix.size(), suffix) == 0)
            uniforms[v.name.substr(0, v.name.size() - suffix.size())] = v;
        Log::info() << "-> Uniform : " << v.name << std::endl;
    }
}

void Shader::readAttributes()
{
    attributes.clear();
    attributeKey.clear();
    for (ShaderVariable& v :
         activeVariables(pref, GL_ACTIVE_ATTRIBUTES, GL_ACTIVE_ATTRIBUTE_MAX_LENGTH, glGetActiveAttrib)) {
        // Built-in inputs (gl_InstanceID, gl_VertexID) have no location and are not fed
        // by a vertex array.
        if (v.name.compare(0, 3, "gl_") == 0)
            continue;
        v.location = glGetAttribLocation(pref, v.name.c_str());
        attributes[v.name] = v;
    }
    attributeList.clear();
    for (const auto& entry : attributes)
        if (entry.second.location >= 0 && entry.second.location < maxAttributeLocation)
            attributeList.push_back(entry.second);
    std::sort(attributeList.begin(), attributeList.end(),
              [](const ShaderVariable& a, const ShaderVariable& b) { return a.location < b.location; });
    for (const ShaderVariable& v : attributeList)
        attributeKey += v.name;
}

void Shader::clearTextureSlots() { std::fill(textureSlots.begin(), textureSlots.end(), nullptr); }

void Shader::bind()
{
    if (RenderState::useProgram(pref))
        clearTextureSlots();
}

GLint Shader::uniformLocation(const std::string& uniform)
{
    auto found = uniforms.find(uniform);
    if (found != uniforms.end())
        return found->second.location;
    if (reportedMissing.insert(uniform).second)
        Log::error() << "ERROR: Shader " << name << " : Uniform variable '" << uniform << "' not found!" << std::endl;
    return -1;
}

std::string Shader::describe() const
{
    return "Shader(vshader size = " + std::to_string(vertexCode.size()) +
           ", fragshader size = " + std::to_string(fragmentCode.size()) + ", pref=" + std::to_string(pref) +
           ", vref=" + std::to_string(vref) + ", fref=" + std::to_string(fref) + ")";
}

int Shader::typeByteSize(GLenum type)
{
    switch (type) {
    case GL_FLOAT: case GL_INT: case GL_UNSIGNED_INT: case GL_BOOL:
        return 4;
    case GL_FLOAT_VEC2: case GL_INT_VEC2: case GL_UNSIGNED_INT_VEC2: case GL_BOOL_VEC2:
        return 8;
    case GL_FLOAT_VEC3: case GL_INT_VEC3: case GL_UNSIGNED_INT_VEC3: case GL_BOOL_VEC3:
        return 12;
    case GL_FLOAT_VEC4: case GL_INT_VEC4: case GL_UNSIGNED_INT_VEC4: case GL_BOOL_VEC4:
    case GL_FLOAT_MAT2:
        return 16;
    case GL_FLOAT_MAT2x3: case GL_FLOAT_MAT3x2:
        return 24;
    case GL_FLOAT_MAT2x4: case GL_FLOAT_MAT4x2:
        return 32;
    case GL_FLOAT_MAT3:
        return 36;
    case GL_FLOAT_MAT3x4: case GL_FLOAT_MAT4x3:
        return 48;
    case GL_FLOAT_MAT4:
        return 64;
    case GL_DOUBLE:
        return 8;
    case GL_DOUBLE_VEC2:
        return 16;
    case GL_DOUBLE_VEC3:
        return 24;
    case GL_DOUBLE_VEC4: case GL_DOUBLE_MAT2:
        return 32;
    case GL_DOUBLE_MAT2x3: case GL_DOUBLE_MAT3x2:
        return 48;
    case GL_DOUBLE_MAT2x4: case GL_DOUBLE_MAT4x2:
        return 64;
    case GL_DOUBLE_MAT3:
        return 72;
    case GL_DOUBLE_MAT3x4: case GL_DOUBLE_MAT4x3:
        return 96;
    case GL_DOUBLE_MAT4:
        return 128;
    case GL_SAMPLER_1D: case GL_SAMPLER_2D: case GL_SAMPLER_3D: case GL_SAMPLER_CUBE:
    case GL_SAMPLER_1D_SHADOW: case GL_SAMPLER_2D_SHADOW: case GL_SAMPLER_CUBE_SHADOW:
    case GL_SAMPLER_2D_RECT: case GL_SAMPLER_2D_RECT_SHADOW:
    case GL_SAMPLER_1D_ARRAY: case GL_SAMPLER_2D_ARRAY: case GL_SAMPLER_CUBE_MAP_ARRAY:
    case GL_SAMPLER_1D_ARRAY_SHADOW: case GL_SAMPLER_2D_ARRAY_SHADOW: case GL_SAMPLER_CUBE_MAP_ARRAY_SHADOW:
    case GL_SAMPLER_BUFFER:
    case GL_SAMPLER_2D_MULTISAMPLE: case GL_SAMPLER_2D_MULTISAMPLE_ARRAY:
    case GL_INT_SAMPLER_1D: case GL_INT_SAMPLER_2D: case GL_INT_SAMPLER_3D: case GL_INT_SAMPLER_CUBE:
    case GL_INT_SAMPLER_2D_RECT: case GL_INT_SAMPLER_1D_ARRAY: case GL_INT_SAMPLER_2D_ARRAY:
    case GL_INT_SAMPLER_CUBE_MAP_ARRAY: case GL_INT_SAMPLER_BUFFER:
    case GL_INT_SAMPLER_2D_MULTISAMPLE: case GL_INT_SAMPLER_2D_MULTISAMPLE_ARRAY:
    case GL_UNSIGNED_INT_SAMPLER_1D: case GL_UNSIGNED_INT_SAMPLER_2D: case GL_UNSIGNED_INT_SAMPLER_3D:
    case GL_UNSIGNED_INT_SAMPLER_CUBE: case GL_UNSIGNED_INT_SAMPLER_2D_RECT:
    case GL_UNSIGNED_INT_SAMPLER_1D_ARRAY: case GL_UNSIGNED_INT_SAMPLER_2D_ARRAY:
    case GL_UNSIGNED_INT_SAMPLER_CUBE_MAP_ARRAY: case GL_UNSIGNED_INT_SAMPLER_BUFFER:
    case GL_UNSIGNED_INT_SAMPLER_2D_MULTISAMPLE: case GL_UNSIGNED_INT_SAMPLER_2D_MULTISAMPLE_ARRAY:
        return 4;
    default:
        return 0;
    }
}

void Shader::setTexture(const char* uniform, int unit, Texture* texture)
{
    if (unit < 0 || unit >= getTextureSlotCount()) {
        Log::error() << "ERROR: Shader " << name << " : texture unit " << unit << " out of range for '"
                  << (uniform ? uniform : "") << "'" << std::endl;
        return;
    }
    GLint location = uniformLocation(uniform ? uniform : "");
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    if (texture)
        texture->bind();
    else
        glBindTexture(GL_TEXTURE_2D, 0);
    // Issued even for -1, which GL ignores.
    glUniform1i(location, unit);
    glActiveTexture(GL_TEXTURE0);
    textureSlots[static_cast<size_t>(unit)] = texture;
}

void Shader::setTexture0(const std::string& uniform, Texture* texture) { setTexture(uniform.c_str(), 0, texture); }
void Shader::setTexture1(const std::string& uniform, Texture* texture) { setTexture(uniform.c_str(), 1, texture); }
void Shader::setTexture2(const std::string& uniform, Texture* texture) { setTexture(uniform.c_str(), 2, texture); }
void Shader::setTexture3(const std::string& uniform, Texture* texture) { setTexture(uniform.c_str(), 3, texture); }

void Shader::setCubeMap(const std::string& uniform, int unit, GLuint cubeMap)
{
    if (unit < 0 || unit >= getTextureSlotCount()) {
        Log::error() << "ERROR: Shader " << name << " : texture unit " << unit << " out of range for '" << uniform
                  << "'" << std::endl;
        return;
    }
    GLint location = uniformLocation(uniform);
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMap);
    glUniform1i(location, unit);
    glActiveTexture(GL_TEXTURE0);
}

void Shader::setMatrix4(const char* uniform, const float* values) { setMatrix4(std::string(uniform ? uniform : ""), values); }

void Shader::setMatrix4(const std::string& uniform, const float* values)
{
    GLint location = uniformLocation(uniform);
    if (location != -1 && values)
        glUniformMatrix4fv(location, 1, GL_FALSE, values);
}

void Shader::setMatrix3(const char* uniform, const float* values) { setMatrix3(std::string(uniform ? uniform : ""), values); }

void Shader::setMatrix3(const std::string& uniform, const float* values)
{
    GLint location = uniformLocation(uniform);
    if (location != -1 && values)
        glUniformMatrix3fv(location, 1, GL_FALSE, values);
}

void Shader::setFloat(const std::string& uniform, float value)
{
    GLint location = uniformLocation(uniform);
    if (location != -1)
        glUniform1f(location, value);
}

void Shader::setIntAsFloat(const std::string& uniform, int value) { setFloat(uniform, static_cast<float>(value)); }

void Shader::setVec2(const std::string& uniform, float x, float y)
{
    GLint location = uniformLocation(uniform);
    if (location != -1)
        glUniform2f(location, x, y);
}

void Shader::setVec3(const std::string& uniform, float x, float y, float z)
{
    GLint location = uniformLocation(uniform);
    if (location != -1)
        glUniform3f(location, x, y, z);
}

void Shader::setVec4(const std::string& uniform, float x, float y, float z, float w)
{
    GLint location = uniformLocation(uniform);
    if (location != -1)
        glUniform4f(location, x, y, z, w);
}

void Shader::setVec2(const char* uniform, const glm::vec2& value)
{
    setVec2(std::string(uniform ? uniform : ""), glm::value_ptr(value));
}

void Shader::setVec2(const std::string& uniform, const float* values)
{
    GLint location = uniformLocation(uniform);
    if (location != -1 && values)
        glUniform2fv(location, 1, values);
}

void Shader::setVec3(const std::string& uniform, const glm::vec3& value) { setVec3(uniform, glm::value_ptr(value)); }

void Shader::setVec3(const std::string& uniform, const float* values)
{
    GLint location = uniformLocation(uniform);
    if (location != -1 && values)
        glUniform3fv(location, 1, values);
}

void Shader::setVec4(const char* uniform, const glm::vec4& value)
{
    setVec4(std::string(uniform ? uniform : ""), glm::value_ptr(value));
}

void Shader::setVec4(const std::string& uniform, const float* values)
{
    GLint location = uniformLocation(uniform);
    if (location != -1 && values)
        glUniform4fv(location, 1, values);
}

Texture* Shader::getTextureSlot(int unit) const
{
    if (unit < 0 || unit >= getTextureSlotCount())
        return nullptr;
    return textureSlots[static_cast<size_t>(unit)];
}
