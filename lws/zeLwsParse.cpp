// Reading .lws text into ZeLwsScene.
//
// Contents: lines and tokens · messages · envelopes (version 3 blocks, the
// old per-key and per-channel motion of versions 1 and 2) · items · the
// statement loop.
#include "lws/zeLwsScene.h"

#include "base/zeMessage.h"
#include "base/zePath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = kPi / 180.0;
// A hostile file can hold millions of bad lines: the log gets the first ones.
constexpr int kMaxMessages = 100;
// Far beyond any scene, and small enough that a file full of item or key
// lines cannot exhaust memory (a key takes 72 bytes, an item about 1 KB).
constexpr size_t kMaxItems = 100000;
constexpr size_t kMaxKeys = 4000000;
// Line offsets are 32-bit; real scenes stay far below.
constexpr size_t kMaxFileBytes = 512u << 20;

// --- Lines and tokens ---------------------------------------------------------------------
// 12 bytes a line: a file of a million short lines stays small in memory.
struct Line {
  uint32_t offset;  // of the text, without the line break and surrounding blanks
  uint32_t length;
  int number;
  std::string_view text(const char* base) const { return std::string_view(base + offset, length); }
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The first token of `s`, which is left holding the rest (trimmed).
std::string_view takeToken(std::string_view& s) {
  s = trim(s);
  size_t n = 0;
  while (n < s.size() && !isBlank(s[n])) ++n;
  std::string_view token = s.substr(0, n);
  s = trim(s.substr(n));
  return token;
}

bool parseDouble(std::string_view t, double* out) {
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  double v = 0.0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
  *out = v;
  return true;
}

bool parseInt(std::string_view t, long long* out) {
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  long long v = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
  *out = v;
  return true;
}

bool parseHex(std::string_view t, uint32_t* out) {
  if (t.empty() || t.size() > 8) return false;
  uint32_t v = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v, 16);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
  *out = v;
  return true;
}

// The item a parent or target statement names: a hex item id (`byHexId`) or
// an object number from 1; false when `rest` names none.
bool parseItemReference(std::string_view rest, bool byHexId, uint32_t* id) {
  const std::string_view t = takeToken(rest);
  if (byHexId) return parseHex(t, id);
  long long ordinal = 0;
  if (!parseInt(t, &ordinal) || ordinal < 1 || ordinal > 0x0FFFFFFF) return false;
  *id = 0x10000000u | static_cast<uint32_t>(ordinal - 1);
  return true;
}

// Up to `n` numbers from `s`; the count read (stops at the first non-number).
int parseNumbers(std::string_view s, double* out, int n) {
  int got = 0;
  while (got < n) {
    std::string_view t = takeToken(s);
    if (t.empty() || !parseDouble(t, &out[got])) break;
    ++got;
  }
  return got;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Which envelope a later statement (EndBehavior, Pre/PostBehavior) refers to.
enum Slot : int {
  SLOT_CHANNEL0 = 0,  // ... SLOT_CHANNEL0 + 8
  SLOT_INTENSITY = 100,
  SLOT_RANGE,
  SLOT_CONE,
  SLOT_EDGE,
  SLOT_ZOOM,
  SLOT_AMBIENT,
};

struct EnvelopeRef {
  int item;  // -1 for the scene
  int slot;
};

class Parser {
 public:
  Parser(ZeLwsScene& scene, const char* file) : s_(scene), file_(file ? file : "scene") {}

  bool run(const char* text, size_t size);

 private:
  // --- Messages ---------------------------------------------------------------------------
  void note(int line, const char* format, ...) ZE_PRINTF(3, 4) {
    if (++messages_ > kMaxMessages) {
      if (messages_ == kMaxMessages + 1) zeLog("%s: more problems; no further messages\n", file_);
      return;
    }
    char text[ZE_TEXT_SIZE];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    zeLog("%s:%d: %s\n", file_, line, text);
  }

  // Non-blank lines are found one at a time, so no list of every line is kept.
  bool more() const { return hasLine_; }
  const Line& peek() const { return line_; }
  Line take() {
    const Line l = line_;
    advance();
    return l;
  }
  void advance() {
    hasLine_ = false;
    while (cursor_ < end_) {
      const char* e = static_cast<const char*>(std::memchr(cursor_, '\n', static_cast<size_t>(end_ - cursor_)));
      if (!e) e = end_;
      ++physical_;
      const std::string_view t = trim(std::string_view(cursor_, static_cast<size_t>(e - cursor_)));
      cursor_ = e < end_ ? e + 1 : end_;
      if (!t.empty()) {
        line_ = {static_cast<uint32_t>(t.data() - base_), static_cast<uint32_t>(t.size()), physical_};
        hasLine_ = true;
        return;
      }
    }
  }
  int lastLineNumber() const { return physical_ ? physical_ : 1; }

  ZeLwsItem* item() { return current_ >= 0 ? &s_.items[static_cast<size_t>(current_)] : nullptr; }
  ZeLwsItem* itemOf(int kind) {
    ZeLwsItem* i = item();
    return i && i->kind == kind ? i : nullptr;
  }
  ZeLwsEnvelope* resolve(const EnvelopeRef& ref) {
    if (ref.item < 0) return ref.slot == SLOT_AMBIENT ? &s_.ambientIntensity : nullptr;
    ZeLwsItem& i = s_.items[static_cast<size_t>(ref.item)];
    if (ref.slot >= 0 && ref.slot < ZE_LWS_CHANNELS) return &i.channels[ref.slot];
    switch (ref.slot) {
      case SLOT_INTENSITY: return &i.intensity;
      case SLOT_RANGE: return &i.range;
      case SLOT_CONE: return &i.coneAngle;
      case SLOT_EDGE: return &i.edgeAngle;
      case SLOT_ZOOM: return &i.zoomFactor;
      default: return nullptr;
    }
  }

  // --- Envelopes --------------------------------------------------------------------------
  void finishEnvelope(ZeLwsEnvelope* e, int line);
  bool readEnvelopeBlock(ZeLwsEnvelope* out);
  void readOldMotion(const EnvelopeRef* refs, int refCount, int line, bool rotationColumns);
  void readScalar(std::string_view rest, int line, const EnvelopeRef& ref, double scale);

  // --- Items and statements ---------------------------------------------------------------
  bool takeBakedId(std::string_view& rest, bool needsMore, uint32_t* id);
  bool addItem(int kind, uint32_t id, bool baked, int line);
  // False, once with a message, when the scene already holds kMaxKeys keys.
  bool roomForKey(int line) {
    if (keys_ < kMaxKeys) {
      ++keys_;
      return true;
    }
    if (!keysFull_) note(line, "more than %zu envelope keys; further keys are skipped", kMaxKeys);
    keysFull_ = true;
    return false;
  }
  void skipBlock(std::string_view name, int line);
  void skipPlugin(std::string_view rest, int line);
  void colour(std::string_view rest, int line, double* out);
  void resolveParents();

  // --- Statements: one handler per keyword (the table below) -------------------------------
  struct Statement {
    std::string_view word;
    std::string_view rest;  // what follows the keyword
    int line;
  };
  using Handler = void (Parser::*)(Statement&);
  struct Keyword {
    std::string_view word;
    Handler handle;
  };
  static const Keyword kKeywords[];
  static Handler handlerOf(std::string_view word);
  void statement(const Line& line);
  bool integer(const Statement& st, long long* out);
  bool number(const Statement& st, double* out);
  bool frameSize(const Statement& st, int* width, int* height);
  // Scene.
  void plugin(Statement& st) { skipPlugin(st.rest, st.line); }
  void nothing(Statement&) {}
  void frameRange(Statement& st);
  void framesPerSecond(Statement& st);
  void ambientColour(Statement& st);
  void ambientIntensity(Statement& st);
  void solidBackdrop(Statement& st);
  void backdropColour(Statement& st);
  void globalFrameSize(Statement& st);
  // Items.
  void loadObject(Statement& st);
  void addItemStatement(Statement& st);
  void itemName(Statement& st);
  // Motion.
  void oldMotionStatement(Statement& st);
  void channel(Statement& st);
  void endBehavior(Statement& st);
  void prePostBehavior(Statement& st);
  void link(Statement& st);
  void controller(Statement& st);
  void pivot(Statement& st);
  // Lights.
  void lightType(Statement& st);
  void lightColour(Statement& st);
  void lightScalar(Statement& st);
  void lightFalloffType(Statement& st);
  void falloff(Statement& st);
  void shadowType(Statement& st);
  // Cameras.
  void zoomFactor(Statement& st);
  void cameraFrameSize(Statement& st);
  void resolutionMultiplier(Statement& st);
  void useGlobalResolution(Statement& st);

  ZeLwsScene& s_;
  const char* file_;
  const char* base_ = nullptr;  // the scene text
  const char* cursor_ = nullptr;
  const char* end_ = nullptr;
  int physical_ = 0;  // physical lines read so far
  Line line_{};
  bool hasLine_ = false;
  int messages_ = 0;
  int current_ = -1;
  int objects_ = 0, lights_ = 0, cameras_ = 0;
  std::unordered_map<int, int> bonesOfObject_;
  int lastObjectNumber_ = -1;
  int lastObjectItem_ = -1;  // index in the scene's items
  size_t keys_ = 0;
  bool keysFull_ = false;
  std::vector<EnvelopeRef> oldMotion_;  // the envelopes the last old-style motion block filled
  double colourScale_ = 1.0;
};

void Parser::finishEnvelope(ZeLwsEnvelope* e, int line) {
  std::vector<ZeLwsKey>& k = e->keys;
  if (!std::is_sorted(k.begin(), k.end(), [](const ZeLwsKey& a, const ZeLwsKey& b) { return a.time < b.time; })) {
    note(line, "envelope keys are not in time order; sorted");
    std::stable_sort(k.begin(), k.end(), [](const ZeLwsKey& a, const ZeLwsKey& b) { return a.time < b.time; });
  }
}

// A version 3 "{ Envelope" block at the current line: the key count, "Key"
// lines and "Behaviors". The keys actually present are used; a count that
// disagrees with them is reported.
bool Parser::readEnvelopeBlock(ZeLwsEnvelope* out) {
  const int opened = more() ? peek().number : lastLineNumber();
  std::string_view head = more() ? peek().text(base_) : std::string_view();
  if (head.empty() || head.front() != '{') {
    note(opened, "an envelope block should start here; the value keeps its default");
    return false;
  }
  head.remove_prefix(1);
  if (takeToken(head) != "Envelope") {
    note(opened, "expected '{ Envelope'; the value keeps its default");
    return false;
  }
  take();
  ZeLwsEnvelope e;
  long long declared = -1;
  int depth = 1;
  bool closed = false;
  while (more()) {
    const Line l = take();
    std::string_view rest = l.text(base_);
    if (rest.empty()) continue;
    if (rest.front() == '{') { ++depth; continue; }
    if (rest.front() == '}') {
      if (--depth == 0) { closed = true; break; }
      continue;
    }
    if (depth > 1) continue;
    const std::string_view word = takeToken(rest);
    if (word == "Key") {
      double v[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
      const int got = parseNumbers(rest, v, 9);
      if (got < 2) {
        note(l.number, "envelope key needs a value and a time; skipped");
        continue;
      }
      bool finite = true;
      for (int i = 0; i < got; ++i) finite = finite && std::isfinite(v[i]);
      if (!finite) {
        note(l.number, "envelope key holds a number that is not finite; skipped");
        continue;
      }
      ZeLwsKey key;
      key.value = v[0];
      key.time = v[1];
      const double shape = got >= 3 ? v[2] : 0.0;
      if (shape >= 0 && shape <= 5 && shape == std::floor(shape)) {
        key.shape = static_cast<int>(shape);
      } else {
        note(l.number, "unknown span type %g; read as TCB", shape);
      }
      for (int i = 0; i < 6; ++i) key.p[i] = v[3 + i];
      if (roomForKey(l.number)) e.keys.push_back(key);
    } else if (word == "Behaviors") {
      long long b[2] = {1, 1};
      std::string_view r = rest;
      for (long long& x : b) {
        if (!parseInt(takeToken(r), &x) || x < 0 || x > 5) {
          note(l.number, "unknown envelope behaviour; constant used");
          x = ZE_LWS_CONSTANT;
        }
      }
      e.pre = static_cast<int>(b[0]);
      e.post = static_cast<int>(b[1]);
    } else if (declared < 0 && parseInt(word, &declared)) {
      if (declared < 0) declared = 0;
    }
  }
  if (!closed) note(opened, "envelope block is not closed before the end of the file");
  if (declared >= 0 && static_cast<size_t>(declared) != e.keys.size())
    note(opened, "envelope declares %lld keys but holds %zu; the keys present are used", declared, e.keys.size());
  finishEnvelope(&e, opened);
  *out = std::move(e);
  return true;
}

// Versions 1 and 2: a channel count, then keys. Version 1 writes all
// channels of a key on one line followed by "frame linear t c b"; version 2
// lists each channel's keys as "value seconds code t c b".
void Parser::readOldMotion(const EnvelopeRef* refs, int refCount, int line, bool rotationColumns) {
  oldMotion_.assign(refs, refs + refCount);
  long long channels = 0;
  if (!more() || !parseInt(trim(peek().text(base_)), &channels) || channels < 1) {
    note(line, "motion block without a channel count; skipped");
    return;
  }
  take();
  std::vector<ZeLwsEnvelope> read(static_cast<size_t>(std::min<long long>(channels, refCount)));
  auto readCount = [&](long long* n) {
    if (!more() || !parseInt(trim(peek().text(base_)), n) || *n < 0) {
      note(more() ? peek().number : lastLineNumber(), "motion block without a key count; skipped");
      return false;
    }
    take();
    return true;
  };
  auto angle = [&](long long c, double v) { return rotationColumns && c >= 3 && c <= 5 ? v * kDegrees : v; };

  if (s_.version == 1) {
    long long keys = 0;
    if (!readCount(&keys)) return;
    long long got = 0;
    const size_t width = static_cast<size_t>(std::min<long long>(channels, 64));
    std::vector<double> values(width);
    for (; got < keys && more(); ++got) {
      const Line valueLine = peek();
      if (parseNumbers(valueLine.text(base_), values.data(), static_cast<int>(width)) != static_cast<int>(width)) break;
      take();
      double f[5] = {0, 0, 0, 0, 0};
      if (!more() || parseNumbers(peek().text(base_), f, 5) < 1) break;
      take();
      bool finite = true;
      for (double v : values) finite = finite && std::isfinite(v);
      for (double v : f) finite = finite && std::isfinite(v);
      if (!finite) {
        note(valueLine.number, "motion key holds a number that is not finite; skipped");
        continue;
      }
      for (size_t c = 0; c < read.size(); ++c) {
        if (!roomForKey(valueLine.number)) break;
        ZeLwsKey key;
        key.value = angle(static_cast<long long>(c), values[c]);
        key.time = f[0];  // frames until the rate is known
        key.shape = f[1] != 0.0 ? ZE_LWS_LINEAR : ZE_LWS_TCB;
        key.p[0] = f[2];
        key.p[1] = f[3];
        key.p[2] = f[4];
        read[c].keys.push_back(key);
      }
    }
    if (got < keys) note(line, "motion block declares %lld keys but %lld follow", keys, got);
  } else {
    for (long long c = 0; c < channels; ++c) {
      long long keys = 0;
      if (!readCount(&keys)) break;
      long long got = 0;
      for (; got < keys && more(); ++got) {
        double v[6] = {0, 0, 0, 0, 0, 0};
        if (parseNumbers(peek().text(base_), v, 6) < 2) break;
        const int number = peek().number;
        take();
        bool finite = true;
        for (double x : v) finite = finite && std::isfinite(x);
        if (!finite) {
          note(number, "motion key holds a number that is not finite; skipped");
          continue;
        }
        if (c >= static_cast<long long>(read.size()) || !roomForKey(number)) continue;
        ZeLwsKey key;
        key.value = angle(c, v[0]);
        key.time = v[1];
        key.shape = ZE_LWS_TCB;  // only code 2 is seen; its version 3 copy is TCB
        key.p[0] = v[3];
        key.p[1] = v[4];
        key.p[2] = v[5];
        read[static_cast<size_t>(c)].keys.push_back(key);
      }
      if (got < keys) {
        note(line, "motion channel %lld declares %lld keys but %lld follow", c, keys, got);
        break;
      }
    }
  }
  for (size_t c = 0; c < read.size(); ++c) {
    ZeLwsEnvelope* target = resolve(refs[c]);
    if (!target || read[c].keys.empty()) continue;
    finishEnvelope(&read[c], line);
    *target = std::move(read[c]);
  }
}

// A scalar that is a number, or "(envelope)" with its envelope on the next lines.
void Parser::readScalar(std::string_view rest, int line, const EnvelopeRef& ref, double scale) {
  ZeLwsEnvelope* target = resolve(ref);
  if (startsWith(rest, "(envelope)")) {
    if (s_.version >= 3) {
      ZeLwsEnvelope e;
      if (readEnvelopeBlock(&e) && target) {
        for (ZeLwsKey& k : e.keys) {
          k.value *= scale;
          if (k.shape == ZE_LWS_HERMITE || k.shape == ZE_LWS_BEZIER1D) {
            k.p[3] *= scale;
            k.p[4] *= scale;
          } else if (k.shape == ZE_LWS_BEZIER2D) {
            k.p[1] *= scale;
            k.p[3] *= scale;
          }
        }
        *target = std::move(e);
      }
    } else {
      readOldMotion(&ref, 1, line, false);
      if (target && scale != 1.0)
        for (ZeLwsKey& k : target->keys) k.value *= scale;
    }
    return;
  }
  double v = 0.0;
  if (!parseDouble(takeToken(rest), &v) || !std::isfinite(v)) {
    note(line, "expected a number; the value keeps its default");
    return;
  }
  if (target) *target = zeLwsConstant(v * scale);
}

// --- Items ------------------------------------------------------------------------------------
// Version 4 and later write the item's hex id on its creating line.
bool Parser::takeBakedId(std::string_view& rest, bool needsMore, uint32_t* id) {
  if (s_.version < 4) return false;
  std::string_view r = rest;
  const std::string_view token = takeToken(r);
  if (token.size() != 8 || !parseHex(token, id)) return false;
  if (needsMore && r.empty()) return false;
  rest = r;
  return true;
}

bool Parser::addItem(int kind, uint32_t id, bool baked, int line) {
  if (s_.items.size() >= kMaxItems) {
    if (s_.items.size() == kMaxItems) note(line, "more than %zu items; further items are skipped", kMaxItems);
    current_ = -1;
    return false;
  }
  if (!baked) {
    switch (kind) {
      case ZE_LWS_OBJECT: id = 0x10000000u | static_cast<uint32_t>(objects_ & 0x0FFFFFFF); break;
      case ZE_LWS_LIGHT: id = 0x20000000u | static_cast<uint32_t>(lights_ & 0x0FFFFFFF); break;
      case ZE_LWS_CAMERA: id = 0x30000000u | static_cast<uint32_t>(cameras_ & 0x0FFFFFFF); break;
      default: {
        const int owner = std::max(lastObjectNumber_, 0);
        const int bone = bonesOfObject_[owner];
        id = 0x40000000u | (static_cast<uint32_t>(bone & 0xFFF) << 16) | static_cast<uint32_t>(owner & 0xFFFF);
      }
    }
  } else if (static_cast<int>(id >> 28) != kind) {
    note(line, "item id %08X does not name this kind of item; kept as written", id);
  }
  if (kind == ZE_LWS_OBJECT) lastObjectNumber_ = objects_++;
  else if (kind == ZE_LWS_LIGHT) ++lights_;
  else if (kind == ZE_LWS_CAMERA) ++cameras_;
  else ++bonesOfObject_[std::max(lastObjectNumber_, 0)];
  ZeLwsItem it;
  it.kind = kind;
  it.id = id;
  it.line = line;
  // A bone without a parent line hangs off its object.
  if (kind == ZE_LWS_BONE && lastObjectItem_ >= 0) {
    it.hasParent = true;
    it.parentId = s_.items[static_cast<size_t>(lastObjectItem_)].id;
    it.parentLine = line;
  }
  if (kind == ZE_LWS_OBJECT) lastObjectItem_ = static_cast<int>(s_.items.size());
  s_.items.push_back(std::move(it));
  current_ = static_cast<int>(s_.items.size()) - 1;
  return true;
}

void Parser::skipBlock(std::string_view name, int line) {
  note(line, "block '%.*s' skipped", static_cast<int>(name.size()), name.data());
  int depth = 1;
  while (more() && depth > 0) {
    const std::string_view t = take().text(base_);
    if (!t.empty() && t.front() == '{') ++depth;
    else if (!t.empty() && t.front() == '}') --depth;
  }
  if (depth > 0) note(line, "block is not closed before the end of the file");
}

// "Plugin class n server" ... "EndPlugin". A light's kind may be given by its
// handler's name; every other plug-in is opaque.
void Parser::skipPlugin(std::string_view rest, int line) {
  const std::string_view kind = takeToken(rest);
  takeToken(rest);
  const std::string_view server = takeToken(rest);
  ZeLwsItem* light = itemOf(ZE_LWS_LIGHT);
  static const char* const handlers[] = {"DistantLight", "PointLight", "SpotLight", "LinearLight", "AreaLight"};
  bool understood = false;
  if (kind == "LightHandler" && light) {
    for (int t = 0; t < 5; ++t)
      if (server == handlers[t]) {
        light->lightType = t;
        understood = true;
      }
  }
  if (!understood)
    note(line, "plug-in '%.*s' skipped", static_cast<int>(server.size()), server.data());
  int depth = 1;
  while (more() && depth > 0) {
    std::string_view t = take().text(base_);
    const std::string_view word = takeToken(t);
    if (word == "Plugin") ++depth;
    else if (word == "EndPlugin") --depth;
  }
  if (depth > 0) note(line, "plug-in block has no EndPlugin before the end of the file");
}

void Parser::colour(std::string_view rest, int line, double* out) {
  double v[3];
  if (parseNumbers(rest, v, 3) != 3 || !std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) {
    note(line, "expected three colour components; the colour keeps its default");
    return;
  }
  for (int i = 0; i < 3; ++i) out[i] = v[i] * colourScale_;
}

// --- Statements -------------------------------------------------------------------------------
// Every keyword playback reads, with its handler; everything else (display
// flags, render options, ...) means nothing to playback.
const Parser::Keyword Parser::kKeywords[] = {
    {"}", &Parser::nothing},  // a stray close: nothing to close
    {"EndPlugin", &Parser::nothing},
    {"Plugin", &Parser::plugin},
    // Scene.
    {"FirstFrame", &Parser::frameRange},
    {"LastFrame", &Parser::frameRange},
    {"FrameStep", &Parser::frameRange},
    {"FramesPerSecond", &Parser::framesPerSecond},
    {"AmbientColor", &Parser::ambientColour},
    {"AmbientIntensity", &Parser::ambientIntensity},
    {"AmbIntensity", &Parser::ambientIntensity},
    {"SolidBackdrop", &Parser::solidBackdrop},
    {"BackdropColor", &Parser::backdropColour},
    {"ZenithColor", &Parser::backdropColour},
    {"GlobalFrameSize", &Parser::globalFrameSize},
    // Items.
    {"LoadObjectLayer", &Parser::loadObject},
    {"LoadObject", &Parser::loadObject},
    {"AddNullObject", &Parser::loadObject},
    {"AddLight", &Parser::addItemStatement},
    {"AddCamera", &Parser::addItemStatement},
    {"AddBone", &Parser::addItemStatement},
    {"LoadAudio", &Parser::nothing},
    {"LightName", &Parser::itemName},
    {"CameraName", &Parser::itemName},
    {"BoneName", &Parser::itemName},
    // Motion.
    {"ObjectMotion", &Parser::oldMotionStatement},
    {"LightMotion", &Parser::oldMotionStatement},
    {"CameraMotion", &Parser::oldMotionStatement},
    {"BoneMotion", &Parser::oldMotionStatement},
    {"Channel", &Parser::channel},
    {"EndBehavior", &Parser::endBehavior},
    {"Pre/PostBehavior", &Parser::prePostBehavior},
    {"PrePostBehavior", &Parser::prePostBehavior},
    {"ParentItem", &Parser::link},
    {"ParentObject", &Parser::link},
    {"TargetItem", &Parser::link},
    {"TargetObject", &Parser::link},
    {"HController", &Parser::controller},
    {"PController", &Parser::controller},
    {"PivotPosition", &Parser::pivot},
    {"PivotPoint", &Parser::pivot},
    {"PivotRotation", &Parser::pivot},
    // Lights.
    {"LightType", &Parser::lightType},
    {"LightColor", &Parser::lightColour},
    {"LightIntensity", &Parser::lightScalar},
    {"LgtIntensity", &Parser::lightScalar},
    {"LightFalloffType", &Parser::lightFalloffType},
    {"LightRange", &Parser::lightScalar},
    {"Falloff", &Parser::falloff},
    {"LightConeAngle", &Parser::lightScalar},
    {"ConeAngle", &Parser::lightScalar},
    {"LightEdgeAngle", &Parser::lightScalar},
    {"EdgeAngle", &Parser::lightScalar},
    {"ShadowType", &Parser::shadowType},
    // Cameras.
    {"ZoomFactor", &Parser::zoomFactor},
    {"FrameSize", &Parser::cameraFrameSize},
    {"CustomSize", &Parser::cameraFrameSize},
    {"ResolutionMultiplier", &Parser::resolutionMultiplier},
    {"UseGlobalResolution", &Parser::useGlobalResolution},
};

// Sorted once, then searched by halves: a scene has many lines and the
// table many keywords.
Parser::Handler Parser::handlerOf(std::string_view word) {
  static const std::vector<Keyword> sorted = [] {
    std::vector<Keyword> v(std::begin(kKeywords), std::end(kKeywords));
    std::sort(v.begin(), v.end(), [](const Keyword& a, const Keyword& b) { return a.word < b.word; });
    return v;
  }();
  auto it = std::lower_bound(sorted.begin(), sorted.end(), word,
                             [](const Keyword& k, std::string_view w) { return k.word < w; });
  return it != sorted.end() && it->word == word ? it->handle : nullptr;
}

void Parser::statement(const Line& l) {
  Statement st;
  st.rest = l.text(base_);
  st.word = takeToken(st.rest);
  st.line = l.number;
  if (st.word.front() == '{') {
    std::string_view name = st.word.substr(1);
    if (name.empty()) name = takeToken(st.rest);
    skipBlock(name, st.line);
  } else if (Handler handle = handlerOf(st.word)) {
    (this->*handle)(st);
  } else if ((startsWith(st.word, "Add") || startsWith(st.word, "Load")) && st.word.size() > 4) {
    note(st.line, "unknown item '%.*s' skipped", static_cast<int>(st.word.size()), st.word.data());
    current_ = -1;
  }
}

bool Parser::integer(const Statement& st, long long* out) {
  std::string_view r = st.rest;
  if (parseInt(takeToken(r), out)) return true;
  note(st.line, "expected a whole number after %.*s", static_cast<int>(st.word.size()), st.word.data());
  return false;
}

bool Parser::number(const Statement& st, double* out) {
  std::string_view r = st.rest;
  if (parseDouble(takeToken(r), out) && std::isfinite(*out)) return true;
  note(st.line, "expected a number after %.*s", static_cast<int>(st.word.size()), st.word.data());
  return false;
}

// A width and a height from 1 to 65536 (the scene's and a camera's frame).
bool Parser::frameSize(const Statement& st, int* width, int* height) {
  long long w = 0, h = 0;
  std::string_view r = st.rest;
  if (parseInt(takeToken(r), &w) && parseInt(takeToken(r), &h) && w > 0 && h > 0 && w <= 65536 && h <= 65536) {
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
  }
  note(st.line, "%.*s needs a width and a height from 1 to 65536", static_cast<int>(st.word.size()),
       st.word.data());
  return false;
}

// --- Scene ---

void Parser::frameRange(Statement& st) {
  long long v = 0;
  if (!integer(st, &v)) return;
  int& field = st.word == "FirstFrame" ? s_.firstFrame : st.word == "LastFrame" ? s_.lastFrame : s_.frameStep;
  field = static_cast<int>(std::clamp<long long>(v, -1000000000, 1000000000));
}

void Parser::framesPerSecond(Statement& st) {
  double v = 0.0;
  if (!number(st, &v)) return;
  if (v > 0.0) s_.framesPerSecond = v;
  else note(st.line, "frames per second must be above 0; 30 used");
}

void Parser::ambientColour(Statement& st) {
  colour(st.rest, st.line, s_.ambientColour);
  s_.hasAmbient = true;
}

void Parser::ambientIntensity(Statement& st) {
  readScalar(st.rest, st.line, {-1, SLOT_AMBIENT}, 1.0);
  s_.hasAmbient = true;
}

void Parser::solidBackdrop(Statement& st) {
  long long v = 0;
  if (integer(st, &v)) s_.solidBackdrop = v != 0;
  s_.hasBackdrop = true;
}

void Parser::backdropColour(Statement& st) {
  colour(st.rest, st.line, st.word == "ZenithColor" ? s_.zenithColour : s_.backdropColour);
  s_.hasBackdrop = true;
}

void Parser::globalFrameSize(Statement& st) {
  if (frameSize(st, &s_.globalFrameWidth, &s_.globalFrameHeight)) s_.hasGlobalFrameSize = true;
}

// --- Items ---

void Parser::loadObject(Statement& st) {
  long long layer = -1;
  if (st.word == "LoadObjectLayer") {
    std::string_view r = st.rest;
    if (!parseInt(takeToken(r), &layer) || layer < 1) {
      note(st.line, "LoadObjectLayer needs a layer number from 1; the object is skipped");
      current_ = -1;
      return;
    }
    st.rest = r;
  }
  uint32_t id = 0;
  const bool baked = takeBakedId(st.rest, true, &id);
  if (st.rest.empty()) {
    note(st.line, "%.*s names no file; skipped", static_cast<int>(st.word.size()), st.word.data());
    current_ = -1;
    return;
  }
  if (!addItem(ZE_LWS_OBJECT, id, baked, st.line)) return;
  ZeLwsItem& o = s_.items.back();
  o.layer = static_cast<int>(std::min<long long>(layer, 1 << 20));
  if (st.word == "AddNullObject") {
    o.isNull = true;
    o.name = std::string(st.rest);
  } else {
    o.path = std::string(st.rest);
    // A name that is all extension (".lwo") keeps it.
    o.name = zePathFileName(o.path, false);
    if (o.name.empty()) o.name = zePathFileName(o.path, true);
  }
}

void Parser::addItemStatement(Statement& st) {
  uint32_t id = 0;
  const bool baked = takeBakedId(st.rest, false, &id);
  const int kind = st.word == "AddLight" ? ZE_LWS_LIGHT : st.word == "AddCamera" ? ZE_LWS_CAMERA : ZE_LWS_BONE;
  if (!addItem(kind, id, baked, st.line)) return;
  s_.items.back().name = kind == ZE_LWS_LIGHT ? "Light" : kind == ZE_LWS_CAMERA ? "Camera" : "Bone";
}

void Parser::itemName(Statement& st) {
  if (ZeLwsItem* it = item())
    if (!st.rest.empty()) it->name = std::string(st.rest);
}

// --- Motion ---

void Parser::oldMotionStatement(Statement& st) {
  if (s_.version >= 3) return;
  if (item()) {
    EnvelopeRef refs[ZE_LWS_CHANNELS];
    for (int c = 0; c < ZE_LWS_CHANNELS; ++c) refs[c] = {current_, c};
    readOldMotion(refs, ZE_LWS_CHANNELS, st.line, true);
  } else {
    // A motion without an item: read it to keep in step, into nothing.
    EnvelopeRef none{-1, -1};
    readOldMotion(&none, 1, st.line, false);
  }
}

void Parser::channel(Statement& st) {
  long long c = 0;
  if (!integer(st, &c)) return;
  ZeLwsEnvelope e;
  if (!readEnvelopeBlock(&e)) return;
  if (c < 0 || c >= ZE_LWS_CHANNELS) {
    note(st.line, "channel %lld is not a motion channel; skipped", c);
    return;
  }
  if (ZeLwsItem* it = item()) it->channels[c] = std::move(e);
}

void Parser::endBehavior(Statement& st) {
  long long v = 0;
  if (!integer(st, &v)) return;
  const int post = v == 0 ? ZE_LWS_RESET : v == 2 ? ZE_LWS_REPEAT : ZE_LWS_CONSTANT;
  for (const EnvelopeRef& r : oldMotion_)
    if (ZeLwsEnvelope* e = resolve(r)) e->post = post;
}

void Parser::prePostBehavior(Statement& st) {
  std::string_view r = st.rest;
  for (const EnvelopeRef& ref : oldMotion_) {
    long long pre = 1, post = 1;
    if (!parseInt(takeToken(r), &pre) || !parseInt(takeToken(r), &post)) break;
    ZeLwsEnvelope* e = resolve(ref);
    if (!e) continue;
    e->pre = pre >= 0 && pre <= 5 ? static_cast<int>(pre) : ZE_LWS_CONSTANT;
    e->post = post >= 0 && post <= 5 ? static_cast<int>(post) : ZE_LWS_CONSTANT;
  }
}

// ParentItem, ParentObject, TargetItem, TargetObject: the item's parent or target.
void Parser::link(Statement& st) {
  ZeLwsItem* it = item();
  if (!it) return;
  const bool parent = st.word.substr(0, 6) == "Parent";
  const bool byHexId = st.word.substr(st.word.size() - 4) == "Item";
  uint32_t id = 0;
  if (!parseItemReference(st.rest, byHexId, &id)) {
    if (!parent)
      note(st.line, "%.*s needs an item; no target", static_cast<int>(st.word.size()), st.word.data());
    else
      note(st.line, "%s", byHexId ? "ParentItem needs a hex item id; no parent"
                                  : "ParentObject needs an object number from 1; no parent");
    return;
  }
  (parent ? it->hasParent : it->hasTarget) = true;
  (parent ? it->parentId : it->targetId) = id;
  (parent ? it->parentLine : it->targetLine) = st.line;
}

void Parser::controller(Statement& st) {
  ZeLwsItem* it = item();
  long long v = 0;
  if (it && integer(st, &v)) (st.word == "HController" ? it->headingController : it->pitchController) = static_cast<int>(v);
}

void Parser::pivot(Statement& st) {
  ZeLwsItem* it = item();
  if (!it) return;
  double v[3];
  if (parseNumbers(st.rest, v, 3) != 3 || !std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) {
    note(st.line, "%.*s needs three numbers", static_cast<int>(st.word.size()), st.word.data());
    return;
  }
  const bool rotation = st.word == "PivotRotation";
  const double scale = rotation && s_.version < 3 ? kDegrees : 1.0;
  double* out = rotation ? it->pivotRotation : it->pivot;
  for (int i = 0; i < 3; ++i) out[i] = v[i] * scale;
}

// --- Lights ---

void Parser::lightType(Statement& st) {
  long long v = 0;
  if (ZeLwsItem* light = itemOf(ZE_LWS_LIGHT))
    if (integer(st, &v)) light->lightType = v >= 0 && v <= 4 ? static_cast<int>(v) : 1;
}

void Parser::lightColour(Statement& st) {
  if (ZeLwsItem* light = itemOf(ZE_LWS_LIGHT)) colour(st.rest, st.line, light->lightColour);
}

// Intensity, range and the cone's angles: a number or an envelope.
void Parser::lightScalar(Statement& st) {
  if (!itemOf(ZE_LWS_LIGHT)) return;
  const std::string_view w = st.word;
  if (w == "LightIntensity" || w == "LgtIntensity") readScalar(st.rest, st.line, {current_, SLOT_INTENSITY}, 1.0);
  else if (w == "LightRange") readScalar(st.rest, st.line, {current_, SLOT_RANGE}, 1.0);
  else if (w == "LightConeAngle" || w == "ConeAngle") readScalar(st.rest, st.line, {current_, SLOT_CONE}, kDegrees);
  else readScalar(st.rest, st.line, {current_, SLOT_EDGE}, kDegrees);
}

void Parser::lightFalloffType(Statement& st) {
  long long v = 0;
  if (ZeLwsItem* light = itemOf(ZE_LWS_LIGHT))
    if (integer(st, &v)) light->falloffType = v >= 0 && v <= 3 ? static_cast<int>(v) : 0;
}

// Version 1: intensity lost per metre, i.e. a linear falloff reaching 0 at 1/f.
void Parser::falloff(Statement& st) {
  double v = 0.0;
  if (ZeLwsItem* light = itemOf(ZE_LWS_LIGHT))
    if (number(st, &v) && v > 0.0) {
      light->falloffType = 1;
      light->range = zeLwsConstant(1.0 / v);
    }
}

void Parser::shadowType(Statement& st) {
  long long v = 0;
  if (ZeLwsItem* light = itemOf(ZE_LWS_LIGHT))
    if (integer(st, &v)) light->shadowType = v >= 0 && v <= 2 ? static_cast<int>(v) : 0;
}

// --- Cameras ---

void Parser::zoomFactor(Statement& st) {
  if (itemOf(ZE_LWS_CAMERA)) readScalar(st.rest, st.line, {current_, SLOT_ZOOM}, 1.0);
}

void Parser::cameraFrameSize(Statement& st) {
  if (ZeLwsItem* camera = itemOf(ZE_LWS_CAMERA)) frameSize(st, &camera->frameWidth, &camera->frameHeight);
}

void Parser::resolutionMultiplier(Statement& st) {
  double v = 0.0;
  if (ZeLwsItem* camera = itemOf(ZE_LWS_CAMERA))
    if (number(st, &v)) {
      if (v > 0.0 && v <= 16.0) camera->resolutionMultiplier = v;
      else note(st.line, "resolution multiplier out of range; 1 used");
    }
}

void Parser::useGlobalResolution(Statement& st) {
  long long v = 0;
  if (ZeLwsItem* camera = itemOf(ZE_LWS_CAMERA))
    if (integer(st, &v)) camera->useGlobalResolution = v != 0;
}

void Parser::resolveParents() {
  std::unordered_map<uint32_t, size_t> byId;
  for (size_t i = 0; i < s_.items.size(); ++i) {
    if (!byId.emplace(s_.items[i].id, i).second)
      note(s_.items[i].line, "item id %08X is used twice; references go to the first", s_.items[i].id);
  }
  for (ZeLwsItem& it : s_.items) {
    if (it.hasTarget && byId.find(it.targetId) == byId.end()) {
      note(it.targetLine, "target item %08X does not exist; the item is not aimed", it.targetId);
      it.hasTarget = false;
    }
    if (!it.hasParent) continue;
    if (byId.find(it.parentId) == byId.end()) {
      note(it.parentLine, "parent item %08X does not exist; the item has no parent", it.parentId);
      it.hasParent = false;
    }
  }
}

bool Parser::run(const char* text, size_t size) {
  s_ = ZeLwsScene();
  s_.file = file_;
  if (!text) size = 0;
  if (size > kMaxFileBytes) {
    zeLog("%s: %zu bytes is more than the %zu a scene may have\n", file_, size, kMaxFileBytes);
    return false;
  }
  base_ = text;
  cursor_ = text;
  end_ = text + size;
  advance();
  if (!more() || take().text(base_) != "LWSC") {
    zeLog("%s: not a LightWave scene (the first line is not LWSC)\n", file_);
    return false;
  }
  long long version = 0;
  const std::string_view versionText = more() ? peek().text(base_) : std::string_view("");
  if (!parseInt(versionText, &version) || version < 1 || version > 5) {
    zeLog("%s:%d: unknown LightWave scene version '%.*s' (1 to 5 are read)\n", file_, lastLineNumber(),
          static_cast<int>(std::min<size_t>(versionText.size(), 40)), versionText.data());
    return false;
  }
  take();
  s_.version = static_cast<int>(version);
  colourScale_ = version < 3 ? 1.0 / 255.0 : 1.0;
  while (more()) statement(take());

  // Version 1 keys carry frame numbers.
  if (s_.version == 1) {
    const double fps = s_.framesPerSecond;
    auto seconds = [fps](ZeLwsEnvelope& e) {
      for (ZeLwsKey& k : e.keys) k.time /= fps;
    };
    seconds(s_.ambientIntensity);
    for (ZeLwsItem& it : s_.items) {
      for (ZeLwsEnvelope& e : it.channels) seconds(e);
      for (ZeLwsEnvelope* e : {&it.intensity, &it.range, &it.coneAngle, &it.edgeAngle, &it.zoomFactor}) seconds(*e);
    }
  }
  if (s_.lastFrame < s_.firstFrame) {
    zeLog("%s: LastFrame %d is before FirstFrame %d; one frame is used\n", file_, s_.lastFrame, s_.firstFrame);
    s_.lastFrame = s_.firstFrame;
  }
  resolveParents();
  return true;
}

}  // namespace

bool zeLwsParse(const char* text, std::size_t size, const char* file, ZeLwsScene* scene) {
  Parser parser(*scene, file);
  return parser.run(text, size);
}
