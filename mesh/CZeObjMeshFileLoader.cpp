#include "mesh/CZeObjMeshFileLoader.h"

#include <irrlicht.h>

#include <charconv>
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

const char* const kWho = "CZeObjMeshFileLoader";
// A face with more corners than this is not a modelled polygon.
const std::size_t kMaxCorners = 65536;

struct SObjMaterial {
  std::string name;
  video::SMaterial material;
  std::string texture;
  std::string bump;
};

// One corner of a face: position, texture coordinate and normal indices
// (0-based; -1 when absent).
struct SCorner {
  s32 v, t, n;
  bool operator==(const SCorner& o) const { return v == o.v && t == o.t && n == o.n; }
};
struct SCornerHash {
  std::size_t operator()(const SCorner& c) const {
    return (static_cast<std::size_t>(c.v) * 0x9E3779B1u) ^ (static_cast<std::size_t>(c.t) << 20) ^
           static_cast<std::size_t>(c.n) * 0x85EBCA77u;
  }
};

// The faces of one material, as corner triples.
struct SGroup {
  std::size_t material;
  std::vector<SCorner> corners;  // three per triangle, already in engine winding
};

// A line cursor: words and numbers of one line.
class CLine {
 public:
  CLine(const char* begin, const char* end) : Pos(begin), End(end) {}
  void skipSpace() {
    while (Pos < End && (*Pos == ' ' || *Pos == '\t' || *Pos == '\r')) ++Pos;
  }
  bool atEnd() {
    skipSpace();
    return Pos >= End;
  }
  std::string word() {
    skipSpace();
    const char* start = Pos;
    while (Pos < End && *Pos != ' ' && *Pos != '\t' && *Pos != '\r') ++Pos;
    return std::string(start, Pos);
  }
  // The rest of the line, trimmed: names may hold spaces.
  std::string rest() {
    skipSpace();
    const char* end = End;
    while (end > Pos && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) --end;
    return std::string(Pos, end);
  }
  bool number(float* value) {
    skipSpace();
    const char* p = Pos;
    if (p < End && *p == '+') ++p;  // from_chars takes no leading '+'
    const auto result = std::from_chars(p, End, *value);
    if (result.ec == std::errc::result_out_of_range) {
      // Too large or too small for a float: the file means "huge" or "zero".
      const char* q = p;
      while (q < End && *q != ' ' && *q != '\t' && *q != '\r') ++q;
      Pos = q;
      *value = 0.0f;
      return true;
    }
    if (result.ec != std::errc() || (result.ptr < End && *result.ptr != ' ' && *result.ptr != '\t' &&
                                     *result.ptr != '\r'))
      return false;
    Pos = result.ptr;
    return true;
  }
  // One face corner "v", "v/t", "v//n" or "v/t/n", as the file's signed
  // numbers (0 when absent). false on anything else.
  bool corner(long long out[3]) {
    skipSpace();
    out[0] = out[1] = out[2] = 0;
    for (int part = 0; part < 3; ++part) {
      if (part > 0) {
        if (Pos >= End || *Pos != '/') break;
        ++Pos;
        if (part == 1 && Pos < End && *Pos == '/') continue;  // "v//n"
      }
      const auto result = std::from_chars(Pos, End, out[part]);
      // Out of range is kept as a number no file can reach.
      if (result.ec == std::errc::result_out_of_range) {
        out[part] = 1LL << 62;
      } else if (result.ec != std::errc() || out[part] == 0) {
        return false;
      }
      Pos = result.ptr;
    }
    return Pos >= End || *Pos == ' ' || *Pos == '\t' || *Pos == '\r';
  }

 private:
  const char* Pos;
  const char* End;
};

class CZeObjParser {
 public:
  CZeObjParser(scene::ISceneManager* sceneManager, const char* name) : SceneManager(sceneManager), Name(name) {
    Materials.push_back(SObjMaterial());  // faces before any usemtl
  }

  bool parse(const char* data, std::size_t size) {
    const char* p = data;
    const char* end = data + size;
    Line = 0;
    while (p < end) {
      const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (!eol) eol = end;
      ++Line;
      if (!parseLine(CLine(p, eol))) return false;
      p = eol < end ? eol + 1 : end;
    }
    return true;
  }

  scene::IAnimatedMesh* build();

 private:
  bool fail(const char* what) {
    zeDeviceLog(ELL_ERROR, "%s: %s (line %zu of %s)", kWho, what, Line, Name);
    return false;
  }

  bool parseLine(CLine line) {
    const std::string key = line.word();
    if (key.empty() || key[0] == '#') return true;
    if (key == "v") {
      core::vector3df v;
      if (!line.number(&v.X) || !line.number(&v.Y) || !line.number(&v.Z))
        return fail("a vertex needs three numbers");
      v.X = -v.X;
      Positions.push_back(v);
    } else if (key == "vt") {
      core::vector2df t(0, 0);
      if (!line.number(&t.X)) return fail("a texture coordinate needs a number");
      if (!line.atEnd() && !line.number(&t.Y)) return fail("bad texture coordinate");
      t.Y = 1.0f - t.Y;
      Coords.push_back(t);
    } else if (key == "vn") {
      core::vector3df n;
      if (!line.number(&n.X) || !line.number(&n.Y) || !line.number(&n.Z))
        return fail("a normal needs three numbers");
      n.X = -n.X;
      Normals.push_back(n);
    } else if (key == "f") {
      return parseFace(&line);
    } else if (key == "usemtl") {
      useMaterial(line.rest());
    } else if (key == "mtllib") {
      loadLibrary(line.rest());
    }
    // Groups, objects, smoothing groups, lines and points change nothing here.
    return true;
  }

  // A file index (1-based, or negative counting back from the latest) to a
  // 0-based one; false when it names nothing declared so far.
  static bool resolve(long long index, std::size_t count, s32* out) {
    const long long n = static_cast<long long>(count);
    const long long at = index > 0 ? index - 1 : n + index;
    if (at < 0 || at >= n) return false;
    *out = static_cast<s32>(at);
    return true;
  }

  bool parseFace(CLine* line) {
    Face.clear();
    while (!line->atEnd()) {
      long long raw[3];
      if (!line->corner(raw)) return fail("bad face corner");
      SCorner c{-1, -1, -1};
      char text[160];
      if (!resolve(raw[0], Positions.size(), &c.v)) {
        std::snprintf(text, sizeof(text), "face uses vertex %lld of %zu", raw[0], Positions.size());
        return fail(text);
      }
      if (raw[1] && !resolve(raw[1], Coords.size(), &c.t)) {
        std::snprintf(text, sizeof(text), "face uses texture coordinate %lld of %zu", raw[1], Coords.size());
        return fail(text);
      }
      if (raw[2] && !resolve(raw[2], Normals.size(), &c.n)) {
        std::snprintf(text, sizeof(text), "face uses normal %lld of %zu", raw[2], Normals.size());
        return fail(text);
      }
      if (Face.size() >= kMaxCorners) return fail("face has too many corners");
      Face.push_back(c);
    }
    if (Face.size() < 3) return true;  // a line or a point: nothing to draw
    std::vector<SCorner>& out = currentGroup().corners;
    // Mirroring X turns the winding round.
    for (std::size_t i = 1; i + 1 < Face.size(); ++i) {
      out.push_back(Face[i + 1]);
      out.push_back(Face[i]);
      out.push_back(Face[0]);
    }
    return true;
  }

  SGroup& currentGroup() {
    if (Groups.empty() || Groups[CurrentGroup].material != CurrentMaterial) {
      // One group per material, however often the file switches.
      std::size_t found = Groups.size();
      for (std::size_t g = 0; g < Groups.size(); ++g)
        if (Groups[g].material == CurrentMaterial) found = g;
      if (found == Groups.size()) Groups.push_back(SGroup{CurrentMaterial, {}});
      CurrentGroup = found;
    }
    return Groups[CurrentGroup];
  }

  void useMaterial(const std::string& name) {
    for (std::size_t m = 0; m < Materials.size(); ++m)
      if (m > 0 && Materials[m].name == name) {
        CurrentMaterial = m;
        return;
      }
    zeDeviceLog(ELL_WARNING, "%s: material %s not found in %s (line %zu)", kWho, name.c_str(), Name, Line);
    SObjMaterial missing;
    missing.name = name;
    Materials.push_back(missing);
    CurrentMaterial = Materials.size() - 1;
  }

  void loadLibrary(const std::string& file);
  void fillBuffers(scene::SMesh* mesh, const std::vector<core::vector3df>& computed);

  scene::ISceneManager* SceneManager;
  const char* Name;
  std::size_t Line = 0;
  std::vector<core::vector3df> Positions;
  std::vector<core::vector2df> Coords;
  std::vector<core::vector3df> Normals;
  std::vector<SObjMaterial> Materials;
  std::size_t CurrentMaterial = 0;
  std::vector<SGroup> Groups;
  std::size_t CurrentGroup = 0;
  std::vector<SCorner> Face;
};

video::SColor colorOf(CLine* line, video::SColor fallback) {
  float rgb[3];
  for (float& c : rgb)
    if (!line->number(&c)) return fallback;
  auto byte = [](float v) -> u32 { return !(v > 0.0f) ? 0 : v >= 1.0f ? 255 : static_cast<u32>(v * 255.0f + 0.5f); };
  return video::SColor(fallback.getAlpha(), byte(rgb[0]), byte(rgb[1]), byte(rgb[2]));
}

// The file name of a map line: the last word ("-bm 0.5 bump.png" has options first).
std::string mapName(CLine* line) {
  std::string last;
  while (!line->atEnd()) last = line->word();
  return last;
}

void CZeObjParser::loadLibrary(const std::string& file) {
  io::IReadFile* in = zeOpenMeshSideFile(SceneManager, file, Name);
  if (!in) {
    zeDeviceLog(ELL_WARNING, "%s: material library %s not found for %s", kWho, file.c_str(), Name);
    return;
  }
  std::size_t size = 0;
  std::unique_ptr<char[]> data = zeReadMeshFile(in, &size, kWho);
  in->drop();
  if (!data) return;
  const char* p = data.get();
  const char* end = p + size;
  SObjMaterial* current = nullptr;
  while (p < end) {
    const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (!eol) eol = end;
    CLine line(p, eol);
    p = eol < end ? eol + 1 : end;
    const std::string key = line.word();
    if (key == "newmtl") {
      Materials.push_back(SObjMaterial());
      current = &Materials.back();
      current->name = line.rest();
      continue;
    }
    if (!current) continue;
    video::SMaterial& m = current->material;
    if (key == "Kd") {
      m.DiffuseColor = colorOf(&line, m.DiffuseColor);
    } else if (key == "Ka") {
      m.AmbientColor = colorOf(&line, m.AmbientColor);
    } else if (key == "Ks") {
      m.SpecularColor = colorOf(&line, m.SpecularColor);
    } else if (key == "Ke") {
      m.EmissiveColor = colorOf(&line, m.EmissiveColor);
    } else if (key == "Ns") {
      float shininess = 0;
      if (line.number(&shininess) && shininess >= 0.0f && shininess <= 1000.0f) m.Shininess = shininess;
    } else if (key == "d" || key == "Tr") {
      float d = 1;
      if (line.number(&d) && d >= 0.0f && d <= 1.0f) {
        const float opacity = key == "d" ? d : 1.0f - d;
        m.DiffuseColor.setAlpha(static_cast<u32>(opacity * 255.0f + 0.5f));
      }
    } else if (key == "map_Kd") {
      current->texture = mapName(&line);
    } else if (key == "map_bump" || key == "bump" || key == "map_Bump") {
      current->bump = mapName(&line);
    }
  }
}

scene::IAnimatedMesh* CZeObjParser::build() {
  // Normals the file does not give: the area-weighted sum of the adjacent
  // faces' normals per position, so material seams stay smooth.
  std::vector<core::vector3df> computed;
  bool needComputed = false;
  for (const SGroup& g : Groups)
    for (const SCorner& c : g.corners)
      if (c.n < 0) needComputed = true;
  if (needComputed) {
    computed.assign(Positions.size(), core::vector3df(0, 0, 0));
    for (const SGroup& g : Groups)
      for (std::size_t i = 0; i + 2 < g.corners.size(); i += 3) {
        const s32 a = g.corners[i].v, b = g.corners[i + 1].v, c = g.corners[i + 2].v;
        const core::vector3df n = (Positions[b] - Positions[a]).crossProduct(Positions[c] - Positions[a]);
        computed[a] += n;
        computed[b] += n;
        computed[c] += n;
      }
    for (core::vector3df& n : computed) n.normalize();
  }

  scene::SMesh* mesh = new scene::SMesh();
  try {
    fillBuffers(mesh, computed);
  } catch (...) {
    mesh->drop();
    throw;
  }
  mesh->recalculateBoundingBox();
  scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh, scene::EAMT_OBJ);
  mesh->drop();
  return animated;
}

// One buffer per material that faces use; a vertex per distinct corner.
void CZeObjParser::fillBuffers(scene::SMesh* mesh, const std::vector<core::vector3df>& computed) {
  std::unordered_map<SCorner, u32, SCornerHash> made;
  for (const SGroup& g : Groups) {
    if (g.corners.empty()) continue;
    const SObjMaterial& source = Materials[g.material];
    CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer(video::EVT_STANDARD);
    mesh->addMeshBuffer(buffer);  // the mesh owns it from here
    buffer->drop();
    buffer->Material = source.material;
    if (!source.texture.empty())
      buffer->Material.TextureLayer[0].Texture = zeLoadMeshTexture(SceneManager, source.texture, Name, kWho);
    if (!source.bump.empty()) {
      buffer->Material.TextureLayer[1].Texture = zeLoadMeshTexture(SceneManager, source.bump, Name, kWho);
      buffer->NormalMapName = source.bump;
    }
    buffer->UVValue = 0;
    buffer->UV2Mask = 0;
    made.clear();
    std::vector<u32> indices;
    indices.reserve(g.corners.size());
    for (const SCorner& c : g.corners) {
      auto at = made.find(c);
      if (at == made.end()) {
        video::S3DVertex vertex;
        vertex.Pos = Positions[c.v];
        vertex.Normal = c.n >= 0 ? Normals[c.n] : computed[c.v];
        vertex.Color = buffer->Material.DiffuseColor;
        vertex.TCoords = c.t >= 0 ? Coords[c.t] : core::vector2df(0, 0);
        at = made.emplace(c, buffer->Vertices_Standard.size()).first;
        buffer->Vertices_Standard.push_back(vertex);
        buffer->OriginalVerticesIndices.push_back(static_cast<u32>(c.v));
      }
      indices.push_back(at->second);
    }
    // 16-bit indices up to 65535 vertices, 32-bit from 65536 on.
    buffer->setIndexType(buffer->getVertexCount() > 65535 ? video::EIT_32BIT : video::EIT_16BIT);
    buffer->reserveIndices(static_cast<u32>(indices.size()));
    for (u32 index : indices) buffer->pushIndex(index);
    buffer->recalculateBoundingBox();
  }
}

}  // namespace

CZeObjMeshFileLoader::CZeObjMeshFileLoader(scene::ISceneManager* sceneManager) : SceneManager(sceneManager) {}

bool CZeObjMeshFileLoader::isALoadableFileExtension(const io::path& filename) const {
  return core::hasFileExtension(filename, "obj");
}

scene::IAnimatedMesh* CZeObjMeshFileLoader::createMesh(io::IReadFile* file) {
  std::size_t size = 0;
  std::unique_ptr<char[]> data = zeReadMeshFile(file, &size, kWho);
  if (!data) return nullptr;
  return createMeshFromMemory(data.get(), size, file->getFileName().c_str());
}

scene::IAnimatedMesh* CZeObjMeshFileLoader::createMeshFromMemory(const char* data, std::size_t size,
                                                                 const char* name) {
  name = name ? name : "";
  try {
    CZeObjParser parser(SceneManager, name);
    if (!parser.parse(data, size)) {
      zeDeviceLog(ELL_ERROR, "%s: failed to load %s", kWho, name);
      return nullptr;
    }
    return parser.build();
  } catch (const std::bad_alloc&) {
    zeDeviceLog(ELL_ERROR, "%s: out of memory loading %s", kWho, name);
    return nullptr;
  }
}

scene::IMeshLoader* zeCreateObjMeshLoader(scene::ISceneManager* sceneManager) {
  return new CZeObjMeshFileLoader(sceneManager);
}
