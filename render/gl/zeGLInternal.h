// For render/gl/ sources only: the OpenGL entry points (through libepoxy).
#pragma once

#include <epoxy/gl.h>
