// Shared between the hook dispatcher and its two variants; not for other layers.
#pragma once

#include "app/zeFile.h"

// The plain variant's groups.
ZeFileHooks::OpenGroup zeStdioOpenGroup();
ZeFileHooks::DirectoryGroup zeStdioDirectoryGroup();
ZeFileHooks::PathGroup zeStdioPathGroup();
void zeInstallStdioHooks();
void zeInstallIrrHooks(irr::io::IFileSystem* fileSystem);

// Copies a result into one of the layer's static result buffers.
const char* zeKeepResult(std::string& buffer, const std::string& value);

// Opens a file on the disk with the C library (the path already normalised).
ZeFile* zeOpenDiskFile(const std::string& path, const char* mode);
