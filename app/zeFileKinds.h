// The files the program opens, in one table: the run mode each selects and
// the group the file chooser offers it in. The usage text describes the same
// table (a test holds the two together).
#pragma once

#include <string>

#include "app/zeCommandLine.h"
#include "app/zeFileChooser.h"

struct SZeFileKind {
  const char* ending;  // ".zscn"; compared without regard to case
  bool anywhere;       // found anywhere in the name (".demo.ini"), case-sensitive
  ZeRunMode mode;
  const char* group;   // the chooser's label
};

extern const SZeFileKind kZeFileKinds[];
extern const int kZeFileKindCount;

// The run mode a file name selects (Unsupported when none does).
ZeRunMode zeRunModeForFile(const std::string& path, bool hasCaptureBase);
// The chooser's filters: every supported file, then one group each, then all files.
const ZeFileFilters& zeSupportedFileFilters();
