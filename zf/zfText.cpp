// The text form: one declaration per line.
//
//   { Name              opens a node (closed by a line starting with "}")
//   name TYPE text      a value; TYPE is I4, U4, FP, STR or FP_C
//   name TYPE [         an array: one row per line until a line starting "]"
//   # or //             comment lines, also between array rows
//
// The text is read once, line by line; values are converted as they are met
// and copied into the document's arena, and FP_C streams are checked and
// indexed on the way. A file is parsed as it is read, in pieces that end at
// a line end, through one small buffer that stays in the cache: reading a
// whole file into fresh memory first cost more than parsing it.
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "zf/zfInternal.h"
#include "zf/zfNumber.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

namespace {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
inline bool isLineEnd(char c) { return c == '\n' || c == '\r' || c == '\0'; }
inline bool isTokenEnd(char c) { return isBlank(c) || isLineEnd(c); }

const char* const kTypeSpellings[] = {"I4", "U4", "FP", "STR", "FP_C"};

class TextParser {
 public:
  TextParser(std::size_t size, ZF_Document* document) : document_(document), builder_(size / 48) {}

  // Parses the lines of [begin, end), where *end is a NUL and `end` is a line
  // end: the end of the text, or just past a CR or LF. A piece that follows
  // another continues its run of CR and LF, which is not a new line.
  bool feed(const char* begin, const char* end, bool continuation) {
    p_ = begin;
    end_ = end;
    if (continuation) {
      while (p_ < end_ && (*p_ == '\r' || *p_ == '\n')) ++p_;
    }
    return run();
  }
  ZfTreeBuilder& builder() { return builder_; }

 private:
  bool run();

  const char* skipBlanks(const char* s) const {
    while (isBlank(*s)) ++s;
    return s;
  }
  const char* tokenEnd(const char* s) const {
    while (!isTokenEnd(*s)) ++s;
    return s;
  }
  const char* lineEnd(const char* s) const {
    while (!isLineEnd(*s)) ++s;
    return s;
  }
  const char* copyText(const char* begin, std::size_t length) {
    char* text = static_cast<char*>(document_->arena.allocate(length + 1));
    std::memcpy(text, begin, length);
    text[length] = '\0';
    return text;
  }
  // A number token the type cannot take (at most 40 of its characters are shown).
  bool badNumber(ZfNumberRead read, const char* type, const char* token, const char* tokenEnd) {
    const int shown = int(std::min<std::ptrdiff_t>(tokenEnd - token, 40));
    if (read == ZF_NUMBER_RANGE) {
      zeLog("line %d: %s value out of range %.*s\n", line_, type, shown, token);
    } else {
      zeLog("line %d: bad %s value %.*s\n", line_, type, shown, token);
    }
    return false;
  }
  bool invalidLine(const char* why) {
    zeLog("%s", why);
    zeLog("line %d: Invalid line\n", line_);
    return false;
  }
  // Converts the text from p_ to the line end by `type` into *row (and, for
  // FP_C, into marks starting at *firstMark). Leaves p_ at the line end.
  bool convert(uint32_t type, ZF_Row* row, uint32_t* firstMark);
  bool convertWords(uint32_t type, ZF_Row* row);
  bool convertStream(ZF_Row* row, uint32_t* firstMark);
  void convertText(ZF_Row* row);

  const char* p_ = nullptr;
  const char* end_ = nullptr;
  ZF_Document* document_;
  ZfTreeBuilder builder_;
  std::vector<uint32_t> words_;  // scratch for one element list
  int line_ = 1;
  bool arrayOpen_ = false;
  uint32_t arrayType_ = 0;
};

bool TextParser::run() {
  while (p_ < end_) {
    const char* s = skipBlanks(p_);
    const char c = *s;
    if (isLineEnd(c) || c == '#' || c == '/') {
      p_ = lineEnd(s);
    } else if (arrayOpen_) {
      if (c == ']') {
        arrayOpen_ = false;
        p_ = lineEnd(s);
      } else {
        p_ = s;
        ZF_Row row{};
        uint32_t firstMark = 0;
        if (!convert(arrayType_, &row, &firstMark)) return false;
        builder_.addRow(row, firstMark);
      }
    } else if (c == '}') {
      if (builder_.depth() == 0) {
        zeLog("line %d: too many }\n", line_);
        return false;
      }
      builder_.closeNode();
      p_ = lineEnd(s);
    } else {
      const char* first = s;
      const char* firstEnd = tokenEnd(first);
      const char* second = skipBlanks(firstEnd);
      if (isLineEnd(*second)) return invalidLine("Line does not have enough token\n");
      const char* secondEnd = tokenEnd(second);
      if (*first == '{') {
        if (builder_.depth() >= ZF_MAX_DEPTH) {
          zeLog("line %d: too many {\n", line_);
          return false;
        }
        builder_.openNode(copyText(second, std::size_t(secondEnd - second)));
        p_ = lineEnd(secondEnd);
      } else {
        const char* third = skipBlanks(secondEnd);
        if (isLineEnd(*third)) return invalidLine("Line value does not have enough token\n");
        const std::size_t typeLength = std::size_t(secondEnd - second);
        uint32_t type = 0;
        while (type < 5 && !(std::strlen(kTypeSpellings[type]) == typeLength &&
                             std::memcmp(kTypeSpellings[type], second, typeLength) == 0)) {
          ++type;
        }
        if (type == 5) {
          zeLog("line %d: unknown value type %.*s\n", line_, int(typeLength), second);
          return false;
        }
        const char* name = copyText(first, std::size_t(firstEnd - first));
        if (*third == '[') {
          builder_.openArray(name, type);
          arrayOpen_ = true;
          arrayType_ = type;
          p_ = lineEnd(third);
        } else {
          p_ = third;
          ZF_Row value{};
          uint32_t firstMark = 0;
          if (!convert(type, &value, &firstMark)) return false;
          builder_.addValue(name, type, value, firstMark);
        }
      }
    }
    // p_ is at the line end: a NUL there before the image end is a stray byte.
    if (*p_ == '\0' && p_ < end_) {
      zeLog("line %d: NUL byte in text\n", line_);
      return false;
    }
    while (*p_ == '\r' || *p_ == '\n') ++p_;
    ++line_;
  }
  return true;
}

bool TextParser::convert(uint32_t type, ZF_Row* row, uint32_t* firstMark) {
  switch (type) {
    case ZF_STR:
      convertText(row);
      return true;
    case ZF_FP_C:
      return convertStream(row, firstMark);
    default:
      return convertWords(type, row);
  }
}

void TextParser::convertText(ZF_Row* row) {
  const char* begin = p_;
  const char* end = lineEnd(begin);
  p_ = end;
  if (*begin == '"') {
    ++begin;
    const char* last = end;
    while (last > begin && isBlank(last[-1])) --last;
    if (last > begin && last[-1] == '"') end = last - 1;
  }
  row->count = uint32_t(end - begin);
  row->data = copyText(begin, std::size_t(end - begin));
}

bool TextParser::convertWords(uint32_t type, ZF_Row* row) {
  words_.clear();
  const char* s = p_;
  while (!isLineEnd(*s)) {
    const char* e;
    uint32_t word;
    ZfNumberRead read;
    if (type == ZF_FP) {
      float value;
      read = zfParseFloatToken(s, end_, &value, &e) ? ZF_NUMBER_OK : ZF_NUMBER_BAD;
      std::memcpy(&word, &value, sizeof word);
    } else {
      e = tokenEnd(s);
      int32_t signedWord = 0;
      read = type == ZF_I4 ? zfReadI4(s, e, &signedWord) : zfReadU4(s, e, &word);
      if (type == ZF_I4) word = uint32_t(signedWord);
    }
    if (read != ZF_NUMBER_OK) return badNumber(read, kTypeSpellings[type], s, e);
    words_.push_back(word);
    s = skipBlanks(e);
  }
  p_ = s;
  const std::size_t bytes = words_.size() * sizeof(uint32_t);
  void* data = document_->arena.allocate(bytes);
  if (bytes) std::memcpy(data, words_.data(), bytes);
  row->count = uint32_t(words_.size());
  row->data = data;
  return true;
}

bool TextParser::convertStream(ZF_Row* row, uint32_t* firstMark) {
  std::vector<ZF_FpcMark>& marks = builder_.marks();
  *firstMark = uint32_t(marks.size());
  words_.clear();
  uint64_t total = 0;
  const char* s = p_;
  const char* problem = nullptr;
  while (!isLineEnd(*s)) {
    const char* e = tokenEnd(s);
    const std::size_t length = std::size_t(e - s);
    uint32_t tag;
    if (length == 3 && std::memcmp(s, "RUN", 3) == 0) {
      tag = ZF_FPC_RUN;
    } else if (length == 3 && std::memcmp(s, "DAT", 3) == 0) {
      tag = ZF_FPC_DAT;
    } else {
      problem = "RUN or DAT expected";
      break;
    }
    s = skipBlanks(e);
    if (isLineEnd(*s)) {
      problem = "record without count";
      break;
    }
    e = tokenEnd(s);
    uint32_t n = 0;
    const ZfNumberRead read = zfReadCount(s, e, &n);
    if (read == ZF_NUMBER_BAD) {
      problem = "count is not a number";
      break;
    }
    if (read == ZF_NUMBER_RANGE || total + n > std::numeric_limits<uint32_t>::max()) {
      problem = "more than 4294967295 samples";
      break;
    }
    // An empty record is kept in the words but not indexed (see the binary form).
    if (n) marks.push_back({uint32_t(total), uint32_t(words_.size())});
    total += n;
    words_.push_back(tag);
    words_.push_back(uint32_t(n));
    s = skipBlanks(e);
    const uint32_t values = tag == ZF_FPC_RUN ? 1 : n;
    for (uint32_t v = 0; v < values; ++v) {
      if (isLineEnd(*s)) {
        problem = tag == ZF_FPC_RUN ? "RUN without value" : "DAT count larger than its data";
        break;
      }
      float value;
      if (!zfParseFloatToken(s, end_, &value, &e)) {
        problem = "value is not a number";
        break;
      }
      uint32_t word;
      std::memcpy(&word, &value, sizeof word);
      words_.push_back(word);
      s = skipBlanks(e);
    }
    if (problem) break;
  }
  if (problem) {
    // The token at fault, where there is one, helps find it in a long line.
    const char* e = tokenEnd(s);
    if (e > s) {
      zeLog("line %d: bad FP_C data, %s: %.*s\n", line_, problem, int(std::min<std::ptrdiff_t>(e - s, 40)), s);
    } else {
      zeLog("line %d: bad FP_C data, %s\n", line_, problem);
    }
    return false;
  }
  p_ = s;
  const std::size_t bytes = words_.size() * sizeof(uint32_t);
  void* data = document_->arena.allocate(bytes);
  std::memcpy(data, words_.data(), bytes);
  row->count = uint32_t(total);
  row->markCount = uint32_t(marks.size() - *firstMark);
  row->data = data;
  return true;
}

}  // namespace

ZF_Document* ZF_ParseText(std::unique_ptr<unsigned char[]> image, std::size_t size) {
  std::unique_ptr<ZF_Document> document(new ZF_Document);
  document->form = ZF_FORM_TEXT;
  TextParser parser(size, document.get());
  const char* text = reinterpret_cast<const char*>(image.get());
  if (!parser.feed(text, text + size, false)) return nullptr;
  // Nodes and an array still open at the end are closed as they stand.
  parser.builder().finish(document.get());
  return document.release();
}

ZF_Document* ZF_ParseTextFile(ZeFile* file, std::size_t size) {
  std::unique_ptr<ZF_Document> document(new ZF_Document);
  document->form = ZF_FORM_TEXT;
  TextParser parser(size, document.get());
  // 256 KB pieces stay in the cache between the read and the parse; the
  // buffer grows only for a line longer than itself. One byte is kept for
  // the NUL after each piece.
  std::vector<char> buffer(std::size_t(256) << 10);
  std::size_t held = 0;
  std::size_t left = size;
  bool continuation = false;
  for (;;) {
    const std::size_t room = buffer.size() - 1 - held;
    const std::size_t want = std::min(room, left);
    if (want) {
      const std::size_t got = zeFileRead(buffer.data() + held, 1, want, file);
      if (got != want) return nullptr;  // the file shrank while being read
      held += got;
      left -= got;
    }
    const bool last = left == 0;
    // Up to the last line end, unless this is the end of the text.
    std::size_t cut = held;
    if (!last) {
      while (cut > 0 && buffer[cut - 1] != '\n' && buffer[cut - 1] != '\r') --cut;
      if (cut == 0) {
        buffer.resize(buffer.size() * 2);
        continue;
      }
    }
    const char saved = buffer[cut];
    buffer[cut] = '\0';
    if (!parser.feed(buffer.data(), buffer.data() + cut, continuation)) return nullptr;
    buffer[cut] = saved;
    if (last) break;
    continuation = true;
    held -= cut;
    std::memmove(buffer.data(), buffer.data() + cut, held);
  }
  parser.builder().finish(document.get());
  return document.release();
}
