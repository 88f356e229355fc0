// Puts the shader services into the engine manager: the manager's first slot
// builds them over the OpenGL backend (or no backend on the NULL driver, where
// creating a material fails with "ZeGPU: failed to get gpu"), and the frame
// services' hot reload recompiles through them.
#pragma once

void zeInstallGPUProgrammingServicesSlot();
