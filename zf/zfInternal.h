// What the two readers share: the document's storage and the tree builder.
// Not for use outside zf/.
#pragma once

#include "zf/zfDocument.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

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

  std::vector<ZF_Entry> entries_;
  std::vector<uint32_t> parents_;
  std::vector<uint32_t> aux_;  // array: first row; FP_C value: first mark; node: fill cursor
  std::vector<ZF_Row> rows_;
  std::vector<uint32_t> rowMarks_;
  std::vector<ZF_FpcMark> marks_;
  uint32_t open_[ZF_MAX_DEPTH + 1];
  int depth_ = 0;
  uint32_t lastArray_ = 0;
};

// Checks a binary FP_C stream of `wordCount` host-order words and indexes its
// records into `marks`. null on success (with *count the decoded floats),
// else the reason it is malformed.
const char* zfIndexFpcStream(const uint32_t* words, std::size_t wordCount, std::vector<ZF_FpcMark>* marks,
                             uint32_t* count);

// The readers. `image` holds `size` bytes followed by a NUL.
ZF_Document* ZF_ParseText(std::unique_ptr<unsigned char[]> image, std::size_t size);
ZF_Document* ZF_ParseBinary(std::unique_ptr<unsigned char[]> image, std::size_t size);
