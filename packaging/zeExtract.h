// Extraction of a packaged scene: the LightWave sources and the images it
// carries are written to "ExeExtract" in a given directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Extracts from an unscrambled archive. A packaged demo, or an archive without
// a scene and its "scene_backup/" sources, is left alone (0). Entries whose
// names could reach outside the target ("..", absolute names, drive letters)
// are skipped with a message; each file is written under a temporary name
// and renamed. 0, or -1 after a message box.
int zeExtractArchive(const std::vector<std::uint8_t>& archive, const std::string& directory);

// The -extract tool: resource 500 of the running program into the current
// directory.
int zeExtractRunningProgram();

// Whether an entry name stays inside the folder it is extracted to.
bool zeIsSafeEntryName(const std::string& name);
