#include "player/zeViewerClock.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

int clampTime(int t, const ZeViewerScene& scene) { return std::max(0, std::min(t, scene.endTimeMs)); }

bool musicOn(IZeViewerMusic* music) { return music && music->loaded(); }

void pauseAt(ZeViewerState& s, int t, IZeViewerMusic* music) {
  s.paused = true;
  s.pausedTime = t;
  if (musicOn(music)) {
    music->pause();
    s.musicPausedByViewer = true;
  }
}

// Plays on from `t`: the reference follows and the music is started there
// (resumed when the viewer paused it).
void playFrom(ZeViewerState& s, int now, int t, IZeViewerMusic* music) {
  s.paused = false;
  s.reference = now - t;
  if (!musicOn(music)) return;
  if (s.musicPausedByViewer) {
    music->moveTo(t + s.musicOffset);
    music->resume();
  } else {
    music->playAt(t + s.musicOffset);
  }
  s.musicPausedByViewer = false;
}

// Milliseconds from the scene's first frame to `frame` (0 without a frame rate).
double msFromFirst(const ZeViewerScene& scene, double frame) {
  return scene.fps > 0 ? (frame - scene.firstFrame) * 1000.0 / scene.fps : 0.0;
}

}  // namespace

void zeViewerStart(ZeViewerState& s, int now, const ZeViewerScene& scene, bool frameStartGiven, int frameStart,
                   bool paused, IZeViewerMusic* music) {
  s.reference = now;
  s.paused = false;
  s.loop = false;
  s.forceAnimate = true;
  if (frameStartGiven) s.reference = now - clampTime(static_cast<int>(msFromFirst(scene, frameStart)), scene);
  if (paused) {
    s.paused = true;
    s.pausedTime = now - s.reference;
  } else if (musicOn(music)) {
    music->playAt(now - s.reference + s.musicOffset);
  }
  s.sceneTime = s.paused ? s.pausedTime : now - s.reference;
}

int zeViewerSceneTime(ZeViewerState& s, int now, const ZeViewerScene& scene, IZeViewerMusic* music) {
  int t = now - s.reference;
  if (!s.paused && musicOn(music)) {
    const int at = music->position();
    if (at >= 0) t = at - s.musicOffset;
  }
  if (s.paused) t = s.pausedTime;
  s.sceneTime = std::min(t, scene.endTimeMs);
  return s.sceneTime;
}

bool zeViewerKeys(ZeViewerState& s, int now, const ZeViewerKeys& keys, const ZeViewerScene& scene,
                  IZeViewerMusic* music) {
  bool moved = false;
  if (keys.returnPressed) s.loop = !s.loop;
  if (keys.spacePressed) {
    moved = true;
    if (!s.paused) {
      pauseAt(s, s.sceneTime, music);
    } else if (s.pausedTime != scene.endTimeMs) {
      playFrom(s, now, s.pausedTime, music);
    } else {
      // Paused at the end: play again from the start.
      s.musicPausedByViewer = false;
      playFrom(s, now, 0, music);
    }
  }

  const int factor = keys.shift ? 10 : 1;
  const int direction = (keys.forward ? 1 : 0) - (keys.backward ? 1 : 0);
  if (direction != 0) {
    moved = true;
    if (s.paused) {
      s.pausedTime = clampTime(s.pausedTime + direction * 5 * factor, scene);
    } else {
      s.reference -= direction * 10 * factor;
      if (musicOn(music)) music->moveTo(now - s.reference + s.musicOffset);
    }
  }

  // Bounds while playing; the music follows a wrap so it never runs ahead of the picture.
  bool wrapped = false;
  if (!s.paused) {
    if (s.reference > now) {
      pauseAt(s, 0, music);
    } else if (now - s.reference >= scene.endTimeMs) {
      if (s.loop && scene.endTimeMs > 0) {
        s.reference += scene.endTimeMs * ((now - s.reference) / scene.endTimeMs);
        wrapped = true;
        if (musicOn(music)) music->moveTo(now - s.reference + s.musicOffset);
      } else if (!s.loop) {
        pauseAt(s, scene.endTimeMs, music);
      }
    }
  }
  if (s.paused) {
    s.sceneTime = s.pausedTime;
  } else if (moved || wrapped) {
    s.sceneTime = std::min(now - s.reference, scene.endTimeMs);
  }
  return moved;
}

bool zeViewerSyncFrame(ZeViewerState& s, int now, int value, const ZeViewerScene& scene, IZeViewerMusic* music) {
  if (value == s.lastSyncValue || scene.fps <= 0) return false;
  if (value < scene.firstFrame || value > scene.lastFrame) return false;
  const int t = std::max(0, static_cast<int>(std::ceil(msFromFirst(scene, value))));
  if (s.paused) {
    s.pausedTime = t;
  } else {
    s.reference = now - t;
    if (musicOn(music)) music->moveTo(t + s.musicOffset);
  }
  s.lastSyncValue = value;
  s.forceAnimate = true;
  return true;
}

float zeViewerFrameAt(const ZeViewerScene& scene, int timeMs) {
  return scene.firstFrame + scene.fps * (timeMs / 1000.0f);
}

void zeViewerRestoreFrame(ZeViewerState& s, int now, float frame, const ZeViewerScene& scene,
                          IZeViewerMusic* music) {
  // The new scene may be shorter than the old one.
  const int t = clampTime(static_cast<int>(msFromFirst(scene, frame)), scene);
  if (s.paused) {
    s.pausedTime = t;
  } else {
    s.reference = now - t;
    if (musicOn(music)) music->moveTo(t + s.musicOffset);
  }
  s.forceAnimate = true;
}

std::string zeViewerScreenshotPath(const char* folder, int* counter) {
  char path[4096];
  for (int n = std::max(0, *counter);; ++n) {
    std::snprintf(path, sizeof path, "%s/screenshot_%04d.png", folder, n);
    if (::access(path, F_OK) != 0) {
      *counter = n;
      return path;
    }
  }
}

std::string zeViewerClockText(const ZeViewerScene& scene, int t) {
  char text[128];
  std::snprintf(text, sizeof text, "Frame=%4.2f time=%dmn%dsec%d millisec=%d", zeViewerFrameAt(scene, t),
                t / 60000, (t / 1000) % 60, (t / 100) % 10, t);
  return text;
}

int zeViewerRideSpeed(int speed, bool slower, bool faster) {
  if (slower) speed -= 10;
  if (faster) speed += 10;
  return speed < 1 ? 1 : speed;
}
