#include "mesh/CZeXMeshFileLoader.h"

#include <irrlicht.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/zeDeviceLog.h"
#include "mesh/zeMeshFiles.h"
#include "mesh/zeXModel.h"

using namespace irr;

// Contents: helpers · CZeXMeshBuilder (joints, then per mesh: normals,
// buffers, vertices, indices, skin weights, rigid frames; then animation) ·
// the loader.

namespace {

const char* const kWho = "CZeXMeshFileLoader";
const int kMaxUseSearch = 64;
// Skin weights per buffer vertex, on average, beyond which a file is not
// sensible: the rest are dropped rather than multiplied out.
const std::size_t kMaxWeightsPerVertex = 16;

// Keys in time order, one per time, without the middle of three equal keys
// (they change nothing), so the skinned mesh gets a short, clean track.
void tidyKeys(std::vector<SZeXTrack::Key>* keys, std::size_t valueCount) {
  using Key = SZeXTrack::Key;
  auto same = [valueCount](const Key& a, const Key& b) {
    return std::memcmp(a.values, b.values, valueCount * sizeof(float)) == 0;
  };
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

// What the passes over one file mesh hand on to each other.
struct SMeshWork {
  explicit SMeshWork(const SZeXMesh& m) : mesh(m) {}
  const SZeXMesh& mesh;
  core::matrix4 place;                     // the mesh's frame, placing its vertices
  std::vector<core::vector3df> computed;   // per file vertex, when the file has no normals
  std::vector<u32> used;                   // the materials some face uses, in order
  u32 firstBuffer = 0;                     // index of the first buffer among the mesh's
  std::vector<CZeSkinMeshBuffer*> buffers; // one per used material
  std::vector<s32> firstUse, lastUse;      // per file vertex, chains of its uses
  std::vector<SVertexUse> uses;
  std::vector<std::vector<u32>> indices;   // per buffer
  bool duplicateLogged = false;            // the duplicate warning, once per mesh
};

// Turns a parsed model into a skinned mesh, one named pass at a time.
class CZeXMeshBuilder {
 public:
  CZeXMeshBuilder(scene::ISceneManager* sceneManager, scene::ISkinnedMesh* skinned, const SZeXModel& model,
                  const char* name)
      : SceneManager(sceneManager), Skinned(skinned), Model(model), Name(name ? name : "") {}

  void run() {
    makeJoints();
    for (const SZeXMesh& mesh : Model.meshes) {
      SMeshWork work(mesh);
      work.place = mesh.frame >= 0 ? Globals[mesh.frame] : core::matrix4();
      computeMissingNormals(&work);
      makeBuffers(&work);
      distributeVertices(&work);
      writeIndices(&work);
      addSkinWeights(&work);
      followRigidFrame(&work);
    }
    for (const SZeXTrack& track : Model.tracks) addTrack(track);
    Skinned->setAnimationSpeed(static_cast<f32>(Model.ticksPerSecond));
    Skinned->finalize();
  }

 private:
  // Frames become joints; their global matrices place static meshes.
  void makeJoints() {
    Joints.assign(Model.frames.size(), nullptr);
    Globals.resize(Model.frames.size());
    for (std::size_t i = 0; i < Model.frames.size(); ++i) {
      const SZeXFrame& frame = Model.frames[i];
      Joints[i] = Skinned->addJoint(frame.parent >= 0 ? Joints[frame.parent] : nullptr);
      Joints[i]->Name = frame.name.c_str();
      Joints[i]->LocalMatrix = frame.local;
      Globals[i] = frame.parent >= 0 ? Globals[frame.parent] * frame.local : frame.local;
    }
    // The first frame of a name is the one tracks and skins find.
    for (std::size_t i = Model.frames.size(); i-- > 0;) JointByName[Model.frames[i].name] = static_cast<int>(i);
    for (const SZeXTrack& track : Model.tracks)
      if (findJoint(track.frame) >= 0)
        for (const auto& keys : track.keys)
          if (!keys.empty()) Animated = true;
  }

  int findJoint(const std::string& frameName) const {
    const auto found = JointByName.find(frameName);
    return found == JointByName.end() ? -1 : found->second;
  }

  // Normals the file does not give: the sum of the adjacent faces' normals,
  // weighted by area, per file vertex (so material seams stay smooth).
  void computeMissingNormals(SMeshWork* work) {
    const SZeXMesh& mesh = work->mesh;
    if (!mesh.normalIndices.empty() || mesh.normalsPerVertex) return;
    work->computed.assign(mesh.positions.size(), core::vector3df(0, 0, 0));
    std::size_t corner = 0;
    for (const u32 n : mesh.faceSizes) {
      for (u32 c = 1; c + 1 < n; ++c) {
        const u32 a = mesh.faceIndices[corner], b = mesh.faceIndices[corner + c],
                  d = mesh.faceIndices[corner + c + 1];
        const core::vector3df normal =
            (mesh.positions[b] - mesh.positions[a]).crossProduct(mesh.positions[d] - mesh.positions[a]);
        work->computed[a] += normal;
        work->computed[b] += normal;
        work->computed[d] += normal;
      }
      corner += n;
    }
    for (core::vector3df& n : work->computed) n.normalize();
  }

  // One buffer per material that some face uses, in material order.
  void makeBuffers(SMeshWork* work) {
    const SZeXMesh& mesh = work->mesh;
    work->used.assign(mesh.faceMaterials.begin(), mesh.faceMaterials.end());
    std::sort(work->used.begin(), work->used.end());
    work->used.erase(std::unique(work->used.begin(), work->used.end()), work->used.end());
    if (work->used.empty() && !mesh.faceSizes.empty()) work->used.push_back(0);
    core::array<scene::SSkinMeshBuffer*>& buffers = Skinned->getMeshBuffers();
    work->firstBuffer = buffers.size();
    const bool twoCoords = !mesh.uv2.empty();
    for (const u32 m : work->used) {
      CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer(twoCoords ? video::EVT_2TCOORDS : video::EVT_STANDARD);
      buffers.push_back(buffer);  // the skinned mesh owns it from here
      work->buffers.push_back(buffer);
      setMaterial(buffer, m < mesh.materials.size() ? mesh.materials[m] : SZeXMaterial());
      buffer->UVValue = m < mesh.uvPairs.size() ? mesh.uvPairs[m].first : 0;
      buffer->UV2Mask = m < mesh.uvPairs.size() ? mesh.uvPairs[m].second : 0;
    }
    work->indices.resize(work->buffers.size());
  }

  void setMaterial(CZeSkinMeshBuffer* buffer, const SZeXMaterial& material) {
    video::SMaterial& out = buffer->Material;
    out.DiffuseColor = toColor(material.faceColor);
    out.Shininess = material.power;
    const float specular[4] = {material.specular[0], material.specular[1], material.specular[2], 1.0f};
    const float emissive[4] = {material.emissive[0], material.emissive[1], material.emissive[2], 1.0f};
    out.SpecularColor = toColor(specular);
    out.EmissiveColor = toColor(emissive);
    for (std::size_t t = 0; t < material.textures.size() && t < video::MATERIAL_MAX_TEXTURES; ++t)
      out.TextureLayer[t].Texture = zeLoadMeshTexture(SceneManager, material.textures[t], Name, kWho);
    if (!material.normalMap.empty()) {
      out.TextureLayer[1].Texture = zeLoadMeshTexture(SceneManager, material.normalMap, Name, kWho);
      buffer->NormalMapName = material.normalMap;
    }
  }

  u32 bufferOfFace(const SMeshWork& work, std::size_t face) const {
    if (work.mesh.faceMaterials.empty()) return 0;
    return static_cast<u32>(std::lower_bound(work.used.begin(), work.used.end(), work.mesh.faceMaterials[face]) -
                            work.used.begin());
  }

  // Room in each buffer before vertices are handed out, so that nothing
  // grows a step at a time: its triangles' indices, and its vertices as the
  // file vertices its faces use (splits by normal come on top).
  void reserveBuffers(SMeshWork* work) {
    const SZeXMesh& mesh = work->mesh;
    const std::size_t bufferCount = work->buffers.size();
    std::vector<std::size_t> vertices(bufferCount, 0), indices(bufferCount, 0);
    std::vector<u32> lastBuffer(mesh.positions.size(), ~0u);
    std::size_t corner = 0;
    for (std::size_t f = 0; f < mesh.faceSizes.size(); ++f) {
      const u32 n = mesh.faceSizes[f];
      const u32 b = bufferOfFace(*work, f);
      if (n >= 3) indices[b] += 3 * static_cast<std::size_t>(n - 2);
      for (u32 c = 0; c < n; ++c, ++corner) {
        u32& last = lastBuffer[mesh.faceIndices[corner]];
        if (last != b) ++vertices[b];
        last = b;
      }
    }
    std::size_t total = 0;
    for (std::size_t b = 0; b < bufferCount; ++b) {
      CZeSkinMeshBuffer* buffer = work->buffers[b];
      const u32 count = static_cast<u32>(vertices[b]);
      if (buffer->getVertexType() == video::EVT_2TCOORDS)
        buffer->Vertices_2TCoords.reallocate(count);
      else
        buffer->Vertices_Standard.reallocate(count);
      buffer->OriginalVerticesIndices.reallocate(count);
      work->indices[b].reserve(indices[b]);
      total += vertices[b];
    }
    work->uses.reserve(total);
  }

  // Hands out vertices to buffers, face by face: a file vertex gets one
  // buffer vertex per buffer and per distinct normal it is used with.
  void distributeVertices(SMeshWork* work) {
    const SZeXMesh& mesh = work->mesh;
    const std::size_t vertexCount = mesh.positions.size();
    work->firstUse.assign(vertexCount, -1);
    work->lastUse.assign(vertexCount, -1);
    reserveBuffers(work);
    std::vector<u32> corners;
    std::size_t corner = 0;
    for (std::size_t f = 0; f < mesh.faceSizes.size(); ++f) {
      const u32 n = mesh.faceSizes[f];
      const u32 b = bufferOfFace(*work, f);
      corners.clear();
      for (u32 c = 0; c < n; ++c, ++corner) {
        const u32 v = mesh.faceIndices[corner];
        const s32 normal = !mesh.normalIndices.empty() ? static_cast<s32>(mesh.normalIndices[corner])
                           : mesh.normalsPerVertex      ? static_cast<s32>(v)
                                                        : -1;
        corners.push_back(useOf(work, b, v, normal));
      }
      std::vector<u32>& indices = work->indices[b];
      for (u32 c = 1; c + 1 < n; ++c) {
        indices.push_back(corners[0]);
        indices.push_back(corners[c]);
        indices.push_back(corners[c + 1]);
      }
    }
  }

  // The buffer vertex for file vertex `v` with `normal` in buffer `b`, made
  // when there is none yet.
  u32 useOf(SMeshWork* work, u32 b, u32 v, s32 normal) {
    const SZeXMesh& mesh = work->mesh;
    bool inBuffer = false;
    // A vertex rarely has more than a few uses; a file that gives one vertex
    // very many normals gets new copies instead of a long search.
    int steps = 0;
    for (s32 u = work->firstUse[v]; u >= 0 && steps < kMaxUseSearch; u = work->uses[u].next, ++steps) {
      if (work->uses[u].buffer != b) continue;
      inBuffer = true;
      if (work->uses[u].normal == normal ||
          (normal >= 0 && mesh.normals[work->uses[u].normal] == mesh.normals[normal]))
        return work->uses[u].vertex;
    }
    if (work->firstUse[v] >= 0 && !inBuffer && !work->duplicateLogged) {
      zeDeviceLog(ELL_WARNING, "Duplicated vertex, animation might be corrupted.");
      work->duplicateLogged = true;
    }
    CZeSkinMeshBuffer* buffer = work->buffers[b];
    video::S3DVertex2TCoords vertex;
    vertex.Pos = mesh.positions[v];
    work->place.transformVect(vertex.Pos);
    vertex.Normal = normal >= 0 ? mesh.normals[normal] : work->computed[v];
    work->place.rotateVect(vertex.Normal);
    vertex.Normal.normalize();
    vertex.Color = mesh.hasColors ? mesh.colors[v] : buffer->Material.DiffuseColor;
    vertex.TCoords = v < mesh.uv.size() ? mesh.uv[v] : core::vector2df(0, 0);
    vertex.TCoords2 = v < mesh.uv2.size() ? mesh.uv2[v] : core::vector2df(0, 0);
    const u32 at = buffer->getVertexCount();
    if (buffer->getVertexType() == video::EVT_2TCOORDS)
      buffer->Vertices_2TCoords.push_back(vertex);
    else
      buffer->Vertices_Standard.push_back(video::S3DVertex(vertex.Pos, vertex.Normal, vertex.Color, vertex.TCoords));
    buffer->OriginalVerticesIndices.push_back(v);
    const s32 found = static_cast<s32>(work->uses.size());
    work->uses.push_back({b, at, normal, -1});
    // Keep the chain in creation order: the first use stays first.
    if (work->firstUse[v] < 0)
      work->firstUse[v] = found;
    else
      work->uses[work->lastUse[v]].next = found;
    work->lastUse[v] = found;
    return at;
  }

  // 16-bit indices up to 65535 vertices, 32-bit from 65536 on.
  void writeIndices(SMeshWork* work) {
    for (std::size_t b = 0; b < work->buffers.size(); ++b) {
      CZeSkinMeshBuffer* buffer = work->buffers[b];
      buffer->setIndexType(buffer->getVertexCount() > 65535 ? video::EIT_32BIT : video::EIT_16BIT);
      buffer->reserveIndices(static_cast<u32>(work->indices[b].size()));
      for (u32 index : work->indices[b]) buffer->pushIndex(index);
      buffer->recalculateBoundingBox();
    }
  }

  // Skin weights: every buffer vertex made from a weighted file vertex.
  void addSkinWeights(SMeshWork* work) {
    const std::size_t weightLimit = kMaxWeightsPerVertex * (work->uses.size() + 1);
    std::size_t weightCount = 0;
    for (const SZeXSkin& skin : work->mesh.skins) {
      const int j = findJoint(skin.frame);
      if (j < 0) {
        zeDeviceLog(ELL_WARNING, "%s: SkinWeights for unknown frame %s in %s", kWho, skin.frame.c_str(), Name);
        continue;
      }
      // Vertices were moved into the mesh's space by `place`; the file's
      // offset matrix expects them in the frame's own space.
      core::matrix4 unplace;
      work->place.getInverse(unplace);
      Joints[j]->GlobalInversedMatrix = skin.offset * unplace;
      for (std::size_t i = 0; i < skin.vertices.size(); ++i)
        for (s32 u = work->firstUse[skin.vertices[i]]; u >= 0; u = work->uses[u].next) {
          if (++weightCount > weightLimit) break;
          scene::ISkinnedMesh::SWeight* weight = Skinned->addWeight(Joints[j]);
          weight->buffer_id = static_cast<u16>(work->firstBuffer + work->uses[u].buffer);
          weight->vertex_id = work->uses[u].vertex;
          weight->strength = skin.weights[i];
        }
    }
    if (weightCount > weightLimit)
      zeDeviceLog(ELL_WARNING, "%s: too many skin weights in %s, the rest dropped", kWho, Name);
  }

  // A rigid mesh in an animated file follows its frame.
  void followRigidFrame(SMeshWork* work) {
    const SZeXMesh& mesh = work->mesh;
    if (!Animated || !mesh.skins.empty() || mesh.frame < 0) return;
    for (std::size_t b = 0; b < work->buffers.size(); ++b)
      for (u32 v = 0; v < work->buffers[b]->getVertexCount(); ++v) {
        scene::ISkinnedMesh::SWeight* weight = Skinned->addWeight(Joints[mesh.frame]);
        weight->buffer_id = static_cast<u16>(work->firstBuffer + b);
        weight->vertex_id = v;
        weight->strength = 1.0f;
      }
  }

  // One track's keys, tidied, in ticks.
  void addTrack(SZeXTrack track) {
    for (int kind = 0; kind < ZE_X_KEY_KINDS; ++kind)
      tidyKeys(&track.keys[kind], zeXKeyValueCount(static_cast<EZeXKeyKind>(kind)));
    const int j = findJoint(track.frame);
    if (j < 0) {
      if (!track.frame.empty())
        zeDeviceLog(ELL_WARNING, "%s: Animation for unknown frame %s in %s", kWho, track.frame.c_str(), Name);
      return;
    }
    scene::ISkinnedMesh::SJoint* joint = Joints[j];
    for (const SZeXTrack::Key& key : track.keys[ZE_X_KEY_ROTATION]) {
      // The file stores (w, x, y, z) for row vectors; Irrlicht's skinning
      // applies the conjugate convention.
      scene::ISkinnedMesh::SRotationKey* k = Skinned->addRotationKey(joint);
      k->frame = key.time;
      k->rotation.set(-key.values[1], -key.values[2], -key.values[3], key.values[0]);
      k->rotation.normalize();
    }
    for (const SZeXTrack::Key& key : track.keys[ZE_X_KEY_SCALE]) {
      scene::ISkinnedMesh::SScaleKey* k = Skinned->addScaleKey(joint);
      k->frame = key.time;
      k->scale.set(key.values[0], key.values[1], key.values[2]);
    }
    for (const SZeXTrack::Key& key : track.keys[ZE_X_KEY_POSITION]) {
      scene::ISkinnedMesh::SPositionKey* k = Skinned->addPositionKey(joint);
      k->frame = key.time;
      k->position.set(key.values[0], key.values[1], key.values[2]);
    }
    for (const SZeXTrack::Key& key : track.keys[ZE_X_KEY_MATRIX]) addMatrixKey(joint, key);
  }

  // A whole matrix is split into position, scale and rotation keys.
  void addMatrixKey(scene::ISkinnedMesh::SJoint* joint, const SZeXTrack::Key& key) {
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
    scene::ISkinnedMesh::SPositionKey* p = Skinned->addPositionKey(joint);
    p->frame = key.time;
    p->position = m.getTranslation();
    scene::ISkinnedMesh::SScaleKey* s = Skinned->addScaleKey(joint);
    s->frame = key.time;
    s->scale = scale;
    scene::ISkinnedMesh::SRotationKey* r = Skinned->addRotationKey(joint);
    r->frame = key.time;
    r->rotation = core::quaternion(rotation);
    r->rotation.makeInverse();
    r->rotation.normalize();
  }

  scene::ISceneManager* SceneManager;
  scene::ISkinnedMesh* Skinned;
  const SZeXModel& Model;
  const char* Name;
  std::vector<scene::ISkinnedMesh::SJoint*> Joints;
  std::vector<core::matrix4> Globals;
  std::unordered_map<std::string, int> JointByName;
  bool Animated = false;
};

}  // namespace

CZeXMeshFileLoader::CZeXMeshFileLoader(scene::ISceneManager* sceneManager) : SceneManager(sceneManager) {}

bool CZeXMeshFileLoader::isALoadableFileExtension(const io::path& filename) const {
  return core::hasFileExtension(filename, "x");
}

scene::IAnimatedMesh* CZeXMeshFileLoader::createMesh(io::IReadFile* file) {
  // One copy of the file, not zero-filled first; parsed where it lies.
  std::size_t size = 0;
  std::unique_ptr<char[]> data = zeReadMeshFile(file, &size, kWho);
  if (!data) return nullptr;
  return createMeshFromMemory(data.get(), size, file->getFileName().c_str());
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
    CZeXMeshBuilder(SceneManager, skinned, model, name).run();
  } catch (...) {
    skinned->drop();
    throw;
  }
  return skinned;
}

scene::IMeshLoader* zeCreateXMeshLoader(scene::ISceneManager* sceneManager) {
  return new CZeXMeshFileLoader(sceneManager);
}

void zeRegisterXMeshLoader(scene::ISceneManager* sceneManager) {
  scene::IMeshLoader* loader = zeCreateXMeshLoader(sceneManager);
  sceneManager->addExternalMeshLoader(loader);
  loader->drop();
}
