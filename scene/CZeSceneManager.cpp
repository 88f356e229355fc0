#include "scene/CZeSceneManager.h"

#include <cstring>
#include <new>
#include <string>

#include "base/zeFile.h"
#include "base/zePath.h"
#include "mesh/zeMeshLoaders.h"
#include "scene/CZeLightSceneNodeExt.h"
#include "scene/CZeMDDMeshSceneNode.h"
#include "scene/CZeMorphMeshSceneNode.h"
#include "mesh/codec/zeZmorph.h"
#include "mesh/zeDeviceLog.h"
#include "scene/CZeSceneNodeExt.h"
#include "scene/zeNodeKind.h"
#include "scene/zeSceneLog.h"

using namespace irr;

namespace {

// The text after the last '.', or "" when there is none.
const char* extensionOf(const char* file) {
  const char* dot = std::strrchr(file, '.');
  return dot ? dot + 1 : "";
}

bool isSkeletalFile(const char* file) {
  const char* ext = extensionOf(file);
  return strcasecmp(ext, "psk") == 0 || strcasecmp(ext, "psa") == 0;
}

}  // namespace

std::string zeObjectMeshName(const char* file) {
  // The name as the normaliser finds it on disk (joined to the working
  // directory, folded, letter case matched); inside an archive the folded
  // name. Distinct files never share a name, which the mesh cache needs.
  return zePathOnDisk(zeGetWorkingDirectory(), file ? file : "");
}

ZeNodeChoice zeChooseNodeKind(const char* file, scene::IAnimatedMesh* mesh) {
  if (file && isSkeletalFile(file)) return ZE_CHOOSE_ANIMATED;
  if (zeMeshFrameCount(mesh) == 0) return ZE_CHOOSE_STATIC;
  return mesh->getMeshType() == scene::EAMT_SKINNED ? ZE_CHOOSE_SKINNED : ZE_CHOOSE_ANIMATED;
}

CZeSceneManager::CZeSceneManager(IrrlichtDevice* device)
    : device_(device), sceneManager_(device->getSceneManager()) {
  // Objects are .x, .obj and .lwo files: the engine's loaders go ahead of the
  // stock ones, which know nothing of the engine's extensions and cannot
  // take hostile files.
  zeRegisterMeshLoaders(sceneManager_);
  loaders_ = new CZeMeshLoaders(sceneManager_);
}

CZeSceneManager::~CZeSceneManager() { delete loaders_; }

scene::IAnimatedMesh* CZeSceneManager::getMesh(const char* file) {
  if (!file || !*file) return nullptr;
  // "file|N" is layer N of the file: a mesh of its own in the cache.
  int layer = 0;
  const std::string path = zeMeshLayerOf(file, &layer);
  const std::string fileName = zeObjectMeshName(path.c_str());
  const io::path name = layer ? (fileName + "|" + std::to_string(layer)).c_str() : fileName.c_str();
  if (scene::IAnimatedMesh* cached = sceneManager_->getMeshCache()->getMeshByName(name)) return cached;

  ZeFile* in = zeFileOpen(path.c_str(), "rb");
  if (!in) return nullptr;
  const long size = in->size();
  if (size <= 0 || size > 0x7fffffffL) {
    zeFileClose(in);
    zeSceneDeviceLog(ELL_ERROR, "CZeSceneManager::getMesh : cannot read '%s' (size %ld)", file, size);
    return nullptr;
  }
  c8* bytes = new (std::nothrow) c8[size];
  if (!bytes) {
    zeFileClose(in);
    zeSceneDeviceLog(ELL_ERROR, "CZeSceneManager::getMesh : no memory for '%s' (%ld bytes)", file, size);
    return nullptr;
  }
  const std::size_t got = zeFileRead(bytes, 1, static_cast<std::size_t>(size), in);
  zeFileClose(in);
  if (got != static_cast<std::size_t>(size)) {
    delete[] bytes;
    zeSceneDeviceLog(ELL_ERROR, "CZeSceneManager::getMesh : short read of '%s'", file);
    return nullptr;
  }
  scene::IAnimatedMesh* mesh = nullptr;
  if (loaders_->find(path.c_str())) {
    // Only the engine's loaders read their kinds, from the bytes just read
    // (no second copy): when one refuses a file, Irrlicht would hand it on
    // to its stock loader, which crashes or loops on hostile files.
    mesh = loaders_->createMeshFromMemory(bytes, static_cast<std::size_t>(size), fileName.c_str(), layer);
    delete[] bytes;
    if (mesh) {
      sceneManager_->getMeshCache()->addMesh(name, mesh);
      mesh->drop();  // the cache holds it
    }
    return mesh;
  }
  io::IReadFile* memory =
      device_->getFileSystem()->createMemoryReadFile(bytes, static_cast<s32>(size), fileName.c_str(), true);
  if (!memory) {
    delete[] bytes;
    return nullptr;
  }
  mesh = sceneManager_->getMesh(memory);
  memory->drop();
  return mesh;
}

scene::ISceneNode* CZeSceneManager::addObjectNode(const char* file, scene::ISceneNode* parent, s32 id) {
  if (!file) return nullptr;
  const core::vector3df origin(0, 0, 0), unitScale(1, 1, 1);
  // A morph file beside the object makes a morph mesh node.
  if (zeMorphFileExists(file)) return addMorphNode(loadMorphMap(file), parent, id);
  scene::IAnimatedMesh* mesh = getMesh(file);
  if (!mesh) return nullptr;
  switch (zeChooseNodeKind(file, mesh)) {
    case ZE_CHOOSE_STATIC: {
      mesh->setHardwareMappingHint(scene::EHM_STATIC);
      return sceneManager_->addMeshSceneNode(mesh, parent, id, origin, origin, unitScale);
    }
    case ZE_CHOOSE_ANIMATED:
      return sceneManager_->addAnimatedMeshSceneNode(mesh, parent, id, origin, origin, unitScale);
    case ZE_CHOOSE_SKINNED:
      // Skinned and animated: a morph object without targets, whose frame poses the skeleton.
      return addMorphNode(zeCreateMorphMap(mesh, {}), parent, id);
  }
  return nullptr;
}

scene::ISceneNode* CZeSceneManager::addMorphNode(IZeMorphMesh* map, scene::ISceneNode* parent, s32 id) {
  if (!map) return nullptr;
  if (!parent) parent = sceneManager_->getRootSceneNode();
  CZeMorphMeshSceneNode* node = new CZeMorphMeshSceneNode(map, parent, sceneManager_, id);
  map->drop();
  node->drop();  // the parent holds it
  return node;
}

scene::ISceneNode* CZeSceneManager::addMDDNode(const char* file, const char* cacheFile, scene::ISceneNode* parent,
                                               s32 id) {
  scene::IAnimatedMesh* mesh = getMesh(file);
  if (!mesh || !cacheFile) return nullptr;
  // The lookup is the object's name with its extension replaced.
  const std::string pnts = zePathDirectory(file) + zePathFileName(file, false) + ".zpnts";
  CZeMDDMesh* cache = new CZeMDDMesh;
  if (!cache->setup(mesh, pnts.c_str(), cacheFile)) {
    cache->drop();
    return nullptr;
  }
  if (!parent) parent = sceneManager_->getRootSceneNode();
  CZeMDDMeshSceneNode* node = new CZeMDDMeshSceneNode(cache, parent, sceneManager_, id);
  cache->drop();
  node->drop();  // the parent holds it
  return node;
}

IZeMorphMesh* CZeSceneManager::loadMorphMap(const char* file) {
  scene::IAnimatedMesh* mesh = getMesh(file);
  if (!mesh) return nullptr;
  std::vector<SZeMorphTargetZN> targets;
  const std::string zmorph = zeZmorphFileName(file);
  if (zeFileExists(zmorph.c_str())) {
    std::vector<SZeZmorphTarget> fromFile;
    if (!zeReadZmorph(zmorph.c_str(), &fromFile)) {
      zeDeviceLog(ELL_ERROR, "CZeMorphMapLoader: failed to read morphmap file %s", zmorph.c_str());
      return nullptr;
    }
    if (!zeMorphTargetsFromZmorph(mesh, fromFile, &targets)) return nullptr;
  } else {
    std::vector<scene::IMesh*> meshes;
    for (int k = 1;; ++k) {
      const std::string name = zeMorphTargetFileName(file, k);
      if (!zeFileExists(name.c_str())) break;
      scene::IAnimatedMesh* target = getMesh(name.c_str());
      if (!target) {
        zeDeviceLog(ELL_ERROR, "Failed to load morph mesh '%s'", name.c_str());
        return nullptr;
      }
      meshes.push_back(target);
    }
    if (meshes.empty() || !zeMorphTargetsFromMeshes(meshes, &targets)) return nullptr;
  }
  return zeCreateMorphMap(mesh, std::move(targets));
}

scene::ISceneNode* CZeSceneManager::cloneNode(scene::ISceneNode* source) {
  if (!source) return nullptr;
  scene::ISceneNode* clone = source->clone();  // same parent; the parent holds it
  if (!clone) return nullptr;
  if (IZeSceneNodeExt* ext = zeFindNodeExt(clone)) {
    if (!ext->update()) {
      clone->remove();
      return nullptr;
    }
  }
  return clone;
}

IZeSceneNodeExt* CZeSceneManager::getNodeExt(scene::ISceneNode* node) {
  if (!node) return nullptr;
  if (IZeSceneNodeExt* ext = zeFindNodeExt(node)) return ext;
  CZeSceneNodeExt* ext = new CZeSceneNodeExt(node);
  node->addAnimator(ext);
  ext->drop();  // the node holds the only reference
  return ext;
}

IZeLightSceneNodeExt* CZeSceneManager::getLightNodeExt(scene::ILightSceneNode* node) {
  if (!node) return nullptr;
  if (IZeLightSceneNodeExt* ext = zeFindLightNodeExt(node)) return ext;
  CZeLightSceneNodeExt* ext = new CZeLightSceneNodeExt(sceneManager_->getVideoDriver());
  node->addAnimator(ext);
  ext->drop();
  return ext;
}
