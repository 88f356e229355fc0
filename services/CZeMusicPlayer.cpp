#include "services/CZeMusicPlayer.h"

#include "base/zeMessage.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

double clockSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The silent output takes chunks of 10 ms and keeps two of them ahead.
constexpr int kClockChunksPerSecond = 100;
constexpr int kClockChunksAhead = 2;

}  // namespace

CZeMusicPlayer::CZeMusicPlayer() = default;

CZeMusicPlayer::~CZeMusicPlayer() { closeOutput(); }

bool CZeMusicPlayer::open(std::string data) {
  if (!decoder_.created() || rate_ != 0) return false;
  if (!decoder_.open(std::move(data))) return false;
  rate_ = decoder_.rate();
  channels_ = decoder_.channels();
  totalFrames_ = decoder_.lengthFrames();
  openOutput();
  return true;
}

void CZeMusicPlayer::openOutput() {
  chunkFrames_ = std::max(1, rate_ / kClockChunksPerSecond);
  // The dummy driver sleeps whole milliseconds per buffer and drifts from the
  // clock; the clock-paced output does its job exactly.
  const char* wanted = SDL_getenv("SDL_AUDIODRIVER");
  const bool dummy = wanted && SDL_strcasecmp(wanted, "dummy") == 0;
  if (!dummy && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    sdlAudioInitialised_ = true;
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = rate_;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels_);
    // About 23 ms at 44.1 kHz: short enough for positions, long enough to play smoothly.
    want.samples = static_cast<Uint16>(rate_ >= 32000 ? 1024 : 512);
    want.callback = &CZeMusicPlayer::sdlCallback;
    want.userdata = this;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ != 0) {
      chunkFrames_ = have.samples;
      // What the device has taken is heard about one buffer later.
      deviceLatency_ = static_cast<double>(have.samples) / have.freq;
      return;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlAudioInitialised_ = false;
  }
  static bool told = false;
  if (!told && !dummy) {
    zeMessage(ZE_INFO, "CZeMusicPlayer::open no audio device (%s); music plays silently, paced by the clock",
              SDL_GetError());
    told = true;
  }
  scratch_.assign(static_cast<size_t>(chunkFrames_) * channels_, 0);
  clockThread_ = std::thread(&CZeMusicPlayer::clockLoop, this);
}

void CZeMusicPlayer::closeOutput() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);  // waits for a running callback
    device_ = 0;
  }
  if (sdlAudioInitialised_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlAudioInitialised_ = false;
  }
  if (clockThread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      clockQuit_ = true;
    }
    clockWake_.notify_all();
    clockThread_.join();
  }
}

void CZeMusicPlayer::sdlCallback(void* self, Uint8* stream, int bytes) {
  auto* player = static_cast<CZeMusicPlayer*>(self);
  const double now = clockSeconds();
  std::lock_guard<std::mutex> lock(player->mutex_);
  const int frames = bytes / (2 * player->channels_);
  if (!player->running_) {
    std::memset(stream, 0, static_cast<size_t>(bytes));
    return;
  }
  player->pullLocked(reinterpret_cast<int16_t*>(stream), frames, now + player->deviceLatency_);
}

void CZeMusicPlayer::clockLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!clockQuit_) {
    if (!running_) {
      clockWake_.wait(lock);
      continue;
    }
    // Chunk by chunk on a fixed schedule from the last start, so no wake-up
    // delay accumulates.
    const double heardAt = clockBase_ + static_cast<double>(clockTaken_) / rate_;
    const double takeAt = heardAt - static_cast<double>(kClockChunksAhead) / kClockChunksPerSecond;
    const double now = clockSeconds();
    if (now < takeAt) {
      clockWake_.wait_for(lock, std::chrono::duration<double>(takeAt - now));
      continue;  // state may have changed meanwhile
    }
    pullLocked(scratch_.data(), chunkFrames_, heardAt);
    clockTaken_ += chunkFrames_;  // silence after the end too, so time runs on
  }
}

void CZeMusicPlayer::pullLocked(int16_t* out, int frames, double heardAt) {
  int framesDone = 0;
  if (decodedFrame_ < totalFrames_) {
    framesDone = decoder_.read(out, frames);
    // The end, or a damaged tail: the music ends where decoding did, which
    // may be a little before the length the scan estimated.
    if (framesDone < frames) totalFrames_ = decodedFrame_ + framesDone;
  }
  std::memset(out + static_cast<size_t>(framesDone) * channels_, 0,
              static_cast<size_t>(frames - framesDone) * channels_ * sizeof(int16_t));
  if (gain_ < 1.0f) {
    const int samples = framesDone * channels_;
    for (int i = 0; i < samples; ++i) out[i] = static_cast<int16_t>(std::lrint(out[i] * gain_));
  }
  // Silence after the end moves nothing: the position runs on from the last
  // chunk that had music in it, up to its end.
  if (framesDone == 0 && chunkValid_) return;
  chunkValid_ = true;
  chunkStartFrame_ = decodedFrame_;
  chunkLength_ = framesDone;
  chunkHeardAt_ = heardAt;
  decodedFrame_ += framesDone;
}

double CZeMusicPlayer::heardFrameLocked(double now) {
  if (!running_) return static_cast<double>(floorFrame_);
  if (device_ == 0) {
    // The silent output plays by the clock itself; its thread only keeps the
    // decoder in step (and finds the real end), so a late wake-up of that
    // thread does not hold the position back.
    const double frame = floorFrame_ + std::max(0.0, now - clockBase_) * rate_;
    return std::min(frame, static_cast<double>(std::max(totalFrames_, floorFrame_)));
  }
  if (!chunkValid_) return static_cast<double>(floorFrame_);
  double frame = chunkStartFrame_ + (now - chunkHeardAt_) * rate_;
  frame = std::min(frame, static_cast<double>(chunkStartFrame_ + chunkLength_));
  frame = std::max(frame, std::max(static_cast<double>(floorFrame_), lastHeard_));
  lastHeard_ = frame;
  return frame;
}

void CZeMusicPlayer::restartAtLocked(long long frame, double now) {
  frame = std::max(0LL, std::min(frame, totalFrames_));
  if (decoder_.seek(frame)) decodedFrame_ = frame;
  floorFrame_ = decodedFrame_;
  lastHeard_ = static_cast<double>(floorFrame_);
  chunkValid_ = false;
  clockBase_ = now;
  clockTaken_ = 0;
}

void CZeMusicPlayer::run() {
  if (rate_ == 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return;
    restartAtLocked(floorFrame_, clockSeconds());
    running_ = true;
  }
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
  clockWake_.notify_all();
}

void CZeMusicPlayer::pause() {
  if (rate_ == 0) return;
  // Outside our lock: the callback takes it while SDL holds the device's lock.
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!running_) return;
  const double now = clockSeconds();
  const long long heard = static_cast<long long>(heardFrameLocked(now));
  running_ = false;
  // Continue later from what was heard, not from what the output had taken.
  restartAtLocked(heard, now);
}

long long CZeMusicPlayer::positionMs() {
  if (rate_ == 0) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  const long long frame = static_cast<long long>(heardFrameLocked(clockSeconds()));
  return frame * 1000 / rate_;
}

long long CZeMusicPlayer::decodedMs() {
  if (rate_ == 0) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  return decodedFrame_ * 1000 / rate_;
}

bool CZeMusicPlayer::setPositionMs(long long ms) {
  if (rate_ == 0 || ms < 0) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Past the end means the end (and keeps ms * rate within range).
    const long long frame = ms >= totalFrames_ * 1000 / rate_ + 1 ? totalFrames_ : ms * rate_ / 1000;
    restartAtLocked(frame, clockSeconds());
  }
  clockWake_.notify_all();
  return true;
}

long long CZeMusicPlayer::lengthMs() {
  if (rate_ == 0) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  return totalFrames_ * 1000 / rate_;
}

void CZeMusicPlayer::setVolume(int hundredthsDb) {
  hundredthsDb = std::max(-10000, std::min(0, hundredthsDb));
  std::lock_guard<std::mutex> lock(mutex_);
  volume_ = hundredthsDb;
  gain_ = static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}
