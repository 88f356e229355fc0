// The engine's own mesh loaders (.x, .obj, .lwo) as one set. Files of these
// kinds are read only by them: when one of them refuses a file, Irrlicht
// would hand it on to its stock loader, which cannot take hostile input.
#pragma once
#include <IMeshLoader.h>
#include <ISceneManager.h>

#include <cstddef>
#include <string>

class CZeXMeshFileLoader;
class CZeObjMeshFileLoader;
class CZeLwoMeshFileLoader;

class CZeMeshLoaders {
 public:
  explicit CZeMeshLoaders(irr::scene::ISceneManager* sceneManager);
  ~CZeMeshLoaders();
  CZeMeshLoaders(const CZeMeshLoaders&) = delete;
  CZeMeshLoaders& operator=(const CZeMeshLoaders&) = delete;

  // The engine loader for `file` by its extension, nullptr for other kinds.
  irr::scene::IMeshLoader* find(const char* file) const;

  // Loads a file of one of the engine's kinds that the caller has already
  // read into memory, parsing it where it lies (no copy); `name` locates
  // what the file names. nullptr after a device-log error, or when `name`
  // is of another kind.
  // `layer` (from 1) picks one layer of a layered kind (.lwo); 0 all.
  irr::scene::IAnimatedMesh* createMeshFromMemory(const char* data, std::size_t size, const char* name,
                                                  int layer = 0) const;

 private:
  CZeXMeshFileLoader* X;
  CZeObjMeshFileLoader* Obj;
  CZeLwoMeshFileLoader* Lwo;
};

// An object name may end in "|N" to name layer N (from 1) of a layered file
// ("Objects/rig.lwo|2", as LightWave scenes load one layer of an object);
// '|' cannot appear in a file name made on Windows. Gives the file's own
// name and the layer, 0 for a plain name.
std::string zeMeshLayerOf(const char* name, int* layer);

// Adds the engine's loaders to the scene manager ahead of the stock ones
// (Irrlicht asks the last added loader first).
void zeRegisterMeshLoaders(irr::scene::ISceneManager* sceneManager);
