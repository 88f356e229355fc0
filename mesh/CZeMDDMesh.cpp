#include "mesh/CZeMDDMesh.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/zeFile.h"
#include "mesh/CZeMeshManipulator.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/codec/zeZmdd.h"
#include "mesh/zeDeviceLog.h"

using namespace irr;

namespace {

float* allocateFloats(uint64_t count) {
  const uint64_t bytes = count * sizeof(float);
  if (count == 0 || bytes / sizeof(float) != count || bytes > (uint64_t(1) << 40)) return nullptr;
  void* p = nullptr;
  if (posix_memalign(&p, 64, static_cast<std::size_t>(bytes)) != 0) return nullptr;
  return static_cast<float*>(p);
}

}  // namespace

// --- SZeMDD / SZePntsLookup ---------------------------------------------------------------

SZeMDD::~SZeMDD() { std::free(Positions); }

bool SZeMDD::allocate(uint32_t frames, uint32_t points) {
  Positions = allocateFloats(4ull * frames * points);
  if (!Positions) return false;
  FrameCount = frames;
  PointCount = points;
  Times.assign(frames, 0.0f);
  return true;
}

bool SZePntsLookup::setup(scene::IMesh* mesh, const std::vector<uint32_t>& table) {
  Buffers.assign(mesh->getMeshBufferCount(), {});
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    const u32 count = buffer->getVertexCount();
    if (count == 0) continue;
    const u32* original = zeMeshBufferOriginalIndices(buffer);
    if (!original || zeMeshBufferExt(buffer)->OriginalVerticesIndices.size() < count) {
      zeDeviceLog(ELL_ERROR, "SZePntsLookup:setup: OriginalVerticesIndices not found in mesh");
      return false;
    }
    std::vector<uint32_t>& points = Buffers[b];
    points.resize(count);
    for (u32 v = 0; v < count; ++v) {
      if (original[v] >= table.size()) {
        zeDeviceLog(ELL_ERROR, "SZePntsLookup:setup: MB %d, vertex %d: iI(%d) >= numPnts(%d) )", int(b), int(v),
                    int(original[v]), int(table.size()));
        return false;
      }
      points[v] = table[original[v]];
    }
  }
  return true;
}

// --- CZeMDDMesh ---------------------------------------------------------------------------

CZeMDDMesh::~CZeMDDMesh() {
  if (Copy) Copy->drop();
  if (Frames) Frames->drop();
  if (Lookup) Lookup->drop();
  std::free(Interpolated);
}

bool CZeMDDMesh::allocateInterpolation() {
  Interpolated = allocateFloats(4ull * Frames->PointCount);
  if (Interpolated) std::memcpy(Interpolated, Frames->frame(1), 16ull * Frames->PointCount);
  return Interpolated != nullptr;
}

bool CZeMDDMesh::setup(scene::IMesh* mesh, const char* pntsName, const char* cacheName) {
  Copy = mesh ? zeCreateMeshCopy(mesh) : nullptr;
  if (!Copy) {
    zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: createMeshCopy failed");
    return false;
  }
  ZeZmddStream* stream = zmddc_uncompress_create(cacheName);
  if (!stream) {
    zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: zmddc_uncompress_create failed filename=%s", cacheName);
    return false;
  }
  const int F = zmddc_frame_count(stream);
  const uint32_t n = static_cast<uint32_t>(zmddc_point_count(stream));
  Frames = new SZeMDD;
  if (!Frames->allocate(static_cast<uint32_t>(F) + 1, n)) {
    zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: %d frames of %u points do not fit in memory (%s)", F + 1, n,
                cacheName);
    zmddc_release(stream);
    return false;
  }
  for (int k = -1; k < F; ++k) {
    const float *x, *y, *z;
    if (!zmddc_uncompress_frame(stream, k, &x, &y, &z)) {
      zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: zmddc_uncompress_frame failed frame=%d", k);
      zmddc_release(stream);
      return false;
    }
    float* to = Frames->frame(static_cast<uint32_t>(k + 1));
    for (uint32_t i = 0; i < n; ++i) {
      to[4 * i] = x[i];
      to[4 * i + 1] = y[i];
      to[4 * i + 2] = z[i];
      to[4 * i + 3] = 0.0f;
    }
    Frames->Times[k + 1] = zmddc_frame_time(stream, k < 0 ? 0 : k);
  }
  zmddc_release(stream);

  if (!zeFileExists(pntsName)) {
    zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: failed to open zpnts file %s", pntsName);
    return false;
  }
  std::vector<uint32_t> table;
  if (!zeReadZpnts(pntsName, &table)) {
    zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: LWLoad %s failed ", pntsName);
    return false;
  }
  if (zeZpntsFirstBadEntry(table, n) >= 0) {
    zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: SZePntsLookup::checkPnts failed for %s", pntsName);
    return false;
  }
  Lookup = new SZePntsLookup;
  if (!Lookup->setup(mesh, table)) {
    zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: PntsLookup.setup failed for %s", pntsName);
    return false;
  }
  // A cache whose times do not rise cannot map a time to a frame.
  for (int k = 1; k < F && TimesIncrease; ++k)
    TimesIncrease = std::isfinite(Frames->Times[k + 1]) && Frames->Times[k + 1] > Frames->Times[k];
  if (F > 1 && !TimesIncrease)
    zeDeviceLog(ELL_WARNING, "CZeMDDMesh::setup: the frame times of %s do not increase; it holds its first frame",
                cacheName);
  if (!allocateInterpolation()) {
    zeDeviceLog(ELL_ERROR, "CZeMDDMesh::setup: no memory for %u points", n);
    return false;
  }
  setFrame(0.0f);
  return true;
}

CZeMDDMesh* CZeMDDMesh::clone() const {
  if (!Copy || !Frames || !Lookup) return nullptr;
  CZeMDDMesh* other = new CZeMDDMesh;
  other->Copy = zeCreateMeshCopy(Copy);
  other->Frames = Frames;
  Frames->grab();
  other->Lookup = Lookup;
  Lookup->grab();
  other->Wrap = Wrap;
  other->TimesIncrease = TimesIncrease;
  other->Box = Box;
  if (!other->Copy || !other->allocateInterpolation()) {
    other->drop();
    return nullptr;
  }
  other->setFrame(Frame);
  return other;
}

int CZeMDDMesh::getFrameCount() const { return Frames ? static_cast<int>(Frames->FrameCount) - 1 : 0; }

float CZeMDDMesh::getFrameTime(int k) const {
  const int F = getFrameCount();
  if (F <= 0) return 0.0f;
  if (k < 0) k = 0;
  if (k > F - 1) k = F - 1;
  return Frames->Times[k + 1];
}

float CZeMDDMesh::lastFrameTime() const {
  if (!TimesIncrease) return 0.0f;
  return getFrameTime(getFrameCount() - 1);
}

void CZeMDDMesh::interpolate(float x) {
  if (!Frames || !Interpolated) return;
  Frame = x;
  const int L = static_cast<int>(Frames->FrameCount);
  float y = std::isfinite(x) ? x + 1.0f : 1.0f;
  if (y < 1.0f) y = 1.0f;
  if (y > static_cast<float>(L)) y = static_cast<float>(L);
  int h = static_cast<int>(std::floor(y));
  int e = h + 1;
  float t = y - static_cast<float>(h);
  if (Wrap) {
    if (e >= L) e = 1;
    if (h == L) h = e = 1, t = 0.0f;
  }
  if (h > L - 1) h = L - 1;
  if (e > L - 1) e = L - 1;
  const float* a = Frames->frame(static_cast<uint32_t>(h));
  const float* b = Frames->frame(static_cast<uint32_t>(e));
  const uint64_t count = 4ull * Frames->PointCount;
  float* __restrict out = Interpolated;
  for (uint64_t i = 0; i < count; ++i) out[i] = a[i] + (b[i] - a[i]) * t;
}

void CZeMDDMesh::writePositions() {
  if (!Copy || !Lookup || !Interpolated) return;
  core::aabbox3df meshBox;
  bool first = true;
  for (u32 b = 0; b < Copy->getMeshBufferCount() && b < Lookup->Buffers.size(); ++b) {
    scene::IMeshBuffer* buffer = Copy->getMeshBuffer(b);
    const std::vector<uint32_t>& points = Lookup->Buffers[b];
    const u32 count = buffer->getVertexCount() < points.size() ? buffer->getVertexCount() : u32(points.size());
    if (count == 0) continue;
    const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
    u8* vertex = static_cast<u8*>(buffer->getVertices());
    core::aabbox3df box;
    for (u32 v = 0; v < count; ++v, vertex += stride) {
      const float* p = Interpolated + 4ull * points[v];
      core::vector3df& pos = reinterpret_cast<video::S3DVertex*>(vertex)->Pos;
      pos.set(p[0], p[1], p[2]);
      if (v == 0) box.reset(pos);
      else box.addInternalPoint(pos);
    }
    buffer->setBoundingBox(box);
    if (first) meshBox = box, first = false;
    else meshBox.addInternalBox(box);
  }
  if (!first) Box = meshBox;
}

void CZeMDDMesh::recalculateNormals() {
  if (!Copy) return;
  CZeMeshManipulator::recalculateNormals(Copy);
  Copy->setDirty(scene::EBT_VERTEX);
}

void CZeMDDMesh::setFrame(float frame) {
  interpolate(frame);
  writePositions();
  recalculateNormals();
}

u32 CZeMDDMesh::getMeshBufferCount() const { return Copy ? Copy->getMeshBufferCount() : 0; }
scene::IMeshBuffer* CZeMDDMesh::getMeshBuffer(u32 nr) const { return Copy ? Copy->getMeshBuffer(nr) : nullptr; }
scene::IMeshBuffer* CZeMDDMesh::getMeshBuffer(const video::SMaterial& material) const {
  return Copy ? Copy->getMeshBuffer(material) : nullptr;
}
void CZeMDDMesh::setMaterialFlag(video::E_MATERIAL_FLAG flag, bool value) {
  if (Copy) Copy->setMaterialFlag(flag, value);
}
void CZeMDDMesh::setHardwareMappingHint(scene::E_HARDWARE_MAPPING hint, scene::E_BUFFER_TYPE buffer) {
  if (Copy) Copy->setHardwareMappingHint(hint, buffer);
}
void CZeMDDMesh::setDirty(scene::E_BUFFER_TYPE buffer) {
  if (Copy) Copy->setDirty(buffer);
}
