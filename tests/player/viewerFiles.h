// The example scene copied into a fresh folder, and edits of its text.
#pragma once

#include <string>

// Copies examples/scene into a new temporary folder; its path.
std::string copyExampleScene(const char* examples = "../../examples/scene");
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
// The scene text with the red channel of every light colour set to 0.
std::string withoutRedLight(const std::string& text);
// Removes a folder made by copyExampleScene and the files in it.
void removeFolder(const std::string& folder);
