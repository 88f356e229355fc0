#include "particles/zeFxEmitterSceneSeam.h"

#include <cmath>
#include <vector>

#include "base/zeFile.h"
#include "particles/CZeParticleSystemSceneNode.h"
#include "particles/zeFxEmitter.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeSceneSeams.h"

namespace {

// Element i of a value: an FP value's numbers are its elements.
float at(const ZF_Entry* e, uint32_t i) {
  if (!e || e->kind != ZF_VALUE || i >= e->value.count) return 0.0f;
  const float v = e->type == ZF_FP ? static_cast<const float*>(e->value.data)[i] : ZF_FP_At(e, i);
  return std::isfinite(v) ? v : 0.0f;
}
int intAt0(const ZF_Entry* e) {
  if (!e || e->kind != ZF_VALUE || e->count == 0) return 0;
  if (e->type == ZF_I4 || e->type == ZF_U4) return static_cast<const int32_t*>(e->value.data)[0];
  return static_cast<int>(ZF_FP_At(e, 0));
}
const char* text(const ZF_Entry* e) {
  return e && e->kind == ZF_VALUE && e->type == ZF_STR ? static_cast<const char*>(e->value.data) : "";
}

class EmitterSeam : public CZeEmittersSeam {
 public:
  explicit EmitterSeam(SZeEffectCommandEnv (*effects)()) : effects_(effects) {}

  bool available() override { return true; }

  int make(int id, const ZF_EmitterRec& r, int object) override {
    const char* clip = text(r.hv[ZF_HV_CLIPFILENAME]);
    if (r.type == 1) return zeMakeFxEmitterMeshStatic(id, clip, object);
    const ZF_Entry* size = r.pfx[ZF_PFX_GENERATORSIZE];
    switch (intAt0(r.pfx[ZF_PFX_NOZZLE])) {
      case 0: return zeMakeFxEmitterBox(id, clip, at(size, 0), at(size, 1), at(size, 2));
      case 1: return zeMakeFxEmitterSphere(id, clip, at(size, 0), at(size, 1), at(size, 2));
      case 2: return zeMakeFxEmitterMeshVertices(id, clip, object);
      case 3: return zeMakeFxEmitterMeshNormal(id, clip, object);
      case 5: return zeMakeFxEmitterMeshSurface(id, clip, object);
      case 8: return zeMakeFxEmitterFromParent(id, clip, -1, false);  // the parent comes in a second pass
      case 9: return zeMakeFxEmitterFromParent(id, clip, -1, true);
      default: return -1;
    }
  }

  bool exists(int id) override { return zeFxEmitterExists(id); }

  void configure(int id, const ZF_EmitterRec& r, const ZF_EffectParams*) override {
    CZeParticleSystemSceneNode* node = zeFxEmitterNode(id);
    if (!node) return;
    if (IZeSceneNodeExt* ext = zeFindNodeExt(node)) ext->setSelectionMask(static_cast<irr::u32>(r.selectionMask));
    zeSetFxEmitterParticleSize(id, at(r.hv[ZF_HV_PARTICLESIZE], 0));
    zeSetFxEmitterLifeTime(id, at(r.pfx[ZF_PFX_LIFETIME], 0), at(r.pfx[ZF_PFX_LIFETIME_PM], 0));
    zeSetFxEmitterExplosion(id, at(r.pfx[ZF_PFX_EXPLOSION], 0));
    zeSetFxEmitterParticleLimit(id, intAt0(r.pfx[ZF_PFX_PARTICLELIMIT]));
    zeSetFxEmitterBlendMode(id, intAt0(r.hv[ZF_HV_CLIPALPHA]));
    if (intAt0(r.hv[ZF_HV_CLIPFLAGS]) & 2) {
      zeSetFxEmitterUseImageColor(id);
    } else {
      const ZF_Entry* c = r.hv[ZF_HV_COLOR];
      SZeParticleLook& look = node->look();
      look.useImageColour = false;
      for (int k = 0; k < 3; ++k) look.colour[k] = at(c, k);
      look.colour[3] = 1;
    }
    zeSetFxEmitterRotation(id, at(r.hv[ZF_HV_CLIPROTATION], 0));
    gradient(r.hv[ZF_HV_GRADIENTPARTICLESIZE], [&](const float* v, int n) { zeSetFxEmitterSizeGradient(id, v, n); });
    gradient(r.hv[ZF_HV_GRADIENTCOLOR], [&](const float* v, int n) { zeSetFxEmitterColorGradient(id, v, n); });
    // The particle effect file arrives with particle drawing.
    const char* effect = zeFindKnownFile("Particle.dae");
    if (zeFileExists(effect)) {
      SZeEffectCommandEnv env = effects_();
      zeSetFxEmitterDefaultEffect(env, id);
    } else {
      zeSceneSeamUnbuilt("particle effects");
    }
  }

  void lock(int id) override { zeLockFxEmitterOn(id); }

  void setParent(int id, int parent) override {
    if (parent >= 0) zeSetFxEmitterParent(id, parent);
    else if (CZeParticleSystemSceneNode* node = zeFxEmitterNode(id)) node->emitter().setParent(nullptr);
  }

  void animate(int id, const ZeEmitterFrame& f, const ZF_EffectParams*) override {
    zePositionFxEmitter(id, f.position.x, f.position.y, f.position.z);
    zeRotateFxEmitter(id, f.rotationDegrees.x, f.rotationDegrees.y, f.rotationDegrees.z);
    zeSetFxEmitterBirthRate(id, f.birthRate);
    zeSetFxEmitterVelocity(id, f.velocity.x, f.velocity.y, f.velocity.z);
    zeSetFxEmitterParentMotion(id, f.parentMotion);
    zeSetFxEmitterGravity(id, f.gravity.x, f.gravity.y, f.gravity.z);
    zeSetFxEmitterLifeTime(id, f.lifeTime, f.lifeTimeVariation);
    zeSetFxEmitterExplosion(id, f.explosion);
    zeSetFxEmitterWeight(id, f.weight);
    zeSetFxEmitterResistance(id, f.resistance);
    zeSetFxEmitterVibration(id, f.vibration);
    zeSetFxEmitterRandomVelocity(id, f.randomVelocity);
    zeSetFxEmitterCurlNoise(id, f.curlNoisePower, f.curlNoiseFrequency);
  }

  void reset(int id) override { zeFxResetEmitter(id); }
  void setVisible(int id, bool visible) override { visible ? zeShowFxEmitter(id) : zeHideFxEmitter(id); }
  void destroy(int id) override { zeDeleteFxEmitter(id); }

 private:
  // A gradient's values (none when fewer than five).
  template <typename F>
  void gradient(const ZF_Entry* e, F&& set) {
    if (!e || e->kind != ZF_VALUE || e->value.count < 5) return;
    values_.resize(e->value.count);
    for (uint32_t i = 0; i < e->value.count; ++i) values_[i] = at(e, i);
    set(values_.data(), static_cast<int>(values_.size()));
  }

  SZeEffectCommandEnv (*effects_)();
  std::vector<float> values_;
};

}  // namespace

void zeInstallFxEmitterSceneSeam(SZeEffectCommandEnv (*effects)()) {
  static EmitterSeam seam(effects);
  ZeSceneSeams seams = zeSceneSeams();
  seams.emitters = &seam;
  zeSetSceneSeams(seams);
}
