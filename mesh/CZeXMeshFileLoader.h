// The engine's DirectX .x mesh loader. Reads text, binary and MSZIP-compressed
// files into an Irrlicht skinned mesh whose buffers are engine buffers
// (CZeSkinMeshBuffer): each vertex remembers the file vertex it came from,
// each buffer its material's UV pair and normal-map name. Engine start
// registers it ahead of Irrlicht's own .x loader.
#pragma once
#include <IMeshLoader.h>
#include <ISceneManager.h>

#include <cstddef>
#include <string>

struct SZeXModel;

class CZeXMeshFileLoader : public irr::scene::IMeshLoader {
 public:
  // Not grabbed: the scene manager owns its loaders.
  explicit CZeXMeshFileLoader(irr::scene::ISceneManager* sceneManager);

  bool isALoadableFileExtension(const irr::io::path& filename) const override;
  // nullptr after a device-log error when the file is not a sound .x file.
  irr::scene::IAnimatedMesh* createMesh(irr::io::IReadFile* file) override;

  // The same from a block of memory; `name` locates textures.
  irr::scene::IAnimatedMesh* createMeshFromMemory(const char* data, std::size_t size, const char* name);

 private:
  irr::scene::IAnimatedMesh* build(const SZeXModel& model, const char* name);

  irr::scene::ISceneManager* SceneManager;
};

// A new loader with one reference, for the scene manager's addExternalMeshLoader.
irr::scene::IMeshLoader* zeCreateXMeshLoader(irr::scene::ISceneManager* sceneManager);
// Adds the loader to the scene manager ahead of the stock .x loader (Irrlicht
// asks the last added loader first).
void zeRegisterXMeshLoader(irr::scene::ISceneManager* sceneManager);
