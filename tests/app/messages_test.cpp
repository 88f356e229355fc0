#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "base/ZeHandleTable.h"
#include "base/zeMessage.h"

namespace {

class MessageChannel : public ::testing::Test {
 protected:
  void SetUp() override { zeResetMessageState(); }
  void TearDown() override { zeResetMessageState(); }

  static std::string logOf(int flags, const char* text) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    zeMessage(flags, "%s", text);
    ::testing::internal::GetCapturedStderr();
    return ::testing::internal::GetCapturedStdout();
  }
};

TEST_F(MessageChannel, LevelsAgainstThresholdAndTheirNames) {
  struct Case {
    int threshold;
    int level;
    const char* expected;
  } cases[] = {
      {ZE_INFO, ZE_DEBUG, ""},
      {ZE_INFO, ZE_INFO, "INFO : hello\n\n"},
      {ZE_INFO, ZE_WARN, "WARN : hello\n\n"},
      {ZE_INFO, ZE_ERROR, "ERROR : hello\n\n"},
      {ZE_INFO, ZE_NONE, "NONE : hello\n\n"},
      {ZE_INFO, 5, "??? : hello\n\n"},
      {ZE_DEBUG, ZE_DEBUG, "DEBUG : hello\n\n"},
      {ZE_WARN, ZE_INFO, ""},
      {ZE_NONE, ZE_ERROR, ""},
      // The level is the signed low half of the flags: 0xFFFF is -1, below any threshold.
      {ZE_DEBUG, 0xFFFF, ""},
  };
  for (const Case& c : cases) {
    zeSetMessageThreshold(c.threshold);
    EXPECT_EQ(logOf(c.level, "hello"), c.expected) << "threshold " << c.threshold << " level " << c.level;
  }
}

TEST_F(MessageChannel, KeptErrorStaysUntilClearedAndIgnoresThreshold) {
  int value = 7;
  EXPECT_EQ(zeGetLastError(&value), nullptr);
  EXPECT_EQ(value, -1);

  zeSetMessageThreshold(ZE_NONE);
  zeDisableMessageBoxes();
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  zeReportArgError(3, "Object ID %d does not exist. %s", 12, "id 12 does not exist");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // boxes are off

  for (int twice = 0; twice < 2; ++twice) {
    const char* text = zeGetLastError(&value);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Object ID 12 does not exist. id 12 does not exist");
    EXPECT_EQ(value, 3);
  }
  zeClearLastError();
  EXPECT_EQ(zeGetLastError(&value), nullptr);
  EXPECT_EQ(value, -1);

  // A general message keeps -1 as its value.
  logOf(ZE_MSG_KEEP | ZE_DEBUG, "kept");
  EXPECT_STREQ(zeGetLastError(&value), "kept");
  EXPECT_EQ(value, -1);
}

TEST_F(MessageChannel, ShownMessagesGoToTheBoxOnlyWhileBoxesAreOn) {
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  zeReportError("File format of '%s' is not supported", "a.txt");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ERROR : File format of 'a.txt' is not supported\n\n");
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("File format of 'a.txt' is not supported"),
            std::string::npos);

  // As after -userlog: INFO disappears, errors open no box, kept errors still reach scripts.
  zeSetMessageThreshold(ZE_WARN);
  zeDisableMessageBoxes();
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  zeMessage(ZE_INFO, "progress");
  zeReportArgErrorShown(2, "bad");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ERROR : bad\n\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  int value;
  EXPECT_STREQ(zeGetLastError(&value), "bad");
  EXPECT_EQ(value, 2);
}

TEST_F(MessageChannel, LongTextsAreCutAt1023Characters) {
  const std::string huge(5000, 'x');
  zeDisableMessageBoxes();
  const std::string line = logOf(ZE_MSG_KEEP | ZE_ERROR, huge.c_str());
  EXPECT_LE(line.size(), 1024u + 1u);  // the log line, then puts' newline
  EXPECT_EQ(std::string(zeGetLastError(nullptr)).size(), 1023u);

  char buffer[ZE_TEXT_SIZE + 16];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  zeFormatText(buffer, "%s", huge.c_str());
  EXPECT_EQ(std::string(buffer).size(), 1023u);
  EXPECT_EQ(buffer[ZE_TEXT_SIZE], '#');  // nothing written past the text
}

TEST_F(MessageChannel, PlainLogLinesIgnoreTheThreshold) {
  zeSetMessageThreshold(ZE_NONE);
  ::testing::internal::CaptureStdout();
  zeLog("Loaded Music %s\n", "a.mp3");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Loaded Music a.mp3\n");
}

TEST_F(MessageChannel, DebuggerOutputGetsEachLineOnceInTheLogFile) {
  char path[] = "/tmp/zarn-log-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ::setenv("ZARN_LOG_FILE", path, 1);
  logOf(ZE_WARN, "careful");
  ::testing::internal::CaptureStdout();
  zeLog("plain %d\n", 7);
  ::testing::internal::GetCapturedStdout();
  ::unsetenv("ZARN_LOG_FILE");
  std::ifstream in(path);
  const std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(contents, "WARN : careful\nplain 7\n");
  std::remove(path);
}

TEST(HandleTable, AddRemoveFindAndTheirReasons) {
  auto table = ZeHandleTable<int>::create(1000);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->capacity(), 1000);
  int objects[3];

  EXPECT_FALSE(table->add(1000, &objects[0]));
  EXPECT_STREQ(table->reason(), "invalid ID 1000 greater or equals than 1000");
  EXPECT_FALSE(table->add(-4, &objects[0]));
  EXPECT_STREQ(table->reason(), "invalid negative ID -4");
  EXPECT_TRUE(table->add(999, &objects[0]));
  EXPECT_EQ(table->find(999), &objects[0]);

  EXPECT_TRUE(table->add(5, &objects[1]));
  EXPECT_FALSE(table->add(5, &objects[2]));
  EXPECT_STREQ(table->reason(), "id 5 already exist");
  EXPECT_EQ(table->remove(5), &objects[1]);
  EXPECT_EQ(table->remove(5), nullptr);
  EXPECT_STREQ(table->reason(), "id 5 does not exist");
  EXPECT_TRUE(table->add(5, &objects[2]));
  EXPECT_EQ(table->find(5), &objects[2]);

  // A free slot names itself: the reason of an earlier failure never leaks
  // into the message about this one.
  EXPECT_EQ(table->find(1000), nullptr);
  EXPECT_STREQ(table->reason(), "invalid ID 1000 greater or equals than 1000");
  EXPECT_EQ(table->find(6), nullptr);
  EXPECT_STREQ(table->reason(), "id 6 does not exist");
  EXPECT_EQ(table->find(-1), nullptr);
  EXPECT_STREQ(table->reason(), "invalid negative ID -1");
  // Existence queries leave the reason alone.
  EXPECT_FALSE(table->has(7));
  EXPECT_EQ(table->peek(2000), nullptr);
  EXPECT_STREQ(table->reason(), "invalid negative ID -1");

  // The highest identifier is never lowered by removal.
  EXPECT_EQ(table->highest(), 999);
  EXPECT_EQ(table->remove(999), &objects[0]);
  EXPECT_EQ(table->highest(), 999);

  // forEach visits the occupied slots in order, and may remove as it goes.
  EXPECT_TRUE(table->add(0, &objects[0]));
  std::string visited;
  table->forEach([&](int id, int*) {
    visited += std::to_string(id) + ",";
    table->remove(id);
  });
  EXPECT_EQ(visited, "0,5,");
  EXPECT_FALSE(table->has(0));
  EXPECT_FALSE(table->has(5));
}

TEST(HandleTable, EachTableKeepsItsOwnReason) {
  auto music = ZeHandleTable<int>::create(50);
  auto watches = ZeHandleTable<int>::create(100);
  EXPECT_FALSE(music->add(50, nullptr));
  EXPECT_EQ(watches->find(3), nullptr);
  EXPECT_STREQ(music->reason(), "invalid ID 50 greater or equals than 50");
  EXPECT_STREQ(watches->reason(), "id 3 does not exist");
}

}  // namespace
