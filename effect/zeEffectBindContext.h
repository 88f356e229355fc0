// What the bind families read at draw time: the draw context of the buffer
// being drawn (set by the engine's own draw path) and the engine-wide values
// (driver, scene, clocks, mouse, previous frame) they share. Subsystems that
// are not built yet (probes, shadow matrices, cube maps) are
// reached through the narrow seams below; surfaces are the mesh library's
// (mesh/IZeSurface.h).
#pragma once

#include <irrlicht.h>

#include <cstdint>
#include <vector>

class IZeSceneNodeExt;
struct SZeFxMaterial;

// The buffer being drawn. Every field may be null when the caller draws
// without a node (full-screen passes); families that need one say so.
struct SZeEffectDrawContext {
  irr::scene::ISceneNode* node = nullptr;
  IZeSceneNodeExt* nodeExt = nullptr;
  irr::scene::IMeshBuffer* meshBuffer = nullptr;
  const irr::video::SMaterial* material = nullptr;
  const SZeFxMaterial* record = nullptr;  // the pass's engine record (12 texture layers)
  int materialIndex = 0;                  // the node material / surface row being drawn
};

// --- Seams of later subsystems -----------------------------------------------------------

class IZeProbeSet {
 public:
  virtual ~IZeProbeSet() = default;
  virtual int probeCount() const = 0;
  // (x, y, z, w) of probe i.
  virtual void probe(int index, float out[4]) const = 0;
};

class IZeShadowMatrices {
 public:
  virtual ~IZeShadowMatrices() = default;
  // Light n's shadow view and projection; false when the light has none.
  virtual bool lightMatrices(int light, irr::core::matrix4* view, irr::core::matrix4* projection) const = 0;
};

class IZeCubeMapInfo {
 public:
  virtual ~IZeCubeMapInfo() = default;
  virtual bool cubeMapPosition(irr::IReferenceCounted* cubeMap, irr::core::vector3df* position) const = 0;
};

// The previous frame, kept by the renderer (the engine's draw path fills it
// until the renderer exists).
struct SZeLastFrameInfo {
  irr::core::matrix4 prevView, prevProjection;
  float fps = 0.0f;
  uint32_t renderCount = 0;
  bool cameraTransition = false;
};

// Where the current transforms come from when not from the driver (the
// NULL driver keeps none; tests and offscreen tools give their own).
class IZeTransformSource {
 public:
  virtual ~IZeTransformSource() = default;
  virtual const irr::core::matrix4& getTransform(irr::video::E_TRANSFORMATION_STATE state) const = 0;
};

// Engine-wide values; one per effect manager, shared by its families.
struct SZeEffectBindEnv {
  irr::video::IVideoDriver* driver = nullptr;
  const IZeTransformSource* transforms = nullptr;  // null: the driver's
  irr::scene::ISceneManager* scene = nullptr;
  irr::ITimer* timer = nullptr;  // when set, the engine timer is read from it
  uint32_t timerMs = 0;  // engine timer otherwise
  uint32_t sceneMs = 0;  // scene clock
  irr::core::dimension2du screenSize{0, 0};  // used when there is no driver
  irr::core::dimension2du targetSize{0, 0};
  float mouseX = 0, mouseY = 0;  // pixels
  bool mouseButton1 = false, mouseButton2 = false;
  SZeLastFrameInfo lastFrame;
  const IZeProbeSet* probes = nullptr;
  const IZeShadowMatrices* shadows = nullptr;
  const IZeCubeMapInfo* cubeMaps = nullptr;
  // Frame stamp: while it stays the same (and is not 0) the scene's light
  // and object lists are read once and kept; 0 reads them at every use.
  uint32_t frame = 0;
  struct {
    uint32_t frame = 0;
    std::vector<irr::scene::ISceneNode*> lights, objects;  // capacity kept: no allocation once warm
  } lists;
};

// The current transform: from the source when one is given, else the driver.
const irr::core::matrix4& zeBindTransform(const SZeEffectBindEnv& env, irr::video::E_TRANSFORMATION_STATE state);
// The light and object nodes among the root's children, in child order
// (kept for the frame when a stamp is set).
void zeBindSceneLists(SZeEffectBindEnv& env);
