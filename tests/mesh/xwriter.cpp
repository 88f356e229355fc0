#include "xwriter.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

XObj& XObj::i(uint32_t v) {
  XItem item;
  item.kind = XItem::Int;
  item.i = v;
  items.push_back(item);
  return *this;
}
XObj& XObj::f(float v) {
  XItem item;
  item.kind = XItem::Float;
  item.f = v;
  items.push_back(item);
  return *this;
}
XObj& XObj::s(const std::string& v) {
  XItem item;
  item.kind = XItem::String;
  item.s = v;
  items.push_back(item);
  return *this;
}
XObj& XObj::sep(char c) {
  XItem item;
  item.kind = XItem::Sep;
  item.sep = c;
  items.push_back(item);
  return *this;
}
XObj& XObj::ints(std::initializer_list<uint32_t> vs) {
  for (uint32_t v : vs) i(v);
  return sep();
}
XObj& XObj::floats(std::initializer_list<float> vs) {
  for (float v : vs) f(v);
  return sep();
}
XObj& XObj::add(const XObj& child) {
  children.push_back(child);
  return *this;
}
XObj XObj::ref(const std::string& name) {
  XObj o("", name);
  o.reference = true;
  return o;
}

const char* xFormName(XForm form) {
  switch (form) {
    case XForm::Text: return "text";
    case XForm::Binary: return "binary";
    case XForm::TextZip: return "tzip";
    default: return "bzip";
  }
}

namespace {

void writeText(const XObj& o, std::string* out) {
  char number[64];
  if (o.reference) {
    *out += "{ " + o.name + " }\n";
    return;
  }
  *out += o.type;
  if (!o.name.empty()) *out += " " + o.name;
  *out += " {\n";
  bool needSpace = false;
  for (const XItem& item : o.items) {
    switch (item.kind) {
      case XItem::Int:
        std::snprintf(number, sizeof(number), "%s%u", needSpace ? "," : "", item.i);
        *out += number;
        break;
      case XItem::Float:
        std::snprintf(number, sizeof(number), "%s%.9g", needSpace ? "," : "", item.f);
        *out += number;
        break;
      case XItem::String:
        *out += (needSpace ? "," : "") + std::string("\"") + item.s + "\"";
        break;
      case XItem::Sep:
        *out += item.sep;
        *out += "\n";
        needSpace = false;
        continue;
    }
    needSpace = true;
  }
  for (const XObj& child : o.children) writeText(child, out);
  *out += "}\n";
}

void put16(std::string* out, uint16_t v) { out->append(reinterpret_cast<const char*>(&v), 2); }
void put32(std::string* out, uint32_t v) { out->append(reinterpret_cast<const char*>(&v), 4); }
void putName(std::string* out, const std::string& name) {
  put16(out, 1);
  put32(out, static_cast<uint32_t>(name.size()));
  *out += name;
}

void writeBinary(const XObj& o, std::string* out) {
  if (o.reference) {
    put16(out, 10);
    putName(out, o.name);
    put16(out, 11);
    return;
  }
  putName(out, o.type);
  if (!o.name.empty()) putName(out, o.name);
  put16(out, 10);
  // Runs of integers and of floats become one list token each.
  std::size_t at = 0;
  while (at < o.items.size()) {
    const XItem& item = o.items[at];
    if (item.kind == XItem::Sep) {
      ++at;
      continue;
    }
    if (item.kind == XItem::String) {
      put16(out, 2);
      put32(out, static_cast<uint32_t>(item.s.size()));
      *out += item.s;
      put16(out, 20);
      ++at;
      continue;
    }
    std::vector<uint32_t> run;
    const XItem::Kind kind = item.kind;
    while (at < o.items.size() && (o.items[at].kind == kind || o.items[at].kind == XItem::Sep)) {
      if (o.items[at].kind == kind) {
        uint32_t bits = o.items[at].i;
        if (kind == XItem::Float) std::memcpy(&bits, &o.items[at].f, 4);
        run.push_back(bits);
      }
      ++at;
    }
    put16(out, kind == XItem::Int ? 6 : 7);
    put32(out, static_cast<uint32_t>(run.size()));
    for (uint32_t v : run) put32(out, v);
  }
  for (const XObj& child : o.children) writeBinary(child, out);
  put16(out, 11);
}

}  // namespace

std::string compressMszip(const std::string& plain, uint32_t declaredSize) {
  std::string out;
  put32(&out, declaredSize);
  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> packed(70000);
  for (std::size_t at = 0; at < plain.size(); at += 32768) {
    const std::size_t size = std::min<std::size_t>(32768, plain.size() - at);
    deflateReset(&stream);
    if (at > 0) {
      const std::size_t history = std::min<std::size_t>(at, 32768);
      deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(plain.data() + at - history),
                           static_cast<uInt>(history));
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data() + at));
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, Z_FINISH);
    const std::size_t packedSize = packed.size() - stream.avail_out;
    put16(&out, static_cast<uint16_t>(size));
    put16(&out, static_cast<uint16_t>(packedSize + 2));
    out += "CK";
    out.append(reinterpret_cast<const char*>(packed.data()), packedSize);
  }
  deflateEnd(&stream);
  return out;
}

std::string writeX(const std::vector<XObj>& objects, XForm form) {
  std::string body;
  const bool binary = form == XForm::Binary || form == XForm::BinaryZip;
  for (const XObj& o : objects) {
    if (binary)
      writeBinary(o, &body);
    else
      writeText(o, &body);
  }
  switch (form) {
    case XForm::Text: return "xof 0303txt 0032\n" + body;
    case XForm::Binary: return "xof 0303bin 0032" + body;
    case XForm::TextZip: return "xof 0303tzip0032" + compressMszip(body, static_cast<uint32_t>(body.size() + 16));
    default: return "xof 0303bzip0032" + compressMszip(body, static_cast<uint32_t>(body.size() + 16));
  }
}
