// One input of the ZF loader fuzzer; see zfFuzzCheck.h.
#include "support/zfFuzzCheck.h"

#include "zf/zfAnimate.h"
#include "zf/zfDocument.h"
#include "zf/zfWalk.h"
#include "zf/zfWrite.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

struct DocumentGuard {
  ZF_Document* document;
  ~DocumentGuard() { ZF_Free(document); }
};

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Both forms give every float back bit for bit, NaN payloads included.
bool sameFloat(float a, float b, bool) { return sameBits(a, b); }

float wordAsFloat(uint32_t word) {
  float value;
  std::memcpy(&value, &word, sizeof value);
  return value;
}

bool sameRow(const ZF_Row& a, const ZF_Row& b, uint32_t type, bool throughText) {
  if (a.count != b.count) return false;
  if (type == ZF_STR) return std::memcmp(a.data, b.data, a.count) == 0;
  const uint32_t* wa = static_cast<const uint32_t*>(a.data);
  const uint32_t* wb = static_cast<const uint32_t*>(b.data);
  if (type != ZF_FP_C) {
    for (uint32_t i = 0; i < a.count; ++i) {
      if (type == ZF_FP ? !sameFloat(wordAsFloat(wa[i]), wordAsFloat(wb[i]), throughText) : wa[i] != wb[i]) {
        return false;
      }
    }
    return true;
  }
  // Streams compare record by record; text spells every literal tag as 1.
  if (a.markCount != b.markCount) return false;
  for (uint32_t m = 0; m < a.markCount; ++m) {
    const uint32_t* ra = wa + a.marks[m].word;
    const uint32_t* rb = wb + b.marks[m].word;
    if (a.marks[m].first != b.marks[m].first || (ra[0] == 0) != (rb[0] == 0) || ra[1] != rb[1]) return false;
    if (!throughText && ra[0] != rb[0]) return false;
    const uint32_t values = ra[0] == 0 ? 1 : ra[1];
    for (uint32_t v = 0; v < values; ++v) {
      if (!sameFloat(wordAsFloat(ra[2 + v]), wordAsFloat(rb[2 + v]), throughText)) return false;
    }
  }
  return true;
}

bool sameTree(const ZF_Entry* a, const ZF_Entry* b, bool throughText) {
  if (a->kind != b->kind || std::strcmp(a->name, b->name) != 0 || a->count != b->count) return false;
  if (a->kind == ZF_NODE) {
    for (uint32_t i = 0; i < a->count; ++i) {
      if (!sameTree(a->children[i], b->children[i], throughText)) return false;
    }
    return true;
  }
  if (a->type != b->type) return false;
  if (a->kind == ZF_VALUE) return sameRow(a->value, b->value, a->type, throughText);
  for (uint32_t r = 0; r < a->count; ++r) {
    if (!sameRow(a->rows[r], b->rows[r], a->type, throughText)) return false;
  }
  return true;
}

bool checkRow(const ZF_Row& row, std::string* why) {
  if (row.count == 0) return true;
  const uint32_t probes[] = {0, 1, row.count / 2, row.count - 1};
  for (uint32_t i : probes) {
    if (i >= row.count) continue;
    if (!sameBits(ZF_FPC_Element(&row, i), ZF_FPC_ElementByWalk(&row, i))) {
      *why = "indexed element differs from the walk";
      return false;
    }
  }
  const float positions[] = {-1.0f, 0.0f, 0.5f, 1.0f, 1.75f, float(row.count) * 0.5f, float(row.count - 1),
                             float(row.count) + 3.0f, std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(), 1e10f};
  for (float t : positions) {
    float t1 = t, t2 = t, lo1, hi1, lo2, hi2;
    uint32_t i1, i2;
    bool c1, c2;
    ZF_Segment(&row, &t1, &i1, &lo1, &hi1, &c1);
    ZF_SegmentByWalk(&row, &t2, &i2, &lo2, &hi2, &c2);
    if (!sameBits(t1, t2) || i1 != i2 || !sameBits(lo1, lo2) || !sameBits(hi1, hi2) || c1 != c2) {
      *why = "indexed segment differs from the walk";
      return false;
    }
    if (i1 >= row.count || (!c1 && i1 + 1 >= row.count)) {
      *why = "segment outside the channel";
      return false;
    }
  }
  return true;
}

bool checkEntry(const ZF_Entry* entry, std::string* why) {
  if (entry->kind == ZF_NODE) {
    for (uint32_t i = 0; i < ZF_ChildCount(entry); ++i) {
      const ZF_Entry* child = ZF_Child(entry, i);
      const ZF_Entry* found = ZF_Find(entry, child->name);
      if (!found || std::strcmp(found->name, child->name) != 0) {
        *why = "ZF_Find misses a child";
        return false;
      }
      ZF_GetInt(entry, child->name);
      const char* text = ZF_GetString(entry, child->name);
      if (text && std::strlen(text) != found->value.count) {
        *why = "STR length differs from its count";
        return false;
      }
      ZF_GetFloat(entry, child->name);
      if (!checkEntry(child, why)) return false;
    }
    return true;
  }
  const uint32_t indices[] = {0, 1, 7, 0xFFFFFFFFu};
  for (uint32_t i : indices) {
    ZF_FP_At(entry, i);
    ZF_FP2_At(entry, i);
    ZF_FP3_At(entry, i);
  }
  const float positions[] = {-3.0f, 0.25f, 2.5f, 1e9f, std::numeric_limits<float>::quiet_NaN()};
  for (float t : positions) {
    ZF_FP_Lerp(entry, t);
    ZF_FP_Step(entry, t);
    ZF_FP2_Lerp(entry, t);
    const ZF_Float3 a = ZF_FP3_Lerp(entry, t);
    const ZF_Float3 b = ZF_FP3_LerpByWalk(entry, t);
    const ZF_Float3 c = ZF_FP3_Slerp_HPB_To_XYZ(entry, t);
    const ZF_Float3 d = ZF_FP3_Slerp_HPB_To_XYZ_ByWalk(entry, t);
    if (!sameBits(a.x, b.x) || !sameBits(a.y, b.y) || !sameBits(a.z, b.z) || !sameBits(c.x, d.x) ||
        !sameBits(c.y, d.y) || !sameBits(c.z, d.z) || !sameBits(ZF_FP_Lerp(entry, t), ZF_FP_LerpByWalk(entry, t))) {
      *why = "indexed evaluator differs from the walk";
      return false;
    }
  }
  if (entry->type != ZF_FP_C) return true;
  if (entry->kind == ZF_VALUE) return checkRow(entry->value, why);
  for (uint32_t r = 0; r < entry->count; ++r) {
    if (!checkRow(entry->rows[r], why)) return false;
  }
  return true;
}

}  // namespace

bool zfFuzzCheck(const uint8_t* data, std::size_t size, std::string* why) {
  DocumentGuard loaded{ZF_LoadMemory(data, size)};
  if (!loaded.document) return true;
  const ZF_Entry* root = ZF_Root(loaded.document);
  if (!checkEntry(root, why)) return false;

  std::string binary;
  if (!ZF_WriteBinary(root, &binary)) {
    *why = "binary writer refused a loaded document";
    return false;
  }
  DocumentGuard fromBinary{ZF_LoadMemory(binary.data(), binary.size())};
  if (!fromBinary.document || !sameTree(root, ZF_Root(fromBinary.document), false)) {
    *why = "binary round trip changed the tree";
    return false;
  }

  // Text cannot hold every tree (names with blanks, empty lists): when the
  // writer takes it, it must read back the same and write the same again.
  std::string text;
  if (!ZF_WriteText(root, &text)) return true;
  DocumentGuard fromText{ZF_LoadMemory(text.data(), text.size())};
  if (!fromText.document || !sameTree(root, ZF_Root(fromText.document), true)) {
    *why = "text round trip changed the tree";
    return false;
  }
  std::string again;
  if (!ZF_WriteText(ZF_Root(fromText.document), &again) || again != text) {
    *why = "canonical text is not stable";
    return false;
  }
  return true;
}
