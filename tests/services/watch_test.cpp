// File and folder watches on real temporary folders. Every wait is bounded;
// "nothing changed" is checked only after the waiting thread has seen the write.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/zeMessage.h"
#include "services/zeWatch.h"
#include "services/zeWatchInternal.h"

namespace fs = std::filesystem;

namespace {

bool waitFor(const std::function<bool()>& done, int ms = 3000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void writeFile(const fs::path& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

// How many editors save: a new file beside the old one, renamed over it.
void saveByRename(const fs::path& path, const std::string& text) {
  const fs::path temporary = path.string() + ".tmp~";
  writeFile(temporary, text);
  fs::rename(temporary, path);
}

class WatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    char pattern[] = "/tmp/zarn-watch-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    for (int id : fileIds_) zeFileWatchDelete(id);
    for (int id : folderIds_) zeFolderWatchDelete(id);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  int fileWatch(const fs::path& path, int id) {
    fileIds_.push_back(id);
    return zeFileWatchCreate(path.c_str(), id);
  }
  int folderWatch(const fs::path& path, int id) {
    folderIds_.push_back(id);
    return zeFolderWatchCreate(path.c_str(), id);
  }
  std::vector<std::string> changes(int id) {
    const char* const* list = nullptr;
    const int count = zeGetFolderWatchChanges(id, &list);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(fs::path(list[i]).lexically_relative(root_).string());
    return names;
  }

  fs::path root_;
  std::vector<int> fileIds_, folderIds_;
};

TEST_F(WatchTest, SiblingWriteNotifiesButTheWatchedFileIsUnchanged) {
  writeFile(root_ / "scene.zscn", "one");
  ASSERT_EQ(fileWatch(root_ / "scene.zscn", 0), 0);
  writeFile(root_ / "other.txt", "x");
  ASSERT_TRUE(waitFor([] { return zeFileWatchNotified(0) == 1; }));
  EXPECT_EQ(zeFileWatchChanged(0), 0);
}

TEST_F(WatchTest, SaveInPlaceAndSaveByRenameBothReportAChange) {
  const fs::path scene = root_ / "scene.zscn";
  writeFile(scene, "one");
  ASSERT_EQ(fileWatch(scene, 1), 0);
  EXPECT_EQ(zeFileWatchChanged(1), 0);

  writeFile(scene, "two");
  ASSERT_TRUE(waitFor([] { return zeFileWatchChanged(1) == 1; }));
  EXPECT_EQ(zeFileWatchChanged(1), 1) << "stays pending until re-armed";
  EXPECT_EQ(zeFileWatchRearm(1), 0);
  EXPECT_EQ(zeFileWatchChanged(1), 0);

  saveByRename(scene, "three");
  ASSERT_TRUE(waitFor([] { return zeFileWatchChanged(1) == 1; }));
  zeFileWatchRearm(1);
  EXPECT_EQ(zeFileWatchChanged(1), 0);

  // A version carrying an older time (a copy that keeps times, an undo from a
  // backup) is still a new version.
  const fs::path older = root_ / "older.tmp~";
  writeFile(older, "four");
  const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, older.c_str(), past, 0), 0);
  fs::rename(older, scene);
  ASSERT_TRUE(waitFor([] { return zeFileWatchChanged(1) == 1; }));
}

TEST_F(WatchTest, FileWatchInAMissingFolderPollsInsteadOfFailing) {
  const fs::path later = root_ / "later" / "scene.zscn";
  testing::internal::CaptureStdout();
  ASSERT_EQ(fileWatch(later, 2), 0);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("Cannot create change notification handle"), std::string::npos) << log;
  EXPECT_EQ(zeFileWatchChanged(2), 0);
  fs::create_directory(root_ / "later");
  writeFile(later, "now");
  EXPECT_EQ(zeFileWatchChanged(2), 1);
}

TEST_F(WatchTest, FileWatchOutlivesItsFolderBeingReplaced) {
  const fs::path folder = root_ / "scenes";
  fs::create_directory(folder);
  writeFile(folder / "scene.zscn", "one");
  ASSERT_EQ(fileWatch(folder / "scene.zscn", 5), 0);
  // A checkout that replaces the whole folder.
  fs::rename(folder, root_ / "scenes.old");
  ASSERT_TRUE(waitFor([] { return zeFileWatchNotified(5) == 1; }));
  EXPECT_EQ(zeFileWatchChanged(5), 1) << "the file is gone from its path";
  zeFileWatchRearm(5);
  fs::create_directory(folder);
  writeFile(folder / "scene.zscn", "two");
  EXPECT_EQ(zeFileWatchChanged(5), 1);
  zeFileWatchRearm(5);
  EXPECT_EQ(zeFileWatchChanged(5), 0);
}

TEST_F(WatchTest, LockWaitsForEveryWriterAndATimeoutKeepsTheChangePending) {
  const fs::path scene = root_ / "scene.zscn";
  writeFile(scene, "one");
  ASSERT_EQ(fileWatch(scene, 3), 0);

  // A writer in this process.
  const int writer = open(scene.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(write(writer, "half", 4), 4);
  ASSERT_TRUE(waitFor([] { return zeFileWatchChanged(3) == 1; }));
  testing::internal::CaptureStdout();
  EXPECT_EQ(zeFileWatchLock(3, 60), -1);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("FileWatch ID 3 : '" + scene.string() + "' is still being written after 60 ms"),
            std::string::npos)
      << log;
  EXPECT_EQ(zeFileWatchChanged(3), 1);
  close(writer);
  EXPECT_EQ(zeFileWatchLock(3, 60), 0);
  EXPECT_EQ(zeFileWatchUnlock(3), 0);

  // A writer in another process, holding the file without writing.
  const int inherited = open(scene.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(inherited, 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execlp("sleep", "sleep", "10", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(inherited);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let exec finish
  testing::internal::CaptureStdout();
  EXPECT_EQ(zeFileWatchLock(3, 60), -1);
  testing::internal::GetCapturedStdout();
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(zeFileWatchLock(3, 60), 0);
  zeFileWatchUnlock(3);
}

TEST_F(WatchTest, AWriteWhileTheFileIsBeingReadStaysPendingAfterRearm) {
  const fs::path scene = root_ / "scene.zscn";
  writeFile(scene, "one");
  ASSERT_EQ(fileWatch(scene, 4), 0);
  writeFile(scene, "two!");
  ASSERT_TRUE(waitFor([] { return zeFileWatchChanged(4) == 1; }));
  ASSERT_EQ(zeFileWatchLock(4, 100), 0);
  // The caller reads "two!" now; meanwhile the editor saves again.
  saveByRename(scene, "three");
  zeFileWatchUnlock(4);
  zeFileWatchRearm(4);
  EXPECT_EQ(zeFileWatchChanged(4), 1);
  // Once the newest version was locked and read, re-arming settles it.
  ASSERT_EQ(zeFileWatchLock(4, 100), 0);
  zeFileWatchUnlock(4);
  zeFileWatchRearm(4);
  EXPECT_EQ(zeFileWatchChanged(4), 0);
}

TEST_F(WatchTest, FolderWatchReportsTwoLevelsDownAndSkipsDotFolders) {
  fs::create_directories(root_ / "a" / "b" / "c");
  fs::create_directories(root_ / ".hidden");
  ASSERT_EQ(folderWatch(root_, 0), 0);
  EXPECT_EQ(zeFolderWatchHasChanges(0), 0);
  EXPECT_EQ(changes(0).size(), 0u) << "nothing pending, nothing listed";

  writeFile(root_ / ".hidden" / "swap", "x");
  writeFile(root_ / "a" / "b" / "c" / "three.fx", "x");
  writeFile(root_ / "a" / "b" / "two.fx", "x");
  writeFile(root_ / "a" / "one.fx", "x");
  writeFile(root_ / "zero.fx", "x");
  ASSERT_TRUE(waitFor([] { return zeFolderWatchHasChanges(0) == 1; }));
  EXPECT_EQ(changes(0), (std::vector<std::string>{"zero.fx", "a/one.fx", "a/b/two.fx"}));

  zeFolderWatchReset(0);
  EXPECT_EQ(changes(0).size(), 0u);
}

TEST_F(WatchTest, ThreeLevelsDownDoesNotNotify) {
  fs::create_directories(root_ / "a" / "b" / "c");
  ASSERT_EQ(folderWatch(root_, 5), 0);
  writeFile(root_ / "a" / "b" / "c" / "three.fx", "x");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(zeFolderWatchHasChanges(5), 0);
  // The watch is alive: two levels down does notify.
  writeFile(root_ / "a" / "b" / "two.fx", "x");
  EXPECT_TRUE(waitFor([] { return zeFolderWatchHasChanges(5) == 1; }));
}

TEST_F(WatchTest, SubFoldersMadeWhileWatchingAreWatched) {
  ASSERT_EQ(folderWatch(root_, 1), 0);
  // The thread watches a new folder before it raises the flag for it.
  for (const fs::path& folder : {root_ / "new", root_ / "new" / "deeper"}) {
    fs::create_directory(folder);
    ASSERT_TRUE(waitFor([] { return zeFolderWatchNotified(1) == 1; }));
    zeFolderWatchReset(1);
  }
  writeFile(root_ / "new" / "deeper" / "late.fx", "x");
  ASSERT_TRUE(waitFor([] { return zeFolderWatchHasChanges(1) == 1; }));
  EXPECT_EQ(changes(1), (std::vector<std::string>{"new/deeper/late.fx"}));
}

TEST_F(WatchTest, ManyNewFilesGiveTenPathsAndOneWarningWithTheCount) {
  ASSERT_EQ(folderWatch(root_, 2), 0);
  for (int i = 0; i < 1000; ++i) writeFile(root_ / ("f" + std::to_string(i + 1000)), "x");
  ASSERT_TRUE(waitFor([] { return zeFolderWatchHasChanges(2) == 1; }));
  testing::internal::CaptureStdout();
  const std::vector<std::string> listed = changes(2);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(listed.size(), 10u);
  EXPECT_EQ(listed.front(), "f1000");
  EXPECT_EQ(log, "WARN : zeGetFolderWatchChanges too much changes: 990 more not listed\n\n\n");
}

TEST_F(WatchTest, AFileMovedInWithAnOldTimeIsListedByItsPath) {
  const fs::path outside = root_ / "outside";
  const fs::path watched = root_ / "watched";
  fs::create_directory(outside);
  fs::create_directory(watched);
  writeFile(outside / "old.fx", "x");
  const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (outside / "old.fx").c_str(), past, 0), 0);
  ASSERT_EQ(folderWatch(watched, 4), 0);
  fs::rename(outside / "old.fx", watched / "old.fx");
  ASSERT_TRUE(waitFor([] { return zeFolderWatchHasChanges(4) == 1; }));
  EXPECT_EQ(changes(4), std::vector<std::string>{"watched/old.fx"});
  zeFolderWatchReset(4);
  EXPECT_EQ(zeFolderWatchHasChanges(4), 0);
}

TEST_F(WatchTest, AFolderDeletedWhileAFileInsideIsOpenIsSeenWhenItComesBack) {
  const fs::path folder = root_ / "shaders";
  fs::create_directory(folder);
  writeFile(folder / "held.fx", "x");
  ASSERT_EQ(folderWatch(folder, 5), 0);
  // Open (as the lock does): the kernel keeps the deleted folder alive and
  // withholds its deletion from the watcher while this stays open.
  const int held = open((folder / "held.fx").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  fs::remove_all(folder);
  fs::create_directory(folder);
  writeFile(folder / "new.fx", "x");
  const bool seen = waitFor([] { return zeFolderWatchHasChanges(5) == 1; });
  close(held);
  ASSERT_TRUE(seen);
  EXPECT_EQ(changes(5), std::vector<std::string>{"shaders/new.fx"});
  zeFolderWatchReset(5);
  // The watch follows the new folder from here on.
  writeFile(folder / "later.fx", "x");
  ASSERT_TRUE(waitFor([] { return zeFolderWatchHasChanges(5) == 1; }));
  EXPECT_EQ(changes(5), std::vector<std::string>{"shaders/later.fx"});
}

TEST_F(WatchTest, AWriteBetweenGatheringAndResetIsNotLost) {
  ASSERT_EQ(folderWatch(root_, 3), 0);
  writeFile(root_ / "first.fx", "x");
  ASSERT_TRUE(waitFor([] { return zeFolderWatchHasChanges(3) == 1; }));
  EXPECT_EQ(changes(3), std::vector<std::string>{"first.fx"});
  writeFile(root_ / "second.fx", "x");
  ASSERT_TRUE(waitFor([] { return zeFolderWatchNotified(3) == 1; }));
  zeFolderWatchReset(3);
  EXPECT_EQ(zeFolderWatchHasChanges(3), 1);
  const std::vector<std::string> listed = changes(3);
  EXPECT_NE(std::find(listed.begin(), listed.end(), "second.fx"), listed.end());
}

TEST_F(WatchTest, UnknownAndOutOfRangeIdentifiersAreReportedWithTheirOwnReason) {
  struct Case {
    std::function<int()> call;
    std::string text;
    int argument;
  };
  const std::string folder = root_.string();
  // Each table fails first on a range, then on a free identifier: the second
  // message must name the free identifier, not repeat the range reason.
  const std::vector<Case> cases = {
      {[folder] { return zeFileWatchCreate(folder.c_str(), 100); },
       "invalid FileWatch ID 100 : invalid ID 100 greater or equals than 100", 2},
      {[] { return zeFileWatchChanged(77); }, "FileWatch ID 77 does not exist. id 77 does not exist", 1},
      {[] { return zeFileWatchLock(77, 10); }, "FileWatch ID 77 does not exist. id 77 does not exist", 1},
      {[] { return zeFileWatchRearm(100); }, "FileWatch ID 100 does not exist. invalid ID 100 greater or equals than 100",
       1},
      {[folder] { return zeFolderWatchCreate(folder.c_str(), -1); }, "invalid FileWatch ID -1 : invalid negative ID -1",
       2},
      {[] { return zeFolderWatchHasChanges(77); }, "FolderWatch ID 77 does not exist. id 77 does not exist", 1},
      {[] { return zeFolderWatchReset(77); }, "FolderWatch ID 77 does not exist. id 77 does not exist", 1},
  };
  for (const Case& c : cases) {
    zeClearLastError();
    EXPECT_EQ(c.call(), -1) << c.text;
    int argument = 0;
    const char* text = zeGetLastError(&argument);
    ASSERT_NE(text, nullptr) << c.text;
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(argument, c.argument) << c.text;
  }
  ASSERT_EQ(folderWatch(root_, 9), 0);
  zeClearLastError();
  EXPECT_EQ(zeFolderWatchCreate(folder.c_str(), 9), -1);
  int argument = 0;
  EXPECT_STREQ(zeGetLastError(&argument), "invalid FileWatch ID 9 : id 9 already exist");
}

}  // namespace
