// The engine's services behind object surfaces: textures through the effect
// layer's texture manager, the image table, the effect table and manager.
// Call once before engine start (the executable does).
#pragma once

void zeInstallSurfaceServices();
