#include "mesh/CZeLwoMeshFileLoader.h"

#include <irrlicht.h>

#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/zeDeviceLog.h"
#include "mesh/zeMeshFiles.h"

using namespace irr;

namespace {

const char* const kWho = "CZeLwoMeshFileLoader";

// Big-endian bytes of one chunk, every read bounded by the chunk's end.
class CBytes {
 public:
  CBytes(const u8* begin, const u8* end, const u8* fileStart) : Pos(begin), End(end), Start(fileStart) {}
  std::size_t left() const { return static_cast<std::size_t>(End - Pos); }
  std::size_t offset() const { return static_cast<std::size_t>(Pos - Start); }
  bool atEnd() const { return Pos >= End; }
  bool skip(std::size_t n) {
    if (n > left()) return false;
    Pos += n;
    return true;
  }
  bool u2(u32* v) {
    if (left() < 2) return false;
    *v = static_cast<u32>(Pos[0]) << 8 | Pos[1];
    Pos += 2;
    return true;
  }
  bool u4(u32* v) {
    if (left() < 4) return false;
    *v = static_cast<u32>(Pos[0]) << 24 | static_cast<u32>(Pos[1]) << 16 | static_cast<u32>(Pos[2]) << 8 | Pos[3];
    Pos += 4;
    return true;
  }
  bool id(char out[5]) {
    if (left() < 4) return false;
    std::memcpy(out, Pos, 4);
    out[4] = 0;
    Pos += 4;
    return true;
  }
  bool f4(float* v) {
    u32 bits = 0;
    if (!u4(&bits)) return false;
    std::memcpy(v, &bits, 4);
    return true;
  }
  // A variable-length index: two bytes, or four when the first is 0xFF.
  bool vx(u32* v) {
    if (left() >= 1 && Pos[0] == 0xFF) {
      if (!u4(v)) return false;
      *v &= 0x00FFFFFF;
      return true;
    }
    return u2(v);
  }
  // A zero-terminated string padded to an even length.
  bool s0(std::string* s) {
    const void* zero = std::memchr(Pos, 0, left());
    if (!zero) return false;
    const u8* z = static_cast<const u8*>(zero);
    s->assign(reinterpret_cast<const char*>(Pos), static_cast<std::size_t>(z - Pos));
    std::size_t length = static_cast<std::size_t>(z - Pos) + 1;
    if (length & 1) ++length;
    Pos = length > left() ? End : Pos + length;
    return true;
  }
  // The next sub-chunk (4-byte id, 2- or 4-byte size, padded to even).
  bool chunk(char id[5], bool longSize, CBytes* body) {
    u32 size = 0;
    if (!this->id(id) || !(longSize ? u4(&size) : u2(&size)) || size > left()) return false;
    *body = CBytes(Pos, Pos + size, Start);
    Pos += size;
    if ((size & 1) && Pos < End) ++Pos;
    return true;
  }

 private:
  const u8* Pos;
  const u8* End;
  const u8* Start;
};

struct SSurface {
  std::string name;
  float color[3] = {0.78f, 0.78f, 0.78f};
  float diffuse = 1.0f;
  float luminosity = 0.0f;
  float specular = 0.0f;
  float glossiness = 0.4f;
  float transparency = 0.0f;
  bool doubleSided = false;
  s32 clip = -1;       // colour texture, as a CLIP index
  std::string uvName;  // the UV map the texture uses
};

struct SUVMap {
  std::string name;
  std::vector<s32> atPoint;  // index into values per point, -1 when none
  std::vector<core::vector2df> values;
  // Per-polygon values (VMAD): (polygon << 32 | point) to a value.
  std::unordered_map<u64, core::vector2df> perPolygon;
};

struct SPolygon {
  u32 firstCorner;
  u32 cornerCount;
  s32 tag = -1;  // index into the tag list (surface name), -1 for the default
};

struct SLayer {
  std::vector<core::vector3df> points;
  std::vector<SPolygon> polygons;
  std::vector<u32> corners;
  std::vector<SUVMap> uvMaps;
  u32 firstFilePoint = 0;  // file-wide number of the layer's first point
  // The last POLS chunk's polygons, which PTAG and VMAD chunks refer to;
  // `lastPolsKept` is false for chunks that are not faces (bones, curves).
  u32 lastPolsFirst = 0;
  u32 lastPolsCount = 0;
  bool lastPolsKept = false;
};

class CZeLwoParser {
 public:
  CZeLwoParser(scene::ISceneManager* sceneManager, const char* name) : SceneManager(sceneManager), Name(name) {}

  bool parse(const u8* data, std::size_t size) {
    CBytes file(data, data + size, data);
    char id[5];
    CBytes form(data, data, data);
    if (!file.chunk(id, true, &form)) {
      if (size >= 12 && std::memcmp(data, "FORM", 4) == 0) return fail(file, "FORM size is more than the file holds");
      return fail(file, "not a LightWave object (no FORM)");
    }
    if (std::strcmp(id, "FORM") != 0) return fail(file, "not a LightWave object (no FORM)");
    char type[5];
    if (!form.id(type)) return fail(form, "FORM cut short");
    if (std::strcmp(type, "LWOB") == 0 || std::strcmp(type, "LWLO") == 0)
      return fail(form, "LightWave 5 objects (LWOB) are not read: save the object again as LWO2");
    if (std::strcmp(type, "LWO2") != 0) return fail(form, "not a LightWave object (no LWO2)");
    while (!form.atEnd()) {
      const std::size_t at = form.offset();
      CBytes body(data, data, data);
      if (!form.chunk(id, true, &body)) return fail(form, "chunk runs past the end of the file");
      if (!parseChunk(id, body)) {
        char text[96];
        std::snprintf(text, sizeof(text), "bad %s chunk at byte %zu", id, at);
        return fail(body, text);
      }
    }
    return true;
  }

  // layer 0: every layer; n: the n-th layer of the file only.
  scene::IAnimatedMesh* build(int layer);

 private:
  void appendLayer(const SLayer& l, s32 tag, const SSurface& surface, CZeSkinMeshBuffer* buffer);

  bool fail(const CBytes& at, const char* what) {
    zeDeviceLog(ELL_ERROR, "%s: %s (byte %zu of %s)", kWho, what, at.offset(), Name);
    return false;
  }

  SLayer& layer() {
    if (Layers.empty()) Layers.push_back(SLayer());
    return Layers.back();
  }

  bool parseChunk(const char* id, CBytes body) {
    if (!std::strcmp(id, "TAGS")) {
      std::string tag;
      while (!body.atEnd()) {
        if (!body.s0(&tag)) return false;
        Tags.push_back(tag);
      }
      return true;
    }
    if (!std::strcmp(id, "LAYR")) {
      u32 filePoints = 0;
      for (const SLayer& l : Layers) filePoints += static_cast<u32>(l.points.size());
      Layers.push_back(SLayer());
      Layers.back().firstFilePoint = filePoints;
      return true;
    }
    if (!std::strcmp(id, "PNTS")) return parsePoints(body);
    if (!std::strcmp(id, "POLS")) return parsePolygons(body);
    if (!std::strcmp(id, "PTAG")) return parseTags(body);
    if (!std::strcmp(id, "VMAP")) return parseMap(body, false);
    if (!std::strcmp(id, "VMAD")) return parseMap(body, true);
    if (!std::strcmp(id, "SURF")) return parseSurface(body);
    if (!std::strcmp(id, "CLIP")) return parseClip(body);
    return true;  // bounding boxes, envelopes, descriptions: not needed here
  }

  bool parsePoints(CBytes body) {
    if (body.left() % 12) return false;
    SLayer& l = layer();
    l.points.reserve(l.points.size() + body.left() / 12);
    while (!body.atEnd()) {
      core::vector3df p;
      if (!body.f4(&p.X) || !body.f4(&p.Y) || !body.f4(&p.Z)) return false;
      l.points.push_back(p);
    }
    for (SUVMap& map : l.uvMaps) map.atPoint.resize(l.points.size(), -1);
    return true;
  }

  bool parsePolygons(CBytes body) {
    char type[5];
    if (!body.id(type)) return false;
    SLayer& l = layer();
    // Faces and subdivision patches are drawn; curves, bones and the like
    // are read for their count only.
    const bool keep = !std::strcmp(type, "FACE") || !std::strcmp(type, "PTCH") || !std::strcmp(type, "SUBD");
    l.lastPolsFirst = static_cast<u32>(l.polygons.size());
    l.lastPolsKept = keep;
    u32 count = 0;
    while (!body.atEnd()) {
      u32 header = 0;
      if (!body.u2(&header)) return false;
      const u32 cornerCount = header & 0x03FF;
      SPolygon polygon{static_cast<u32>(l.corners.size()), cornerCount, -1};
      for (u32 c = 0; c < cornerCount; ++c) {
        u32 point = 0;
        if (!body.vx(&point) || point >= l.points.size()) return false;
        if (keep) l.corners.push_back(point);
      }
      if (keep) l.polygons.push_back(polygon);
      ++count;
    }
    l.lastPolsCount = count;
    return true;
  }

  bool parseTags(CBytes body) {
    char type[5];
    if (!body.id(type)) return false;
    SLayer& l = layer();
    const bool surfaces = !std::strcmp(type, "SURF");
    while (!body.atEnd()) {
      u32 polygon = 0;
      u32 tag = 0;
      if (!body.vx(&polygon) || !body.u2(&tag) || polygon >= l.lastPolsCount) return false;
      if (surfaces && tag >= Tags.size()) return false;
      if (surfaces && l.lastPolsKept) l.polygons[l.lastPolsFirst + polygon].tag = static_cast<s32>(tag);
    }
    return true;
  }

  bool parseMap(CBytes body, bool perPolygon) {
    char type[5];
    u32 dimension = 0;
    std::string name;
    if (!body.id(type) || !body.u2(&dimension) || !body.s0(&name)) return false;
    SLayer& l = layer();
    const bool uv = !std::strcmp(type, "TXUV") && dimension == 2;
    SUVMap* map = nullptr;
    if (uv) {
      for (SUVMap& m : l.uvMaps)
        if (m.name == name) map = &m;
      if (!map) {
        l.uvMaps.push_back(SUVMap());
        map = &l.uvMaps.back();
        map->name = name;
        map->atPoint.assign(l.points.size(), -1);
      }
    }
    while (!body.atEnd()) {
      u32 point = 0;
      u32 polygon = 0;
      if (!body.vx(&point) || point >= l.points.size()) return false;
      if (perPolygon && (!body.vx(&polygon) || polygon >= l.lastPolsCount)) return false;
      core::vector2df value(0, 0);
      for (u32 d = 0; d < dimension; ++d) {
        float f = 0;
        if (!body.f4(&f)) return false;
        if (d == 0) value.X = f;
        if (d == 1) value.Y = f;
      }
      if (!map) continue;
      if (perPolygon) {
        if (l.lastPolsKept)
          map->perPolygon[static_cast<u64>(l.lastPolsFirst + polygon) << 32 | point] = value;
      } else {
        map->atPoint[point] = static_cast<s32>(map->values.size());
        map->values.push_back(value);
      }
    }
    return true;
  }

  // Reads "<value> [envelope]" sub-chunks of a surface.
  static bool scalar(CBytes* body, float* value) { return body->f4(value); }

  bool parseSurface(CBytes body) {
    SSurface surface;
    std::string source;
    if (!body.s0(&surface.name) || !body.s0(&source)) return false;
    char id[5];
    while (!body.atEnd()) {
      CBytes sub(nullptr, nullptr, nullptr);
      if (!body.chunk(id, false, &sub)) return false;
      if (!std::strcmp(id, "COLR")) {
        for (float& c : surface.color)
          if (!sub.f4(&c)) return false;
      } else if (!std::strcmp(id, "DIFF")) {
        if (!scalar(&sub, &surface.diffuse)) return false;
      } else if (!std::strcmp(id, "LUMI")) {
        if (!scalar(&sub, &surface.luminosity)) return false;
      } else if (!std::strcmp(id, "SPEC")) {
        if (!scalar(&sub, &surface.specular)) return false;
      } else if (!std::strcmp(id, "GLOS")) {
        if (!scalar(&sub, &surface.glossiness)) return false;
      } else if (!std::strcmp(id, "TRAN")) {
        if (!scalar(&sub, &surface.transparency)) return false;
      } else if (!std::strcmp(id, "SIDE")) {
        u32 sides = 0;
        if (!sub.u2(&sides)) return false;
        surface.doubleSided = sides == 3;
      } else if (!std::strcmp(id, "BLOK")) {
        if (!parseBlock(sub, &surface)) return false;
      }
    }
    Surfaces.push_back(surface);
    return true;
  }

  // A texture block: the first enabled image map on the colour channel gives
  // the surface its texture and UV map.
  bool parseBlock(CBytes body, SSurface* surface) {
    char id[5];
    CBytes header(nullptr, nullptr, nullptr);
    if (!body.chunk(id, false, &header)) return false;
    const bool image = !std::strcmp(id, "IMAP");
    std::string ordinal;
    if (!header.s0(&ordinal)) return false;
    bool colour = false;
    bool enabled = true;
    while (!header.atEnd()) {
      CBytes sub(nullptr, nullptr, nullptr);
      if (!header.chunk(id, false, &sub)) return false;
      char channel[5];
      u32 on = 1;
      if (!std::strcmp(id, "CHAN")) {
        if (!sub.id(channel)) return false;
        colour = !std::strcmp(channel, "COLR");
      } else if (!std::strcmp(id, "ENAB")) {
        if (!sub.u2(&on)) return false;
        enabled = on != 0;
      }
    }
    s32 clip = -1;
    std::string uvName;
    while (!body.atEnd()) {
      CBytes sub(nullptr, nullptr, nullptr);
      if (!body.chunk(id, false, &sub)) return false;
      u32 value = 0;
      if (!std::strcmp(id, "IMAG")) {
        if (!sub.vx(&value)) return false;
        clip = static_cast<s32>(value);
      } else if (!std::strcmp(id, "VMAP")) {
        if (!sub.s0(&uvName)) return false;
      }
    }
    if (image && colour && enabled && surface->clip < 0 && clip >= 0) {
      surface->clip = clip;
      surface->uvName = uvName;
    }
    return true;
  }

  bool parseClip(CBytes body) {
    u32 index = 0;
    if (!body.u4(&index)) return false;
    char id[5];
    while (!body.atEnd()) {
      CBytes sub(nullptr, nullptr, nullptr);
      if (!body.chunk(id, false, &sub)) return false;
      if (!std::strcmp(id, "STIL")) {
        std::string file;
        if (!sub.s0(&file)) return false;
        Clips[index] = file;
      }
    }
    return true;
  }

  scene::ISceneManager* SceneManager;
  const char* Name;
  std::vector<std::string> Tags;
  std::vector<SLayer> Layers;
  std::vector<SSurface> Surfaces;
  std::unordered_map<u32, std::string> Clips;
};

video::SColor toColor(float r, float g, float b, float a) {
  auto byte = [](float v) -> u32 { return !(v > 0.0f) ? 0 : v >= 1.0f ? 255 : static_cast<u32>(v * 255.0f + 0.5f); };
  return video::SColor(byte(a), byte(r), byte(g), byte(b));
}

// A buffer vertex: the layer's point and its texture coordinates (bit
// patterns, so per-polygon values split a point only where they differ).
struct SVertexKey {
  u32 point;
  u32 u, v;
  bool operator==(const SVertexKey& o) const { return point == o.point && u == o.u && v == o.v; }
};
struct SVertexKeyHash {
  std::size_t operator()(const SVertexKey& k) const {
    return static_cast<std::size_t>(k.point) * 0x9E3779B1u ^ static_cast<std::size_t>(k.u) * 0x85EBCA77u ^ k.v;
  }
};

// Adds the polygons of layer `l` with tag `tag` to `buffer`, fanned into
// triangles. LightWave lists corners clockwise seen from the front, as the
// engine draws them, so the order stays.
void CZeLwoParser::appendLayer(const SLayer& l, s32 tag, const SSurface& surface, CZeSkinMeshBuffer* buffer) {
  // The surface's UV map, else the layer's first.
  const SUVMap* uv = l.uvMaps.empty() ? nullptr : &l.uvMaps[0];
  for (const SUVMap& m : l.uvMaps)
    if (m.name == surface.uvName) uv = &m;
  // Smooth normals per point: the area-weighted sum of its polygons' normals.
  std::vector<core::vector3df> normals(l.points.size(), core::vector3df(0, 0, 0));
  for (const SPolygon& p : l.polygons)
    for (u32 c = 1; c + 1 < p.cornerCount; ++c) {
      const u32 a = l.corners[p.firstCorner], b = l.corners[p.firstCorner + c], d = l.corners[p.firstCorner + c + 1];
      const core::vector3df n = (l.points[b] - l.points[a]).crossProduct(l.points[d] - l.points[a]);
      normals[a] += n;
      normals[b] += n;
      normals[d] += n;
    }
  std::unordered_map<SVertexKey, u32, SVertexKeyHash> made;
  std::vector<u32> corners;
  std::vector<u32> indices;
  for (u32 b = 0; b < buffer->getIndexCount(); ++b) indices.push_back(buffer->getIndex(b));
  for (u32 polygonIndex = 0; polygonIndex < l.polygons.size(); ++polygonIndex) {
    const SPolygon& p = l.polygons[polygonIndex];
    if (p.tag != tag || p.cornerCount < 3) continue;
    corners.clear();
    for (u32 c = 0; c < p.cornerCount; ++c) {
      const u32 point = l.corners[p.firstCorner + c];
      core::vector2df t(0, 0);
      if (uv) {
        const auto own = uv->perPolygon.find(static_cast<u64>(polygonIndex) << 32 | point);
        if (own != uv->perPolygon.end())
          t = own->second;
        else if (uv->atPoint[point] >= 0)
          t = uv->values[uv->atPoint[point]];
      }
      t.Y = 1.0f - t.Y;  // LightWave counts V from the bottom
      SVertexKey key{point, 0, 0};
      std::memcpy(&key.u, &t.X, 4);
      std::memcpy(&key.v, &t.Y, 4);
      auto at = made.find(key);
      if (at == made.end()) {
        video::S3DVertex vertex;
        vertex.Pos = l.points[point];
        vertex.Normal = normals[point];
        vertex.Normal.normalize();
        vertex.Color = buffer->Material.DiffuseColor;
        vertex.TCoords = t;
        at = made.emplace(key, buffer->Vertices_Standard.size()).first;
        buffer->Vertices_Standard.push_back(vertex);
        buffer->OriginalVerticesIndices.push_back(l.firstFilePoint + point);
      }
      corners.push_back(at->second);
    }
    for (u32 c = 1; c + 1 < corners.size(); ++c) {
      indices.push_back(corners[0]);
      indices.push_back(corners[c]);
      indices.push_back(corners[c + 1]);
    }
  }
  // 16-bit indices up to 65535 vertices, 32-bit from 65536 on.
  buffer->clearIndices();
  buffer->setIndexType(buffer->getVertexCount() > 65535 ? video::EIT_32BIT : video::EIT_16BIT);
  buffer->reserveIndices(static_cast<u32>(indices.size()));
  for (u32 index : indices) buffer->pushIndex(index);
}

scene::IAnimatedMesh* CZeLwoParser::build(int layer) {
  if (layer > 0 && static_cast<std::size_t>(layer) > Layers.size()) {
    zeDeviceLog(ELL_ERROR, "%s: %s has no layer %d (it has %u)", kWho, Name, layer, static_cast<u32>(Layers.size()));
    return nullptr;
  }
  // Surfaces by tag: polygons tagged with a name no SURF chunk describes get
  // a default surface of that name.
  std::vector<s32> surfaceOfTag(Tags.size(), -1);
  for (std::size_t t = 0; t < Tags.size(); ++t)
    for (std::size_t s = 0; s < Surfaces.size(); ++s)
      if (Surfaces[s].name == Tags[t]) surfaceOfTag[t] = static_cast<s32>(s);

  scene::SMesh* mesh = new scene::SMesh();
  try {
    // One buffer per tag in tag order, then one for untagged polygons.
    for (s32 tag = 0; tag <= static_cast<s32>(Tags.size()); ++tag) {
      const s32 wanted = tag == static_cast<s32>(Tags.size()) ? -1 : tag;
      SSurface surface;
      if (wanted >= 0 && surfaceOfTag[wanted] >= 0) surface = Surfaces[surfaceOfTag[wanted]];
      CZeSkinMeshBuffer* buffer = nullptr;
      for (std::size_t li = 0; li < Layers.size(); ++li) {
        const SLayer& l = Layers[li];
        if (layer > 0 && li + 1 != static_cast<std::size_t>(layer)) continue;
        bool any = false;
        for (const SPolygon& p : l.polygons)
          if (p.tag == wanted && p.cornerCount >= 3) any = true;
        if (!any) continue;
        if (!buffer) {
          buffer = new CZeSkinMeshBuffer(video::EVT_STANDARD);
          video::SMaterial& m = buffer->Material;
          m.DiffuseColor = toColor(surface.color[0] * surface.diffuse, surface.color[1] * surface.diffuse,
                                   surface.color[2] * surface.diffuse, 1.0f - surface.transparency);
          m.AmbientColor = toColor(surface.color[0], surface.color[1], surface.color[2], 1.0f);
          m.EmissiveColor = toColor(surface.color[0] * surface.luminosity, surface.color[1] * surface.luminosity,
                                    surface.color[2] * surface.luminosity, 1.0f);
          m.SpecularColor = toColor(surface.specular, surface.specular, surface.specular, 1.0f);
          m.Shininess = surface.glossiness > 0.0f && surface.glossiness <= 1.0f ? surface.glossiness * 128.0f : 0.0f;
          m.BackfaceCulling = !surface.doubleSided;
          if (surface.clip >= 0) {
            const auto clip = Clips.find(static_cast<u32>(surface.clip));
            if (clip != Clips.end())
              m.TextureLayer[0].Texture = zeLoadMeshTexture(SceneManager, clip->second, Name, kWho);
          }
          buffer->UVValue = 0;
          buffer->UV2Mask = 0;
          mesh->addMeshBuffer(buffer);
          buffer->drop();  // the mesh holds it
        }
        appendLayer(l, wanted, surface, buffer);
      }
    }
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
      CZeSkinMeshBuffer* buffer = static_cast<CZeSkinMeshBuffer*>(mesh->getMeshBuffer(b));
      buffer->recalculateBoundingBox();
    }
  } catch (...) {
    mesh->drop();
    throw;
  }
  mesh->recalculateBoundingBox();
  scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh, scene::EAMT_UNKNOWN);
  mesh->drop();
  return animated;
}

}  // namespace

CZeLwoMeshFileLoader::CZeLwoMeshFileLoader(scene::ISceneManager* sceneManager) : SceneManager(sceneManager) {}

bool CZeLwoMeshFileLoader::isALoadableFileExtension(const io::path& filename) const {
  return core::hasFileExtension(filename, "lwo");
}

scene::IAnimatedMesh* CZeLwoMeshFileLoader::createMesh(io::IReadFile* file) {
  std::size_t size = 0;
  std::unique_ptr<char[]> data = zeReadMeshFile(file, &size, kWho);
  if (!data) return nullptr;
  return createMeshFromMemory(data.get(), size, file->getFileName().c_str());
}

scene::IAnimatedMesh* CZeLwoMeshFileLoader::createMeshFromMemory(const char* data, std::size_t size,
                                                                 const char* name, int layer) {
  name = name ? name : "";
  try {
    CZeLwoParser parser(SceneManager, name);
    if (!parser.parse(reinterpret_cast<const u8*>(data), size)) {
      zeDeviceLog(ELL_ERROR, "%s: failed to load %s", kWho, name);
      return nullptr;
    }
    return parser.build(layer);
  } catch (const std::bad_alloc&) {
    zeDeviceLog(ELL_ERROR, "%s: out of memory loading %s", kWho, name);
    return nullptr;
  }
}

scene::IMeshLoader* zeCreateLwoMeshLoader(scene::ISceneManager* sceneManager) {
  return new CZeLwoMeshFileLoader(sceneManager);
}
