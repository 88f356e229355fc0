#include "base/zePath.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> splitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '/') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// Finds `name` in `directory` ignoring case; empty when absent.
std::string findIgnoringCase(const std::string& directory, const std::string& name) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return {};
  std::string found;
  while (dirent* entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

bool zePathIsAbsolute(const std::string& name) {
  if (name.empty()) return false;
  if (isSeparator(name[0])) return true;
  // Drive-style names from Windows content ("c:/x", "c:x") are never joined.
  return name.size() >= 2 && name[1] == ':' &&
         ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'));
}

std::string zePathFold(const std::string& path) {
  std::string slashed = path;
  for (char& c : slashed)
    if (c == '\\') c = '/';
  const bool rooted = !slashed.empty() && slashed[0] == '/';
  const bool trailing = slashed.size() > 1 && slashed.back() == '/';
  std::vector<std::string> kept;
  for (const std::string& part : splitComponents(slashed)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty() && kept.back() != "..") {
        kept.pop_back();
      } else if (!rooted) {
        // A relative name may still climb out of its working directory.
        kept.push_back(part);
      }
      continue;
    }
    kept.push_back(part);
  }
  std::string out = rooted ? "/" : "";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i) out += '/';
    out += kept[i];
  }
  if (trailing && !kept.empty()) out += '/';
  if (out.empty() && !path.empty() && !rooted) out = ".";
  return out;
}

std::string zePathJoin(const std::string& workingDirectory, const std::string& name) {
  if (zePathIsAbsolute(name) || workingDirectory.empty()) return name;
  std::string joined = workingDirectory;
  const char last = joined.back();
  if (last != '/' && last != '\\' && last != ':') joined += '/';
  return joined + name;
}

std::string zePathInArchive(const std::string& workingDirectory, const std::string& name) {
  std::string folded = zePathFold(zePathJoin(workingDirectory, name));
  while (!folded.empty() && folded[0] == '/') folded.erase(0, 1);
  // ".." stops at the archive's root.
  while (folded.compare(0, 3, "../") == 0) folded.erase(0, 3);
  if (folded == "..") folded.clear();
  return folded;
}

std::string zePathOnDisk(const std::string& workingDirectory, const std::string& name) {
  const std::string folded = zePathFold(zePathJoin(workingDirectory, name));
  if (folded.empty() || exists(folded)) return folded;
  const bool rooted = folded[0] == '/';
  std::string resolved = rooted ? "/" : "";
  const std::vector<std::string> parts = splitComponents(folded);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    std::string candidate = resolved + part;
    if (part != ".." && !exists(candidate)) {
      const std::string match = findIgnoringCase(resolved.empty() ? "." : resolved, part);
      if (match.empty()) return folded;
      candidate = resolved + match;
    }
    resolved = candidate;
    if (i + 1 < parts.size()) resolved += '/';
  }
  return resolved;
}

std::string zePathDirectory(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string zePathExtension(const std::string& path) {
  const std::string name = zePathFileName(path, true);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string zePathFileName(const std::string& path, bool keepExtension) {
  const std::size_t cut = path.find_last_of("/\\:");
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  if (!keepExtension) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
  }
  return name;
}
