// Mounting ZIP archives over the file hooks. The archive variant of the hooks
// reads through Irrlicht's file system, so this half of the file layer lives
// above the Irrlicht-free base.
#pragma once

#include "base/zeFile.h"

namespace irr {
namespace io {
class IFileSystem;
}
}  // namespace irr

enum ZeMountMode { ZE_MOUNT_NONE = 0, ZE_MOUNT_ARCHIVE_FILE = 2, ZE_MOUNT_ARCHIVE_MEMORY = 3 };

// Mounts a ZIP archive on the device's file system: a file, or a memory
// block of `size` bytes that must outlive the mount. 0 or -1.
int zeSetupFilesystem(const char* path);
int zeSetupFilesystem(const void* block, long size);
// The same, remembered and mounted again on every device (before the first
// device the plain hooks serve).
int zeMountArchiveFile(const char* path);
int zeMountArchiveMemory(const void* block, long size);
// Called at device creation (fileSystem = the device's) and when the device goes
// away (nullptr). 0 or -1.
int zeFilesystemReset(irr::io::IFileSystem* fileSystem);
bool zeIsPackaged();
// The device is going away: back to the plain hooks, the remembered mount kept
// for the next device.
void zeFilesystemDetach();

// Installs the Irrlicht variant of the hooks over a device's file system.
void zeInstallIrrHooks(irr::io::IFileSystem* fileSystem);
