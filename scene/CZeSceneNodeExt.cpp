// The object node extension.
//
// Contents: rows · effects and surfaces · tangents
// and update · effect list · cube maps, box, mask.
#include "scene/CZeSceneNodeExt.h"

#include "mesh/CZeMeshManipulator.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/IZeSurface.h"
#include "scene/IZeEffect.h"
#include "scene/zeNodeKind.h"
#include "scene/zeSceneLog.h"

using namespace irr;

IZeSceneNodeExt* zeFindNodeExt(scene::ISceneNode* node) {
  if (!node) return nullptr;
  for (scene::ISceneNodeAnimator* animator : node->getAnimators())
    if (static_cast<s32>(animator->getType()) == ZE_NODE_EXT_TYPE) return static_cast<IZeSceneNodeExt*>(animator);
  return nullptr;
}

namespace {
constexpr int kSavedTechniques = 64;
}  // namespace

// --- Tangent copies ------------------------------------------------------------------

namespace {

scene::IMesh* manipulatorTangentCopy(scene::ISceneManager* sceneManager, scene::IMesh* mesh, bool keepSecondUV) {
  return CZeMeshManipulator::createTangentMeshCopy(sceneManager->getMeshManipulator(), mesh, keepSecondUV);
}

ZeTangentCopyFunction tangentCopy = manipulatorTangentCopy;

}  // namespace

void zeSetTangentCopyFunction(ZeTangentCopyFunction function) {
  tangentCopy = function ? function : manipulatorTangentCopy;
}

// --- Rows ------------------------------------------------------------------------

CZeSceneNodeExt::CZeSceneNodeExt(scene::ISceneNode* node) : node_(node) {
  const u32 count = node ? node->getMaterialCount() : 0;
  rows_.reallocate(count);
  for (u32 i = 0; i < count; ++i) {
    Row row;
    row.record.row = static_cast<int>(i);
    rows_.push_back(row);
  }
}

CZeSceneNodeExt::~CZeSceneNodeExt() {
  for (u32 i = 0; i < rows_.size(); ++i) releaseRow(rows_[i]);
  releaseSavedEffects();
  if (cubeMap1_) cubeMap1_->drop();
  if (cubeMap2_) cubeMap2_->drop();
}

void CZeSceneNodeExt::releaseRow(Row& row) {
  if (row.record.effect) row.record.effect->drop();
  row.record.effect = nullptr;
  row.record.clearTextures();
  if (row.surface) row.surface->drop();
  row.surface = nullptr;
}

void CZeSceneNodeExt::releaseSavedEffects() {
  for (u32 i = 0; i < savedEffects_.size(); ++i)
    if (savedEffects_[i].effect) savedEffects_[i].effect->drop();
  savedEffects_.clear();
}

scene::ISceneNodeAnimator* CZeSceneNodeExt::createClone(scene::ISceneNode* node, scene::ISceneManager*) {
  CZeSceneNodeExt* copy = new CZeSceneNodeExt(node);
  const u32 count = rows_.size() < copy->rows_.size() ? rows_.size() : copy->rows_.size();
  for (u32 i = 0; i < count; ++i) {
    const Row& from = rows_[i];
    Row& to = copy->rows_[i];
    if (from.surface) to.surface = from.surface->clone();
    to.record.effect = from.record.effect;
    if (to.record.effect) to.record.effect->grab();
    to.record.technique = from.record.technique;
    to.record.secondIndex = from.record.secondIndex;
  }
  return copy;
}

SZeMaterialRecord* CZeSceneNodeExt::getMaterialRecord(u32 row) {
  return row < rows_.size() ? &rows_[row].record : nullptr;
}

// --- Effects and surfaces ------------------------------------------------------------

IZeEffect* CZeSceneNodeExt::getEffect(u32 row) const { return row < rows_.size() ? rows_[row].record.effect : nullptr; }

void CZeSceneNodeExt::setEffect(u32 row, IZeEffect* effect, int technique, int secondIndex) {
  if (row >= rows_.size()) return;
  if (effect) effect->grab();  // before clearing: the new effect may be the old one
  clearEffect(row);
  rows_[row].record.effect = effect;
  rows_[row].record.technique = technique;
  rows_[row].record.secondIndex = secondIndex;
  applyRow(row);
}

void CZeSceneNodeExt::setIndices(u32 row, int technique, int secondIndex) {
  if (row >= rows_.size()) return;
  rows_[row].record.technique = technique;
  rows_[row].record.secondIndex = secondIndex;
}

void CZeSceneNodeExt::setTechnique(u32 row, int technique) {
  if (row < rows_.size()) rows_[row].record.technique = technique;
}

void CZeSceneNodeExt::setSecondIndex(u32 row, int secondIndex) {
  if (row < rows_.size()) rows_[row].record.secondIndex = secondIndex;
}

void CZeSceneNodeExt::clearEffect(u32 row) {
  if (row >= rows_.size()) return;
  SZeMaterialRecord& record = rows_[row].record;
  if (!record.effect) return;
  if (row < node_->getMaterialCount()) record.effect->clearFromMaterial(node_->getMaterial(row), record);
  record.clearTextures();  // they named the effect's samplers
  record.effect->drop();
  record.effect = nullptr;
}

void CZeSceneNodeExt::clearEffects() {
  for (u32 i = 0; i < rows_.size(); ++i) clearEffect(i);
}

IZeSurface* CZeSceneNodeExt::getSurface(u32 row) const { return row < rows_.size() ? rows_[row].surface : nullptr; }

void CZeSceneNodeExt::setSurface(u32 row, IZeSurface* surface) {
  if (row >= rows_.size()) return;
  if (surface) surface->grab();
  if (rows_[row].surface) rows_[row].surface->drop();
  rows_[row].surface = surface;
  applyRow(row);
}

void CZeSceneNodeExt::clearSurface(u32 row) {
  if (row >= rows_.size() || !rows_[row].surface) return;
  rows_[row].surface->drop();
  rows_[row].surface = nullptr;
  rows_[row].record.clearTextures();  // the surface's image maps
}

void CZeSceneNodeExt::clearSurfaces() {
  for (u32 i = 0; i < rows_.size(); ++i) clearSurface(i);
}

bool CZeSceneNodeExt::usesSecondUV() const {
  scene::IMesh* mesh = zeObjectMesh(node_);
  return mesh && zeMeshUsesUV2(mesh);
}

SZeSurfaceNodeFacts zeSurfaceNodeFacts(scene::ISceneNode* node, u32 row) {
  SZeSurfaceNodeFacts facts;
  scene::IMesh* mesh = zeObjectMesh(node);
  if (mesh && mesh->getMeshBufferCount() > 0) {
    facts.meshHasTangents = mesh->getMeshBuffer(0)->getVertexType() == video::EVT_TANGENTS;
    for (u32 k = 0; k < mesh->getMeshBufferCount(); ++k)
      if (mesh->getMeshBuffer(k)->getVertexType() == video::EVT_2TCOORDS) facts.hasSecondUV = true;
    facts.hasSecondUV = facts.hasSecondUV || zeMeshUsesUV2(mesh);
    // -1: a buffer that says nothing of a second set.
    if (row < mesh->getMeshBufferCount()) facts.uv2Mask = core::max_(zeMeshBufferUV2Mask(mesh->getMeshBuffer(row)), 0);
  }
  if (IZeSceneNodeExt* ext = zeFindNodeExt(node)) {
    facts.cubeMap1 = ext->getCubeMap1();
    facts.boxProjection = ext->getBoxProjection();
  }
  return facts;
}

void CZeSceneNodeExt::getBufferUVPair(u32 row, s32* uvValue, s32* uv2Mask) const {
  *uvValue = -1;
  *uv2Mask = -1;
  scene::IMesh* mesh = zeObjectMesh(node_);
  if (!mesh || row >= mesh->getMeshBufferCount()) return;
  *uvValue = zeMeshBufferUVValue(mesh->getMeshBuffer(row));
  *uv2Mask = zeMeshBufferUV2Mask(mesh->getMeshBuffer(row));
}

// Writes the row into its node material: surface values, then the effect and
// the surface's image maps for the effect's samplers, then the surface's
// texture layers that the effect emptied.
void CZeSceneNodeExt::applyRow(u32 row, bool valuesOnly) {
  if (row >= rows_.size() || row >= node_->getMaterialCount()) return;
  Row& r = rows_[row];
  video::SMaterial& material = node_->getMaterial(row);
  r.record.row = static_cast<int>(row);
  // Technique indices are small (the technique lookup numbers them from 0); a
  // stray large one keeps no saved copy rather than allocating up to it.
  const bool keepsCopy = r.record.technique >= 0 && r.record.technique < kSavedTechniques;
  const u32 technique = keepsCopy ? static_cast<u32>(r.record.technique) : 0;
  if (r.surface) {
    r.surface->writeToMaterial(material);
    // New values keep the texture layers the copy holds: it is made again
    // only when the row is applied whole.
    if (keepsCopy && (!valuesOnly || r.saved.size() <= technique)) {
      while (r.saved.size() <= technique) r.saved.push_back(video::SMaterial());
      r.saved[technique] = material;
    }
  }
  if (r.record.effect) r.record.effect->applyToMaterial(material, r.record, r.record.technique, r.record.secondIndex);
  if (r.surface && r.record.effect) {
    if (!valuesOnly) r.surface->setEffectTexturesOnMaterial(r.record.effect, r.record);
    if (!keepsCopy) return;
    const video::SMaterial& saved = r.saved[technique];
    for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
      if (saved.TextureLayer[layer].Texture) material.TextureLayer[layer] = saved.TextureLayer[layer];
  }
}

// --- Tangents and update ----------------------------------------------------------------

bool CZeSceneNodeExt::needTangents() const {
  if (zeObjectKind(node_) != ZE_KIND_STATIC) return false;
  scene::IMesh* mesh = zeObjectMesh(node_);
  if (!mesh) return false;
  const u32 buffers = mesh->getMeshBufferCount();
  for (u32 k = 0; k < buffers; ++k)
    if (mesh->getMeshBuffer(k)->getIndexCount() == 0) return false;
  if (tangentMode_ == ZE_TANGENTS_NEVER) return false;
  if (tangentMode_ == ZE_TANGENTS_ALWAYS) return true;

  const u32 materials = node_->getMaterialCount();
  for (u32 k = 0; k < buffers; ++k) {
    // Irrlicht's mesh nodes give buffer k the node material k.
    if (k == materials) {
      zeSceneDeviceLog(ELL_WARNING,
                       "CZeSceneNodeExt::needTangents : Warning, the mesh buffer %d is not pointing to any material of the node",
                       static_cast<int>(k));
      continue;
    }
    if (k >= rows_.size()) {
      zeSceneDeviceLog(ELL_WARNING, "CZeSceneNodeExt::needTangents : Warning, the mesh buffer %d use a material index out of bound",
                       static_cast<int>(k));
      continue;
    }
    const Row& r = rows_[k];
    if ((r.surface && r.surface->needsTangents()) || (r.record.effect && r.record.effect->needsTangents())) return true;
  }
  return false;
}

bool CZeSceneNodeExt::makeTangentCopy() {
  scene::IMeshSceneNode* meshNode = static_cast<scene::IMeshSceneNode*>(node_);
  scene::IMesh* mesh = meshNode->getMesh();
  scene::IMesh* copy = tangentCopy(node_->getSceneManager(), mesh, usesSecondUV());
  if (!copy) return false;
  copy->setHardwareMappingHint(scene::EHM_STATIC);
  meshNode->setMesh(copy);  // the node grabs it
  copy->drop();
  return true;
}

bool CZeSceneNodeExt::update() {
  if (zeObjectKind(node_) == ZE_KIND_STATIC) {
    scene::IMesh* mesh = zeObjectMesh(node_);
    if (mesh && mesh->getMeshBufferCount() > 0 && mesh->getMeshBuffer(0)->getVertexType() != video::EVT_TANGENTS &&
        needTangents() && !makeTangentCopy())
      return false;
  }
  for (u32 i = 0; i < rows_.size(); ++i) applyRow(i);
  return true;
}

// --- Effect list ----------------------------------------------------------------------

void CZeSceneNodeExt::saveEffects() {
  releaseSavedEffects();
  for (u32 i = 0; i < rows_.size(); ++i) {
    SavedEffect saved;
    saved.effect = rows_[i].record.effect;
    if (saved.effect) saved.effect->grab();
    saved.technique = rows_[i].record.technique;
    saved.secondIndex = rows_[i].record.secondIndex;
    savedEffects_.push_back(saved);
  }
}

void CZeSceneNodeExt::restoreEffects() {
  const u32 count = savedEffects_.size() < rows_.size() ? savedEffects_.size() : rows_.size();
  for (u32 i = 0; i < count; ++i) {
    const SavedEffect& saved = savedEffects_[i];
    const SZeMaterialRecord& current = rows_[i].record;
    if (saved.effect != current.effect || saved.technique != current.technique ||
        saved.secondIndex != current.secondIndex)
      setEffect(i, saved.effect, saved.technique, saved.secondIndex);
  }
}

// --- Cube maps, box, mask -----------------------------------------------------------------

namespace {
void replace(IReferenceCounted*& slot, IReferenceCounted* value) {
  if (value) value->grab();
  if (slot) slot->drop();
  slot = value;
}
}  // namespace

void CZeSceneNodeExt::setCubeMap1(IReferenceCounted* cubeTexture) { replace(cubeMap1_, cubeTexture); }
void CZeSceneNodeExt::setCubeMap2(IReferenceCounted* cubeTexture) { replace(cubeMap2_, cubeTexture); }

void CZeSceneNodeExt::setBoxProjection(bool on) {
  boxProjection_ = on;
  // Far away: a box nobody is inside projects nothing.
  if (!on) boxPosition_.set(1000000.0f, 1000000.0f, 1000000.0f);
}

void CZeSceneNodeExt::setBox(const core::vector3df& position, const core::vector3df& size) {
  boxPosition_ = position;
  boxSize_ = size;
}

u32 CZeSceneNodeExt::setSelectionMask(u32 mask) {
  const u32 old = selectionMask_;
  selectionMask_ = mask;
  return old;
}
