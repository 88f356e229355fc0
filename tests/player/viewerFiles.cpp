#include "viewerFiles.h"

#include <dirent.h>
#include <stdlib.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string copyExampleScene(const char* examples) {
  char folder[] = "/tmp/zarn-viewer-XXXXXX";
  if (!mkdtemp(folder)) return "";
  if (DIR* dir = opendir(examples)) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      writeFile(std::string(folder) + "/" + name, readFile(std::string(examples) + "/" + name));
    }
    closedir(dir);
  }
  return folder;
}

std::string withoutRedLight(const std::string& text) {
  std::string out = text;
  const std::string key = "color FP_C [\nDAT ";
  for (std::size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + 1)) {
    const std::size_t line = at + key.size() - 4;
    const std::size_t end = out.find('\n', line);
    std::istringstream words(out.substr(line, end - line));
    std::string dat;
    int count = 0;
    words >> dat >> count;
    std::string zeros = "DAT " + std::to_string(count);
    for (int i = 0; i < count; ++i) zeros += " 0.000000";
    out.replace(line, end - line, zeros);
  }
  return out;
}

void removeFolder(const std::string& folder) {
  if (folder.empty()) return;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") std::remove((folder + "/" + name).c_str());
    }
    closedir(dir);
  }
  rmdir(folder.c_str());
}
