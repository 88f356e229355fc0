// The packaging tools' command-line options, in one table: the command line
// recognises them, the entry hands them to the packaging run mode, and the
// packager builds what each one names.
#pragma once

enum class ZePackagingTool { DemoExe, DemoDat, DirExe, DirDat, DirListExe, DirListDat, EngineResources, Count };

struct SZePackagingToolName {
  const char* option;  // "-demoexe"
  ZePackagingTool tool;
  bool takesSource;  // OUTPUT SOURCE, or OUTPUT alone
};

extern const SZePackagingToolName kZePackagingTools[];
extern const int kZePackagingToolCount;

// The tool an option names, or nullptr.
const SZePackagingToolName* zeFindPackagingTool(const char* option);
