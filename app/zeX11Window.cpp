#include "app/zeX11Window.h"

#include "app/zeDisplayModes.h"

#include <unistd.h>

#include <cstdlib>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

using namespace irr;

namespace {

struct XWindowRef {
  Display* display = nullptr;
  Window window = 0;
  explicit operator bool() const { return display && window; }
};

XWindowRef windowOf(IrrlichtDevice* device) {
  XWindowRef ref;
  if (!device || !device->getVideoDriver()) return ref;
  video::IVideoDriver* driver = device->getVideoDriver();
  if (driver->getDriverType() != video::EDT_OPENGL) return ref;
  const video::SExposedVideoData& data = driver->getExposedVideoData();
  ref.display = static_cast<Display*>(data.OpenGLLinux.X11Display);
  ref.window = static_cast<Window>(data.OpenGLLinux.X11Window);
  return ref;
}

// Asks the window manager (when there is one) to add or remove the maximised state.
void setMaximised(const XWindowRef& ref, bool on) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = ref.window;
  event.xclient.message_type = XInternAtom(ref.display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD / _REMOVE
  event.xclient.data.l[1] = static_cast<long>(XInternAtom(ref.display, "_NET_WM_STATE_MAXIMIZED_VERT", False));
  event.xclient.data.l[2] = static_cast<long>(XInternAtom(ref.display, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
  event.xclient.data.l[3] = 1;
  XSendEvent(ref.display, DefaultRootWindow(ref.display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

}  // namespace

namespace zeX11 {

bool hasWindow(IrrlichtDevice* device) { return static_cast<bool>(windowOf(device)); }

void show(IrrlichtDevice* device) {
  XWindowRef ref = windowOf(device);
  if (!ref) return;
  setMaximised(ref, false);
  XMapRaised(ref.display, ref.window);
  XFlush(ref.display);
}

void hide(IrrlichtDevice* device) {
  XWindowRef ref = windowOf(device);
  if (!ref) return;
  XUnmapWindow(ref.display, ref.window);
  XFlush(ref.display);
}

void maximize(IrrlichtDevice* device) {
  XWindowRef ref = windowOf(device);
  if (!ref) return;
  XMapRaised(ref.display, ref.window);
  setMaximised(ref, true);
  XFlush(ref.display);
}

void minimize(IrrlichtDevice* device) {
  XWindowRef ref = windowOf(device);
  if (!ref) return;
  XIconifyWindow(ref.display, ref.window, DefaultScreen(ref.display));
  XFlush(ref.display);
}

void restore(IrrlichtDevice* device) {
  XWindowRef ref = windowOf(device);
  if (!ref) return;
  XMapWindow(ref.display, ref.window);
  setMaximised(ref, false);
  XFlush(ref.display);
}

void place(IrrlichtDevice* device, int x, int y) {
  XWindowRef ref = windowOf(device);
  if (!ref) return;
  if (x == -1 && y == -1) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(ref.display, ref.window, &attributes)) return;
    const int screen = DefaultScreen(ref.display);
    x = (DisplayWidth(ref.display, screen) - attributes.width) / 2;
    y = (DisplayHeight(ref.display, screen) - attributes.height) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
  }
  XMoveWindow(ref.display, ref.window, x, y);
  XFlush(ref.display);
}

bool pointer(IrrlichtDevice* device, int* x, int* y) {
  XWindowRef ref = windowOf(device);
  if (!ref) return false;
  Window root, child;
  int rootX, rootY, winX, winY;
  unsigned mask;
  if (!XQueryPointer(ref.display, ref.window, &root, &child, &rootX, &rootY, &winX, &winY, &mask)) return false;
  *x = winX;
  *y = winY;
  return true;
}

bool holdDisplay() {
  static Display* held = nullptr;
  if (held) return true;
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return false;
  for (int attempt = 0; attempt < 20 && !held; ++attempt) {
    held = XOpenDisplay(nullptr);
    if (!held) ::usleep(50 * 1000);
  }
  return held != nullptr;
}

bool displayModes(std::vector<ZeDisplayMode>* modes, ZeDisplayMode* desktop) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const int screen = DefaultScreen(display);
  const int depth = DefaultDepth(display, screen);
  *desktop = {DisplayWidth(display, screen), DisplayHeight(display, screen), depth, 0};
  int eventBase, errorBase;
  XRRScreenResources* resources = nullptr;
  if (XRRQueryExtension(display, &eventBase, &errorBase))
    resources = XRRGetScreenResources(display, RootWindow(display, screen));
  if (resources) {
    for (int i = 0; i < resources->nmode; ++i) {
      const XRRModeInfo& info = resources->modes[i];
      const double frame = static_cast<double>(info.hTotal) * info.vTotal;
      const int refresh = frame > 0 ? static_cast<int>(info.dotClock / frame + 0.5) : 0;
      modes->push_back({static_cast<int>(info.width), static_cast<int>(info.height), depth, refresh});
    }
    XRRFreeScreenResources(resources);
  }
  // A server without RandR still has the desktop's own mode.
  if (modes->empty()) modes->push_back(*desktop);
  XCloseDisplay(display);
  return true;
}

}  // namespace zeX11
