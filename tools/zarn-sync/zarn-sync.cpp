// zarn-sync: sends a frame number to the scene viewer's window, as an editor's
// plug-in does, so the viewer shows that frame (it needs -syncupdate).
//
//   zarn-sync FRAME
//
// The frame goes as the X11 client message "ZARN_SYNC" {0x7000, FRAME} to the
// window titled "Zarn". Exits 0 when sent, 1 on a wrong command line or when
// there is no display or no such window.
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/zeX11FindWindow.h"
#include "base/zeProgramInfo.h"

namespace {

const char* const usageText =
    "Usage: zarn-sync FRAME\n"
    "Sends FRAME to the scene viewer's window (titled \"Zarn\"), which then shows\n"
    "that frame when it runs with -syncupdate. Exits 0 when sent, 1 on a wrong\n"
    "command line or when there is no display or no viewer window.\n"
    "\n"
    "Options:\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n";

constexpr long kSyncCode = 0x7000;

}  // namespace

int main(int argc, char** argv) {
  const int answered = zeAnswerHelpOrVersion(argc, argv, "zarn-sync", usageText);
  if (answered >= 0) return answered;
  if (argc != 2) return zeUsageError(usageText, 1);
  char* end = nullptr;
  errno = 0;
  const long frame = std::strtol(argv[1], &end, 10);
  if (end == argv[1] || *end != '\0' || errno == ERANGE || frame < -2147483647L || frame > 2147483647L)
    return zeUsageError(usageText, 1);

  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "zarn-sync: cannot open the X display\n");
    return 1;
  }
  const Window window = zeX11FindWindow(display, DefaultRootWindow(display), "Zarn");
  if (!window) {
    std::fprintf(stderr, "zarn-sync: no window titled \"Zarn\"\n");
    XCloseDisplay(display);
    return 1;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.display = display;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "ZARN_SYNC", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = kSyncCode;
  event.xclient.data.l[1] = frame;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  XCloseDisplay(display);
  return 0;
}
