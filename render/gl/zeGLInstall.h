// Installs the OpenGL layer beneath engine start (once, before the first
// start). The executable and every test that renders with OpenGL call it.
#pragma once

void zeGLInstall();
