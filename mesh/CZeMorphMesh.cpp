#include "mesh/CZeMorphMesh.h"

#include <algorithm>
#include <cmath>

#include "base/zeFile.h"
#include "base/zePath.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/codec/zeZmorph.h"
#include "mesh/zeDeviceLog.h"

using namespace irr;

// --- The map ---------------------------------------------------------------------------

CZeMorphMeshMorphMapZN::~CZeMorphMeshMorphMapZN() {
  if (Copy) Copy->drop();
  if (Source) Source->drop();
}

bool CZeMorphMeshMorphMapZN::adopt(scene::IMesh* mesh, std::vector<SZeMorphTargetZN>& targets, bool skinned) {
  Copy = mesh ? zeCreateMeshCopy(mesh) : nullptr;
  if (!Copy) {
    zeDeviceLog(ELL_ERROR, "CZeMorphMeshMorphMapZN::create: createMeshCopy failed");
    return false;
  }
  if (!Base.create(mesh) || !(skinned ? Work.create(static_cast<scene::ISkinnedMesh*>(mesh)) : Work.createBuffers(mesh))) {
    zeDeviceLog(ELL_ERROR, "CZeMorphMeshMorphMapZN::create: no memory for the morph buffers");
    return false;
  }
  Box = Copy->getBoundingBox();
  Targets = std::move(targets);
  Source = mesh;
  Source->grab();
  return true;
}

bool CZeMorphMeshMorphMapZN::create(scene::IMesh* mesh, std::vector<SZeMorphTargetZN> targets) {
  return adopt(mesh, targets, false);
}

bool CZeMorphMeshMorphMapZN::createSkinned(scene::ISkinnedMesh* mesh, std::vector<SZeMorphTargetZN> targets) {
  if (!mesh) return false;
  // Switching hardware skinning on puts every weighted vertex back at its
  // bind position and normal; left on, the library never skins the shared
  // mesh itself, we skin into the copy.
  mesh->setHardwareSkinning(false);
  mesh->setHardwareSkinning(true);
  if (!adopt(mesh, targets, true)) return false;
  Skinned = mesh;
  return true;
}

CZeMorphMeshMorphMapZN* CZeMorphMeshMorphMapZN::clone() const {
  if (!Source) return nullptr;
  CZeMorphMeshMorphMapZN* other = new CZeMorphMeshMorphMapZN;
  const bool made = Skinned ? other->createSkinned(Skinned, Targets) : other->create(Source, Targets);
  if (!made) {
    other->drop();
    return nullptr;
  }
  other->Box = Box;
  return other;
}

s32 CZeMorphMeshMorphMapZN::getFrameCount() const {
  if (!Skinned) return 1;
  const u32 frames = Skinned->getFrameCount();
  return frames > 0 && frames < 0x7fffffffu ? static_cast<s32>(frames) : 1;
}

void CZeMorphMeshMorphMapZN::animate(const std::vector<std::pair<uint32_t, float>>& weights, float frame) {
  if (!Copy) return;
  Work.resetFromBase(Base);
  Work.blend(weights, Targets);
  if (Skinned) {
    // Targets move the bind pose; the skeleton then carries the result.
    Skinned->animateMesh(frame, 1.0f);
    Skinned->skinMesh();  // hardware skinning is on: only the joints' global matrices
    Work.updateJointMatrices(Skinned);
    if (!Work.skinMesh(Copy)) return;
  } else if (!Work.copyToMesh(Copy)) {
    return;
  }
  Copy->setDirty(scene::EBT_VERTEX);
  // Targets and joints may move vertices out of the base's box: culling needs the new one.
  for (u32 b = 0; b < Copy->getMeshBufferCount(); ++b) {
    scene::IMeshBuffer* buffer = Copy->getMeshBuffer(b);
    if (CZeSkinMeshBuffer* ours = zeMeshBufferExt(buffer)) ours->boundingBoxNeedsRecalculated();
    buffer->recalculateBoundingBox();
  }
  Copy->recalculateBoundingBox();
  Box = Copy->getBoundingBox();
}

bool zeIsSkinnedWithFrames(scene::IAnimatedMesh* mesh) {
  return mesh && mesh->getMeshType() == scene::EAMT_SKINNED && mesh->getFrameCount() > 0;
}

CZeMorphMeshMorphMapZN* zeCreateMorphMap(scene::IAnimatedMesh* mesh, std::vector<SZeMorphTargetZN> targets) {
  if (!mesh) return nullptr;
  CZeMorphMeshMorphMapZN* map = new CZeMorphMeshMorphMapZN;
  const bool made = zeIsSkinnedWithFrames(mesh)
                        ? map->createSkinned(static_cast<scene::ISkinnedMesh*>(mesh), std::move(targets))
                        : map->create(mesh, std::move(targets));
  if (!made) {
    map->drop();
    return nullptr;
  }
  return map;
}

// --- Names beside the object -------------------------------------------------------------

namespace {
// The name without its extension, and the extension with its dot ("" when none).
void splitExtension(const char* file, std::string* stem, std::string* extension) {
  *stem = file ? file : "";
  const std::string name = zePathFileName(*stem, true);
  *extension = name.substr(zePathFileName(name, false).size());
  stem->erase(stem->size() - extension->size());
}
}  // namespace

std::string zeMorphTargetFileName(const char* objectFile, int k) {
  std::string stem, extension;
  splitExtension(objectFile, &stem, &extension);
  return stem + ".morph" + std::to_string(k) + extension;
}

std::string zeZmorphFileName(const char* objectFile) {
  std::string stem, extension;
  splitExtension(objectFile, &stem, &extension);
  return stem + ".zmorph";
}

bool zeMorphFileExists(const char* objectFile) {
  return zeFileExists(zeMorphTargetFileName(objectFile, 1).c_str()) ||
         zeFileExists(zeZmorphFileName(objectFile).c_str());
}

// --- Targets -------------------------------------------------------------------------------

bool zeMorphTargetsFromZmorph(scene::IMesh* mesh, const std::vector<SZeZmorphTarget>& file,
                              std::vector<SZeMorphTargetZN>* targets) {
  // Per buffer, (file vertex, buffer vertex) sorted by file vertex: every vertex
  // made from a point moves with it, duplicates included.
  std::vector<std::vector<std::pair<uint32_t, uint32_t>>> byPoint(mesh->getMeshBufferCount());
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    const u32 count = buffer->getVertexCount();
    if (count == 0) continue;
    const u32* original = zeMeshBufferOriginalIndices(buffer);
    if (!original || zeMeshBufferExt(buffer)->OriginalVerticesIndices.size() < count) {
      zeDeviceLog(ELL_ERROR, "CZeMorphMapLoader::createMorphMap: OriginalVerticesIndices not found in mesh");
      return false;
    }
    bool ordered = true;
    for (u32 v = 1; v < count && ordered; ++v) ordered = original[v] > original[v - 1];
    if (!ordered)
      zeDeviceLog(ELL_WARNING,
                  "CZeMorphMapLoader::createMorphMap: Warning, OriginalVerticesIndices are not ordered in meshbuffer "
                  "%d, slower load",
                  static_cast<int>(b));
    byPoint[b].reserve(count);
    for (u32 v = 0; v < count; ++v) byPoint[b].emplace_back(original[v], v);
    if (!ordered) std::stable_sort(byPoint[b].begin(), byPoint[b].end());
  }
  targets->assign(file.size(), {});
  for (std::size_t t = 0; t < file.size(); ++t) {
    const SZeZmorphTarget& from = file[t];
    for (u32 b = 0; b < byPoint.size(); ++b) {
      SZeMorphTargetPartZN part;
      part.buffer = b;
      for (std::size_t j = 0; j < from.points.size(); ++j) {
        auto range = std::equal_range(byPoint[b].begin(), byPoint[b].end(), std::make_pair(from.points[j], 0u),
                                      [](const auto& a, const auto& c) { return a.first < c.first; });
        for (auto it = range.first; it != range.second; ++it) {
          SZeBaseVertexZN delta = {{from.positionDeltas[3 * j], from.positionDeltas[3 * j + 1],
                                    from.positionDeltas[3 * j + 2], 0.0f},
                                   {from.normalDeltas[3 * j], from.normalDeltas[3 * j + 1],
                                    from.normalDeltas[3 * j + 2], 0.0f}};
          part.vertices.push_back(it->second);
          part.deltas.push_back(delta);
        }
      }
      if (!part.vertices.empty()) (*targets)[t].parts.push_back(std::move(part));
    }
  }
  return true;
}

bool zeMorphTargetsFromMeshes(const std::vector<scene::IMesh*>& meshes, std::vector<SZeMorphTargetZN>* targets) {
  targets->clear();
  if (meshes.empty()) return true;
  const scene::IMesh* reference = meshes[0];
  for (std::size_t k = 1; k < meshes.size(); ++k) {
    const scene::IMesh* mesh = meshes[k];
    if (mesh->getMeshBufferCount() != reference->getMeshBufferCount()) {
      zeDeviceLog(ELL_ERROR, "CZeMorphMeshMorphMap: morph mesh %d has %d buffers, the first has %d",
                  static_cast<int>(k + 1), static_cast<int>(mesh->getMeshBufferCount()),
                  static_cast<int>(reference->getMeshBufferCount()));
      return false;
    }
    SZeMorphTargetZN target;
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
      const scene::IMeshBuffer* r = reference->getMeshBuffer(b);
      const scene::IMeshBuffer* m = mesh->getMeshBuffer(b);
      if (m->getVertexCount() != r->getVertexCount()) {
        zeDeviceLog(ELL_ERROR, "CZeMorphMeshMorphMap: morph mesh %d buffer %d has %d vertices, the first has %d",
                    static_cast<int>(k + 1), static_cast<int>(b), static_cast<int>(m->getVertexCount()),
                    static_cast<int>(r->getVertexCount()));
        return false;
      }
      SZeMorphTargetPartZN part;
      part.buffer = b;
      for (u32 v = 0; v < m->getVertexCount(); ++v) {
        const core::vector3df dp = m->getPosition(v) - r->getPosition(v);
        const core::vector3df dn = m->getNormal(v) - r->getNormal(v);
        const bool moves = dp.getLengthSQ() >= std::ldexp(1.0f, -46) || std::fabs(dn.X) >= 0.1f ||
                           std::fabs(dn.Y) >= 0.1f || std::fabs(dn.Z) >= 0.1f;
        if (!moves) continue;
        part.vertices.push_back(v);
        part.deltas.push_back({{dp.X, dp.Y, dp.Z, 0.0f}, {dn.X, dn.Y, dn.Z, 0.0f}});
      }
      if (!part.vertices.empty()) target.parts.push_back(std::move(part));
    }
    targets->push_back(std::move(target));
  }
  return true;
}
