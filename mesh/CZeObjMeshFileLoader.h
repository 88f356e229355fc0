// The engine's Wavefront .obj loader: positions, texture coordinates, normals,
// polygon faces (fanned into triangles) and the materials of a .mtl library.
// Every index is checked against what the file has declared before it, so a
// hostile file ends in a device-log error naming the line, never a crash.
// Conventions as objects have always been shown: X mirrored into the engine's
// left-handed space (so the winding turns round), V counted from the top.
#pragma once
#include <IMeshLoader.h>
#include <ISceneManager.h>

#include <cstddef>

class CZeObjMeshFileLoader : public irr::scene::IMeshLoader {
 public:
  // Not grabbed: the scene manager owns its loaders.
  explicit CZeObjMeshFileLoader(irr::scene::ISceneManager* sceneManager);

  bool isALoadableFileExtension(const irr::io::path& filename) const override;
  // nullptr after a device-log error when the file is not a sound .obj file.
  irr::scene::IAnimatedMesh* createMesh(irr::io::IReadFile* file) override;
  // The same from a block of memory; `name` locates the material library.
  irr::scene::IAnimatedMesh* createMeshFromMemory(const char* data, std::size_t size, const char* name);

 private:
  irr::scene::ISceneManager* SceneManager;
};

// A new loader with one reference, for the scene manager's addExternalMeshLoader.
irr::scene::IMeshLoader* zeCreateObjMeshLoader(irr::scene::ISceneManager* sceneManager);
