#include "mesh/zeXReader.h"

#include "base/zeNumber.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Binary token numbers of the .x format.
enum : uint16_t {
  T_NAME = 1,
  T_STRING = 2,
  T_INTEGER = 3,
  T_GUID = 5,
  T_INTEGER_LIST = 6,
  T_FLOAT_LIST = 7,
  T_OBRACE = 10,
  T_CBRACE = 11,
  T_COMMA = 19,
  T_SEMICOLON = 20,
  T_TEMPLATE = 31,
};

uint16_t readU16(const char* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

uint32_t readU32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
// Characters that end a name in text files.
inline bool isSpecial(char c) {
  return isSpace(c) || c == '{' || c == '}' || c == ';' || c == ',' || c == '"' || c == '<' || c == '>' ||
         c == '(' || c == ')' || c == '[' || c == ']';
}

}  // namespace

bool zeInflateMszip(const char* data, std::size_t size, uint32_t declared, std::vector<char>* out,
                    std::string* reason) {
  // A block holds at most 32 KiB; anything claiming more than 1 GiB in all is
  // refused before a byte is allocated.
  const uint32_t kMaxBlock = 32768;
  const uint32_t kMaxTotal = 1u << 30;
  if (declared > kMaxTotal) {
    *reason = "compressed file declares " + std::to_string(declared) + " bytes, more than supported";
    return false;
  }
  out->clear();
  out->reserve(std::min<std::size_t>(declared, size * 8 + kMaxBlock));
  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
    *reason = "cannot start the decompressor";
    return false;
  }
  std::size_t pos = 0;
  bool ok = true;
  while (pos < size) {
    if (size - pos < 6) {
      *reason = "compressed block header cut short";
      ok = false;
      break;
    }
    const uint32_t plain = readU16(data + pos);
    const uint32_t packed = readU16(data + pos + 2);
    pos += 4;
    if (packed < 2 || packed > size - pos || data[pos] != 'C' || data[pos + 1] != 'K') {
      *reason = "broken compressed block at byte " + std::to_string(pos + 16);
      ok = false;
      break;
    }
    if (plain == 0 || plain > kMaxBlock || out->size() + plain > declared) {
      *reason = "compressed block size " + std::to_string(plain) + " does not fit the declared size";
      ok = false;
      break;
    }
    // Each block is its own deflate stream that may refer back to the 32 KiB
    // of output before it.
    inflateReset(&stream);
    if (!out->empty()) {
      const std::size_t history = std::min<std::size_t>(out->size(), 32768);
      inflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(out->data() + out->size() - history),
                           static_cast<uInt>(history));
    }
    const std::size_t start = out->size();
    out->resize(start + plain);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data + pos + 2));
    stream.avail_in = packed - 2;
    stream.next_out = reinterpret_cast<Bytef*>(out->data() + start);
    stream.avail_out = plain;
    const int result = inflate(&stream, Z_FINISH);
    if (result != Z_STREAM_END || stream.avail_out != 0) {
      *reason = "compressed block at byte " + std::to_string(pos + 16) + " does not inflate to its size";
      ok = false;
      break;
    }
    pos += packed;
  }
  inflateEnd(&stream);
  if (ok && out->size() != declared && out->size() + 16 != declared) {
    *reason = "compressed data inflates to " + std::to_string(out->size()) + " bytes, declared " +
              std::to_string(declared);
    ok = false;
  }
  return ok;
}

bool CZeXReader::open(const char* data, std::size_t size, std::string* reason) {
  if (size < 16 || std::memcmp(data, "xof ", 4) != 0) {
    *reason = "not a DirectX .x file (no \"xof \" header)";
    return false;
  }
  const char* format = data + 8;
  const char* floatSize = data + 12;
  if (std::memcmp(floatSize, "0032", 4) == 0)
    Doubles = false;
  else if (std::memcmp(floatSize, "0064", 4) == 0)
    Doubles = true;
  else {
    *reason = "unknown float size in the header";
    return false;
  }
  bool compressed = false;
  if (std::memcmp(format, "txt ", 4) == 0)
    Binary = false;
  else if (std::memcmp(format, "bin ", 4) == 0)
    Binary = true;
  else if (std::memcmp(format, "tzip", 4) == 0)
    Binary = false, compressed = true;
  else if (std::memcmp(format, "bzip", 4) == 0)
    Binary = true, compressed = true;
  else {
    *reason = "unknown format in the header";
    return false;
  }
  ListLeft = 0;
  CountedUpTo = nullptr;
  if (compressed) {
    if (size < 20) {
      *reason = "compressed file cut short";
      return false;
    }
    if (!zeInflateMszip(data + 20, size - 20, readU32(data + 16), &Inflated, reason)) return false;
    Begin = Inflated.data();
    Pos = Begin;
    End = Begin + Inflated.size();
  } else {
    Begin = data + 16;
    Pos = Begin;
    End = data + size;
  }
  return true;
}

std::size_t CZeXReader::position() const {
  if (Binary) return static_cast<std::size_t>(Pos - Begin) + 16;
  if (!CountedUpTo || CountedUpTo > Pos) {
    CountedUpTo = Begin;
    CountedLines = 1;
  }
  for (; CountedUpTo < Pos; ++CountedUpTo)
    if (*CountedUpTo == '\n') ++CountedLines;
  return CountedLines;
}

// --- Binary -------------------------------------------------------------------

bool CZeXReader::readBinaryToken(uint16_t* token) {
  if (End - Pos < 2) return false;
  *token = readU16(Pos);
  Pos += 2;
  return true;
}

bool CZeXReader::skipBinaryPayload(uint16_t token) {
  std::size_t left = End - Pos;
  switch (token) {
    case T_NAME:
    case T_STRING: {
      if (left < 4) return false;
      const uint32_t count = readU32(Pos);
      if (count > left - 4) return false;
      Pos += 4 + count;
      return true;
    }
    case T_INTEGER:
      if (left < 4) return false;
      Pos += 4;
      return true;
    case T_GUID:
      if (left < 16) return false;
      Pos += 16;
      return true;
    case T_INTEGER_LIST:
    case T_FLOAT_LIST: {
      if (left < 4) return false;
      const uint64_t count = readU32(Pos);
      const uint64_t itemSize = token == T_FLOAT_LIST && Doubles ? 8 : 4;
      if (count * itemSize > left - 4) return false;
      Pos += 4 + count * itemSize;
      return true;
    }
    default:
      return true;
  }
}

// --- Text ---------------------------------------------------------------------

// Skips white space, separators and comments. Returns true when a ';' was seen.
bool CZeXReader::textSkipSpace() {
  bool semicolon = false;
  while (Pos < End) {
    const char c = *Pos;
    if (isSpace(c) || c == ',') {
      ++Pos;
    } else if (c == ';') {
      semicolon = true;
      ++Pos;
    } else if (c == '#' || (c == '/' && End - Pos > 1 && Pos[1] == '/')) {
      while (Pos < End && *Pos != '\n') ++Pos;
    } else {
      break;
    }
  }
  return semicolon;
}

bool CZeXReader::textNumberStart() const {
  const char c = *Pos;
  return isDigit(c) || c == '-' || c == '+' || (c == '.' && End - Pos > 1 && isDigit(Pos[1]));
}

// --- Shared -------------------------------------------------------------------

bool CZeXReader::skipSeparators() {
  if (!Binary) return textSkipSpace();
  if (ListLeft) return false;
  bool semicolon = false;
  while (End - Pos >= 2) {
    const uint16_t token = readU16(Pos);
    if (token == T_SEMICOLON)
      semicolon = true;
    else if (token != T_COMMA)
      break;
    Pos += 2;
  }
  return semicolon;
}

CZeXReader::Kind CZeXReader::peek() {
  if (Binary) {
    if (ListLeft) return K_NUMBER;
    for (;;) {
      skipSeparators();
      if (End - Pos < 2) return K_END;
      const uint16_t token = readU16(Pos);
      switch (token) {
        case T_NAME:
        case T_TEMPLATE:
          return K_NAME;
        case T_STRING:
          return K_STRING;
        case T_INTEGER:
          return K_NUMBER;
        case T_INTEGER_LIST:
        case T_FLOAT_LIST:
          // An empty list carries no number: step over it.
          if (End - Pos >= 6 && readU32(Pos + 2) == 0) {
            Pos += 6;
            continue;
          }
          return K_NUMBER;
        case T_OBRACE:
          return K_OPEN;
        case T_CBRACE:
          return K_CLOSE;
        default:
          return K_OTHER;
      }
    }
  }
  textSkipSpace();
  if (Pos >= End) return K_END;
  const char c = *Pos;
  if (c == '{') return K_OPEN;
  if (c == '}') return K_CLOSE;
  if (c == '"') return K_STRING;
  if (textNumberStart()) return K_NUMBER;
  if (isSpecial(c)) return K_OTHER;
  return K_NAME;
}

bool CZeXReader::readName(std::string* name) {
  if (peek() != K_NAME) return false;
  if (Binary) {
    uint16_t token = 0;
    readBinaryToken(&token);
    if (token == T_TEMPLATE) {
      *name = "template";
      return true;
    }
    if (End - Pos < 4) return false;
    const uint32_t count = readU32(Pos);
    if (count > static_cast<std::size_t>(End - Pos - 4)) return false;
    name->assign(Pos + 4, count);
    Pos += 4 + count;
    return true;
  }
  const char* start = Pos;
  while (Pos < End && !isSpecial(*Pos)) ++Pos;
  name->assign(start, Pos - start);
  return true;
}

bool CZeXReader::readOptionalName(std::string* name) {
  name->clear();
  if (Binary) return peek() == K_NAME ? readName(name) : true;
  textSkipSpace();
  // An instance name may begin with a digit: anything up to the brace.
  const char* start = Pos;
  while (Pos < End && !isSpecial(*Pos)) ++Pos;
  name->assign(start, Pos - start);
  return true;
}

// Starts the next binary number: a lone integer (in *loneValue) or a list
// whose items the callers then take one at a time. Sizes are checked here.
bool CZeXReader::openBinaryNumber(bool* lone, uint32_t* loneValue) {
  if (peek() != K_NUMBER) return false;
  uint16_t token = 0;
  readBinaryToken(&token);
  if (End - Pos < 4) return false;
  if (token == T_INTEGER) {
    *loneValue = readU32(Pos);
    Pos += 4;
    *lone = true;
    return true;
  }
  if (token != T_INTEGER_LIST && token != T_FLOAT_LIST) return false;
  const uint64_t count = readU32(Pos);
  const uint64_t itemSize = token == T_FLOAT_LIST && Doubles ? 8 : 4;
  if (count * itemSize > static_cast<uint64_t>(End - Pos - 4)) return false;
  Pos += 4;
  ListLeft = static_cast<uint32_t>(count);
  ListIsFloat = token == T_FLOAT_LIST;
  *lone = false;
  return true;
}

bool CZeXReader::readUInt(uint32_t* value) {
  if (Binary) {
    if (!ListLeft) {
      bool lone = false;
      if (!openBinaryNumber(&lone, value)) return false;
      if (lone) return true;
    }
    if (ListIsFloat) return false;
    *value = readU32(Pos);
    Pos += 4;
    --ListLeft;
    return true;
  }
  textSkipSpace();
  if (Pos >= End) return false;
  bool negative = false;
  if (*Pos == '-' || *Pos == '+') {
    negative = *Pos == '-';
    ++Pos;
  }
  if (Pos >= End || !isDigit(*Pos)) return false;
  uint64_t number = 0;
  while (Pos < End && isDigit(*Pos)) {
    number = number * 10 + static_cast<unsigned>(*Pos - '0');
    if (number > 0xFFFFFFFFull) return false;
    ++Pos;
  }
  // Some writers print integers as "3.000000".
  if (Pos < End && *Pos == '.') {
    ++Pos;
    while (Pos < End && isDigit(*Pos)) ++Pos;
  }
  *value = negative ? static_cast<uint32_t>(-static_cast<int64_t>(number)) : static_cast<uint32_t>(number);
  return true;
}

bool CZeXReader::readFloat(float* value) {
  if (Binary) {
    if (!ListLeft) {
      bool lone = false;
      uint32_t loneValue = 0;
      if (!openBinaryNumber(&lone, &loneValue)) return false;
      if (lone) {
        *value = static_cast<float>(static_cast<int32_t>(loneValue));
        return true;
      }
    }
    if (ListIsFloat && Doubles) {
      double d;
      std::memcpy(&d, Pos, 8);
      *value = static_cast<float>(d);
      Pos += 8;
    } else if (ListIsFloat) {
      std::memcpy(value, Pos, 4);
      Pos += 4;
    } else {
      *value = static_cast<float>(static_cast<int32_t>(readU32(Pos)));
      Pos += 4;
    }
    --ListLeft;
    return true;
  }
  textSkipSpace();
  if (Pos >= End) return false;
  // The engine's one decimal parser reads the number, correctly rounded as
  // in every other text reader. A number starts with a digit or a point
  // here (after its sign): "inf" and "nan" are not numbers in .x text.
  const char* digits = Pos + (*Pos == '-' || *Pos == '+');
  if (digits >= End || !(isDigit(*digits) || *digits == '.')) return false;
  const char* p = zeParseFloat(Pos, End, value);
  if (p == Pos) return false;
  if (p < End && *p == '#') {
    // "1.#QNAN0", "-1.#IND00", "1.#INF00": printed non-numbers read as 0.
    while (p < End && !isSpecial(*p)) ++p;
    *value = 0.0f;
  }
  Pos = p;
  return true;
}

bool CZeXReader::readString(std::string* value) {
  if (peek() != K_STRING) return false;
  if (Binary) {
    uint16_t token = 0;
    readBinaryToken(&token);
    if (End - Pos < 4) return false;
    const uint32_t count = readU32(Pos);
    if (count > static_cast<std::size_t>(End - Pos - 4)) return false;
    value->assign(Pos + 4, count);
    Pos += 4 + count;
    // Some writers count the terminating zero.
    while (!value->empty() && value->back() == '\0') value->pop_back();
    return true;
  }
  const char* start = ++Pos;
  while (Pos < End && *Pos != '"') ++Pos;
  if (Pos >= End) return false;
  value->assign(start, Pos - start);
  ++Pos;
  return true;
}

bool CZeXReader::readOpen() {
  if (peek() != K_OPEN) return false;
  Pos += Binary ? 2 : 1;
  return true;
}

bool CZeXReader::readClose() {
  if (peek() != K_CLOSE) return false;
  Pos += Binary ? 2 : 1;
  return true;
}

void CZeXReader::skipGuid() {
  if (Binary) {
    if (ListLeft) return;
    skipSeparators();
    if (End - Pos >= 18 && readU16(Pos) == T_GUID) Pos += 18;
    return;
  }
  textSkipSpace();
  if (Pos < End && *Pos == '<') {
    const char* close = static_cast<const char*>(std::memchr(Pos, '>', End - Pos));
    Pos = close ? close + 1 : End;
  }
}

bool CZeXReader::skipToClose() {
  int depth = 0;
  if (Binary) {
    // Numbers left in a list belong to the object being skipped.
    if (ListLeft) {
      const std::size_t itemSize = ListIsFloat && Doubles ? 8 : 4;
      Pos += static_cast<std::size_t>(ListLeft) * itemSize;
      ListLeft = 0;
    }
    uint16_t token = 0;
    while (readBinaryToken(&token)) {
      if (token == T_OBRACE) {
        ++depth;
      } else if (token == T_CBRACE) {
        if (depth == 0) return true;
        --depth;
      } else if (!skipBinaryPayload(token)) {
        return false;
      }
    }
    return false;
  }
  while (Pos < End) {
    const char c = *Pos++;
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (depth == 0) return true;
      --depth;
    } else if (c == '"') {
      while (Pos < End && *Pos != '"') ++Pos;
      if (Pos < End) ++Pos;
    } else if (c == '#' || (c == '/' && Pos < End && *Pos == '/')) {
      while (Pos < End && *Pos != '\n') ++Pos;
    }
  }
  return false;
}
