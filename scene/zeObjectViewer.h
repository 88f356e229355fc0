// The object viewer: one object turned by the mouse and the arrow keys, zoomed
// by the wheel, animated at 30 frames per second when it has frames. Runs on a
// started engine; the entry starts and stops it.
#pragma once

// A front end's view of its own loop, for tests: called after every rendered
// frame (numbered from 0); false ends the loop.
struct ZeObjectViewerHooks {
  bool (*afterFrame)(int frame, void* user) = nullptr;
  void* user = nullptr;
};

// 0, or -1 when the object cannot be loaded ("Failed to load object %s\n").
int zeObjectViewer(const char* path);
int zeRunObjectViewer(const char* path, const ZeObjectViewerHooks* hooks);
