// Replaceable file hooks: every data file is opened by name through them, so the
// same code reads the plain disk, the disk through Irrlicht's file system, or a
// ZIP archive mounted from a file or from memory.
//
// Contents: ZeFile (an open file) · ZeFileHooks (the three hook groups) ·
// the zeFile* calls · directories and path operations. Mounting archives needs
// Irrlicht's file system and lives in app/zeFileMount.h.
#pragma once

#include <cstddef>
#include <string>

// An open file. Returned by zeFileOpen; released by zeFileClose.
class ZeFile {
 public:
  virtual ~ZeFile() = default;
  // origin 0 start, 1 current, 2 end; 0 on success.
  virtual int seek(long offset, int origin) = 0;
  // Number of whole items read.
  virtual std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) = 0;
  // Next byte 0..255, or -1 at the end.
  virtual int getc() = 0;
  // The next line with its '\n' (at most size-1 characters, terminated), or
  // nullptr at the end when nothing was read.
  virtual char* gets(char* buffer, int size) = 0;
  virtual long tell() = 0;
  // Total size in bytes (-1 when unknown).
  virtual long size() = 0;
};

// The hook table, replaced group by group. An empty hook falls back to the
// plain ("stdio") variant.
struct ZeFileHooks {
  struct OpenGroup {
    ZeFile* (*open)(void* context, const char* name, const char* mode) = nullptr;
    void* context = nullptr;
  } open;
  struct DirectoryGroup {
    void (*setWorkingDirectory)(void* context, const char* path) = nullptr;
    void (*enterDirectory)(void* context, const char* path) = nullptr;
    const char* (*getWorkingDirectory)(void* context) = nullptr;
    void* context = nullptr;
  } directory;
  struct PathGroup {
    const char* (*absolutePath)(void* context, const char* name) = nullptr;
    const char* (*fileName)(void* context, const char* path, bool keepExtension) = nullptr;
    const char* (*directoryOf)(void* context, const char* path) = nullptr;
    void* context = nullptr;
  } path;
};

// Installs one group of the hooks (a whole group at a time).
void zeSetFileOpenHooks(const ZeFileHooks::OpenGroup& group);
void zeSetFileDirectoryHooks(const ZeFileHooks::DirectoryGroup& group);
void zeSetFilePathHooks(const ZeFileHooks::PathGroup& group);
const ZeFileHooks& zeGetFileHooks();
// Name of the installed variant: "stdio" or "irr" (irrstd and irrzip share hooks).
const char* zeFileHooksVariant();

// --- Files -------------------------------------------------------------------
ZeFile* zeFileOpen(const char* name, const char* mode);  // nullptr, no message, on failure
int zeFileSeek(ZeFile* file, long offset, int origin);
std::size_t zeFileRead(void* buffer, std::size_t itemSize, std::size_t itemCount, ZeFile* file);
int zeFileGetc(ZeFile* file);
char* zeFileGets(char* buffer, int size, ZeFile* file);
long zeFileTell(ZeFile* file);
int zeFileClose(ZeFile* file);  // 0; releases the file
int zeFileExists(const char* name);  // 1 when it opens for reading, else 0

// --- Whole-file reads ----------------------------------------------------------
// Files are read from regular files only: opening a FIFO, a device or a
// directory for reading fails at once, with a message, and never blocks.
// A whole-file read also takes no more than zeFileReadLimit() bytes (1 GiB
// unless set), so no input can make a reader grow without end.
std::size_t zeFileReadLimit();
void zeSetFileReadLimit(std::size_t bytes);
// Opens a file for a whole-file read and gives its size. nullptr without a
// message when it cannot be opened; nullptr with a message naming the file
// when it is larger than the limit (or says no size).
ZeFile* zeFileOpenWhole(const char* name, std::size_t* size);
// Reads a whole file through the hooks, as zeFileOpenWhole opens it. false
// when it cannot be opened (no message) or is refused (with one).
bool zeFileReadAll(const char* name, std::string* contents);

// --- Directories and paths (results in static buffers, valid until the next call) --
void zeSetWorkingDirectory(const char* path);
void zeEnterDirectory(const char* path);
const char* zeGetWorkingDirectory();
const char* zeAbsolutePath(const char* name);
const char* zeFileName(const char* path, bool keepExtension);
const char* zeDirectoryOf(const char* path);

// Application base directory: last fallback of the file search, root of the
// shader cache and texture folders.
void zeSetBaseDirectory(const char* path);
const char* zeGetBaseDirectory();
// Finds a shader or texture in the standard folders (see zeFileSearch.cpp).
const char* zeFindKnownFile(const char* name);
