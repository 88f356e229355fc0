// The scene viewer: plays one scene in a loop with an on-screen clock, pause,
// scrubbing and loop keys, screenshots and the live update of a scene whose
// file changes. With the convert bit it only writes the scene's binary form.
#pragma once

#include "app/zeCommandLine.h"

// What a frame showed, for tests.
struct SZeViewerFrame {
  int sceneTimeMs = 0;
  bool paused = false;
  bool loop = false;
  int updateStatus = 0;  // 0 fine, -1 waiting for the file, else the failed update
  bool ride = false;
  int rideSpeed = 0;  // cm/s
};

// A test's view of the loop.
class IZeSceneViewerHooks {
 public:
  virtual ~IZeSceneViewerHooks() = default;
  // After every frame (numbered from 0); false ends the loop.
  virtual bool afterFrame(int frame, const SZeViewerFrame& shown) = 0;
  // The clock (ms) the viewer reads instead of the engine timer; false (the
  // default): the engine timer.
  virtual bool clock(unsigned* ms) { return false; }
};

// 0 when the viewer ended normally or a conversion finished, -1 when no file
// was chosen or the scene failed to load (or could not be converted).
int zeSceneViewer(const char* path, ViewerOptions* options);
int zeRunSceneViewer(const char* path, const ViewerOptions& options, IZeSceneViewerHooks* hooks);

// Conversion: `<path>.bin` beside the scene, in the binary form. 0, or -1
// with the reason. No engine is needed.
int zeConvertSceneToBinary(const char* path);
