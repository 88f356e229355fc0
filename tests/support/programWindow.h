// Driving the real program's window in the tests that run it under Xvfb:
// waiting for it to end, sending it keys, reading its pixels back.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/zeX11FindWindow.h"

namespace zetest {

// The child's exit code, 128 when a signal ended it, or -1 (after killing it)
// when it is still running after `seconds`.
inline int waitExit(pid_t child, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return -1;
}

inline void sendKey(Display* display, Window window, KeySym key, bool press) {
  XEvent event{};
  event.xkey.type = press ? KeyPress : KeyRelease;
  event.xkey.display = display;
  event.xkey.window = window;
  event.xkey.root = DefaultRootWindow(display);
  event.xkey.same_screen = True;
  event.xkey.keycode = XKeysymToKeycode(display, key);
  XSendEvent(display, window, True, press ? KeyPressMask : KeyReleaseMask, &event);
  XFlush(display);
}

// A press and its release.
inline void pressKey(Display* display, Window window, KeySym key) {
  sendKey(display, window, key, true);
  sendKey(display, window, key, false);
}

// The window's pixels as 0xRRGGBB, row by row; empty when it cannot be read.
inline std::vector<unsigned long> windowPixels(Display* display, Window window, int width, int height) {
  std::vector<unsigned long> pixels;
  if (XImage* image = XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap)) {
    pixels.reserve(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
  }
  return pixels;
}

// The scene viewer (`executable`) paused at `frame` in a width x height window,
// its pixels read back once it settled, then Escape.
struct ViewerShot {
  std::vector<unsigned long> pixels;  // empty when no window titled "Zarn" appeared
  int exitCode = -2;
};

inline ViewerShot viewPausedAt(const char* executable, const std::string& scene, int frame, int width, int height) {
  ViewerShot shot;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return shot;
  const std::string size = std::to_string(width) + "x" + std::to_string(height), start = std::to_string(frame);
  const pid_t child = fork();
  if (child == 0) {
    setenv("ZARN_NONINTERACTIVE", "1", 1);
    execl(executable, executable, "-display", size.c_str(), "-windowed", "1", "-userlog", scene.c_str(), "-paused",
          "-framestart", start.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Window window = 0;
  for (int i = 0; i < 300 && !window; ++i) {
    window = zeX11FindWindow(display, DefaultRootWindow(display), "Zarn");
    if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (window) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    shot.pixels = windowPixels(display, window, width, height);
    pressKey(display, window, XK_Escape);
  }
  shot.exitCode = waitExit(child, window ? 10 : 0);
  XCloseDisplay(display);
  return shot;
}

}  // namespace zetest
