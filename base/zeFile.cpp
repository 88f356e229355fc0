#include "base/zeFile.h"

#include "base/zeFileHooksInternal.h"
#include "base/zeMessage.h"

namespace {
ZeFileHooks hooks;
const char* variantName = "stdio";
std::size_t readLimit = std::size_t(1) << 30;
}  // namespace

const char* zeKeepResult(std::string& buffer, const std::string& value) {
  buffer = value;
  return buffer.c_str();
}

void zeSetFileOpenHooks(const ZeFileHooks::OpenGroup& group) { hooks.open = group; }
void zeSetFileDirectoryHooks(const ZeFileHooks::DirectoryGroup& group) { hooks.directory = group; }
void zeSetFilePathHooks(const ZeFileHooks::PathGroup& group) { hooks.path = group; }
const ZeFileHooks& zeGetFileHooks() { return hooks; }
const char* zeFileHooksVariant() { return variantName; }

void zeInstallStdioHooks() {
  zeSetFileOpenHooks(zeStdioOpenGroup());
  zeSetFileDirectoryHooks(zeStdioDirectoryGroup());
  zeSetFilePathHooks(zeStdioPathGroup());
  variantName = "stdio";
}

// Marks the Irrlicht variant as installed; zeFileIrr.cpp installs the groups.
void zeNoteIrrHooksInstalled() { variantName = "irr"; }

ZeFile* zeFileOpen(const char* name, const char* mode) {
  if (!name || !mode) return nullptr;
  const ZeFileHooks::OpenGroup group = hooks.open.open ? hooks.open : zeStdioOpenGroup();
  return group.open(group.context, name, mode);
}

int zeFileSeek(ZeFile* file, long offset, int origin) { return file ? file->seek(offset, origin) : -1; }

std::size_t zeFileRead(void* buffer, std::size_t itemSize, std::size_t itemCount, ZeFile* file) {
  return file ? file->read(buffer, itemSize, itemCount) : 0;
}

int zeFileGetc(ZeFile* file) { return file ? file->getc() : -1; }
char* zeFileGets(char* buffer, int size, ZeFile* file) { return file ? file->gets(buffer, size) : nullptr; }
long zeFileTell(ZeFile* file) { return file ? file->tell() : -1; }

int zeFileClose(ZeFile* file) {
  delete file;
  return 0;
}

int zeFileExists(const char* name) {
  ZeFile* file = zeFileOpen(name, "rb");
  if (!file) return 0;
  zeFileClose(file);
  return 1;
}

std::size_t zeFileReadLimit() { return readLimit; }

void zeSetFileReadLimit(std::size_t bytes) { readLimit = bytes; }

ZeFile* zeFileOpenWhole(const char* name, std::size_t* size) {
  ZeFile* file = zeFileOpen(name, "rb");
  if (!file) return nullptr;
  const long length = file->size();
  if (length < 0 || std::size_t(length) > readLimit) {
    if (length < 0) {
      zeMessage(ZE_ERROR, "Cannot read %s: its size is unknown", name);
    } else {
      zeMessage(ZE_ERROR, "Cannot read %s: %ld bytes, more than the %zu a file may have", name, length, readLimit);
    }
    zeFileClose(file);
    return nullptr;
  }
  *size = std::size_t(length);
  return file;
}

bool zeFileReadAll(const char* name, std::string* contents) {
  std::size_t size = 0;
  ZeFile* file = zeFileOpenWhole(name, &size);
  if (!file) return false;
  contents->resize(size);
  std::size_t got = size ? file->read(&(*contents)[0], 1, size) : 0;
  // A file that grew since it was measured is read to the limit, no further.
  char more[4096];
  while (got == contents->size()) {
    const std::size_t extra = file->read(more, 1, sizeof more);
    if (extra == 0) break;
    if (contents->size() + extra > readLimit) {
      zeMessage(ZE_ERROR, "Cannot read %s: more than the %zu bytes a file may have", name, readLimit);
      zeFileClose(file);
      contents->clear();
      return false;
    }
    contents->append(more, extra);
    got += extra;
  }
  contents->resize(got);
  zeFileClose(file);
  return true;
}

void zeSetWorkingDirectory(const char* path) {
  const auto group = hooks.directory.setWorkingDirectory ? hooks.directory : zeStdioDirectoryGroup();
  group.setWorkingDirectory(group.context, path ? path : "");
}

void zeEnterDirectory(const char* path) {
  const auto group = hooks.directory.enterDirectory ? hooks.directory : zeStdioDirectoryGroup();
  group.enterDirectory(group.context, path ? path : "");
}

const char* zeGetWorkingDirectory() {
  const auto group = hooks.directory.getWorkingDirectory ? hooks.directory : zeStdioDirectoryGroup();
  return group.getWorkingDirectory(group.context);
}

const char* zeAbsolutePath(const char* name) {
  const auto group = hooks.path.absolutePath ? hooks.path : zeStdioPathGroup();
  return group.absolutePath(group.context, name ? name : "");
}

const char* zeFileName(const char* path, bool keepExtension) {
  const auto group = hooks.path.fileName ? hooks.path : zeStdioPathGroup();
  return group.fileName(group.context, path ? path : "", keepExtension);
}

const char* zeDirectoryOf(const char* path) {
  const auto group = hooks.path.directoryOf ? hooks.path : zeStdioPathGroup();
  return group.directoryOf(group.context, path ? path : "");
}
