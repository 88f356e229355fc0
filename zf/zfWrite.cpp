// Writers of the text and binary forms.
#include "zf/zfWrite.h"

#include "base/zeMessage.h"
#include "base/zeSafeWrite.h"
#include "zf/zfNumber.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace {

const char* const kTypeSpellings[] = {"I4", "U4", "FP", "STR", "FP_C"};

inline const uint32_t* wordsOf(const ZF_Row* row) { return static_cast<const uint32_t*>(row->data); }

// --- Text ---------------------------------------------------------------------------

class TextWriter {
 public:
  explicit TextWriter(std::string* out) : out_(out) {}
  bool writeChildren(const ZF_Entry* node, int depth);

 private:
  bool fail(const char* why, const char* name) {
    zeLog("ZF text writer: %s (%s)\n", why, name);
    return false;
  }
  void indent(int depth) { out_->append(std::size_t(depth) * 2, ' '); }
  bool writeEntry(const ZF_Entry* entry, int depth);
  bool writeElements(const ZF_Entry* entry, uint32_t type, const ZF_Row* row);
  void writeFloat(uint32_t word) {
    float value;
    std::memcpy(&value, &word, sizeof value);
    char buffer[32];
    out_->append(buffer, std::size_t(zfFormatFloat(value, buffer)));
  }

  std::string* out_;
};

// A name is one token that the reader cannot take for a node, a closing
// brace or a comment.
bool nameFitsText(const char* name, bool node) {
  if (!name[0]) return false;
  if (!node && std::strchr("{}#/", name[0])) return false;
  for (const char* c = name; *c; ++c) {
    if (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') return false;
  }
  return true;
}

bool TextWriter::writeChildren(const ZF_Entry* node, int depth) {
  for (uint32_t i = 0; i < node->count; ++i) {
    if (!writeEntry(node->children[i], depth)) return false;
  }
  return true;
}

bool TextWriter::writeEntry(const ZF_Entry* entry, int depth) {
  if (entry->kind == ZF_NODE) {
    if (!nameFitsText(entry->name, true)) return fail("node name not writable as text", entry->name);
    if (depth >= 19) return fail("nodes nested deeper than 19 levels", entry->name);
    indent(depth);
    *out_ += "{ ";
    *out_ += entry->name;
    *out_ += '\n';
    if (!writeChildren(entry, depth + 1)) return false;
    indent(depth);
    *out_ += "}\n";
    return true;
  }
  if (!nameFitsText(entry->name, false)) return fail("name not writable as text", entry->name);
  if (entry->type > ZF_FP_C) return fail("value type without a text spelling", entry->name);
  indent(depth);
  *out_ += entry->name;
  *out_ += ' ';
  *out_ += kTypeSpellings[entry->type];
  *out_ += ' ';
  if (entry->kind == ZF_VALUE) {
    if (!writeElements(entry, entry->type, &entry->value)) return false;
    *out_ += '\n';
    return true;
  }
  *out_ += "[\n";
  for (uint32_t r = 0; r < entry->count; ++r) {
    indent(depth + 1);
    if (!writeElements(entry, entry->type, &entry->rows[r])) return false;
    *out_ += '\n';
  }
  indent(depth);
  *out_ += "]\n";
  return true;
}

bool TextWriter::writeElements(const ZF_Entry* entry, uint32_t type, const ZF_Row* row) {
  if (type == ZF_STR) {
    const char* text = static_cast<const char*>(row->data);
    if (std::memchr(text, '\r', row->count) || std::memchr(text, '\n', row->count)) {
      return fail("text with a line break", entry->name);
    }
    // Always quoted: the quotes keep leading and trailing blanks and any
    // first character that would otherwise mean something.
    *out_ += '"';
    out_->append(text, row->count);
    *out_ += '"';
    return true;
  }
  // An empty stream still needs a token to be a value line; one empty
  // record is the only spelling the reader takes for it.
  if (type == ZF_FP_C && row->count == 0) {
    *out_ += "DAT 0";
    return true;
  }
  if (row->count == 0) return fail("empty element list", entry->name);
  const uint32_t* words = wordsOf(row);
  char buffer[32];
  if (type == ZF_FP_C) {
    for (uint32_t m = 0; m < row->markCount; ++m) {
      const uint32_t* record = words + row->marks[m].word;
      const bool run = record[0] == ZF_FPC_RUN;
      if (m) *out_ += ' ';
      *out_ += run ? "RUN " : "DAT ";
      out_->append(buffer, std::size_t(std::snprintf(buffer, sizeof buffer, "%u", record[1])));
      const uint32_t values = run ? 1 : record[1];
      for (uint32_t v = 0; v < values; ++v) {
        *out_ += ' ';
        writeFloat(record[2 + v]);
      }
    }
    return true;
  }
  for (uint32_t i = 0; i < row->count; ++i) {
    if (i) *out_ += ' ';
    if (type == ZF_FP) {
      writeFloat(words[i]);
    } else {
      const char* format = type == ZF_I4 ? "%d" : "%u";
      out_->append(buffer, std::size_t(std::snprintf(buffer, sizeof buffer, format, words[i])));
    }
  }
  return true;
}

// --- Binary ---------------------------------------------------------------------

class BinaryWriter {
 public:
  explicit BinaryWriter(std::string* out) : out_(out) {}
  bool writeChildren(const ZF_Entry* node);
  // Sets the size word of the chunk that starts at `chunk`.
  bool closeChunk(std::size_t chunk, const char* name);
  void word(uint32_t value) {
    const uint32_t big = __builtin_bswap32(value);
    out_->append(reinterpret_cast<const char*>(&big), 4);
  }

 private:
  bool writeEntry(const ZF_Entry* entry);
  std::size_t openChunk(const char* id, const char* name);
  void writeData(uint32_t type, const ZF_Row* row);
  void appendWords(const uint32_t* words, std::size_t count);

  std::string* out_;
};

std::size_t BinaryWriter::openChunk(const char* id, const char* name) {
  const std::size_t chunk = out_->size();
  out_->append(id, 4);
  word(0);
  if (name) {
    // NUL-terminated and padded with NULs to a multiple of 4 bytes.
    const std::size_t length = std::strlen(name);
    out_->append(name, length);
    out_->append(length / 4 * 4 + 4 - length, '\0');
  }
  return chunk;
}

bool BinaryWriter::closeChunk(std::size_t chunk, const char* name) {
  const std::size_t size = out_->size() - chunk - 8;
  if (size > std::numeric_limits<uint32_t>::max()) {
    zeLog("ZF binary writer: chunk larger than 4 GB (%s)\n", name);
    return false;
  }
  const uint32_t big = __builtin_bswap32(uint32_t(size));
  std::memcpy(&(*out_)[chunk + 4], &big, 4);
  return true;
}

void BinaryWriter::writeData(uint32_t type, const ZF_Row* row) {
  if (type == ZF_STR) {
    // The text, its NUL, and NULs up to the next 4-byte boundary so that the
    // chunks after it keep their words aligned.
    out_->append(static_cast<const char*>(row->data), row->count);
    out_->append(row->count / 4 * 4 + 4 - row->count, '\0');
    return;
  }
  const uint32_t* words = wordsOf(row);
  if (type != ZF_FP_C) {
    appendWords(words, row->count);
    return;
  }
  // Record by record through the index, so that empty records are left out.
  for (uint32_t m = 0; m < row->markCount; ++m) {
    const uint32_t* record = words + row->marks[m].word;
    appendWords(record, record[0] == ZF_FPC_RUN ? 3 : std::size_t(record[1]) + 2);
  }
}

void BinaryWriter::appendWords(const uint32_t* words, std::size_t count) {
  const std::size_t at = out_->size();
  out_->resize(at + count * 4);
  char* target = &(*out_)[at];
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t big = __builtin_bswap32(words[i]);
    std::memcpy(target + i * 4, &big, 4);
  }
}

bool BinaryWriter::writeChildren(const ZF_Entry* node) {
  for (uint32_t i = 0; i < node->count; ++i) {
    if (!writeEntry(node->children[i])) return false;
  }
  return true;
}

bool BinaryWriter::writeEntry(const ZF_Entry* entry) {
  if (entry->kind == ZF_NODE) {
    const std::size_t chunk = openChunk("NODE", entry->name);
    return writeChildren(entry) && closeChunk(chunk, entry->name);
  }
  if (entry->kind == ZF_VALUE) {
    const std::size_t chunk = openChunk("NVAL", entry->name);
    word(entry->type);
    writeData(entry->type, &entry->value);
    return closeChunk(chunk, entry->name);
  }
  const std::size_t chunk = openChunk("NARR", entry->name);
  word(entry->type);
  for (uint32_t r = 0; r < entry->count; ++r) {
    const std::size_t row = openChunk("AVAL", nullptr);
    writeData(entry->type, &entry->rows[r]);
    if (!closeChunk(row, entry->name)) return false;
  }
  return closeChunk(chunk, entry->name);
}

}  // namespace

bool ZF_WriteText(const ZF_Entry* root, std::string* out) {
  out->assign("# ZF text document\n");
  TextWriter writer(out);
  return root && writer.writeChildren(root, 0);
}

bool ZF_WriteBinary(const ZF_Entry* root, std::string* out) {
  out->clear();
  BinaryWriter writer(out);
  out->append("FORM", 4);
  writer.word(0);
  out->append("ZRNF", 4);
  return root && writer.writeChildren(root) && writer.closeChunk(0, "FORM");
}

bool ZF_WriteFile(const char* path, const std::string& contents) {
  // Through a temporary file: a failed write leaves the old file whole, even
  // when it is the document being converted.
  if (zeWriteFileSafely(path, contents.data(), contents.size()) != ZE_WRITE_DONE) {
    zeLog("cannot write %s\n", path);
    return false;
  }
  return true;
}
