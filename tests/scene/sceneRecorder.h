// A recording implementation of every scene seam: each call becomes one
// line ("glow 1 0.5 2 1"), so tests check which setter got which values in
// which order. Made things exist so that the scene goes on using them.
#pragma once

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "scene/zeSceneSeams.h"
#include "support/countingRenderer.h"

class SceneRecorder : public CZeSceneRendererSeam,
                      public CZeRenderSettingsSeam,
                      public CZeCubeMapsSeam,
                      public CZeCameraShadersSeam,
                      public CZeEmittersSeam,
                      public CZeSceneMeshesSeam {
 public:
  std::vector<std::string> calls;
  std::set<int> cubes, emitters, probes;
  int surfaceCount = -1;
  bool failCameraShaders = false;

  void install() { zeSetSceneSeams(ZeSceneSeams{this, this, this, this, this, this}); }
  static void uninstall() { zeSetSceneSeams(ZeSceneSeams{}); }

  // The recorded lines that start with `prefix`.
  std::vector<std::string> with(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
  }
  template <class... A>
  void note(const char* format, A... args) {
    char line[256];
    std::snprintf(line, sizeof line, format, args...);
    calls.push_back(line);
  }

  bool available() override { return true; }
  bool cubeMapsAvailable() override { return true; }
  bool probesAvailable() override { return true; }

  // Renderer
  int createRendererTextures(const ZF_SceneView&) override { return note("textures"), 0; }
  int loadEffect(int id, const ZF_EffectParams& p) override { return note("effect %d %s", id, p.filename), 0; }
  void setEffectParams(int id, const ZF_EffectParams& p) override { note("effectParams %d %d", id, p.count); }
  void deleteEffect(int id) override { note("deleteEffect %d", id); }
  int createRenderer(int id, int effectBase, int lightBase, const ZF_SceneView&) override {
    return note("renderer %d %d %d", id, effectBase, lightBase), 0;
  }
  // Lives as long as the recorder; the renderer registration only grabs it.
  CountingRenderer sceneRenderer;
  IZeRenderer* renderer(int) override { return &sceneRenderer; }
  void deleteRenderer(int id) override { note("deleteRenderer %d", id); }
  void sceneShown(int id) override { note("shown %d", id); }

  // Settings
  void setVelocityFlags(int a, int b) override { note("velocity %d %d", a, b); }
  void setColorSpaceViewer(int v) override { note("colorSpace %d", v); }
  void setGlow(int on, float i, float r, float s) override { note("glow %d %g %g %g", on, i, r, s); }
  void setBloomEnable(int on) override { note("bloomEnable %d", on); }
  void setBloom(float t, float i) override { note("bloom %g %g", t, i); }
  void setStreakEnable(int on) override { note("streakEnable %d", on); }
  void setStreak(float t, float i, ZeVec3 c, float a, float d) override {
    note("streak %g %g %g %g %g %g %g", t, i, c.x, c.y, c.z, a, d);
  }
  void setSSAOEnable(int on) override { note("ssaoEnable %d", on); }
  void setSSAO(float a, float b, float c, float d) override { note("ssao %g %g %g %g", a, b, c, d); }
  void setShadowEnable(int on) override { note("shadowEnable %d", on); }
  void setShadowEpsilon(float e) override { note("shadowEpsilon %g", e); }
  void setAntialias(int a, int b, int c, int d, int e, int f, float g) override {
    note("aa %d %d %d %d %d %d %g", a, b, c, d, e, f, g);
  }
  void setCameraDOF(int on, float f, float s) override { note("dof %d %g %g", on, f, s); }
  void setCameraAdvancedDOF(int on, float a, float b, float c, float d) override {
    note("advancedDof %d %g %g %g %g", on, a, b, c, d);
  }
  void setCameraStereo(int on, float s, int u, float c) override { note("stereo %d %g %d %g", on, s, u, c); }

  // Cube maps and probes
  int makeCubeMap(int id, int size, bool dynamic, bool latLong) override {
    cubes.insert(id);
    return note("cube %d %d %d %d", id, size, dynamic, latLong), 0;
  }
  bool cubeMapExists(int id) override { return cubes.count(id) != 0; }
  void deleteCubeMap(int id) override { cubes.erase(id), note("deleteCube %d", id); }
  void markCubeMapsUnrendered() override { note("unrendered"); }
  void renderCubeMap(int id, ZeVec3 c, int flag) override { note("renderCube %d %g %g %g %d", id, c.x, c.y, c.z, flag); }
  int makeProbes(int id, const char* name) override {
    probes.insert(id);
    return note("probes %d %s", id, name), 0;
  }
  bool probesExist(int id) override { return probes.count(id) != 0; }
  int initProbes(int id, int size, int count) override { return note("initProbes %d %d %d", id, size, count), 0; }
  void setProbe(int id, int i, ZeVec3 p, float r) override { note("probe %d %d %g %g %g %g", id, i, p.x, p.y, p.z, r); }
  void deleteProbes(int id) override { probes.erase(id), note("deleteProbes %d", id); }
  void renderProbes(int id) override { note("renderProbes %d", id); }
  void activateProbes(int id) override { note("activateProbes %d", id); }

  // Camera shaders
  int load(int id, const char* file, const char* cflags) override {
    note("loadShader %d %s %s", id, file, cflags);
    return failCameraShaders ? -1 : 0;
  }
  void show(int id, bool visible) override { note("showShader %d %d", id, visible); }
  void setParams(int id, const ZF_EffectParams& p) override { note("shaderParams %d %d", id, p.count); }
  void remove(int id) override { note("removeShader %d", id); }

  // Emitters
  int make(int id, const ZF_EmitterRec&, int object) override {
    emitters.insert(id);
    return note("emitter %d %d", id, object), 0;
  }
  bool exists(int id) override { return emitters.count(id) != 0; }
  void configure(int id, const ZF_EmitterRec&, const ZF_EffectParams*) override { note("configureEmitter %d", id); }
  void lock(int id) override { note("lockEmitter %d", id); }
  void setParent(int id, int parent) override { note("parent %d %d", id, parent); }
  void animate(int id, const ZeEmitterFrame& f, const ZF_EffectParams*) override {
    note("animateEmitter %d %g", id, f.birthRate);
  }
  void reset(int id) override { note("resetEmitter %d", id); }
  void setVisible(int id, bool visible) override { note("showEmitter %d %d", id, visible); }
  void destroy(int id) override { note("removeEmitter %d", id); }

  // Meshes
  void applySurfaces(int id, const ZF_SurfaceParams*, int count, bool initial) override {
    surfaceCount = count;
    note("surfaces %d %d %d", id, count, initial);
  }
  int loadPointCacheObject(int id, const char* file, const char* cache) override {
    return note("pointCache %d %s %s", id, file, cache), -1;
  }
  void setPointCachePostBehaviour(int id, int flag) override { note("postBehaviour %d %d", id, flag); }
  int loadPointCloud(int id, const char* file, int count, int flags) override {
    return note("pointCloud %d %s %d %d", id, file, count, flags), -1;
  }
  void setMorphWeights(int id, int count, const int* indices, const float* weights) override {
    std::string line = "morph " + std::to_string(id);
    for (int i = 0; i < count; ++i) line += " " + std::to_string(indices[i]) + ":" + std::to_string(weights[i]);
    calls.push_back(line);
  }
};
