// The object viewer: one object turned by the mouse and the arrow keys, zoomed
// by the wheel, animated at 30 frames per second when it has frames. Runs on a
// started engine; the entry starts and stops it.
#pragma once

// A test's view of the loop: called after every rendered frame (numbered
// from 0); false ends the loop.
class IZeObjectViewerHooks {
 public:
  virtual ~IZeObjectViewerHooks() = default;
  virtual bool afterFrame(int frame) = 0;
};

// 0, or -1 when the object cannot be loaded ("Failed to load object %s\n").
int zeObjectViewer(const char* path);
int zeRunObjectViewer(const char* path, IZeObjectViewerHooks* hooks);
