// The binary form: big-endian IFF-style chunks inside "FORM" ... "ZRNF".
//
//   NODE  name, then the children's chunks
//   NVAL  name, type, data
//   NARR  name, type, then one AVAL chunk per row (AVAL: row data)
//
// Names are NUL-terminated and padded with NULs to a multiple of 4 bytes.
// Entries point into the image; data words are swapped to host order in
// place (or, when a chunk of odd length has pushed them off their 4-byte
// boundary, in an aligned copy). Every size is checked against its parent and the file before a byte
// it covers is read.
#include "base/zeMessage.h"
#include "zf/zfInternal.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr uint32_t kNode = 0x4E4F4445;   // "NODE"
constexpr uint32_t kValue = 0x4E56414C;  // "NVAL"
constexpr uint32_t kArray = 0x4E415252;  // "NARR"
constexpr uint32_t kRow = 0x4156414C;    // "AVAL"

inline uint32_t readBigEndian(const unsigned char* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return __builtin_bswap32(word);
}

// Big-endian words to host order, in place; the bulk of a binary load.
void swapWords(uint32_t* words, std::size_t count) {
  std::size_t i = 0;
#ifdef __SSE2__
  // Bytes swapped within 16-bit halves, then the halves swapped.
  for (; i + 4 <= count; i += 4) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i));
    x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
    x = _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xB1), 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(words + i), x);
  }
#endif
  for (; i < count; ++i) words[i] = __builtin_bswap32(words[i]);
}

class BinaryParser {
 public:
  BinaryParser(unsigned char* image, std::size_t size, ZfArena* arena)
      : image_(image), size_(size), arena_(arena), builder_(size / 256) {}

  bool run();
  ZfTreeBuilder& builder() { return builder_; }

 private:
  // Reads the NUL-terminated, padded name at `at`; false (with a message) when
  // it has no NUL or its padding does not fit before `end`.
  bool readName(std::size_t at, std::size_t end, const char** name, std::size_t* stored);
  // Converts the data [at, end) of one value or row.
  bool readData(uint32_t type, std::size_t at, std::size_t end, ZF_Row* row, uint32_t* firstMark);

  unsigned char* image_;
  std::size_t size_;
  ZfArena* arena_;  // the document's, for words that are not aligned in the image
  ZfTreeBuilder builder_;
  std::size_t levelEnd_[ZF_MAX_DEPTH + 1];
};

bool BinaryParser::readName(std::size_t at, std::size_t end, const char** name, std::size_t* stored) {
  const void* nul = std::memchr(image_ + at, 0, end - at);
  if (!nul) {
    zeLog("chunk name without NUL at level %d\n", builder_.depth());
    return false;
  }
  const std::size_t length = std::size_t(static_cast<const unsigned char*>(nul) - (image_ + at));
  *stored = length / 4 * 4 + 4;
  if (*stored > end - at) {
    zeLog("chunk too small at level %d\n", builder_.depth());
    return false;
  }
  *name = reinterpret_cast<const char*>(image_ + at);
  return true;
}

bool BinaryParser::readData(uint32_t type, std::size_t at, std::size_t end, ZF_Row* row, uint32_t* firstMark) {
  const std::size_t bytes = end - at;
  if (type == ZF_STR) {
    const void* nul = std::memchr(image_ + at, 0, bytes);
    if (!nul) {
      zeLog("STR value without NUL at level %d\n", builder_.depth());
      return false;
    }
    row->count = uint32_t(static_cast<const unsigned char*>(nul) - (image_ + at));
    row->data = image_ + at;
    return true;
  }
  // Words are used in place when they sit on 4-byte boundaries. After a STR
  // chunk of odd length they do not: those few are copied to aligned storage
  // rather than read unaligned.
  const std::size_t wordCount = bytes / 4;
  uint32_t* words = reinterpret_cast<uint32_t*>(image_ + at);
  if (at % 4 != 0) {
    words = static_cast<uint32_t*>(arena_->allocate(wordCount * 4));
    std::memcpy(words, image_ + at, wordCount * 4);
  }
  swapWords(words, wordCount);
  row->data = words;
  if (type != ZF_FP_C) {
    row->count = uint32_t(wordCount);
    return true;
  }
  std::vector<ZF_FpcMark>& marks = builder_.marks();
  *firstMark = uint32_t(marks.size());
  const char* problem = zfIndexFpcStream(words, wordCount, &marks, &row->count);
  if (problem) {
    zeLog("bad FP_C data at level %d, %s\n", builder_.depth(), problem);
    return false;
  }
  row->markCount = uint32_t(marks.size() - *firstMark);
  return true;
}

bool BinaryParser::run() {
  std::size_t at = 12;
  levelEnd_[0] = size_;
  for (;;) {
    // Close every level that ends here; the file ends with level 0.
    while (at == levelEnd_[builder_.depth()]) {
      if (builder_.depth() == 0) return true;
      builder_.closeNode();
    }
    const int level = builder_.depth();
    const std::size_t levelEnd = levelEnd_[level];
    if (levelEnd - at < 8) {
      zeLog("exceed chunk size at level %d\n", level);
      return false;
    }
    const uint32_t id = readBigEndian(image_ + at);
    const std::size_t chunkEnd = at + 8 + std::size_t(readBigEndian(image_ + at + 4));
    if (chunkEnd > levelEnd) {
      zeLog("exceed chunk size at level %d\n", level);
      return false;
    }
    const std::size_t nameAt = at + 8;
    const char* name = nullptr;
    std::size_t nameSize = 0;
    switch (id) {
      case kNode: {
        if (!readName(nameAt, chunkEnd, &name, &nameSize)) return false;
        if (level >= ZF_MAX_DEPTH) {
          zeLog("exceed nesting depth at level %d\n", level);
          return false;
        }
        builder_.openNode(name);
        levelEnd_[level + 1] = chunkEnd;
        at = nameAt + nameSize;
        break;
      }
      case kValue:
      case kArray: {
        if (!readName(nameAt, chunkEnd, &name, &nameSize)) return false;
        const std::size_t typeAt = nameAt + nameSize;
        if (chunkEnd - typeAt < 4) {
          zeLog("chunk too small at level %d\n", level);
          return false;
        }
        const uint32_t type = readBigEndian(image_ + typeAt);
        std::size_t dataAt = typeAt + 4;
        if (id == kValue) {
          ZF_Row value{};
          uint32_t firstMark = 0;
          if (!readData(type, dataAt, chunkEnd, &value, &firstMark)) return false;
          builder_.addValue(name, type, value, firstMark);
        } else {
          builder_.openArray(name, type);
          while (dataAt < chunkEnd) {
            if (chunkEnd - dataAt < 8) {
              zeLog("exceed array size at level %d\n", level);
              return false;
            }
            const uint32_t rowId = readBigEndian(image_ + dataAt);
            if (rowId != kRow) {
              zeLog("expected AVAL chunk, found 0x%8x\n", rowId);
              return false;
            }
            const std::size_t rowEnd = dataAt + 8 + std::size_t(readBigEndian(image_ + dataAt + 4));
            if (rowEnd > chunkEnd) {
              zeLog("exceed array size at level %d\n", level);
              return false;
            }
            ZF_Row row{};
            uint32_t firstMark = 0;
            if (!readData(type, dataAt + 8, rowEnd, &row, &firstMark)) return false;
            builder_.addRow(row, firstMark);
            dataAt = rowEnd;
          }
        }
        at = chunkEnd;
        break;
      }
      default:
        zeLog("unknown chunk ID 0x%8x\n", id);
        return false;
    }
  }
}

}  // namespace

ZF_Document* ZF_ParseBinary(std::unique_ptr<unsigned char[]> image, std::size_t size) {
  std::unique_ptr<ZF_Document> document(new ZF_Document);
  document->form = ZF_FORM_BINARY;
  BinaryParser parser(image.get(), size, &document->arena);
  if (!parser.run()) return nullptr;
  document->image = std::move(image);
  parser.builder().finish(document.get());
  return document.release();
}
