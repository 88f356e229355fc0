// How closely the music position follows the clock: plays 5 s of music and
// samples the position every millisecond against the time since play.
//   bench_music_position --benchmark_filter=Clock
// Output 0 is the clock-paced silent output (no audio device); output 1 is a
// real SDL device on SDL's disk driver, which paces itself with whole-ms sleeps.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "base/zeMessage.h"
#include "services/zeMusic.h"

namespace {

const char* kMusic = ZARN_SOURCE_DIR "/tests/services/data/tone6s.mp3";

void useOutput(int output) {
  if (output == 0) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  } else {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  }
}

void BM_MusicPositionAgainstClock(benchmark::State& state) {
  useOutput(static_cast<int>(state.range(0)));
  zeSetMessageThreshold(ZE_ERROR);
  zeMusicStartup();
  if (zeLoadMusic(kMusic, 0) != 0) {
    state.SkipWithError("cannot load the music");
    zeMusicShutdown();
    return;
  }
  double worst = 0, sum = 0;
  long samples = 0;
  for (auto _ : state) {
    zeSetMusicPosition(0, 0);
    const auto start = std::chrono::steady_clock::now();
    zePlayMusic(0);
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const int position = zeGetMusicPosition(0);
      const double clock =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (clock > 5000) break;
      const double difference = std::fabs(position - clock);
      worst = std::max(worst, difference);
      sum += difference;
      ++samples;
    }
    zeStopMusic(0);
  }
  state.counters["worst_ms"] = worst;
  state.counters["mean_ms"] = samples ? sum / samples : 0;
  state.counters["silent_output"] = zeMusicIsSilent(0);
  zeMusicShutdown();
}
BENCHMARK(BM_MusicPositionAgainstClock)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// What a frame pays to ask for the position.
void BM_GetMusicPosition(benchmark::State& state) {
  useOutput(0);
  zeSetMessageThreshold(ZE_ERROR);
  zeMusicStartup();
  zeLoadMusic(kMusic, 0);
  zePlayMusic(0);
  for (auto _ : state) benchmark::DoNotOptimize(zeGetMusicPosition(0));
  zeMusicShutdown();
}
BENCHMARK(BM_GetMusicPosition);

}  // namespace

BENCHMARK_MAIN();
