#include "mesh/zeXModel.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "mesh/zeDeviceLog.h"
#include "mesh/zeXReader.h"

using namespace irr;

namespace {

const char* const kWho = "CZeXMeshFileLoader";
// Frames nest at most this deep; deeper files are refused rather than
// recursing without bound.
const int kMaxDepth = 256;
// Skeletons have hundreds of bones; a file with more frames than this is
// refused before the skinned mesh has to sort them out.
const std::size_t kMaxFrames = 16384;

// Room made from a checked count: the whole count up to this many items,
// beyond it the arrays grow as the data arrives (a small file that inflates
// to a large one may still declare more than it really holds).
const std::size_t kMaxReserve = std::size_t(1) << 22;

template <typename Vector>
void reserveFor(Vector* items, uint64_t count) {
  items->reserve(items->size() + static_cast<std::size_t>(std::min<uint64_t>(count, kMaxReserve)));
}

class CZeXParser {
 public:
  explicit CZeXParser(SZeXModel* model) : Model(model) {}

  bool parse(const char* data, std::size_t size) {
    std::string reason;
    if (!Reader.open(data, size, &reason)) return fail(reason.c_str());
    for (;;) {
      const CZeXReader::Kind kind = Reader.peek();
      if (kind == CZeXReader::K_END) return true;
      if (kind != CZeXReader::K_NAME) return fail("expected a data object");
      if (!parseObject(-1, nullptr, 0)) return false;
    }
  }

 private:
  bool fail(const char* what) {
    zeDeviceLog(ELL_ERROR, "%s: %s (%s %zu)", kWho, what, Reader.isBinary() ? "byte" : "line",
                Reader.position());
    return false;
  }
  void warn(const char* what) {
    zeDeviceLog(ELL_WARNING, "%s: %s (%s %zu)", kWho, what, Reader.isBinary() ? "byte" : "line",
                Reader.position());
  }

  // A declared count of items of `numbers` numbers each must fit in what is
  // left of the data: every number takes at least two bytes in text (a digit
  // and a separator) and four in binary. Counts are checked before anything
  // is sized from them.
  bool checkCount(uint32_t count, uint32_t numbers, const char* what) {
    const uint64_t bytesPerNumber = Reader.isBinary() ? 4 : 2;
    if (static_cast<uint64_t>(count) * numbers * bytesPerNumber > Reader.remaining() + bytesPerNumber) {
      char text[256];
      std::snprintf(text, sizeof(text), "%s count %u is more than the file holds", what, count);
      return fail(text);
    }
    return true;
  }

  bool readU(uint32_t* v, const char* what) {
    if (Reader.readUInt(v)) return true;
    char text[256];
    std::snprintf(text, sizeof(text), "expected an integer (%s)", what);
    return fail(text);
  }
  bool readF(float* v, const char* what) {
    if (Reader.readFloat(v)) return true;
    char text[256];
    std::snprintf(text, sizeof(text), "expected a number (%s)", what);
    return fail(text);
  }
  bool readMatrix(core::matrix4* m, const char* what) {
    for (int i = 0; i < 16; ++i)
      if (!readF(&(*m)[i], what)) return false;
    return true;
  }
  bool close(const char* what) {
    if (Reader.readClose()) return true;
    char text[256];
    std::snprintf(text, sizeof(text), "no closing brace after %s", what);
    return fail(text);
  }
  bool skipRest(const char* what) {
    if (Reader.skipToClose()) return true;
    char text[256];
    std::snprintf(text, sizeof(text), "%s is not closed", what);
    return fail(text);
  }

  // Reads "Type [name] { [<guid>]" and then the body by type. `frame` is the
  // enclosing frame, `mesh` the enclosing mesh (for its child objects).
  bool parseObject(int frame, SZeXMesh* mesh, int depth) {
    if (depth > kMaxDepth) return fail("data objects nested too deep");
    std::string type;
    std::string name;
    if (!Reader.readName(&type)) return fail("expected a data object");
    if (!Reader.readOptionalName(&name)) return fail("bad object name");
    if (!Reader.readOpen()) return fail(("no opening brace after " + type).c_str());
    Reader.skipGuid();
    if (type == "template") return skipRest("template");
    if (type == "Frame") return parseFrame(frame, name, depth);
    if (type == "Mesh") return parseMesh(frame, name, depth);
    if (type == "Material") {
      SZeXMaterial material;
      material.name = name;
      if (!parseMaterial(&material, depth)) return false;
      // A later material of the same name is the one references find.
      MaterialByName[name] = Model->namedMaterials.size();
      Model->namedMaterials.push_back(material);
      return true;
    }
    if (type == "AnimationSet") return parseAnimationSet(depth);
    if (type == "AnimTicksPerSecond") {
      uint32_t ticks = 0;
      if (!readU(&ticks, "AnimTicksPerSecond")) return false;
      if (ticks == 0) {
        warn("AnimTicksPerSecond 0 ignored");
      } else {
        Model->ticksPerSecond = ticks;
      }
      return skipRest("AnimTicksPerSecond");
    }
    return skipRest(type.c_str());
  }

  bool parseFrame(int parent, const std::string& name, int depth) {
    if (depth > kMaxDepth) return fail("frames nested too deep");
    if (Model->frames.size() >= kMaxFrames) return fail("too many frames");
    const int index = static_cast<int>(Model->frames.size());
    Model->frames.push_back(SZeXFrame());
    Model->frames.back().name = name;
    Model->frames.back().parent = parent;
    for (;;) {
      const CZeXReader::Kind kind = Reader.peek();
      if (kind == CZeXReader::K_CLOSE) return close("Frame");
      if (kind == CZeXReader::K_OPEN) {
        // A reference to another object: not used for frames.
        if (!Reader.readOpen() || !Reader.skipToClose()) return fail("bad reference in Frame");
        continue;
      }
      if (kind != CZeXReader::K_NAME) return fail("unexpected data in Frame");
      std::string type;
      std::string childName;
      // Look at the type without losing it: FrameTransformMatrix is read here,
      // every other child goes through parseObject.
      if (!peekType(&type, &childName)) return false;
      if (type == "FrameTransformMatrix") {
        core::matrix4 m;
        if (!readMatrix(&m, "FrameTransformMatrix")) return false;
        Model->frames[index].local = m;
        if (!skipRest("FrameTransformMatrix")) return false;
      } else if (type == "Frame") {
        if (!parseFrame(index, childName, depth + 1)) return false;
      } else if (type == "Mesh") {
        if (!parseMesh(index, childName, depth + 1)) return false;
      } else if (!skipRest(type.c_str())) {
        return false;
      }
    }
  }

  // Reads a child object's header ("Type [name] { [<guid>]").
  bool peekType(std::string* type, std::string* name) {
    if (!Reader.readName(type)) return fail("expected a data object");
    if (!Reader.readOptionalName(name)) return fail("bad object name");
    if (!Reader.readOpen()) return fail(("no opening brace after " + *type).c_str());
    Reader.skipGuid();
    return true;
  }

  bool parseMesh(int frame, const std::string& name, int depth) {
    Model->meshes.push_back(SZeXMesh());
    SZeXMesh& mesh = Model->meshes.back();
    mesh.name = name;
    mesh.frame = frame;
    uint32_t vertexCount = 0;
    if (!readU(&vertexCount, "Mesh vertex count") || !checkCount(vertexCount, 3, "Mesh vertex")) return false;
    reserveFor(&mesh.positions, vertexCount);
    for (uint32_t i = 0; i < vertexCount; ++i) {
      core::vector3df p;
      if (!readF(&p.X, "Mesh vertex") || !readF(&p.Y, "Mesh vertex") || !readF(&p.Z, "Mesh vertex")) return false;
      mesh.positions.push_back(p);
    }
    uint32_t faceCount = 0;
    if (!readU(&faceCount, "Mesh face count") || !checkCount(faceCount, 1, "Mesh face")) return false;
    reserveFor(&mesh.faceSizes, faceCount);
    reserveFor(&mesh.faceIndices, static_cast<uint64_t>(faceCount) * 3);
    for (uint32_t f = 0; f < faceCount; ++f) {
      uint32_t corners = 0;
      if (!readU(&corners, "face size") || !checkCount(corners, 1, "face corner")) return false;
      mesh.faceSizes.push_back(corners);
      for (uint32_t c = 0; c < corners; ++c) {
        uint32_t index = 0;
        if (!readU(&index, "face index")) return false;
        if (index >= vertexCount) {
          char text[256];
          std::snprintf(text, sizeof(text), "face %u uses vertex %u of %u", f, index, vertexCount);
          return fail(text);
        }
        mesh.faceIndices.push_back(index);
      }
    }
    const std::size_t meshIndex = Model->meshes.size() - 1;
    for (;;) {
      SZeXMesh& current = Model->meshes[meshIndex];
      const CZeXReader::Kind kind = Reader.peek();
      if (kind == CZeXReader::K_CLOSE) return close("Mesh");
      if (kind == CZeXReader::K_OPEN) {
        if (!Reader.readOpen() || !Reader.skipToClose()) return fail("bad reference in Mesh");
        continue;
      }
      if (kind != CZeXReader::K_NAME) return fail("unexpected data in Mesh");
      std::string type;
      std::string childName;
      if (!peekType(&type, &childName)) return false;
      bool ok = true;
      if (type == "MeshNormals")
        ok = parseNormals(&current);
      else if (type == "MeshTextureCoords")
        ok = parseTextureCoords(&current);
      else if (type == "MeshVertexColors")
        ok = parseVertexColors(&current);
      else if (type == "MeshMaterialList")
        ok = parseMaterialList(&current, depth);
      else if (type == "SkinWeights")
        ok = parseSkinWeights(&current);
      else if (type == "MeshMaterialsUVs")
        ok = parseMaterialsUVs(&current);
      else if (type == "DeclData")
        ok = parseDeclData(&current);
      else
        ok = skipRest(type.c_str());
      if (!ok) return false;
    }
  }

  bool parseNormals(SZeXMesh* mesh) {
    uint32_t count = 0;
    if (!readU(&count, "normal count") || !checkCount(count, 3, "MeshNormals")) return false;
    std::vector<core::vector3df> normals;
    reserveFor(&normals, count);
    for (uint32_t i = 0; i < count; ++i) {
      core::vector3df n;
      if (!readF(&n.X, "normal") || !readF(&n.Y, "normal") || !readF(&n.Z, "normal")) return false;
      normals.push_back(n);
    }
    uint32_t faceCount = 0;
    if (!readU(&faceCount, "normal face count") || !checkCount(faceCount, 1, "MeshNormals face")) return false;
    std::vector<uint32_t> indices;
    indices.reserve(mesh->faceIndices.size());
    bool matches = faceCount == mesh->faceSizes.size();
    for (uint32_t f = 0; f < faceCount; ++f) {
      uint32_t corners = 0;
      if (!readU(&corners, "normal face size") || !checkCount(corners, 1, "normal face corner")) return false;
      if (matches && corners != mesh->faceSizes[f]) matches = false;
      for (uint32_t c = 0; c < corners; ++c) {
        uint32_t index = 0;
        if (!readU(&index, "normal index")) return false;
        if (index >= count) {
          char text[256];
          std::snprintf(text, sizeof(text), "normal face %u uses normal %u of %u", f, index, count);
          return fail(text);
        }
        indices.push_back(index);
      }
    }
    if (!matches) {
      warn("MeshNormals faces do not match the mesh faces; normals recomputed");
    } else {
      mesh->normals.swap(normals);
      mesh->normalIndices.swap(indices);
      mesh->normalsPerVertex = false;
    }
    return skipRest("MeshNormals");
  }

  bool parseTextureCoords(SZeXMesh* mesh) {
    uint32_t count = 0;
    if (!readU(&count, "texture coordinate count") || !checkCount(count, 2, "MeshTextureCoords")) return false;
    std::vector<core::vector2df> coords;
    reserveFor(&coords, count);
    for (uint32_t i = 0; i < count; ++i) {
      core::vector2df t;
      if (!readF(&t.X, "texture coordinate") || !readF(&t.Y, "texture coordinate")) return false;
      coords.push_back(t);
    }
    // Vertices past a short list get (0, 0) when the mesh is built.
    if (count != mesh->positions.size()) warn("MeshTextureCoords count differs from the vertex count");
    // A second set of coordinates is the second texture-coordinate stream.
    if (mesh->uv.empty())
      mesh->uv.swap(coords);
    else
      mesh->uv2.swap(coords);
    return skipRest("MeshTextureCoords");
  }

  bool parseVertexColors(SZeXMesh* mesh) {
    uint32_t count = 0;
    if (!readU(&count, "vertex colour count") || !checkCount(count, 5, "MeshVertexColors")) return false;
    if (!mesh->hasColors) mesh->colors.assign(mesh->positions.size(), video::SColor(255, 255, 255, 255));
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t index = 0;
      float c[4];
      if (!readU(&index, "vertex colour index")) return false;
      for (float& v : c)
        if (!readF(&v, "vertex colour")) return false;
      if (index >= mesh->positions.size()) {
        char text[256];
        std::snprintf(text, sizeof(text), "vertex colour for vertex %u of %zu", index, mesh->positions.size());
        return fail(text);
      }
      mesh->colors[index] = zeXColor(c[0], c[1], c[2], c[3]);
    }
    mesh->hasColors = true;
    return skipRest("MeshVertexColors");
  }

  bool parseMaterial(SZeXMaterial* material, int depth) {
    for (float& v : material->faceColor)
      if (!readF(&v, "Material face colour")) return false;
    if (!readF(&material->power, "Material power")) return false;
    for (float& v : material->specular)
      if (!readF(&v, "Material specular colour")) return false;
    for (float& v : material->emissive)
      if (!readF(&v, "Material emissive colour")) return false;
    for (;;) {
      const CZeXReader::Kind kind = Reader.peek();
      if (kind == CZeXReader::K_CLOSE) return close("Material");
      if (kind != CZeXReader::K_NAME) return fail("unexpected data in Material");
      std::string type;
      std::string childName;
      if (!peekType(&type, &childName)) return false;
      if (type == "TextureFilename" || type == "NormalmapFilename") {
        std::string file;
        if (!Reader.readString(&file)) return fail(("expected a file name in " + type).c_str());
        if (type == "TextureFilename")
          material->textures.push_back(file);
        else
          material->normalMap = file;
      }
      if (!skipRest(type.c_str())) return false;
    }
  }

  bool parseMaterialList(SZeXMesh* mesh, int depth) {
    if (mesh->hasMaterialList) {
      warn("only the first MeshMaterialList of a mesh is used");
      return skipRest("MeshMaterialList");
    }
    mesh->hasMaterialList = true;
    uint32_t materialCount = 0;
    uint32_t indexCount = 0;
    if (!readU(&materialCount, "material count") || !checkCount(materialCount, 1, "MeshMaterialList material"))
      return false;
    if (!readU(&indexCount, "material index count") || !checkCount(indexCount, 1, "MeshMaterialList index"))
      return false;
    const std::size_t faceCount = mesh->faceSizes.size();
    mesh->faceMaterials.assign(faceCount, 0);
    uint32_t last = 0;
    for (uint32_t i = 0; i < indexCount; ++i) {
      uint32_t m = 0;
      if (!readU(&m, "material index")) return false;
      if (m >= materialCount) {
        char text[256];
        std::snprintf(text, sizeof(text), "face %u uses material %u of %u", i, m, materialCount);
        return fail(text);
      }
      if (i < faceCount) mesh->faceMaterials[i] = m;
      last = m;
    }
    // Faces beyond the list keep the last material listed.
    for (std::size_t f = indexCount; f < faceCount; ++f) mesh->faceMaterials[f] = last;
    mesh->materials.clear();
    for (;;) {
      const CZeXReader::Kind kind = Reader.peek();
      if (kind == CZeXReader::K_CLOSE) break;
      if (kind == CZeXReader::K_OPEN) {
        std::string name;
        Reader.readOpen();
        if (!Reader.readOptionalName(&name)) return fail("bad material reference");
        Reader.skipGuid();
        if (!close("material reference")) return false;
        SZeXMaterial material;
        const auto named = MaterialByName.find(name);
        const bool found = named != MaterialByName.end();
        if (found) material = Model->namedMaterials[named->second];
        if (!found) warn(("material reference not found: " + name).c_str());
        mesh->materials.push_back(material);
        continue;
      }
      if (kind != CZeXReader::K_NAME) return fail("unexpected data in MeshMaterialList");
      std::string type;
      std::string childName;
      if (!peekType(&type, &childName)) return false;
      if (type == "Material") {
        SZeXMaterial material;
        material.name = childName;
        if (!parseMaterial(&material, depth)) return false;
        mesh->materials.push_back(material);
      } else if (!skipRest(type.c_str())) {
        return false;
      }
    }
    if (mesh->materials.size() > materialCount) mesh->materials.resize(materialCount);
    if (mesh->materials.size() < materialCount && !mesh->materials.empty())
      warn("MeshMaterialList lists fewer materials than it declares");
    return close("MeshMaterialList");
  }

  bool parseSkinWeights(SZeXMesh* mesh) {
    SZeXSkin skin;
    if (!Reader.readString(&skin.frame)) return fail("expected a frame name in SkinWeights");
    uint32_t count = 0;
    if (!readU(&count, "SkinWeights count") || !checkCount(count, 2, "SkinWeights")) return false;
    reserveFor(&skin.vertices, count);
    reserveFor(&skin.weights, count);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t vertex = 0;
      if (!readU(&vertex, "SkinWeights vertex")) return false;
      if (vertex >= mesh->positions.size()) {
        char text[256];
        std::snprintf(text, sizeof(text), "SkinWeights for vertex %u of %zu", vertex, mesh->positions.size());
        return fail(text);
      }
      skin.vertices.push_back(vertex);
    }
    for (uint32_t i = 0; i < count; ++i) {
      float weight = 0;
      if (!readF(&weight, "SkinWeights weight")) return false;
      skin.weights.push_back(weight);
    }
    if (!readMatrix(&skin.offset, "SkinWeights matrix")) return false;
    mesh->skins.push_back(std::move(skin));
    return skipRest("SkinWeights");
  }

  bool parseMaterialsUVs(SZeXMesh* mesh) {
    uint32_t count = 0;
    if (!readU(&count, "MeshMaterialsUVs count") || !checkCount(count, 2, "MeshMaterialsUVs")) return false;
    mesh->uvPairs.clear();
    reserveFor(&mesh->uvPairs, count);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t value = 0;
      uint32_t mask = 0;
      if (!readU(&value, "MeshMaterialsUVs value") || !readU(&mask, "MeshMaterialsUVs mask")) return false;
      mesh->uvPairs.emplace_back(static_cast<int32_t>(value), static_cast<int32_t>(mask));
    }
    // The binary form has no separators to check: its lists are self-contained.
    if (!Reader.skipSeparators() && !Reader.isBinary())
      zeDeviceLog(ELL_WARNING, "No finishing semicolon in MeshMaterialsUVs found.");
    if (!Reader.readClose()) {
      zeDeviceLog(ELL_WARNING, "No closing brace in MeshMaterialsUVs found in x file");
      return skipRest("MeshMaterialsUVs");
    }
    return true;
  }

  // Vertex data in declared elements: normals, the two texture coordinate
  // sets and colours are taken, other elements are stepped over.
  bool parseDeclData(SZeXMesh* mesh) {
    uint32_t elementCount = 0;
    if (!readU(&elementCount, "DeclData element count") || !checkCount(elementCount, 4, "DeclData element"))
      return false;
    struct Element {
      uint32_t type, usage, usageIndex, offset;
    };
    static const uint32_t kTypeSize[] = {1, 2, 3, 4, 1, 1, 1, 2, 1, 1, 2, 1, 2, 1, 1, 1, 2};
    std::vector<Element> elements;
    reserveFor(&elements, elementCount);
    uint32_t stride = 0;
    for (uint32_t i = 0; i < elementCount; ++i) {
      elements.emplace_back();
      Element& e = elements.back();
      uint32_t method = 0;
      if (!readU(&e.type, "DeclData type") || !readU(&method, "DeclData method") ||
          !readU(&e.usage, "DeclData usage") || !readU(&e.usageIndex, "DeclData usage index"))
        return false;
      if (e.type >= sizeof(kTypeSize) / sizeof(kTypeSize[0])) return fail("unknown DeclData element type");
      e.offset = stride;
      stride += kTypeSize[e.type];
    }
    uint32_t dwordCount = 0;
    if (!readU(&dwordCount, "DeclData size") || !checkCount(dwordCount, 1, "DeclData")) return false;
    std::vector<uint32_t> data;
    reserveFor(&data, dwordCount);
    for (uint32_t i = 0; i < dwordCount; ++i) {
      uint32_t d = 0;
      if (!readU(&d, "DeclData value")) return false;
      data.push_back(d);
    }
    const std::size_t vertexCount = mesh->positions.size();
    if (static_cast<uint64_t>(stride) * vertexCount != dwordCount) {
      warn("DeclData size does not match the vertex count; ignored");
      return skipRest("DeclData");
    }
    auto asFloat = [&](std::size_t at) {
      float f;
      std::memcpy(&f, &data[at], 4);
      return f;
    };
    for (const Element& e : elements) {
      const uint32_t kUsageNormal = 3, kUsageTexCoord = 5, kUsageColor = 10;
      if (e.usage == kUsageNormal && e.type == 2 && mesh->normalIndices.empty()) {
        mesh->normals.resize(vertexCount);
        for (std::size_t v = 0; v < vertexCount; ++v) {
          const std::size_t at = v * stride + e.offset;
          mesh->normals[v].set(asFloat(at), asFloat(at + 1), asFloat(at + 2));
        }
        mesh->normalsPerVertex = true;
      } else if (e.usage == kUsageTexCoord && e.type == 1 && e.usageIndex < 2) {
        std::vector<core::vector2df>& coords = e.usageIndex == 0 ? mesh->uv : mesh->uv2;
        coords.resize(vertexCount);
        for (std::size_t v = 0; v < vertexCount; ++v) {
          const std::size_t at = v * stride + e.offset;
          coords[v].set(asFloat(at), asFloat(at + 1));
        }
      } else if (e.usage == kUsageColor && e.type == 4 && e.usageIndex == 0) {
        mesh->colors.resize(vertexCount);
        for (std::size_t v = 0; v < vertexCount; ++v) mesh->colors[v].color = data[v * stride + e.offset];
        mesh->hasColors = true;
      }
    }
    return skipRest("DeclData");
  }

  bool parseAnimationSet(int depth) {
    const bool keep = !SeenAnimationSet;
    if (SeenAnimationSet) warn("only the first AnimationSet is used");
    SeenAnimationSet = true;
    for (;;) {
      const CZeXReader::Kind kind = Reader.peek();
      if (kind == CZeXReader::K_CLOSE) return close("AnimationSet");
      if (kind != CZeXReader::K_NAME) return fail("unexpected data in AnimationSet");
      std::string type;
      std::string childName;
      if (!peekType(&type, &childName)) return false;
      if (type == "Animation") {
        SZeXTrack track;
        if (!parseAnimation(&track)) return false;
        if (keep) Model->tracks.push_back(std::move(track));
      } else if (!skipRest(type.c_str())) {
        return false;
      }
    }
  }

  bool parseAnimation(SZeXTrack* track) {
    for (;;) {
      const CZeXReader::Kind kind = Reader.peek();
      if (kind == CZeXReader::K_CLOSE) return close("Animation");
      if (kind == CZeXReader::K_OPEN) {
        Reader.readOpen();
        if (!Reader.readOptionalName(&track->frame)) return fail("bad frame reference in Animation");
        Reader.skipGuid();
        if (!close("frame reference")) return false;
        continue;
      }
      if (kind != CZeXReader::K_NAME) return fail("unexpected data in Animation");
      std::string type;
      std::string childName;
      if (!peekType(&type, &childName)) return false;
      if (type == "AnimationKey") {
        if (!parseAnimationKey(track)) return false;
      } else if (!skipRest(type.c_str())) {
        return false;
      }
    }
  }

  bool parseAnimationKey(SZeXTrack* track) {
    uint32_t keyType = 0;
    uint32_t count = 0;
    if (!readU(&keyType, "AnimationKey type")) return false;
    if (keyType > 4) return fail("unknown AnimationKey type");
    const EZeXKeyKind kind = keyType == 4 ? ZE_X_KEY_MATRIX : static_cast<EZeXKeyKind>(keyType);
    const uint32_t expected = zeXKeyValueCount(kind);
    if (!readU(&count, "AnimationKey count") || !checkCount(count, 2 + expected, "AnimationKey")) return false;
    std::vector<SZeXTrack::Key>& keys = track->keys[kind];
    reserveFor(&keys, count);
    for (uint32_t i = 0; i < count; ++i) {
      SZeXTrack::Key key;
      uint32_t time = 0;
      uint32_t values = 0;
      if (!readU(&time, "AnimationKey time") || !readU(&values, "AnimationKey value count")) return false;
      if (values != expected) return fail("AnimationKey value count does not match its type");
      key.time = static_cast<float>(time);
      for (uint32_t v = 0; v < expected; ++v)
        if (!readF(&key.values[v], "AnimationKey value")) return false;
      keys.push_back(key);
    }
    return skipRest("AnimationKey");
  }

  SZeXModel* Model;
  CZeXReader Reader;
  std::unordered_map<std::string, std::size_t> MaterialByName;
  bool SeenAnimationSet = false;
};

}  // namespace

video::SColor zeXColor(float r, float g, float b, float a) {
  auto byte = [](float v) -> u32 {
    if (!(v > 0.0f)) return 0;  // also NaN
    if (v >= 1.0f) return 255;
    return static_cast<u32>(v * 255.0f + 0.5f);
  };
  return video::SColor(byte(a), byte(r), byte(g), byte(b));
}

bool zeParseXModel(const char* data, std::size_t size, SZeXModel* model) {
  CZeXParser parser(model);
  return parser.parse(data, size);
}
