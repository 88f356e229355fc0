#include "packaging/zeExecutableResources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "base/zeMessage.h"

namespace {

// A read-only file seen as a byte source; the descriptor closes with it.
struct FileSource {
  int fd = -1;
  ZeByteSource source;
  explicit FileSource(const char* path) {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      fd = -1;
      return;
    }
    source.size = static_cast<std::uint64_t>(st.st_size);
    const int d = fd;
    source.read = [d](std::uint64_t offset, void* buffer, std::size_t count) {
      auto* p = static_cast<char*>(buffer);
      while (count) {
        const ssize_t n = ::pread(d, p, count, static_cast<off_t>(offset));
        if (n <= 0) return false;
        p += n;
        offset += static_cast<std::uint64_t>(n);
        count -= static_cast<std::size_t>(n);
      }
      return true;
    };
  }
  ~FileSource() {
    if (fd >= 0) ::close(fd);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

ZeLoadResult zeLoadFileResource(const char* path, std::uint32_t id, std::vector<std::uint8_t>* archive,
                                std::string* problem) {
  FileSource file(path);
  if (file.fd < 0) return ZeLoadResult::NotFound;
  return zeLoadResource(file.source, id, archive, problem);
}

int zeWriteFileResource(const char* path, std::uint32_t id, const std::vector<std::uint8_t>& payload,
                        const char** failedStep, int* error) {
  *failedStep = "BeginUpdate";
  *error = 0;
  FileSource file(path);
  if (file.fd < 0) {
    *error = errno;
    return -1;
  }
  std::vector<ZeResourceEntry> entries;
  std::string problem;
  // A broken tail is no resource of ours: it is kept as part of the image.
  if (zeListResources(file.source, &entries, &problem) == ZeResourceStatus::Broken) entries.clear();
  const std::uint64_t imageSize = zeProgramImageSize(file.source, entries);

  // The resources that stay, oldest first, as they will be written again.
  struct Kept {
    ZeResourceEntry entry;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Kept> kept;
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (it->type == ZE_RESOURCE_RCDATA && it->id == id) continue;
    Kept k{*it, std::vector<std::uint8_t>(static_cast<std::size_t>(it->size))};
    if (!file.source.read(it->offset, k.bytes.data(), k.bytes.size())) {
      *error = errno;
      return -1;
    }
    kept.push_back(std::move(k));
  }

  *failedStep = "UpdateResource";
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(imageSize)) != 0 ||
      ::lseek(fd, static_cast<off_t>(imageSize), SEEK_SET) < 0) {
    *error = errno;
    if (fd >= 0) ::close(fd);
    return -1;
  }
  std::uint64_t at = imageSize;
  auto append = [&](std::uint32_t type, std::uint32_t resourceId, const std::vector<std::uint8_t>& bytes) {
    const std::vector<std::uint8_t> trailer = zeResourceTrailer(type, resourceId, at, bytes.size());
    if (!writeAll(fd, bytes.data(), bytes.size()) || !writeAll(fd, trailer.data(), trailer.size())) return false;
    at += bytes.size() + trailer.size();
    return true;
  };
  for (const Kept& k : kept) {
    if (!append(k.entry.type, k.entry.id, k.bytes)) {
      *error = errno;
      ::close(fd);
      return -1;
    }
  }
  if (!append(ZE_RESOURCE_RCDATA, id, payload)) {
    *error = errno;
    ::close(fd);
    return -1;
  }
  *failedStep = "EndUpdate";
  if (::fsync(fd) != 0 && errno != EINVAL) {
    *error = errno;
    ::close(fd);
    return -1;
  }
  if (::close(fd) != 0) {
    *error = errno;
    return -1;
  }
  return 0;
}

const char* zeRunningExecutable() { return "/proc/self/exe"; }

namespace {

struct RunningProgramScan {
  bool done = false;
  bool carries = false;
};

RunningProgramScan& scan() {
  static RunningProgramScan s;
  return s;
}

}  // namespace

bool zeRunningProgramCarriesArchive() {
  RunningProgramScan& s = scan();
  if (s.done) return s.carries;
  s.done = true;
  FileSource file(zeRunningExecutable());
  if (file.fd < 0) return false;
  std::vector<ZeResourceEntry> entries;
  std::string problem;
  if (zeListResources(file.source, &entries, &problem) == ZeResourceStatus::Broken) {
    zeMessage(ZE_WARN, "%s: %s; running unpackaged", zeRunningExecutable(), problem.c_str());
    return false;
  }
  for (const ZeResourceEntry& e : entries)
    if (e.type == ZE_RESOURCE_RCDATA && e.id == ZE_RESOURCE_PRODUCTION) s.carries = true;
  return s.carries;
}

bool zeLoadRunningProgramArchive(std::vector<std::uint8_t>* archive) {
  std::string problem;
  const ZeLoadResult result =
      zeLoadFileResource(zeRunningExecutable(), ZE_RESOURCE_PRODUCTION, archive, &problem);
  if (result == ZeLoadResult::Broken) zeMessage(ZE_ERROR, "%s: %s", zeRunningExecutable(), problem.c_str());
  return result == ZeLoadResult::Loaded;
}
