// Writes one ZIP archive on disk: deflate at level 6, names relative to a base
// directory with "/" as separator, no comments. Reports one progress line per
// file and a summary when the archive is closed.
#pragma once

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct zip;

class CZeArchiveBuilder {
 public:
  CZeArchiveBuilder() = default;
  ~CZeArchiveBuilder();  // discards an archive that was not closed
  CZeArchiveBuilder(const CZeArchiveBuilder&) = delete;
  CZeArchiveBuilder& operator=(const CZeArchiveBuilder&) = delete;

  // Starts a new archive at `path` (nothing is written before close()).
  bool open(const std::string& path);

  // Adds every file (not directory) directly in `directory` (joined to
  // `baseDirectory`) whose name matches one of `patterns`, without regard to
  // case, named relative to `baseDirectory`. A missing directory adds
  // nothing. The first failure is reported and ends the group with false.
  bool addMatching(const std::string& baseDirectory, const std::string& directory,
                   const std::vector<const char*>& patterns);
  // Adds one file under the given name.
  bool addFileAs(const std::string& path, const std::string& entryName);

  // A file never added (the tool's own output, when it lies in the folder
  // being packaged).
  void exclude(const std::string& path) { excluded_.insert(path); }

  // Compresses and writes the archive; false (reported) when that fails.
  bool close();
  // Drops the archive without writing it.
  void discard();

  unsigned fileCount() const { return fileCount_; }
  std::uint64_t bytesIn() const { return bytesIn_; }

 private:
  zip* archive_ = nullptr;
  std::string path_;
  std::set<std::string> names_;
  std::set<std::string> excluded_;
  unsigned fileCount_ = 0;
  std::uint64_t bytesIn_ = 0;
  std::chrono::steady_clock::time_point started_;
};

// The entry name of `file` inside an archive whose root is `baseDirectory`:
// relative, "/"-separated, folded. A name that would climb above the root
// ("../x") loses the climbing part, as the archive reader resolves it. Empty
// when no relative name exists.
std::string zeArchiveEntryName(const std::string& baseDirectory, const std::string& file);
