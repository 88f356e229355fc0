// Whole-file reads take regular files of bounded size only: a FIFO, a device
// or a directory is refused at once (never waited on or read forever), and a
// file past the limit is refused with a message that says so.
#include "base/zeFile.h"
#include "base/zeMessage.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

class FileLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = "/tmp/zarn-file-limits-" + std::to_string(getpid());
    mkdir(dir_.c_str(), 0755);
    zeResetMessageState();
  }
  void TearDown() override {
    zeSetFileReadLimit(std::size_t(1) << 30);
    std::system(("rm -rf " + dir_).c_str());
  }
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
  }
  // What a read of `path` leaves on the message channel, and whether it read.
  std::string readLog(const std::string& path, bool* read, std::string* contents) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    *read = zeFileReadAll(path.c_str(), contents);
    return testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
  }
  std::string dir_;
};

TEST_F(FileLimits, OnlyRegularFilesAreRead) {
  const std::string fifo = dir_ + "/pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  // Opening a FIFO for reading would wait for a writer: it must not.
  for (const std::string& path : {fifo, dir_, std::string("/dev/zero")}) {
    bool read = true;
    std::string contents;
    const std::string log = readLog(path, &read, &contents);
    EXPECT_FALSE(read) << path;
    EXPECT_NE(log.find("Cannot read " + path + ": not a regular file"), std::string::npos) << log;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(zeFileOpen(path.c_str(), "rb"), nullptr) << path;
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
  }
  // A missing file fails without a word; a regular one reads.
  bool read = true;
  std::string contents;
  EXPECT_EQ(readLog(dir_ + "/missing", &read, &contents), "");
  EXPECT_FALSE(read);
  EXPECT_EQ(readLog(write("plain", "abc"), &read, &contents), "");
  EXPECT_TRUE(read);
  EXPECT_EQ(contents, "abc");
}

TEST_F(FileLimits, FilesPastTheLimitAreRefused) {
  zeSetFileReadLimit(10);
  bool read = false;
  std::string contents;
  EXPECT_EQ(readLog(write("ten", "0123456789"), &read, &contents), "");
  EXPECT_TRUE(read);
  EXPECT_EQ(contents, "0123456789");
  const std::string eleven = write("eleven", "0123456789a");
  const std::string log = readLog(eleven, &read, &contents);
  EXPECT_FALSE(read);
  EXPECT_NE(log.find("Cannot read " + eleven + ": 11 bytes, more than the 10 a file may have"), std::string::npos)
      << log;
  std::size_t size = 0;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(zeFileOpenWhole(eleven.c_str(), &size), nullptr);
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
}

}  // namespace
