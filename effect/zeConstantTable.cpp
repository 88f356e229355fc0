#include "effect/zeConstantTable.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace {

// Writes the leaves of `type` (one element when `oneElement`) from `values`.
// `used` counts the floats consumed; stops when they run out.
void writeLeaves(const SZeConstType& type, bool oneElement, int baseRegister, const float* values,
                 int count, int* used, float* registers, int capacity, int* first, int* end) {
  int elementCount = (oneElement || type.elements == 0) ? 1 : int(type.elements);
  for (int e = 0; e < elementCount && *used < count; ++e) {
    int reg = baseRegister + e * int(type.elementRegisters);
    auto put = [&](int r, int component) {
      if (*used >= count) return;
      float v = values[(*used)++];
      if (r < 0 || r >= capacity) return;
      registers[r * 4 + component] = v;
      if (r < *first) *first = r;
      if (r + 1 > *end) *end = r + 1;
    };
    switch (type.cls) {
      case ZE_CLASS_SCALAR:
      case ZE_CLASS_VECTOR:
        for (int c = 0; c < type.columns * type.rows && c < 4; ++c) put(reg, c);
        break;
      case ZE_CLASS_MATRIX_ROWS:
        for (int i = 0; i < type.rows; ++i)
          for (int j = 0; j < type.columns; ++j) put(reg + i, j);
        break;
      case ZE_CLASS_MATRIX_COLUMNS:
        for (int i = 0; i < type.rows; ++i)
          for (int j = 0; j < type.columns; ++j) put(reg + j, i);
        break;
      case ZE_CLASS_STRUCT:
        for (const SZeConstMember& m : type.members)
          writeLeaves(m.type, false, reg + int(m.registerOffset), values, count, used, registers,
                      capacity, first, end);
        break;
      default:
        return;
    }
  }
}

void describeType(const SZeConstType& t, std::string* out) {
  static const char* bases[] = {"void", "bool", "int", "float", "sampler1D", "sampler2D", "sampler3D", "samplerCUBE"};
  if (t.cls == ZE_CLASS_STRUCT) {
    *out += "struct {";
    for (const SZeConstMember& m : t.members) {
      *out += " ";
      describeType(m.type, out);
      *out += " " + m.name + ";";
    }
    *out += " }";
  } else {
    *out += t.base < 8 ? bases[t.base] : "?";
    if (t.cls == ZE_CLASS_VECTOR) *out += std::to_string(t.columns);
    if (t.cls == ZE_CLASS_MATRIX_ROWS || t.cls == ZE_CLASS_MATRIX_COLUMNS) {
      *out = (t.cls == ZE_CLASS_MATRIX_ROWS ? "row_major " : "") + *out;
      *out += std::to_string(t.rows) + "x" + std::to_string(t.columns);
    }
  }
  if (t.elements) *out += "[" + std::to_string(t.elements) + "]";
}

void writeType(const SZeConstType& t, std::string* out) {
  out->push_back(char(t.cls));
  out->push_back(char(t.base));
  out->push_back(char(t.rows));
  out->push_back(char(t.columns));
  zeBinPutU32(out, t.elements);
  zeBinPutU32(out, t.elementRegisters);
  zeBinPutU32(out, uint32_t(t.members.size()));
  for (const SZeConstMember& m : t.members) {
    zeBinPutString(out, m.name);
    zeBinPutU32(out, m.registerOffset);
    writeType(m.type, out);
  }
}

bool readType(const uint8_t** cursor, const uint8_t* end, SZeConstType* t, int depth) {
  if (depth > 16 || end - *cursor < 4) return false;
  t->cls = (*cursor)[0];
  t->base = (*cursor)[1];
  t->rows = (*cursor)[2];
  t->columns = (*cursor)[3];
  *cursor += 4;
  uint32_t memberCount = 0;
  if (t->cls > ZE_CLASS_STRUCT || t->rows > 4 || t->columns > 4) return false;
  if (!zeBinGetU32(cursor, end, &t->elements) || !zeBinGetU32(cursor, end, &t->elementRegisters) ||
      !zeBinGetU32(cursor, end, &memberCount))
    return false;
  if (memberCount > uint32_t(end - *cursor)) return false;  // every member needs bytes
  t->members.resize(memberCount);
  for (SZeConstMember& m : t->members) {
    if (!zeBinGetString(cursor, end, &m.name) || !zeBinGetU32(cursor, end, &m.registerOffset) ||
        !readType(cursor, end, &m.type, depth + 1))
      return false;
  }
  return true;
}

}  // namespace

void zeBinPutU32(std::string* out, uint32_t v) {
  char b[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)};
  out->append(b, 4);
}

void zeBinPutString(std::string* out, const std::string& value) {
  zeBinPutU32(out, uint32_t(value.size()));
  out->append(value);
}

bool zeBinGetU32(const uint8_t** cursor, const uint8_t* end, uint32_t* value) {
  if (end - *cursor < 4) return false;
  const uint8_t* p = *cursor;
  *value = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  *cursor += 4;
  return true;
}

bool zeBinGetString(const uint8_t** cursor, const uint8_t* end, std::string* value) {
  uint32_t size = 0;
  if (!zeBinGetU32(cursor, end, &size) || size > uint32_t(end - *cursor)) return false;
  value->assign(reinterpret_cast<const char*>(*cursor), size);
  *cursor += size;
  return true;
}

bool CZeConstantTable::find(const char* path, SZeConstRef* out) const {
  // Called per constant write while drawing: no allocation here.
  if (!path || !*path) return false;
  const char* p = path;
  auto readName = [&p](const char** name, size_t* length) {
    *name = p;
    while (*p && *p != '.' && *p != '[') ++p;
    *length = size_t(p - *name);
    return *length > 0;
  };
  auto same = [](const std::string& a, const char* b, size_t length) {
    return a.size() == length && std::memcmp(a.data(), b, length) == 0;
  };
  const char* name = nullptr;
  size_t length = 0;
  if (!readName(&name, &length)) return false;
  const SZeConstant* c = nullptr;
  for (const SZeConstant& k : constants)
    if (same(k.name, name, length)) { c = &k; break; }
  if (!c) return false;
  SZeConstRef ref;
  ref.registerSet = c->registerSet;
  ref.registerIndex = c->registerIndex;
  ref.registerCount = c->registerCount;
  ref.type = &c->type;
  ref.isElement = false;
  ref.constantEnd = c->registerIndex + c->registerCount;
  while (*p) {
    if (*p == '[') {
      if (ref.isElement || ref.type->elements == 0) return false;
      char* stop = nullptr;
      long index = std::strtol(p + 1, &stop, 10);
      if (stop == p + 1 || *stop != ']' || index < 0 || index >= long(ref.type->elements)) return false;
      p = stop + 1;
      ref.registerIndex += int32_t(index * ref.type->elementRegisters);
      ref.registerCount = int32_t(ref.type->elementRegisters);
      ref.isElement = true;
      if (ref.registerIndex >= ref.constantEnd) return false;
    } else if (*p == '.') {
      ++p;
      if (ref.type->cls != ZE_CLASS_STRUCT || (ref.type->elements && !ref.isElement)) return false;
      if (!readName(&name, &length)) return false;
      const SZeConstMember* member = nullptr;
      for (const SZeConstMember& m : ref.type->members)
        if (same(m.name, name, length)) { member = &m; break; }
      if (!member) return false;
      ref.registerIndex += int32_t(member->registerOffset);
      ref.type = &member->type;
      ref.registerCount = int32_t(member->type.registerCount());
      ref.isElement = false;
    } else {
      return false;
    }
  }
  if (ref.registerIndex + ref.registerCount > ref.constantEnd) ref.registerCount = ref.constantEnd - ref.registerIndex;
  *out = ref;
  return true;
}

int32_t CZeConstantTable::floatRegisterEnd() const {
  int32_t end = 0;
  for (const SZeConstant& c : constants)
    if (c.registerSet == 'c' && c.registerIndex + c.registerCount > end) end = c.registerIndex + c.registerCount;
  return end;
}

bool CZeConstantTable::writeByName(const char* path, const float* values, int count, float* registers,
                                   int capacity, int* first, int* end) const {
  SZeConstRef ref;
  if (!find(path, &ref) || ref.registerSet != 'c') return false;
  int used = 0;
  *first = capacity;
  *end = 0;
  writeLeaves(*ref.type, ref.isElement, ref.registerIndex, values, count, &used, registers,
              std::min(capacity, int(ref.constantEnd)), first, end);
  if (*end == 0) *first = 0;
  return true;
}

std::string CZeConstantTable::describe() const {
  std::string out;
  char line[512];
  for (const SZeConstant& c : constants) {
    std::string type;
    describeType(c.type, &type);
    std::snprintf(line, sizeof line, "  %-32s %c%-3d %3d  %s\n", c.name.c_str(), c.registerSet, c.registerIndex,
                  c.registerCount, type.c_str());
    out += line;
  }
  return out;
}

void CZeConstantTable::write(std::string* out) const {
  zeBinPutU32(out, uint32_t(constants.size()));
  for (const SZeConstant& c : constants) {
    zeBinPutString(out, c.name);
    out->push_back(c.registerSet);
    zeBinPutU32(out, uint32_t(c.registerIndex));
    zeBinPutU32(out, uint32_t(c.registerCount));
    writeType(c.type, out);
  }
}

bool CZeConstantTable::read(const uint8_t** cursor, const uint8_t* end) {
  uint32_t count = 0;
  constants.clear();
  if (!zeBinGetU32(cursor, end, &count) || count > uint32_t(end - *cursor)) return false;
  constants.resize(count);
  for (SZeConstant& c : constants) {
    uint32_t reg = 0, regs = 0;
    if (!zeBinGetString(cursor, end, &c.name) || *cursor >= end) return false;
    c.registerSet = char(*(*cursor)++);
    if (!zeBinGetU32(cursor, end, &reg) || !zeBinGetU32(cursor, end, &regs) || !readType(cursor, end, &c.type, 0))
      return false;
    if (reg > 4096 || regs > 4096) return false;
    c.registerIndex = int32_t(reg);
    c.registerCount = int32_t(regs);
  }
  return true;
}
