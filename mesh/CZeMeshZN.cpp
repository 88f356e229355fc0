#include "mesh/CZeMeshZN.h"

#include <xmmintrin.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "mesh/zeDeviceLog.h"

using namespace irr;

namespace {

void* alignedBlock(std::size_t bytes) {
  void* block = nullptr;
  if (bytes == 0 || posix_memalign(&block, 64, bytes) != 0) return nullptr;
  return block;
}

}  // namespace

template <typename Record>
CZeAlignedRecords<Record>::~CZeAlignedRecords() {
  std::free(Records);
}

template <typename Record>
bool CZeAlignedRecords<Record>::allocate(uint32_t count) {
  std::free(Records);
  Records = nullptr;
  Count = 0;
  if (count == 0) return true;
  Records = static_cast<Record*>(alignedBlock(sizeof(Record) * static_cast<std::size_t>(count)));
  if (!Records) return false;
  std::memset(static_cast<void*>(Records), 0, sizeof(Record) * static_cast<std::size_t>(count));
  Count = count;
  return true;
}

template class CZeAlignedRecords<SZeBaseVertexZN>;
template class CZeAlignedRecords<SZeWorkVertexZN>;

namespace {

// Copies a buffer's positions (w = 1) and normals (w = 0) into aligned records.
template <class Vertex>
bool copyPositionsAndNormals(CZeAlignedRecords<Vertex>& vertices, const scene::IMeshBuffer* buffer,
                             const char* who) {
  const u32 count = buffer->getVertexCount();
  if (!vertices.allocate(count)) {
    zeDeviceLog(ELL_ERROR, "%s::create: failed to alloc %d vertices", who, static_cast<int>(count));
    return false;
  }
  for (u32 v = 0; v < count; ++v) {
    const core::vector3df& p = buffer->getPosition(v);
    const core::vector3df& n = buffer->getNormal(v);
    Vertex& out = vertices[v];
    out.position[0] = p.X, out.position[1] = p.Y, out.position[2] = p.Z, out.position[3] = 1.0f;
    out.normal[0] = n.X, out.normal[1] = n.Y, out.normal[2] = n.Z, out.normal[3] = 0.0f;
  }
  return true;
}

}  // namespace

bool CZeStaticMeshBufferZN::create(const scene::IMeshBuffer* buffer) {
  return copyPositionsAndNormals(Vertices, buffer, "CZeStaticMeshBufferZN");
}

bool CZeStaticMeshZN::create(const scene::IMesh* mesh) {
  Buffers.clear();
  if (!mesh) return false;
  Buffers.resize(mesh->getMeshBufferCount());
  bool ok = true;
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) ok = Buffers[b].create(mesh->getMeshBuffer(b)) && ok;
  return ok;
}

bool CZeMeshBufferZN::create(const scene::IMeshBuffer* buffer) {
  return copyPositionsAndNormals(Vertices, buffer, "CZeMeshBufferZN");
}

CZeMeshZN::~CZeMeshZN() { std::free(Matrices); }

bool CZeMeshZN::createBuffers(const scene::IMesh* mesh) {
  Buffers.clear();
  if (!mesh) return false;
  Buffers.resize(mesh->getMeshBufferCount());
  bool ok = true;
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) ok = Buffers[b].create(mesh->getMeshBuffer(b)) && ok;
  return ok;
}

bool CZeMeshZN::create(scene::ISkinnedMesh* mesh) {
  if (!mesh || !createBuffers(mesh)) return false;
  std::free(Matrices);
  Matrices = nullptr;
  const core::array<scene::ISkinnedMesh::SJoint*>& joints = mesh->getAllJoints();
  const u32 count = joints.size();
  JointCount = count;
  Matrices = static_cast<float*>(alignedBlock(sizeof(float) * 16 * (static_cast<std::size_t>(count) + 1)));
  if (!Matrices) {
    zeDeviceLog(ELL_ERROR, "CZeMeshZN::create: failed to alloc %d+1 joints", static_cast<int>(count));
    JointCount = 0;
    return false;
  }
  std::memset(Matrices, 0, sizeof(float) * 16 * (static_cast<std::size_t>(count) + 1));
  bool warned = false;
  for (u32 j = 0; j < count; ++j) {
    for (u32 w = 0; w < joints[j]->Weights.size(); ++w) {
      const scene::ISkinnedMesh::SWeight& weight = joints[j]->Weights[w];
      if (weight.strength <= 0.0001f) continue;
      if (weight.buffer_id >= Buffers.size() || weight.vertex_id >= Buffers[weight.buffer_id].Vertices.size())
        continue;
      SZeWorkVertexZN& vertex = Buffers[weight.buffer_id].Vertices[weight.vertex_id];
      if (vertex.jointCount < SZeWorkVertexZN::MaxJoints) {
        vertex.joints[vertex.jointCount] = j;
        vertex.weights[vertex.jointCount] = weight.strength;
        ++vertex.jointCount;
      } else if (!warned) {
        zeDeviceLog(ELL_WARNING, "CZeMeshZN::create: Warning, too much joints > MAX %d on MeshBuffer=%d Vertice=%d",
                    static_cast<int>(SZeWorkVertexZN::MaxJoints), static_cast<int>(weight.buffer_id),
                    static_cast<int>(weight.vertex_id));
        warned = true;
      }
    }
  }
  // Vertices no joint moves follow the identity matrix at the end.
  for (CZeMeshBufferZN& buffer : Buffers)
    for (u32 v = 0; v < buffer.Vertices.size(); ++v)
      if (buffer.Vertices[v].jointCount == 0) {
        buffer.Vertices[v].jointCount = 1;
        buffer.Vertices[v].joints[0] = count;
        buffer.Vertices[v].weights[0] = 1.0f;
      }
  core::matrix4 identity;
  std::memcpy(Matrices + 16 * count, identity.pointer(), sizeof(float) * 16);
  return true;
}

void CZeMeshZN::resetFromBase(const CZeStaticMeshZN& base) {
  const std::size_t bufferCount = std::min(Buffers.size(), base.Buffers.size());
  for (std::size_t b = 0; b < bufferCount; ++b) {
    CZeMeshBufferZN& work = Buffers[b];
    const CZeStaticMeshBufferZN& from = base.Buffers[b];
    const u32 count = std::min(work.Vertices.size(), from.Vertices.size());
    for (u32 v = 0; v < count; ++v) {
      _mm_store_ps(work.Vertices[v].position, _mm_load_ps(from.Vertices[v].position));
      _mm_store_ps(work.Vertices[v].normal, _mm_load_ps(from.Vertices[v].normal));
    }
  }
}

void CZeMeshZN::blend(const std::vector<std::pair<uint32_t, float>>& weights,
                      const std::vector<SZeMorphTargetZN>& targets) {
  for (const std::pair<uint32_t, float>& pair : weights) {
    if (pair.first == 0 || pair.first > targets.size() || pair.second == 0.0f) continue;
    const __m128 w = _mm_set1_ps(pair.second);
    for (const SZeMorphTargetPartZN& part : targets[pair.first - 1].parts) {
      if (part.buffer >= Buffers.size()) continue;
      CZeMeshBufferZN& buffer = Buffers[part.buffer];
      const std::size_t count = std::min(part.vertices.size(), part.deltas.size());
      for (std::size_t i = 0; i < count; ++i) {
        const u32 v = part.vertices[i];
        if (v >= buffer.Vertices.size()) continue;
        SZeWorkVertexZN& out = buffer.Vertices[v];
        _mm_store_ps(out.position,
                     _mm_add_ps(_mm_load_ps(out.position), _mm_mul_ps(w, _mm_load_ps(part.deltas[i].position))));
        _mm_store_ps(out.normal,
                     _mm_add_ps(_mm_load_ps(out.normal), _mm_mul_ps(w, _mm_load_ps(part.deltas[i].normal))));
      }
    }
  }
}

void CZeMeshZN::updateJointMatrices(scene::ISkinnedMesh* mesh) {
  if (!mesh || !Matrices) return;
  const core::array<scene::ISkinnedMesh::SJoint*>& joints = mesh->getAllJoints();
  const u32 count = std::min<u32>(joints.size(), JointCount);
  for (u32 j = 0; j < count; ++j) {
    const core::matrix4 m = joints[j]->GlobalAnimatedMatrix * joints[j]->GlobalInversedMatrix;
    std::memcpy(Matrices + 16 * j, m.pointer(), sizeof(float) * 16);
  }
  core::matrix4 identity;
  std::memcpy(Matrices + 16 * JointCount, identity.pointer(), sizeof(float) * 16);
}

// Every buffer is checked before any is written, so a mismatch leaves the mesh whole.
bool CZeMeshZN::checkMesh(scene::IMesh* mesh, const char* operation) {
  if (!mesh || mesh->getMeshBufferCount() != Buffers.size()) {
    zeDeviceLog(ELL_ERROR, "CZeMeshZN::%s: not same number of buffers", operation);
    return false;
  }
  for (u32 b = 0; b < Buffers.size(); ++b) {
    const scene::IMeshBuffer* target = mesh->getMeshBuffer(b);
    // Two-coordinate vertices begin as standard ones (position, normal), so
    // objects with a second UV set deform too; tangents would go stale.
    if (target->getVertexType() != video::EVT_STANDARD && target->getVertexType() != video::EVT_2TCOORDS) {
      zeDeviceLog(ELL_ERROR, "CZeMeshZN::%s: not EVT_STANDARD vertex type", operation);
      return false;
    }
    if (target->getVertexCount() != Buffers[b].Vertices.size()) {
      zeDeviceLog(ELL_ERROR, "CZeMeshZN::%s: not same number of vertices", operation);
      return false;
    }
  }
  return true;
}

bool CZeMeshZN::skinMesh(scene::IMesh* mesh) {
  if (!checkMesh(mesh, "skinMesh")) return false;
  if (!Matrices) return false;
  for (u32 b = 0; b < Buffers.size(); ++b) {
    scene::IMeshBuffer* target = mesh->getMeshBuffer(b);
    const CZeMeshBufferZN& buffer = Buffers[b];
    u8* out = static_cast<u8*>(target->getVertices());
    const u32 pitch = video::getVertexPitchFromType(target->getVertexType());
    for (u32 v = 0; v < buffer.Vertices.size(); ++v) {
      const SZeWorkVertexZN& in = buffer.Vertices[v];
      video::S3DVertex& vertex = *reinterpret_cast<video::S3DVertex*>(out + static_cast<std::size_t>(v) * pitch);
      __m128 row0 = _mm_setzero_ps(), row1 = _mm_setzero_ps(), row2 = _mm_setzero_ps(), row3 = _mm_setzero_ps();
      for (u32 k = 0; k < in.jointCount && k < SZeWorkVertexZN::MaxJoints; ++k) {
        if (in.joints[k] > JointCount) continue;
        const float* m = Matrices + 16 * in.joints[k];
        const __m128 w = _mm_set1_ps(in.weights[k]);
        row0 = _mm_add_ps(row0, _mm_mul_ps(w, _mm_load_ps(m)));
        row1 = _mm_add_ps(row1, _mm_mul_ps(w, _mm_load_ps(m + 4)));
        row2 = _mm_add_ps(row2, _mm_mul_ps(w, _mm_load_ps(m + 8)));
        row3 = _mm_add_ps(row3, _mm_mul_ps(w, _mm_load_ps(m + 12)));
      }
      float p[4], n[4];
      _mm_storeu_ps(p, _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(in.position[0]), row0),
                                             _mm_mul_ps(_mm_set1_ps(in.position[1]), row1)),
                                  _mm_add_ps(_mm_mul_ps(_mm_set1_ps(in.position[2]), row2), row3)));
      _mm_storeu_ps(n, _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(in.normal[0]), row0),
                                             _mm_mul_ps(_mm_set1_ps(in.normal[1]), row1)),
                                  _mm_mul_ps(_mm_set1_ps(in.normal[2]), row2)));
      vertex.Pos.set(p[0], p[1], p[2]);
      vertex.Normal.set(n[0], n[1], n[2]);
    }
  }
  for (u32 b = 0; b < Buffers.size(); ++b) mesh->getMeshBuffer(b)->setDirty(scene::EBT_VERTEX);
  return true;
}

bool CZeMeshZN::copyToMesh(scene::IMesh* mesh) {
  if (!checkMesh(mesh, "copyToMesh")) return false;
  for (u32 b = 0; b < Buffers.size(); ++b) {
    scene::IMeshBuffer* target = mesh->getMeshBuffer(b);
    const CZeMeshBufferZN& buffer = Buffers[b];
    u8* out = static_cast<u8*>(target->getVertices());
    const u32 pitch = video::getVertexPitchFromType(target->getVertexType());
    for (u32 v = 0; v < buffer.Vertices.size(); ++v) {
      const SZeWorkVertexZN& in = buffer.Vertices[v];
      video::S3DVertex& vertex = *reinterpret_cast<video::S3DVertex*>(out + static_cast<std::size_t>(v) * pitch);
      vertex.Pos.set(in.position[0], in.position[1], in.position[2]);
      vertex.Normal.set(in.normal[0], in.normal[1], in.normal[2]);
    }
  }
  for (u32 b = 0; b < Buffers.size(); ++b) mesh->getMeshBuffer(b)->setDirty(scene::EBT_VERTEX);
  return true;
}
