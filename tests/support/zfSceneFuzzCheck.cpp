// One input of the ZF fuzzer as a scene; see zfSceneFuzzCheck.h.
#include "support/zfSceneFuzzCheck.h"

#include <cstring>
#include <vector>

#include "zf/zfScene.h"

namespace {

volatile float sink;
volatile size_t textSink;

void use(float v) { sink = v; }
void use(ZF_Float3 v) { sink = v.x + v.y + v.z; }
void text(const char* t) {
  if (t) textSink = std::strlen(t);
}
void scalar(const ZF_Entry* e, float t) {
  if (e) use(ZF_FP_Lerp(e, t)), use(ZF_FP_Step(e, t));
}
void vec(const ZF_Entry* e, float t) {
  if (e) use(ZF_FP3_Lerp(e, t));
}
void rot(const ZF_Entry* e, float t) {
  if (e) use(ZF_FP3_Slerp_HPB_To_XYZ(e, t));
}
// Emitter keys are kept as found: the emitter layer reads them by kind.
void any(const ZF_Entry* e, float t) {
  if (!e || e->kind == ZF_NODE) return;
  if (e->kind == ZF_ARRAY) use(ZF_FP3_Lerp(e, t));
  else if (e->type == ZF_STR) text(static_cast<const char*>(e->value.data));
  else use(ZF_FP_At(e, 0));
}

void evaluate(const ZF_SceneView& v, float t) {
  static ZF_EffectParams params;
  static std::vector<ZF_SurfaceParams> surfaces(ZF_MAX_SURFACES);
  scalar(v.renderCamera, t);
  vec(v.ambient, t);
  scalar(v.glowIntensity, t);
  scalar(v.glowRadius, t);
  for (const ZF_Entry* e : v.renderSettings) {
    if (e && e->kind == ZF_ARRAY) vec(e, t);
    else if (e && (e->type == ZF_FP || e->type == ZF_FP_C)) scalar(e, t);
  }
  for (const ZF_CameraRec& c : v.cameras) {
    vec(c.position, t), rot(c.rotation, t), scalar(c.zoomFactor, t), scalar(c.focalDistance, t);
    scalar(c.fStop, t), scalar(c.separation, t), scalar(c.convergencePoint, t);
  }
  for (const ZF_LightRec& l : v.lights) {
    vec(l.position, t), rot(l.rotation, t), vec(l.color, t), scalar(l.intensity, t), scalar(l.range, t);
    if (l.coneAngles) use(ZF_FP2_Lerp(l.coneAngles, t).x);
    scalar(l.distantShadowPositionOffset, t), scalar(l.distantShadowDimWidth, t);
    scalar(l.distantShadowDimHeight, t), vec(l.volumetricColor, t);
    for (const ZF_Entry* e : l.volumetric) scalar(e, t);
    text(l.name), text(l.projImage);
  }
  for (const ZF_EmitterRec& e : v.emitters) {
    vec(e.position, t), rot(e.rotation, t), vec(e.scale, t);
    for (const ZF_Entry* x : e.hv) any(x, t);
    for (const ZF_Entry* x : e.pfx) any(x, t);
    ZF_EffectParamsEval(e.effect, t, &params);
  }
  for (const ZF_ObjectRec& o : v.objects) {
    vec(o.position, t), rot(o.rotation, t), vec(o.scale, t), scalar(o.mddTimes, t);
    text(o.zfilename), text(o.name), text(o.vertexTextureName), text(o.mddFile);
    int indices[ZF_MAX_MORPH_WEIGHTS];
    float weights[ZF_MAX_MORPH_WEIGHTS];
    use(static_cast<float>(ZF_MorphWeightsEval(&o, t, indices, weights)));
    for (const ZF_CubeInfluence& i : o.influences) {
      vec(i.aabbPosition, t), vec(i.aabbScale, t), scalar(i.influence, t);
      if (i.cubeMap >= 0) text(v.cubeMaps.at(i.cubeMap).name);
    }
    if (o.sceneObject >= 0)
      use(static_cast<float>(ZF_SurfaceParamsEval(&v.sceneObjects.at(o.sceneObject), t, surfaces.data(),
                                                  ZF_MAX_SURFACES)));
  }
  for (const ZF_CubeMapRec& c : v.cubeMaps) {
    vec(c.position, t), vec(c.cameraOffset, t);
    for (int k : c.hideSet) text(v.objects.at(k).name);
    for (int k : c.showSet) text(v.objects.at(k).name);
  }
  for (const ZF_CameraShaderRec& c : v.cameraShaders) ZF_EffectParamsEval(c.effect, t, &params);
  for (const ZF_EffectDesc* e : v.renderEffects) ZF_EffectParamsEval(e, t, &params);
  for (const ZF_RenderCommand& c : v.renderCommands) {
    text(c.name), text(c.cmd);
    for (int i = 0; i < c.inputCount; ++i) text(c.inputs[i].slot), text(c.inputs[i].texture);
    for (int i = 0; i < c.outputCount; ++i) text(c.outputs[i].slot), text(c.outputs[i].texture);
    for (int i = 0; i < c.paramCount; ++i) text(c.params[i].name), text(c.params[i].text);
  }
}

}  // namespace

void zfSceneFuzzCheck(const uint8_t* data, std::size_t size) {
  ZF_SceneView* view = ZF_SceneOpenDocument(ZF_LoadMemory(data, size));
  if (!view) return;
  for (float t : {-1.0f, 0.0f, 0.5f, 3.7f, 1e9f}) evaluate(*view, t);
  ZF_SceneClose(view);
}
