#include "mesh/zeMeshLoaders.h"

#include "mesh/CZeLwoMeshFileLoader.h"
#include "mesh/CZeObjMeshFileLoader.h"
#include "mesh/CZeXMeshFileLoader.h"

using namespace irr;

CZeMeshLoaders::CZeMeshLoaders(scene::ISceneManager* sceneManager)
    : Loaders{zeCreateXMeshLoader(sceneManager), zeCreateObjMeshLoader(sceneManager),
              zeCreateLwoMeshLoader(sceneManager)} {}

CZeMeshLoaders::~CZeMeshLoaders() {
  for (scene::IMeshLoader* loader : Loaders) loader->drop();
}

scene::IMeshLoader* CZeMeshLoaders::find(const char* file) const {
  if (!file) return nullptr;
  const io::path name(file);
  for (scene::IMeshLoader* loader : Loaders)
    if (loader->isALoadableFileExtension(name)) return loader;
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
