// The Irrlicht variant of the file hooks ("irrstd" on the disk, "irrzip" with a
// mounted archive), and archive mounting.
#include <irrlicht.h>

#include <cstdio>
#include <cstring>

#include "app/zeFileMount.h"
#include "base/zeFileHooksInternal.h"
#include "base/zeMessage.h"
#include "base/zePath.h"

using namespace irr;


namespace {

io::IFileSystem* deviceFileSystem = nullptr;
// Whether the file system lists the archives' view (set by a mount).
bool virtualListing = false;

// The remembered mount, re-applied when a device is created.
int mountMode = ZE_MOUNT_NONE;
std::string mountPath;
const void* mountMemory = nullptr;
long mountSize = 0;

class IrrFile final : public ZeFile {
 public:
  explicit IrrFile(io::IReadFile* file) : file_(file) {}
  ~IrrFile() override { file_->drop(); }
  int seek(long offset, int origin) override {
    switch (origin) {
      case 0: return file_->seek(offset, false) ? 0 : -1;
      case 1: return file_->seek(offset, true) ? 0 : -1;
      case 2: return file_->seek(file_->getSize() + offset, false) ? 0 : -1;
      default:
        std::fputs("zfile_irr_fseek: unsupported whence\n", stdout);
        return -1;
    }
  }
  std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override {
    if (itemSize == 0 || itemCount == 0) return 0;
    const long start = file_->getPos();
    const long available = file_->getSize() - start;
    if (available <= 0) return 0;
    std::size_t wanted = itemSize * itemCount;
    if (wanted / itemSize != itemCount || wanted > static_cast<std::size_t>(available))
      wanted = static_cast<std::size_t>(available) / itemSize * itemSize;
    if (wanted == 0) return 0;
    const s32 got = file_->read(buffer, static_cast<u32>(wanted));
    if (got <= 0) return 0;
    // Only whole items count; leave the position after them.
    const std::size_t items = static_cast<std::size_t>(got) / itemSize;
    file_->seek(start + static_cast<long>(items * itemSize), false);
    return items;
  }
  int getc() override {
    unsigned char byte;
    return file_->read(&byte, 1) == 1 ? byte : -1;
  }
  char* gets(char* buffer, int size) override {
    if (size <= 0) return nullptr;
    int used = 0;
    while (used < size - 1) {
      const int c = getc();
      if (c < 0) break;
      buffer[used++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    buffer[used] = '\0';
    return used == 0 ? nullptr : buffer;
  }
  long tell() override { return file_->getPos(); }
  long size() override { return file_->getSize(); }

 private:
  io::IReadFile* file_;
};

bool archiveMounted() { return deviceFileSystem && deviceFileSystem->getFileArchiveCount() > 0; }

ZeFile* irrOpen(void*, const char* name, const char* mode) {
  if (!deviceFileSystem) return nullptr;
  // Irrlicht's file system only reads; writing goes to the disk directly.
  if (std::strpbrk(mode, "wa+")) return zeOpenDiskFile(zePathOnDisk("", name), mode);
  if (archiveMounted()) {
    const std::string wd = virtualListing ? std::string(deviceFileSystem->getWorkingDirectory().c_str())
                                          : std::string();
    const std::string inArchive = zePathInArchive(wd, name);
    for (u32 i = 0; i < deviceFileSystem->getFileArchiveCount(); ++i) {
      if (io::IReadFile* file = deviceFileSystem->getFileArchive(i)->createAndOpenFile(inArchive.c_str()))
        return new IrrFile(file);
    }
  }
  // The disk, relative to the process's working directory (which the native
  // working-directory hooks change).
  const std::string onDisk = zePathOnDisk("", name);
  if (zeRefuseUnreadable(onDisk)) return nullptr;
  io::IReadFile* file = deviceFileSystem->createAndOpenFile(onDisk.c_str());
  return file ? new IrrFile(file) : nullptr;
}

void irrSetWorkingDirectory(void*, const char* path) {
  if (deviceFileSystem) deviceFileSystem->changeWorkingDirectoryTo(zePathFold(path).c_str());
}

void irrEnterDirectory(void*, const char* path) {
  if (!deviceFileSystem) return;
  const std::string current = deviceFileSystem->getWorkingDirectory().c_str();
  deviceFileSystem->changeWorkingDirectoryTo(zePathFold(zePathJoin(current, path)).c_str());
}

const char* irrGetWorkingDirectory(void*) {
  static std::string result;
  return zeKeepResult(result, deviceFileSystem ? deviceFileSystem->getWorkingDirectory().c_str() : "");
}

const char* irrAbsolutePath(void*, const char* name) {
  static std::string result;
  if (!deviceFileSystem) return zeKeepResult(result, name);
  // A file a mounted archive holds keeps the archive's own name for it: a
  // disk path made of it (the working directory joined on) would open nothing.
  if (archiveMounted()) {
    const std::string wd = virtualListing ? std::string(deviceFileSystem->getWorkingDirectory().c_str())
                                          : std::string();
    const std::string inArchive = zePathInArchive(wd, name);
    for (u32 i = 0; i < deviceFileSystem->getFileArchiveCount(); ++i)
      if (deviceFileSystem->getFileArchive(i)->getFileList()->findFile(inArchive.c_str()) >= 0)
        return zeKeepResult(result, inArchive.c_str());
  }
  return zeKeepResult(result, deviceFileSystem->getAbsolutePath(name).c_str());
}

const char* irrFileName(void*, const char* path, bool keepExtension) {
  static std::string result;
  return zeKeepResult(result, deviceFileSystem
                                  ? deviceFileSystem->getFileBasename(path, keepExtension).c_str()
                                  : zePathFileName(path, keepExtension));
}

const char* irrDirectoryOf(void*, const char* path) {
  static std::string result;
  return zeKeepResult(result, deviceFileSystem ? deviceFileSystem->getFileDir(path).c_str()
                                               : zePathDirectory(path));
}

void forgetMount() {
  mountMode = ZE_MOUNT_NONE;
  mountPath.clear();
  mountMemory = nullptr;
  mountSize = 0;
}

void rememberFile(const char* path) {
  forgetMount();
  mountMode = ZE_MOUNT_ARCHIVE_FILE;
  mountPath = path;
}

void rememberMemory(const void* block, long size) {
  forgetMount();
  mountMode = ZE_MOUNT_ARCHIVE_MEMORY;
  mountMemory = block;
  mountSize = size;
}

}  // namespace

void zeInstallIrrHooks(io::IFileSystem* fileSystem) {
  deviceFileSystem = fileSystem;
  zeSetFileOpenHooks({irrOpen, nullptr});
  zeSetFileDirectoryHooks({irrSetWorkingDirectory, irrEnterDirectory, irrGetWorkingDirectory, nullptr});
  zeSetFilePathHooks({irrAbsolutePath, irrFileName, irrDirectoryOf, nullptr});
  zeNoteIrrHooksInstalled();
}

namespace {

// Only a mount that worked replaces the hooks.
int mounted() {
  zeInstallIrrHooks(deviceFileSystem);
  deviceFileSystem->setFileListSystem(io::FILESYSTEM_VIRTUAL);
  virtualListing = true;
  return 0;
}

}  // namespace

int zeSetupFilesystem(const char* path) {
  zeMessage(ZE_INFO, "setup filesystem irrzip");
  if (!deviceFileSystem || !path) {
    zeReportError("zeSetupFilesystem: no file system to mount on");
    return -1;
  }
  const std::string onDisk = zePathOnDisk("", path);
  if (!deviceFileSystem->addFileArchive(onDisk.c_str(), true, false, io::EFAT_ZIP, "")) {
    zeReportError("zeSetupFilesystem: Failed addFileArchive '%s'", path);
    return -1;
  }
  return mounted();
}

int zeSetupFilesystem(const void* block, long size) {
  zeMessage(ZE_INFO, "setup filesystem irrzip");
  if (!deviceFileSystem || !block) {
    zeReportError("zeSetupFilesystem: no file system to mount on");
    return -1;
  }
  if (size <= 0 || size > 0x7fffffffL) {
    zeReportError("zeSetupFilesystem: Failed to create file from memory");
    return -1;
  }
  io::IReadFile* file =
      deviceFileSystem->createMemoryReadFile(const_cast<void*>(block), static_cast<s32>(size), "MyRscFile", false);
  if (!file) {
    zeReportError("zeSetupFilesystem: Failed to create file from memory");
    return -1;
  }
  const bool added = deviceFileSystem->addFileArchive(file, true, false, io::EFAT_ZIP, "");
  file->drop();
  if (!added) {
    zeReportError("zeSetupFilesystem: Failed addFileArchive from memory");
    return -1;
  }
  return mounted();
}

// Without a device yet the plain hooks serve; the mount waits for the device.
int zeMountArchiveFile(const char* path) {
  if (!path) return -1;
  if (deviceFileSystem && zeSetupFilesystem(path) != 0) return -1;
  if (!deviceFileSystem) {
    zeMessage(ZE_INFO, "setup filesystem stdio");
    zeInstallStdioHooks();
  }
  rememberFile(path);
  return 0;
}

int zeMountArchiveMemory(const void* block, long size) {
  if (!block) return -1;
  if (deviceFileSystem && zeSetupFilesystem(block, size) != 0) return -1;
  if (!deviceFileSystem) {
    zeMessage(ZE_INFO, "setup filesystem stdio");
    zeInstallStdioHooks();
  }
  rememberMemory(block, size);
  return 0;
}

int zeFilesystemReset(io::IFileSystem* fileSystem) {
  if (!fileSystem) {
    zeMessage(ZE_INFO, "setup filesystem stdio");
    deviceFileSystem = nullptr;
    virtualListing = false;
    zeInstallStdioHooks();
    forgetMount();
    return 0;
  }
  deviceFileSystem = fileSystem;
  virtualListing = false;
  if (mountMode == ZE_MOUNT_ARCHIVE_FILE) return zeSetupFilesystem(mountPath.c_str());
  if (mountMode == ZE_MOUNT_ARCHIVE_MEMORY) return zeSetupFilesystem(mountMemory, mountSize);
  zeMessage(ZE_INFO, "setup filesystem irrstd");
  zeInstallIrrHooks(fileSystem);
  forgetMount();
  return 0;
}

void zeFilesystemDetach() {
  deviceFileSystem = nullptr;
  virtualListing = false;
  zeInstallStdioHooks();
}

bool zeIsPackaged() { return mountMode == ZE_MOUNT_ARCHIVE_FILE || mountMode == ZE_MOUNT_ARCHIVE_MEMORY; }
