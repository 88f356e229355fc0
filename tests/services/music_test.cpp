// Music playback with a short tone (tests/services/data/tone6s.mp3: 6 s of
// 440 Hz at half amplitude, 8 kHz mono, made with
// `sox -n -r 8000 -c 1 -b 16 t.wav synth 6 sine 440 vol 0.5 && lame -b 8 -m m t.wav tone6s.mp3`).
// Without an audio device the music plays through the clock-paced silent
// output; one test plays through SDL's disk driver to check the samples.
#include <irrlicht.h>
#include <stdlib.h>
#include <unistd.h>
#include <zip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "services/zeMusic.h"

namespace fs = std::filesystem;

namespace {

const char* kTone = "data/tone6s.mp3";
// 3 s of a 441 Hz square wave at half amplitude, 44.1 kHz stereo:
// `sox -n -r 44100 -c 2 -b 16 t.wav synth 3 square 441 vol 0.5 && lame -b 128 t.wav tone44k.mp3`.
const char* kTone44k = "data/tone44k.mp3";
constexpr int kToneMs = 6000;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool waitFor(const std::function<bool()>& done, int ms = 3000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    sleepMs(2);
  }
  return true;
}

std::string lastError(int* argument = nullptr) {
  int value = 0;
  const char* text = zeGetLastError(&value);
  if (argument) *argument = value;
  return text ? text : "";
}

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // No audio device on CI; "dummy" selects the clock-paced silent output.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    zeResetMessageState();
    ASSERT_EQ(zeMusicStartup(), 0);
  }
  void TearDown() override { zeMusicShutdown(); }
};

TEST_F(MusicTest, VolumeConvertsPercentToHundredthsOfADecibelAndBack) {
  struct Case {
    float percent;
    int low, high;  // the fast logarithm is close, not exact
  };
  const Case cases[] = {
      {0.0f, -10000, -10000}, {-5.0f, -10000, -10000}, {0.001f, -10000, -10000},
      {100.0f, 0, 0},         {150.0f, 0, 0},          {1000.0f, 0, 0},
      {50.0f, -605, -599},    {25.0f, -1210, -1200},   {10.0f, -2005, -1995},
  };
  for (const Case& c : cases) {
    const int volume = zeMusicPercentToVolume(c.percent);
    EXPECT_GE(volume, c.low) << c.percent;
    EXPECT_LE(volume, c.high) << c.percent;
  }
  EXPECT_NEAR(zeMusicVolumeToPercent(0), 100.0f, 0.01f);
  EXPECT_NEAR(zeMusicVolumeToPercent(-10000), 0.001f, 0.0005f);

  ASSERT_EQ(zeLoadMusic(kTone, 0), 0);
  EXPECT_NEAR(zeMusicVolume(0), 100.0f, 0.01f);
  for (float percent : {50.0f, 75.0f, 10.0f}) {
    zeSetMusicVolume(0, percent);
    EXPECT_NEAR(zeMusicVolume(0), percent, percent * 0.02f) << "about what was set";
  }
  zeSetMusicVolume(0, 0.0f);
  EXPECT_LT(zeMusicVolume(0), 0.01f);
}

TEST_F(MusicTest, FailuresNameTheirCauseAndLeaveTheIdentifierFree) {
  char garbage[] = "/tmp/zarn-garbage-XXXXXX.mp3";
  const int fd = mkstemps(garbage, 4);
  ASSERT_GE(fd, 0);
  const std::string text = "This is a text file, certainly not an MPEG audio stream.\n";
  for (int i = 0; i < 50; ++i) ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);

  struct Case {
    std::function<int()> call;
    std::string message;
    int argument;
  };
  const std::vector<Case> cases = {
      {[] { return zeLoadMusic(kTone, 50); }, "invalid Music ID 50 : invalid ID 50 greater or equals than 50", 2},
      {[] { return zeLoadMusic(kTone, -2); }, "invalid Music ID -2 : invalid negative ID -2", 2},
      {[] { return zeLoadMusic("data/missing.mp3", 4); }, "LoadMusic ID 4 : Cannot load file 'data/missing.mp3'", 2},
      {[&] { return zeLoadMusic(garbage, 5); }, "Failed to load mp3", -1},
      {[] { return zeLoadMusic("", 6); }, "LoadMusic ID 6 : Cannot load file ''", 2},
      {[] { return zePlayMusic(7); }, "Music ID 7 does not exist. id 7 does not exist", 1},
      {[] { return zeStopMusic(7); }, "Music ID 7 does not exist. id 7 does not exist", 1},
      {[] { return zePauseMusic(7); }, "Music ID 7 does not exist. id 7 does not exist", 1},
      {[] { return zeResumeMusic(7); }, "Music ID 7 does not exist. id 7 does not exist", 1},
      {[] { return zeSetMusicPosition(7, 10); }, "Music ID 7 does not exist. id 7 does not exist", 1},
      {[] { return zeGetMusicPosition(7); }, "Music ID 7 does not exist. id 7 does not exist", 1},
      {[] { return zeSetMusicVolume(7, 50); }, "Music ID 7 does not exist. id 7 does not exist", 1},
  };
  for (const Case& c : cases) {
    zeClearLastError();
    EXPECT_EQ(c.call(), -1) << c.message;
    int argument = 0;
    // Whole texts: the lookups after the failed load at 50 must not repeat its reason.
    EXPECT_EQ(lastError(&argument), c.message);
    EXPECT_EQ(argument, c.argument) << c.message;
  }
  for (int id : {4, 5, 6}) EXPECT_EQ(zeMusicExists(id), 0) << id;
  zeClearLastError();
  EXPECT_EQ(zeMusicVolume(7), 0.0f);
  EXPECT_EQ(lastError(), "Music ID 7 does not exist. id 7 does not exist");

  // Deleting a free identifier fails quietly.
  zeClearLastError();
  EXPECT_EQ(zeDeleteMusic(7), -1);
  EXPECT_EQ(zeDeleteMusic(70), -1);
  EXPECT_EQ(lastError(), "");
  // A garbage file did not take the identifier: a good file loads under it.
  EXPECT_EQ(zeLoadMusic(kTone, 5), 0);
  std::remove(garbage);
}

TEST_F(MusicTest, PlayPauseResumeSeekAndStopFollowWhatIsHeard) {
  ASSERT_EQ(zeLoadMusic(kTone, 3), 0);
  EXPECT_EQ(zeMusicExists(3), 1);
  EXPECT_EQ(zeMusicIsSilent(3), 1);
  EXPECT_EQ(zeGetMusicPosition(3), 0);
  sleepMs(50);
  EXPECT_EQ(zeGetMusicPosition(3), 0) << "loaded music does not play by itself";

  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(zePlayMusic(3), 0);
  ASSERT_TRUE(waitFor([] { return zeGetMusicPosition(3) >= 200; }));
  const int playing = zeGetMusicPosition(3);
  const auto elapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LE(playing, elapsedMs + 1) << "never ahead of the clock";

  ASSERT_EQ(zePauseMusic(3), 0);
  const int paused = zeGetMusicPosition(3);
  sleepMs(60);
  EXPECT_EQ(zeGetMusicPosition(3), paused);
  ASSERT_EQ(zeResumeMusic(3), 0);
  ASSERT_TRUE(waitFor([&] { return zeGetMusicPosition(3) > paused + 20; }));

  // A seek while playing lands on the target and runs on with the clock.
  const auto seeking = std::chrono::steady_clock::now();
  ASSERT_EQ(zeSetMusicPosition(3, 750), 0);
  const int afterSeek = zeGetMusicPosition(3);
  const auto sinceSeekMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - seeking).count();
  EXPECT_GE(afterSeek, 750);
  EXPECT_LE(afterSeek, 750 + sinceSeekMs + 1);
  ASSERT_TRUE(waitFor([] { return zeGetMusicPosition(3) > 800; }));

  // Stop holds the position; play carries on from it (it does not rewind).
  ASSERT_EQ(zeStopMusic(3), 0);
  const int stopped = zeGetMusicPosition(3);
  sleepMs(40);
  EXPECT_EQ(zeGetMusicPosition(3), stopped);
  zeSetMusicPosition(3, 750);
  EXPECT_EQ(zeGetMusicPosition(3), 750) << "a stopped music sits exactly where it was set";
  EXPECT_EQ(zeMusicDecodedMs(3), 750) << "and decoding starts there";
  ASSERT_EQ(zePlayMusic(3), 0);
  EXPECT_GE(zeGetMusicPosition(3), 750);
  ASSERT_TRUE(waitFor([] { return zeGetMusicPosition(3) > 790; }));
  // Play while playing restarts the output from the same place.
  const int beforeReplay = zeGetMusicPosition(3);
  ASSERT_EQ(zePlayMusic(3), 0);
  EXPECT_GE(zeGetMusicPosition(3), beforeReplay);
  EXPECT_LT(zeGetMusicPosition(3), beforeReplay + 100);

  EXPECT_EQ(zeSetMusicPosition(3, -1), -1);
}

TEST_F(MusicTest, PositionStopsAtTheEndOfTheMusic) {
  ASSERT_EQ(zeLoadMusic(kTone, 8), 0);
  ASSERT_EQ(zeSetMusicPosition(8, kToneMs + 5000), 0);
  const int end = zeGetMusicPosition(8);
  EXPECT_GE(end, kToneMs) << "clamped to the length (the encoder pads the end)";
  EXPECT_LE(end, kToneMs + 300);
  ASSERT_EQ(zeSetMusicPosition(8, end - 40), 0);
  ASSERT_EQ(zePlayMusic(8), 0);
  // The decoder may end a few milliseconds before the scan's estimate.
  int last = -1;
  ASSERT_TRUE(waitFor([&] {
    const int now = zeGetMusicPosition(8);
    const bool still = now == last;
    last = now;
    sleepMs(30);
    return still;
  }));
  EXPECT_EQ(last, end);
  sleepMs(30);
  EXPECT_EQ(zeGetMusicPosition(8), last);
}

TEST_F(MusicTest, ATruncatedFilePlaysWhatItHolds) {
  std::ifstream in(kTone, std::ios::binary);
  const std::string mp3((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  char cut[] = "/tmp/zarn-cut-XXXXXX.mp3";
  const int fd = mkstemps(cut, 4);
  ASSERT_GE(fd, 0);
  // Half the file, ending in the middle of a frame.
  const std::size_t half = mp3.size() / 2 + 7;
  ASSERT_EQ(write(fd, mp3.data(), half), static_cast<ssize_t>(half));
  close(fd);
  ASSERT_EQ(zeLoadMusic(cut, 9), 0);
  ASSERT_EQ(zeSetMusicPosition(9, kToneMs), 0);
  const int end = zeGetMusicPosition(9);
  EXPECT_GT(end, kToneMs / 2 - 300);
  EXPECT_LT(end, kToneMs / 2 + 300);
  ASSERT_EQ(zeSetMusicPosition(9, end - 30), 0);
  ASSERT_EQ(zePlayMusic(9), 0);
  EXPECT_TRUE(waitFor([end] { return zeGetMusicPosition(9) >= end - 5; }));
  std::remove(cut);

  char empty[] = "/tmp/zarn-empty-XXXXXX.mp3";
  const int emptyFd = mkstemps(empty, 4);
  ASSERT_GE(emptyFd, 0);
  close(emptyFd);
  zeClearLastError();
  EXPECT_EQ(zeLoadMusic(empty, 10), -1);
  EXPECT_EQ(lastError(), "Failed to load mp3");
  std::remove(empty);
}

TEST_F(MusicTest, ShutdownDeletesEveryMusicAndStartupMakesAnEmptyTable) {
  for (int id : {0, 1, 49}) ASSERT_EQ(zeLoadMusic(kTone, id), 0) << id;
  zePlayMusic(1);
  zeMusicShutdown();
  EXPECT_EQ(zeMusicExists(1), 0);
  zeClearLastError();
  EXPECT_EQ(zeGetMusicPosition(1), -1);
  EXPECT_EQ(lastError(), "Music ID 1 does not exist. the music service is not started");
  EXPECT_EQ(zeLoadMusic(kTone, 1), -1);

  ASSERT_EQ(zeMusicStartup(), 0);
  EXPECT_EQ(zeMusicExists(49), 0);
  EXPECT_EQ(zeLoadMusic(kTone, 49), 0);
}

// Music inside a mounted archive is read through the file hooks.
TEST_F(MusicTest, MusicInsideAMountedArchivePlays) {
  std::ifstream in(kTone, std::ios::binary);
  const std::string mp3((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(mp3.empty());
  char zipPath[] = "/tmp/zarn-music-XXXXXX.zip";
  const int fd = mkstemps(zipPath, 4);
  ASSERT_GE(fd, 0);
  close(fd);
  int error = 0;
  zip_t* archive = zip_open(zipPath, ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  zip_source_t* source = zip_source_buffer(archive, mp3.data(), mp3.size(), 0);
  ASSERT_GE(zip_file_add(archive, "music/packed.mp3", source, ZIP_FL_OVERWRITE), 0);
  ASSERT_EQ(zip_close(archive), 0);

  irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(zeFilesystemReset(device->getFileSystem()), 0);
  ASSERT_EQ(zeMountArchiveFile(zipPath), 0);
  ASSERT_FALSE(fs::exists("music/packed.mp3")) << "only the archive holds it";

  EXPECT_EQ(zeLoadMusic("music/packed.mp3", 2), 0) << lastError();
  EXPECT_EQ(zePlayMusic(2), 0);
  EXPECT_TRUE(waitFor([] { return zeGetMusicPosition(2) > 30; }));

  zeMusicShutdown();
  zeFilesystemReset(nullptr);
  device->drop();
  std::remove(zipPath);
}

// Through a real SDL device (the disk driver writes what it plays to a file):
// the samples are the tone's, and the volume scales them by its decibels.
TEST_F(MusicTest, SdlOutputPlaysTheToneScaledByTheVolume) {
  zeMusicShutdown();
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIODELAY", "5", 1);  // quicker than real time; positions are not checked here
  ASSERT_EQ(zeMusicStartup(), 0);

  auto peakAt = [](float percent, const std::string& file) {
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    if (zeLoadMusic(kTone, 0) != 0) return -1;
    if (zeMusicIsSilent(0)) return -2;
    zeSetMusicVolume(0, percent);
    zeSetMusicPosition(0, 1000);  // past the encoder's fade-in
    zePlayMusic(0);
    // The position follows what the device has taken, and holds in a pause.
    if (!waitFor([] { return zeGetMusicPosition(0) > 1050; })) return -4;
    zePauseMusic(0);
    const int paused = zeGetMusicPosition(0);
    sleepMs(30);
    if (zeGetMusicPosition(0) != paused) return -5;
    zeResumeMusic(0);
    sleepMs(100);
    zeDeleteMusic(0);
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int peak = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      int16_t sample;
      std::memcpy(&sample, &bytes[i], 2);
      peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    std::remove(file.c_str());
    return bytes.size() < 2000 ? -3 : peak;
  };
  // One name per process: suites of other checkouts may run beside this one.
  const std::string base = "/tmp/zarn-music-" + std::to_string(getpid());
  const int full = peakAt(100.0f, base + "-full.raw");
  if (full == -2) GTEST_SKIP() << "this SDL has no disk audio driver";
  ASSERT_GT(full, 12000) << "half amplitude of a 16-bit tone";
  const int half = peakAt(50.0f, base + "-half.raw");
  EXPECT_NEAR(static_cast<double>(half) / full, 0.5, 0.03);
  const int silent = peakAt(0.0f, base + "-silent.raw");
  EXPECT_LE(silent, 1);
}

}  // namespace

namespace {

// SDL's disk driver plays by writing each buffer to a file and then waiting
// for as long as it lasts: a buffer is heard from the moment it is written.
// At moments 0, 5, 10 and 15 ms after a buffer lands, the position must be
// where that buffer starts plus the time since. Demo time follows it.
TEST_F(MusicTest, PositionIsWhatTheDeviceIsPlaying) {
  zeMusicShutdown();
  setenv("SDL_AUDIODRIVER", "disk", 1);
  unsetenv("SDL_DISKAUDIODELAY");  // real time
  const std::string file = "/tmp/zarn-music-sync-" + std::to_string(getpid()) + ".raw";
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  ASSERT_EQ(zeMusicStartup(), 0);
  // 44.1 kHz stereo: one device buffer is one 4096-byte write, which reaches
  // the file at once (smaller ones wait in the writer's buffer).
  ASSERT_EQ(zeLoadMusic(kTone44k, 0), 0);
  if (zeMusicIsSilent(0)) GTEST_SKIP() << "this SDL has no disk audio driver";
  constexpr int kFrom = 1000;  // past the encoder's fade-in: the tone starts at once
  zeSetMusicPosition(0, kFrom);
  zePlayMusic(0);

  auto fileFrames = [&] {
    std::error_code error;
    const auto size = fs::file_size(file, error);
    return error ? 0LL : static_cast<long long>(size / 4);  // 16-bit stereo
  };
  // Where the tone begins in the file (the device wrote silence before it).
  auto toneStart = [&]() -> long long {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      int16_t sample;
      std::memcpy(&sample, &bytes[i], 2);
      if (std::abs(static_cast<int>(sample)) > 2000) return static_cast<long long>(i / 4);
    }
    return -1;
  };
  ASSERT_TRUE(waitFor([&] { return toneStart() >= 0; }));
  const long long start = toneStart();
  std::vector<double> offsets;
  long long seen = fileFrames();
  for (int i = 0; offsets.size() < 40 && i < 400; ++i) {
    // A buffer lands: from now on it plays, from where the file ended before.
    long long now = seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while ((now = fileFrames()) == seen && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    ASSERT_NE(now, seen) << "the device stopped writing";
    const auto landed = std::chrono::steady_clock::now();
    // Look at a different moment within each buffer.
    std::this_thread::sleep_for(std::chrono::microseconds(1000 * (i % 4) * 5));
    const int position = zeGetMusicPosition(0);
    const double since = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - landed).count();
    if (since < 20)  // a late wake-up on a busy machine says nothing about the position
      offsets.push_back(position - (kFrom + (seen - start) * 1000.0 / 44100.0 + since));
    seen = now;
  }
  ASSERT_GE(offsets.size(), 20u);
  zeDeleteMusic(0);
  std::remove(file.c_str());
  double sum = 0, worst = 0;
  for (double o : offsets) {
    sum += o;
    worst = std::max(worst, std::fabs(o));
  }
  std::sort(offsets.begin(), offsets.end());
  const double median = offsets[offsets.size() / 2];
  double middle = 0;  // the mean of the middle 80 %
  const std::size_t cut = offsets.size() / 10;
  for (std::size_t i = cut; i < offsets.size() - cut; ++i) middle += offsets[i];
  middle /= static_cast<double>(offsets.size() - 2 * cut);
  std::printf("position - playing: mean %.1f ms (middle 80 %%: %.1f), median %.1f ms, worst %.1f ms over %zu moments\n",
              sum / offsets.size(), middle, median, worst, offsets.size());
  // A late look at the file or a late device thread (a busy machine) shows
  // as a single far moment, so those are not held to the bound.
  EXPECT_LE(std::fabs(middle), 5.0);
  EXPECT_LE(std::fabs(median), 2.0);
}

}  // namespace
