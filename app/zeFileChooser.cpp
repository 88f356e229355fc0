#include "app/zeFileChooser.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
ZeFileChooserPresenter chooserPresenter = nullptr;
}

bool zeInteractive() {
  const char* nonInteractive = std::getenv("ZARN_NONINTERACTIVE");
  if (nonInteractive && std::strcmp(nonInteractive, "1") == 0) return false;
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

void zeSetFileChooserPresenter(ZeFileChooserPresenter presenter) { chooserPresenter = presenter; }

const char* zeChooseFile(const char* title, const ZeFileFilters& filters) {
  static std::string chosen;
  if (!chooserPresenter || !zeInteractive()) return nullptr;
  char saved[PATH_MAX];
  const bool haveSaved = ::getcwd(saved, sizeof saved) != nullptr;
  const bool accepted = chooserPresenter(title, filters, &chosen);
  if (haveSaved && ::chdir(saved) != 0) {
    // The directory vanished while the dialog was open; nothing to restore to.
  }
  if (!accepted || ::access(chosen.c_str(), R_OK) != 0) return nullptr;
  return chosen.c_str();
}
