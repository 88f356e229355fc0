// What a .x file says, before it becomes an Irrlicht mesh: frames, meshes with
// their materials and skins, and the first animation set. The parser checks
// every count and index against the file; the builder can trust the model.
#pragma once
#include <irrlicht.h>

#include <cstdint>
#include <string>
#include <vector>

struct SZeXMaterial {
  std::string name;
  float faceColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float power = 0.0f;
  float specular[3] = {0.0f, 0.0f, 0.0f};
  float emissive[3] = {0.0f, 0.0f, 0.0f};
  std::vector<std::string> textures;  // TextureFilename, in file order
  std::string normalMap;              // NormalmapFilename
};

struct SZeXSkin {
  std::string frame;
  std::vector<uint32_t> vertices;
  std::vector<float> weights;
  irr::core::matrix4 offset;  // memory order as in the file
};

struct SZeXMesh {
  std::string name;
  int frame = -1;  // the frame that holds the mesh, -1 at top level
  std::vector<irr::core::vector3df> positions;
  std::vector<uint32_t> faceSizes;    // corners of each face
  std::vector<uint32_t> faceIndices;  // corners of all faces, in order
  std::vector<irr::core::vector3df> normals;
  std::vector<uint32_t> normalIndices;  // same layout as faceIndices; empty when none
  bool normalsPerVertex = false;        // normals[v] belongs to vertex v (DeclData)
  std::vector<irr::core::vector2df> uv;
  std::vector<irr::core::vector2df> uv2;
  std::vector<irr::video::SColor> colors;  // one per vertex when hasColors
  bool hasColors = false;
  std::vector<uint32_t> faceMaterials;  // one per face, empty when no material list
  // As listed; a material declared but not listed is the default material.
  std::vector<SZeXMaterial> materials;
  bool hasMaterialList = false;
  std::vector<std::pair<int32_t, int32_t>> uvPairs;  // MeshMaterialsUVs
  std::vector<SZeXSkin> skins;
};

struct SZeXFrame {
  std::string name;
  int parent = -1;
  irr::core::matrix4 local;
};

// Animation key kinds, numbered as the file's key types (type 4 is a matrix
// too).
enum EZeXKeyKind {
  ZE_X_KEY_ROTATION = 0,  // quaternion (w, x, y, z)
  ZE_X_KEY_SCALE = 1,
  ZE_X_KEY_POSITION = 2,
  ZE_X_KEY_MATRIX = 3,    // 4x4, memory order as in the file
  ZE_X_KEY_KINDS = 4
};

// Values in one key of a kind.
inline unsigned zeXKeyValueCount(EZeXKeyKind kind) {
  return kind == ZE_X_KEY_ROTATION ? 4 : kind == ZE_X_KEY_MATRIX ? 16 : 3;
}

struct SZeXTrack {
  std::string frame;
  struct Key {
    float time;
    float values[16];
  };
  std::vector<Key> keys[ZE_X_KEY_KINDS];  // by EZeXKeyKind
};

struct SZeXModel {
  std::vector<SZeXFrame> frames;
  std::vector<SZeXMesh> meshes;
  std::vector<SZeXMaterial> namedMaterials;
  std::vector<SZeXTrack> tracks;  // of the first animation set
  uint32_t ticksPerSecond = 4800;
};

// A colour from the file's 0..1 components; out-of-range and non-numbers are
// clamped (a hostile file must not make the conversion overflow).
irr::video::SColor zeXColor(float r, float g, float b, float a);

// Parses a whole file. false after a device-log error naming what is wrong.
bool zeParseXModel(const char* data, std::size_t size, SZeXModel* model);
