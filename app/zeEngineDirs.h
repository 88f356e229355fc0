// Folders engine start derives from the application base directory, for the
// shader services and the effect manager to pick up.
#pragma once

const char* zeShaderCacheDirectory();  // <base>/shadersCache
const char* zeTextureDirectory();      // <base>/textures
