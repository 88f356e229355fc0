// What the scene benchmarks share: the engine on the NULL driver with the
// scene runtime, and meshes in its cache.
#pragma once

#include <irrlicht.h>

#include <cstdlib>

#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "render/CZeMainRenderer.h"
#include "scene/CZeSceneManager.h"
#include "scene/zeSceneSubsystem.h"

inline bool zeBenchStartNullEngine() {
  setenv("ZARN_DRIVER", "null", 1);
  zeSetMessageThreshold(ZE_WARN);
  zeDisableMessageBoxes();
  zeSceneRegister();
  zeInstallMainRenderer();
  ZeEngineSettings settings;
  settings.width = 64;
  settings.height = 48;
  return zeEngineStart(settings) == 0;
}

// A mesh of `buffers` one-triangle buffers under the name objects load `file` by.
inline void zeBenchCacheMesh(const char* file, int buffers) {
  irr::scene::SMesh* mesh = new irr::scene::SMesh;
  for (int b = 0; b < buffers; ++b) {
    irr::scene::SMeshBuffer* buffer = new irr::scene::SMeshBuffer;
    for (int i = 0; i < 3; ++i)
      buffer->Vertices.push_back(irr::video::S3DVertex(float(i), float(i % 2), float(b), 0, 0, -1,
                                                       irr::video::SColor(255, 255, 255, 255), 0, 0));
    for (irr::u16 i : {0, 1, 2}) buffer->Indices.push_back(i);
    buffer->recalculateBoundingBox();
    mesh->addMeshBuffer(buffer);
    buffer->drop();
  }
  mesh->recalculateBoundingBox();
  irr::scene::SAnimatedMesh* animated = new irr::scene::SAnimatedMesh(mesh);
  zeEngineContext().sceneManager->getMeshCache()->addMesh(zeObjectMeshName(file).c_str(), animated);
  animated->drop();
  mesh->drop();
}
