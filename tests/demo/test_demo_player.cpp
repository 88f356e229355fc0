// The timeline walked frame by frame against a recording engine: part
// switches and the end, music time (and the clock after the music ends),
// timereset, extras, overlapping shaders and faders, starting at a part,
// the seek keys and capture times, names and the music log.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "demo/zeDemoPlayer.h"
#include "demoRecorder.h"

namespace {

ZeDemoPart part(int time, int scene = -1, int music = -1) {
  ZeDemoPart p;
  p.name = "part";
  p.time = p.start = time;
  p.ids.scene = scene;
  p.musicId = music;
  return p;
}

bool has(const std::vector<std::string>& calls, const std::string& line) {
  return std::find(calls.begin(), calls.end(), line) != calls.end();
}

struct Player {
  ZeDemo demo;
  ZeDemoPlayState state;
  RecordingDemoEngine engine;
  ZeDemoFrameResult frame(int t) { return zeDemoFrame(&demo, &state, &engine, t, engine.now); }
};

TEST(DemoPlayerTest, PartsSwitchAndTheLastPartEndsTheDemo) {
  Player p;
  p.demo.parts = {part(0, 0), part(10000, 1), part(20000)};
  p.demo.parts[0].flushObjects = 1;
  p.demo.parts[1].cameraNear = 2;
  p.demo.parts[1].cameraFar = 300;
  EXPECT_EQ(p.frame(0), ZE_DEMO_FRAME_DRAWN);
  EXPECT_EQ(p.engine.take(), (std::vector<std::string>{"range 0.1 1000", "show 0", "animate 0 at 0", "sync"}));
  EXPECT_EQ(p.frame(9999), ZE_DEMO_FRAME_DRAWN);
  EXPECT_EQ(p.engine.take(), (std::vector<std::string>{"animate 0 at 9999", "sync"}));
  EXPECT_EQ(p.frame(10000), ZE_DEMO_FRAME_DRAWN);
  EXPECT_EQ(p.engine.take(), (std::vector<std::string>{"hide 0", "delete scene 0", "range 2 300", "show 1",
                                                       "animate 1 at 0", "sync"}));
  EXPECT_EQ(p.frame(20000), ZE_DEMO_FRAME_FINISHED);
  EXPECT_TRUE(p.engine.take().empty());  // not drawn
  EXPECT_EQ(p.state.finished, 1);

  // One part: reaching its time is the end.
  Player one;
  one.demo.parts = {part(0, 0)};
  EXPECT_EQ(one.frame(0), ZE_DEMO_FRAME_FINISHED);
  // Before the first part nothing runs, but the frame is drawn.
  Player early;
  early.demo.parts = {part(500, 0), part(900)};
  EXPECT_EQ(early.frame(100), ZE_DEMO_FRAME_DRAWN);
  EXPECT_EQ(early.engine.take(), (std::vector<std::string>{"sync"}));
}

TEST(DemoPlayerTest, DemoTimeFollowsTheMusicAndRunsOnWhenItEnds) {
  Player p;
  p.state.currentMusic = 1;
  p.state.musicStart = 10000;
  p.state.reference = 0;
  p.engine.musicPos[1] = 2500;
  p.engine.musicLen[1] = 3000;
  EXPECT_EQ(zeDemoPlayTime(&p.state, &p.engine, 99999), 12500);  // whatever the clock says
  // The music ends at 3000 (13000 in demo time): the clock carries on from there.
  p.engine.musicPos[1] = 2990;
  EXPECT_EQ(zeDemoPlayTime(&p.state, &p.engine, 50000), 12990);
  p.engine.musicPos[1] = 3000;
  EXPECT_EQ(zeDemoPlayTime(&p.state, &p.engine, 50040), 13030);
  EXPECT_EQ(zeDemoPlayTime(&p.state, &p.engine, 51000), 13990);
  // Unreadable position: the clock.
  p.engine.musicPos.erase(1);
  EXPECT_EQ(zeDemoPlayTime(&p.state, &p.engine, 52000), 14990);
}

TEST(DemoPlayerTest, MusicSwitchesWithTheParts) {
  Player p;
  p.demo.parts = {part(0, -1, 1), part(5000, -1, 2), part(8000)};
  p.frame(0);
  EXPECT_TRUE(has(p.engine.take(), "play music 1"));
  p.frame(5000);
  const auto calls = p.engine.take();
  EXPECT_EQ(calls[0], "stop music 1");
  EXPECT_EQ(calls[1], "play music 2");
  EXPECT_EQ(p.state.musicStart, 5000);
}

TEST(DemoPlayerTest, TimeresetCountsThePartsWindowsFromItsStart) {
  Player p;
  p.demo.parts = {part(0, 0), part(3000, 1), part(100000)};
  p.demo.parts[1].timeReset = 1;
  p.demo.parts[1].start = 0;
  ZeDemoFader fader;
  fader.time = 100;
  fader.length = 200;
  fader.fadeLength = 50;
  p.demo.parts[1].faders = {fader};
  p.frame(0);
  p.engine.take();
  p.engine.now = 7000;
  p.frame(3000);
  auto calls = p.engine.take();
  EXPECT_EQ(p.state.reference, 7000);
  EXPECT_TRUE(has(calls, "animate 1 at 0"));
  EXPECT_FALSE(has(calls, "fade out 50 0x0"));
  // The next frame's time counts from the reset: 7100 on the clock is 100.
  p.frame(7100 - p.state.reference);
  calls = p.engine.take();
  EXPECT_TRUE(has(calls, "fade out 50 0x0"));
  p.frame(300);
  EXPECT_TRUE(has(p.engine.take(), "stop fade"));
}

TEST(DemoPlayerTest, ExtrasStartStoppedAndRunInTheirWindow) {
  Player p;
  p.demo.parts = {part(0, 0), part(5000, 2), part(9000)};
  ZeDemoExtra extra;
  extra.ids.scene = 1;
  extra.time = 1000;
  extra.length = 500;
  extra.flushObjects = 1;
  p.demo.parts[0].extras = {extra};
  struct Step {
    int t;
    std::vector<std::string> calls;
  } steps[] = {
      {0, {"range 0.1 1000", "show 0", "stop 1", "show 1", "animate 0 at 0", "sync"}},
      {999, {"animate 0 at 999", "sync"}},
      {1000, {"activate 1", "animate 1 at 0", "animate 0 at 1000", "sync"}},
      {1499, {"animate 1 at 499", "animate 0 at 1499", "sync"}},
      {1500, {"stop 1", "animate 0 at 1500", "sync"}},
      {5000, {"hide 0", "hide 1", "delete scene 1", "range 0.1 1000", "show 2", "animate 2 at 0", "sync"}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.t);
    p.frame(s.t);
    EXPECT_EQ(p.engine.take(), s.calls);
  }
}

TEST(DemoPlayerTest, ShadersAndFadersStartingInOneFrameReplaceTheEarlier) {
  Player p;
  p.demo.parts = {part(0), part(10000)};
  ZeDemoShader a, b, c;
  a.cameraShaderId = 4, a.time = 100, a.length = 1000;
  b.cameraShaderId = 5, b.time = 50, b.length = 1000;
  c.cameraShaderId = 6, c.time = 2000, c.length = 100;
  p.demo.parts[0].shaders = {a, b, c};
  ZeDemoFader f1, f2;
  f1.time = 100, f1.length = 400, f1.fadeLength = 300, f1.colour = 0xff;
  f2.time = 150, f2.length = 400, f2.fadeOut = 0, f2.fadeLength = 200;
  p.demo.parts[0].faders = {f1, f2};
  p.frame(0);
  p.engine.take();
  p.frame(200);  // both shaders and both faders enter now
  EXPECT_EQ(p.engine.take(), (std::vector<std::string>{"show shader 4", "hide shader 4", "show shader 5",
                                                       "fade out 300 0xff", "stop fade", "fade in 200 0x0", "sync"}));
  p.frame(1050);  // the replaced shader is done and never comes back
  EXPECT_EQ(p.engine.take(), (std::vector<std::string>{"hide shader 5", "stop fade", "sync"}));
  p.frame(2000);
  EXPECT_EQ(p.engine.take(), (std::vector<std::string>{"show shader 6", "sync"}));
}

TEST(DemoPlayerTest, StartingAtAPartPositionsItsMusic) {
  struct Case {
    int startPart;
    int timeReset;
    std::vector<std::string> calls;
    int reference;
    int currentPart;
  } cases[] = {
      {2, 0, {"play music 1", "music 1 to 60000"}, -65000, 1},
      {2, 1, {"play music 1", "music 1 to 65000"}, -65000, 1},
      {0, 0, {}, 0, -1},
      {3, 0, {}, 0, -1},  // beyond the timeline: said, then ignored
      {9, 0, {}, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.startPart);
    Player p;
    p.demo.parts = {part(0), part(5000, -1, 1), part(65000)};
    p.demo.parts[1].timeReset = c.timeReset;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    zeDemoStartAt(&p.demo, &p.state, &p.engine, c.startPart);
    const std::string said = ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(p.engine.take(), c.calls);
    EXPECT_EQ(p.state.reference, c.reference);
    EXPECT_EQ(p.state.currentPart, c.currentPart);
    if (c.startPart >= 3) {
      EXPECT_NE(said.find("does not exist"), std::string::npos) << said;
    }
  }
}

TEST(DemoPlayerTest, SeekKeysMoveTheMusic) {
  struct Case {
    bool left, right, shift;
    int from, to;
  } cases[] = {
      {true, false, false, 1000, 998}, {true, false, true, 1000, 980},  {false, true, false, 1000, 1030},
      {true, true, false, 1000, 1030}, {false, true, true, 1000, 1120}, {true, false, true, 5, 0},
  };
  for (const Case& c : cases) {
    Player p;
    p.state.currentMusic = 1;
    p.engine.musicPos[1] = c.from;
    p.engine.left = c.left, p.engine.right = c.right, p.engine.shift = c.shift;
    zeDemoSeekKeys(&p.state, &p.engine);
    EXPECT_EQ(p.engine.musicPos[1], c.to);
  }
}

TEST(DemoPlayerTest, CaptureNamesAndTimes) {
  struct Name {
    const char* given;
    const char* base;
    const char* extension;
  } names[] = {
      {"shots/f.png", "shots/f", "png"},
      {"out.d/demo", "out.d/demo", "bmp"},
      {"demo", "demo", "bmp"},
      {"a.b/c.tga", "a.b/c", "tga"},
  };
  for (const Name& n : names) {
    std::string base, extension;
    zeDemoSplitCaptureName(n.given, &base, &extension);
    EXPECT_EQ(base, n.base);
    EXPECT_EQ(extension, n.extension);
  }
  EXPECT_EQ(zeDemoCaptureFileName("f", 1, "png"), "f_000001.png");
  EXPECT_EQ(zeDemoCaptureFrameTime(0, 25), 0);
  EXPECT_EQ(zeDemoCaptureFrameTime(1, 25), 40);
  EXPECT_EQ(zeDemoCaptureFrameTime(3, 25), 120);
  EXPECT_EQ(zeDemoCaptureFrameTime(1, 30), 33);
  EXPECT_TRUE(zeDemoIsVideoExtension("MP4"));
  EXPECT_FALSE(zeDemoIsVideoExtension("png"));
}

struct RecordingSink : IZeDemoFrameSink {
  std::vector<int> times;
  std::vector<ZeDemoMusicEvent> log;
  int end = -1;
  bool write(int n, int t, const std::vector<ZeDemoMusicEvent>&, std::string* label) override {
    times.push_back(t);
    *label = "f" + std::to_string(n);
    return true;
  }
  bool finish(const std::vector<ZeDemoMusicEvent>& musicLog, int endTimeMs) override {
    log = musicLog;
    end = endTimeMs;
    return true;
  }
};

TEST(DemoPlayerTest, CaptureWritesEveryFrameUpToTheEndWithTheMusicLog) {
  Player p;
  p.demo.parts = {part(0, -1, 1), part(80, -1, 2), part(200)};
  RecordingSink sink;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(zeDemoCaptureLoop(&p.demo, &p.engine, -1, 25, &sink), 0);
  const std::string said = ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(sink.times, (std::vector<int>{0, 40, 80, 120, 160}));  // 200 finishes, unwritten
  EXPECT_EQ(sink.end, 200);
  EXPECT_NE(said.find("Frame     1; time     40 ; f1"), std::string::npos) << said;
  ASSERT_EQ(sink.log.size(), 3u);
  EXPECT_EQ(sink.log[0].kind, ZeDemoMusicEvent::Play);
  EXPECT_EQ(sink.log[1].kind, ZeDemoMusicEvent::Stop);
  EXPECT_EQ(sink.log[1].timeMs, 80);
  EXPECT_EQ(sink.log[2].musicId, 2);
  const auto calls = p.engine.take();
  EXPECT_EQ(calls.front(), "virtual clock 0");
  EXPECT_TRUE(has(calls, "virtual clock 160"));
  EXPECT_EQ(calls.back(), "virtual clock runs");
}

}  // namespace
