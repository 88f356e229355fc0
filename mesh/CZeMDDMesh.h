// A point-cache mesh: every frame of a .zmdd cache decoded once at load, and a
// copy of the object's mesh whose positions are set from two cached frames
// (linear interpolation), then whose normals are recomputed.
//
// SZeMDD (the frames) and SZePntsLookup (which cache point moves each vertex)
// are shared by clones; each clone has its own mesh copy and interpolation
// buffer. Messages go to the device log.
#pragma once
#include <irrlicht.h>

#include <cstdint>
#include <vector>

// Frame 0 holds the cache's base frame, frame k >= 1 codec frame k - 1; each
// frame n positions of (x, y, z, 0), 16-byte aligned.
struct SZeMDD : public irr::IReferenceCounted {
  ~SZeMDD() override;
  // false (nothing held) when L x n positions do not fit in memory.
  bool allocate(uint32_t frames, uint32_t points);
  const float* frame(uint32_t k) const { return Positions + 4ull * PointCount * k; }
  float* frame(uint32_t k) { return Positions + 4ull * PointCount * k; }

  uint32_t FrameCount = 0;  // L = the cache's frame count + 1
  uint32_t PointCount = 0;
  std::vector<float> Times;  // L
  float* Positions = nullptr;
};

// Per mesh buffer, per vertex: the cache point that moves it.
struct SZePntsLookup : public irr::IReferenceCounted {
  // From the mesh's file vertex numbers and the .zpnts table. false after a
  // device-log error when a buffer has no numbers or a number is past the table.
  bool setup(irr::scene::IMesh* mesh, const std::vector<uint32_t>& table);
  std::vector<std::vector<uint32_t>> Buffers;
};

class IZeMDDMesh : public irr::scene::IMesh {
 public:
  virtual void setFrame(float frame) = 0;
  virtual int getFrameCount() const = 0;
  virtual float getFrameTime(int k) const = 0;
  virtual void setWrap(bool wrap) = 0;
};

class CZeMDDMesh : public IZeMDDMesh {
 public:
  CZeMDDMesh() = default;
  ~CZeMDDMesh() override;

  // Copies `mesh`, decodes `cacheName` and reads `pntsName`. false after a
  // device-log error; nothing is kept then.
  bool setup(irr::scene::IMesh* mesh, const char* pntsName, const char* cacheName);
  // A new copy of the mesh and a new interpolation buffer, sharing the frames
  // and the lookup, at the same frame. One reference for the caller.
  CZeMDDMesh* clone() const;

  // frame 0 = the cache's first frame; past the last frame it holds the last
  // one unless the wrap flag is set (then it plays back into the first).
  void setFrame(float frame) override;
  int getFrameCount() const override;             // the cache's F
  float getFrameTime(int k) const override;       // time of codec frame k, k clamped
  void setWrap(bool wrap) override { Wrap = wrap; }
  bool getWrap() const { return Wrap; }
  // The time of the last frame; 0 when the times do not increase (the scene
  // then holds the first frame rather than dividing by it).
  float lastFrameTime() const;

  // The three steps of setFrame, apart for measuring.
  void interpolate(float frame);
  void writePositions();
  void recalculateNormals();

  irr::scene::IMesh* getCopy() const { return Copy; }
  const SZeMDD* frames() const { return Frames; }

  irr::u32 getMeshBufferCount() const override;
  irr::scene::IMeshBuffer* getMeshBuffer(irr::u32 nr) const override;
  irr::scene::IMeshBuffer* getMeshBuffer(const irr::video::SMaterial& material) const override;
  const irr::core::aabbox3d<irr::f32>& getBoundingBox() const override { return Box; }
  void setBoundingBox(const irr::core::aabbox3df& box) override { Box = box; }
  void setMaterialFlag(irr::video::E_MATERIAL_FLAG flag, bool value) override;
  void setHardwareMappingHint(irr::scene::E_HARDWARE_MAPPING hint, irr::scene::E_BUFFER_TYPE buffer) override;
  void setDirty(irr::scene::E_BUFFER_TYPE buffer) override;

 private:
  bool allocateInterpolation();

  irr::scene::IMesh* Copy = nullptr;
  SZeMDD* Frames = nullptr;
  SZePntsLookup* Lookup = nullptr;
  float* Interpolated = nullptr;  // n x 4, 16-byte aligned
  bool Wrap = false;
  bool TimesIncrease = true;
  float Frame = 0.0f;
  irr::core::aabbox3df Box{-1, -1, -1, 1, 1, 1};
};
