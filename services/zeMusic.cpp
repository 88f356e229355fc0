#include "services/zeMusic.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "base/zeFile.h"
#include "base/ZeHandleTable.h"
#include "base/zeMessage.h"
#include "services/CZeMusicPlayer.h"

namespace {

constexpr int kMusicCapacity = 50;

struct ZeMusic {
  std::string path;
  std::unique_ptr<CZeMusicPlayer> player;
  int playing = 0;  // 1 after play or resume, 0 after stop; pause leaves it
};

std::unique_ptr<ZeHandleTable<ZeMusic>> musics;

const char* missReason() { return musics ? musics->reason() : "the music service is not started"; }

ZeMusic* resolve(int id) {
  ZeMusic* music = musics ? musics->find(id) : nullptr;
  if (!music) zeReportArgError(1, "Music ID %d does not exist. %s", id, missReason());
  return music;
}

// log2 from the float's exponent and a quadratic through the mantissa.
float fastLog2(float x) {
  std::uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int exponent = static_cast<int>((bits >> 23) & 0xff);
  bits = (bits & 0x007fffffu) | 0x3f800000u;
  float mantissa;
  std::memcpy(&mantissa, &bits, sizeof mantissa);
  return static_cast<float>(exponent - 127) + mantissa * (2.0f - mantissa / 3.0f) - 5.0f / 3.0f;
}

// 2^y: the integer part goes into the exponent field, the fraction through a quadratic.
float fastExp2(float y) {
  const float whole = std::floor(y);
  const float fraction = y - whole;
  if (whole < -126.0f) return 0.0f;
  if (whole > 127.0f) return INFINITY;
  float result = 1.0f + fraction * (0.75f + 0.25f * fraction);
  std::uint32_t bits;
  std::memcpy(&bits, &result, sizeof bits);
  bits += static_cast<std::uint32_t>(static_cast<std::int32_t>(whole)) << 23;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

}  // namespace

int zeMusicPercentToVolume(float percent) {
  if (!(percent > 0.0f)) return -10000;  // silence, and no logarithm of 0, negatives or NaN
  const float volume = 100.0f * 20.0f * (fastLog2(percent / 100.0f) * 0.30103f);
  if (volume > 0.0f) return 0;
  if (volume < -10000.0f) return -10000;
  return static_cast<int>(volume);
}

float zeMusicVolumeToPercent(int hundredthsDb) {
  // 10^(v/2000) as 2^(v/2000 * log2(10)).
  return 100.0f * fastExp2(static_cast<float>(hundredthsDb) / 2000.0f * 3.3219281f);
}

int zeMusicStartup() {
  if (musics) zeMusicShutdown();
  musics = ZeHandleTable<ZeMusic>::create(kMusicCapacity);
  if (!musics) {
    zeMessage(ZE_ERROR, "fails to create music list");
    return -1;
  }
  return 0;
}

void zeMusicShutdown() {
  if (!musics) return;
  musics->forEach([](int id, ZeMusic*) { zeDeleteMusic(id); });
  musics.reset();
}

int zeLoadMusic(const char* path, int id) {
  auto music = std::make_unique<ZeMusic>();
  if (!musics || !musics->add(id, music.get())) {
    zeReportArgError(2, "invalid Music ID %d : %s", id, missReason());
    return -1;
  }
  music->path = path ? path : "";
  music->player = std::make_unique<CZeMusicPlayer>();
  if (!music->player->created()) {
    musics->remove(id);
    zeMessageKept(ZE_ERROR | ZE_MSG_KEEP, -1, "Failed to create mp3 renderer");
    return -1;
  }
  std::string data;
  if (!path || !zeFileReadAll(path, &data)) {
    musics->remove(id);
    zeReportArgError(2, "LoadMusic ID %d : Cannot load file '%s'", id, path ? path : "");
    return -1;
  }
  if (!music->player->open(std::move(data))) {
    musics->remove(id);
    zeMessageKept(ZE_ERROR | ZE_MSG_KEEP, -1, "Failed to load mp3");
    return -1;
  }
  music.release();
  return 0;
}

int zeMusicExists(int id) {
  return musics && musics->has(id) ? 1 : 0;
}

int zeDeleteMusic(int id) {
  ZeMusic* music = musics ? musics->remove(id) : nullptr;
  if (!music) return -1;
  delete music;  // stops the output before the decoder goes
  return 0;
}

int zePlayMusic(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  if (music->playing) music->player->stop();
  music->player->run();
  music->playing = 1;
  return 0;
}

int zeStopMusic(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  music->player->stop();
  music->playing = 0;
  return 0;
}

int zePauseMusic(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  if (music->playing) music->player->pause();
  return 0;
}

int zeResumeMusic(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  music->player->run();
  music->playing = 1;
  return 0;
}

int zeSetMusicPosition(int id, int ms) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  return music->player->setPositionMs(ms) ? 0 : -1;
}

int zeGetMusicPosition(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  return static_cast<int>(music->player->positionMs());
}

int zeSetMusicVolume(int id, float percent) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  music->player->setVolume(zeMusicPercentToVolume(percent));
  return 0;
}

float zeMusicVolume(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return 0.0f;
  return zeMusicVolumeToPercent(music->player->volume());
}

int zeMusicIsSilent(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  return music->player->silentOutput() ? 1 : 0;
}

int zeMusicDecodedMs(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  return static_cast<int>(music->player->decodedMs());
}

int zeMusicLengthMs(int id) {
  ZeMusic* music = resolve(id);
  if (!music) return -1;
  return static_cast<int>(music->player->lengthMs());
}
