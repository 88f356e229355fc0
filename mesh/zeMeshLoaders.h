// The engine's own mesh loaders (.x, .obj, .lwo) as one set. Files of these
// kinds are read only by them: when one of them refuses a file, Irrlicht
// would hand it on to its stock loader, which cannot take hostile input.
#pragma once
#include <IMeshLoader.h>
#include <ISceneManager.h>

class CZeMeshLoaders {
 public:
  explicit CZeMeshLoaders(irr::scene::ISceneManager* sceneManager);
  ~CZeMeshLoaders();
  CZeMeshLoaders(const CZeMeshLoaders&) = delete;
  CZeMeshLoaders& operator=(const CZeMeshLoaders&) = delete;

  // The engine loader for `file` by its extension, nullptr for other kinds.
  irr::scene::IMeshLoader* find(const char* file) const;

 private:
  static const int kCount = 3;
  irr::scene::IMeshLoader* Loaders[kCount];
};

// Adds the engine's loaders to the scene manager ahead of the stock ones
// (Irrlicht asks the last added loader first).
void zeRegisterMeshLoaders(irr::scene::ISceneManager* sceneManager);
