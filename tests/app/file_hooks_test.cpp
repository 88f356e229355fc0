#include <gtest/gtest.h>
#include <irrlicht.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "support/testZip.h"
#include "base/zePath.h"

namespace {

// A fresh temporary folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/zarn-hooks-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  std::string write(const std::string& relative, const std::string& contents) const {
    const std::string full = path_ + "/" + relative;
    std::string dir = full.substr(0, full.rfind('/'));
    std::system(("mkdir -p '" + dir + "'").c_str());
    std::ofstream(full, std::ios::binary) << contents;
    return full;
  }

 private:
  std::string path_;
};

std::string readThrough(const char* name) {
  std::string contents;
  if (!zeFileReadAll(name, &contents)) return "(cannot open)";
  return contents;
}

irr::IrrlichtDevice* nullDevice() {
  irr::SIrrlichtCreationParameters params;
  params.DriverType = irr::video::EDT_NULL;
  params.LoggingLevel = irr::ELL_NONE;
  return irr::createDeviceEx(params);
}

class FileHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    ::getcwd(savedCwd_, sizeof savedCwd_);
    zeSetMessageThreshold(ZE_NONE);
    zeDisableMessageBoxes();
    zeFilesystemReset(nullptr);
    zeSetWorkingDirectory("");
    zeSetBaseDirectory("");
  }
  void TearDown() override {
    zeSetMessageThreshold(ZE_NONE);
    zeFilesystemReset(nullptr);
    zeSetWorkingDirectory("");
    zeSetBaseDirectory("");
    if (device_) device_->drop();
    ::chdir(savedCwd_);
    zeResetMessageState();
  }
  irr::io::IFileSystem* startDevice() {
    device_ = nullDevice();
    return device_->getFileSystem();
  }
  TempFolder temp_;
  irr::IrrlichtDevice* device_ = nullptr;
  char savedCwd_[4096];
};

TEST(PathNormaliser, FoldsJoinsAndSplits) {
  struct Case {
    const char* in;
    const char* folded;
  } folds[] = {
      {"a\\b\\c.txt", "a/b/c.txt"}, {"a/./b/../c", "a/c"},     {"/x/../../y", "/y"},
      {"../up/file", "../up/file"}, {"a//b///c", "a/b/c"},     {"./", "."},
      {"dir/", "dir/"},             {"a/b/../../..", ".."},    {"/", "/"},
  };
  for (const Case& c : folds) EXPECT_EQ(zePathFold(c.in), c.folded) << c.in;

  EXPECT_EQ(zePathJoin("data", "a.txt"), "data/a.txt");
  EXPECT_EQ(zePathJoin("data/", "a.txt"), "data/a.txt");
  EXPECT_EQ(zePathJoin("", "a.txt"), "a.txt");
  EXPECT_EQ(zePathJoin("data", "/abs/a.txt"), "/abs/a.txt");  // absolute names stand as they are
  EXPECT_EQ(zePathJoin("data", "c:\\a.txt"), "c:\\a.txt");
  EXPECT_EQ(zePathInArchive("/", "../../x/./y.txt"), "x/y.txt");  // ".." stops at the archive root
  EXPECT_EQ(zePathInArchive("", "\\Dir\\File.txt"), "Dir/File.txt");

  EXPECT_EQ(zePathDirectory("c:file.txt"), "c:");
  EXPECT_EQ(zePathDirectory("a\\b/c.txt"), "a\\b/");
  EXPECT_EQ(zePathDirectory("plain.txt"), "");
  EXPECT_EQ(zePathFileName("dir/sub.name.ext", false), "sub.name");
  EXPECT_EQ(zePathFileName("dir/sub.name.ext", true), "sub.name.ext");
}

TEST_F(FileHooks, PlainVariantJoinsTheWorkingDirectoryAndForgivesSpelling) {
  temp_.write("data/a.txt", "in data");
  temp_.write("Shaders/Lpp.HLSL", "shader");
  ASSERT_EQ(::chdir(temp_.path().c_str()), 0);
  EXPECT_STREQ(zeFileHooksVariant(), "stdio");

  EXPECT_EQ(readThrough("a.txt"), "(cannot open)");
  zeSetWorkingDirectory("data");
  EXPECT_EQ(readThrough("a.txt"), "in data");
  EXPECT_STREQ(zeAbsolutePath("a.txt"), "data/a.txt");
  zeSetWorkingDirectory("");
  EXPECT_EQ(readThrough("data/a.txt"), "in data");
  EXPECT_EQ(readThrough("DATA\\A.TXT"), "in data");
  EXPECT_EQ(readThrough("shaders\\lpp.hlsl"), "shader");
  EXPECT_EQ(readThrough((temp_.path() + "/Data/A.txt").c_str()), "in data");

  zeSetWorkingDirectory("x");
  zeEnterDirectory("y");
  EXPECT_STREQ(zeGetWorkingDirectory(), "x/y");
  zeSetWorkingDirectory("c:");
  zeEnterDirectory("y");
  EXPECT_STREQ(zeGetWorkingDirectory(), "c:y");
}

TEST_F(FileHooks, FileOperationsBehaveLikeStreams) {
  const std::string path = temp_.write("lines.txt", "first\nsecond line\nend");
  for (int variant = 0; variant < 2; ++variant) {
    if (variant == 1) zeFilesystemReset(startDevice());
    ZeFile* f = zeFileOpen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr) << variant;
    char line[8];
    EXPECT_STREQ(zeFileGets(line, sizeof line, f), "first\n");
    EXPECT_STREQ(zeFileGets(line, sizeof line, f), "second ");  // cut at size - 1
    EXPECT_STREQ(zeFileGets(line, sizeof line, f), "line\n");
    EXPECT_EQ(zeFileGetc(f), 'e');
    char pair[4];
    EXPECT_EQ(zeFileRead(pair, 2, 2, f), 1u);  // only whole items count
    EXPECT_EQ(zeFileGetc(f), -1);
    EXPECT_EQ(zeFileGets(line, sizeof line, f), nullptr);
    EXPECT_EQ(zeFileSeek(f, 0, 2), 0);
    EXPECT_EQ(zeFileTell(f), 21);
    EXPECT_EQ(zeFileSeek(f, -3, 2), 0);
    EXPECT_EQ(zeFileGetc(f), 'e');
    EXPECT_EQ(zeFileSeek(f, 1, 1), 0);
    EXPECT_EQ(zeFileGetc(f), 'd');
    zeFileClose(f);
  }
}

TEST_F(FileHooks, IrrlichtVariantRefusesUnknownSeekOrigins) {
  EXPECT_EQ(zeFilesystemReset(startDevice()), 0);
  EXPECT_STREQ(zeFileHooksVariant(), "irr");
  EXPECT_FALSE(zeIsPackaged());
  ZeFile* f = zeFileOpen(temp_.write("f.bin", "12345").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ::testing::internal::CaptureStdout();
  EXPECT_NE(zeFileSeek(f, 0, 5), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "zfile_irr_fseek: unsupported whence\n");
  zeFileClose(f);
}

// Both variants read regular files only: a FIFO would block the open until
// a writer came, a directory or device would be read without end.
TEST_F(FileHooks, BothVariantsRefuseWhatIsNotARegularFile) {
  const std::string fifo = temp_.path() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  for (bool irrlicht : {false, true}) {
    if (irrlicht) {
      ASSERT_EQ(zeFilesystemReset(startDevice()), 0);
    }
    for (const std::string& path : {fifo, temp_.path(), std::string("/dev/zero")}) {
      EXPECT_EQ(zeFileOpen(path.c_str(), "rb"), nullptr) << path << (irrlicht ? " (irr)" : " (stdio)");
      std::string contents;
      EXPECT_FALSE(zeFileReadAll(path.c_str(), &contents)) << path;
    }
    EXPECT_TRUE(zeFileExists(temp_.write("plain.txt", "x").c_str()));
  }
}

TEST_F(FileHooks, KnownFileSearchOrder) {
  temp_.write("app/shadersPP/Gamma.hlsl", "pp");
  temp_.write("app/textures/t.png", "base");
  temp_.write("app/only.txt", "base");
  temp_.write("shaders/t.png", "cwd");
  ASSERT_EQ(::chdir(temp_.path().c_str()), 0);
  zeSetBaseDirectory("app/");

  struct Case {
    const char* name;
    const char* found;
  } cases[] = {
      {"app/only.txt", "app/only.txt"},          // the name as given
      {"t.png", "shaders/t.png"},                // standard folders before the base directory
      {"only.txt", "app/only.txt"},              // the base directory
      {"Gamma.hlsl", "app/shadersPP/Gamma.hlsl"},  // the base directory's standard folders
      {"missing.hlsl", "missing.hlsl"},          // no hit: the name unchanged
  };
  for (const Case& c : cases) EXPECT_STREQ(zeFindKnownFile(c.name), c.found) << c.name;
}

TEST_F(FileHooks, ArchiveMountedFromFileAndFromMemory) {
  const auto bytes = zeTestZip({{"Dir/File.txt", "in dir"}, {"root.txt", "at root"}, {"shadersPP/Gamma.hlsl", "g"}});
  const std::string zipPath = temp_.path() + "/pack.dat";
  std::ofstream(zipPath, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  temp_.write("disk.txt", "on disk");
  ASSERT_EQ(::chdir(temp_.path().c_str()), 0);

  for (int mode = 0; mode < 2; ++mode) {
    zeFilesystemReset(nullptr);
    if (device_) device_->drop();
    device_ = nullptr;
    irr::io::IFileSystem* fs = startDevice();
    zeFilesystemReset(fs);
    ASSERT_EQ(mode == 0 ? zeMountArchiveFile("pack.dat") : zeMountArchiveMemory(bytes.data(), bytes.size()), 0);
    EXPECT_TRUE(zeIsPackaged());
    EXPECT_EQ(readThrough("dir\\FILE.txt"), "in dir") << mode;
    EXPECT_EQ(readThrough("/root.txt"), "at root");
    EXPECT_EQ(readThrough("../root.txt"), "at root");
    EXPECT_EQ(readThrough("disk.txt"), "on disk");  // the disk is still behind the archive
    zeSetBaseDirectory("/");
    EXPECT_STREQ(zeFindKnownFile("root.txt"), "root.txt");
    EXPECT_STREQ(zeFindKnownFile("Gamma.hlsl"), "shadersPP/Gamma.hlsl");
  }
}

TEST_F(FileHooks, MountBeforeTheDeviceWaitsForIt) {
  const auto bytes = zeTestZip({{"late.txt", "mounted later"}});
  EXPECT_EQ(zeMountArchiveMemory(bytes.data(), bytes.size()), 0);
  EXPECT_TRUE(zeIsPackaged());
  EXPECT_STREQ(zeFileHooksVariant(), "stdio");
  EXPECT_EQ(readThrough("late.txt"), "(cannot open)");
  EXPECT_EQ(zeFilesystemReset(startDevice()), 0);
  EXPECT_EQ(readThrough("late.txt"), "mounted later");
  // Going back to no device forgets the mount.
  zeFilesystemReset(nullptr);
  EXPECT_FALSE(zeIsPackaged());
}

TEST_F(FileHooks, FailedMountKeepsTheHooksAndSaysWhy) {
  zeFilesystemReset(startDevice());
  ::testing::internal::CaptureStdout();
  zeSetMessageThreshold(ZE_INFO);
  EXPECT_EQ(zeMountArchiveFile("no-such.dat"), -1);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("ERROR : zeSetupFilesystem: Failed addFileArchive 'no-such.dat'"), std::string::npos) << out;
  EXPECT_FALSE(zeIsPackaged());

  const char garbage[] = "not a zip at all";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(zeMountArchiveMemory(garbage, sizeof garbage), -1);
  EXPECT_NE(::testing::internal::GetCapturedStdout().find("Failed addFileArchive from memory"), std::string::npos);
  EXPECT_FALSE(zeIsPackaged());
}

}  // namespace
