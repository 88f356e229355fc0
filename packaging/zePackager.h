// The packaging tools: data archives (".dat") and packaged executables built
// from a demo definition, a scene, a directory or a directory list, and the
// executable carrying only the engine's shaders and textures.
#pragma once

#include <string>
#include <vector>

#include "packaging/zeDemoSources.h"

// The pattern groups, in the order their patterns are tried.
extern const std::vector<const char*> zeImagePatterns;
extern const std::vector<const char*> zeShaderPatterns;
extern const std::vector<const char*> zeObjectPatterns;
extern const std::vector<const char*> zeSceneFilePatterns;
extern const std::vector<const char*> zeMusicPatterns;
extern const std::vector<const char*> zeShaderCachePatterns;
// The standard engine folders searched for shaders, relative to the program.
extern const std::vector<const char*> zeStandardShaderFolders;

// What a tool works from; the defaults are the running program's.
struct ZePackagingContext {
  std::string programFile;       // copied to make an executable
  std::string programDirectory;  // holds the standard engine folders
  std::string currentDirectory;  // relative outputs and list entries start here
  ZeDemoSourcesReader readDemo = zeReadDemoSources;
};
ZePackagingContext zeRunningPackagingContext();

// One directory list entry: a directory (may be empty) and a pattern.
struct ZeDirectoryListEntry {
  std::string directory;
  std::string pattern;
};
// Parses a list file's text. Lines longer than 199 characters are refused:
// false, with the 1-based line number in *badLine.
bool zeParseDirectoryList(const std::string& text, std::vector<ZeDirectoryListEntry>* entries, int* badLine);

// Runs one tool ("-demoexe", "-demodat", "-direxe", "-dirdat", "-dirlistexe",
// "-dirlistdat" with output and source; "-exersc" with output and a null
// source). 0, or -1 after reporting; a failed build leaves no copied
// executable and no temporary archive behind.
int zeRunPackagingTool(const ZePackagingContext& context, const char* tool, const char* output, const char* source);
int zeRunPackagingTool(const char* tool, const char* output, const char* source);
