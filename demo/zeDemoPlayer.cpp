#include "demo/zeDemoPlayer.h"

#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "base/zeMessage.h"
#include "base/zePath.h"

namespace {

// --- Music, noted while capturing ---------------------------------------------------

void musicPlay(ZeDemoPlayState* s, IZeDemoEngine* engine, int id) {
  engine->playMusic(id);
  if (s->capturing) s->musicLog.push_back({s->frameTime, ZeDemoMusicEvent::Play, id, 0});
}

void musicStop(ZeDemoPlayState* s, IZeDemoEngine* engine, int id) {
  engine->stopMusic(id);
  if (s->capturing) s->musicLog.push_back({s->frameTime, ZeDemoMusicEvent::Stop, id, 0});
}

void musicSeek(ZeDemoPlayState* s, IZeDemoEngine* engine, int id, int ms) {
  engine->setMusicPosition(id, ms);
  if (s->capturing) s->musicLog.push_back({s->frameTime, ZeDemoMusicEvent::Seek, id, ms});
}

// --- The part switch -----------------------------------------------------------------

void switchPart(ZeDemo* demo, ZeDemoPlayState* s, IZeDemoEngine* engine, int* t, int clockNow) {
  ZeDemoPart& part = demo->parts[s->currentPart];
  if (part.musicId >= 0 && s->currentMusic >= 0) musicStop(s, engine, s->currentMusic);
  if (part.ids.scene >= 0 && s->currentScene >= 0) {
    engine->hideScene(s->currentScene);
    // The extras and flag of the part whose scene was showing, which need
    // not be the part just before (a part may have no scene of its own).
    ZeDemoPart& shown = demo->parts[s->scenePart];
    for (ZeDemoExtra& extra : shown.extras) {
      if (extra.ids.scene < 0) continue;
      engine->hideScene(extra.ids.scene);
      if (extra.flushObjects) {
        engine->deleteScene(extra.ids.scene);
        extra.ids = ZeDemoSceneIds();
      }
    }
    if (shown.flushObjects) {
      engine->deleteScene(s->currentScene);
      shown.ids = ZeDemoSceneIds();
    }
    s->currentScene = -1;
  }
  if (part.musicId >= 0) {
    s->currentMusic = part.musicId;
    musicPlay(s, engine, part.musicId);
    s->musicStart = part.time;
  }
  if (part.timeReset) {
    s->reference = clockNow;
    *t = 0;
  }
  engine->setCameraRange(part.cameraNear, part.cameraFar);
  if (part.ids.scene >= 0) {
    s->currentScene = part.ids.scene;
    s->scenePart = s->currentPart;
    engine->showScene(part.ids.scene);
    for (ZeDemoExtra& extra : part.extras) {
      if (extra.ids.scene < 0) continue;
      engine->stopScene(extra.ids.scene);
      engine->showScene(extra.ids.scene);
    }
  }
}

void runExtras(ZeDemoPart& part, IZeDemoEngine* engine, int t) {
  for (ZeDemoExtra& extra : part.extras) {
    if (extra.ids.scene < 0) continue;
    const int end = extra.time + extra.length;
    if (t >= extra.time && t < end && !extra.active) {
      engine->activateScene(extra.ids.scene);
      extra.active = 1;
    }
    if (t < end && extra.active) engine->animateScene(extra.ids.scene, t - extra.time);
    if (t >= end && extra.active) {
      engine->stopScene(extra.ids.scene);
      extra.active = 0;
    }
  }
}

void runShaders(ZeDemoPart& part, IZeDemoEngine* engine, int t) {
  ZeDemoShader* startedNow = nullptr;
  for (ZeDemoShader& shader : part.shaders) {
    if (shader.cameraShaderId < 0) continue;
    const int end = shader.time + shader.length;
    if (t >= shader.time && t < end && !shader.active && !shader.done) {
      if (startedNow && startedNow->active) {
        engine->showShader(startedNow->cameraShaderId, false);
        startedNow->active = 0;
        startedNow->done = 1;
      }
      engine->showShader(shader.cameraShaderId, true);
      shader.active = 1;
      startedNow = &shader;
    }
    if (t >= end && shader.active) {
      engine->showShader(shader.cameraShaderId, false);
      shader.active = 0;
      shader.done = 1;
    }
  }
}

void runFaders(ZeDemoPart& part, IZeDemoEngine* engine, int t) {
  ZeDemoFader* startedNow = nullptr;
  for (ZeDemoFader& fader : part.faders) {
    const int end = fader.time + fader.length;
    if (t >= fader.time && t < end && !fader.active && !fader.done) {
      if (startedNow && startedNow->active) {
        engine->stopFade();
        startedNow->active = 0;
        startedNow->done = 1;
      }
      engine->fade(fader.fadeOut != 0, fader.fadeLength, fader.colour);
      fader.active = 1;
      startedNow = &fader;
    }
    if (t >= end && fader.active) {
      engine->stopFade();
      fader.active = 0;
      fader.done = 1;
    }
  }
}

// --- Capture progress ---------------------------------------------------------------------

double wallSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A line that rewrites itself on a terminal; elsewhere one line a second of
// demo time, so logs stay readable.
void showProgress(int n, int t, int endTime, float fps, double startedAt, bool last) {
  const bool terminal = isatty(STDERR_FILENO) != 0;
  if (!terminal && !last && n % static_cast<int>(fps > 1 ? fps : 1) != 0) return;
  const double elapsed = wallSeconds() - startedAt;
  const double rate = elapsed > 0 ? (n + 1) / elapsed : 0.0;
  const double percent = endTime > 0 ? 100.0 * t / endTime : 100.0;
  std::fprintf(stderr, "%sCapture: frame %d, demo time %d ms, %.1f%% of the timeline, %.1f frames/s%s",
               terminal ? "\r" : "", n, t, percent > 100 ? 100.0 : percent, rate, terminal && !last ? "" : "\n");
  std::fflush(stderr);
}

}  // namespace

int zeDemoPlayTime(ZeDemoPlayState* s, IZeDemoEngine* engine, int clockNow) {
  if (s->currentMusic >= 0) {
    const int position = engine->musicPosition(s->currentMusic);
    const int length = engine->musicLength(s->currentMusic);
    if (position >= 0 && (length <= 0 || position < length)) {
      const int t = position + s->musicStart;
      // Anchors the clock, so time runs on from here when the music ends.
      s->reference = clockNow - t;
      return t;
    }
  }
  return clockNow - s->reference;
}

ZeDemoFrameResult zeDemoFrame(ZeDemo* demo, ZeDemoPlayState* s, IZeDemoEngine* engine, int t, int clockNow) {
  const int count = static_cast<int>(demo->parts.size());
  const int next = s->currentPart + 1;
  if (next < count && t >= demo->parts[next].time) {
    s->currentPart = next;
    if (next == count - 1) {
      s->finished = 1;
      return ZE_DEMO_FRAME_FINISHED;
    }
    switchPart(demo, s, engine, &t, clockNow);
  }
  if (s->currentPart >= 0) {
    ZeDemoPart& part = demo->parts[s->currentPart];
    runExtras(part, engine, t);
    if (part.paletteId != s->currentPalette) s->currentPalette = part.paletteId;
    runShaders(part, engine, t);
    runFaders(part, engine, t);
    if (s->currentScene >= 0) engine->animateScene(s->currentScene, t - part.start);
  }
  return engine->sync() ? ZE_DEMO_FRAME_DRAWN : ZE_DEMO_FRAME_FAILED;
}

void zeDemoStartAt(ZeDemo* demo, ZeDemoPlayState* s, IZeDemoEngine* engine, int startPart) {
  const int count = static_cast<int>(demo->parts.size());
  if (startPart >= count) {
    zeMessage(ZE_WARN, "Start part %d does not exist (the demo has %d parts): playing from the beginning", startPart,
              count);
    return;
  }
  if (startPart <= 0) return;
  const ZeDemoPart& start = demo->parts[startPart];
  s->currentPart = startPart - 1;
  s->reference -= start.time;
  for (int i = startPart - 1; i >= 0; --i) {
    const ZeDemoPart& part = demo->parts[i];
    if (part.musicId < 0) continue;
    s->currentMusic = part.musicId;
    musicPlay(s, engine, part.musicId);
    s->musicStart = part.time;
    musicSeek(s, engine, part.musicId, part.timeReset == 1 ? start.time : start.time - part.time);
    break;
  }
}

void zeDemoSeekKeys(ZeDemoPlayState* s, IZeDemoEngine* engine) {
  if (s->currentMusic < 0) return;
  const bool left = engine->keyLeft(), right = engine->keyRight(), shift = engine->keyShift();
  if (!left && !right) return;
  const int position = engine->musicPosition(s->currentMusic);
  if (position < 0) return;
  const int step = right ? (shift ? 120 : 30) : (shift ? -20 : -2);
  musicSeek(s, engine, s->currentMusic, position + step < 0 ? 0 : position + step);
}

void zeDemoPrepare(ZeDemo* demo, IZeDemoEngine* engine) {
  for (const ZeDemoPart& part : demo->parts)
    if (part.ids.scene >= 0) engine->prepareScene(part.ids.scene);
  engine->renderDummyFrame();
  engine->sleep(200);
}

int zeDemoPlayLoop(ZeDemo* demo, IZeDemoEngine* engine, int startPart) {
  ZeDemoPlayState s;
  s.reference = engine->clock();
  zeDemoStartAt(demo, &s, engine, startPart);
  while (engine->deviceRunning()) {
    if (engine->escapeLatched() || s.finished) break;
    const int now = engine->clock();
    const int t = zeDemoPlayTime(&s, engine, now);
    if (zeDemoFrame(demo, &s, engine, t, now) == ZE_DEMO_FRAME_FAILED) return -1;
    if (startPart >= 0) zeDemoSeekKeys(&s, engine);
  }
  return 0;
}

void zeDemoSplitCaptureName(const std::string& name, std::string* base, std::string* extension) {
  if (zePathFileName(name, true).find('.') == std::string::npos) {
    *base = name;
    *extension = "bmp";
    return;
  }
  *extension = zePathExtension(name);
  *base = name.substr(0, name.size() - extension->size() - 1);
}

std::string zeDemoCaptureFileName(const std::string& base, int n, const std::string& extension) {
  char number[16];
  std::snprintf(number, sizeof number, "%06d", n);
  return base + "_" + number + "." + extension;
}

int zeDemoCaptureFrameTime(int n, float fps) { return static_cast<int>(static_cast<double>(n) * 1000.0 / fps); }

bool zeDemoIsVideoExtension(const std::string& extension) {
  for (const char* video : {"mp4", "mkv", "webm"})
    if (strcasecmp(extension.c_str(), video) == 0) return true;
  return false;
}

int zeDemoCaptureLoop(ZeDemo* demo, IZeDemoEngine* engine, int startPart, float fps, IZeDemoFrameSink* sink) {
  ZeDemoPlayState s;
  s.capturing = true;
  s.reference = 0;
  zeDemoStartAt(demo, &s, engine, startPart);
  const int endTime = demo->parts.back().time;
  const double startedAt = wallSeconds();
  engine->setVirtualClock(true, 0);
  int result = 0;
  int n = 0;
  int lastTime = 0;
  for (; engine->deviceRunning() && !engine->escapeLatched() && !s.finished; ++n) {
    const int frameTime = zeDemoCaptureFrameTime(n, fps);
    s.frameTime = frameTime;
    engine->setVirtualClock(true, frameTime);
    const ZeDemoFrameResult frame = zeDemoFrame(demo, &s, engine, frameTime - s.reference, frameTime);
    if (frame == ZE_DEMO_FRAME_FINISHED) break;
    std::string label;
    if (frame == ZE_DEMO_FRAME_FAILED || !sink->write(n, frameTime, s.musicLog, &label)) {
      result = -1;
      break;
    }
    lastTime = frameTime;
    zeMessage(ZE_INFO, "Frame %5d; time %6d ; %s", n, frameTime, label.c_str());
    showProgress(n, frameTime - s.reference, endTime, fps, startedAt, false);
  }
  engine->setVirtualClock(false, 0);
  if (n > 0) showProgress(n - 1, lastTime - s.reference, endTime, fps, startedAt, true);
  // The end of the picture: the last frame lasts one frame.
  const int endTimeMs = zeDemoCaptureFrameTime(n, fps);
  if (!sink->finish(s.musicLog, endTimeMs)) result = -1;
  return result;
}
