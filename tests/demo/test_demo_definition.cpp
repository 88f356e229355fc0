// The demo definition: parsing every key and limit, the loading order and
// identifiers handed to the engine, the derived and checked start times and
// their messages, shaders loaded once, and unloading.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "base/zeMessage.h"
#include "demo/zeDemo.h"
#include "demoRecorder.h"

namespace {

class DemoDefinitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zarn-demo-def-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    zeResetMessageState();
    zeDisableMessageBoxes();
  }
  void TearDown() override { std::system(("rm -rf " + folder_).c_str()); }

  std::string write(const std::string& text) {
    const std::string path = folder_ + "/test.demo.ini";
    std::ofstream(path) << text;
    return path;
  }
  // Loads and returns what was said on standard output and error.
  std::string load(const std::string& text, int expected) {
    const std::string path = write(text);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int result = zeDemoLoad(&demo_, path.c_str(), &counters_, &engine_);
    const std::string said = ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, expected) << said;
    return said;
  }

  std::string folder_;
  ZeDemo demo_;
  ZeDemoCounters counters_;
  RecordingDemoEngine engine_;
};

TEST_F(DemoDefinitionTest, KeysDefaultsAndLimits) {
  std::string text =
      "[setup]\nmusicdirectory=music\nshadersdirectory=fx\npalettedirectory=pal\n"
      "[Intro_Part]\ntime=0\nmusic=song.mp3\ndirectory=scenes\nfilename=a.zscn\ncamerarange=1 500\n"
      "reuseobjects=1\nflushobjects=1\npalette=p.pal\npalette.g=7\npalette.b=9\n"
      "fader.0.time=100\nfader.1.time=200\nfader.1.fadein=1\nfader.1.color=0xff0000\nfader.1.length=50\n"
      "fader.2.time=300\nfader.2.fadein=-1\n";
  for (int n = 0; n < 20; ++n) {
    // extra.0 has a file but no directory.
    if (n > 0) text += "extra." + std::to_string(n) + ".directory=x" + std::to_string(n) + "\n";
    text += "extra." + std::to_string(n) + ".filename=e.zscn\n";
    text += "shader." + std::to_string(n) + ".name=s" + std::to_string(n) + ".hlsl\n";
  }
  text += "[part2]\ntime=4000\n[notes]\n[Part1]\ntime=1\n[part1]\ntime=2\n";
  ASSERT_EQ(zeDemoParse(write(text).c_str(), &demo_), ZE_DEMO_PARSED);

  EXPECT_EQ(demo_.musicDirectory, "music");
  EXPECT_EQ(demo_.shadersDirectory, "fx");
  EXPECT_EQ(demo_.paletteDirectory, "pal");
  // Names are lower case, Part1 and part1 are one section (the later key wins).
  ASSERT_EQ(demo_.parts.size(), 3u);
  EXPECT_EQ(demo_.parts[0].name, "intro_part");
  EXPECT_EQ(demo_.parts[2].name, "part1");
  EXPECT_EQ(demo_.parts[2].time, 2);

  const ZeDemoPart& intro = demo_.parts[0];
  EXPECT_EQ(intro.music, "song.mp3");
  EXPECT_FLOAT_EQ(intro.cameraNear, 1.0f);
  EXPECT_FLOAT_EQ(intro.cameraFar, 500.0f);
  EXPECT_EQ(intro.reuseObjects, 1);
  EXPECT_EQ(intro.flushObjects, 1);
  EXPECT_EQ(intro.paletteChannel, 1);  // the first present of r, g, b
  EXPECT_EQ(intro.paletteValue, 7);
  // The extra without a directory is skipped and does not count; then 15 of
  // the 19 complete ones.
  ASSERT_EQ(intro.extras.size(), 15u);
  EXPECT_EQ(intro.extras[0].directory, "x1");
  EXPECT_EQ(intro.extras[14].directory, "x15");
  ASSERT_EQ(intro.shaders.size(), 10u);
  EXPECT_EQ(intro.shaders[9].name, "s9.hlsl");
  ASSERT_EQ(intro.faders.size(), 3u);
  EXPECT_EQ(intro.faders[0].fadeOut, 1);
  EXPECT_EQ(intro.faders[0].length, 1000);
  EXPECT_EQ(intro.faders[0].fadeLength, 1000);
  EXPECT_EQ(intro.faders[1].fadeOut, 0);
  EXPECT_EQ(intro.faders[1].colour, 0xff0000u);
  EXPECT_EQ(intro.faders[1].length, 50);
  EXPECT_EQ(intro.faders[2].fadeOut, 1);  // fadein=-1 is a fade out

  const ZeDemoPart& second = demo_.parts[1];
  EXPECT_EQ(second.time, 4000);
  EXPECT_EQ(second.start, 4000);
  EXPECT_FLOAT_EQ(second.cameraNear, 0.1f);
  EXPECT_FLOAT_EQ(second.cameraFar, 1000.0f);
  EXPECT_EQ(second.paletteChannel, -1);
}

TEST_F(DemoDefinitionTest, FilesThatCannotBeADemo) {
  struct Case {
    const char* text;  // nullptr: no file at all
    const char* said;
  } cases[] = {
      {"[setup]\nmusicdirectory=m\n", "No parts!"},
      {nullptr, "Fail to parse ini"},
  };
  for (const Case& c : cases) {
    std::string path = c.text ? write(c.text) : folder_ + "/missing.demo.ini";
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(zeDemoLoad(&demo_, path.c_str(), &counters_, &engine_), -1);
    const std::string said = ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
  }
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(zeDemoLoad(&demo_, nullptr, &counters_, &engine_), -1);
  EXPECT_NE((::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr()).find("Fail to load"),
            std::string::npos);
}

TEST_F(DemoDefinitionTest, ScenesLoadInOrderWithAdvancingIdentifiers) {
  load("[setup]\nmusicdirectory=music\n"
       "[part1]\ntime=0\ndirectory=one\nfilename=a.zscn\nmusic=song.mp3\nreuseobjects=1\n"
       "extra.0.directory=ex\nextra.0.filename=b.zscn\n"
       "[part2]\ntime=5000\n"
       "[part3]\ntime=9000\ndirectory=two\nfilename=c.zscn\n",
       0);
  const std::vector<std::string> expected = {
      "progress 0",
      "scene 0 one/a.zscn objects@1 shared",
      "progress 16",  // half of the first of three parts
      "scene 1 ex/b.zscn objects@4 extra",
      "scene 2 two/c.zscn objects@7",
      "progress 83",
      "music 1 music/song.mp3",
  };
  EXPECT_EQ(engine_.take(), expected);
  EXPECT_EQ(demo_.parts[0].ids.scene, 0);
  EXPECT_EQ(demo_.parts[0].extras[0].ids.scene, 1);
  EXPECT_EQ(demo_.parts[0].extras[0].ids.objectBase, 4);
  EXPECT_EQ(demo_.parts[1].ids.scene, -1);
  EXPECT_EQ(demo_.parts[2].ids.objectBase, 7);
  EXPECT_EQ(demo_.parts[0].musicId, 1);
  EXPECT_EQ(counters_.scene, 3);
  EXPECT_EQ(counters_.object, 10);
  EXPECT_EQ(counters_.music, 2);

  zeDemoUnload(&demo_, &engine_);
  const std::vector<std::string> unloaded = {"delete music 1", "delete scene 0", "delete scene 1", "delete scene 2"};
  EXPECT_EQ(engine_.take(), unloaded);
  EXPECT_EQ(demo_.parts[0].ids.scene, -1);
}

TEST_F(DemoDefinitionTest, StartTimesFromTheSceneMusic) {
  // Scene 0 belongs to the part with a time and a music; scene 1 to the one without time.
  struct Case {
    const char* earlierMusic;
    const char* sceneMusic;
    int offset;
    const char* secondPart;
    int result;
    int time;  // of the second part, when loaded
    const char* said;
  } cases[] = {
      {"song.mp3", "../music/song.ogg", 12000, "", 0, 17000, ""},
      {"other.mp3", "song.ogg", 12000, "", -1, 0,
       "Part part2: when no time in part, the music in the scene must be the same than the previous music"},
      {"song.mp3", "", 0, "", -1, 0,
       "Part part2: no time, and no music specified in scene, impossible to determine time begin of the part"},
      {"song.mp3", "song.mp3", 0, "music=song.mp3\n", -1, 0,
       "Part part2: no time, but music specified in the part, impossible to determine time begin of the part"},
      {"", "song.mp3", 0, "", -1, 0,
       "Part part2: when no time in part and a music in the scene, there must be a music before"},
      {"song.mp3", "song.mp3", 0, "", 0, 5000, ""},
      {"song.mp3", "new.mp3", 500, "time=30000\n", -1, 0,
       "Part part2: music within the scene, with a time in the part :the music offset within the scene must be zero"},
      {"song.mp3", "song.mp3", 0, "time=30000\n", -1, 0,
       "Part part2: music within the scene, with a time in the part :the music must not be the same music than "
       "previous"},
      {"song.mp3", "new.mp3", 0, "time=30000\n", 0, 30000, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    demo_ = ZeDemo();
    counters_ = ZeDemoCounters();
    engine_ = RecordingDemoEngine();
    if (*c.sceneMusic) engine_.sceneAudio[1] = c.sceneMusic;
    engine_.sceneOffset[1] = c.offset;
    std::string text = "[part1]\ntime=5000\nfilename=a.zscn\n";
    if (*c.earlierMusic) text += std::string("music=") + c.earlierMusic + "\n";
    text += std::string("[part2]\nfilename=b.zscn\n") + c.secondPart + "[part3]\ntime=90000\n";
    const std::string said = load(text, c.result);
    if (c.result == 0) {
      EXPECT_EQ(demo_.parts[1].time, c.time);
    } else {
      EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
  }
  // A part with timereset between the music and the part without time.
  engine_ = RecordingDemoEngine();
  counters_ = ZeDemoCounters();
  engine_.sceneAudio[0] = "song.mp3";  // the only scene
  const std::string said = load("[part1]\ntime=0\nmusic=song.mp3\n[partb]\ntime=0\ntimereset=1\n"
                                "[part2]\nfilename=b.zscn\n[part3]\ntime=90000\n",
                                -1);
  EXPECT_NE(said.find("Part part2: timereset no supported before a part that has a music within the scene"),
            std::string::npos)
      << said;
}

TEST_F(DemoDefinitionTest, ShadersKeepTenAndLoadEachFileOnce) {
  std::string text = "[setup]\nshadersdirectory=fx\n[part1]\ntime=0\n";
  for (int n = 0; n < 12; ++n) text += "shader." + std::to_string(n) + ".name=s" + std::to_string(n) + ".hlsl\n";
  text += "[part2]\ntime=100\nshader.3.name=S0.HLSL\n[part3]\ntime=200\n";
  load(text, 0);
  std::vector<std::string> shaders;
  for (const std::string& call : engine_.take())
    if (call.rfind("shader", 0) == 0) shaders.push_back(call);
  ASSERT_EQ(shaders.size(), 10u);
  EXPECT_EQ(shaders.front(), "shader 0 fx/s0.hlsl");
  EXPECT_EQ(shaders.back(), "shader 9 fx/s9.hlsl");
  EXPECT_EQ(demo_.parts[1].shaders[0].cameraShaderId, 0);  // the same file, any case
  zeDemoUnload(&demo_, &engine_);
  int deletes = 0;
  for (const std::string& call : engine_.take()) deletes += call.rfind("delete shader", 0) == 0;
  EXPECT_EQ(deletes, 10);
}

TEST_F(DemoDefinitionTest, WithoutFullScreenShadersTheDemoStillLoads) {
  engine_.shaders = false;
  const std::string said = load("[part1]\ntime=0\nshader.0.name=a.hlsl\n[part2]\ntime=10\n", 0);
  EXPECT_NE(said.find("Full-screen shaders: not built yet"), std::string::npos) << said;
  EXPECT_EQ(demo_.parts[0].shaders[0].cameraShaderId, -1);
}

TEST_F(DemoDefinitionTest, LoadFailuresNameWhatFailed) {
  struct Case {
    const char* text;
    const char* failScene;
    int failResult;
    const char* said;
    int result;
  } cases[] = {
      {"[part1]\ntime=0\nfilename=a.zscn\n[part2]\ntime=1\n", "a.zscn", -1, "Fail to load scene a.zscn", -1},
      {"[part1]\ntime=0\nfilename=a.zscn\nextra.3.directory=ex\nextra.3.filename=b.zscn\n[part2]\ntime=1\n",
       "b.zscn", -1, "Fail to load in scene a.zscn the extra id=0 ex", -1},
      {"[setup]\nmusicdirectory=m\n[part1]\ntime=0\nmusic=bad.mp3\n[part2]\ntime=1\n", "", 0,
       "Fail to load music m/bad.mp3", -1},
      {"[setup]\nshadersdirectory=fx\n[part1]\ntime=0\nshader.0.name=bad.hlsl\n[part2]\ntime=1\n", "", 0,
       "Failed to load shader fx/bad.hlsl", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    demo_ = ZeDemo();
    engine_ = RecordingDemoEngine();
    engine_.failScene[c.failScene] = c.failResult;
    engine_.failMusic = {"m/bad.mp3"};
    engine_.failShader = {"fx/bad.hlsl"};
    const std::string said = load(c.text, c.result);
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    // What was loaded, the failed scene's slot included, is unloaded.
    engine_.take();
    zeDemoUnload(&demo_, &engine_);
    if (*c.failScene) {
      EXPECT_FALSE(engine_.take().empty());
    }
  }
  // Escape during loading aborts silently with 1.
  demo_ = ZeDemo();
  engine_ = RecordingDemoEngine();
  engine_.aborted = true;
  const std::string said = load("[part1]\ntime=0\nfilename=a.zscn\n[part2]\ntime=1\n", 1);
  EXPECT_EQ(said.find("Fail"), std::string::npos) << said;
}

}  // namespace

namespace {

TEST_F(DemoDefinitionTest, PartsBeyondSixtyFourAreLeftOutWithAWarning) {
  std::string text;
  for (int n = 0; n < 66; ++n) text += "[part" + std::to_string(n) + "]\ntime=" + std::to_string(n * 10) + "\n";
  // The parser keeps them all (packaging wants every directory); the player keeps 64.
  ASSERT_EQ(zeDemoParse(write(text).c_str(), &demo_), ZE_DEMO_PARSED);
  EXPECT_EQ(demo_.parts.size(), 66u);
  const std::string said = load(text, 0);
  EXPECT_EQ(demo_.parts.size(), 64u);
  EXPECT_NE(said.find("2 parts beyond the first 64 are left out"), std::string::npos) << said;
}

}  // namespace
