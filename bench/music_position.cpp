// How the music position behaves while 5 s of music play, sampled every
// millisecond.
//   bench_music_position --benchmark_filter=Position
// Output 1 is a real SDL device on SDL's disk driver, which paces itself with
// whole-ms sleeps: there the position is compared with the clock since play
// (worst_ms, mean_ms).
// Output 0 is the silent output (no audio device). Its position is the clock
// since play by construction, so comparing the two would measure nothing;
// what can go wrong there is decoding falling behind, so it reports the
// decoder's lead over the position instead (lead_min_ms below 0: the position
// ran past music that was never decoded). Output 1 reports the lead too.
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

void BM_MusicPosition(benchmark::State& state) {
  const int output = static_cast<int>(state.range(0));
  useOutput(output);
  zeSetMessageThreshold(ZE_ERROR);
  zeMusicStartup();
  if (zeLoadMusic(kMusic, 0) != 0) {
    state.SkipWithError("cannot load the music");
    zeMusicShutdown();
    return;
  }
  double worst = 0, sum = 0;
  double leadMin = 1e9, leadMax = -1e9;
  long samples = 0;
  for (auto _ : state) {
    zeSetMusicPosition(0, 0);
    const auto start = std::chrono::steady_clock::now();
    zePlayMusic(0);
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const int position = zeGetMusicPosition(0);
      const int decoded = zeMusicDecodedMs(0);
      const double clock =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (clock > 5000) break;
      const double difference = std::fabs(position - clock);
      worst = std::max(worst, difference);
      sum += difference;
      leadMin = std::min(leadMin, static_cast<double>(decoded - position));
      leadMax = std::max(leadMax, static_cast<double>(decoded - position));
      ++samples;
    }
    zeStopMusic(0);
  }
  const bool silent = zeMusicIsSilent(0) == 1;
  if (!silent) {
    state.counters["worst_ms"] = worst;
    state.counters["mean_ms"] = samples ? sum / samples : 0;
  }
  state.counters["lead_min_ms"] = leadMin;
  state.counters["lead_max_ms"] = leadMax;
  state.counters["silent_output"] = silent;
  zeMusicShutdown();
}
BENCHMARK(BM_MusicPosition)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

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
