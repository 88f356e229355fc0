// Document life cycle, form detection, the tree builder, queries and the
// static accessors.
#include "zf/zfDocument.h"

#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "zf/zfInternal.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace {

uint32_t readBigEndian(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

float wordAsFloat(uint32_t word) {
  float value;
  std::memcpy(&value, &word, sizeof value);
  return value;
}

// No exception leaves the library: a document too large for memory is a
// failed load like any other.
void reportNoMemory() { zeLog("Error, not enough memory for the ZF document\n"); }

ZF_Document* parseImage(std::unique_ptr<unsigned char[]> image, std::size_t size) {
  switch (ZF_DetectForm(image.get(), size)) {
    case ZF_FORM_TEXT:
      return ZF_ParseText(std::move(image), size);
    case ZF_FORM_BINARY:
      return ZF_ParseBinary(std::move(image), size);
    default:
      zeLog("Error, Not a ZF file\n");
      return nullptr;
  }
}

struct FileGuard {
  ZeFile* file;
  ~FileGuard() {
    if (file) zeFileClose(file);
  }
};

// Reads the rest of a file of `size` bytes, from its start, into a
// NUL-padded image. False when it cannot be read whole.
bool readImage(ZeFile* file, std::size_t size, std::unique_ptr<unsigned char[]>* image) {
  image->reset(new unsigned char[size + ZF_IMAGE_PADDING]);
  if (zeFileRead(image->get(), 1, size, file) != size) return false;
  std::memset(image->get() + size, 0, ZF_IMAGE_PADDING);
  return true;
}

}  // namespace

// --- Loading and release ------------------------------------------------------

ZF_Form ZF_DetectForm(const unsigned char* image, std::size_t size) {
  if (size <= 11) {
    zeLog("Error, file size < 12 bytes\n");
    return ZF_FORM_INVALID;
  }
  if (std::memcmp(image, "FORM", 4) == 0 && std::memcmp(image + 8, "ZRNF", 4) == 0) {
    if (uint64_t(readBigEndian(image + 4)) + 8 == uint64_t(size)) return ZF_FORM_BINARY;
    zeLog("Error, ZF binary FORM size mismatch file size\n");
    return ZF_FORM_INVALID;
  }
  // Bytes are compared unsigned, so UTF-8 text in the first line is welcome.
  for (int i = 0; i < 12; ++i) {
    if (image[i] < 9) {
      zeLog("Error, file is not ZF format\n");
      return ZF_FORM_INVALID;
    }
  }
  return ZF_FORM_TEXT;
}

ZF_Document* ZF_Load(const char* path) {
  if (!path) return nullptr;
  try {
    // The file layer refuses what is not a regular file, or is too large.
    std::size_t size = 0;
    FileGuard guard{zeFileOpenWhole(path, &size)};
    if (!guard.file || size == 0) return nullptr;
    // The first 12 bytes say the form. Text is parsed as it is read; the
    // binary form is used in place, so it is read whole.
    unsigned char head[12];
    const std::size_t headSize = std::min(size, sizeof head);
    if (zeFileRead(head, 1, headSize, guard.file) != headSize) return nullptr;
    const ZF_Form form = ZF_DetectForm(head, size);
    if (form == ZF_FORM_INVALID) {
      zeLog("Error, Not a ZF file\n");
      return nullptr;
    }
    if (zeFileSeek(guard.file, 0, 0) != 0) return nullptr;
    if (form == ZF_FORM_TEXT) return ZF_ParseTextFile(guard.file, size);
    std::unique_ptr<unsigned char[]> image;
    if (!readImage(guard.file, size, &image)) return nullptr;
    return ZF_ParseBinary(std::move(image), size);
  } catch (const std::bad_alloc&) {
    reportNoMemory();
    return nullptr;
  }
}

ZF_Document* ZF_LoadMemory(const void* bytes, std::size_t size) {
  if (!bytes || size == 0) return nullptr;
  try {
    std::unique_ptr<unsigned char[]> image(new unsigned char[size + ZF_IMAGE_PADDING]);
    std::memcpy(image.get(), bytes, size);
    std::memset(image.get() + size, 0, ZF_IMAGE_PADDING);
    return parseImage(std::move(image), size);
  } catch (const std::bad_alloc&) {
    reportNoMemory();
    return nullptr;
  }
}

void ZF_Free(ZF_Document* document) { delete document; }

ZF_Entry* ZF_Root(ZF_Document* document) { return document ? document->entries.data() : nullptr; }

const ZF_Entry* ZF_Root(const ZF_Document* document) { return document ? document->entries.data() : nullptr; }

ZF_Form ZF_DocumentForm(const ZF_Document* document) { return document ? document->form : ZF_FORM_INVALID; }

// --- Storage ------------------------------------------------------------------

void* ZfArena::allocate(std::size_t bytes) {
  bytes = (bytes + 3) & ~std::size_t(3);
  if (bytes > left_) {
    const std::size_t blockSize = std::max<std::size_t>(bytes, std::size_t(1) << 20);
    blocks_.emplace_back(new unsigned char[blockSize]);
    cursor_ = blocks_.back().get();
    left_ = blockSize;
  }
  void* result = cursor_;
  cursor_ += bytes;
  left_ -= bytes;
  return result;
}

ZfTreeBuilder::ZfTreeBuilder(std::size_t expectedEntries) {
  entries_.reserve(expectedEntries + 1);
  entryBuckets_.reserve(expectedEntries + 1);
  parents_.reserve(expectedEntries + 1);
  aux_.reserve(expectedEntries + 1);
  append(ZF_NODE, "root", 0);
  open_[0] = 0;
}

uint32_t ZfTreeBuilder::append(int32_t kind, const char* name, uint32_t type) {
  const uint32_t index = uint32_t(entries_.size());
  ZF_Entry entry{};
  entry.kind = kind;
  entry.type = type;
  entry.name = name;
  entries_.push_back(entry);
  parents_.push_back(index == 0 ? 0 : open_[depth_]);
  aux_.push_back(0);
  entryBuckets_.push_back(kNoBuckets);
  return index;
}

uint32_t ZfTreeBuilder::indexBuckets(ZF_Row* row, uint32_t firstMark) {
  // Short streams are searched whole; a handful of steps either way.
  if (row->markCount < 16) return kNoBuckets;
  uint32_t shift = 0;
  while (((row->count - 1) >> shift) + 1 > row->markCount) ++shift;
  const uint32_t bucketCount = ((row->count - 1) >> shift) + 1;
  const ZF_FpcMark* marks = marks_.data() + firstMark;
  const uint32_t first = uint32_t(buckets_.size());
  uint32_t record = 0;
  for (uint32_t k = 0; k < bucketCount; ++k) {
    const uint32_t sample = k << shift;
    while (record + 1 < row->markCount && marks[record + 1].first <= sample) ++record;
    buckets_.push_back(record);
  }
  buckets_.push_back(row->markCount - 1);
  row->bucketShift = shift;
  return first;
}

void ZfTreeBuilder::openNode(const char* name) {
  const uint32_t index = append(ZF_NODE, name, 0);
  open_[++depth_] = index;
}

void ZfTreeBuilder::addValue(const char* name, uint32_t type, const ZF_Row& value, uint32_t firstMark) {
  const uint32_t index = append(ZF_VALUE, name, type);
  entries_[index].value = value;
  entries_[index].count = value.count;
  aux_[index] = firstMark;
  if (type == ZF_FP_C) entryBuckets_[index] = indexBuckets(&entries_[index].value, firstMark);
}

void ZfTreeBuilder::openArray(const char* name, uint32_t type) {
  lastArray_ = append(ZF_ARRAY, name, type);
  aux_[lastArray_] = uint32_t(rows_.size());
}

void ZfTreeBuilder::addRow(const ZF_Row& row, uint32_t firstMark) {
  rows_.push_back(row);
  rowMarks_.push_back(firstMark);
  rowBuckets_.push_back(entries_[lastArray_].type == ZF_FP_C ? indexBuckets(&rows_.back(), firstMark) : kNoBuckets);
  ++entries_[lastArray_].count;
}

void ZfTreeBuilder::finish(ZF_Document* document) {
  const std::size_t entryCount = entries_.size();
  // Children: count per node, then give each node its slice of one list.
  for (std::size_t i = 1; i < entryCount; ++i) ++entries_[parents_[i]].count;
  uint32_t offset = 0;
  for (std::size_t i = 0; i < entryCount; ++i) {
    if (entries_[i].kind == ZF_NODE) {
      aux_[i] = offset;
      offset += entries_[i].count;
    }
  }
  document->entries = std::move(entries_);
  document->rows = std::move(rows_);
  document->marks = std::move(marks_);
  document->buckets = std::move(buckets_);
  const uint32_t* buckets = document->buckets.data();
  ZF_Entry* entries = document->entries.data();
  document->children.resize(offset);
  ZF_Entry** children = document->children.data();
  for (std::size_t i = 1; i < entryCount; ++i) children[aux_[parents_[i]]++] = &entries[i];

  ZF_Row* rows = document->rows.data();
  const ZF_FpcMark* marks = document->marks.data();
  for (std::size_t i = 0; i < entryCount; ++i) {
    ZF_Entry& entry = entries[i];
    switch (entry.kind) {
      case ZF_NODE:
        entry.children = entry.count ? children + (aux_[i] - entry.count) : nullptr;
        break;
      case ZF_ARRAY:
        entry.rows = entry.count ? rows + aux_[i] : nullptr;
        break;
      default:
        if (entry.value.markCount) entry.value.marks = marks + aux_[i];
        if (entryBuckets_[i] != kNoBuckets) entry.value.buckets = buckets + entryBuckets_[i];
        break;
    }
  }
  for (std::size_t r = 0; r < document->rows.size(); ++r) {
    if (rows[r].markCount) rows[r].marks = marks + rowMarks_[r];
    if (rowBuckets_[r] != kNoBuckets) rows[r].buckets = buckets + rowBuckets_[r];
  }
}

const char* zfIndexFpcStream(const uint32_t* words, std::size_t wordCount, std::vector<ZF_FpcMark>* marks,
                             uint32_t* count) {
  uint64_t total = 0;
  std::size_t at = 0;
  while (at < wordCount) {
    if (wordCount - at < 2) return "record without count";
    const uint32_t tag = words[at];
    const uint32_t n = words[at + 1];
    const std::size_t length = tag == ZF_FPC_RUN ? 3 : std::size_t(n) + 2;
    if (length > wordCount - at) return tag == ZF_FPC_RUN ? "RUN without value" : "DAT count larger than its data";
    if (at > std::numeric_limits<uint32_t>::max()) return "stream too long";
    // An empty record adds no sample; leaving it out of the index means no
    // lookup ever reads a value from it.
    if (n) marks->push_back({uint32_t(total), uint32_t(at)});
    total += n;
    if (total > std::numeric_limits<uint32_t>::max()) return "more than 4294967295 samples";
    at += length;
  }
  *count = uint32_t(total);
  return nullptr;
}

// --- Queries --------------------------------------------------------------------

const ZF_Entry* ZF_Find(const ZF_Entry* node, const char* name) {
  if (!node || !name || node->kind != ZF_NODE) return nullptr;
  for (uint32_t i = 0; i < node->count; ++i) {
    if (std::strcmp(node->children[i]->name, name) == 0) return node->children[i];
  }
  return nullptr;
}

uint32_t ZF_ChildCount(const ZF_Entry* node) { return node && node->kind == ZF_NODE ? node->count : 0; }

const ZF_Entry* ZF_Child(const ZF_Entry* node, uint32_t index) {
  return index < ZF_ChildCount(node) ? node->children[index] : nullptr;
}

int32_t ZF_GetInt(const ZF_Entry* node, const char* name, int32_t fallback) {
  const ZF_Entry* child = ZF_Find(node, name);
  if (!child || child->kind != ZF_VALUE || child->type == ZF_STR || child->value.count == 0) return fallback;
  return int32_t(static_cast<const uint32_t*>(child->value.data)[0]);
}

const char* ZF_GetString(const ZF_Entry* node, const char* name) {
  const ZF_Entry* child = ZF_Find(node, name);
  if (!child || child->kind != ZF_VALUE || child->type != ZF_STR) return nullptr;
  return static_cast<const char*>(child->value.data);
}

float ZF_GetFloat(const ZF_Entry* node, const char* name) {
  const ZF_Entry* child = ZF_Find(node, name);
  return child ? ZF_FP_At(child, 0) : 0.0f;
}

// --- Static accessors -------------------------------------------------------

float ZF_FPC_Element(const ZF_Row* row, uint32_t i) {
  if (row->markCount == 0 || i >= row->count) return 0.0f;
  const ZF_FpcMark* mark = zfFindMark(row, i);
  const uint32_t* record = static_cast<const uint32_t*>(row->data) + mark->word;
  return wordAsFloat(record[0] == ZF_FPC_RUN ? record[2] : record[2 + (i - mark->first)]);
}

namespace {

// Element i of a row read as the type says: an FP row gives its element i
// (callers pass 0), an FP_C row its decoded element min(i, count - 1).
float rowElement(const ZF_Row* row, uint32_t type, uint32_t i) {
  if (row->count == 0) return 0.0f;
  if (type == ZF_FP) return wordAsFloat(static_cast<const uint32_t*>(row->data)[std::min(i, row->count - 1)]);
  if (type == ZF_FP_C) return ZF_FPC_Element(row, std::min(i, row->count - 1));
  return 0.0f;
}

// Component c of the static vector an entry holds at sample i.
float component(const ZF_Entry* entry, uint32_t c, uint32_t i) {
  if (entry->kind == ZF_VALUE) {
    if (entry->type == ZF_FP) return rowElement(&entry->value, ZF_FP, c);
    return rowElement(&entry->value, entry->type, i);
  }
  if (entry->kind == ZF_ARRAY && c < entry->count) {
    return rowElement(&entry->rows[c], entry->type, entry->type == ZF_FP ? 0 : i);
  }
  return 0.0f;
}

}  // namespace

float ZF_FP_At(const ZF_Entry* entry, uint32_t i) { return entry ? component(entry, 0, i) : 0.0f; }

ZF_Float2 ZF_FP2_At(const ZF_Entry* entry, uint32_t i) {
  if (!entry) return {0.0f, 0.0f};
  return {component(entry, 0, i), component(entry, 1, i)};
}

ZF_Float3 ZF_FP3_At(const ZF_Entry* entry, uint32_t i) {
  if (!entry) return {0.0f, 0.0f, 0.0f};
  return {component(entry, 0, i), component(entry, 1, i), component(entry, 2, i)};
}
