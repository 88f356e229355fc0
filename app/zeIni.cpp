#include "app/zeIni.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/zeFile.h"
#include "base/zeMessage.h"

namespace {

// iniparser names the file it was given, which here is the anonymous file's
// /proc path; its complaints are rewritten to name the file the user wrote.
std::string loadingName;
std::string loadingProcPath;

int reportIniError(const char* format, ...) {
  char text[ZE_TEXT_SIZE];
  va_list values;
  va_start(values, format);
  std::vsnprintf(text, sizeof text, format, values);
  va_end(values);
  std::string message = text;
  if (!loadingProcPath.empty())
    for (std::size_t at = message.find(loadingProcPath); at != std::string::npos;
         at = message.find(loadingProcPath, at + loadingName.size()))
      message.replace(at, loadingProcPath.size(), loadingName);
  while (!message.empty() && message.back() == '\n') message.pop_back();
  zeMessage(ZE_WARN, "%s", message.c_str());
  return 0;
}

}  // namespace

dictionary* zeIniLoad(const char* name) {
  std::string bytes;
  if (!name || !zeFileReadAll(name, &bytes)) return nullptr;
  const int fd = ::memfd_create("zarn-ini", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) {
      ::close(fd);
      return nullptr;
    }
    written += static_cast<std::size_t>(n);
  }
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  loadingName = name;
  loadingProcPath = path;
  iniparser_set_error_callback(reportIniError);
  dictionary* dict = iniparser_load(path);
  iniparser_set_error_callback(nullptr);  // back to iniparser's own
  loadingProcPath.clear();
  ::close(fd);
  return dict;
}
