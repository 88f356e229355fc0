// The example demo captured by the real executable under Xvfb: numbered
// PNGs (count, names, pixels that change with the parts and fades) and
// straight to video (ffprobe: frames, rate, duration, one audio stream).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 160, kHeight = 120;

std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
    if (pclose(pipe) != 0) out += "\n(exit non-zero)";
  }
  return out;
}

// Mean colour of an image file, decoded by ffmpeg.
struct Mean {
  double r = -1, g = -1, b = -1;
};
Mean meanOf(const std::string& file) {
  Mean m;
  FILE* pipe = popen(("ffmpeg -v error -i '" + file + "' -f rawvideo -pix_fmt rgb24 -").c_str(), "r");
  if (!pipe) return m;
  std::vector<unsigned char> pixels(kWidth * kHeight * 3);
  const std::size_t got = std::fread(pixels.data(), 1, pixels.size(), pipe);
  pclose(pipe);
  if (got != pixels.size()) return m;
  double sum[3] = {};
  for (std::size_t i = 0; i < pixels.size(); ++i) sum[i % 3] += pixels[i];
  const double n = kWidth * kHeight;
  return {sum[0] / n, sum[1] / n, sum[2] / n};
}

class ZarnDemoCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zarn-demo-cap-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    std::ofstream(folder_ + "/zarn-setup.ini") << "[Setup]\ndisplay=" << kWidth << " " << kHeight << " 32\nwindowed=1\n";
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

  // The example demo captured to `name`, relative to the folder the program
  // starts in (loading the demo moves elsewhere); the program's output.
  std::string capture(const std::string& name) {
    return run("cd '" + folder_ + "' && ZARN_NONINTERACTIVE=1 timeout 180 " ZARN_EXECUTABLE " " ZARN_EXAMPLE
               " -cap '" + name + "' -capfps 25");
  }
  std::string folder_;
};

TEST_F(ZarnDemoCapture, NumberedImagesFollowThePartsAndFades) {
  const std::string said = capture("shots/f.png");
  const std::string shots = folder_ + "/shots";  // made by the capture
  // The end part is at 8000 ms: frames 0..199, the finishing frame unwritten.
  EXPECT_EQ(access((shots + "/f_000199.png").c_str(), F_OK), 0) << said;
  EXPECT_NE(access((shots + "/f_000200.png").c_str(), F_OK), 0);
  EXPECT_NE(said.find("Start capturing: basename='" + shots + "/f' ext='png' fps=25.000000"), std::string::npos);
  EXPECT_NE(said.find("Frame   199; time   7960 ; " + shots + "/f_000199.png"), std::string::npos) << said;

  struct Moment {
    int frame;
    const char* what;
    bool (*fits)(const Mean&);
  } moments[] = {
      {0, "fading in from black", [](const Mean& m) { return m.r + m.g + m.b < 30; }},
      {50, "part 1 in full", [](const Mean& m) { return m.b > 60 && m.r < 150; }},
      {99, "faded out to white", [](const Mean& m) { return m.r > 200 && m.g > 200 && m.b > 200; }},
      {150, "part 2 in full", [](const Mean& m) { return m.b > 60 && m.r < 150; }},
      {199, "faded out to black", [](const Mean& m) { return m.r + m.g + m.b < 60; }},
  };
  Mean parts[2];
  for (const Moment& m : moments) {
    char name[32];
    std::snprintf(name, sizeof name, "/f_%06d.png", m.frame);
    const Mean mean = meanOf(shots + name);
    EXPECT_TRUE(m.fits(mean)) << m.what << ": " << mean.r << " " << mean.g << " " << mean.b;
    if (m.frame == 50) parts[0] = mean;
    if (m.frame == 150) parts[1] = mean;
  }
  // Part 2 sees the scene through a short camera range: the far floor is gone.
  EXPECT_GT(std::abs(parts[0].r - parts[1].r) + std::abs(parts[0].g - parts[1].g), 10.0);
}

TEST_F(ZarnDemoCapture, VideosCarryEveryFrameAtTheRateWithTheMusic) {
  for (const char* name : {"demo.mp4", "demo.webm"}) {
    SCOPED_TRACE(name);
    const std::string said = capture(name);
    const std::string probe =
        run("ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames,r_frame_rate "
            "-show_entries format=duration -of compact '" + folder_ + "/" + name + "'");
    EXPECT_NE(probe.find("stream|codec_type=video|r_frame_rate=25/1|nb_read_frames=200"), std::string::npos)
        << probe << said;
    std::size_t audio = 0, at = 0;
    while ((at = probe.find("codec_type=audio", at)) != std::string::npos) ++audio, ++at;
    EXPECT_EQ(audio, 1u) << probe;
    const std::size_t duration = probe.find("format|duration=");
    ASSERT_NE(duration, std::string::npos) << probe;
    EXPECT_NEAR(std::atof(probe.c_str() + duration + 16), 8.0, 0.05) << probe;
    // The music is in it, not silence (it plays at about -20 dB).
    const std::string volume = run("ffmpeg -v info -i '" + folder_ + "/" + name + "' -af volumedetect -f null - ");
    const std::size_t mean = volume.find("mean_volume: ");
    ASSERT_NE(mean, std::string::npos) << volume;
    EXPECT_GT(std::atof(volume.c_str() + mean + 13), -30.0) << volume.substr(mean);
  }
}

}  // namespace

namespace {

TEST_F(ZarnDemoCapture, AVideoThatCannotBeWrittenFailsTheRunWithItsReason) {
  const std::string said = capture("/proc/zarn-nowhere/demo.mp4");
  EXPECT_NE(said.find("Capture to /proc/zarn-nowhere/demo.mp4 failed: "), std::string::npos) << said;
  EXPECT_NE(said.find("(exit non-zero)"), std::string::npos) << said;
}

}  // namespace

namespace {

// Mono 8 kHz samples of a sound file's first `seconds` from `from`, by ffmpeg.
std::vector<float> samplesOf(const std::string& file, double from, double seconds) {
  std::vector<float> out;
  const std::string command = "ffmpeg -v error -ss " + std::to_string(from) + " -t " + std::to_string(seconds) +
                              " -i '" + file + "' -vn -ac 1 -ar 8000 -f s16le -";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  int16_t sample;
  while (std::fread(&sample, 2, 1, pipe) == 1) out.push_back(sample);
  pclose(pipe);
  return out;
}

TEST_F(ZarnDemoCapture, AVideoFromAStartPartCarriesTheMusicFromThere) {
  const std::string said = run("cd '" + folder_ + "' && ZARN_NONINTERACTIVE=1 timeout 180 " ZARN_EXECUTABLE
                               " " ZARN_EXAMPLE " -startpart 1 -cap part2.mp4 -capfps 25");
  const std::string probe = run("ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames -of "
                                "compact '" + folder_ + "/part2.mp4'");
  // Part 2 runs from 4000 to 8000 ms: 100 frames.
  EXPECT_NE(probe.find("codec_type=video|nb_read_frames=100"), std::string::npos) << probe << said;
  // The video's sound at 0.5 s is the music at 4.5 s: the best match of one
  // second of it lies within 5 ms of there.
  const std::vector<float> video = samplesOf(folder_ + "/part2.mp4", 0.5, 1.0);
  const std::vector<float> music = samplesOf(ZARN_MUSIC, 4.4, 1.2);
  ASSERT_EQ(video.size(), 8000u);
  ASSERT_GE(music.size(), 9600u);
  int bestLag = -1;
  double best = -1;
  for (int lag = 0; lag + 8000 <= static_cast<int>(music.size()); ++lag) {
    double dot = 0, a = 0, b = 0;
    for (int i = 0; i < 8000; ++i) {
      dot += video[i] * music[lag + i];
      a += video[i] * video[i];
      b += music[lag + i] * music[lag + i];
    }
    const double score = dot / std::sqrt(a * b + 1e-9);
    if (score > best) best = score, bestLag = lag;
  }
  std::printf("the video's music matches the music at 4.5 s %+.1f ms (correlation %.3f)\n", (bestLag - 800) / 8.0,
              best);
  EXPECT_GT(best, 0.8);
  EXPECT_NEAR((bestLag - 800) / 8.0, 0.0, 5.0) << "ms from where the music should be";
}

}  // namespace
