// Cache form of a translated stage.
#include <cstring>

#include "effect/zeHlslTranslator.h"

namespace {
const char kMagic[8] = {'Z', 'E', 'S', 'H', 'A', 'D', 'E', 'R'};
constexpr uint32_t kFormatVersion = 1;
}  // namespace

// Bumped whenever the generated GLSL or the register layout changes.
uint32_t zeTranslatorVersion() { return 9; }

void SZeCompiledProgram::serialize(std::string* out) const {
  out->clear();
  out->append(kMagic, sizeof kMagic);
  zeBinPutU32(out, kFormatVersion);
  zeBinPutU32(out, zeTranslatorVersion());
  zeBinPutString(out, sourcePath);
  zeBinPutU32(out, stage);
  zeBinPutString(out, entry);
  zeBinPutString(out, glsl);
  constants.write(out);
  zeBinPutU32(out, uint32_t(varyings.size()));
  for (const std::string& v : varyings) zeBinPutString(out, v);
  zeBinPutU32(out, uint32_t(attributes.size()));
  for (const std::string& a : attributes) zeBinPutString(out, a);
}

namespace {

// A packaged production names its shaders relative to its archive, a run from
// the folder by their full path: a relative name is the same source as a full
// path that ends with it at a folder boundary.
bool sameSource(const std::string& recorded, const std::string& expected) {
  if (recorded == expected) return true;
  const bool recordedRelative = !recorded.empty() && recorded[0] != '/';
  const bool expectedRelative = !expected.empty() && expected[0] != '/';
  if (recordedRelative == expectedRelative) return false;
  const std::string& full = recordedRelative ? expected : recorded;
  const std::string& relative = recordedRelative ? recorded : expected;
  return full.size() > relative.size() && full.compare(full.size() - relative.size(), relative.size(), relative) == 0 &&
         full[full.size() - relative.size() - 1] == '/';
}

}  // namespace

bool SZeCompiledProgram::deserialize(const void* data, std::size_t size, const std::string& expectedSourcePath,
                                     std::string* why) {
  const uint8_t* cursor = static_cast<const uint8_t*>(data);
  const uint8_t* end = cursor + size;
  uint32_t format = 0, translator = 0, count = 0;
  std::string path;
  if (size < sizeof kMagic || std::memcmp(cursor, kMagic, sizeof kMagic) != 0) {
    *why = "not a translated shader";
    return false;
  }
  cursor += sizeof kMagic;
  if (!zeBinGetU32(&cursor, end, &format) || !zeBinGetU32(&cursor, end, &translator) ||
      !zeBinGetString(&cursor, end, &path)) {
    *why = "truncated header";
    return false;
  }
  if (format != kFormatVersion || translator != zeTranslatorVersion()) {
    *why = "made by another translator version";
    return false;
  }
  if (!expectedSourcePath.empty() && !sameSource(path, expectedSourcePath)) {
    *why = "made from another source file '" + path + "'";
    return false;
  }
  sourcePath = path;
  bool ok = zeBinGetU32(&cursor, end, &stage) && stage <= ZE_STAGE_PIXEL && zeBinGetString(&cursor, end, &entry) &&
            zeBinGetString(&cursor, end, &glsl) && constants.read(&cursor, end) && zeBinGetU32(&cursor, end, &count) &&
            count <= uint32_t(end - cursor);
  if (ok) {
    varyings.resize(count);
    for (std::string& v : varyings) ok = ok && zeBinGetString(&cursor, end, &v);
  }
  ok = ok && zeBinGetU32(&cursor, end, &count) && count <= uint32_t(end - cursor);
  if (ok) {
    attributes.resize(count);
    for (std::string& a : attributes) ok = ok && zeBinGetString(&cursor, end, &a);
  }
  if (!ok || cursor != end) {
    *why = "truncated or damaged payload";
    return false;
  }
  return true;
}

std::string SZeCompiledProgram::constantTableBytes() const {
  std::string out;
  constants.write(&out);
  return out;
}
