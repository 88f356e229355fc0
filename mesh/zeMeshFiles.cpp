#include "mesh/zeMeshFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <vector>

#include "base/zeFile.h"
#include "base/zePath.h"
#include "mesh/zeDeviceLog.h"

using namespace irr;

namespace {

// Larger mesh files, textures or material libraries are not content.
const long long kMaxFileBytes = 0x7fffffffLL;

// A name from inside a file, made relative: backslashes turned, a drive or a
// leading '/' dropped, "." and ".." folded so that it never climbs above
// where it is joined. "../../etc/passwd" becomes "etc/passwd".
std::string containedName(const std::string& written) {
  std::string name = written;
  for (char& c : name)
    if (c == '\\') c = '/';
  if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
  // Folded as if from the root, where ".." stops.
  std::string folded = zePathFold("/" + name);
  while (!folded.empty() && folded[0] == '/') folded.erase(0, 1);
  return folded;
}

// Where a name from a mesh file may be: beside the mesh (as written, then
// its bare name), then in the engine's texture folders.
std::vector<std::string> candidatesFor(const std::string& written, const char* meshName) {
  std::vector<std::string> out;
  const std::string name = containedName(written);
  if (name.empty() || name == "." || name == "..") return out;
  const std::string bare = zePathFileName(name, true);
  const std::string dir = zePathDirectory(meshName ? meshName : "");
  out.push_back(dir + name);
  if (bare != name) out.push_back(dir + bare);
  out.push_back("textures/" + name);
  if (bare != name) out.push_back("textures/" + bare);
  const std::string base = zeGetBaseDirectory();
  if (!base.empty()) out.push_back(zePathJoin(base, "textures/" + bare));
  return out;
}

enum EFound { FOUND, NOT_THERE, REFUSED };

// A file on disk, read without ever blocking: opened non-blocking (a FIFO
// or a device would otherwise hold the open or the read forever), and taken
// only when it is a regular file of sensible size.
EFound readDiskFile(const std::string& path, io::IFileSystem* fs, io::IReadFile** out, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? NOT_THERE : (*why = "cannot be opened", REFUSED);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *why = "is not a regular file";
    return REFUSED;
  }
  if (st.st_size <= 0 || st.st_size > kMaxFileBytes) {
    ::close(fd);
    *why = st.st_size <= 0 ? "is empty" : "is too large";
    return REFUSED;
  }
  const std::size_t size = static_cast<std::size_t>(st.st_size);
  char* data = new (std::nothrow) char[size];
  std::size_t got = 0;
  while (data && got < size) {
    const ssize_t n = ::read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (!data || got != size) {
    delete[] data;
    *why = data ? "cannot be read" : "does not fit in memory";
    return REFUSED;
  }
  *out = fs->createMemoryReadFile(data, static_cast<s32>(size), path.c_str(), true);
  return *out ? FOUND : REFUSED;
}

// A file inside a mounted archive, found by its folded name (relative to
// the working directory when the mesh's name is absolute); archives hold only
// plain data, so nothing here can block.
io::IReadFile* openArchiveFile(io::IFileSystem* fs, const std::string& name) {
  if (fs->getFileArchiveCount() == 0) return nullptr;
  std::vector<std::string> names{zePathInArchive("", name)};
  std::string wd = zePathFold(zeGetWorkingDirectory());
  if (!wd.empty() && wd.back() != '/') wd += '/';
  if (!wd.empty() && name.compare(0, wd.size(), wd) == 0) names.push_back(zePathInArchive("", name.substr(wd.size())));
  for (const std::string& inArchive : names)
    for (u32 a = 0; a < fs->getFileArchiveCount(); ++a)
      if (io::IReadFile* file = fs->getFileArchive(a)->createAndOpenFile(inArchive.c_str())) return file;
  return nullptr;
}

// The first candidate that exists, opened; nullptr when none does. A
// candidate that exists but is refused is reported and passed over.
io::IReadFile* openSideFile(io::IFileSystem* fs, const std::string& written, const char* meshName, const char* who,
                            const char* kind) {
  for (const std::string& candidate : candidatesFor(written, meshName)) {
    io::IReadFile* file = nullptr;
    std::string why;
    const std::string onDisk = zePathOnDisk(zeGetWorkingDirectory(), candidate);
    switch (readDiskFile(onDisk, fs, &file, &why)) {
      case FOUND:
        return file;
      case REFUSED:
        zeDeviceLog(ELL_WARNING, "%s: %s %s for %s %s; not opened", who, kind, onDisk.c_str(),
                    meshName ? meshName : "", why.c_str());
        continue;
      case NOT_THERE:
        break;
    }
    if (io::IReadFile* packed = openArchiveFile(fs, candidate)) return packed;
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<char[]> zeReadMeshFile(io::IReadFile* file, std::size_t* size, const char* who) {
  *size = 0;
  if (!file) return nullptr;
  const long length = file->getSize();
  if (length <= 0 || length > kMaxFileBytes) {
    zeDeviceLog(ELL_ERROR, "%s: %s is %s", who, file->getFileName().c_str(),
                length <= 0 ? "empty" : "too large (or not a file)");
    return nullptr;
  }
  std::unique_ptr<char[]> data(new (std::nothrow) char[static_cast<std::size_t>(length)]);
  if (!data) {
    zeDeviceLog(ELL_ERROR, "%s: no memory for %s (%ld bytes)", who, file->getFileName().c_str(), length);
    return nullptr;
  }
  file->seek(0);
  if (file->read(data.get(), static_cast<u32>(length)) != static_cast<s32>(length)) {
    zeDeviceLog(ELL_ERROR, "%s: cannot read %s", who, file->getFileName().c_str());
    return nullptr;
  }
  *size = static_cast<std::size_t>(length);
  return data;
}

video::ITexture* zeLoadMeshTexture(scene::ISceneManager* sceneManager, const std::string& name,
                                   const char* meshName, const char* who) {
  video::IVideoDriver* driver = sceneManager->getVideoDriver();
  io::IFileSystem* fs = sceneManager->getFileSystem();
  if (name.empty() || !driver || !fs) return nullptr;
  io::IReadFile* file = openSideFile(fs, name, meshName, who, "texture");
  if (!file) {
    zeDeviceLog(ELL_WARNING, "%s: texture %s not found for %s", who, name.c_str(), meshName ? meshName : "");
    return nullptr;
  }
  // The driver keeps textures by the name the file was found under.
  video::ITexture* texture = driver->findTexture(file->getFileName());
  if (!texture) texture = driver->getTexture(file);
  file->drop();
  return texture;
}

io::IReadFile* zeOpenMeshSideFile(scene::ISceneManager* sceneManager, const std::string& name,
                                  const char* meshName) {
  io::IFileSystem* fs = sceneManager->getFileSystem();
  if (name.empty() || !fs) return nullptr;
  return openSideFile(fs, name, meshName, "mesh loader", "file");
}
