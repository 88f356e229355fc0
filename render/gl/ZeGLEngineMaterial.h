// The engine's material record of the draw about to happen, for the render
// states Irrlicht 1.8's material cannot carry (a "never" depth comparison,
// shader-written point sizes). The drawing code names the record before
// setting the Irrlicht material and clears it after the draw; the shader
// material renderers read it while the material is set.
//
// States set from the record are put back before Irrlicht sets its own again
// and when the material is unset, so Irrlicht's view of the GL state stays true.
#pragma once

#include "effect/zeFxMaterial.h"

// nullptr: no engine record (Irrlicht's material says everything).
void zeGLSetEngineMaterial(const SZeFxMaterial* record);
const SZeFxMaterial* zeGLEngineMaterial();

// The engine states one material renderer set, and what they replaced.
class ZeGLEngineStates {
 public:
  // Sets what the record asks beyond Irrlicht's states, saving what it changes.
  void apply(const SZeFxMaterial* record);
  // Puts back what apply changed (nothing when it changed nothing).
  void restore();

 private:
  bool depthChanged_ = false;
  bool depthWasEnabled_ = false;
  int depthFunc_ = 0;
  bool pointSizeChanged_ = false;
  bool pointSizeWasEnabled_ = false;
};
