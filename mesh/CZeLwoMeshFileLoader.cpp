#include "mesh/CZeLwoMeshFileLoader.h"

#include <irrlicht.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/CZeSurfaceLightwave.h"
#include "mesh/zeDeviceLog.h"
#include "mesh/zeMeshFiles.h"

using namespace irr;

namespace {

const char* const kWho = "CZeLwoMeshFileLoader";

// Texture projections (PROJ).
constexpr u32 kProjectionPlanar = 0, kProjectionCylindrical = 1, kProjectionSpherical = 2, kProjectionUV = 5;

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

// A texture block: an image map on one channel, and how it is laid on.
struct SBlock {
  char channel[5] = "COLR";
  bool image = false;  // IMAP (procedurals and gradients are not drawn)
  bool enabled = true;
  s32 clip = -1;
  u32 projection = kProjectionUV;
  u32 axis = 0;  // 0 X, 1 Y, 2 Z
  core::vector3df centre{0, 0, 0}, size{1, 1, 1}, rotation{0, 0, 0};  // rotation: heading, pitch, bank (radians)
  std::string uvName;
};

struct SSurface {
  std::string name;
  // The channel values the SURF chunk gives, in the order read.
  std::vector<std::pair<int, float>> floats;
  std::vector<std::pair<int, int>> ints;
  float colour[3] = {0.78f, 0.78f, 0.78f};
  float colourFilter = -1.0f;  // CLRF, -1 when absent
  s32 reflectionClip = -1, refractionClip = -1;
  std::vector<SBlock> blocks;
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
  void appendLayer(const SLayer& l, s32 tag, const SBlock* mapping, CZeSkinMeshBuffer* buffer);
  // The engine surface of a SURF chunk (textures loaded), and the block whose
  // mapping gives the buffer its texture coordinates (nullptr: the layer's first UV map).
  CZeSurfaceLightwave* makeSurface(const SSurface& surface, const SBlock** mapping);

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

  // Sub-chunks "<value> [envelope]" of a surface: the value, by channel.
  struct SScalar {
    const char* id;
    int channel;
  };

  bool parseSurface(CBytes body) {
    static const SScalar scalars[] = {
        {"DIFF", ZE_LW_DIFFUSE},         {"LUMI", ZE_LW_LUMINOSITY},           {"SPEC", ZE_LW_SPECULARITY},
        {"REFL", ZE_LW_REFLECTIVITY},    {"TRAN", ZE_LW_TRANSPARENCY},         {"TRNL", ZE_LW_TRANSLUCENCY},
        {"GLOS", ZE_LW_GLOSSINESS},      {"BUMP", ZE_LW_BUMP},                 {"RIND", ZE_LW_IOR},
        {"CLRH", ZE_LW_COLOR_HIGHLIGHTS}, {"ADTR", ZE_LW_ADDITIVE_TRANSPARENCY}, {"SHRP", ZE_LW_DIFFUSE_SHARPNESS},
        {"RBLR", ZE_LW_REFLECTION_BLURRING}, {"TBLR", ZE_LW_REFRACTION_BLURRING}, {"GVAL", ZE_LW_GLOW_VALUE},
        {"SMAN", ZE_LW_SMOOTHING_ANGLE}, {"RSAN", ZE_LW_REFLECTION_SEAM_ANGLE}};
    SSurface surface;
    std::string source;
    if (!body.s0(&surface.name) || !body.s0(&source)) return false;
    char id[5];
    while (!body.atEnd()) {
      CBytes sub(nullptr, nullptr, nullptr);
      if (!body.chunk(id, false, &sub)) return false;
      bool known = false;
      for (const SScalar& scalar : scalars)
        if (!std::strcmp(id, scalar.id)) {
          float v = 0;
          if (!sub.f4(&v)) return false;
          surface.floats.emplace_back(scalar.channel, v);
          known = true;
        }
      if (known) continue;
      u32 value = 0;
      if (!std::strcmp(id, "COLR")) {
        for (float& c : surface.colour)
          if (!sub.f4(&c)) return false;
      } else if (!std::strcmp(id, "CLRF")) {
        if (!sub.f4(&surface.colourFilter)) return false;
      } else if (!std::strcmp(id, "SIDE")) {
        if (!sub.u2(&value)) return false;
        surface.ints.emplace_back(ZE_LW_SIDEDNESS, value == 3 ? 3 : 0);
      } else if (!std::strcmp(id, "RFOP") || !std::strcmp(id, "TROP")) {
        if (!sub.u2(&value)) return false;
        surface.ints.emplace_back(id[0] == 'R' ? ZE_LW_REFLECTION_OPTIONS : ZE_LW_REFRACTION_OPTIONS,
                                  static_cast<int>(value));
      } else if (!std::strcmp(id, "RIMG") || !std::strcmp(id, "TIMG")) {
        if (!sub.vx(&value)) return false;
        (id[0] == 'R' ? surface.reflectionClip : surface.refractionClip) = static_cast<s32>(value);
      } else if (!std::strcmp(id, "GLOW")) {
        // type, intensity [envelope], size [envelope]
        float intensity = 0;
        if (!sub.u2(&value) || !sub.f4(&intensity)) return false;
        surface.ints.emplace_back(ZE_LW_GLOW, 1);
        surface.floats.emplace_back(ZE_LW_GLOW_VALUE, intensity);
      } else if (!std::strcmp(id, "VCOL")) {
        float intensity = 0;
        if (!sub.f4(&intensity)) return false;
        surface.floats.emplace_back(ZE_LW_VERTEX_COLORING, intensity);
      } else if (!std::strcmp(id, "BLOK")) {
        if (!parseBlock(sub, &surface)) return false;
      }
    }
    Surfaces.push_back(surface);
    return true;
  }

  // A texture block: its channel, whether it is an enabled image map, the
  // image and how it is laid on the surface.
  bool parseBlock(CBytes body, SSurface* surface) {
    SBlock block;
    char id[5];
    CBytes header(nullptr, nullptr, nullptr);
    if (!body.chunk(id, false, &header)) return false;
    block.image = !std::strcmp(id, "IMAP");
    std::string ordinal;
    if (!header.s0(&ordinal)) return false;
    while (!header.atEnd()) {
      CBytes sub(nullptr, nullptr, nullptr);
      if (!header.chunk(id, false, &sub)) return false;
      u32 on = 1;
      if (!std::strcmp(id, "CHAN")) {
        if (!sub.id(block.channel)) return false;
      } else if (!std::strcmp(id, "ENAB")) {
        if (!sub.u2(&on)) return false;
        block.enabled = on != 0;
      }
    }
    while (!body.atEnd()) {
      CBytes sub(nullptr, nullptr, nullptr);
      if (!body.chunk(id, false, &sub)) return false;
      u32 value = 0;
      if (!std::strcmp(id, "IMAG")) {
        if (!sub.vx(&value)) return false;
        block.clip = static_cast<s32>(value);
      } else if (!std::strcmp(id, "VMAP")) {
        if (!sub.s0(&block.uvName)) return false;
      } else if (!std::strcmp(id, "PROJ")) {
        if (!sub.u2(&block.projection)) return false;
      } else if (!std::strcmp(id, "AXIS")) {
        if (!sub.u2(&block.axis) || block.axis > 2) return false;
      } else if (!std::strcmp(id, "TMAP")) {
        if (!parseTextureMap(sub, &block)) return false;
      }
    }
    surface->blocks.push_back(block);
    return true;
  }

  // Where a projection sits: its centre, size and rotation.
  static bool parseTextureMap(CBytes body, SBlock* block) {
    char id[5];
    while (!body.atEnd()) {
      CBytes sub(nullptr, nullptr, nullptr);
      if (!body.chunk(id, false, &sub)) return false;
      core::vector3df* v = !std::strcmp(id, "CNTR")   ? &block->centre
                           : !std::strcmp(id, "SIZE") ? &block->size
                           : !std::strcmp(id, "ROTA") ? &block->rotation
                                                      : nullptr;
      if (v && (!sub.f4(&v->X) || !sub.f4(&v->Y) || !sub.f4(&v->Z))) return false;
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

// The channel an image block's CHAN names, or -1.
int blockChannel(const char* id) {
  static const struct {
    const char* id;
    int channel;
  } channels[] = {{"COLR", ZE_LW_BASE_COLOR},   {"DIFF", ZE_LW_DIFFUSE},      {"LUMI", ZE_LW_LUMINOSITY},
                  {"SPEC", ZE_LW_SPECULARITY},  {"GLOS", ZE_LW_GLOSSINESS},   {"REFL", ZE_LW_REFLECTIVITY},
                  {"TRAN", ZE_LW_TRANSPARENCY}, {"RIND", ZE_LW_IOR},          {"TRNL", ZE_LW_TRANSLUCENCY},
                  {"BUMP", ZE_LW_BUMP}};
  for (const auto& c : channels)
    if (!std::strcmp(id, c.id)) return c.channel;
  return -1;
}

bool computedProjection(u32 projection) {
  return projection == kProjectionPlanar || projection == kProjectionCylindrical ||
         projection == kProjectionSpherical;
}

// The point in the projection's own frame: moved to its centre, turned back
// by its rotation (LightWave turns by heading about Y, pitch about X, bank
// about Z), then laid as (a, b, h) with h along the axis: X gives (z, y, x),
// Y gives (x, z, y), Z gives (x, y, z).
core::vector3df projectionFrame(const SBlock& b, const core::vector3df& point) {
  core::vector3df q = point - b.centre;
  const float h = -b.rotation.X, p = -b.rotation.Y, k = -b.rotation.Z;
  q = core::vector3df(q.X * std::cos(h) + q.Z * std::sin(h), q.Y, -q.X * std::sin(h) + q.Z * std::cos(h));
  q = core::vector3df(q.X, q.Y * std::cos(p) - q.Z * std::sin(p), q.Y * std::sin(p) + q.Z * std::cos(p));
  q = core::vector3df(q.X * std::cos(k) - q.Y * std::sin(k), q.X * std::sin(k) + q.Y * std::cos(k), q.Z);
  switch (b.axis) {
    case 0: return core::vector3df(q.Z, q.Y, q.X);
    case 1: return core::vector3df(q.X, q.Z, q.Y);
    default: return q;
  }
}

// The projection's size along a component of its frame (1 where the file gives 0).
float frameSize(const SBlock& b, int component) {
  static const int worldAxis[3][3] = {{2, 1, 0}, {0, 2, 1}, {0, 1, 2}};
  const int at = worldAxis[b.axis][component];
  const float size = at == 0 ? b.size.X : at == 1 ? b.size.Y : b.size.Z;
  return size != 0.0f ? size : 1.0f;
}

// Texture coordinates of a point under a planar, cylindrical or spherical
// projection, V counted from the bottom as LightWave does. Planar: (a, b)
// over the size, centred on 0.5. Cylindrical: the angle about the axis
// (atan2(a, b)) over a turn, and h over the size. Spherical: that angle,
// and the latitude over a half turn.
core::vector2df projectedUV(const SBlock& b, const core::vector3df& point) {
  const core::vector3df q = projectionFrame(b, point);
  const float turn = 2.0f * core::PI;
  switch (b.projection) {
    case kProjectionPlanar: return core::vector2df(q.X / frameSize(b, 0) + 0.5f, q.Y / frameSize(b, 1) + 0.5f);
    case kProjectionCylindrical:
      return core::vector2df(std::atan2(q.X, q.Y) / turn + 0.5f, q.Z / frameSize(b, 2) + 0.5f);
    default: {
      const float r = q.getLength();
      const float latitude = r > 0.0f ? std::asin(core::clamp(q.Z / r, -1.0f, 1.0f)) : 0.0f;
      return core::vector2df(std::atan2(q.X, q.Y) / turn + 0.5f, latitude / core::PI + 0.5f);
    }
  }
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
void CZeLwoParser::appendLayer(const SLayer& l, s32 tag, const SBlock* mapping, CZeSkinMeshBuffer* buffer) {
  // A projection computes the coordinates; otherwise the mapping's UV map, else the layer's first.
  const bool projected = mapping && computedProjection(mapping->projection);
  const SUVMap* uv = l.uvMaps.empty() || projected ? nullptr : &l.uvMaps[0];
  for (const SUVMap& m : l.uvMaps)
    if (!projected && mapping && m.name == mapping->uvName) uv = &m;
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
  std::vector<core::vector2df> polygonUVs;
  std::vector<u32> indices;
  for (u32 b = 0; b < buffer->getIndexCount(); ++b) indices.push_back(buffer->getIndex(b));
  for (u32 polygonIndex = 0; polygonIndex < l.polygons.size(); ++polygonIndex) {
    const SPolygon& p = l.polygons[polygonIndex];
    if (p.tag != tag || p.cornerCount < 3) continue;
    corners.clear();
    polygonUVs.clear();
    for (u32 c = 0; c < p.cornerCount; ++c) {
      const u32 point = l.corners[p.firstCorner + c];
      core::vector2df t(0, 0);
      if (projected) {
        t = projectedUV(*mapping, l.points[point]);
      } else if (uv) {
        const auto own = uv->perPolygon.find(static_cast<u64>(polygonIndex) << 32 | point);
        if (own != uv->perPolygon.end())
          t = own->second;
        else if (uv->atPoint[point] >= 0)
          t = uv->values[uv->atPoint[point]];
      }
      polygonUVs.push_back(t);
    }
    // A polygon across the seam of a wrapped projection takes its corners
    // from one side of it (U beyond 1 repeats the image).
    if (projected && mapping->projection != kProjectionPlanar) {
      float low = polygonUVs[0].X, high = low;
      for (const core::vector2df& t : polygonUVs) low = core::min_(low, t.X), high = core::max_(high, t.X);
      if (high - low > 0.5f)
        for (core::vector2df& t : polygonUVs)
          if (t.X < 0.5f) t.X += 1.0f;
    }
    for (u32 c = 0; c < p.cornerCount; ++c) {
      const u32 point = l.corners[p.firstCorner + c];
      core::vector2df t = polygonUVs[c];
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

CZeSurfaceLightwave* CZeLwoParser::makeSurface(const SSurface& from, const SBlock** mapping) {
  CZeSurfaceLightwave* surface = new CZeSurfaceLightwave;
  surface->setFloat3(ZE_LW_BASE_COLOR, from.colour[0], from.colour[1], from.colour[2]);
  // LightWave colours by vertex only where a surface names a vertex colour map.
  surface->setFloat(ZE_LW_VERTEX_COLORING, 0.0f);
  for (const auto& v : from.floats) surface->setFloat(v.first, v.second);
  for (const auto& v : from.ints) surface->setInt(v.first, v.second);
  if (from.colourFilter >= 0.0f)
    surface->setFloat3(ZE_LW_COLOR_FILTER, from.colourFilter, from.colourFilter, from.colourFilter);
  if (surface->getFloat(ZE_LW_GLOW_VALUE) > 0.0f) surface->setInt(ZE_LW_GLOW, 1);
  auto image = [&](s32 clip) -> video::ITexture* {
    const auto found = clip >= 0 ? Clips.find(static_cast<u32>(clip)) : Clips.end();
    if (found == Clips.end()) {
      if (clip >= 0) zeDeviceLog(ELL_WARNING, "%s: surface '%s' names image %d, which no CLIP holds (%s)", kWho,
                                 from.name.c_str(), clip, Name);
      return nullptr;
    }
    return zeLoadMeshTexture(SceneManager, found->second, Name, kWho);
  };
  surface->setTexture(ZE_LW_REFLECTION_IMAGE, image(from.reflectionClip));
  surface->setTexture(ZE_LW_REFRACTION_IMAGE, image(from.refractionClip));
  // The first enabled image map of each channel; the first UV-mapped one
  // lays out the buffer, else the first that a projection computes.
  *mapping = nullptr;
  const SBlock* projected = nullptr;
  for (const SBlock& b : from.blocks) {
    if (!b.image || !b.enabled) continue;
    const int channel = blockChannel(b.channel);
    if (channel >= 0 && !surface->getTexture(channel)) surface->setTexture(channel, image(b.clip));
    if (b.projection == kProjectionUV && !*mapping) *mapping = &b;
    if (computedProjection(b.projection) && !projected) projected = &b;
    if (b.projection != kProjectionUV && !computedProjection(b.projection))
      zeDeviceLog(ELL_WARNING, "%s: surface '%s' uses projection %u, which is not computed: its image is laid by the UV map (%s)",
                  kWho, from.name.c_str(), b.projection, Name);
  }
  if (!*mapping) *mapping = projected;
  return surface;
}

scene::IAnimatedMesh* CZeLwoParser::build(int layer) {
  if (layer > 0 && static_cast<std::size_t>(layer) > Layers.size()) {
    zeDeviceLog(ELL_ERROR, "%s: %s has no layer %d (it has %u)", kWho, Name, layer, static_cast<u32>(Layers.size()));
    return nullptr;
  }
  // Surfaces by tag.
  std::vector<s32> surfaceOfTag(Tags.size(), -1);
  for (std::size_t t = 0; t < Tags.size(); ++t)
    for (std::size_t s = 0; s < Surfaces.size(); ++s)
      if (Surfaces[s].name == Tags[t]) surfaceOfTag[t] = static_cast<s32>(s);

  scene::SMesh* mesh = new scene::SMesh();
  try {
    // One buffer per tag in tag order, then one for untagged polygons.
    for (s32 tag = 0; tag <= static_cast<s32>(Tags.size()); ++tag) {
      const s32 wanted = tag == static_cast<s32>(Tags.size()) ? -1 : tag;
      const SSurface* surface = wanted >= 0 && surfaceOfTag[wanted] >= 0 ? &Surfaces[surfaceOfTag[wanted]] : nullptr;
      CZeSkinMeshBuffer* buffer = nullptr;
      const SBlock* mapping = nullptr;
      for (std::size_t li = 0; li < Layers.size(); ++li) {
        const SLayer& l = Layers[li];
        if (layer > 0 && li + 1 != static_cast<std::size_t>(layer)) continue;
        bool any = false;
        for (const SPolygon& p : l.polygons)
          if (p.tag == wanted && p.cornerCount >= 3) any = true;
        if (!any) continue;
        if (!buffer) {
          buffer = new CZeSkinMeshBuffer(video::EVT_STANDARD);
          mesh->addMeshBuffer(buffer);
          buffer->drop();  // the mesh holds it
          // Untagged polygons and tags no SURF describes get LightWave's default surface.
          static const SSurface defaultSurface;
          CZeSurfaceLightwave* made = makeSurface(surface ? *surface : defaultSurface, &mapping);
          made->writeToMaterial(buffer->Material);
          buffer->setSurface(made);
          made->drop();
          // Vertices carry the colour and, as alpha, the opacity (vertex-alpha materials read it).
          const float opacity = 1.0f - made->getFloat(ZE_LW_TRANSPARENCY);
          buffer->Material.DiffuseColor.setAlpha(!(opacity > 0.0f) ? 0 : opacity >= 1.0f ? 255 : u32(opacity * 255.0f + 0.5f));
          buffer->UVValue = 0;
          buffer->UV2Mask = 0;
        }
        appendLayer(l, wanted, mapping, buffer);
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
