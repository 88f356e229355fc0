// Temporary folders and small files for the packaging tests.
#pragma once

#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/programRun.h"

namespace zetest {

namespace fs = std::filesystem;

// A folder under /tmp, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/zarn-packaging-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs a command line in a folder on the given driver, never asking the user.
inline ProgramRun runIn(const std::string& folder, const std::string& commandLine, const char* driver = "null") {
  return runProgram(folder, std::string("ZARN_DRIVER=") + driver + " ZARN_NONINTERACTIVE=1", commandLine);
}

inline void writeFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Entry name -> contents of a ZIP archive in memory or on disk.
inline std::map<std::string, std::string> zipEntries(zip_t* z) {
  std::map<std::string, std::string> entries;
  if (!z) return entries;
  const zip_int64_t n = zip_get_num_entries(z, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    zip_stat_index(z, i, 0, &st);
    std::string bytes(st.size, '\0');
    zip_file_t* f = zip_fopen_index(z, i, 0);
    if (f) {
      zip_fread(f, bytes.data(), st.size);
      zip_fclose(f);
    }
    entries[st.name] = bytes;
  }
  return entries;
}

inline std::map<std::string, std::string> zipEntriesOfFile(const std::string& path) {
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &error);
  auto entries = zipEntries(z);
  if (z) zip_discard(z);
  return entries;
}

inline std::map<std::string, std::string> zipEntriesOfMemory(const std::vector<std::uint8_t>& bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* s = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* z = zip_open_from_source(s, ZIP_RDONLY, &error);
  if (!z) zip_source_free(s);
  auto entries = zipEntries(z);
  if (z) zip_discard(z);
  return entries;
}

inline std::string names(const std::map<std::string, std::string>& entries) {
  std::string s;
  for (const auto& e : entries) s += (s.empty() ? "" : " ") + e.first;
  return s;
}

}  // namespace zetest
