// For render/gl/ sources only: the OpenGL entry points (through libepoxy).
#pragma once

#include <epoxy/gl.h>

// Compiles and links the engine's own small GLSL programs (2D drawing, the
// texture quad). 0 on failure, with the driver's log reported under `who`.
GLuint zeGLBuildProgram(const char* who, const char* vertexSource, const char* fragmentSource);
