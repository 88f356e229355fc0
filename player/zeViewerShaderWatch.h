// The viewer's shader folders: six folder watches on the shader folders of
// the program's base directory, polled once a frame; changed files are
// recompiled in place through the shader hot reload.
#pragma once

// Starts watches 0 to 5 on the folders that exist (a missing folder has
// nothing to watch). Returns how many were started.
int zeViewerShaderWatchStart(const char* baseDirectory);
// When any folder changed: waits for the editor to finish writing, gathers
// the changed files of all six (at most 100), hot-reloads them and resets
// the watches. Returns the number of files handed over.
int zeViewerShaderWatchPoll();
void zeViewerShaderWatchStop();
