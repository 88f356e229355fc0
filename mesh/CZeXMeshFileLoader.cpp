#include "mesh/CZeXMeshFileLoader.h"

#include <irrlicht.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/zeDeviceLog.h"
#include "mesh/zeMeshFiles.h"
#include "mesh/zeXModel.h"

using namespace irr;

namespace {

const char* const kWho = "CZeXMeshFileLoader";
const int kMaxUseSearch = 64;
// Skin weights per buffer vertex, on average, beyond which a file is not
// sensible: the rest are dropped rather than multiplied out.
const std::size_t kMaxWeightsPerVertex = 16;

// Keys in time order, one per time, without the middle of three equal keys
// (they change nothing), so the skinned mesh gets a short, clean track.
template <typename Key, typename Same>
void tidyKeys(std::vector<Key>* keys, Same same) {
  std::stable_sort(keys->begin(), keys->end(), [](const Key& a, const Key& b) { return a.time < b.time; });
  std::vector<Key> out;
  out.reserve(keys->size());
  for (const Key& key : *keys) {
    if (!out.empty() && out.back().time == key.time) {
      out.back() = key;
      continue;
    }
    if (out.size() >= 2 && same(out[out.size() - 2], out.back()) && same(out.back(), key)) {
      out.back() = key;
      continue;
    }
    out.push_back(key);
  }
  keys->swap(out);
}

video::SColor toColor(const float* rgba) {
  return zeXColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

// One vertex of a buffer made from a file vertex. A file vertex becomes
// several when faces of different materials, or different normals, share it.
struct SVertexUse {
  u32 buffer;     // index among the mesh's buffers
  u32 vertex;     // index in that buffer
  s32 normal;     // file normal index, -1 when normals are computed
  s32 next;       // next use of the same file vertex, -1 at the end
};

}  // namespace

CZeXMeshFileLoader::CZeXMeshFileLoader(scene::ISceneManager* sceneManager) : SceneManager(sceneManager) {}

bool CZeXMeshFileLoader::isALoadableFileExtension(const io::path& filename) const {
  return core::hasFileExtension(filename, "x");
}

scene::IAnimatedMesh* CZeXMeshFileLoader::createMesh(io::IReadFile* file) {
  if (!file) return nullptr;
  const long size = file->getSize();
  if (size <= 0) {
    zeDeviceLog(ELL_ERROR, "%s: empty file %s", kWho, file->getFileName().c_str());
    return nullptr;
  }
  std::vector<char> data(static_cast<std::size_t>(size));
  file->seek(0);
  if (file->read(data.data(), static_cast<u32>(size)) != static_cast<s32>(size)) {
    zeDeviceLog(ELL_ERROR, "%s: cannot read %s", kWho, file->getFileName().c_str());
    return nullptr;
  }
  return createMeshFromMemory(data.data(), data.size(), file->getFileName().c_str());
}

scene::IAnimatedMesh* CZeXMeshFileLoader::createMeshFromMemory(const char* data, std::size_t size,
                                                               const char* name) {
  // A file drives every size here: memory running out is a failed load like
  // any other, never an exception out of the loader.
  try {
    SZeXModel model;
    if (!zeParseXModel(data, size, &model)) {
      zeDeviceLog(ELL_ERROR, "%s: failed to load %s", kWho, name ? name : "");
      return nullptr;
    }
    return build(model, name);
  } catch (const std::bad_alloc&) {
    zeDeviceLog(ELL_ERROR, "%s: out of memory loading %s", kWho, name ? name : "");
    return nullptr;
  }
}

scene::IAnimatedMesh* CZeXMeshFileLoader::build(const SZeXModel& model, const char* name) {
  scene::ISkinnedMesh* skinned = SceneManager->createSkinnedMesh();
  if (!skinned) return nullptr;
  try {
    fill(skinned, model, name);
  } catch (...) {
    skinned->drop();
    throw;
  }
  return skinned;
}

void CZeXMeshFileLoader::fill(scene::ISkinnedMesh* skinned, const SZeXModel& model, const char* name) {

  // Frames become joints; their global matrices place static meshes.
  std::vector<scene::ISkinnedMesh::SJoint*> joints(model.frames.size(), nullptr);
  std::vector<core::matrix4> globals(model.frames.size());
  for (std::size_t i = 0; i < model.frames.size(); ++i) {
    const SZeXFrame& frame = model.frames[i];
    joints[i] = skinned->addJoint(frame.parent >= 0 ? joints[frame.parent] : nullptr);
    joints[i]->Name = frame.name.c_str();
    joints[i]->LocalMatrix = frame.local;
    globals[i] = frame.parent >= 0 ? globals[frame.parent] * frame.local : frame.local;
  }
  std::unordered_map<std::string, int> jointByName;
  for (std::size_t i = model.frames.size(); i-- > 0;) jointByName[model.frames[i].name] = static_cast<int>(i);
  auto findJoint = [&](const std::string& frameName) -> int {
    const auto found = jointByName.find(frameName);
    return found == jointByName.end() ? -1 : found->second;
  };
  bool animated = false;
  for (const SZeXTrack& track : model.tracks)
    if (findJoint(track.frame) >= 0)
      for (const auto& keys : track.keys)
        if (!keys.empty()) animated = true;

  core::array<scene::SSkinMeshBuffer*>& buffers = skinned->getMeshBuffers();
  for (const SZeXMesh& mesh : model.meshes) {
    const core::matrix4 place = mesh.frame >= 0 ? globals[mesh.frame] : core::matrix4();
    const std::size_t vertexCount = mesh.positions.size();
    const std::size_t faceCount = mesh.faceSizes.size();
    const bool hasNormals = !mesh.normalIndices.empty() || mesh.normalsPerVertex;
    const bool twoCoords = !mesh.uv2.empty();

    // Normals the file does not give: the sum of the adjacent faces' normals,
    // weighted by area, per file vertex (so material seams stay smooth).
    std::vector<core::vector3df> computed;
    if (!hasNormals) {
      computed.assign(vertexCount, core::vector3df(0, 0, 0));
      std::size_t corner = 0;
      for (std::size_t f = 0; f < faceCount; ++f) {
        const u32 n = mesh.faceSizes[f];
        for (u32 c = 1; c + 1 < n; ++c) {
          const u32 a = mesh.faceIndices[corner], b = mesh.faceIndices[corner + c],
                    d = mesh.faceIndices[corner + c + 1];
          const core::vector3df normal =
              (mesh.positions[b] - mesh.positions[a]).crossProduct(mesh.positions[d] - mesh.positions[a]);
          computed[a] += normal;
          computed[b] += normal;
          computed[d] += normal;
        }
        corner += n;
      }
      for (core::vector3df& n : computed) n.normalize();
    }

    // One buffer per material that some face uses, in material order.
    std::vector<u32> used(mesh.faceMaterials.begin(), mesh.faceMaterials.end());
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    if (used.empty() && faceCount > 0) used.push_back(0);
    auto bufferOf = [&](std::size_t f) -> u32 {
      if (mesh.faceMaterials.empty()) return 0;
      return static_cast<u32>(std::lower_bound(used.begin(), used.end(), mesh.faceMaterials[f]) - used.begin());
    };
    const u32 firstBuffer = buffers.size();
    std::vector<CZeSkinMeshBuffer*> own;
    for (const u32 m : used) {
      CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer(twoCoords ? video::EVT_2TCOORDS : video::EVT_STANDARD);
      SZeXMaterial material = m < mesh.materials.size() ? mesh.materials[m] : SZeXMaterial();
      video::SMaterial& out = buffer->Material;
      out.DiffuseColor = toColor(material.faceColor);
      out.Shininess = material.power;
      const float one = 1.0f;
      const float specular[4] = {material.specular[0], material.specular[1], material.specular[2], one};
      const float emissive[4] = {material.emissive[0], material.emissive[1], material.emissive[2], one};
      out.SpecularColor = toColor(specular);
      out.EmissiveColor = toColor(emissive);
      for (std::size_t t = 0; t < material.textures.size() && t < video::MATERIAL_MAX_TEXTURES; ++t)
        out.TextureLayer[t].Texture = zeLoadMeshTexture(SceneManager, material.textures[t], name, kWho);
      if (!material.normalMap.empty()) {
        out.TextureLayer[1].Texture = zeLoadMeshTexture(SceneManager, material.normalMap, name, kWho);
        buffer->NormalMapName = material.normalMap;
      }
      buffer->UVValue = m < mesh.uvPairs.size() ? mesh.uvPairs[m].first : 0;
      buffer->UV2Mask = m < mesh.uvPairs.size() ? mesh.uvPairs[m].second : 0;
      buffers.push_back(buffer);
      own.push_back(buffer);
    }

    // Hand out vertices to buffers, face by face.
    std::vector<s32> firstUse(vertexCount, -1);
    std::vector<s32> lastUse(vertexCount, -1);
    std::vector<SVertexUse> uses;
    uses.reserve(vertexCount + vertexCount / 4);
    std::vector<std::vector<u32>> indices(own.size());
    std::vector<u32> corners;
    bool duplicateLogged = false;
    std::size_t corner = 0;
    for (std::size_t f = 0; f < faceCount; ++f) {
      const u32 n = mesh.faceSizes[f];
      const u32 b = bufferOf(f);
      CZeSkinMeshBuffer* buffer = own[b];
      corners.clear();
      for (u32 c = 0; c < n; ++c, ++corner) {
        const u32 v = mesh.faceIndices[corner];
        const s32 normal = !mesh.normalIndices.empty() ? static_cast<s32>(mesh.normalIndices[corner])
                           : mesh.normalsPerVertex      ? static_cast<s32>(v)
                                                        : -1;
        s32 found = -1;
        bool inBuffer = false;
        // A vertex rarely has more than a few uses; a file that gives one
        // vertex very many normals gets new copies instead of a long search.
        int steps = 0;
        for (s32 u = firstUse[v]; u >= 0 && steps < kMaxUseSearch; u = uses[u].next, ++steps) {
          if (uses[u].buffer != b) continue;
          inBuffer = true;
          if (uses[u].normal == normal ||
              (normal >= 0 && mesh.normals[uses[u].normal] == mesh.normals[normal])) {
            found = u;
            break;
          }
        }
        if (found < 0) {
          if (firstUse[v] >= 0 && !inBuffer && !duplicateLogged) {
            zeDeviceLog(ELL_WARNING, "Duplicated vertex, animation might be corrupted.");
            duplicateLogged = true;
          }
          video::S3DVertex2TCoords vertex;
          vertex.Pos = mesh.positions[v];
          place.transformVect(vertex.Pos);
          vertex.Normal = normal >= 0 ? mesh.normals[normal] : computed[v];
          place.rotateVect(vertex.Normal);
          vertex.Normal.normalize();
          vertex.Color = mesh.hasColors ? mesh.colors[v] : buffer->Material.DiffuseColor;
          vertex.TCoords = v < mesh.uv.size() ? mesh.uv[v] : core::vector2df(0, 0);
          vertex.TCoords2 = v < mesh.uv2.size() ? mesh.uv2[v] : core::vector2df(0, 0);
          const u32 at = buffer->getVertexCount();
          if (twoCoords)
            buffer->Vertices_2TCoords.push_back(vertex);
          else
            buffer->Vertices_Standard.push_back(
                video::S3DVertex(vertex.Pos, vertex.Normal, vertex.Color, vertex.TCoords));
          buffer->OriginalVerticesIndices.push_back(v);
          found = static_cast<s32>(uses.size());
          uses.push_back({b, at, normal, -1});
          // Keep the chain in creation order: the first use stays first.
          if (firstUse[v] < 0)
            firstUse[v] = found;
          else
            uses[lastUse[v]].next = found;
          lastUse[v] = found;
        }
        corners.push_back(uses[found].vertex);
      }
      for (u32 c = 1; c + 1 < n; ++c) {
        indices[b].push_back(corners[0]);
        indices[b].push_back(corners[c]);
        indices[b].push_back(corners[c + 1]);
      }
    }
    for (std::size_t b = 0; b < own.size(); ++b) {
      CZeSkinMeshBuffer* buffer = own[b];
      // 16-bit indices up to 65535 vertices, 32-bit from 65536 on.
      buffer->setIndexType(buffer->getVertexCount() > 65535 ? video::EIT_32BIT : video::EIT_16BIT);
      buffer->reserveIndices(static_cast<u32>(indices[b].size()));
      for (u32 index : indices[b]) buffer->pushIndex(index);
      buffer->recalculateBoundingBox();
    }

    // Skin weights: every buffer vertex made from a weighted file vertex.
    const std::size_t weightLimit = kMaxWeightsPerVertex * (uses.size() + 1);
    std::size_t weightCount = 0;
    for (const SZeXSkin& skin : mesh.skins) {
      const int j = findJoint(skin.frame);
      if (j < 0) {
        zeDeviceLog(ELL_WARNING, "%s: SkinWeights for unknown frame %s in %s", kWho, skin.frame.c_str(),
                    name ? name : "");
        continue;
      }
      // Vertices were moved into the mesh's space by `place`; the file's
      // offset matrix expects them in the frame's own space.
      core::matrix4 unplace;
      place.getInverse(unplace);
      joints[j]->GlobalInversedMatrix = skin.offset * unplace;
      for (std::size_t i = 0; i < skin.vertices.size(); ++i)
        for (s32 u = firstUse[skin.vertices[i]]; u >= 0; u = uses[u].next) {
          if (++weightCount > weightLimit) break;
          scene::ISkinnedMesh::SWeight* weight = skinned->addWeight(joints[j]);
          weight->buffer_id = static_cast<u16>(firstBuffer + uses[u].buffer);
          weight->vertex_id = uses[u].vertex;
          weight->strength = skin.weights[i];
        }
    }
    if (weightCount > weightLimit)
      zeDeviceLog(ELL_WARNING, "%s: too many skin weights in %s, the rest dropped", kWho, name ? name : "");
    // A rigid mesh in an animated file follows its frame.
    if (animated && mesh.skins.empty() && mesh.frame >= 0)
      for (std::size_t b = 0; b < own.size(); ++b)
        for (u32 v = 0; v < own[b]->getVertexCount(); ++v) {
          scene::ISkinnedMesh::SWeight* weight = skinned->addWeight(joints[mesh.frame]);
          weight->buffer_id = static_cast<u16>(firstBuffer + b);
          weight->vertex_id = v;
          weight->strength = 1.0f;
        }
  }

  // Animation keys, in ticks.
  for (SZeXTrack track : model.tracks) {
    for (auto& keys : track.keys) {
      const std::size_t count = &keys == &track.keys[0] ? 4 : &keys == &track.keys[3] ? 16 : 3;
      tidyKeys(&keys, [count](const SZeXTrack::Key& a, const SZeXTrack::Key& b) {
        return std::memcmp(a.values, b.values, count * sizeof(float)) == 0;
      });
    }
    const int j = findJoint(track.frame);
    if (j < 0) {
      if (!track.frame.empty())
        zeDeviceLog(ELL_WARNING, "%s: Animation for unknown frame %s in %s", kWho, track.frame.c_str(),
                    name ? name : "");
      continue;
    }
    scene::ISkinnedMesh::SJoint* joint = joints[j];
    for (const SZeXTrack::Key& key : track.keys[0]) {
      // The file stores (w, x, y, z) for row vectors; Irrlicht's skinning
      // applies the conjugate convention.
      scene::ISkinnedMesh::SRotationKey* k = skinned->addRotationKey(joint);
      k->frame = key.time;
      k->rotation.set(-key.values[1], -key.values[2], -key.values[3], key.values[0]);
      k->rotation.normalize();
    }
    for (const SZeXTrack::Key& key : track.keys[1]) {
      scene::ISkinnedMesh::SScaleKey* k = skinned->addScaleKey(joint);
      k->frame = key.time;
      k->scale.set(key.values[0], key.values[1], key.values[2]);
    }
    for (const SZeXTrack::Key& key : track.keys[2]) {
      scene::ISkinnedMesh::SPositionKey* k = skinned->addPositionKey(joint);
      k->frame = key.time;
      k->position.set(key.values[0], key.values[1], key.values[2]);
    }
    // Whole matrices are split into position, scale and rotation keys.
    for (const SZeXTrack::Key& key : track.keys[3]) {
      core::matrix4 m;
      std::memcpy(m.pointer(), key.values, sizeof(key.values));
      const core::vector3df scale = m.getScale();
      core::matrix4 rotation = m;
      rotation.setTranslation(core::vector3df(0, 0, 0));
      if (scale.X != 0 && scale.Y != 0 && scale.Z != 0) {
        core::matrix4 unscale;
        unscale.setScale(core::vector3df(1 / scale.X, 1 / scale.Y, 1 / scale.Z));
        rotation = rotation * unscale;
      }
      scene::ISkinnedMesh::SPositionKey* p = skinned->addPositionKey(joint);
      p->frame = key.time;
      p->position = m.getTranslation();
      scene::ISkinnedMesh::SScaleKey* s = skinned->addScaleKey(joint);
      s->frame = key.time;
      s->scale = scale;
      scene::ISkinnedMesh::SRotationKey* r = skinned->addRotationKey(joint);
      r->frame = key.time;
      r->rotation = core::quaternion(rotation);
      r->rotation.makeInverse();
      r->rotation.normalize();
    }
  }
  skinned->setAnimationSpeed(static_cast<f32>(model.ticksPerSecond));
  skinned->finalize();
}

scene::IMeshLoader* zeCreateXMeshLoader(scene::ISceneManager* sceneManager) {
  return new CZeXMeshFileLoader(sceneManager);
}

void zeRegisterXMeshLoader(scene::ISceneManager* sceneManager) {
  scene::IMeshLoader* loader = zeCreateXMeshLoader(sceneManager);
  sceneManager->addExternalMeshLoader(loader);
  loader->drop();
}
