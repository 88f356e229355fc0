// The viewer's clock and keys as tables: pause and loop at the end, stepping,
// the bounds, Layout frames and screenshot numbering. Music calls are recorded.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "player/zeViewerClock.h"

namespace {

struct RecordingMusic : IZeViewerMusic {
  std::vector<std::string> calls;
  bool loaded() const override { return true; }
  int position() override { return -1; }
  void pause() override { calls.push_back("pause"); }
  void resume() override { calls.push_back("resume"); }
  void playAt(int ms) override { calls.push_back("play " + std::to_string(ms)); }
  void moveTo(int ms) override { calls.push_back("move " + std::to_string(ms)); }
};

// 0..100 at 25 frames per second: 4 seconds.
ZeViewerScene fourSeconds() {
  ZeViewerScene scene;
  scene.firstFrame = 0;
  scene.lastFrame = 100;
  scene.fps = 25;
  scene.endTimeMs = 4000;
  return scene;
}

// One frame of the loop: the time, then the keys.
void frameAt(ZeViewerState& s, int now, const ZeViewerKeys& keys, IZeViewerMusic* music) {
  zeViewerSceneTime(s, now, fourSeconds(), music);
  zeViewerKeys(s, now, keys, fourSeconds(), music);
}

ZeViewerKeys none() { return {}; }

}  // namespace

TEST(ViewerClock, StartFromAFrameAndPaused) {
  struct Case {
    bool frameGiven;
    int frame;
    bool paused;
    int expectedTime;
  } cases[] = {{false, 0, false, 0}, {true, 50, false, 2000}, {true, 50, true, 2000},
               {true, 500, true, 4000}, {true, -20, true, 0}};
  for (const Case& c : cases) {
    ZeViewerState s;
    RecordingMusic music;
    zeViewerStart(s, 10000, fourSeconds(), c.frameGiven, c.frame, c.paused, &music);
    EXPECT_EQ(zeViewerSceneTime(s, 10000, fourSeconds(), nullptr), c.expectedTime) << c.frame;
    EXPECT_EQ(s.paused, c.paused);
    EXPECT_EQ(music.calls.empty(), c.paused) << "music plays only when not paused";
  }
}

TEST(ViewerClock, EndWithoutLoopPausesThereAndSpaceRestartsFromZero) {
  ZeViewerState s;
  RecordingMusic music;
  zeViewerStart(s, 0, fourSeconds(), false, 0, false, &music);
  music.calls.clear();
  frameAt(s, 4500, none(), &music);
  EXPECT_TRUE(s.paused);
  EXPECT_EQ(s.pausedTime, 4000);
  EXPECT_EQ(s.sceneTime, 4000);
  EXPECT_EQ(music.calls, std::vector<std::string>{"pause"});

  frameAt(s, 6000, none(), &music);  // stays at the end
  EXPECT_EQ(s.sceneTime, 4000);

  ZeViewerKeys space;
  space.spacePressed = true;
  frameAt(s, 7000, space, &music);
  EXPECT_FALSE(s.paused);
  EXPECT_EQ(s.sceneTime, 0);
  EXPECT_EQ(music.calls.back(), "play 0");
  frameAt(s, 7500, none(), &music);
  EXPECT_EQ(s.sceneTime, 500);
}

TEST(ViewerClock, LoopWrapsAndReturnTogglesIt) {
  ZeViewerState s;
  zeViewerStart(s, 0, fourSeconds(), false, 0, false, nullptr);
  ZeViewerKeys ret;
  ret.returnPressed = true;
  frameAt(s, 100, ret, nullptr);
  EXPECT_TRUE(s.loop);
  frameAt(s, 4300, none(), nullptr);
  EXPECT_FALSE(s.paused);
  EXPECT_EQ(s.sceneTime, 300);
  frameAt(s, 4400, ret, nullptr);
  EXPECT_FALSE(s.loop);
}

TEST(ViewerClock, SteppingWhilePlayingAndPaused) {
  struct Case {
    const char* name;
    bool paused;
    bool forward, backward, shift;
    int startTime;
    int frames;
    int expectedTime;  // after `frames` frames 20 ms apart
    bool expectedPaused;
  } cases[] = {
      {"shift-right playing: 100 ms a frame on top of real time", false, true, false, true, 1000, 3, 1000 + 3 * 20 + 300, false},
      {"right playing: 10 ms a frame", false, true, false, false, 1000, 3, 1000 + 3 * 20 + 30, false},
      {"left playing past 0 pauses at 0", false, false, true, true, 100, 3, 0, true},
      {"right paused: 5 ms a frame", true, true, false, false, 1000, 4, 1020, true},
      {"shift-left paused stops at 0", true, false, true, true, 120, 4, 0, true},
      {"shift-right paused stops at the end", true, true, false, true, 3990, 2, 4000, true},
  };
  for (const Case& c : cases) {
    ZeViewerState s;
    RecordingMusic music;
    ZeViewerScene scene = fourSeconds();
    zeViewerStart(s, 10000, scene, true, c.startTime * 25 / 1000, c.paused, &music);
    s.reference = 10000 - c.startTime;
    s.pausedTime = c.startTime;
    ZeViewerKeys keys;
    keys.forward = c.forward;
    keys.backward = c.backward;
    keys.shift = c.shift;
    for (int i = 1; i <= c.frames; ++i) frameAt(s, 10000 + 20 * i, keys, &music);
    EXPECT_EQ(s.sceneTime, c.expectedTime) << c.name;
    EXPECT_EQ(s.paused, c.expectedPaused) << c.name;
  }
}

TEST(ViewerClock, SpacePausesAndResumesTheMusicWhereItWas) {
  ZeViewerState s;
  RecordingMusic music;
  s.musicOffset = 500;
  zeViewerStart(s, 0, fourSeconds(), false, 0, false, &music);
  ZeViewerKeys space;
  space.spacePressed = true;
  frameAt(s, 1000, space, &music);
  EXPECT_TRUE(s.paused);
  EXPECT_EQ(s.pausedTime, 1000);
  frameAt(s, 5000, space, &music);
  EXPECT_FALSE(s.paused);
  frameAt(s, 5100, none(), &music);
  EXPECT_EQ(s.sceneTime, 1100);
  EXPECT_EQ(music.calls, (std::vector<std::string>{"play 500", "pause", "move 1500", "resume"}));
}

TEST(ViewerClock, LayoutFramesInsideTheRangeAreFollowedOthersIgnored) {
  struct Case {
    int value;
    bool followed;
    int expectedTime;
  } cases[] = {{50, true, 2000}, {0, true, 0}, {100, true, 4000}, {101, false, 1000}, {-1, false, 1000},
               {7, true, 280}};
  for (const Case& c : cases) {
    ZeViewerState s;
    zeViewerStart(s, 0, fourSeconds(), true, 25, true, nullptr);
    s.lastSyncValue = 25;
    if (c.value == 25) continue;
    EXPECT_EQ(zeViewerSyncFrame(s, 0, c.value, fourSeconds(), nullptr), c.followed) << c.value;
    EXPECT_EQ(s.pausedTime, c.expectedTime) << c.value;
  }
  ZeViewerState s;
  zeViewerStart(s, 0, fourSeconds(), false, 0, true, nullptr);
  s.lastSyncValue = 30;
  EXPECT_FALSE(zeViewerSyncFrame(s, 0, 30, fourSeconds(), nullptr)) << "an unchanged value is not followed again";
}

TEST(ViewerClock, RestoringAFrameUnderNewTiming) {
  ZeViewerState s;
  zeViewerStart(s, 0, fourSeconds(), true, 50, true, nullptr);
  const float frame = zeViewerFrameAt(fourSeconds(), s.pausedTime);
  EXPECT_FLOAT_EQ(frame, 50.0f);
  ZeViewerScene slower = fourSeconds();
  slower.fps = 10;
  slower.endTimeMs = 10000;
  zeViewerRestoreFrame(s, 0, frame, slower, nullptr);
  EXPECT_EQ(s.pausedTime, 5000);
  ZeViewerScene shorter = fourSeconds();
  shorter.endTimeMs = 1000;
  zeViewerRestoreFrame(s, 0, frame, shorter, nullptr);
  EXPECT_EQ(s.pausedTime, 1000) << "kept within the new scene";
}

TEST(ViewerClock, ScreenshotNumbersSkipExistingFilesAndNeverLookBack) {
  char folder[] = "/tmp/zarn-shots-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string dir = folder;
  for (const char* name : {"/screenshot_0000.png", "/screenshot_0001.png"}) {
    FILE* f = std::fopen((dir + name).c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  int counter = 0;
  const std::string first = zeViewerScreenshotPath(folder, &counter);
  EXPECT_EQ(first, dir + "/screenshot_0002.png");
  EXPECT_EQ(counter, 2);
  std::fclose(std::fopen(first.c_str(), "w"));
  std::remove((dir + "/screenshot_0000.png").c_str());  // a freed earlier name is not reused
  EXPECT_EQ(zeViewerScreenshotPath(folder, &counter), dir + "/screenshot_0003.png");
  EXPECT_EQ(counter, 3);
  for (const char* name : {"/screenshot_0001.png", "/screenshot_0002.png"}) std::remove((dir + name).c_str());
  rmdir(folder);
}

TEST(ViewerClock, ClockText) {
  EXPECT_EQ(zeViewerClockText(fourSeconds(), 0), "Frame=0.00 time=0mn0sec0 millisec=0");
  EXPECT_EQ(zeViewerClockText(fourSeconds(), 62340), "Frame=1558.50 time=1mn2sec3 millisec=62340");
}

TEST(ViewerClock, RideSpeedKeysStopAtOneCentimetrePerSecond) {
  const int cases[][4] = {
      // speed, key 1, key 2, result
      {1000, 1, 0, 990}, {1000, 0, 1, 1010}, {1000, 1, 1, 1000}, {15, 1, 0, 5}, {5, 1, 0, 1}, {1, 1, 0, 1},
      {1, 0, 1, 11},
  };
  for (const auto& c : cases) EXPECT_EQ(zeViewerRideSpeed(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << c[2];
}
