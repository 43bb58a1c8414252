#pragma once

#include <GL/glew.h>

// GL's error flags, named from one table.
namespace GLError {

// "GL_INVALID_ENUM" and the like for the codes 1280 to 1285; "Unknown Error" for any other.
const char* name(GLenum code);

// Clears every error flag GL has set. For errors that are known not to be the engine's
// (the loader's probing of a core context leaves one behind).
void discard();

} // namespace GLError
