// Morph-skin buffers: an aligned copy of a mesh's positions and normals in
// which morph targets are blended and, for skinned meshes, the skeleton is
// applied before the result goes back into the Irrlicht mesh.
//
// CZeStaticMeshZN holds the unmorphed base, CZeMeshZN the working copy with up
// to eight joint bindings per vertex and the joint matrix table (the last
// matrix is the identity for vertices no joint moves).
#pragma once
#include <IMesh.h>
#include <ISkinnedMesh.h>

#include <cstdint>
#include <utility>
#include <vector>

// A base vertex: position (x, y, z, 1) and normal (nx, ny, nz, 0).
struct alignas(16) SZeBaseVertexZN {
  float position[4];
  float normal[4];
};

// A working vertex: base data plus its joint bindings.
struct alignas(16) SZeWorkVertexZN {
  static const uint32_t MaxJoints = 8;
  float position[4];
  float normal[4];
  uint32_t jointCount;
  uint32_t joints[MaxJoints];
  float weights[MaxJoints];
};

// Records live in 64-byte aligned blocks owned by their buffer.
template <typename Record>
class CZeAlignedRecords {
 public:
  CZeAlignedRecords() = default;
  ~CZeAlignedRecords();
  CZeAlignedRecords(const CZeAlignedRecords&) = delete;
  CZeAlignedRecords& operator=(const CZeAlignedRecords&) = delete;
  CZeAlignedRecords(CZeAlignedRecords&& other) noexcept : Records(other.Records), Count(other.Count) {
    other.Records = nullptr;
    other.Count = 0;
  }
  CZeAlignedRecords& operator=(CZeAlignedRecords&& other) noexcept {
    std::swap(Records, other.Records);
    std::swap(Count, other.Count);
    return *this;
  }
  // false (and empty) when the block cannot be had.
  bool allocate(uint32_t count);
  uint32_t size() const { return Count; }
  Record* data() { return Records; }
  const Record* data() const { return Records; }
  Record& operator[](uint32_t i) { return Records[i]; }
  const Record& operator[](uint32_t i) const { return Records[i]; }

 private:
  Record* Records = nullptr;
  uint32_t Count = 0;
};

class CZeStaticMeshBufferZN {
 public:
  // Fills the base from the buffer's positions and normals (any vertex type).
  bool create(const irr::scene::IMeshBuffer* buffer);
  CZeAlignedRecords<SZeBaseVertexZN> Vertices;
};

class CZeStaticMeshZN {
 public:
  bool create(const irr::scene::IMesh* mesh);
  std::vector<CZeStaticMeshBufferZN> Buffers;
};

class CZeMeshBufferZN {
 public:
  // Position and normal from the buffer, no joint bindings.
  bool create(const irr::scene::IMeshBuffer* buffer);
  CZeAlignedRecords<SZeWorkVertexZN> Vertices;
};

// One morph target: per mesh buffer, the vertices it moves and by how much.
struct SZeMorphTargetPartZN {
  uint32_t buffer = 0;
  std::vector<uint32_t> vertices;
  std::vector<SZeBaseVertexZN> deltas;  // position and normal deltas, w lanes 0
};
struct SZeMorphTargetZN {
  std::vector<SZeMorphTargetPartZN> parts;
};

class CZeMeshZN {
 public:
  CZeMeshZN() = default;
  ~CZeMeshZN();
  CZeMeshZN(const CZeMeshZN&) = delete;
  CZeMeshZN& operator=(const CZeMeshZN&) = delete;

  // One working buffer per mesh buffer, no bindings.
  bool createBuffers(const irr::scene::IMesh* mesh);
  // Working buffers plus the skeleton's bindings (at most eight per vertex).
  bool create(irr::scene::ISkinnedMesh* mesh);

  // Working positions and normals back to the base.
  void resetFromBase(const CZeStaticMeshZN& base);
  // Adds weight x delta for each (target number from 1, weight) pair; pairs
  // naming no target or of weight 0 change nothing.
  void blend(const std::vector<std::pair<uint32_t, float>>& weights, const std::vector<SZeMorphTargetZN>& targets);
  // Matrix i = joint i's animated global matrix x its inverse bind matrix.
  void updateJointMatrices(irr::scene::ISkinnedMesh* mesh);
  // Skinned positions and normals into the mesh's vertices (the skinned
  // mesh, or a copy of it with the same buffers). false after a device-log
  // error when the mesh does not match these buffers.
  bool skinMesh(irr::scene::IMesh* mesh);
  // Working positions and normals into the mesh's vertices, same checks.
  bool copyToMesh(irr::scene::IMesh* mesh);

  uint32_t jointCount() const { return JointCount; }
  const float* jointMatrix(uint32_t i) const { return Matrices + 16 * i; }

  std::vector<CZeMeshBufferZN> Buffers;

 private:
  bool checkMesh(irr::scene::IMesh* mesh, const char* operation);

  float* Matrices = nullptr;  // JointCount + 1 matrices, 64-byte aligned
  uint32_t JointCount = 0;
};
