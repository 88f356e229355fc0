// Sections: pattern groups · directory lists · content of each tool ·
// building an archive or an executable · the tools.
#include "packaging/zePackager.h"

#include "app/zePackagingTools.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "app/zeSysInit.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "packaging/CZeArchiveBuilder.h"
#include "packaging/zeExecutableResources.h"
#include "packaging/zePayload.h"

namespace fs = std::filesystem;

// --- Pattern groups ------------------------------------------------------------------

const std::vector<const char*> zeImagePatterns = {"*.jpg", "*.png", "*.jpeg", "*.bmp", "*.tga",
                                                  "*.gif", "*.raw", "*.dds",  "*.hdr"};
const std::vector<const char*> zeShaderPatterns = {"*.hlsl", "*.vsh", "*.psh", "*.fx",
                                                   "*.zfx",  "*.dae", "*.xml", "*.h"};
const std::vector<const char*> zeObjectPatterns = {"*.x", "*.zmorph", "*.zmdd", "*.zpnts"};
const std::vector<const char*> zeSceneFilePatterns = {"*.lws.ini.bin", "*.zarn", "*.zscn"};
const std::vector<const char*> zeMusicPatterns = {"*.mp3", "*.mpg", "*.mpeg"};
const std::vector<const char*> zeShaderCachePatterns = {"*.vso", "*.pso", "*.vso.inf", "*.pso.inf"};
const std::vector<const char*> zeStandardShaderFolders = {
    "shaders", "shadersPP", "shadersPP2", "shadersSURF", "shadersSURF2", "shadersSURF2/include",
    "shadersHV", "shadersHV/include"};

namespace {

const std::vector<const char*> demoShaderPatterns = {"*.fx", "*.zfx", "*.hlsl", "*.h"};
const std::vector<const char*> sceneSourcePatterns = {"*.lwo", "*.lws"};
constexpr std::size_t maxListLine = 199;

}  // namespace

ZePackagingContext zeRunningPackagingContext() {
  ZePackagingContext c;
  c.programFile = zeRunningExecutable();
  c.programDirectory = zeProgramDirectory();
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd)) c.currentDirectory = cwd;
  return c;
}

// --- Directory lists -----------------------------------------------------------------

bool zeParseDirectoryList(const std::string& text, std::vector<ZeDirectoryListEntry>* entries, int* badLine) {
  entries->clear();
  std::size_t start = 0;
  int lineNumber = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > maxListLine) {
      *badLine = lineNumber;
      return false;
    }
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    line.erase(0, first);
    const std::size_t separator = line.find_last_of("/\\");
    ZeDirectoryListEntry entry;
    if (separator == std::string::npos) {
      entry.pattern = line;
    } else if (separator == 0) {
      entry.pattern = line.substr(1);
    } else {
      entry.directory = line.substr(0, separator);
      entry.pattern = line.substr(separator + 1);
    }
    if (!entry.pattern.empty()) entries->push_back(entry);
  }
  return true;
}

namespace {

// --- Content of each tool ------------------------------------------------------------

bool addSceneContent(CZeArchiveBuilder& zip, const std::string& scenePath) {
  const std::string base = zePathDirectory(scenePath);
  return zip.addMatching(base, "", zeObjectPatterns) && zip.addMatching(base, "", zeImagePatterns) &&
         zip.addFileAs(scenePath, "zarn.zscn") && zip.addMatching(base, "scene_backup", sceneSourcePatterns);
}

bool addDemoContent(CZeArchiveBuilder& zip, const ZePackagingContext& context, const std::string& definition) {
  ZeDemoSources sources;
  const ZeDemoSourcesResult read = context.readDemo(definition.c_str(), &sources);
  if (read == ZE_DEMO_SOURCES_UNREADABLE) {
    zeReportError("Failed to load ini file %s\n", definition.c_str());
    return false;
  }
  if (read == ZE_DEMO_SOURCES_TOO_MANY) {
    zeReportError("Reached max directories\n");
    return false;
  }
  const std::string base = zePathDirectory(definition);
  for (const std::string& directory : sources.sceneDirectories) {
    if (!zip.addMatching(base, directory, zeObjectPatterns) || !zip.addMatching(base, directory, zeSceneFilePatterns) ||
        !zip.addMatching(base, directory, zeImagePatterns) || !zip.addMatching(base, directory, zeShaderPatterns))
      return false;
  }
  if (!zip.addMatching(base, sources.shadersDirectory, demoShaderPatterns)) return false;
  if (!zip.addFileAs(definition, "zarn.demo.ini")) return false;
  if (!zip.addMatching(base, sources.musicDirectory, zeMusicPatterns)) return false;
  for (const char* name : {"loading.png", "loading.hlsl"}) {
    const std::string path = zePathOnDisk(base, name);
    std::error_code ec;
    if (fs::is_regular_file(path, ec) && !zip.addFileAs(path, name)) return false;
  }
  return true;
}

bool addDirectoryListContent(CZeArchiveBuilder& zip, const ZePackagingContext& context, const std::string& listFile) {
  std::ifstream in(listFile, std::ios::binary);
  if (!in) {
    zeReportError("Failed to open directory list %s\n", listFile.c_str());
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<ZeDirectoryListEntry> entries;
  int badLine = 0;
  if (!zeParseDirectoryList(text, &entries, &badLine)) {
    zeReportError("%s(%d): line longer than %zu characters\n", listFile.c_str(), badLine, maxListLine);
    return false;
  }
  for (const ZeDirectoryListEntry& e : entries)
    if (!zip.addMatching(context.currentDirectory, e.directory, {e.pattern.c_str()})) return false;
  return true;
}

// The engine's own shaders and textures, named as the file search finds them.
bool addEngineFolders(CZeArchiveBuilder& zip, const std::string& programDirectory) {
  for (const char* folder : zeStandardShaderFolders)
    if (!zip.addMatching(programDirectory, folder, zeShaderPatterns)) return false;
  return zip.addMatching(programDirectory, "textures", zeImagePatterns);
}

// --- Building an archive or an executable ----------------------------------------------

enum class Content { Demo, Directory, DirectoryList, EngineOnly };

struct Job {
  Content content;
  bool executable;
  std::uint32_t resourceId = ZE_RESOURCE_PRODUCTION;
};

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool copyProgram(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) return false;
  // The copy must still run, whatever permissions a file it replaced had.
  struct stat st;
  if (::stat(from.c_str(), &st) != 0) return false;
  return ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

// Everything a failed build made is removed again.
struct Leftovers {
  std::vector<std::string> paths;
  bool keep = false;
  ~Leftovers() {
    if (keep) return;
    for (const std::string& p : paths) std::remove(p.c_str());
  }
};

int build(const ZePackagingContext& context, const Job& job, const char* output, const char* source) {
  if (context.currentDirectory.empty() && !zePathIsAbsolute(output)) {
    zeReportError("zerscfile is not implemented\n");
    return -1;
  }
  const std::string outputPath = zePathFold(zePathJoin(context.currentDirectory, output));
  // Content made on Windows names its files loosely.
  const std::string sourcePath = source ? zePathOnDisk(context.currentDirectory, source) : "";
  Leftovers leftovers;

  if (job.executable) {
    if (!copyProgram(context.programFile, outputPath)) {
      zeReportError("Failed to copy %s to %s\n", context.programFile.c_str(), outputPath.c_str());
      return -1;
    }
    leftovers.paths.push_back(outputPath);
  }

  std::string archivePath = zePathDirectory(outputPath) + zePathFileName(outputPath, false) + ".dat";
  if (job.executable) archivePath += ".tmp";
  if (std::remove(archivePath.c_str()) != 0 && errno != ENOENT) {
    zeReportError("Failed to delete archive file %s\n", archivePath.c_str());
    return -1;
  }

  CZeArchiveBuilder zip;
  if (!zip.open(archivePath)) return -1;
  zip.exclude(outputPath);
  zip.exclude(archivePath);
  bool added = false;
  switch (job.content) {
    case Content::Demo:
      added = sourcePath.find(".zscn") != std::string::npos ? addSceneContent(zip, sourcePath)
                                                            : addDemoContent(zip, context, sourcePath);
      break;
    case Content::Directory: {
      // The folder to package must be there; missing engine folders are fine.
      std::error_code ec;
      added = fs::is_directory(sourcePath, ec);
      if (!added) zeReportError("Failed to open directory %s\n", sourcePath.c_str());
      if (added) added = zip.addMatching(sourcePath, "", {"*"});
      break;
    }
    case Content::DirectoryList:
      added = addDirectoryListContent(zip, context, sourcePath);
      break;
    case Content::EngineOnly:
      added = true;
      break;
  }
  if (added && job.content != Content::EngineOnly)
    added = zip.addMatching(context.programDirectory, "shadersCache", zeShaderCachePatterns);
  if (added) added = addEngineFolders(zip, context.programDirectory);
  if (!added) return -1;
  leftovers.paths.push_back(archivePath);
  if (!zip.close()) return -1;

  if (!job.executable) {
    leftovers.keep = true;
    return 0;
  }
  std::vector<std::uint8_t> payload;
  if (!readWholeFile(archivePath, &payload)) {
    zeReportError("Failed to read  %s", archivePath.c_str());
    return -1;
  }
  zeScramblePayload(payload.data(), payload.size());
  const char* failedStep = nullptr;
  int error = 0;
  if (zeWriteFileResource(outputPath.c_str(), job.resourceId, payload, &failedStep, &error) != 0) {
    if (std::strcmp(failedStep, "EndUpdate") == 0)
      zeReportError("Failed to EndUpdate %s lastError=%d", outputPath.c_str(), error);
    else
      zeReportError("Failed to %s %s", failedStep, outputPath.c_str());
    return -1;
  }
  std::remove(archivePath.c_str());
  leftovers.keep = true;
  return 0;
}

}  // namespace

// --- The tools -------------------------------------------------------------------------

int zeRunPackagingTool(const ZePackagingContext& context, const char* tool, const char* output, const char* source) {
  // What each tool of the option table builds, in the table's tool order.
  static const Job jobs[int(ZePackagingTool::Count)] = {
      {Content::Demo, true},           {Content::Demo, false},          {Content::Directory, true},
      {Content::Directory, false},     {Content::DirectoryList, true},  {Content::DirectoryList, false},
      {Content::EngineOnly, true, ZE_RESOURCE_SHADERS},
  };
  const SZePackagingToolName* named = zeFindPackagingTool(tool);
  if (!named) {
    zeReportError("Unknown packaging tool %s", tool ? tool : "");
    return -1;
  }
  if (!output || (!source && named->takesSource)) return -1;
  return build(context, jobs[int(named->tool)], output, source);
}

int zeRunPackagingTool(const char* tool, const char* output, const char* source) {
  return zeRunPackagingTool(zeRunningPackagingContext(), tool, output, source);
}
