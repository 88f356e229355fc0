// The material renderers' callback for effects. Irrlicht 1.8 tells a shader
// callback nothing about what is drawn, so the engine's draw path names the
// effect, technique, pass and draw context here before each buffer it draws
// and clears them after; a draw the engine did not name sets no constants.
#pragma once

#include <irrlicht.h>

#include "effect/zeEffectBindContext.h"

class CZeEffect;

class CZeEffectCallback : public irr::video::IShaderConstantSetCallBack {
 public:
  void setDraw(const CZeEffect* effect, int technique, int pass, SZeEffectDrawContext* context) {
    effect_ = effect;
    technique_ = technique;
    pass_ = pass;
    context_ = context;
  }
  void clearDraw() { setDraw(nullptr, 0, 0, nullptr); }
  const CZeEffect* effect() const { return effect_; }
  SZeEffectDrawContext* context() const { return context_; }
  void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
  int unnamedDraws = 0;  // draws that reached a shader without the engine naming them

 private:
  const CZeEffect* effect_ = nullptr;
  int technique_ = 0, pass_ = 0;
  SZeEffectDrawContext* context_ = nullptr;
};
