// Shared between the hook dispatcher and its variants (the plain one here, the
// Irrlicht one in app/zeFileIrr.cpp); not for other layers.
#pragma once

#include "base/zeFile.h"

// The plain variant's groups.
ZeFileHooks::OpenGroup zeStdioOpenGroup();
ZeFileHooks::DirectoryGroup zeStdioDirectoryGroup();
ZeFileHooks::PathGroup zeStdioPathGroup();
void zeInstallStdioHooks();
// Records that a variant other than the plain one is installed.
void zeNoteIrrHooksInstalled();

// Copies a result into one of the layer's static result buffers.
const char* zeKeepResult(std::string& buffer, const std::string& value);

// Opens a file on the disk with the C library (the path already normalised).
// For reading, only a regular file opens (see zeRefuseUnreadable).
ZeFile* zeOpenDiskFile(const std::string& path, const char* mode);
// True, after a message, when `path` exists on the disk but is not a regular
// file (a FIFO, a device, a directory): readers take regular files only, and
// opening a FIFO would wait for a writer. Checked before any variant opens a
// disk file for reading.
bool zeRefuseUnreadable(const std::string& path);
