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
#include "support/programWindow.h"

namespace {

using namespace zetest;

constexpr const char* kExample = "../../examples/object/example.x";

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

  pressKey(display, window, XK_Escape);
  EXPECT_EQ(waitExit(child, 10), 0);
  XCloseDisplay(display);
}
