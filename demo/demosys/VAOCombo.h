#pragma once

#include "NonCopyable.h"

#include <GL/glew.h>

#include <map>
#include <string>
#include <vector>

class ArrayBuffer;

// One named attribute array inside a vertex buffer: where it starts within the
// interleaved vertex and how many floats it has.
struct MappedArray {
    std::string name;
    GLsizei offset = 0;
    GLint components = 0;
    ArrayBuffer* buffer = nullptr;
};

// One GL vertex array object wiring a mesh's mapped arrays to the attribute locations
// of one shader layout (its attribute key). Owns the GL name; the mapped arrays belong
// to the mesh.
class VAOCombo : NonCopyable {
public:
    explicit VAOCombo(const std::string& key);
    ~VAOCombo();

    // Binds through the process-wide cache: no GL call when this combo is bound already.
    void bind();

    void add(MappedArray* array);
    // Later entries with the same name replace earlier ones in the name map.
    void addNamed(MappedArray* array);
    MappedArray* find(const std::string& name) const;

    GLuint getGlName() const { return glName; }
    const std::string& getKey() const { return key; }
    const std::vector<MappedArray*>& getArrays() const { return arrays; }
    const std::map<std::string, MappedArray*>& getArrayMap() const { return byName; }

private:
    GLuint glName = 0;
    std::string key;
    std::vector<MappedArray*> arrays;
    std::map<std::string, MappedArray*> byName;
};
