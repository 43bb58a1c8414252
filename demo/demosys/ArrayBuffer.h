#pragma once

#include "NonCopyable.h"

#include <GL/glew.h>

// One GL buffer object and the client array it is filled from. Vertex buffers hold
// floats and may interleave several attribute arrays: every array mapped onto the
// buffer grows nextOffset and stride by its size, so stride is the size of one vertex.
// The buffer owns its GL name and, when it allocated the client array itself, that
// array too.
class ArrayBuffer : NonCopyable {
public:
    // Generates the GL name. With ownsData the array (allocated with new[]) is freed
    // with the buffer; otherwise the caller keeps it alive until it is uploaded.
    ArrayBuffer(GLenum target, GLenum dataType, GLsizei count, void* data, bool ownsData);
    ~ArrayBuffer();

    // Copies the client array into the GL buffer (GL_STATIC_DRAW). A buffer whose
    // borrowed array was already uploaded and forgotten keeps its GL contents.
    void upload();

    // Points the buffer at another client array (freeing an owned previous one).
    void replaceData(GLsizei newCount, void* newData, bool newOwnsData);
    // Forgets a borrowed client array (after upload the caller may free it); an owned
    // array stays.
    void forgetBorrowedData();

    // Grows the interleaved vertex by one array of that many bytes; returns its offset.
    GLsizei appendArray(GLsizei bytes);

    GLsizeiptr byteSize() const;

    GLuint getGlName() const { return glName; }
    GLenum getTarget() const { return target; }
    GLenum getDataType() const { return dataType; }
    GLsizei getCount() const { return count; }
    GLsizei getNextOffset() const { return nextOffset; }
    GLsizei getStride() const { return stride; }
    void* getData() const { return data; }
    bool ownsClientData() const { return ownsData; }

private:
    void freeData();

    GLuint glName = 0;
    GLenum target;
    GLenum dataType;
    GLsizei count;
    GLsizei nextOffset = 0;
    GLsizei stride = 0;
    void* data;
    bool ownsData;
    bool uploaded = false;
};
