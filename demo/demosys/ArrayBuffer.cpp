#include "ArrayBuffer.h"

#include "Shader.h"

ArrayBuffer::ArrayBuffer(GLenum target, GLenum dataType, GLsizei count, void* data, bool ownsData)
    : target(target), dataType(dataType), count(count), data(data), ownsData(ownsData)
{
    glGenBuffers(1, &glName);
}

ArrayBuffer::~ArrayBuffer()
{
    if (glName != 0)
        glDeleteBuffers(1, &glName);
    freeData();
}

void ArrayBuffer::freeData()
{
    if (!ownsData || !data)
        return;
    // Owned arrays are made by the VAO's allocate operations with the element type of
    // the buffer.
    if (dataType == GL_UNSIGNED_INT)
        delete[] static_cast<GLuint*>(data);
    else
        delete[] static_cast<GLfloat*>(data);
    data = nullptr;
}

GLsizeiptr ArrayBuffer::byteSize() const
{
    return GLsizeiptr(Shader::typeByteSize(dataType)) * (count > 0 ? count : 0);
}

void ArrayBuffer::upload()
{
    if (!data && uploaded)
        return;
    // Uploaded through GL_ARRAY_BUFFER whatever the buffer's role: binding an element
    // buffer would replace the index buffer of whichever vertex array is bound now.
    glBindBuffer(GL_ARRAY_BUFFER, glName);
    glBufferData(GL_ARRAY_BUFFER, byteSize(), data, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    uploaded = true;
}

void ArrayBuffer::replaceData(GLsizei newCount, void* newData, bool newOwnsData)
{
    if (newData != data)
        freeData();
    count = newCount;
    data = newData;
    ownsData = newOwnsData;
    uploaded = false;
}

void ArrayBuffer::forgetBorrowedData()
{
    if (!ownsData)
        data = nullptr;
}

GLsizei ArrayBuffer::appendArray(GLsizei bytes)
{
    GLsizei offset = nextOffset;
    nextOffset += bytes;
    stride += bytes;
    return offset;
}
