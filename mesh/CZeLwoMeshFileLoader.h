// The engine's LightWave object (.lwo, LWO2) loader: layers, points,
// polygons fanned into triangles, surfaces (one mesh buffer each, with the
// colour, texture and UV map of the surface) and UV maps, continuous (VMAP)
// and per polygon (VMAD). Every chunk and every count is checked against the
// bytes of its parent and every index against what it indexes, so a hostile
// file ends in a device-log error naming the byte, never a crash or a hang.
#pragma once
#include <IMeshLoader.h>
#include <ISceneManager.h>

#include <cstddef>

class CZeLwoMeshFileLoader : public irr::scene::IMeshLoader {
 public:
  // Not grabbed: the scene manager owns its loaders.
  explicit CZeLwoMeshFileLoader(irr::scene::ISceneManager* sceneManager);

  bool isALoadableFileExtension(const irr::io::path& filename) const override;
  // nullptr after a device-log error when the file is not a sound LWO2 file.
  irr::scene::IAnimatedMesh* createMesh(irr::io::IReadFile* file) override;
  // The same from a block of memory; `name` locates textures. A `layer`
  // from 1 keeps that layer of the file (in file order) and no other.
  irr::scene::IAnimatedMesh* createMeshFromMemory(const char* data, std::size_t size, const char* name,
                                                  int layer = 0);

 private:
  irr::scene::ISceneManager* SceneManager;
};

// A new loader with one reference, for the scene manager's addExternalMeshLoader.
irr::scene::IMeshLoader* zeCreateLwoMeshLoader(irr::scene::ISceneManager* sceneManager);
