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
                                                           const char* name, int layer) const {
  const scene::IMeshLoader* loader = find(name);
  if (loader == X) return X->createMeshFromMemory(data, size, name);
  if (loader == Obj) return Obj->createMeshFromMemory(data, size, name);
  if (loader == Lwo) return Lwo->createMeshFromMemory(data, size, name, layer);
  return nullptr;
}

std::string zeMeshLayerOf(const char* name, int* layer) {
  *layer = 0;
  const std::string text = name ? name : "";
  const std::size_t bar = text.rfind('|');
  if (bar == std::string::npos || bar + 1 >= text.size() || text.size() - bar > 6) return text;
  int n = 0;
  for (std::size_t i = bar + 1; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return text;
    n = n * 10 + (text[i] - '0');
  }
  if (n < 1) return text;
  *layer = n;
  return text.substr(0, bar);
}

void zeRegisterMeshLoaders(scene::ISceneManager* sceneManager) {
  scene::IMeshLoader* loaders[] = {zeCreateXMeshLoader(sceneManager), zeCreateObjMeshLoader(sceneManager),
                                   zeCreateLwoMeshLoader(sceneManager)};
  for (scene::IMeshLoader* loader : loaders) {
    sceneManager->addExternalMeshLoader(loader);
    loader->drop();
  }
}
