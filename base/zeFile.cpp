#include "base/zeFile.h"

#include "base/zeFileHooksInternal.h"

namespace {
ZeFileHooks hooks;
const char* variantName = "stdio";
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

bool zeFileReadAll(const char* name, std::string* contents) {
  ZeFile* file = zeFileOpen(name, "rb");
  if (!file) return false;
  contents->clear();
  char chunk[65536];
  for (;;) {
    const std::size_t got = file->read(chunk, 1, sizeof chunk);
    contents->append(chunk, got);
    if (got < sizeof chunk) break;
  }
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
