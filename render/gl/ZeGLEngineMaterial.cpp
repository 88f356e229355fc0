#include "render/gl/ZeGLEngineMaterial.h"

#include <epoxy/gl.h>

namespace {
const SZeFxMaterial* current = nullptr;
}

void zeGLSetEngineMaterial(const SZeFxMaterial* record) { current = record; }
const SZeFxMaterial* zeGLEngineMaterial() { return current; }

void ZeGLEngineStates::apply(const SZeFxMaterial* record) {
  restore();
  if (!record) return;
  // Irrlicht 1.8 has no "never" comparison (its lowest value turns the test off).
  if (record->depthFunc == ZE_FX_DEPTH_NEVER) {
    depthWasEnabled_ = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc_);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_NEVER);
    depthChanged_ = true;
  }
  // Point clouds take their size from the vertex shader (PSIZE).
  if (record->pointCloud) {
    pointSizeWasEnabled_ = glIsEnabled(GL_PROGRAM_POINT_SIZE) == GL_TRUE;
    glEnable(GL_PROGRAM_POINT_SIZE);
    pointSizeChanged_ = true;
  }
}

void ZeGLEngineStates::restore() {
  if (depthChanged_) {
    if (!depthWasEnabled_) glDisable(GL_DEPTH_TEST);
    glDepthFunc(GLenum(depthFunc_));
    depthChanged_ = false;
  }
  if (pointSizeChanged_) {
    if (!pointSizeWasEnabled_) glDisable(GL_PROGRAM_POINT_SIZE);
    pointSizeChanged_ = false;
  }
}
