#include "mesh/zeMeshLoaders.h"

#include "mesh/CZeLwoMeshFileLoader.h"
#include "mesh/CZeObjMeshFileLoader.h"
#include "mesh/CZeXMeshFileLoader.h"

using namespace irr;

CZeMeshLoaders::CZeMeshLoaders(scene::ISceneManager* sceneManager)
    : X(new CZeXMeshFileLoader(sceneManager)),
      Obj(new CZeObjMeshFileLoader(sceneManager)),
      Lwo(new CZeLwoMeshFileLoader(sceneManager)) {}

CZeMeshLoaders::~CZeMeshLoaders() {
  X->drop();
  Obj->drop();
  Lwo->drop();
}

scene::IMeshLoader* CZeMeshLoaders::find(const char* file) const {
  if (!file) return nullptr;
  const io::path name(file);
  scene::IMeshLoader* const loaders[] = {X, Obj, Lwo};
  for (scene::IMeshLoader* loader : loaders)
    if (loader->isALoadableFileExtension(name)) return loader;
  return nullptr;
}

scene::IAnimatedMesh* CZeMeshLoaders::createMeshFromMemory(const char* data, std::size_t size,
                                                           const char* name) const {
  const scene::IMeshLoader* loader = find(name);
  if (loader == X) return X->createMeshFromMemory(data, size, name);
  if (loader == Obj) return Obj->createMeshFromMemory(data, size, name);
  if (loader == Lwo) return Lwo->createMeshFromMemory(data, size, name);
  return nullptr;
}

void zeRegisterMeshLoaders(scene::ISceneManager* sceneManager) {
  scene::IMeshLoader* loaders[] = {zeCreateXMeshLoader(sceneManager), zeCreateObjMeshLoader(sceneManager),
                                   zeCreateLwoMeshLoader(sceneManager)};
  for (scene::IMeshLoader* loader : loaders) {
    sceneManager->addExternalMeshLoader(loader);
    loader->drop();
  }
}
