// Included by includes.hlsl; includes the light helpers beside it.
#ifndef SCALE
#define SCALE 1.0
#endif
#include "light.fxh"
