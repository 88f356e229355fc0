// Shared set-up of the viewer benchmarks: the engine as the program starts
// it, on OpenGL, and a private copy of the example scene.
#pragma once

#include <string>

bool startViewerEngine(int width, int height, const char** reason);
// A fresh folder holding the example scene; "" on failure.
std::string copyExampleSceneForBench();
void removeBenchFolder(const std::string& folder);
