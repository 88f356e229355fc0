#include "mesh/codec/zeZmorph.h"

#include <cstring>

#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "mesh/codec/zeZmdd.h"

namespace {

// Big-endian IFF reading with a stack of open chunk ends (at most 32).
struct IffReader {
  IffReader(const unsigned char* bytes, uint64_t length) : data(bytes), size(length) {}
  const unsigned char* data;
  uint64_t size, at = 0;
  uint64_t ends[32] = {};
  int depth = 0;
  const char* failure = nullptr;

  uint64_t limit() const { return depth ? ends[depth - 1] : size; }
  bool u32(uint32_t* v) {
    if (at + 4 > limit()) return fail("a number runs past its chunk");
    *v = zeReadBE32(data + at);
    at += 4;
    return true;
  }
  bool open(const char* id) {
    if (at + 8 > limit() || std::memcmp(data + at, id, 4) != 0) return false;
    const uint64_t end = at + 8 + zeReadBE32(data + at + 4);
    if (end > limit()) return fail("a chunk runs past its parent or the file");
    if (depth == 32) return fail("chunks nest deeper than 32");
    ends[depth++] = end;
    at += 8;
    return true;
  }
  void close() { at = ends[--depth]; }
  bool fail(const char* why) {
    if (!failure) failure = why;
    return false;
  }
};

bool readTarget(IffReader& r, uint32_t maxPoints, SZeZmorphTarget* t, const char** missing) {
  if (!r.open("VMOR")) return *missing = r.failure ? nullptr : "ID_VMOR not found", false;
  if (!r.open("NAME")) return *missing = r.failure ? nullptr : "ID_NAME not found", false;
  const uint64_t end = r.limit();
  uint64_t len = 0;
  while (r.at + len < end && r.data[r.at + len] != 0 && len < 128) ++len;
  if (r.at + len >= end || len > 127) return r.fail("a target name has no end within 127 characters");
  t->name.assign(reinterpret_cast<const char*>(r.data + r.at), len);
  r.close();
  if (!r.open("MMAP")) return *missing = r.failure ? nullptr : "ID_MMAP not found", false;
  uint32_t count;
  if (!r.u32(&count)) return false;
  if (count > maxPoints) return r.fail("a target moves more points than the file's maximum");
  if (28ull * count > r.limit() - r.at) return r.fail("a target's points do not fit in its chunk");
  t->points.resize(count);
  t->positionDeltas.resize(3ull * count);
  t->normalDeltas.resize(3ull * count);
  for (uint32_t i = 0; i < count; ++i) r.u32(&t->points[i]);
  for (auto* deltas : {&t->positionDeltas, &t->normalDeltas})
    for (float& f : *deltas) {
      uint32_t bits = 0;  // the size was checked above: the read cannot fail
      r.u32(&bits);
      std::memcpy(&f, &bits, 4);
    }
  r.close();
  r.close();
  return true;
}

void put32(std::vector<unsigned char>* out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<unsigned char>(v >> s));
}

}  // namespace

bool zeParseZmorph(const unsigned char* bytes, std::size_t size, const char* name,
                   std::vector<SZeZmorphTarget>* targets) {
  targets->clear();
  IffReader r(bytes, size);
  // The form's own size is not trusted: its content runs to the end of the file.
  if (size < 8 || std::memcmp(bytes, "FORM", 4) != 0) {
    zeMessage(ZE_ERROR, "CZeMorphMapLoader: %s: ID_FORM not found", name);
    return false;
  }
  r.at = 8;
  if (size < 12 || std::memcmp(bytes + 8, "ZMOR", 4) != 0) {
    zeMessage(ZE_ERROR, "CZeMorphMapLoader: %s: ID_ZMOR not found", name);
    return false;
  }
  r.at = 12;
  uint32_t count = 0, maxPoints = 0;
  if (!r.u32(&count) || !r.u32(&maxPoints)) {
    zeMessage(ZE_ERROR, "CZeMorphMapLoader: %s: no morph count", name);
    return false;
  }
  zeMessage(ZE_DEBUG, "CZeLWZMorphReader::open: morph_count = %u, max_points = %u", count, maxPoints);
  // The smallest target (empty name, no points) takes 29 bytes.
  if (count > (size - r.at) / 29) {
    zeMessage(ZE_ERROR, "CZeMorphMapLoader: %s: %u morphs do not fit in the file", name, count);
    return false;
  }
  targets->resize(count);
  for (uint32_t m = 0; m < count; ++m) {
    const char* missing = nullptr;
    if (!readTarget(r, maxPoints, &(*targets)[m], &missing)) {
      zeMessage(ZE_ERROR, "CZeMorphMapLoader: %s: morph %u: %s", name, m + 1,
                missing ? missing : (r.failure ? r.failure : "bad chunk"));
      zeMessage(ZE_ERROR, "CZeMorphMapLoader: failed to read next morph");
      targets->clear();
      return false;
    }
    zeMessage(ZE_DEBUG, "CZeLWZMorph::readNext: Morph %u: Name='%s' NumPoints=%u", m, (*targets)[m].name.c_str(),
              static_cast<unsigned>((*targets)[m].points.size()));
  }
  return true;
}

bool zeReadZmorph(const char* file, std::vector<SZeZmorphTarget>* targets) {
  std::string text;
  if (!file || !zeFileReadAll(file, &text)) {
    zeMessage(ZE_ERROR, "CZeMorphMapLoader: failed to open morphmap file %s", file ? file : "");
    return false;
  }
  return zeParseZmorph(reinterpret_cast<const unsigned char*>(text.data()), text.size(), file, targets);
}

std::vector<unsigned char> zeZmorphWrite(const std::vector<SZeZmorphTarget>& targets) {
  std::vector<unsigned char> body;
  uint32_t maxPoints = 0;
  for (const SZeZmorphTarget& t : targets) maxPoints = t.points.size() > maxPoints ? t.points.size() : maxPoints;
  put32(&body, static_cast<uint32_t>(targets.size()));
  put32(&body, maxPoints);
  for (const SZeZmorphTarget& t : targets) {
    const std::string name = t.name.substr(0, 127);
    const uint32_t nameSize = static_cast<uint32_t>(name.size() + 1);
    const uint32_t count = static_cast<uint32_t>(t.points.size());
    const uint32_t mapSize = 4 + 28 * count;
    body.insert(body.end(), {'V', 'M', 'O', 'R'});
    put32(&body, 8 + nameSize + 8 + mapSize);
    body.insert(body.end(), {'N', 'A', 'M', 'E'});
    put32(&body, nameSize);
    body.insert(body.end(), name.begin(), name.end());
    body.push_back(0);
    body.insert(body.end(), {'M', 'M', 'A', 'P'});
    put32(&body, mapSize);
    put32(&body, count);
    for (uint32_t p : t.points) put32(&body, p);
    for (const auto* deltas : {&t.positionDeltas, &t.normalDeltas})
      for (uint32_t i = 0; i < 3 * count; ++i) {
        const float f = i < deltas->size() ? (*deltas)[i] : 0.0f;
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(&body, bits);
      }
  }
  std::vector<unsigned char> out = {'F', 'O', 'R', 'M'};
  put32(&out, static_cast<uint32_t>(4 + body.size()));
  out.insert(out.end(), {'Z', 'M', 'O', 'R'});
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
