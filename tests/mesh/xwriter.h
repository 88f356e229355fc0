// A small .x writer for tests: a tree of data objects written as text, binary,
// or either of them MSZIP-compressed, so one object can be read in every form.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct XItem {
  enum Kind { Int, Float, String, Sep } kind = Int;
  uint32_t i = 0;
  float f = 0;
  std::string s;
  char sep = ';';
};

struct XObj {
  std::string type;
  std::string name;
  std::vector<XItem> items;
  std::vector<XObj> children;
  bool reference = false;  // "{ name }"

  XObj() = default;
  XObj(std::string t, std::string n = "") : type(std::move(t)), name(std::move(n)) {}
  XObj& i(uint32_t v);
  XObj& f(float v);
  XObj& s(const std::string& v);
  XObj& sep(char c = ';');
  XObj& ints(std::initializer_list<uint32_t> vs);
  XObj& floats(std::initializer_list<float> vs);
  XObj& add(const XObj& child);
  static XObj ref(const std::string& name);
};

enum class XForm { Text, Binary, TextZip, BinaryZip };
const char* xFormName(XForm form);

std::string writeX(const std::vector<XObj>& objects, XForm form);
// MSZIP body with its size field: the bytes that follow a 16-byte header.
std::string compressMszip(const std::string& plain, uint32_t declaredSize);
