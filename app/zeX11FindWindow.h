// Finds a window by its exact title below `from` (depth first), or 0. Plain
// Xlib and header only, so the small tools that talk to the viewer's window
// (zarn-sync) use it without linking the engine.
#pragma once

#include <X11/Xlib.h>

#include <cstring>

inline Window zeX11FindWindow(Display* display, Window from, const char* title) {
  char* name = nullptr;
  if (XFetchName(display, from, &name) && name) {
    const bool match = std::strcmp(name, title) == 0;
    XFree(name);
    if (match) return from;
  }
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(display, from, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) found = zeX11FindWindow(display, children[i], title);
    if (children) XFree(children);
  }
  return found;
}
