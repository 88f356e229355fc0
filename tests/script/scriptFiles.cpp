#include "scriptFixture.h"

#include <stdlib.h>

#include <fstream>

std::string scriptTempDirectory() {
  char pattern[] = "/tmp/zarn-script-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  return made ? made : "/tmp";
}

void writeScriptFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}
