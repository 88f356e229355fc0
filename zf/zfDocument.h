// ZF documents: the engine's scene description tree, read from its text or
// its binary form into one in-memory tree.
//
// Contents: value types and entry kinds · ZF_Row / ZF_Entry · loading and
// release · queries · static accessors (whole sample indices).
// Evaluation at fractional positions lives in zf/zfAnimate.h, writing in
// zf/zfWrite.h.
//
// Every entry, name and element list belongs to the document and lives until
// ZF_Free. Nothing here copies on query.
#pragma once

#include <cstddef>
#include <cstdint>

// Value types: the codes of the binary form and of memory. A binary file may
// carry other codes; their data is kept as plain words.
enum ZF_ValueType : uint32_t {
  ZF_I4 = 0,
  ZF_U4 = 1,
  ZF_FP = 2,
  ZF_STR = 3,
  ZF_FP_C = 4,
};

enum ZF_EntryKind : int32_t {
  ZF_NODE = 0,
  ZF_VALUE = 1,
  ZF_ARRAY = 2,
};

enum ZF_Form : int32_t {
  ZF_FORM_INVALID = -1,
  ZF_FORM_TEXT = 0,
  ZF_FORM_BINARY = 1,
};

// FP_C streams are run/literal records of 32-bit words: tag 0 ("RUN") is
// {0, n, value}, any other tag ("DAT", written as 1) is {tag, n, n values}.
constexpr uint32_t ZF_FPC_RUN = 0;
constexpr uint32_t ZF_FPC_DAT = 1;

// One record of an FP_C stream as found at load: its first decoded element
// and the word offset of its tag. Lets a lookup binary-search the records
// instead of walking them from the first. Records of count 0 are well-formed
// but hold no sample, so they get no mark.
struct ZF_FpcMark {
  uint32_t first;
  uint32_t word;
};

// A list of elements: the elements of a value, or one row of an array.
// count is the number of elements: words for I4/U4/FP (and unknown types),
// decoded floats for FP_C, bytes of text (without the NUL) for STR.
struct ZF_Row {
  uint32_t count;
  uint32_t markCount;       // FP_C: number of records holding samples (0 for an empty stream)
  const void* data;         // words, or NUL-terminated text for STR
  const ZF_FpcMark* marks;  // FP_C: one mark per record; null otherwise
  // FP_C streams of many records: for each run of 2^bucketShift samples, the
  // record holding its first sample, and one more entry for the last record.
  // Narrows the search to the few records of one run. null when not built.
  const uint32_t* buckets;
  uint32_t bucketShift;
};

struct ZF_Entry {
  int32_t kind;        // ZF_EntryKind
  uint32_t type;       // value and array: ZF_ValueType (or a foreign code)
  const char* name;    // case-sensitive; duplicates allowed
  uint32_t count;      // node: children; array: rows; value: elements (== value.count)
  ZF_Entry** children; // node: `count` children in file order
  ZF_Row* rows;        // array: `count` rows in file order
  ZF_Row value;        // value: its elements
};

struct ZF_Document;

// --- Loading and release ------------------------------------------------------

// Reads a whole file through the file hooks and parses it in the form the
// first 12 bytes say. null when the file cannot be read or is empty (no
// message), or when it is not a well-formed ZF document (messages on zeLog).
ZF_Document* ZF_Load(const char* path);
// The same from bytes in memory (copied; the caller keeps its buffer).
ZF_Document* ZF_LoadMemory(const void* bytes, std::size_t size);
void ZF_Free(ZF_Document* document);
ZF_Entry* ZF_Root(ZF_Document* document);
const ZF_Entry* ZF_Root(const ZF_Document* document);
ZF_Form ZF_DocumentForm(const ZF_Document* document);

// Classifies a file image of `size` bytes; ZF_FORM_INVALID after a message.
ZF_Form ZF_DetectForm(const unsigned char* image, std::size_t size);

// --- Queries --------------------------------------------------------------------

// First child of `node` named exactly `name`; null when node is null, not a
// node, or has no such child. Safe to chain.
const ZF_Entry* ZF_Find(const ZF_Entry* node, const char* name);
// Children by index, in file order (0 and null for anything but a node).
uint32_t ZF_ChildCount(const ZF_Entry* node);
const ZF_Entry* ZF_Child(const ZF_Entry* node, uint32_t index);

// First word of the named value read as a 32-bit integer, or `fallback` when
// the child is absent or holds no words (nodes, arrays, STR, empty values).
int32_t ZF_GetInt(const ZF_Entry* node, const char* name, int32_t fallback = 0);
// Text of the named STR value; null when absent or not a STR value.
const char* ZF_GetString(const ZF_Entry* node, const char* name);
// ZF_FP_At(child, 0), or 0 when absent.
float ZF_GetFloat(const ZF_Entry* node, const char* name);

// --- Static accessors -------------------------------------------------------
// FP values give their elements; FP_C values and rows give the decoded element
// min(i, count - 1). Missing rows or elements read as 0, as does every other
// value type.
struct ZF_Float2 {
  float x, y;
};
struct ZF_Float3 {
  float x, y, z;
};

float ZF_FP_At(const ZF_Entry* entry, uint32_t i);
ZF_Float2 ZF_FP2_At(const ZF_Entry* entry, uint32_t i);
ZF_Float3 ZF_FP3_At(const ZF_Entry* entry, uint32_t i);

// Decoded element i of an FP_C row (i < row->count), found through the
// record marks in O(log records). Identical to the record walk of
// zf/zfWalk.h.
float ZF_FPC_Element(const ZF_Row* row, uint32_t i);
