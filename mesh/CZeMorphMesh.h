// Morph maps: an object's mesh and its morph targets (per target and mesh
// buffer, the vertices it moves with their position and normal deltas). The
// map blends the targets by weight in the morph-skin buffers (CZeMeshZN) and
// writes the result into a copy of the mesh, which it draws.
//
// Targets come from a .zmorph file (LightWave points matched through the
// buffers' file vertex numbers) or from a series of whole target meshes
// (deltas of targets 2, 3 ... against target 1). A skinned mesh with frames
// gets a map too, with or without targets: the targets are blended in the
// bind pose and the skeleton, posed at the node's frame, is applied after.
// Messages go to the device log.
#pragma once
#include <irrlicht.h>

#include <string>
#include <utility>
#include <vector>

#include "mesh/CZeMeshZN.h"

struct SZeZmorphTarget;

class IZeMorphMesh : public irr::scene::IMesh {
 public:
  // Rebuilds the mesh from the base plus the listed (target from 1, weight) pairs.
  virtual void animate(const std::vector<std::pair<uint32_t, float>>& weights, float frame) = 0;
  virtual irr::u32 getTargetCount() const = 0;
  // Maps of static meshes have one frame; skinned ones the skeleton's frames.
  virtual irr::s32 getFrameCount() const = 0;
  virtual irr::s32 getStartFrame() const = 0;
  virtual irr::s32 getEndFrame() const = 0;
};

class CZeMorphMeshMorphMapZN : public IZeMorphMesh {
 public:
  CZeMorphMeshMorphMapZN() = default;
  ~CZeMorphMeshMorphMapZN() override;

  // Copies `mesh` and takes the targets. false after a device-log error.
  bool create(irr::scene::IMesh* mesh, std::vector<SZeMorphTargetZN> targets);
  // The same for a skinned mesh with frames: the mesh is first put back in
  // its bind pose, and each animation poses its skeleton at the frame and
  // skins the blended vertices into this map's copy. The skinned mesh itself
  // is never deformed, so objects sharing it each show their own frame.
  bool createSkinned(irr::scene::ISkinnedMesh* mesh, std::vector<SZeMorphTargetZN> targets);
  // A new copy of the mesh with the same targets. One reference for the caller.
  CZeMorphMeshMorphMapZN* clone() const;

  void animate(const std::vector<std::pair<uint32_t, float>>& weights, float frame) override;
  irr::u32 getTargetCount() const override { return static_cast<irr::u32>(Targets.size()); }
  irr::s32 getFrameCount() const override;
  irr::s32 getStartFrame() const override { return 0; }
  irr::s32 getEndFrame() const override { return getFrameCount() - 1; }
  const std::vector<SZeMorphTargetZN>& targets() const { return Targets; }
  irr::scene::IMesh* getCopy() const { return Copy; }

  irr::u32 getMeshBufferCount() const override { return Copy ? Copy->getMeshBufferCount() : 0; }
  irr::scene::IMeshBuffer* getMeshBuffer(irr::u32 nr) const override { return Copy ? Copy->getMeshBuffer(nr) : nullptr; }
  irr::scene::IMeshBuffer* getMeshBuffer(const irr::video::SMaterial& m) const override {
    return Copy ? Copy->getMeshBuffer(m) : nullptr;
  }
  const irr::core::aabbox3d<irr::f32>& getBoundingBox() const override { return Box; }
  void setBoundingBox(const irr::core::aabbox3df& box) override { Box = box; }
  void setMaterialFlag(irr::video::E_MATERIAL_FLAG flag, bool value) override {
    if (Copy) Copy->setMaterialFlag(flag, value);
  }
  void setHardwareMappingHint(irr::scene::E_HARDWARE_MAPPING hint, irr::scene::E_BUFFER_TYPE buffer) override {
    if (Copy) Copy->setHardwareMappingHint(hint, buffer);
  }
  void setDirty(irr::scene::E_BUFFER_TYPE buffer) override {
    if (Copy) Copy->setDirty(buffer);
  }

 private:
  // The copy, the buffers (skinned: with the skin's joints) and the targets.
  bool adopt(irr::scene::IMesh* mesh, std::vector<SZeMorphTargetZN>& targets, bool skinned);

  irr::scene::IMesh* Source = nullptr;  // the object's mesh, for clones
  irr::scene::ISkinnedMesh* Skinned = nullptr;  // Source when it is skinned with frames
  irr::scene::SMesh* Copy = nullptr;
  CZeStaticMeshZN Base;
  CZeMeshZN Work;
  std::vector<SZeMorphTargetZN> Targets;
  irr::core::aabbox3df Box{-1, -1, -1, 1, 1, 1};
};

// True for a skinned mesh with frames: its objects are morph objects whose
// frames pose the skeleton.
bool zeIsSkinnedWithFrames(irr::scene::IAnimatedMesh* mesh);
// A map of `mesh` with `targets`, skinned when the mesh is skinned with
// frames. One reference for the caller; nullptr after device-log errors.
CZeMorphMeshMorphMapZN* zeCreateMorphMap(irr::scene::IAnimatedMesh* mesh, std::vector<SZeMorphTargetZN> targets);

// Names beside an object file: car.zarn gives car.morph1.zarn (target k) and car.zmorph.
std::string zeMorphTargetFileName(const char* objectFile, int k);
std::string zeZmorphFileName(const char* objectFile);
// True when the first target mesh or the .zmorph file exists.
bool zeMorphFileExists(const char* objectFile);

// Targets for `mesh` from .zmorph targets. false after a device-log error
// (a buffer without file vertex numbers).
bool zeMorphTargetsFromZmorph(irr::scene::IMesh* mesh, const std::vector<SZeZmorphTarget>& file,
                              std::vector<SZeMorphTargetZN>* targets);
// Targets 2, 3 ... of `meshes` against the first (meshes[0]). false after a
// device-log error when their buffers or vertex counts differ.
bool zeMorphTargetsFromMeshes(const std::vector<irr::scene::IMesh*>& meshes, std::vector<SZeMorphTargetZN>* targets);
