// The engine's mesh buffer: Irrlicht's skinned mesh buffer plus what the
// engine's objects carry per buffer (the file vertex each vertex came from,
// the material's UV pair, the normal-map name) and 32-bit indices for buffers
// of 65536 vertices or more. Irrlicht 1.8's buffer interface cannot grow, so
// the extra data is reached through the zeMeshBuffer* functions, which answer
// for any IMeshBuffer (a plain library buffer has none of it).
#pragma once
#include <SSkinMeshBuffer.h>
#include <IMesh.h>
#include <SMesh.h>

#include <string>

class IZeSurface;

class CZeSkinMeshBuffer : public irr::scene::SSkinMeshBuffer {
 public:
  explicit CZeSkinMeshBuffer(irr::video::E_VERTEX_TYPE type = irr::video::EVT_STANDARD);
  ~CZeSkinMeshBuffer() override;
  CZeSkinMeshBuffer(const CZeSkinMeshBuffer&) = delete;  // copyFrom copies, keeping the counts true
  CZeSkinMeshBuffer& operator=(const CZeSkinMeshBuffer&) = delete;

  // Index width. Switching converts the indices already held; switching to
  // 16 bits with an index above 65535 fails and changes nothing.
  bool setIndexType(irr::video::E_INDEX_TYPE type);
  // Appends one index in the buffer's width (a 16-bit buffer keeps the low 16 bits:
  // callers choose the width first).
  void pushIndex(irr::u32 index);
  irr::u32 getIndex(irr::u32 position) const;
  void reserveIndices(irr::u32 count);
  void clearIndices();

  irr::video::E_INDEX_TYPE getIndexType() const override;
  const irr::u16* getIndices() const override;
  irr::u16* getIndices() override;
  irr::u32 getIndexCount() const override;

  // Copies vertices, indices, material, hints and the engine data from any
  // buffer (the engine data only when `source` is one of ours).
  void copyFrom(const irr::scene::IMeshBuffer* source);

  // For each vertex, its index in the file's Mesh vertex list (may be empty).
  irr::core::array<irr::u32> OriginalVerticesIndices;
  // The material's pair from the file (-1 until a loader sets it).
  irr::s32 UVValue = -1;
  irr::s32 UV2Mask = -1;
  // Normal-map file name as written in the file ("" when none).
  std::string NormalMapName;

  // The surface the object file describes for this buffer (a LightWave
  // object's SURF), or nullptr; objects made from the mesh get a clone of it.
  void setSurface(IZeSurface* surface);  // holds one reference
  IZeSurface* getSurface() const { return Surface; }

 private:
  irr::core::array<irr::u32> Indices32;
  bool Wide = false;
  IZeSurface* Surface = nullptr;
};

// The engine buffer behind `buffer`, or nullptr for a plain library buffer.
CZeSkinMeshBuffer* zeMeshBufferExt(irr::scene::IMeshBuffer* buffer);
const CZeSkinMeshBuffer* zeMeshBufferExt(const irr::scene::IMeshBuffer* buffer);
// nullptr when the array is empty or the buffer is a plain library buffer.
const irr::u32* zeMeshBufferOriginalIndices(const irr::scene::IMeshBuffer* buffer);
// -1 for a plain library buffer.
irr::s32 zeMeshBufferUVValue(const irr::scene::IMeshBuffer* buffer);
irr::s32 zeMeshBufferUV2Mask(const irr::scene::IMeshBuffer* buffer);
// The file's surface of a buffer (nullptr for a plain library buffer or none).
IZeSurface* zeMeshBufferSurface(const irr::scene::IMeshBuffer* buffer);
// True when any buffer of the mesh has a non-zero UV2 mask: the object reads
// some texture through its second coordinate set.
bool zeMeshUsesUV2(const irr::scene::IMesh* mesh);

// A copy of every buffer of `mesh` as engine buffers, keeping the engine data.
// One reference, owned by the caller; nullptr when mesh is nullptr.
irr::scene::SMesh* zeCreateMeshCopy(irr::scene::IMesh* mesh);
