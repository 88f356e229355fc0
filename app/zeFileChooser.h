// The open-file dialog. Without a display (or with ZARN_NONINTERACTIVE=1) it
// answers "cancel"; the engine installs a windowed chooser once it can.
#pragma once

#include <string>
#include <utility>
#include <vector>

// (label, patterns separated by ';')
using ZeFileFilters = std::vector<std::pair<std::string, std::string>>;

// The chosen path (an existing file), or nullptr when cancelled. The current
// directory is the same before and after the call, whatever the outcome.
const char* zeChooseFile(const char* title, const ZeFileFilters& filters);

using ZeFileChooserPresenter = bool (*)(const char* title, const ZeFileFilters& filters, std::string* chosen);
void zeSetFileChooserPresenter(ZeFileChooserPresenter presenter);

// True when dialogs may open windows: a display exists and ZARN_NONINTERACTIVE is not 1.
bool zeInteractive();
