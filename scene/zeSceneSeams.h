// What the scene runtime hands to subsystems built by later work: the
// renderer and its render commands, render settings, cube maps and probes,
// camera shaders, emitters, surfaces, point caches and morphs.
//
// Each seam is a small class (CZe...Seam) whose default methods say once per
// scene load that the subsystem is not built yet (zeNotBuilt: "cube maps: not
// built yet"), and answer "not available"/"failed"/"absent", so loading goes on,
// makes nothing through an unavailable seam and nothing pretends to work. A subsystem replaces the default with its own object
// (zeSetSceneSeams); tests install recording ones. Surfaces, point caches and
// morph weights are built: their defaults call the object layer.
#pragma once

#include "zf/zfScene.h"

class IZeRenderer;

// Says "<what>: not built yet" once per load (zeNotBuilt; see zeSceneSeamsNewLoad).
void zeSceneSeamUnbuilt(const char* what);
// A new load or reload starts: every unbuilt seam may say so once again.
void zeSceneSeamsNewLoad();

struct ZeVec3 {
  float x, y, z;
};

// The renderer built from a scene's render commands, and its effects.
// Showing the scene makes that renderer current (app/IZeRenderer.h); hiding
// it makes the main renderer current again.
class CZeSceneRendererSeam {
 public:
  virtual ~CZeSceneRendererSeam() = default;
  // False while the subsystem is not built: the scene then makes nothing
  // through this seam (and reports no failures for it).
  virtual bool available() { return unbuilt(), false; }
  virtual int createRendererTextures(const ZF_SceneView&) { return unbuilt(); }
  virtual int loadEffect(int /*effectId*/, const ZF_EffectParams&) { return unbuilt(); }
  virtual void setEffectParams(int /*effectId*/, const ZF_EffectParams&) { unbuilt(); }
  virtual void deleteEffect(int /*effectId*/) { unbuilt(); }
  virtual int createRenderer(int /*rendererId*/, int /*effectBase*/, int /*lightBase*/, const ZF_SceneView&) {
    return unbuilt();
  }
  // The renderer createRenderer made for `rendererId`, or nullptr.
  virtual IZeRenderer* renderer(int /*rendererId*/) { return unbuilt(), nullptr; }
  virtual void deleteRenderer(int /*rendererId*/) { unbuilt(); }
  // The scene being shown (history-based effects restart).
  virtual void sceneShown(int /*sceneId*/) { unbuilt(); }

 private:
  static int unbuilt() {
    zeSceneSeamUnbuilt("renderers");
    return -1;
  }
};

// The render settings record and the engine camera's effects.
class CZeRenderSettingsSeam {
 public:
  virtual ~CZeRenderSettingsSeam() = default;
  virtual void setVelocityFlags(int /*solid*/, int /*transparent*/) { unbuilt(); }
  virtual void setColorSpaceViewer(int) { unbuilt(); }
  virtual void setGlow(int /*on*/, float /*intensity*/, float /*radius*/, float /*surfaceIntensity*/) { unbuilt(); }
  virtual void setBloomEnable(int) { unbuilt(); }
  virtual void setBloom(float /*threshold*/, float /*intensity*/) { unbuilt(); }
  virtual void setStreakEnable(int) { unbuilt(); }
  virtual void setStreak(float /*threshold*/, float /*intensity*/, ZeVec3 /*tint*/, float /*attenuation*/,
                         float /*angleDegrees*/) {
    unbuilt();
  }
  virtual void setSSAOEnable(int) { unbuilt(); }
  virtual void setSSAO(float /*reach*/, float /*maxDepthDecline*/, float /*aliasingEpsilon*/, float /*multiplier*/) {
    unbuilt();
  }
  virtual void setShadowEnable(int) { unbuilt(); }
  virtual void setShadowEpsilon(float) { unbuilt(); }
  virtual void setAntialias(int /*jitter*/, int /*location*/, int /*mode*/, int /*blending*/, int /*blendingWeight*/,
                            int /*vlimitEnable*/, float /*vlimitValue*/) {
    unbuilt();
  }
  virtual void setCameraDOF(int /*on*/, float /*focalDistance*/, float /*fStop*/) { unbuilt(); }
  virtual void setCameraAdvancedDOF(int /*on*/, float /*minFocus*/, float /*maxFocus*/, float /*focused*/,
                                    float /*radiusScale*/) {
    unbuilt();
  }
  virtual void setCameraStereo(int /*on*/, float /*separation*/, int /*useConvergence*/, float /*convergence*/) {
    unbuilt();
  }

 private:
  static void unbuilt() { zeSceneSeamUnbuilt("render settings"); }
};

// Cube maps and the probe set.
class CZeCubeMapsSeam {
 public:
  virtual ~CZeCubeMapsSeam() = default;
  virtual bool cubeMapsAvailable() { return cubes(), false; }
  virtual bool probesAvailable() { return probes(), false; }
  virtual int makeCubeMap(int /*id*/, int /*size*/, bool /*dynamic*/, bool /*latLong*/) { return cubes(); }
  virtual bool cubeMapExists(int /*id*/) { return false; }
  virtual void deleteCubeMap(int /*id*/) { cubes(); }
  virtual void markCubeMapsUnrendered() { cubes(); }
  virtual bool cubeMapRendered(int /*id*/) { return false; }
  virtual void renderCubeMap(int /*id*/, ZeVec3 /*centre*/, int /*flag*/) { cubes(); }
  virtual int makeProbes(int /*id*/, const char* /*textureName*/) { return probes(); }
  virtual bool probesExist(int /*id*/) { return false; }
  virtual int initProbes(int /*id*/, int /*textureSize*/, int /*count*/) { return probes(); }
  virtual void setProbe(int /*id*/, int /*index*/, ZeVec3 /*position*/, float /*radius*/) { probes(); }
  virtual void deleteProbes(int /*id*/) { probes(); }
  virtual bool probesRendered(int /*id*/) { return false; }
  virtual void renderProbes(int /*id*/) { probes(); }
  virtual void activateProbes(int /*id, -1 clears*/) { probes(); }

 private:
  static int cubes() {
    zeSceneSeamUnbuilt("cube maps");
    return -1;
  }
  static int probes() {
    zeSceneSeamUnbuilt("probes");
    return -1;
  }
};

// Full-screen camera shaders (camera effects).
class CZeCameraShadersSeam {
 public:
  virtual ~CZeCameraShadersSeam() = default;
  virtual bool available() { return unbuilt(), false; }
  virtual int load(int /*id*/, const char* /*file*/, const char* /*cflags*/) { return unbuilt(); }
  virtual void show(int /*id*/, bool /*visible*/) { unbuilt(); }
  virtual void setParams(int /*id*/, const ZF_EffectParams&) { unbuilt(); }
  virtual void remove(int /*id*/) { unbuilt(); }

 private:
  static int unbuilt() {
    zeSceneSeamUnbuilt("camera shaders");
    return -1;
  }
};

// Emitter values a frame hands over.
struct ZeEmitterFrame {
  ZeVec3 position, rotationDegrees, velocity, gravity;
  float birthRate, parentMotion, lifeTime, lifeTimeVariation, explosion, weight, resistance, vibration,
      randomVelocity, curlNoisePower, curlNoiseFrequency;
};

// Particle emitters.
class CZeEmittersSeam {
 public:
  virtual ~CZeEmittersSeam() = default;
  virtual bool available() { return unbuilt(), false; }
  // Makes emitter `id` from its record; `objectId` is the object it sits on (-1: none).
  virtual int make(int /*id*/, const ZF_EmitterRec&, int /*objectId*/) { return unbuilt(); }
  virtual bool exists(int /*id*/) { return false; }
  virtual void configure(int /*id*/, const ZF_EmitterRec&, const ZF_EffectParams* /*effect or null*/) { unbuilt(); }
  virtual void lock(int /*id*/) { unbuilt(); }
  virtual void setParent(int /*id*/, int /*parentId*/) { unbuilt(); }
  virtual void animate(int /*id*/, const ZeEmitterFrame&, const ZF_EffectParams* /*effect or null*/) { unbuilt(); }
  virtual void reset(int /*id*/) { unbuilt(); }
  virtual void setVisible(int /*id*/, bool /*visible*/) { unbuilt(); }
  virtual void destroy(int /*id*/) { unbuilt(); }

 private:
  static int unbuilt() {
    zeSceneSeamUnbuilt("emitters");
    return -1;
  }
};

// Surfaces (applied to an object's materials), point caches, point clouds
// and morphs: the mesh subsystems.
class CZeSceneMeshesSeam {
 public:
  virtual ~CZeSceneMeshesSeam() = default;
  // Surfaces go to the object layer (scene/zeSceneMeshSeam.cpp).
  virtual void applySurfaces(int objectId, const ZF_SurfaceParams* surfaces, int count, bool initial);
  // Point caches go to the object layer (scene/zeSceneMeshSeam.cpp).
  virtual int loadPointCacheObject(int id, const char* file, const char* cacheFile);
  virtual void setPointCachePostBehaviour(int id, int flag);
  // The time of the cache's last frame, in the units of "times"; 0 when unknown.
  virtual float pointCacheLastFrameTime(int id);
  virtual int loadPointCloud(int /*id*/, const char* /*file*/, int /*count*/, int /*flags*/) {
    zeSceneSeamUnbuilt("point clouds");
    return -1;
  }
  // Morph weights go to the object layer (scene/zeSceneMeshSeam.cpp).
  virtual void setMorphWeights(int id, int count, const int* indices, const float* weights);
};

struct ZeSceneSeams {
  CZeSceneRendererSeam* renderer;
  CZeRenderSettingsSeam* settings;
  CZeCubeMapsSeam* cubeMaps;
  CZeCameraShadersSeam* cameraShaders;
  CZeEmittersSeam* emitters;
  CZeSceneMeshesSeam* meshes;
};

// The seams in use; a null member puts that seam's default back.
void zeSetSceneSeams(const ZeSceneSeams& seams);
const ZeSceneSeams& zeSceneSeams();
