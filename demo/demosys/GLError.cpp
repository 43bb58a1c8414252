#include "GLError.h"

namespace {

struct ErrorName {
    GLenum code;
    const char* name;
};

const ErrorName errorNames[] = {
    {GL_INVALID_ENUM, "GL_INVALID_ENUM"},
    {GL_INVALID_VALUE, "GL_INVALID_VALUE"},
    {GL_INVALID_OPERATION, "GL_INVALID_OPERATION"},
    {GL_STACK_OVERFLOW, "GL_STACK_OVERFLOW"},
    {GL_STACK_UNDERFLOW, "GL_STACK_UNDERFLOW"},
    {GL_OUT_OF_MEMORY, "GL_OUT_OF_MEMORY"},
};

} // namespace

const char* GLError::name(GLenum code)
{
    for (const ErrorName& entry : errorNames)
        if (entry.code == code)
            return entry.name;
    return "Unknown Error";
}

void GLError::discard()
{
    // glGetError returns and clears one flag per call, GL_NO_ERROR once all are clear.
    while (glGetError() != GL_NO_ERROR) {
    }
}
