// Files a mesh file names (textures, material libraries) and the mesh file
// itself, read for the engine's own loaders.
#pragma once
#include <irrlicht.h>

#include <memory>
#include <string>

// The whole of `file` in a buffer of its own (not zero-filled: the parser
// writes nothing into it). nullptr after a device-log error naming `who`
// when the file is empty, cannot be read or does not fit in memory.
std::unique_ptr<char[]> zeReadMeshFile(irr::io::IReadFile* file, std::size_t* size, const char* who);

// A texture a mesh file names, looked for beside the mesh; nullptr after a
// device-log warning naming `who` when none is found.
irr::video::ITexture* zeLoadMeshTexture(irr::scene::ISceneManager* sceneManager, const std::string& name,
                                        const char* meshName, const char* who);

// Another file a mesh file names (an OBJ material library), opened for
// reading from beside the mesh; nullptr when none is found.
irr::io::IReadFile* zeOpenMeshSideFile(irr::scene::ISceneManager* sceneManager, const std::string& name,
                                       const char* meshName);
