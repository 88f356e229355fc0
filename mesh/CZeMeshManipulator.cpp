#include "mesh/CZeMeshManipulator.h"

#include <xmmintrin.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/zeDeviceLog.h"

using namespace irr;

namespace {

// --- Normal accumulator: four floats per vertex, 16-byte aligned ------------

const u32 kMaxNormalVertices = 65536;
float* gAccumulator = nullptr;
u32 gAccumulatorVertices = 0;

bool ensureAccumulator(u32 vertices) {
  if (vertices <= gAccumulatorVertices && gAccumulator) return true;
  // Sized once for the largest buffer allowed, so later calls allocate nothing.
  void* block = nullptr;
  if (posix_memalign(&block, 64, sizeof(float) * 4 * kMaxNormalVertices) != 0) return false;
  std::free(gAccumulator);
  gAccumulator = static_cast<float*>(block);
  gAccumulatorVertices = kMaxNormalVertices;
  return true;
}

template <typename Index>
void accumulateNormals(const u8* vertices, u32 stride, const Index* indices, u32 indexCount, u32 vertexCount) {
  __m128* acc = reinterpret_cast<__m128*>(gAccumulator);
  for (u32 v = 0; v < vertexCount; ++v) acc[v] = _mm_setzero_ps();
  for (u32 i = 0; i + 2 < indexCount; i += 3) {
    const u32 i0 = indices[i], i1 = indices[i + 1], i2 = indices[i + 2];
    // Indices past the vertex list are skipped rather than followed.
    if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount) continue;
    const float* p0 = reinterpret_cast<const float*>(vertices + i0 * stride);
    const float* p1 = reinterpret_cast<const float*>(vertices + i1 * stride);
    const float* p2 = reinterpret_cast<const float*>(vertices + i2 * stride);
    const __m128 a = _mm_setr_ps(p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2], 0.0f);
    const __m128 b = _mm_setr_ps(p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2], 0.0f);
    // a x b with lanes (y, z, x) shuffles.
    const __m128 aYZX = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1));
    const __m128 bYZX = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 0, 2, 1));
    const __m128 c = _mm_sub_ps(_mm_mul_ps(a, bYZX), _mm_mul_ps(aYZX, b));
    const __m128 n = _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 0, 2, 1));
    __m128 lengthSq = _mm_mul_ps(n, n);
    lengthSq = _mm_add_ps(lengthSq, _mm_shuffle_ps(lengthSq, lengthSq, _MM_SHUFFLE(2, 3, 0, 1)));
    lengthSq = _mm_add_ps(lengthSq, _mm_shuffle_ps(lengthSq, lengthSq, _MM_SHUFFLE(1, 0, 3, 2)));
    // A zero-area triangle has no direction: it adds nothing.
    if (_mm_cvtss_f32(lengthSq) <= 0.0f) continue;
    const __m128 unit = _mm_mul_ps(n, _mm_rsqrt_ps(lengthSq));
    acc[i0] = _mm_add_ps(acc[i0], unit);
    acc[i1] = _mm_add_ps(acc[i1], unit);
    acc[i2] = _mm_add_ps(acc[i2], unit);
  }
}

void writeNormals(u8* vertices, u32 stride, u32 vertexCount) {
  const __m128* acc = reinterpret_cast<const __m128*>(gAccumulator);
  for (u32 v = 0; v < vertexCount; ++v) {
    __m128 lengthSq = _mm_mul_ps(acc[v], acc[v]);
    lengthSq = _mm_add_ps(lengthSq, _mm_shuffle_ps(lengthSq, lengthSq, _MM_SHUFFLE(2, 3, 0, 1)));
    lengthSq = _mm_add_ps(lengthSq, _mm_shuffle_ps(lengthSq, lengthSq, _MM_SHUFFLE(1, 0, 3, 2)));
    // A vertex no triangle uses keeps its normal.
    if (_mm_cvtss_f32(lengthSq) <= 0.0f) continue;
    float out[4];
    _mm_storeu_ps(out, _mm_mul_ps(acc[v], _mm_rsqrt_ps(lengthSq)));
    float* normal = reinterpret_cast<float*>(vertices + v * stride) + 3;
    normal[0] = out[0];
    normal[1] = out[1];
    normal[2] = out[2];
  }
}

u32 strideOf(video::E_VERTEX_TYPE type) {
  switch (type) {
    case video::EVT_2TCOORDS: return sizeof(video::S3DVertex2TCoords);
    case video::EVT_TANGENTS: return sizeof(video::S3DVertexTangents);
    default: return sizeof(video::S3DVertex);
  }
}

// --- Point-cloud generator ---------------------------------------------------

u32 gCloudState = 0;

u32 drawRandom() {
  gCloudState = gCloudState * 214013u + 2531011u;
  return (gCloudState >> 16) & 0x7FFF;
}

// Square root from the bit-pattern estimate of 1/sqrt and two Newton steps.
float approximateSqrt(float x) {
  u32 bits;
  std::memcpy(&bits, &x, 4);
  bits = 0x5F3759DF - (bits >> 1);
  float y;
  std::memcpy(&y, &bits, 4);
  y = y * (1.5f - 0.5f * x * y * y);
  y = y * (1.5f - 0.5f * x * y * y);
  return x * y;
}

u32 indexAt(const scene::IMeshBuffer* buffer, u32 i) {
  return buffer->getIndexType() == video::EIT_32BIT ? reinterpret_cast<const u32*>(buffer->getIndices())[i]
                                                     : buffer->getIndices()[i];
}

}  // namespace

void CZeMeshManipulator::recalculateNormals(scene::IMesh* mesh) {
  if (!mesh) return;
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    const u32 vertexCount = buffer->getVertexCount();
    if (vertexCount > kMaxNormalVertices) {
      zeDeviceLog(ELL_WARNING,
                  "CZeMeshManipulator::recalculateNormals : Too many vertices %d. Does not support more than 65536",
                  static_cast<int>(vertexCount));
      continue;
    }
    if (vertexCount == 0 || !ensureAccumulator(vertexCount)) continue;
    u8* vertices = static_cast<u8*>(buffer->getVertices());
    const u32 stride = strideOf(buffer->getVertexType());
    if (buffer->getIndexType() == video::EIT_32BIT)
      accumulateNormals(vertices, stride, reinterpret_cast<const u32*>(buffer->getIndices()),
                        buffer->getIndexCount(), vertexCount);
    else
      accumulateNormals(vertices, stride, buffer->getIndices(), buffer->getIndexCount(), vertexCount);
    writeNormals(vertices, stride, vertexCount);
    buffer->setDirty(scene::EBT_VERTEX);
  }
}

void CZeMeshManipulator::releaseScratch() {
  std::free(gAccumulator);
  gAccumulator = nullptr;
  gAccumulatorVertices = 0;
}

scene::SMesh* CZeMeshManipulator::createTangentMeshCopy(scene::IMeshManipulator* library, scene::IMesh* mesh,
                                                        bool keepUV2) {
  if (!mesh) return nullptr;
  scene::SMesh* copy = new scene::SMesh();
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    const scene::IMeshBuffer* source = mesh->getMeshBuffer(b);
    CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer(video::EVT_TANGENTS);
    // Start from a full copy (indices in their width, engine data kept), then
    // turn the vertices into tangent vertices.
    buffer->copyFrom(source);
    const u32 vertexCount = source->getVertexCount();
    if (buffer->getVertexType() != video::EVT_TANGENTS) {
      buffer->Vertices_Tangents.set_used(vertexCount);
      for (u32 v = 0; v < vertexCount; ++v) {
        video::S3DVertexTangents& t = buffer->Vertices_Tangents[v];
        const video::S3DVertex* s =
            source->getVertexType() == video::EVT_2TCOORDS
                ? static_cast<const video::S3DVertex*>(&static_cast<const video::S3DVertex2TCoords*>(
                                                             source->getVertices())[v])
                : &static_cast<const video::S3DVertex*>(source->getVertices())[v];
        t = video::S3DVertexTangents(s->Pos, s->Normal, s->Color, s->TCoords);
      }
      buffer->Vertices_Standard.clear();
      buffer->Vertices_2TCoords.clear();
      buffer->VertexType = video::EVT_TANGENTS;
    }
    buffer->boundingBoxNeedsRecalculated();
    buffer->recalculateBoundingBox();
    copy->addMeshBuffer(buffer);
    buffer->drop();
  }
  copy->recalculateBoundingBox();
  if (library) library->recalculateTangents(copy, false, false, false);
  if (keepUV2) {
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
      const scene::IMeshBuffer* source = mesh->getMeshBuffer(b);
      if (source->getVertexType() != video::EVT_2TCOORDS) continue;
      const video::S3DVertex2TCoords* from = static_cast<const video::S3DVertex2TCoords*>(source->getVertices());
      video::S3DVertexTangents* to = static_cast<video::S3DVertexTangents*>(copy->getMeshBuffer(b)->getVertices());
      for (u32 v = 0; v < source->getVertexCount(); ++v) {
        to[v].Binormal.X = from[v].TCoords2.X;
        to[v].Binormal.Y = from[v].TCoords2.Y;
      }
    }
  }
  return copy;
}

scene::SMesh* CZeMeshManipulator::createPointCloudMesh(scene::IMesh* mesh, u32 pointCount, bool shuffle) {
  scene::SMesh* cloud = new scene::SMesh();
  cloud->setBoundingBox(core::aabbox3df(-1, -1, -1, 1, 1, 1));
  if (!mesh) return cloud;
  // The point count comes from a scene file: more points than memory holds
  // is a failed cloud, not an exception out of the engine.
  try {
    fillPointCloud(cloud, mesh, pointCount, shuffle);
  } catch (const std::bad_alloc&) {
    zeDeviceLog(ELL_ERROR, "CZeMeshManipulator::createPointCloudMesh : failed to alloc %u points", pointCount);
    cloud->drop();
    return nullptr;
  }
  return cloud;
}

void CZeMeshManipulator::fillPointCloud(scene::SMesh* cloud, scene::IMesh* mesh, u32 pointCount, bool shuffle) {

  // Plan: every triangle's area, in order, and the total.
  struct Triangle {
    u32 first;  // position of its first index
    float area;
    u32 count;
  };
  const u32 bufferCount = mesh->getMeshBufferCount();
  std::vector<std::vector<Triangle>> triangles(bufferCount);
  std::vector<u32> bufferPoints(bufferCount, 0);
  float totalArea = 0.0f;
  for (u32 b = 0; b < bufferCount; ++b) {
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    const u32 vertexCount = buffer->getVertexCount();
    for (u32 i = 0; i + 2 < buffer->getIndexCount(); i += 3) {
      const u32 i0 = indexAt(buffer, i), i1 = indexAt(buffer, i + 1), i2 = indexAt(buffer, i + 2);
      if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount) continue;
      const core::vector3df p0 = buffer->getPosition(i0);
      const float area =
          0.5f * (buffer->getPosition(i1) - p0).crossProduct(buffer->getPosition(i2) - p0).getLength();
      triangles[b].push_back({i, area, 0});
      totalArea += area;
    }
  }
  // Share out the points by area, in double precision.
  const float wanted = static_cast<float>(pointCount);
  u64 sum = 0;
  for (u32 b = 0; b < bufferCount; ++b) {
    for (Triangle& t : triangles[b]) {
      const double share = static_cast<double>(wanted) * static_cast<double>(t.area) / totalArea;
      t.count = totalArea > 0.0f && share > 0.0 ? static_cast<u32>(share) : 0;
      bufferPoints[b] += t.count;
    }
    sum += bufferPoints[b];
  }
  // The last triangle of the last buffer takes what rounding left over.
  if (bufferCount > 0 && !triangles[bufferCount - 1].empty()) {
    Triangle& last = triangles[bufferCount - 1].back();
    if (sum <= pointCount)
      last.count += static_cast<u32>(pointCount - sum);
    else
      last.count -= static_cast<u32>(std::min<u64>(sum - pointCount, last.count));
    bufferPoints[bufferCount - 1] = 0;
    for (const Triangle& t : triangles[bufferCount - 1]) bufferPoints[bufferCount - 1] += t.count;
  }
  u64 total = 0;
  for (u32 b = 0; b < bufferCount; ++b) total += bufferPoints[b];
  if (total != pointCount)
    zeDeviceLog(ELL_WARNING,
                "CZeMeshManipulator::createPointCloudMesh : Warning, total=%d different from expected numVertices=%d",
                static_cast<int>(total), static_cast<int>(pointCount));

  gCloudState = 0;
  const float kScale = 3.0518509447574615e-05f;  // 1/32767
  u32 running = 0;
  for (u32 b = 0; b < bufferCount; ++b) {
    const scene::IMeshBuffer* source = mesh->getMeshBuffer(b);
    CZeSkinMeshBuffer* points = new CZeSkinMeshBuffer(video::EVT_STANDARD);
    cloud->addMeshBuffer(points);  // the cloud owns it from here
    points->drop();
    points->Material = source->getMaterial();
    points->Vertices_Standard.reallocate(bufferPoints[b]);
    const bool tangents = source->getVertexType() == video::EVT_TANGENTS;
    if (tangents) {
      zeDeviceLog(ELL_ERROR, "CZeMeshManipulator::createPointCloudMesh : error, video::EVT_TANGENTS is not supported\n");
    } else {
      for (const Triangle& t : triangles[b]) {
        const u32 i0 = indexAt(source, t.first), i1 = indexAt(source, t.first + 1), i2 = indexAt(source, t.first + 2);
        const core::vector3df p0 = source->getPosition(i0), p1 = source->getPosition(i1), p2 = source->getPosition(i2);
        const core::vector3df n0 = source->getNormal(i0), n1 = source->getNormal(i1), n2 = source->getNormal(i2);
        const core::vector2df t0 = source->getTCoords(i0), t1 = source->getTCoords(i1), t2 = source->getTCoords(i2);
        for (u32 k = 0; k < t.count; ++k) {
          const float r1 = static_cast<float>(drawRandom()) * kScale;
          const float r2 = static_cast<float>(drawRandom()) * kScale;
          const float s = approximateSqrt(r1);
          const float w0 = 1.0f - s, w1 = s * (1.0f - r2), w2 = s * r2;
          video::S3DVertex point;
          point.Pos = p0 * w0 + p1 * w1 + p2 * w2;
          point.Normal = n0 * w0 + n1 * w1 + n2 * w2;
          const float length = point.Normal.getLength();
          if (length != 0.0f) point.Normal /= length;
          point.TCoords = t0 * w0 + t1 * w1 + t2 * w2;
          point.Color.color = running++;
          points->Vertices_Standard.push_back(point);
        }
      }
    }
    if (shuffle) {
      if (tangents) {
        zeDeviceLog(ELL_ERROR, "CZeMeshManipulator::createPointCloudMesh : error, video::EVT_TANGENTS is not supported\n");
      } else {
        // Seeded by the total area so a cloud is the same on every run.
        gCloudState = std::isfinite(totalArea)
                          ? static_cast<u32>(static_cast<u64>(std::fmod(std::trunc(static_cast<double>(totalArea)), 4294967296.0)))
                          : 0u;
        const u32 m = points->Vertices_Standard.size();
        for (u32 i = 0; i < m; ++i) {
          const u32 j = static_cast<u32>(static_cast<u64>(m - 1) * drawRandom() / 32767);
          const video::S3DVertex swap = points->Vertices_Standard[i];
          points->Vertices_Standard[i] = points->Vertices_Standard[j];
          points->Vertices_Standard[j] = swap;
        }
      }
    }
    points->boundingBoxNeedsRecalculated();
    points->recalculateBoundingBox();
  }
  cloud->recalculateBoundingBox();
}

void CZeMeshManipulator::writeVertexIds(scene::IMesh* mesh) {
  if (!mesh) return;
  u32 running = 0;
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    u8* vertices = static_cast<u8*>(buffer->getVertices());
    const u32 stride = strideOf(buffer->getVertexType());
    for (u32 v = 0; v < buffer->getVertexCount(); ++v)
      reinterpret_cast<video::S3DVertex*>(vertices + v * stride)->Color.color = running++;
    buffer->setDirty(scene::EBT_VERTEX);
  }
}
