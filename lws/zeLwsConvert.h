// A LightWave scene as the engine's ZF scene document: every item's motion
// sampled once per frame at the scene's rate, parents and pivots baked into
// world-space channels, object files found on disk.
#pragma once

#include "lws/zeLwsScene.h"
#include "zf/zfDocument.h"

#include <string>

struct ZeLwsConvertOptions {
  // Folder the written object paths are relative to; empty: the scene's own
  // folder (where the viewer runs the scene from).
  std::string relativeTo;
};

// True for a name ending in ".lws" (any letter case).
bool zeLwsIsSceneFile(const char* path);

// Reads `path` through the file hooks and converts it; null after a message
// naming the file (and line) when it is not a scene or cannot be sampled.
ZF_Document* zeLwsLoadDocument(const char* path, const ZeLwsConvertOptions& options = {});

// The conversion alone. Object paths resolve against `sceneFolder` and the
// folders above it (the content directory). Null after a message.
ZF_Document* zeLwsConvert(const ZeLwsScene& scene, const std::string& sceneFolder,
                          const ZeLwsConvertOptions& options = {});

// Lets every scene open (the viewer, live update, scripts) read .lws files.
void zeLwsInstallSceneReader();

// At most this many item-frames are sampled (items x frames), so a file
// asking for a billion frames is refused instead of exhausting memory.
constexpr double ZE_LWS_MAX_ITEM_FRAMES = 8.0e6;
