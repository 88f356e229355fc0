// A started engine on the NULL driver, meshes made in code, and the messages
// the engine issued.
#pragma once

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>
#include <utility>
#include <vector>

// Test meshes: a cube of side 2 centred on the origin, with `buffers` buffers
// (each a copy of the cube) and 16-bit indices.
irr::scene::SMesh* makeCubeMesh(int buffers = 1);
// One buffer of `vertexCount` vertices and one triangle, 16-bit indices.
irr::scene::SMesh* makeBigMesh(irr::u32 vertexCount);

// Registers a mesh in Irrlicht's cache under the name LoadObject resolves
// `file` to, so LoadObject(file) finds it without a loader. Drops nothing.
void cacheMesh(const char* file, irr::scene::IAnimatedMesh* mesh);
// A static mesh, an animated mesh of `frames` key meshes, and a skinned mesh
// whose one joint has position keys at frames 0 and `lastKey` (no keys: 0).
void cacheStatic(const char* file);
void cacheAnimated(const char* file, int frames);
void cacheSkinned(const char* file, int lastKey);

// Device-log lines while a test runs (install it with zeSetDeviceLogger).
class SceneDeviceLogRecorder : public irr::ILogger {
 public:
  std::string text;
  irr::ELOG_LEVEL getLogLevel() const override { return irr::ELL_DEBUG; }
  void setLogLevel(irr::ELOG_LEVEL) override {}
  void log(const irr::c8* t, irr::ELOG_LEVEL) override { text += std::string(t) + "\n"; }
  void log(const irr::c8* t, const irr::c8* hint, irr::ELOG_LEVEL) override { text += std::string(t) + hint + "\n"; }
  void log(const irr::c8* t, const wchar_t*, irr::ELOG_LEVEL) override { text += std::string(t) + "\n"; }
  void log(const wchar_t*, const wchar_t*, irr::ELOG_LEVEL) override {}
  void log(const wchar_t*, irr::ELOG_LEVEL) override {}
};

// A fresh temporary directory for files a test writes.
std::string tempDirectory();
void writeText(const std::string& path, const std::string& text);

// A ZIP archive of stored (uncompressed) files, written by hand.
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& files);

// Message boxes shown while the fixture runs (WARN|SHOW and the like).
extern std::vector<std::string> shownBoxes;

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The kept error (text and argument index), then cleared; "" when none.
  static std::string takeError(int* argIndex = nullptr);
};
