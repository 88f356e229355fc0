#include "packaging/CZeArchiveBuilder.h"

#include <fnmatch.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/zeMessage.h"
#include "base/zePath.h"

namespace fs = std::filesystem;

namespace {

constexpr int deflateLevel = 6;

// An archive with no entry: libzip writes nothing for it, yet a production may
// legitimately carry an empty one.
bool writeEmptyZip(const std::string& path) {
  static const unsigned char endRecord[22] = {'P', 'K', 5, 6};
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(endRecord, 1, sizeof endRecord, f) == sizeof endRecord;
  return std::fclose(f) == 0 && ok;
}

bool matchesAny(const std::string& name, const std::vector<const char*>& patterns) {
  for (const char* p : patterns)
    if (::fnmatch(p, name.c_str(), FNM_CASEFOLD) == 0) return true;
  return false;
}

}  // namespace

std::string zeArchiveEntryName(const std::string& baseDirectory, const std::string& file) {
  const fs::path relative =
      fs::path(zePathFold(file)).lexically_relative(fs::path(zePathFold(baseDirectory)));
  if (relative.empty()) return {};
  std::string name = zePathFold(relative.generic_string());
  while (name.rfind("../", 0) == 0) name.erase(0, 3);
  if (name.rfind("./", 0) == 0) name.erase(0, 2);
  if (name == ".." || name == "." || name.empty()) return {};
  return name;
}

CZeArchiveBuilder::~CZeArchiveBuilder() { discard(); }

bool CZeArchiveBuilder::open(const std::string& path) {
  discard();
  int error = 0;
  archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive_) {
    zip_error_t e;
    zip_error_init_with_code(&e, error);
    zeReportError("Failed to create archive %s: %s\n", path.c_str(), zip_error_strerror(&e));
    zip_error_fini(&e);
    return false;
  }
  path_ = path;
  names_.clear();
  fileCount_ = 0;
  bytesIn_ = 0;
  started_ = std::chrono::steady_clock::now();
  return true;
}

bool CZeArchiveBuilder::addFileAs(const std::string& path, const std::string& entryName) {
  // Two groups may name the same file (a shaders directory that is also a
  // scene directory): the first one wins.
  if (!names_.insert(entryName).second) return true;
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  FILE* probe = ec ? nullptr : std::fopen(path.c_str(), "rb");
  if (!probe) {
    zeReportError("Failed to read file path=%s\n", path.c_str());
    return false;
  }
  std::fclose(probe);
  // libzip reads the file once, while compressing at close.
  zip_source_t* source = zip_source_file(archive_, path.c_str(), 0, -1);
  zip_int64_t index = source ? zip_file_add(archive_, entryName.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
  if (index < 0 || zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                            deflateLevel) != 0) {
    if (source && index < 0) zip_source_free(source);
    zeReportError("Failed to add file %s to archive %s\n", path.c_str(), path_.c_str());
    return false;
  }
  ++fileCount_;
  bytesIn_ += size;
  zeLog("[%u] %s  %llu bytes (%.1f MB so far)\n", fileCount_, entryName.c_str(),
        static_cast<unsigned long long>(size), double(bytesIn_) / (1024.0 * 1024.0));
  return true;
}

bool CZeArchiveBuilder::addMatching(const std::string& baseDirectory, const std::string& directory,
                                    const std::vector<const char*>& patterns) {
  const std::string folder = directory.empty() ? zePathFold(baseDirectory) : zePathOnDisk(baseDirectory, directory);
  if (folder.empty()) {
    zeReportError("Failed to combine basedir=%s directory=%s\n", baseDirectory.c_str(), directory.c_str());
    return false;
  }
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return true;
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (matchesAny(name, patterns)) names.push_back(name);
  }
  // A stable order, so two builds of the same folder give the same archive.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string file = zePathFold(folder + "/" + name);
    if (excluded_.count(file)) continue;
    const std::string entry = zeArchiveEntryName(baseDirectory, file);
    if (entry.empty()) {
      zeReportError("Failed to get relative path for basedir=%s filename=%s\n", baseDirectory.c_str(),
                    file.c_str());
      return false;
    }
    if (!addFileAs(file, entry)) return false;
  }
  return true;
}

bool CZeArchiveBuilder::close() {
  if (!archive_) return false;
  const bool empty = zip_get_num_entries(archive_, 0) == 0;
  if (zip_close(archive_) != 0) {
    zeReportError("Failed to write archive %s: %s\n", path_.c_str(), zip_strerror(archive_));
    zip_discard(archive_);
    archive_ = nullptr;
    return false;
  }
  archive_ = nullptr;
  if (empty && !writeEmptyZip(path_)) {
    zeReportError("Failed to write archive %s\n", path_.c_str());
    return false;
  }
  std::error_code ec;
  const std::uintmax_t out = fs::file_size(path_, ec);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  zeLog("Packed %u files: %llu bytes in, %llu bytes out, %.2f s\n", fileCount_,
        static_cast<unsigned long long>(bytesIn_), static_cast<unsigned long long>(ec ? 0 : out), seconds);
  return true;
}

void CZeArchiveBuilder::discard() {
  if (archive_) zip_discard(archive_);
  archive_ = nullptr;
}
