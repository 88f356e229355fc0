// What the two readers share: the document's storage and the tree builder.
// Not for use outside zf/.
#pragma once

#include "zf/zfDocument.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// File images carry this many NUL bytes after their end (the text reader
// needs one, as the end of its last line).
constexpr std::size_t ZF_IMAGE_PADDING = 16;

// At most 19 levels of nodes below the root may be open at once.
constexpr int ZF_MAX_DEPTH = 19;

// Bump allocator for the text form's names, texts and element lists: one
// heap block per megabyte instead of one per element list.
class ZfArena {
 public:
  void* allocate(std::size_t bytes);  // 4-byte aligned
 private:
  std::vector<std::unique_ptr<unsigned char[]>> blocks_;
  unsigned char* cursor_ = nullptr;
  std::size_t left_ = 0;
};

struct ZF_Document {
  ZF_Form form = ZF_FORM_INVALID;
  std::vector<ZF_Entry> entries;  // root first, then depth-first in file order
  std::vector<ZF_Entry*> children;
  std::vector<ZF_Row> rows;
  std::vector<ZF_FpcMark> marks;
  std::vector<uint32_t> buckets;
  ZfArena arena;                         // text form: names and elements
  std::unique_ptr<unsigned char[]> image;  // binary form: names and elements point into it
};

// Builds the tree in file order, then lays it out into the document's blocks.
// Entries and rows are referred to by index while the vectors grow; pointers
// are fixed up once at the end.
class ZfTreeBuilder {
 public:
  explicit ZfTreeBuilder(std::size_t expectedEntries);

  int depth() const { return depth_; }
  // The caller checks depth() < ZF_MAX_DEPTH first.
  void openNode(const char* name);
  void closeNode() { --depth_; }
  void addValue(const char* name, uint32_t type, const ZF_Row& value, uint32_t firstMark);
  void openArray(const char* name, uint32_t type);
  // Appends a row to the array opened last.
  void addRow(const ZF_Row& row, uint32_t firstMark);

  std::vector<ZF_FpcMark>& marks() { return marks_; }
  // Moves the tree into `document` (which already holds the form and the storage).
  void finish(ZF_Document* document);

 private:
  uint32_t append(int32_t kind, const char* name, uint32_t type);
  // Builds the search buckets of an FP_C row whose marks start at
  // firstMark; returns their first index, or kNoBuckets.
  uint32_t indexBuckets(ZF_Row* row, uint32_t firstMark);
  static constexpr uint32_t kNoBuckets = 0xFFFFFFFFu;

  std::vector<ZF_Entry> entries_;
  std::vector<uint32_t> parents_;
  std::vector<uint32_t> aux_;  // array: first row; FP_C value: first mark; node: fill cursor
  std::vector<ZF_Row> rows_;
  std::vector<uint32_t> rowMarks_;
  std::vector<ZF_FpcMark> marks_;
  std::vector<uint32_t> buckets_;
  std::vector<uint32_t> entryBuckets_;  // per entry: first bucket of an FP_C value
  std::vector<uint32_t> rowBuckets_;
  uint32_t open_[ZF_MAX_DEPTH + 1];
  int depth_ = 0;
  uint32_t lastArray_ = 0;
};

// The record of an FP_C row (markCount > 0) that holds sample i < count:
// a binary search over the records of i's bucket, or over all of them.
inline const ZF_FpcMark* zfFindMark(const ZF_Row* row, uint32_t i) {
  const ZF_FpcMark* mark = row->marks;
  uint32_t n = row->markCount;
  if (row->buckets) {
    const uint32_t* bucket = row->buckets + (i >> row->bucketShift);
    mark += bucket[0];
    n = bucket[1] - bucket[0] + 1;
  }
  while (n > 1) {
    const uint32_t half = n >> 1;
    mark = mark[half].first <= i ? mark + half : mark;
    n -= half;
  }
  return mark;
}

// Checks a binary FP_C stream of `wordCount` host-order words and indexes its
// records into `marks`. null on success (with *count the decoded floats),
// else the reason it is malformed.
const char* zfIndexFpcStream(const uint32_t* words, std::size_t wordCount, std::vector<ZF_FpcMark>* marks,
                             uint32_t* count);

// The readers. `image` holds `size` bytes followed by ZF_IMAGE_PADDING NULs.
ZF_Document* ZF_ParseText(std::unique_ptr<unsigned char[]> image, std::size_t size);
// The text form straight from a file of `size` bytes, read from its start in
// pieces as it is parsed.
class ZeFile;
ZF_Document* ZF_ParseTextFile(ZeFile* file, std::size_t size);
ZF_Document* ZF_ParseBinary(std::unique_ptr<unsigned char[]> image, std::size_t size);
