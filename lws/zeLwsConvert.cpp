// Contents: the ZF binary image the document is read from · channels ·
// object files · sampling and baking · the scene tree · entry points.
#include "lws/zeLwsConvert.h"

#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "lws/zeLwsTransform.h"
#include "zf/zfScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <strings.h>
#include <vector>

namespace {

// --- The ZF binary image ----------------------------------------------------------------
// The document is built as a binary ZF image and read back by the ZF library,
// so it is checked by the same reader as any file and owns its memory the same way.
class ZfImage {
 public:
  ZfImage() {
    bytes_ = "FORM";
    word(0);
    bytes_ += "ZRNF";
  }
  void openNode(const char* name) {
    open_.push_back(begin("NODE"));
    putName(name);
  }
  void closeNode() {
    end(open_.back());
    open_.pop_back();
  }
  void value(const char* name, uint32_t type, const uint32_t* words, size_t count) {
    const size_t at = begin("NVAL");
    putName(name);
    word(type);
    for (size_t i = 0; i < count; ++i) word(words[i]);
    end(at);
  }
  void ints(const char* name, std::initializer_list<int32_t> v) {
    std::vector<uint32_t> w;
    for (int32_t x : v) w.push_back(static_cast<uint32_t>(x));
    value(name, ZF_I4, w.data(), w.size());
  }
  void floats(const char* name, const float* v, size_t n) {
    std::vector<uint32_t> w(n);
    std::memcpy(w.data(), v, n * sizeof(float));
    value(name, ZF_FP, w.data(), n);
  }
  void text(const char* name, const std::string& s) {
    const size_t at = begin("NVAL");
    putName(name);
    word(ZF_STR);
    bytes_.append(s.c_str(), std::strlen(s.c_str()));  // an embedded NUL ends the text
    bytes_.push_back('\0');
    while (bytes_.size() % 4) bytes_.push_back('\0');
    end(at);
  }
  // Rows of FP_C records.
  void fpcArray(const char* name, const std::vector<std::vector<uint32_t>>& rows) {
    const size_t at = begin("NARR");
    putName(name);
    word(ZF_FP_C);
    for (const std::vector<uint32_t>& row : rows) {
      const size_t r = begin("AVAL");
      for (uint32_t w : row) word(w);
      end(r);
    }
    end(at);
  }
  std::string finish() {
    patch(4, static_cast<uint32_t>(bytes_.size() - 8));
    return std::move(bytes_);
  }

 private:
  size_t begin(const char* id) {
    const size_t at = bytes_.size();
    bytes_.append(id, 4);
    word(0);
    return at;
  }
  void end(size_t at) { patch(at + 4, static_cast<uint32_t>(bytes_.size() - at - 8)); }
  void putName(const char* name) {
    const size_t n = std::strlen(name);
    bytes_.append(name, n);
    const size_t padded = 4 * (n / 4) + 4;
    bytes_.append(padded - n, '\0');
  }
  void word(uint32_t w) {
    const char b[4] = {static_cast<char>(w >> 24), static_cast<char>(w >> 16), static_cast<char>(w >> 8),
                       static_cast<char>(w)};
    bytes_.append(b, 4);
  }
  void patch(size_t at, uint32_t w) {
    bytes_[at] = static_cast<char>(w >> 24);
    bytes_[at + 1] = static_cast<char>(w >> 16);
    bytes_[at + 2] = static_cast<char>(w >> 8);
    bytes_[at + 3] = static_cast<char>(w);
  }

  std::string bytes_;
  std::vector<size_t> open_;
};

// --- Channels -----------------------------------------------------------------------------------
uint32_t bitsOf(float f) {
  uint32_t w;
  std::memcpy(&w, &f, 4);
  return w;
}

bool constant(const std::vector<float>& s) {
  for (float v : s)
    if (bitsOf(v) != bitsOf(s[0])) return false;
  return true;
}

// Samples as FP_C records: three or more equal samples make a RUN, the rest DAT.
std::vector<uint32_t> encode(const std::vector<float>& s) {
  std::vector<uint32_t> w;
  size_t literal = 0;  // start of the pending DAT samples
  auto flush = [&](size_t upto) {
    if (upto <= literal) return;
    w.push_back(ZF_FPC_DAT);
    w.push_back(static_cast<uint32_t>(upto - literal));
    for (size_t i = literal; i < upto; ++i) w.push_back(bitsOf(s[i]));
  };
  size_t i = 0;
  while (i < s.size()) {
    size_t j = i + 1;
    while (j < s.size() && bitsOf(s[j]) == bitsOf(s[i])) ++j;
    if (j - i >= 3) {
      flush(i);
      w.push_back(ZF_FPC_RUN);
      w.push_back(static_cast<uint32_t>(j - i));
      w.push_back(bitsOf(s[i]));
      literal = j;
    }
    i = j;
  }
  flush(s.size());
  return w;
}

void scalarChannel(ZfImage& z, const char* name, const std::vector<float>& s) {
  if (constant(s)) {
    z.floats(name, s.data(), 1);
    return;
  }
  const std::vector<uint32_t> w = encode(s);
  z.value(name, ZF_FP_C, w.data(), w.size());
}

void vectorChannel(ZfImage& z, const char* name, const std::vector<float>* rows, int n) {
  bool still = true;
  for (int r = 0; r < n; ++r) still = still && constant(rows[r]);
  if (still) {
    float v[3];
    for (int r = 0; r < n; ++r) v[r] = rows[r][0];
    z.floats(name, v, static_cast<size_t>(n));
    return;
  }
  std::vector<std::vector<uint32_t>> encoded;
  for (int r = 0; r < n; ++r) encoded.push_back(encode(rows[r]));
  z.fpcArray(name, encoded);
}

// --- Object files --------------------------------------------------------------------------------
// A folder as an absolute, folded name: the stdio hooks leave the process's
// own directory implicit.
std::string absoluteFolder(const std::string& folder) {
  if (zePathIsAbsolute(folder)) return zePathFold(folder);
  std::error_code ec;
  const std::string cwd = std::filesystem::current_path(ec).string();
  return zePathFold(zePathJoin(ec ? std::string("/") : cwd, folder.empty() ? std::string(".") : folder));
}

std::vector<std::string> components(const std::string& folded) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= folded.size()) {
    size_t slash = folded.find('/', at);
    if (slash == std::string::npos) slash = folded.size();
    if (slash > at) parts.push_back(folded.substr(at, slash - at));
    at = slash + 1;
  }
  return parts;
}

// `file` relative to the folder `base` (both absolute and folded).
std::string relativeTo(const std::string& base, const std::string& file) {
  if (!zePathIsAbsolute(base) || !zePathIsAbsolute(file)) return file;
  const std::vector<std::string> a = components(base);
  const std::vector<std::string> b = components(file);
  size_t common = 0;
  while (common < a.size() && common + 1 < b.size() && a[common] == b[common]) ++common;
  // Different drives share nothing to climb from.
  if (common == 0 && !a.empty() && !b.empty() && a[0] != b[0] && a[0].find(':') != std::string::npos) return file;
  std::string out;
  for (size_t i = common; i < a.size(); ++i) out += "../";
  for (size_t i = common; i < b.size(); ++i) out += b[i] + (i + 1 < b.size() ? "/" : "");
  return out;
}

class ObjectFinder {
 public:
  ObjectFinder(const std::string& sceneFolder, const std::string& base) : base_(base) {
    // The content directory is the scene's folder or one above it.
    std::string folder = zePathFold(sceneFolder);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    folders_.push_back(folder);
    std::vector<std::string> parts = components(folder);
    const bool rooted = !folder.empty() && folder[0] == '/';
    while (!parts.empty()) {
      parts.pop_back();
      std::string up = rooted ? "/" : "";
      for (const std::string& p : parts) up += p + "/";
      folders_.push_back(up);
    }
  }

  // The object file as the scene should name it; false when it was not found.
  bool find(const std::string& written, std::string* out) {
    const auto known = cache_.find(written);
    if (known != cache_.end()) {
      *out = known->second.first;
      return known->second.second;
    }
    std::string name = written;
    std::replace(name.begin(), name.end(), '\\', '/');
    // "disk:path/file" is absolute; on this machine only "/..." is.
    const size_t colon = name.find(':');
    const bool hasDisk = colon != std::string::npos && name.find('/') > colon;
    std::string hit;
    if (!name.empty() && name[0] == '/' && exists(name)) hit = name;
    // Otherwise the tail of the name under the content directory: the whole
    // relative name first, then shorter tails (a scene moved from another machine).
    const std::vector<std::string> parts = components(hasDisk ? name.substr(colon + 1) : name);
    for (size_t from = 0; hit.empty() && from < parts.size(); ++from) {
      std::string tail;
      for (size_t i = from; i < parts.size(); ++i) tail += parts[i] + (i + 1 < parts.size() ? "/" : "");
      for (const std::string& folder : folders_) {
        const std::string candidate = zePathFold(folder + tail);
        if (exists(candidate)) {
          hit = candidate;
          break;
        }
      }
    }
    const bool found = !hit.empty();
    if (found) {
      // The spelling on disk, when the name matched only without regard to case.
      const std::string onDisk = zePathOnDisk("", hit);
      std::error_code ec;
      if (std::filesystem::is_regular_file(onDisk, ec)) hit = onDisk;
      *out = relativeTo(base_, hit);
    } else {
      *out = zePathFold(hasDisk ? name.substr(colon + 1) : name);
    }
    cache_[written] = {*out, found};
    return found;
  }

 private:
  static bool exists(const std::string& name) {
    if (zeFileExists(name.c_str())) return true;
    std::error_code ec;
    return std::filesystem::is_regular_file(zePathOnDisk("", name), ec);
  }

  std::string base_;
  std::vector<std::string> folders_;
  std::map<std::string, std::pair<std::string, bool>> cache_;
};

// --- Sampling and baking ----------------------------------------------------------------------
bool hasPivot(const ZeLwsItem& it) {
  for (int i = 0; i < 3; ++i)
    if (it.pivot[i] != 0.0 || it.pivotRotation[i] != 0.0) return true;
  return false;
}

bool written(const ZeLwsItem& it) { return it.kind == ZE_LWS_LIGHT || it.kind == ZE_LWS_CAMERA || (it.kind == ZE_LWS_OBJECT && !it.isNull); }

struct Motion {
  std::vector<float> channel[ZE_LWS_CHANNELS];  // position, rotation, scale per frame
};

class Converter {
 public:
  Converter(const ZeLwsScene& s) : s_(s) {}
  bool sample();
  std::string tree(ObjectFinder& finder);

 private:
  float store(double v) {
    const float f = static_cast<float>(v);
    if (std::isfinite(f)) return f;
    if (!nonFinite_) zeLog("%s: a value too large or not a number was written as 0\n", s_.file.c_str());
    nonFinite_ = true;
    return 0.0f;
  }
  std::vector<float> sampled(const ZeLwsEnvelope& e) {
    std::vector<float> out(static_cast<size_t>(frames_));
    if (e.keys.size() <= 1) {
      std::fill(out.begin(), out.end(), store(zeLwsEnvelopeEval(e, 0.0)));
      return out;
    }
    for (int f = 0; f < frames_; ++f) out[static_cast<size_t>(f)] = store(zeLwsEnvelopeEval(e, seconds(f)));
    return out;
  }
  double seconds(int f) const { return (static_cast<double>(s_.firstFrame) + f) / s_.framesPerSecond; }
  std::vector<int> order();

  const ZeLwsScene& s_;
  int frames_ = 0;
  bool nonFinite_ = false;
  std::vector<int> parent_;
  std::vector<Motion> motion_;
};

// Items with parents before their children; a parent cycle is cut at the
// item that closes it, so every chain ends.
std::vector<int> Converter::order() {
  const size_t n = s_.items.size();
  std::map<uint32_t, int> byId;
  for (size_t i = 0; i < n; ++i) byId.emplace(s_.items[i].id, static_cast<int>(i));
  parent_.assign(n, -1);
  for (size_t i = 0; i < n; ++i)
    if (s_.items[i].hasParent) {
      const auto p = byId.find(s_.items[i].parentId);
      if (p != byId.end()) parent_[i] = p->second;
    }
  std::vector<int> state(n, 0), out, chain;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    chain.clear();
    int j = static_cast<int>(i);
    while (j >= 0 && state[static_cast<size_t>(j)] == 0) {
      state[static_cast<size_t>(j)] = 1;
      chain.push_back(j);
      j = parent_[static_cast<size_t>(j)];
    }
    if (j >= 0 && state[static_cast<size_t>(j)] == 1) {
      const ZeLwsItem& it = s_.items[static_cast<size_t>(chain.back())];
      zeLog("%s:%d: '%s' closes a cycle of parents; its parent is dropped\n", s_.file.c_str(),
            it.parentLine ? it.parentLine : it.line, it.name.c_str());
      parent_[static_cast<size_t>(chain.back())] = -1;
    }
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) {
      state[static_cast<size_t>(*c)] = 2;
      out.push_back(*c);
    }
  }
  return out;
}

bool Converter::sample() {
  const double frames = static_cast<double>(s_.lastFrame) - s_.firstFrame + 1.0;
  const double items = static_cast<double>(std::max<size_t>(s_.items.size(), 1));
  if (frames * items > ZE_LWS_MAX_ITEM_FRAMES) {
    zeLog("%s: %.0f frames of %.0f items is more than the %.0f item-frames a scene may sample\n", s_.file.c_str(),
          frames, items, ZE_LWS_MAX_ITEM_FRAMES);
    return false;
  }
  frames_ = static_cast<int>(frames);
  const size_t n = s_.items.size();
  const std::vector<int> sequence = order();
  std::vector<bool> baked(n, false), needsWorld(n, false);
  for (size_t i = 0; i < n; ++i) {
    baked[i] = parent_[i] >= 0 || hasPivot(s_.items[i]);
    if (baked[i]) needsWorld[i] = true;
    if (parent_[i] >= 0) needsWorld[static_cast<size_t>(parent_[i])] = true;
  }
  motion_.assign(n, Motion());
  for (size_t i = 0; i < n; ++i)
    if (written(s_.items[i]))
      for (std::vector<float>& c : motion_[i].channel) c.resize(static_cast<size_t>(frames_));
  // Aimed items: their heading and pitch follow the target's world position.
  std::vector<std::pair<size_t, size_t>> aimed;
  {
    std::map<uint32_t, size_t> byId;
    for (size_t i = 0; i < n; ++i) byId.emplace(s_.items[i].id, i);
    for (size_t i = 0; i < n; ++i) {
      const ZeLwsItem& it = s_.items[i];
      if (!it.hasTarget || !written(it) || (it.headingController != 1 && it.pitchController != 1)) continue;
      const auto t = byId.find(it.targetId);
      if (t == byId.end() || t->second == i) continue;
      aimed.emplace_back(i, t->second);
      needsWorld[i] = needsWorld[t->second] = true;
    }
  }
  std::vector<ZeLwsMatrix> world(n, zeLwsIdentity());
  double v[ZE_LWS_CHANNELS];
  for (int f = 0; f < frames_; ++f) {
    const double t = seconds(f);
    for (int idx : sequence) {
      const size_t i = static_cast<size_t>(idx);
      const ZeLwsItem& it = s_.items[i];
      const bool out = written(it);
      if (!out && !needsWorld[i]) continue;
      for (int c = 0; c < ZE_LWS_CHANNELS; ++c) v[c] = zeLwsEnvelopeEval(it.channels[c], t);
      if (needsWorld[i]) {
        const ZeLwsMatrix local = zeLwsLocal(v, v + 3, v + 6, it.pivot, it.pivotRotation);
        world[i] = parent_[i] >= 0 ? zeLwsMultiply(world[static_cast<size_t>(parent_[i])], local) : local;
      }
      if (!out) continue;
      if (baked[i]) {
        const ZeLwsPose pose = zeLwsDecompose(world[i]);
        for (int c = 0; c < 3; ++c) {
          v[c] = pose.position[c];
          v[3 + c] = pose.hpb[c];
          v[6 + c] = pose.scale[c];
        }
      }
      for (int c = 0; c < ZE_LWS_CHANNELS; ++c) motion_[i].channel[c][static_cast<size_t>(f)] = store(v[c]);
    }
    // Aim direction (sin H cos P, -sin P, cos H cos P). The aim turns the item
    // alone; its children keep following its own channels.
    for (const auto& [i, target] : aimed) {
      // From pivot to pivot: an item is where its pivot is.
      double from[3], to[3];
      zeLwsApply(world[i], s_.items[i].pivot, from);
      zeLwsApply(world[target], s_.items[target].pivot, to);
      const double dx = to[0] - from[0], dy = to[1] - from[1], dz = to[2] - from[2];
      if (dx == 0.0 && dy == 0.0 && dz == 0.0) continue;
      const ZeLwsItem& it = s_.items[i];
      if (it.headingController == 1 && (dx != 0.0 || dz != 0.0))
        motion_[i].channel[3][static_cast<size_t>(f)] = store(std::atan2(dx, dz));
      if (it.pitchController == 1)
        motion_[i].channel[4][static_cast<size_t>(f)] = store(std::atan2(-dy, std::sqrt(dx * dx + dz * dz)));
    }
  }
  return true;
}

std::string Converter::tree(ObjectFinder& finder) {
  ZfImage z;
  z.openNode("Scene");
  z.openNode("SceneInfo");
  z.ints("frameStart", {s_.firstFrame});
  z.ints("frameEnd", {s_.lastFrame});
  z.ints("frameStep", {1});  // one sample per frame, whatever the render step
  const float fps = store(s_.framesPerSecond);
  z.floats("framesPerSecond", &fps, 1);
  size_t cameras = 0;
  for (const ZeLwsItem& it : s_.items) cameras += it.kind == ZE_LWS_CAMERA;
  if (cameras) {
    const float first = 0.0f;
    z.floats("renderCamera", &first, 1);
  }
  z.closeNode();

  if (s_.hasBackdrop) {
    const double* c = s_.solidBackdrop ? s_.backdropColour : s_.zenithColour;
    const float zenith[3] = {store(c[0]), store(c[1]), store(c[2])};
    z.openNode("BackdropInfo");
    z.floats("zenith", zenith, 3);
    z.closeNode();
  }
  if (s_.hasAmbient) {
    const std::vector<float> intensity = sampled(s_.ambientIntensity);
    std::vector<float> rows[3];
    for (int r = 0; r < 3; ++r) {
      rows[r].resize(intensity.size());
      for (size_t f = 0; f < intensity.size(); ++f) rows[r][f] = store(s_.ambientColour[r] * intensity[f]);
    }
    z.openNode("LightInfo");
    vectorChannel(z, "ambient", rows, 3);
    z.closeNode();
  }

  auto motion = [&](size_t i, bool scale) {
    const Motion& m = motion_[i];
    vectorChannel(z, "position", m.channel, 3);
    vectorChannel(z, "rotation", m.channel + 3, 3);
    if (scale) vectorChannel(z, "scale", m.channel + 6, 3);
  };

  z.openNode("Cameras");
  for (size_t i = 0; i < s_.items.size(); ++i) {
    const ZeLwsItem& it = s_.items[i];
    if (it.kind != ZE_LWS_CAMERA) continue;
    z.openNode("Camera");
    z.text("name", it.name);
    motion(i, false);
    scalarChannel(z, "zoomFactor", sampled(it.zoomFactor));
    int w = it.frameWidth, h = it.frameHeight;
    if (it.useGlobalResolution && s_.hasGlobalFrameSize) {
      w = s_.globalFrameWidth;
      h = s_.globalFrameHeight;
    }
    w = std::max(1, static_cast<int>(std::lround(w * it.resolutionMultiplier)));
    h = std::max(1, static_cast<int>(std::lround(h * it.resolutionMultiplier)));
    z.ints("resolution", {w, h});
    z.closeNode();
  }
  z.closeNode();

  z.openNode("Lights");
  for (size_t i = 0; i < s_.items.size(); ++i) {
    const ZeLwsItem& it = s_.items[i];
    if (it.kind != ZE_LWS_LIGHT) continue;
    z.openNode("Light");
    z.text("name", it.name);
    // The engine knows distant (0), spot (2) and point lights; linear and area lights play as points.
    z.ints("type", {it.lightType == 0 ? 0 : it.lightType == 2 ? 2 : 1});
    motion(i, false);
    const float colour[3] = {store(it.lightColour[0]), store(it.lightColour[1]), store(it.lightColour[2])};
    z.floats("color", colour, 3);
    scalarChannel(z, "intensity", sampled(it.intensity));
    scalarChannel(z, "range", sampled(it.range));
    z.ints("falloff", {it.falloffType});
    if (it.lightType == 2) {
      const std::vector<float> cone[2] = {sampled(it.coneAngle), sampled(it.edgeAngle)};
      vectorChannel(z, "coneAngles", cone, 2);
    }
    z.ints("shadowType", {it.shadowType});
    z.closeNode();
  }
  z.closeNode();

  z.openNode("Objects");
  for (size_t i = 0; i < s_.items.size(); ++i) {
    const ZeLwsItem& it = s_.items[i];
    if (it.kind != ZE_LWS_OBJECT || it.isNull) continue;
    std::string file;
    if (!finder.find(it.path, &file))
      zeLog("%s:%d: object file '%s' not found beside the scene or in the folders above it\n", s_.file.c_str(),
            it.line, it.path.c_str());
    z.openNode("Object");
    // "file|N": the object layer loads layer N of the file and no other.
    z.text("zfilename", it.layer >= 1 ? file + "|" + std::to_string(it.layer) : file);
    z.text("name", it.name);
    z.text("filename", zePathFileName(file, true));
    motion(i, true);
    z.closeNode();
  }
  z.closeNode();
  z.closeNode();
  return z.finish();
}

}  // namespace

// --- Entry points -------------------------------------------------------------------------------
bool zeLwsIsSceneFile(const char* path) {
  if (!path) return false;
  const size_t n = std::strlen(path);
  return n >= 4 && strncasecmp(path + n - 4, ".lws", 4) == 0;
}

ZF_Document* zeLwsConvert(const ZeLwsScene& scene, const std::string& sceneFolder, const ZeLwsConvertOptions& options) {
  Converter converter(scene);
  if (!converter.sample()) return nullptr;
  const std::string folder = absoluteFolder(sceneFolder);
  const std::string base = absoluteFolder(options.relativeTo.empty() ? sceneFolder : options.relativeTo);
  ObjectFinder finder(folder, base);
  const std::string image = converter.tree(finder);
  ZF_Document* document = ZF_LoadMemory(image.data(), image.size());
  if (!document) zeLog("%s: the converted scene could not be read back\n", scene.file.c_str());
  return document;
}

ZF_Document* zeLwsLoadDocument(const char* path, const ZeLwsConvertOptions& options) {
  if (!path) return nullptr;
  std::string text;
  if (!zeFileReadAll(path, &text)) {
    zeLog("%s: cannot be read\n", path);
    return nullptr;
  }
  ZeLwsScene scene;
  if (!zeLwsParse(text.data(), text.size(), path, &scene)) return nullptr;
  // Both answers live in static buffers: copy each before the next call.
  const std::string absolute = zeAbsolutePath(path);
  const std::string folder = zeDirectoryOf(absolute.c_str());
  return zeLwsConvert(scene, folder, options);
}

void zeLwsInstallSceneReader() {
  ZF_SetSceneReader(zeLwsIsSceneFile, [](const char* path) { return zeLwsLoadDocument(path); });
}
