#include "packaging/zeExtract.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include "base/zeMessage.h"
#include "packaging/zeExecutableResources.h"
#include "packaging/zePayload.h"

namespace {

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

bool endsWithNoCase(const std::string& s, const char* suffix) {
  const std::size_t n = std::char_traits<char>::length(suffix);
  return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

bool makeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  }
  zeMessageBox("Failed to create directory %s", path.c_str());
  return false;
}

bool writeFileAtomically(const std::string& path, const std::vector<char>& bytes) {
  const std::string temporary = path + ".part";
  FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool zeIsSafeEntryName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // a drive letter
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

int zeExtractArchive(const std::vector<std::uint8_t>& archive, const std::string& directory) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
  ZipHandle zip(source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr);
  zip_error_fini(&error);
  if (!zip) {
    if (source) zip_source_free(source);
    zeMessageBox("Failed to open archive");
    return -1;
  }

  const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
  std::vector<std::string> names;
  bool hasSources = false, hasScene = false, isDemo = false;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    if (zip_stat_index(zip.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
      zeMessageBox("Failed to stat file");
      return -1;
    }
    names.push_back(st.name);
    hasSources |= contains(names.back(), "scene_backup/");
    hasScene |= contains(names.back(), "zarn.zscn");
    isDemo |= contains(names.back(), "zarn.demo.ini");
  }
  if (!hasSources || !hasScene || isDemo) return 0;

  const std::string target = directory + "/ExeExtract";
  for (const std::string& d : {target, target + "/Images", target + "/Objects", target + "/Scenes"})
    if (!makeDirectory(d)) return -1;

  for (zip_int64_t i = 0; i < count; ++i) {
    const std::string& name = names[static_cast<std::size_t>(i)];
    if (name.empty() || name.back() == '/' || name.back() == '\\') continue;
    const std::size_t slash = name.find_last_of("/\\");
    const std::string fileName = slash == std::string::npos ? name : name.substr(slash + 1);
    if (fileName.find('.') == std::string::npos) continue;
    if (!zeIsSafeEntryName(name)) {
      zeLog("Skipped entry '%s': its name leads outside the extraction folder\n", name.c_str());
      continue;
    }
    const char* folder = nullptr;
    if (slash == std::string::npos) {
      if (!endsWithNoCase(name, ".x") && !endsWithNoCase(name, ".zscn") && !endsWithNoCase(name, ".zarn"))
        folder = "Images";
    } else if (contains(name, "scene_backup/")) {
      if (endsWithNoCase(name, ".lwo")) folder = "Objects";
      if (endsWithNoCase(name, ".lws")) folder = "Scenes";
    }
    if (!folder) continue;
    const std::string path = target + "/" + folder + "/" + fileName;
    zeLog("Extract File '%s'\n", path.c_str());
    zip_stat_t st;
    zip_file_t* file = zip_stat_index(zip.get(), static_cast<zip_uint64_t>(i), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE)
                           ? zip_fopen_index(zip.get(), static_cast<zip_uint64_t>(i), 0)
                           : nullptr;
    std::vector<char> bytes;
    bool read = false;
    if (file) {
      // The stated size is only a hint: read until the entry really ends.
      char chunk[65536];
      zip_int64_t n;
      while ((n = zip_fread(file, chunk, sizeof chunk)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
      read = n == 0;
      zip_fclose(file);
    }
    if (!read) {
      zeMessageBox("Failed to extract file %s", name.c_str());
      return -1;
    }
    if (!writeFileAtomically(path, bytes)) {
      zeMessageBox("Failed to write file %s", path.c_str());
      return -1;
    }
  }
  return 0;
}

int zeExtractRunningProgram() {
  std::vector<std::uint8_t> archive;
  std::string problem;
  switch (zeLoadFileResource(zeRunningExecutable(), ZE_RESOURCE_PRODUCTION, &archive, &problem)) {
    case ZeLoadResult::NotFound:
      zeMessageBox("Resources don't exist");
      return -1;
    case ZeLoadResult::Broken:
      zeMessageBox("Failed to load resources from executable (%s)", problem.c_str());
      return -1;
    case ZeLoadResult::Loaded:
      break;
  }
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) {
    zeMessageBox("Failed to create directory %s", "ExeExtract");
    return -1;
  }
  return zeExtractArchive(archive, cwd);
}
