#include "app/zeLayoutWindow.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstring>
#include <string>

using namespace irr;

namespace {

bool deviceWindow(IrrlichtDevice* device, Display** display, Window* window) {
  if (!device || !device->getVideoDriver()) return false;
  video::IVideoDriver* driver = device->getVideoDriver();
  if (driver->getDriverType() != video::EDT_OPENGL) return false;
  const video::SExposedVideoData& data = driver->getExposedVideoData();
  *display = static_cast<Display*>(data.OpenGLLinux.X11Display);
  *window = static_cast<Window>(data.OpenGLLinux.X11Window);
  return *display && *window;
}

// A top-level window is a child of the root; with a window manager it may be
// the client inside a frame, so one level below is looked at too.
Window layoutAmong(Display* display, Window parent, int depth) {
  Window root, up, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name) {
      if (zeIsLayoutTitle(name)) found = children[i];
      XFree(name);
    }
    if (!found && depth > 0) found = layoutAmong(display, children[i], depth - 1);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

bool zeIsLayoutTitle(const char* title) {
  if (!title) return false;
  const std::string head(title, strnlen(title, 79));
  return head.find("LightWave") != std::string::npos && head.find("NewTek") != std::string::npos &&
         head.find("Layout") != std::string::npos && head.find(".exe") == std::string::npos;
}

Window zeX11FindLayoutWindow(Display* display) {
  if (!display) return 0;
  return layoutAmong(display, DefaultRootWindow(display), 1);
}

void zeX11SetOwner(Display* display, Window window, Window owner) {
  XSetTransientForHint(display, window, owner);
  XFlush(display);
}

void zeX11SetAbove(Display* display, Window window) {
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
  // Keep the states already there; add "above" once.
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool present = false;
  if (XGetWindowProperty(display, window, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) ==
          Success &&
      data) {
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) present = present || atoms[i] == above;
    XFree(data);
  }
  if (!present)
    XChangeProperty(display, window, state, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(&above), 1);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = state;
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1;  // _NET_WM_STATE_ADD
  event.xclient.data.l[1] = static_cast<long>(above);
  event.xclient.data.l[3] = 1;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
}

int zeAttachToLayout(IrrlichtDevice* device) {
  Display* display = nullptr;
  Window window = 0;
  if (!deviceWindow(device, &display, &window)) return -1;
  const Window layout = zeX11FindLayoutWindow(display);
  if (!layout) return -1;
  zeX11SetOwner(display, window, layout);
  return 0;
}

int zeMakeWindowTopMost(IrrlichtDevice* device) {
  Display* display = nullptr;
  Window window = 0;
  if (!deviceWindow(device, &display, &window)) return -1;
  zeX11SetAbove(display, window);
  return 0;
}
