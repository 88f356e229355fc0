// Constant tables in the manner of Direct3D 9: every constant a shader uses owns
// whole float4 registers of its stage's register file (c registers) or one
// sampler index (s registers). Lookup by name understands "a.b", "a[i]" and
// "a[i].b"; writes by name follow the matrix packing of the constant, writes by
// register copy raw float4s. The translator fills a table; the GL side and the
// shader services read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Parameter classes in Direct3D's order.
enum EZeConstClass : uint8_t {
  ZE_CLASS_SCALAR = 0,
  ZE_CLASS_VECTOR = 1,
  ZE_CLASS_MATRIX_ROWS = 2,     // row_major: one register per row
  ZE_CLASS_MATRIX_COLUMNS = 3,  // column_major (the default): one register per column
  ZE_CLASS_OBJECT = 4,          // samplers
  ZE_CLASS_STRUCT = 5,
};

enum EZeConstBase : uint8_t {
  ZE_BASE_VOID = 0,
  ZE_BASE_BOOL = 1,
  ZE_BASE_INT = 2,
  ZE_BASE_FLOAT = 3,
  ZE_BASE_SAMPLER1D = 4,
  ZE_BASE_SAMPLER2D = 5,
  ZE_BASE_SAMPLER3D = 6,
  ZE_BASE_SAMPLERCUBE = 7,
};

struct SZeConstMember;

// A constant's type. rows and columns are those of the HLSL declaration
// (float4x3 is 4 rows, 3 columns).
struct SZeConstType {
  uint8_t cls = ZE_CLASS_VECTOR;
  uint8_t base = ZE_BASE_FLOAT;
  uint8_t rows = 1;
  uint8_t columns = 4;
  uint32_t elements = 0;          // 0: not an array
  uint32_t elementRegisters = 1;  // registers one element owns
  std::vector<SZeConstMember> members;

  uint32_t registerCount() const { return elements ? elements * elementRegisters : elementRegisters; }
};

struct SZeConstMember {
  std::string name;
  uint32_t registerOffset = 0;  // from the start of one element of the struct
  SZeConstType type;
};

struct SZeConstant {
  std::string name;
  char registerSet = 'c';  // 'c' float4 registers, 's' sampler index
  int32_t registerIndex = 0;
  int32_t registerCount = 0;
  SZeConstType type;
};

// What a name resolves to: a whole constant, an element or a member.
struct SZeConstRef {
  char registerSet = 'c';
  int32_t registerIndex = -1;
  int32_t registerCount = 0;
  const SZeConstType* type = nullptr;
  bool isElement = false;  // an element of an array was named: type->elements is ignored
  int32_t constantEnd = 0;  // first register past the whole constant: writes stop there
};

class CZeConstantTable {
 public:
  std::vector<SZeConstant> constants;  // in declaration order

  void clear() { constants.clear(); }
  // Resolves "Name", "Name.member", "Name[3]", "Name[3].member" (nested too).
  // An array may own fewer registers than it declares (only the elements the
  // code reads, as Direct3D 9 allocates); elements past them are not found.
  bool find(const char* path, SZeConstRef* out) const;
  // Highest used c register + 1 (the part of the register file the shader reads).
  int32_t floatRegisterEnd() const;

  // Writes floats by name into a register file of `registerCapacity` float4s,
  // as Direct3D's constant tables do: scalars and vectors fill the first
  // components of their register, matrices are given row after row (the logical
  // HLSL order) and stored by their packing; arrays and structs take their
  // elements and members in order until the floats run out. Returns the range
  // of registers touched ([*first, *end)), false when the name is unknown.
  bool writeByName(const char* path, const float* values, int count, float* registers,
                   int registerCapacity, int* first, int* end) const;

  // Text dump for printConstants: one line per constant.
  std::string describe() const;

  // Binary form, stored in the shader cache. read() checks every size.
  void write(std::string* out) const;
  bool read(const uint8_t** cursor, const uint8_t* end);
};

// Little binary helpers shared by the cache formats.
void zeBinPutU32(std::string* out, uint32_t value);
void zeBinPutString(std::string* out, const std::string& value);
bool zeBinGetU32(const uint8_t** cursor, const uint8_t* end, uint32_t* value);
bool zeBinGetString(const uint8_t** cursor, const uint8_t* end, std::string* value);
