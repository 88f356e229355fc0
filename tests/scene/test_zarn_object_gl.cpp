// The executable end to end: `zarn examples/object/example.x` opens a window
// titled "Zarn" that shows the object centred on the backdrop, and Escape ends
// the run with exit code 0.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "app/zeX11FindWindow.h"

namespace {

constexpr const char* kExample = "../../examples/object/example.x";

void sendKey(Display* display, Window window, KeySym key, bool press) {
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

// Waits up to `seconds` for the child; its exit status, or -1 when it is still running.
int waitExit(pid_t child, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

}  // namespace

TEST(ZarnObject, ExampleObjectOpensInTheViewerAndEscapeEndsTheRun) {
  ASSERT_EQ(::access(kExample, R_OK), 0);
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "no X display";

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("ZARN_NONINTERACTIVE", "1", 1);
    execl(ZARN_EXECUTABLE, ZARN_EXECUTABLE, "-display", "160x120", "-windowed", "1", "-userlog", kExample,
          static_cast<char*>(nullptr));
    _exit(127);
  }

  Window window = 0;
  for (int i = 0; i < 200 && !window; ++i) {
    window = zeX11FindWindow(display, DefaultRootWindow(display), "Zarn");
    if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!window) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    FAIL() << "no window titled Zarn";
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // some frames

  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
  EXPECT_EQ(attributes.width, 160);
  EXPECT_EQ(attributes.height, 120);
  XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  const unsigned long corner = XGetPixel(image, 1, 1) & 0xFFFFFF;
  const unsigned long centre = XGetPixel(image, attributes.width / 2, attributes.height / 2) & 0xFFFFFF;
  XDestroyImage(image);
  EXPECT_EQ(corner, 0x113366ul);
  EXPECT_NE(centre, 0x113366ul);

  sendKey(display, window, XK_Escape, true);
  sendKey(display, window, XK_Escape, false);
  const int code = waitExit(child, 10);
  if (code == -1) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  EXPECT_EQ(code, 0);
  XCloseDisplay(display);
}
