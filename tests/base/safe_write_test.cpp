// Safe writes: the target is replaced only by a complete file; a write that
// fails part-way leaves it as it was, and no temporary file behind.
#include "base/zeSafeWrite.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class SafeWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = "/tmp/zarn-safe-write-" + std::to_string(getpid());
    mkdir(dir_.c_str(), 0755);
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
  }
  // Names in the folder, to show no temporary file is left.
  std::string listing() const {
    std::string names;
    DIR* dir = opendir(dir_.c_str());
    while (dirent* item = readdir(dir)) {
      if (item->d_name[0] == '.' && (!item->d_name[1] || (item->d_name[1] == '.' && !item->d_name[2]))) continue;
      names += std::string(item->d_name) + " ";
    }
    closedir(dir);
    return names;
  }
  std::string dir_;
};

TEST_F(SafeWrite, ReplacesTheFileAndKeepsItsPermissions) {
  const std::string path = dir_ + "/scene.zscn";
  ASSERT_EQ(zeWriteFileSafely(path.c_str(), "first", 5), ZE_WRITE_DONE);
  EXPECT_EQ(read(path), "first");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(zeWriteFileSafely(path.c_str(), "second", 6), ZE_WRITE_DONE);
  EXPECT_EQ(read(path), "second");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(listing(), "scene.zscn ");
}

// A streaming writer (video capture) writes into the file Begin made; the
// target changes only at Commit, and Abandon leaves it as it was.
TEST_F(SafeWrite, AStreamedFileReplacesTheTargetOnlyWhenCommitted) {
  const std::string path = dir_ + "/film.mp4";
  ASSERT_EQ(zeWriteFileSafely(path.c_str(), "old", 3), ZE_WRITE_DONE);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  std::string temporary = zeSafeWriteBegin(path.c_str());
  ASSERT_FALSE(temporary.empty());
  EXPECT_EQ(temporary.rfind(dir_ + "/.film.mp4.", 0), 0u) << temporary;
  std::ofstream(temporary, std::ios::binary) << "new video";
  EXPECT_EQ(read(path), "old");
  ASSERT_EQ(zeSafeWriteCommit(temporary, path.c_str()), ZE_WRITE_DONE);
  EXPECT_EQ(read(path), "new video");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(listing(), "film.mp4 ");

  temporary = zeSafeWriteBegin(path.c_str());
  std::ofstream(temporary, std::ios::binary) << "half a vid";
  zeSafeWriteAbandon(temporary);
  EXPECT_EQ(read(path), "new video");
  EXPECT_EQ(listing(), "film.mp4 ");
  EXPECT_EQ(zeSafeWriteCommit(temporary, path.c_str()), ZE_WRITE_FAILED);  // gone: nothing to commit
  EXPECT_EQ(zeSafeWriteBegin((dir_ + "/no-such-folder/film.mp4").c_str()), "");
}

TEST_F(SafeWrite, AWriteThatFailsPartWayLeavesTheTargetWhole) {
  const std::string path = dir_ + "/scene.zscn";
  const std::string old(20000, 'o');
  ASSERT_EQ(zeWriteFileSafely(path.c_str(), old.data(), old.size()), ZE_WRITE_DONE);
  // A file size limit of 16 KB, as a full disk would stop the write.
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16384;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string bigger(40000, 'n');
  const ZeSafeWriteResult result = zeWriteFileSafely(path.c_str(), bigger.data(), bigger.size());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(result, ZE_WRITE_FAILED);
  EXPECT_EQ(read(path), old);
  EXPECT_EQ(listing(), "scene.zscn ");
}

TEST_F(SafeWrite, FailuresToCreateOrReplace) {
  EXPECT_EQ(zeWriteFileSafely((dir_ + "/missing/scene.zscn").c_str(), "x", 1), ZE_WRITE_CANNOT_CREATE);
  EXPECT_EQ(zeWriteFileSafely((dir_ + "/").c_str(), "x", 1), ZE_WRITE_CANNOT_CREATE);
  // A folder in the way cannot be replaced by a file.
  ASSERT_EQ(mkdir((dir_ + "/taken").c_str(), 0755), 0);
  EXPECT_EQ(zeWriteFileSafely((dir_ + "/taken").c_str(), "x", 1), ZE_WRITE_FAILED);
  EXPECT_EQ(listing(), "taken ");
}

}  // namespace
