// The object command layer.
//
// Contents: table cells and lookups · creation · visibility and transform ·
// frames and animations · morphs and point caches · extension values · cube
// maps · vertex textures · access for other layers.
#include "scene/zeObject.h"

#include <cmath>
#include <cstdio>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/CZeSurfaceManager.h"
#include "scene/CZeMDDMeshSceneNode.h"
#include "scene/CZeMorphMeshSceneNode.h"
#include "scene/CZeSceneManager.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeCamera.h"
#include "scene/zeNodeKind.h"
#include "scene/zeSceneInternal.h"

using namespace irr;

// --- Table cells and lookups ------------------------------------------------------------

// The layer owns the cell; the cell holds one reference to the node.
struct ZeObjectCell {
  scene::ISceneNode* node = nullptr;
};

namespace {

ZeHandleTable<ZeObjectCell>* objectTable() { return zeEngineContext().objects.get(); }

// The cell under `id` (nullptr when there is none, writing the table's reason).
ZeObjectCell* cellOf(int id) {
  ZeHandleTable<ZeObjectCell>* table = objectTable();
  return table ? table->find(id) : nullptr;
}

// The object's node, or nullptr after "Object ID %d does not exist. %s".
scene::ISceneNode* findObject(int id) {
  if (ZeObjectCell* cell = cellOf(id)) return cell->node;
  zeReportArgError(1, "Object ID %d does not exist. %s", id, zeTableMissReason(objectTable()));
  return nullptr;
}

// The extension of an existing object; nullptr (silently) when it has none.
IZeSceneNodeExt* findExt(int id, bool* exists) {
  scene::ISceneNode* node = findObject(id);
  *exists = node != nullptr;
  return node ? zeFindNodeExt(node) : nullptr;
}

// Adds an empty cell under `id`; nullptr after "invalid Object ID %d : %s".
ZeObjectCell* addCell(int id, int argIndex) {
  ZeHandleTable<ZeObjectCell>* table = objectTable();
  ZeObjectCell* cell = new ZeObjectCell;
  if (!table || !table->add(id, cell)) {
    zeReportArgError(argIndex, "invalid Object ID %d : %s", id, zeTableMissReason(table));
    delete cell;
    return nullptr;
  }
  return cell;
}

void freeCell(int id, ZeObjectCell* cell) {
  objectTable()->remove(id);
  if (cell->node) cell->node->drop();
  delete cell;
}

void keepNode(ZeObjectCell* cell, scene::ISceneNode* node) {
  node->grab();
  cell->node = node;
}

}  // namespace

CZeSceneManager* zeCurrentSceneManager() {
  CZeManager* manager = zeEngineContext().manager;
  return manager ? manager->getSceneManager() : nullptr;
}

// --- Creation ---------------------------------------------------------------------

namespace {

// Buffers with 16-bit indices cannot address more than 65535 vertices.
void checkPointCounts(int id, const char* file, scene::IMesh* mesh) {
  if (!mesh) return;
  for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
    if (buffer->getIndexType() != video::EIT_16BIT) continue;
    const u32 count = buffer->getVertexCount();
    if (count > 65535)
      zeMessage(ZE_WARN | ZE_MSG_SHOW,
                "Object %d '%s' has too much points on surface %d ;\n%d points > maximum 65535.\nRender artifacts will occur.",
                id, file, static_cast<int>(i), static_cast<int>(count));
  }
}

// Every material gets a LightWave surface: a clone of the one the object file
// describes for its buffer (a LightWave object's own), else one taken from
// the material. Without a surface manager rows stay without surfaces.
void giveSurfaces(scene::ISceneNode* node, IZeSceneNodeExt* ext) {
  CZeSurfaceManager* surfaces = zeSurfaceManager();
  if (!surfaces || !ext) return;
  scene::IMesh* mesh = zeObjectMesh(node);
  const u32 rows = core::min_(node->getMaterialCount(), ext->getRowCount());
  for (u32 i = 0; i < rows; ++i) {
    IZeSurface* fromFile = mesh && i < mesh->getMeshBufferCount() ? zeMeshBufferSurface(mesh->getMeshBuffer(i)) : nullptr;
    IZeSurface* surface = fromFile ? fromFile->clone() : surfaces->createSurface(ZE_SURFACE_LIGHTWAVE);
    if (!surface) continue;
    if (!fromFile) surface->initFromMaterial(node->getMaterial(i));
    ext->setSurface(i, surface);
    surface->drop();
  }
}

}  // namespace

int zeLoadObject(int id, const char* file) {
  ZeObjectCell* cell = addCell(id, 2);
  if (!cell) return -1;
  CZeSceneManager* sceneManager = zeCurrentSceneManager();
  scene::ISceneNode* node = sceneManager && file ? sceneManager->addObjectNode(file) : nullptr;
  if (!node) {
    zeReportArgError(1, "Failed to load mesh '%s'", file ? file : "");
    freeCell(id, cell);
    return -1;
  }
  keepNode(cell, node);
  checkPointCounts(id, file, zeObjectMesh(node));
  giveSurfaces(node, sceneManager->getNodeExt(node));
  return 0;
}

int zeLoadObjectMDD(int id, const char* file, const char* cacheFile) {
  ZeObjectCell* cell = addCell(id, 2);
  if (!cell) return -1;
  CZeSceneManager* sceneManager = zeCurrentSceneManager();
  scene::ISceneNode* node =
      sceneManager && file && cacheFile ? sceneManager->addMDDNode(file, cacheFile) : nullptr;
  if (!node) {
    zeReportArgError(1, "Failed to load mesh '%s' as MDD", file ? file : "");
    freeCell(id, cell);
    return -1;
  }
  keepNode(cell, node);
  checkPointCounts(id, file, zeObjectMesh(node));
  giveSurfaces(node, sceneManager->getNodeExt(node));
  return 0;
}

int zeCloneObject(int id, int sourceId) {
  ZeObjectCell* cell = addCell(id, 1);
  if (!cell) return -1;
  ZeObjectCell* source = cellOf(sourceId);
  if (!source) {
    zeReportArgError(2, "Object ID %d does not exist", sourceId);
    freeCell(id, cell);
    return -1;
  }
  CZeSceneManager* sceneManager = zeCurrentSceneManager();
  scene::ISceneNode* clone = sceneManager ? sceneManager->cloneNode(source->node) : nullptr;
  if (!clone) {
    zeReportArgError(-1, "Failed to create the cloned object");
    freeCell(id, cell);
    return -1;
  }
  keepNode(cell, clone);
  return 0;
}

int zeInstanceObject(int id, int sourceId) { return zeCloneObject(id, sourceId); }

void zeDeleteObject(int id) {
  ZeObjectCell* cell = cellOf(id);
  if (!cell) return;
  zeCameraForgetObject(id);
  if (cell->node) cell->node->remove();
  freeCell(id, cell);
}

int zeObjectExist(int id) {
  ZeHandleTable<ZeObjectCell>* table = objectTable();
  return table && table->has(id) ? 1 : 0;
}

void zeDeleteAllObjects() {
  ZeHandleTable<ZeObjectCell>* table = objectTable();
  if (!table) return;
  table->forEach([](int id, ZeObjectCell*) { zeDeleteObject(id); });
}

// --- Visibility and transform --------------------------------------------------------

int zeShowObject(int id) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  node->setVisible(true);
  return 0;
}

int zeHideObject(int id) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  node->setVisible(false);
  return 0;
}

int zeObjectVisible(int id) {
  scene::ISceneNode* node = findObject(id);
  return node && node->isVisible() ? 1 : 0;
}

int zePositionObject(int id, float x, float y, float z) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  node->setPosition(core::vector3df(x, y, z));
  return 0;
}

int zeRotateObject(int id, float x, float y, float z) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  node->setRotation(core::vector3df(x, y, z));
  return 0;
}

int zeScaleObject(int id, float x, float y, float z) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  node->setScale(core::vector3df(x / 100.0f, y / 100.0f, z / 100.0f));
  return 0;
}

int zeSetObjectRotationXYZ(int) { return 0; }
int zeSetObjectRotationZYX(int) { return 0; }
int zeGhostObjectOn(int id) { return findObject(id) ? 0 : -1; }
int zeSetAlphaMappingOn(int id, float) { return findObject(id) ? 0 : -1; }

int zeLockObjectOn(int id) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  if (scene::ICameraSceneNode* camera = zeEngineContext().camera) node->setParent(camera);
  return 0;
}

int zeLockObjectOff(int id) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  node->setParent(node->getSceneManager()->getRootSceneNode());
  return 0;
}

// --- Frames and animations ------------------------------------------------------------

int zeTotalObjectFrames(int id) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return 0;
  if (zeObjectKind(node) == ZE_KIND_ANIMATED) {
    const u32 frames = zeMeshFrameCount(static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh());
    return frames > 0 ? static_cast<int>(frames) : 1;
  }
  if (zeObjectKind(node) == ZE_KIND_MDD) return static_cast<CZeMDDMeshSceneNode*>(node)->getMDDMesh()->getFrameCount();
  if (zeObjectKind(node) == ZE_KIND_MORPH)
    return static_cast<CZeMorphMeshSceneNode*>(node)->getMorphMesh()->getFrameCount();
  return 1;
}

int zeSetObjectFrame(int id, float frame) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  if (zeObjectKind(node) == ZE_KIND_ANIMATED) {
    scene::IAnimatedMeshSceneNode* animated = static_cast<scene::IAnimatedMeshSceneNode*>(node);
    animated->setCurrentFrame(static_cast<f32>(animated->getStartFrame()) + frame);
  } else if (zeObjectKind(node) == ZE_KIND_MDD) {
    static_cast<CZeMDDMeshSceneNode*>(node)->getMDDMesh()->setFrame(frame);
  } else if (zeObjectKind(node) == ZE_KIND_MORPH) {
    CZeMorphMeshSceneNode* morph = static_cast<CZeMorphMeshSceneNode*>(node);
    morph->setFrame(static_cast<f32>(morph->getStartFrame()) + frame);
  }
  return 0;
}

namespace {
const char* kindName(ZeObjectKind kind) {
  switch (kind) {
    case ZE_KIND_STATIC: return "(static mesh)";
    case ZE_KIND_ANIMATED: return "(animated mesh)";
    case ZE_KIND_MORPH: return "(morph mesh)";
    case ZE_KIND_MDD: return "(point-cache mesh)";
    default: return "(unsupported node)";
  }
}
}  // namespace

float zeObjectFrameTime(int id, float frame) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return 0.0f;
  // Only point caches know the time of a frame.
  if (zeObjectKind(node) == ZE_KIND_MDD)
    return static_cast<CZeMDDMeshSceneNode*>(node)->getMDDMesh()->getFrameTime(
        std::isfinite(frame) && std::fabs(frame) < 2e9f ? static_cast<int>(frame) : 0);
  zeReportArgError(1, "Object ID %d frame time not supported. %s", id, kindName(zeObjectKind(node)));
  return 0.0f;
}

int zeUseAnimationFromObject(int id, int sourceId) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  ZeObjectCell* source = cellOf(sourceId);
  if (!source) {
    zeReportArgError(2, "Object ID %d does not exist. %s", sourceId, zeTableMissReason(objectTable()));
    return -1;
  }
  if (zeObjectKind(node) != ZE_KIND_ANIMATED) {
    zeReportArgError(1, "Object ID %d is not an animated mesh", id);
    return -1;
  }
  if (zeObjectKind(source->node) != ZE_KIND_ANIMATED) {
    zeReportArgError(2, "Object ID %d is not an animated mesh", sourceId);
    return -1;
  }
  scene::IAnimatedMeshSceneNode* target = static_cast<scene::IAnimatedMeshSceneNode*>(node);
  scene::IAnimatedMesh* mesh = target->getMesh();
  scene::IAnimatedMesh* from = static_cast<scene::IAnimatedMeshSceneNode*>(source->node)->getMesh();
  if (!mesh) {
    zeReportArgError(1, "Object ID %d has no mesh", id);
    return -1;
  }
  if (!from) {
    zeReportArgError(2, "Object ID %d has no mesh", sourceId);
    return -1;
  }
  // Joints live only in skinned meshes.
  if (mesh->getMeshType() != scene::EAMT_SKINNED) {
    zeReportArgError(1, "Object ID %d is not an animated mesh", id);
    return -1;
  }
  if (from->getMeshType() != scene::EAMT_SKINNED) {
    zeReportArgError(2, "Object ID %d is not an animated mesh", sourceId);
    return -1;
  }
  static_cast<scene::ISkinnedMesh*>(mesh)->useAnimationFrom(static_cast<scene::ISkinnedMesh*>(from));
  target->setFrameLoop(0, static_cast<s32>(from->getFrameCount()));
  return 0;
}

// Irrlicht 1.8's meshes keep no list of named animations: every object answers
// with an empty list.
int zeObjectAnimationCount(int id) {
  findObject(id);
  return 0;
}

namespace {
void noAnimation(int id, int n) {
  if (findObject(id)) zeReportArgError(1, "Object ID %d has no animation %d", id, n);
}
}  // namespace

const char* zeObjectAnimationName(int id, int n) {
  noAnimation(id, n);
  return nullptr;
}
float zeObjectAnimationBegin(int id, int n) {
  noAnimation(id, n);
  return 0.0f;
}
float zeObjectAnimationEnd(int id, int n) {
  noAnimation(id, n);
  return 0.0f;
}
float zeObjectAnimationSpeed(int id, int n) {
  noAnimation(id, n);
  return 0.0f;
}

// --- Morphs and point caches ---------------------------------------------------------
// Only morph meshes take weights and only point-cache meshes a post behaviour;
// other kinds let them pass.

int zeSetObjectMorph(int id, int count, const int* indices, const float* weights) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  if (zeObjectKind(node) != ZE_KIND_MORPH) return 0;
  // Target numbers are unsigned; a negative one names no target.
  static_assert(sizeof(int) == sizeof(uint32_t), "target numbers are 32-bit");
  static_cast<CZeMorphMeshSceneNode*>(node)->setMorph(count, reinterpret_cast<const uint32_t*>(indices), weights);
  return 0;
}

int zeGetObjectMorphCount(int id) {
  scene::ISceneNode* node = findObject(id);
  if (!node || zeObjectKind(node) != ZE_KIND_MORPH) return 0;
  return static_cast<int>(static_cast<CZeMorphMeshSceneNode*>(node)->getMorphMesh()->getTargetCount());
}
int zeSetObjectMDDPostBehaviour(int id, int flag) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  if (zeObjectKind(node) == ZE_KIND_MDD) static_cast<CZeMDDMeshSceneNode*>(node)->getMDDMesh()->setWrap(flag != 0);
  return 0;
}

float zeObjectMDDLastFrameTime(int id) {
  ZeObjectCell* cell = cellOf(id);
  if (!cell || zeObjectKind(cell->node) != ZE_KIND_MDD) return 0.0f;
  return static_cast<CZeMDDMeshSceneNode*>(cell->node)->getMDDMesh()->lastFrameTime();
}

// --- Extension values --------------------------------------------------------------
// An object without an extension is left unchanged.

int zeSetObjectShadows(int id, bool on) {
  bool exists;
  if (IZeSceneNodeExt* ext = findExt(id, &exists)) ext->setCastsShadows(on);
  return exists ? 0 : -1;
}

int zeSetObjectSelectionMask(int id, unsigned mask) {
  bool exists;
  if (IZeSceneNodeExt* ext = findExt(id, &exists)) ext->setSelectionMask(mask);
  return exists ? 0 : -1;
}

int zeSetObjectCubeMapBlend(int id, float blend) {
  bool exists;
  if (IZeSceneNodeExt* ext = findExt(id, &exists)) ext->setCubeMapBlend(blend);
  return exists ? 0 : -1;
}

int zeSetObjectBoxProjection(int id, bool on) {
  bool exists;
  if (IZeSceneNodeExt* ext = findExt(id, &exists)) ext->setBoxProjection(on);
  return exists ? 0 : -1;
}

int zeSetObjectBox(int id, const core::vector3df& position, const core::vector3df& size) {
  bool exists;
  if (IZeSceneNodeExt* ext = findExt(id, &exists)) ext->setBox(position, size);
  return exists ? 0 : -1;
}

// --- Cube maps ------------------------------------------------------------------------

namespace {

ZeCubeMapLookup cubeMapLookup = nullptr;

// The texture of cube map `cubeMapId`, or nullptr after a report.
IReferenceCounted* findCubeTexture(int cubeMapId) {
  const char* reason = "cube maps: not built yet";
  IReferenceCounted* texture = cubeMapLookup ? cubeMapLookup(cubeMapId, &reason) : nullptr;
  if (!texture) zeReportArgError(2, "CubeMap ID %d does not exist. %s", cubeMapId, reason);
  return texture;
}

}  // namespace

void zeSetCubeMapLookup(ZeCubeMapLookup lookup) { cubeMapLookup = lookup; }

int zeSetObjectCubeMap1(int id, int cubeMapId) {
  bool exists;
  IZeSceneNodeExt* ext = findExt(id, &exists);
  if (!exists) return -1;
  IReferenceCounted* texture = findCubeTexture(cubeMapId);
  if (!texture) return -1;
  if (ext) ext->setCubeMap1(texture);
  return 0;
}

int zeSetObjectCubeMap2(int id, int cubeMapId) {
  bool exists;
  IZeSceneNodeExt* ext = findExt(id, &exists);
  if (!exists) return -1;
  IReferenceCounted* texture = nullptr;
  if (cubeMapId != -1 && !(texture = findCubeTexture(cubeMapId))) return -1;
  if (ext) ext->setCubeMap2(texture);
  return 0;
}

void zeObjectsForgetCubeMap(IReferenceCounted* cubeTexture) {
  ZeHandleTable<ZeObjectCell>* table = objectTable();
  if (!table || !cubeTexture) return;
  table->forEach([cubeTexture](int, ZeObjectCell* cell) {
    IZeSceneNodeExt* ext = zeFindNodeExt(cell->node);
    if (!ext) return;
    if (ext->getCubeMap1() == cubeTexture) ext->setCubeMap1(nullptr);
    if (ext->getCubeMap2() == cubeTexture) ext->setCubeMap2(nullptr);
  });
}

// --- Vertex textures ----------------------------------------------------------------

int zeSetObjectVertexTexture(int id, const char* name, int flags) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return -1;
  if (zeObjectKind(node) == ZE_KIND_UNSUPPORTED) {
    zeReportArgError(-1, "Object ID %d unsupported mesh type", id);
    return -1;
  }
  if (!zeObjectMesh(node)) {
    zeReportArgError(-1, "Object ID %d does not have a mesh", id);
    return -1;
  }
  // Preparing the mesh and writing its vertices into a texture need the mesh
  // manipulator's preparation and the texture manager, which are not built yet.
  zeNotBuilt("vertex textures");
  zeReportArgError(-1, "Object ID %d failed to create vertex texture", id);
  return -1;
}

// --- Access for other layers -----------------------------------------------------------

float zeGetObjectRadius(int id) {
  scene::ISceneNode* node = findObject(id);
  if (!node) return 0.0f;
  if (zeObjectKind(node) == ZE_KIND_UNSUPPORTED) {
    zeReportArgError(1, "Object ID %d is not of supported type", id);
    return 0.0f;
  }
  scene::IMesh* mesh = zeObjectMesh(node);
  if (!mesh) {
    zeReportArgError(1, "Object ID %d has no mesh", id);
    return 0.0f;
  }
  return mesh->getBoundingBox().getExtent().getLength() * 0.5f;
}

scene::ISceneNode* zeObjectNode(int id) {
  ZeObjectCell* cell = cellOf(id);
  return cell ? cell->node : nullptr;
}

scene::IMesh* zeGetObjectMesh(int id) {
  ZeObjectCell* cell = cellOf(id);
  if (!cell) {
    zeReportError("getObjectMesh: Failed to get iObj=%d", id);
    return nullptr;
  }
  scene::IMesh* mesh = zeObjectMesh(cell->node);
  if (!mesh) zeReportError("getObjectMesh: Failed to get mesh for iObj=%d", id);
  return mesh;
}
