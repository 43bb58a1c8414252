#pragma once

#include "NonCopyable.h"
#include "Status.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <map>
#include <set>
#include <string>
#include <vector>

class Texture;
struct ShaderDeclaration;

// One active uniform or vertex attribute of a linked program, as GL reports it.
struct ShaderVariable {
    GLint location = -1;
    std::string name;
    GLsizei nameLength = 0;
    GLenum type = 0;
    GLint size = 0;
};

// One linked GLSL program made of a vertex and a fragment shader. It keeps the
// preprocessed sources, an error log that grows with every failure, the program's
// active uniforms and attributes, and the texture bound to each unit through it.
// Uniform setters assume the program is bound; a name the program does not have
// changes nothing and is reported once per program (a setter runs every frame).
class Shader : NonCopyable {
public:
    explicit Shader(const std::string& name);
    ~Shader();

    // Reads and preprocesses resources/shaders/FILE.vert and .frag of the declaration
    // into the shader and builds it. A failure carries the file's or the build's reason.
    static Status prepare(Shader& shader, const ShaderDeclaration& declaration);

    void setVertexCode(const std::string& code);
    void setFragmentCode(const std::string& code);

    // Version check, compile, link, uniform and attribute discovery. A rebuild that
    // succeeds releases the GL objects of the previous build; one that fails keeps
    // them, with their uniforms and attributes, and only adds to the error log.
    bool build();

    // Makes the program current unless it already is; a switch empties the texture slots.
    void bind();

    // The uniform's location, or -1 when the program has none of that name; the error
    // line for a name is written the first time only, and again after a rebuild.
    GLint uniformLocation(const std::string& name);

    const std::string& getName() const { return name; }
    std::string getErrorLog() const { return errorLog; }
    std::string getAttributeKey() const { return attributeKey; }
    const std::vector<ShaderVariable>& getAttributeList() const { return attributeList; }
    const std::map<std::string, ShaderVariable>& getAttributes() const { return attributes; }
    // An array uniform is entered under GL's "a[0]" and under "a".
    const std::map<std::string, ShaderVariable>& getUniforms() const { return uniforms; }
    GLuint getProgram() const { return pref; }
    GLuint getVertexShader() const { return vref; }
    GLuint getFragmentShader() const { return fref; }
    unsigned int getGlslVersion() const { return glslVersion; }
    const std::string& getVertexCode() const { return vertexCode; }
    const std::string& getFragmentCode() const { return fragmentCode; }

    std::string describe() const;

    // Bytes of one value of a GL data type: components x 4 (float, int, unsigned,
    // bool) or x 8 (double); 4 for every sampler type; 0 for anything else.
    static int typeByteSize(GLenum type);

    // Textures: binds the texture on the unit and points the sampler at the unit. A
    // null texture unbinds the unit's 2D target; a unit outside the slots is refused.
    void setTexture(const char* name, int unit, Texture* texture);
    void setTexture0(const std::string& name, Texture* texture);
    void setTexture1(const std::string& name, Texture* texture);
    void setTexture2(const std::string& name, Texture* texture);
    void setTexture3(const std::string& name, Texture* texture);
    // A raw cube-map texture name; the unit's slot is not recorded.
    void setCubeMap(const std::string& name, int unit, GLuint cubeMap);

    void setMatrix4(const char* name, const float* values);
    void setMatrix4(const std::string& name, const float* values);
    void setMatrix3(const char* name, const float* values);
    void setMatrix3(const std::string& name, const float* values);
    void setFloat(const std::string& name, float value);
    void setIntAsFloat(const std::string& name, int value);
    void setVec2(const std::string& name, float x, float y);
    void setVec3(const std::string& name, float x, float y, float z);
    void setVec4(const std::string& name, float x, float y, float z, float w);
    void setVec2(const char* name, const glm::vec2& value);
    void setVec2(const std::string& name, const float* values);
    void setVec3(const std::string& name, const glm::vec3& value);
    void setVec3(const std::string& name, const float* values);
    void setVec4(const char* name, const glm::vec4& value);
    void setVec4(const std::string& name, const float* values);

    // The texture last set on a unit since the program became current (null: none).
    Texture* getTextureSlot(int unit) const;
    int getTextureSlotCount() const { return static_cast<int>(textureSlots.size()); }

private:
    bool readVersion();
    bool compile(GLenum stage, GLuint& object, const std::string& code, const char* stageName,
                 const char* extension);
    bool link(GLuint program, GLuint vertex, GLuint fragment);
    void readUniforms();
    void readAttributes();
    void releaseObjects();
    static void deleteObjects(GLuint program, GLuint vertex, GLuint fragment);
    void clearTextureSlots();

    std::string name;
    unsigned int glslVersion = 0;
    std::string vertexCode;
    std::string fragmentCode;
    GLuint vref = 0;
    GLuint fref = 0;
    GLuint pref = 0;
    std::string errorLog;
    std::vector<Texture*> textureSlots;
    std::map<std::string, ShaderVariable> uniforms;
    std::set<std::string> reportedMissing;
    std::map<std::string, ShaderVariable> attributes;
    std::vector<ShaderVariable> attributeList;
    std::string attributeKey;
};
