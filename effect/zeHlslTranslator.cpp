// HLSL (Direct3D 9 style) to GLSL 330 compatibility: glslang's HLSL front end in
// its DX9-compatible mode, SPIRV-Tools legalisation (inside glslang's SPIR-V
// back end), then SPIRV-Cross for the GLSL text and the reflection. Every
// glslang and SPIRV-Cross call of the engine lives in this one file: they are
// heavy to compile and to link.
//
// Contents: include bridge · message rewriting · register layout · stage
// interface · the passes of a translation · translate.
#include "effect/zeHlslTranslator.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv_cross/spirv_glsl.hpp>

#include "base/zePath.h"
#include "effect/zeHlslLimits.h"
#include "effect/zeHlslPrepass.h"

namespace {

// --- include bridge ------------------------------------------------------------

// Includes are refused past ZE_HLSL_MAX_INCLUDE_DEPTH, when a file would be
// open a third time in the chain of files open at that point, and when the
// brackets of the chain could nest past ZE_HLSL_MAX_NESTING: the front end
// would otherwise never end or run out of stack. The compiler reports a
// refusal at the #include line, with the text given here.
// Includes read during one translation, by (name, includer): the front end
// runs twice (macro check, then the parse) and each file is read once.
using IncludeMemo = std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>>;

class IncludeBridge : public glslang::TShader::Includer {
 public:
  IncludeBridge(IZeShaderIncludeSource* source, const std::string& mainPath, int mainNesting, SZeHlslPrepassInfo* info,
                IncludeMemo* memo)
      : source_(source), mainPath_(mainPath), info_(info), memo_(memo) {
    chain_.push_back({zePathFold(mainPath), mainNesting});
  }

  IncludeResult* includeLocal(const char* name, const char* includer, size_t depth) override {
    return open(name, includer);
  }
  IncludeResult* includeSystem(const char* name, const char* includer, size_t depth) override {
    return open(name, includer);
  }
  // Includes opened so far.
  int opened() const { return opened_; }

  void releaseInclude(IncludeResult* result) override {
    if (!result) return;
    auto* held = static_cast<Held*>(result->userData);
    if (held->opened) {
      if (source_) source_->closeInclude(result->headerData);
      chain_.pop_back();
    }
    delete held;
    delete result;
  }

 private:
  struct Held {
    std::string text;
    bool opened;
  };
  struct Open {
    std::string path;
    int nesting;
  };

  IncludeResult* refuse(std::string why) {
    auto* held = new Held{std::move(why), false};
    return new IncludeResult("", held->text.data(), held->text.size(), held);
  }

  IncludeResult* open(const char* name, const char* includer) {
    if (!source_) return nullptr;
    if (int(chain_.size()) > ZE_HLSL_MAX_INCLUDE_DEPTH)
      return refuse("includes nested deeper than " + std::to_string(ZE_HLSL_MAX_INCLUDE_DEPTH) + " levels");
    std::string path, bytes;
    std::string from = (includer && *includer) ? includer : mainPath_;
    auto known = memo_->find({name, from});
    if (known != memo_->end()) {
      path = known->second.first;
      bytes = known->second.second;
    } else {
      if (!source_->openInclude(name, from, &path, &bytes)) return nullptr;
      memo_->insert({{name, from}, {path, bytes}});
    }
    // A file may include itself once (behind an include guard that then
    // stops it); a third open of the same file is a cycle without end.
    const std::string key = zePathFold(path);
    if (std::count_if(chain_.begin(), chain_.end(), [&key](const Open& o) { return o.path == key; }) >= 2) {
      source_->closeInclude(bytes.data());
      return refuse("recursive include: '" + path + "' is already being read");
    }
    int nestingLine = 0;
    const int own = zeHlslNestingDepth(bytes, &nestingLine);
    int nesting = own;
    for (const Open& o : chain_) nesting += o.nesting;
    if (nesting > ZE_HLSL_MAX_NESTING)
      return refuse(path + "(" + std::to_string(nestingLine) + "): brackets nested deeper than " +
                    std::to_string(ZE_HLSL_MAX_NESTING) + " levels");
    chain_.push_back({key, own});
    ++opened_;
    SZeHlslPrepassInfo own_info;
    std::string text = zeHlslPrepass(bytes, &own_info);
    if (!own_info.laterSyntax.empty()) {
      chain_.pop_back();
      --opened_;
      source_->closeInclude(bytes.data());
      return refuse(path + "(" + std::to_string(own_info.laterSyntaxLine) + "): " + kZeHlslLaterSyntaxRefusal + " '" +
                    own_info.laterSyntax + "'");
    }
    zeHlslPrepass(bytes, info_);
    auto* held = new Held{std::move(text), true};
    return new IncludeResult(path, held->text.data(), held->text.size(), held);
  }

  IZeShaderIncludeSource* source_;
  std::string mainPath_;
  SZeHlslPrepassInfo* info_;
  IncludeMemo* memo_;
  std::vector<Open> chain_;  // the files open at this point, the main file first
  int opened_ = 0;
};

// --- message rewriting ------------------------------------------------------------

// "ERROR: file:42: 'x' : undeclared identifier" -> "file(42): error: 'x' : undeclared identifier".
std::string rewriteMessages(const std::string& log) {
  std::istringstream in(log);
  std::string line, out;
  while (std::getline(in, line)) {
    const char* kind = nullptr;
    size_t skip = 0;
    if (line.compare(0, 7, "ERROR: ") == 0) { kind = "error"; skip = 7; }
    else if (line.compare(0, 9, "WARNING: ") == 0) { kind = "warning"; skip = 9; }
    if (!kind) {
      if (!line.empty()) out += line + "\n";
      continue;
    }
    std::string rest = line.substr(skip);
    // The location is "name:line:" where name may itself hold ':' (never on Linux paths, but be safe).
    size_t colon = std::string::npos;
    for (size_t p = rest.find(':'); p != std::string::npos; p = rest.find(':', p + 1)) {
      size_t q = p + 1;
      while (q < rest.size() && std::isdigit(static_cast<unsigned char>(rest[q]))) ++q;
      if (q > p + 1 && q < rest.size() && rest[q] == ':') { colon = p; break; }
    }
    if (colon == std::string::npos) {
      if (rest.find("compilation errors") != std::string::npos || rest.find("No code generated") != std::string::npos)
        continue;
      out += std::string(kind) + ": " + rest + "\n";
      continue;
    }
    size_t lineEnd = rest.find(':', colon + 1);
    std::string file = rest.substr(0, colon);
    std::string number = rest.substr(colon + 1, lineEnd - colon - 1);
    std::string text = rest.substr(lineEnd + 1);
    while (!text.empty() && text[0] == ' ') text.erase(0, 1);
    out += file + "(" + number + "): " + kind + ": " + text + "\n";
  }
  return out;
}

// --- register layout -----------------------------------------------------------

using spirv_cross::CompilerGLSL;
using spirv_cross::SPIRType;

struct LayoutError {
  std::string text;
};

// Builds the constant type of a SPIR-V type and rewrites its explicit layout so
// every member and every array element starts on a float4 register.
SZeConstType layoutType(CompilerGLSL& comp, uint32_t typeId, bool rowMajorMember) {
  const SPIRType& t = comp.get_type(typeId);
  SZeConstType out;
  if (!t.array.empty()) {
    uint32_t elements = 1;
    for (size_t k = 0; k < t.array.size(); ++k) {
      if (!t.array_size_literal[k]) throw LayoutError{"array sizes must be constant"};
      elements *= std::max<uint32_t>(t.array[k], 1u);
    }
    SZeConstType element = layoutType(comp, t.parent_type, rowMajorMember);
    // Nested arrays of arrays: the innermost element type is what counts.
    uint32_t parent = t.parent_type;
    while (!comp.get_type(parent).array.empty()) parent = comp.get_type(parent).parent_type;
    if (parent != t.parent_type) element = layoutType(comp, parent, rowMajorMember);
    out = element;
    out.elements = elements;
    // Every array level gets the stride of its own element.
    uint32_t level = typeId;
    while (!comp.get_type(level).array.empty()) {
      const SPIRType& lt = comp.get_type(level);
      uint32_t inner = 1;
      uint32_t p = lt.parent_type;
      while (!comp.get_type(p).array.empty()) {
        const SPIRType& pt = comp.get_type(p);
        for (size_t k = 0; k < pt.array.size(); ++k) inner *= std::max<uint32_t>(pt.array[k], 1u);
        p = pt.parent_type;
      }
      comp.set_decoration(level, spv::DecorationArrayStride, inner * element.elementRegisters * 16);
      level = lt.parent_type;
    }
    return out;
  }
  switch (t.basetype) {
    case SPIRType::Struct: {
      out.cls = ZE_CLASS_STRUCT;
      out.base = ZE_BASE_VOID;
      out.rows = 1;
      out.columns = 1;
      uint32_t reg = 0;
      for (uint32_t m = 0; m < t.member_types.size(); ++m) {
        SZeConstMember member;
        member.name = comp.get_member_name(typeId, m);
        bool rowMajor = comp.has_member_decoration(typeId, m, spv::DecorationRowMajor);
        member.type = layoutType(comp, t.member_types[m], rowMajor);
        member.registerOffset = reg;
        comp.set_member_decoration(typeId, m, spv::DecorationOffset, reg * 16);
        if (member.type.cls == ZE_CLASS_MATRIX_ROWS || member.type.cls == ZE_CLASS_MATRIX_COLUMNS)
          comp.set_member_decoration(typeId, m, spv::DecorationMatrixStride, 16);
        reg += member.type.registerCount();
        out.members.push_back(std::move(member));
      }
      out.elementRegisters = std::max<uint32_t>(reg, 1u);
      return out;
    }
    case SPIRType::Float:
    case SPIRType::Half:
    case SPIRType::Double:
    case SPIRType::Int:
    case SPIRType::UInt:
    case SPIRType::Boolean:
      break;
    default:
      throw LayoutError{"unsupported constant type"};
  }
  out.base = t.basetype == SPIRType::Int ? ZE_BASE_INT
             : (t.basetype == SPIRType::UInt || t.basetype == SPIRType::Boolean) ? ZE_BASE_BOOL
                                                                                  : ZE_BASE_FLOAT;
  if (t.columns > 1) {
    // glslang keeps HLSL's matrix transposed: the SPIR-V matrix has one column
    // per HLSL row, and RowMajor storage is HLSL's column_major.
    out.rows = uint8_t(t.columns);
    out.columns = uint8_t(t.vecsize);
    out.cls = rowMajorMember ? ZE_CLASS_MATRIX_COLUMNS : ZE_CLASS_MATRIX_ROWS;
    out.elementRegisters = rowMajorMember ? t.vecsize : t.columns;
  } else {
    out.rows = 1;
    out.columns = uint8_t(t.vecsize);
    out.cls = t.vecsize > 1 ? ZE_CLASS_VECTOR : ZE_CLASS_SCALAR;
    out.elementRegisters = 1;
  }
  return out;
}

// Direct3D 9 allocation: explicit registers first, then every other used
// constant in declaration order in the first free run of registers.
bool allocate(std::vector<SZeConstant*>& items, const SZeHlslPrepassInfo& info, int stage, char set, int capacity,
              std::string* error) {
  std::vector<bool> taken(size_t(capacity), false);
  auto mark = [&](int at, int count) {
    for (int r = at; r < at + count; ++r) taken[size_t(r)] = true;
  };
  for (SZeConstant* c : items) {
    c->registerIndex = -1;
    auto e = info.stageRegisters[stage].find(c->name);
    if (e == info.stageRegisters[stage].end() || e->second.first != set) {
      e = info.explicitRegisters.find(c->name);
      if (e == info.explicitRegisters.end() || e->second.first != set) continue;
    }
    if (e->second.second + c->registerCount > capacity) {
      *error = "error: register(" + std::string(1, set) + std::to_string(e->second.second) + ") of '" + c->name +
               "' lies outside the register file";
      return false;
    }
    c->registerIndex = e->second.second;
    mark(c->registerIndex, c->registerCount);
  }
  for (SZeConstant* c : items) {
    if (c->registerIndex >= 0) continue;
    int at = 0;
    for (; at + c->registerCount <= capacity; ++at) {
      bool free = true;
      for (int r = at; r < at + c->registerCount && free; ++r) free = !taken[size_t(r)];
      if (free) break;
    }
    if (at + c->registerCount > capacity) {
      *error = "error: constant '" + c->name + "' does not fit the " + std::to_string(capacity) + " registers of its stage";
      return false;
    }
    c->registerIndex = at;
    mark(at, c->registerCount);
  }
  return true;
}

// Direct3D 9 gives an array only the registers up to its highest element the
// code reads when every read uses a constant index. Scans the access chains on
// the constant block: member -> elements read (0 when the whole array counts).
std::map<uint32_t, uint32_t> usedArrayElements(const std::vector<uint32_t>& spirv, uint32_t blockVariable) {
  std::map<uint32_t, uint32_t> constants;   // id -> 32-bit integer value
  std::map<uint32_t, uint32_t> memberChain;  // id of chain(block, [m]) -> m
  std::map<uint32_t, uint32_t> highest;      // member -> highest element + 1
  std::set<uint32_t> whole;                  // members read with a variable index or as a whole
  auto each = [&spirv](auto&& visit) {
    for (size_t w = 5; w < spirv.size();) {
      const uint32_t count = spirv[w] >> 16;
      if (count == 0 || w + count > spirv.size()) break;
      visit(spirv[w] & 0xffffu, &spirv[w], count);
      w += count;
    }
  };
  each([&](uint32_t op, const uint32_t* in, uint32_t count) {
    if (op == uint32_t(spv::OpConstant) && count == 4) constants[in[2]] = in[3];
  });
  auto elementIndex = [&](uint32_t member, const uint32_t* in, uint32_t count, uint32_t at) {
    if (at >= count) {
      whole.insert(member);
      return;
    }
    auto c = constants.find(in[at]);
    if (c == constants.end()) whole.insert(member);
    else highest[member] = std::max(highest[member], c->second + 1);
  };
  each([&](uint32_t op, const uint32_t* in, uint32_t count) {
    if ((op != uint32_t(spv::OpAccessChain) && op != uint32_t(spv::OpInBoundsAccessChain)) || count < 5) return;
    if (in[3] != blockVariable) return;
    auto m = constants.find(in[4]);
    if (m == constants.end()) return;
    if (count == 5) memberChain[in[2]] = m->second;
    else elementIndex(m->second, in, count, 5);
  });
  // Chains that stop at the member: an element taken from them is one more
  // chain; any other use reads the array as a whole.
  each([&](uint32_t op, const uint32_t* in, uint32_t count) {
    const bool chain = op == uint32_t(spv::OpAccessChain) || op == uint32_t(spv::OpInBoundsAccessChain);
    if (chain && count >= 4) {
      auto base = memberChain.find(in[3]);
      if (base != memberChain.end()) {
        elementIndex(base->second, in, count, 4);
        return;
      }
    }
    if (op == uint32_t(spv::OpName) || op == uint32_t(spv::OpDecorate) || op == uint32_t(spv::OpMemberDecorate)) return;
    for (uint32_t k = 1; k < count; ++k) {
      auto base = memberChain.find(in[k]);
      if (base != memberChain.end() && !(chain && k == 2)) whole.insert(base->second);
    }
  });
  std::map<uint32_t, uint32_t> out;
  for (const auto& h : highest) out[h.first] = whole.count(h.first) ? 0 : h.second;
  for (uint32_t m : whole) out[m] = 0;
  return out;
}

// --- stage interface -------------------------------------------------------------

struct Semantic {
  std::string name;  // upper case, without the index
  int index = 0;
};

Semantic parseSemantic(std::string s) {
  for (char& ch : s) ch = char(std::toupper(static_cast<unsigned char>(ch)));
  // Shader model 3 spells centroid sampling as a suffix ("TEXCOORD0_centroid");
  // the varying is the same one for the other stage.
  const std::string centroid = "_CENTROID";
  if (s.size() > centroid.size() && s.compare(s.size() - centroid.size(), centroid.size(), centroid) == 0)
    s.erase(s.size() - centroid.size());
  Semantic out;
  size_t digits = s.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
  out.name = s.substr(0, digits);
  out.index = digits < s.size() ? std::atoi(s.c_str() + digits) : 0;
  if (out.name == "SV_POSITION") out.name = "POSITION";
  else if (out.name == "SV_TARGET") out.name = "COLOR";
  else if (out.name == "SV_DEPTH") out.name = "DEPTH";
  else if (out.name == "SV_ISFRONTFACE") out.name = "VFACE";
  return out;
}

std::string glslTypeName(const SPIRType& t) {
  const char* scalar = "float";
  const char* vec = "vec";
  if (t.basetype == SPIRType::Int) { scalar = "int"; vec = "ivec"; }
  else if (t.basetype == SPIRType::UInt) { scalar = "uint"; vec = "uvec"; }
  else if (t.basetype == SPIRType::Boolean) { scalar = "bool"; vec = "bvec"; }
  if (t.vecsize == 1) return scalar;
  return std::string(vec) + std::to_string(t.vecsize);
}

// vec4 expression -> a value of type t (first components).
std::string narrow(const std::string& vec4Expr, const SPIRType& t) {
  static const char* swizzles[] = {"", ".x", ".xy", ".xyz", ""};
  std::string e = "(" + vec4Expr + ")" + swizzles[std::min<uint32_t>(t.vecsize, 4u)];
  return glslTypeName(t) + "(" + e + ")";
}

// value of type t -> vec4, missing components filled as Direct3D fills them (0, 0, 0, 1).
std::string widen(const std::string& value, const SPIRType& t) {
  std::string v = t.basetype == SPIRType::Float ? value
                                                : (t.vecsize == 1 ? "float(" + value + ")"
                                                                  : "vec" + std::to_string(t.vecsize) + "(" + value + ")");
  switch (t.vecsize) {
    case 1: return "vec4(" + v + ", 0.0, 0.0, 1.0)";
    case 2: return "vec4(" + v + ", 0.0, 1.0)";
    case 3: return "vec4(" + v + ", 1.0)";
    default: return "vec4(" + v + ")";
  }
}

// Removes the storage qualifier (and layout) of an interface declaration so
// the variable becomes a plain global that the generated main() fills.
void demoteDeclaration(std::string* glsl, const std::string& name, bool array) {
  size_t p = 0;
  while ((p = glsl->find(" " + name + (array ? "[" : ";"), p)) != std::string::npos) {
    size_t lineStart = glsl->rfind('\n', p);
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    std::string line = glsl->substr(lineStart, p - lineStart);
    // line is "[layout(...) ][flat |noperspective ...](in|out) TYPE"
    size_t typeStart = line.rfind(' ');
    std::string type = typeStart == std::string::npos ? line : line.substr(typeStart + 1);
    std::string qualifiers = typeStart == std::string::npos ? "" : line.substr(0, typeStart);
    if (qualifiers.find("in") == std::string::npos && qualifiers.find("out") == std::string::npos) {
      p += name.size();
      continue;
    }
    glsl->replace(lineStart, p - lineStart, type);
    return;
  }
}

void replaceAll(std::string* s, const std::string& from, const std::string& to) {
  for (size_t p = s->find(from); p != std::string::npos; p = s->find(from, p + to.size())) s->replace(p, from.size(), to);
}

std::once_flag gInitOnce;

// --- translate: the passes ------------------------------------------------------
//
// zeTranslateHlsl runs, in order: compile to SPIR-V, fix-ups, constant
// layout, sampler layout, inputs, outputs, entry wrapper. A pass that fails
// leaves "file(line): error: text" lines in *errors and returns false.

// The text a run of the front end reads: glslang keeps pointers to these
// three, so they live as long as the shader object.
struct ShaderText {
  ShaderText(const std::string& source, const std::string& path)
      : text(source.c_str()), length(int(source.size())), name(path.c_str()) {}
  const char* text;
  int length;
  const char* name;
};

// The front end as every run of it is set up.
void configureShader(glslang::TShader* shader, ShaderText* input, const SZeTranslateRequest& request,
                     const std::string& preamble) {
  const EShLanguage language = request.stage == ZE_STAGE_VERTEX ? EShLangVertex : EShLangFragment;
  shader->setStringsWithLengthsAndNames(&input->text, &input->length, &input->name, 1);
  shader->setPreamble(preamble.c_str());
  shader->setEntryPoint(request.entry.c_str());
  shader->setSourceEntryPoint(request.entry.c_str());
  shader->setEnvInput(glslang::EShSourceHlsl, language, glslang::EShClientVulkan, 100);
  shader->setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
  shader->setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
  shader->setEnvTargetHlslFunctionality1();
  shader->setAutoMapLocations(true);
  shader->setAutoMapBindings(true);
}

// Macros can nest brackets far deeper than the text shows (a macro of 100
// brackets used 100 deep): the expanded text is checked too. A preprocessing
// failure is left to the real parse to report.
// On success *expanded holds the preprocessed text (empty when preprocessing
// failed) and *includeInfo what the pre-pass found in the includes.
bool expansionWithinLimits(const SZeTranslateRequest& request, const std::string& source, const std::string& preamble,
                           int nesting, EShMessages messages, IncludeMemo* memo, std::string* expanded,
                           SZeHlslPrepassInfo* includeInfo, std::string* errors) {
  ShaderText input(source, request.sourcePath);
  glslang::TShader shader(request.stage == ZE_STAGE_VERTEX ? EShLangVertex : EShLangFragment);
  configureShader(&shader, &input, request, preamble);
  IncludeBridge includer(request.includes, request.sourcePath, nesting, includeInfo, memo);
  if (!shader.preprocess(GetDefaultResources(), 100, ENoProfile, false, false, messages, expanded, includer)) {
    expanded->clear();
    return true;
  }
  int line = 0;
  if (zeHlslNestingDepth(*expanded, &line) <= ZE_HLSL_MAX_NESTING) return true;
  // The expanded text starts with the preamble; after an include its lines
  // no longer follow the file's, so the line is then not named.
  line = includer.opened() ? 0 : std::max(1, line - int(std::count(preamble.begin(), preamble.end(), '\n')));
  *errors = request.sourcePath + "(" + std::to_string(line) + "): error: brackets nested deeper than " +
            std::to_string(ZE_HLSL_MAX_NESTING) + " levels once macros are expanded\n";
  return false;
}

// The expanded text without the preamble's lines (which it starts with);
// false when preprocessing failed.
bool expandedBody(const std::string& preamble, const std::string& expanded, std::string* body) {
  if (expanded.empty()) return false;
  size_t cut = 0;
  for (long lines = std::count(preamble.begin(), preamble.end(), '\n'); lines > 0 && cut != std::string::npos; --lines) {
    cut = expanded.find('\n', cut);
    if (cut != std::string::npos) ++cut;
  }
  if (cut == std::string::npos) return false;
  *body = expanded.substr(cut);
  return true;
}

// "file(line)" of an offset in the expanded body: the main file's lines
// until a "#line N "file"" mark, which an include's text starts and ends with.
std::string expandedLocation(const std::string& body, size_t offset, const std::string& mainPath) {
  std::string file = mainPath;
  int line = 1;
  for (size_t p = 0; p < offset && p < body.size();) {
    const size_t end = std::min(body.find('\n', p), body.size());
    if (end >= offset) break;
    if (body.compare(p, 6, "#line ") == 0) {
      line = std::atoi(body.c_str() + p + 6);
      const size_t open = body.find('"', p), close = open == std::string::npos ? open : body.find('"', open + 1);
      if (close != std::string::npos && close < end) file = body.substr(open + 1, close - open - 1);
    } else {
      ++line;
    }
    p = end + 1;
  }
  return file + "(" + std::to_string(line) + ")";
}

// Pass "constants declared once": the front end crashes on a global
// constant declared twice with two types ("float4 A; float3 A;", also a
// sampler and a constant of one name, also across includes), and on a word
// after a constant's name ("float4 a Base;" after "sampler2D Base;"). The
// expanded text, its conditions decided and its includes read, is checked
// first, and the declaration at fault is named.
bool constantsDeclaredOnce(const std::string& body, const SZeHlslPrepassInfo& found, const std::string& mainPath,
                           std::string* errors) {
  std::map<std::string, std::string> typeOf;
  for (const SZeHlslPrepassInfo::Constant& c : found.constants) {
    if (!c.strayWord.empty()) {
      *errors = expandedLocation(body, c.offset, mainPath) + ": error: '" + c.strayWord + "' : unexpected after '" +
                c.name + "' (a declaration goes on with ':', '=', ',' or ';')\n";
      return false;
    }
    const auto first = typeOf.emplace(c.name, c.type);
    if (first.second || first.first->second == c.type) continue;
    *errors = expandedLocation(body, c.offset, mainPath) + ": error: '" + c.name +
              "' : redefinition with another type (first declared as '" + first.first->second + "')\n";
    return false;
  }
  return true;
}

// Macros can write what only an effect compiler reads ("#define TEX(n)
// texture2D n; sampler n##S = sampler_state { ... };"), which the pre-pass
// cannot see in the written text. When the pre-pass changes the expanded
// text, that text is what the front end parses: its "#line" marks keep
// files and lines, the preamble's lines are cut (its functions come back as
// the preamble, its macros are already expanded), and what the pre-pass
// found there and in the includes joins *info.
// Whether a "#define" of the text writes effect syntax or a matrix swizzle:
// only then is the expanded text parsed (otherwise the written text is).
bool definesWriteEffectSyntax(const std::string& text) {
  static const char* const words[] = {"sampler_state", "texture", "Texture", "technique", "stateblock_state", "._"};
  for (size_t p = text.find("define"); p != std::string::npos; p = text.find("define", p + 6)) {
    size_t hash = p;
    while (hash > 0 && (text[hash - 1] == ' ' || text[hash - 1] == '\t')) --hash;
    if (hash == 0 || text[hash - 1] != '#') continue;
    size_t end = p;
    while (end < text.size() && (text[end] != '\n' || (end > 0 && text[end - 1] == '\\'))) ++end;
    const std::string body = text.substr(p, end - p);
    for (const char* w : words)
      if (body.find(w) != std::string::npos) return true;
  }
  return false;
}

void afterExpansion(const std::string& body, const std::string& stripped, const SZeHlslPrepassInfo& found,
                    const SZeHlslPrepassInfo& includeInfo, SZeHlslPrepassInfo* info, std::string* parsed,
                    std::string* parsedPreamble) {
  if (stripped == body) return;
  *parsed = stripped;
  parsedPreamble->clear();
  std::istringstream lines(kZeHlslPreamble);
  for (std::string line; std::getline(lines, line);)
    if (line.compare(0, 1, "#") != 0) *parsedPreamble += line + "\n";
  SZeHlslPrepassInfo helpers;
  for (const SZeHlslPrepassInfo* from : {static_cast<const SZeHlslPrepassInfo*>(info), &includeInfo,
                                         static_cast<const SZeHlslPrepassInfo*>(&found)})
    zeHlslJoinHelpers(*from, &helpers);
  *parsedPreamble += zeHlslHelperPreamble(helpers);
  for (const SZeHlslPrepassInfo* from : {&includeInfo, static_cast<const SZeHlslPrepassInfo*>(&found)}) {
    for (const auto& r : from->explicitRegisters) info->explicitRegisters.insert(r);
    for (int k = 0; k < 2; ++k)
      for (const auto& r : from->stageRegisters[k]) info->stageRegisters[k].insert(r);
    for (const auto& b : from->originalBase) info->originalBase.insert(b);
    std::vector<std::pair<int, std::string>> order;
    for (const auto& d : from->declarationOrder) order.push_back({d.second, d.first});
    std::sort(order.begin(), order.end());
    for (const auto& d : order) info->declarationOrder.emplace(d.second, int(info->declarationOrder.size()));
  }
}

// Pass "compile to SPIR-V": pre-pass, limits, glslang's HLSL front end in
// DX9-compatible mode, link, and SPIR-V with the legalisation passes.
bool compileToSpirv(const SZeTranslateRequest& request, SZeHlslPrepassInfo* info, std::vector<uint32_t>* spirv,
                    std::string* errors) {
  const bool vertex = request.stage == ZE_STAGE_VERTEX;
  const EShLanguage language = vertex ? EShLangVertex : EShLangFragment;
  const std::string source = zeHlslPrepass(request.source, info);
  if (!info->laterSyntax.empty()) {
    *errors = request.sourcePath + "(" + std::to_string(info->laterSyntaxLine) + "): error: " +
              kZeHlslLaterSyntaxRefusal + " '" + info->laterSyntax + "'\n";
    return false;
  }
  std::string macros;
  for (const SZeShaderMacro& m : request.macros) {
    if (m.name.empty()) continue;
    macros += "#define " + zeHlslHideMacroName(m.name) + " " + m.definition + "\n";
  }
  const std::string preamble = macros + kZeHlslPreamble + zeHlslHelperPreamble(*info);

  // The front end recurses per bracket: refuse what would exhaust its stack.
  int nestingLine = 0, preambleLine = 0;
  const int nesting = zeHlslNestingDepth(source, &nestingLine) + zeHlslNestingDepth(preamble, &preambleLine);
  if (nesting > ZE_HLSL_MAX_NESTING) {
    *errors = request.sourcePath + "(" + std::to_string(nestingLine) + "): error: brackets nested deeper than " +
              std::to_string(ZE_HLSL_MAX_NESTING) + " levels\n";
    return false;
  }

  const EShMessages messages =
      EShMessages(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl | EShMsgHlslDX9Compatible);
  IncludeMemo memo;
  std::string expanded;
  SZeHlslPrepassInfo includeInfo;
  if (!expansionWithinLimits(request, source, preamble, nesting, messages, &memo, &expanded, &includeInfo, errors))
    return false;
  // The expanded text as the pre-pass leaves it: checked, and parsed
  // instead of the written text when macros write effect syntax.
  std::string body, stripped;
  SZeHlslPrepassInfo found;
  const bool expandedOk = expandedBody(preamble, expanded, &body);
  if (expandedOk) {
    stripped = zeHlslPrepass(body, &found);
    if (!constantsDeclaredOnce(body, found, request.sourcePath, errors)) return false;
  }
  std::string parsed = source, parsedPreamble = preamble;
  // Helpers that only the includes call: the preamble was written before
  // they were read.
  SZeHlslPrepassInfo helpers = *info;
  zeHlslJoinHelpers(includeInfo, &helpers);
  if (helpers.splitBases != info->splitBases || helpers.arrayCasts != info->arrayCasts)
    parsedPreamble = macros + kZeHlslPreamble + zeHlslHelperPreamble(helpers);
  bool effectMacros = definesWriteEffectSyntax(request.source);
  for (const auto& m : memo) effectMacros = effectMacros || definesWriteEffectSyntax(m.second.second);
  if (effectMacros && expandedOk) afterExpansion(body, stripped, found, includeInfo, info, &parsed, &parsedPreamble);
  ShaderText input(parsed, request.sourcePath);
  glslang::TShader shader(language);
  configureShader(&shader, &input, request, parsedPreamble);
  IncludeBridge includer(request.includes, request.sourcePath, nesting, info, &memo);
  if (!shader.parse(GetDefaultResources(), 100, false, messages, includer)) {
    *errors = rewriteMessages(shader.getInfoLog());
    if (errors->empty()) *errors = request.sourcePath + "(0): error: compilation failed\n";
    return false;
  }
  if (shader.getIntermediate()->getEntryPointMangledName().empty()) {
    *errors = request.sourcePath + "(0): error: entry point '" + request.entry + "' not found\n";
    return false;
  }
  glslang::TProgram program;
  program.addShader(&shader);
  if (!program.link(messages)) {
    *errors = rewriteMessages(program.getInfoLog());
    if (errors->empty()) *errors = request.sourcePath + "(0): error: link failed\n";
    return false;
  }
  glslang::SpvOptions spvOptions;
  spvOptions.disableOptimizer = false;  // runs the HLSL legalisation passes
  spv::SpvBuildLogger logger;
  glslang::GlslangToSpv(*program.getIntermediate(language), *spirv, &logger, &spvOptions);
  if (spirv->empty()) {
    *errors = request.sourcePath + "(0): error: no code generated " + logger.getAllMessages() + "\n";
    return false;
  }
  return true;
}

// Pass "fix-ups" on the SPIR-V: HLSL's float modulo (fmod and %) truncates;
// glslang emits OpFMod, whose result takes the sign of the divisor. OpFRem
// has the same operands and HLSL's meaning.
void fixUpSpirv(std::vector<uint32_t>* spirv) {
  for (size_t w = 5; w < spirv->size();) {
    const uint32_t count = (*spirv)[w] >> 16;
    if (((*spirv)[w] & 0xffffu) == uint32_t(spv::OpFMod)) (*spirv)[w] = (count << 16) | uint32_t(spv::OpFRem);
    if (count == 0) break;
    w += count;
  }
}

// Pass "whole uniform arrays": a constant array read as a whole ("skin(p,
// i, bones)" copies bones into the callee) is one load of the array, which
// the register file cannot give (it holds vec4s); the load becomes a load of
// each element and a construct of the array, elements of nested arrays alike.
// Steps: split the module into instructions, index its types, constants and
// chains, rewrite the loads, drop the chains left unused, put it together.
class WholeArrayLoads {
 public:
  // False when the module is malformed or reads no uniform array whole.
  bool split(const std::vector<uint32_t>& spirv) {
    if (spirv.size() < 5) return false;
    for (size_t w = 5; w < spirv.size();) {
      const uint32_t count = spirv[w] >> 16;
      if (count == 0 || w + count > spirv.size()) return false;  // malformed: leave it to the tools
      code_.push_back({std::vector<uint32_t>(spirv.begin() + long(w), spirv.begin() + long(w + count))});
      w += count;
    }
    bound_ = spirv[3];
    return index();
  }

  void rewrite(std::vector<uint32_t>* spirv) {
    if (firstFunction_ == SIZE_MAX) return;  // a module without functions: nothing to rewrite
    if (!intType_) {
      intType_ = bound_++;
      declarations_.push_back({{(4u << 16) | spv::OpTypeInt, intType_, 32, 1}});
    }
    std::vector<Instr> rewritten = rewriteLoads();
    dropUnusedArrayChains(&rewritten);
    reassemble(std::move(rewritten), spirv);
  }

 private:
  struct Instr {
    std::vector<uint32_t> words;
  };
  static uint32_t op(const Instr& i) { return i.words[0] & 0xffffu; }

  // Types, constants and chains by id; true when some load reads an array
  // through a chain.
  bool index() {
    bool any = false;
    for (size_t k = 0; k < code_.size(); ++k) {
      const Instr& i = code_[k];
      const std::vector<uint32_t>& w = i.words;
      switch (op(i)) {
        case spv::OpTypeArray: if (w.size() >= 4) arrays_[w[1]] = {w[2], w[3]}; break;
        case spv::OpTypePointer:
          if (w.size() >= 4) {
            pointers_[{w[2], w[3]}] = w[1];
            pointees_[w[1]] = {w[2], w[3]};
          }
          break;
        case spv::OpTypeInt: if (w.size() >= 4 && w[2] == 32 && w[3] == 1) intType_ = w[1]; break;
        case spv::OpConstant:
          if (w.size() == 4) {
            values_[w[2]] = w[3];
            intConstants_[{w[1], w[3]}] = w[2];
          }
          break;
        case spv::OpAccessChain:
        case spv::OpInBoundsAccessChain: if (w.size() >= 4) chains_[w[2]] = &i; break;
        case spv::OpFunction: firstFunction_ = std::min(firstFunction_, k); break;
        case spv::OpLoad:
          if (w.size() >= 4 && arrays_.count(w[1]) && chains_.count(w[3])) any = true;
          break;
        default: break;
      }
    }
    return any;
  }

  uint32_t constant(uint32_t value) {
    auto c = intConstants_.find({intType_, value});
    if (c != intConstants_.end()) return c->second;
    const uint32_t id = bound_++;
    declarations_.push_back({{(4u << 16) | spv::OpConstant, intType_, id, value}});
    intConstants_[{intType_, value}] = id;
    return id;
  }

  uint32_t pointer(uint32_t storage, uint32_t pointee) {
    auto p = pointers_.find({storage, pointee});
    if (p != pointers_.end()) return p->second;
    const uint32_t id = bound_++;
    declarations_.push_back({{(4u << 16) | spv::OpTypePointer, id, storage, pointee}});
    pointers_[{storage, pointee}] = id;
    return id;
  }

  // Loads `type` (an array) at the chain (base, indices) into `result`.
  void expand(uint32_t type, uint32_t storage, uint32_t base, const std::vector<uint32_t>& indices, uint32_t result,
              std::vector<Instr>* out) {
    const auto array = arrays_.find(type);
    const uint32_t length = values_.count(array->second.second) ? values_[array->second.second] : 0;
    const uint32_t element = array->second.first;
    std::vector<uint32_t> construct = {0, type, result};
    for (uint32_t e = 0; e < length; ++e) {
      std::vector<uint32_t> at = indices;
      at.push_back(constant(e));
      const uint32_t value = bound_++;
      if (arrays_.count(element)) {
        expand(element, storage, base, at, value, out);
      } else {
        const uint32_t chain = bound_++;
        std::vector<uint32_t> words = {0, pointer(storage, element), chain, base};
        words.insert(words.end(), at.begin(), at.end());
        words[0] = (uint32_t(words.size()) << 16) | spv::OpAccessChain;
        out->push_back({words});
        out->push_back({{(4u << 16) | spv::OpLoad, element, value, chain}});
      }
      construct.push_back(value);
    }
    construct[0] = (uint32_t(construct.size()) << 16) | spv::OpCompositeConstruct;
    out->push_back({construct});
  }

  std::vector<Instr> rewriteLoads() {
    std::vector<Instr> rewritten;
    for (size_t k = 0; k < code_.size(); ++k) {
      const std::vector<uint32_t>& w = code_[k].words;
      if (op(code_[k]) == spv::OpLoad && w.size() >= 4 && arrays_.count(w[1]) && chains_.count(w[3])) {
        const std::vector<uint32_t>& chain = chains_[w[3]]->words;
        const auto ptr = pointees_.find(chain[1]);
        const auto array = arrays_.find(w[1]);
        if (ptr != pointees_.end() && ptr->second.first == spv::StorageClassUniform &&
            values_.count(array->second.second)) {
          std::vector<uint32_t> indices(chain.begin() + 4, chain.end());
          expand(w[1], spv::StorageClassUniform, chain[3], indices, w[2], &rewritten);
          continue;
        }
      }
      rewritten.push_back(code_[k]);
    }
    return rewritten;
  }

  // The chains to the arrays themselves are left unused: drop them (the
  // GLSL stage refuses any chain that ends at an array of the file).
  void dropUnusedArrayChains(std::vector<Instr>* rewritten) const {
    std::set<uint32_t> usedIds;
    for (const Instr& i : *rewritten) {
      const uint32_t o = op(i);
      if (o == spv::OpName || o == spv::OpDecorate || o == spv::OpMemberName || o == spv::OpMemberDecorate) continue;
      const bool chain = o == spv::OpAccessChain || o == spv::OpInBoundsAccessChain;
      for (size_t k = 1; k < i.words.size(); ++k)
        if (!(chain && k == 2)) usedIds.insert(i.words[k]);
    }
    rewritten->erase(std::remove_if(rewritten->begin(), rewritten->end(),
                                    [&](const Instr& i) {
                                      const uint32_t o = op(i);
                                      if ((o != spv::OpAccessChain && o != spv::OpInBoundsAccessChain) ||
                                          i.words.size() < 4)
                                        return false;
                                      const auto ptr = pointees_.find(i.words[1]);
                                      return ptr != pointees_.end() && ptr->second.first == spv::StorageClassUniform &&
                                             arrays_.count(ptr->second.second) && !usedIds.count(i.words[2]);
                                    }),
                     rewritten->end());
  }

  // Types and constants made above go before the first function.
  void reassemble(std::vector<Instr> rewritten, std::vector<uint32_t>* spirv) const {
    size_t insertAt = 0;
    for (size_t k = 0; k < rewritten.size(); ++k)
      if (op(rewritten[k]) == spv::OpFunction) { insertAt = k; break; }
    rewritten.insert(rewritten.begin() + long(insertAt), declarations_.begin(), declarations_.end());
    std::vector<uint32_t> out(spirv->begin(), spirv->begin() + 5);
    out[3] = bound_;
    for (const Instr& i : rewritten) out.insert(out.end(), i.words.begin(), i.words.end());
    *spirv = std::move(out);
  }

  std::vector<Instr> code_;
  uint32_t bound_ = 0;
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> arrays_;    // array type -> (element type, length id)
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> pointers_;  // (storage, pointee) -> pointer type
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> pointees_;  // pointer type -> (storage, pointee)
  std::map<uint32_t, uint32_t> values_;                         // 32-bit constant id -> value
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> intConstants_;  // (type, value) -> id
  std::map<uint32_t, const Instr*> chains_;
  uint32_t intType_ = 0;
  size_t firstFunction_ = SIZE_MAX;
  std::vector<Instr> declarations_;  // types and constants made while rewriting
};

void loadUniformArraysByElement(std::vector<uint32_t>* spirv) {
  WholeArrayLoads loads;
  if (loads.split(*spirv)) loads.rewrite(spirv);
}

// What the SPIRV-Cross passes share.
struct CrossState {
  CrossState(const SZeTranslateRequest& request, const SZeHlslPrepassInfo& info, std::vector<uint32_t> spirv)
      : request(request),
        info(info),
        vertex(request.stage == ZE_STAGE_VERTEX),
        words(spirv),
        comp(std::move(spirv)),
        fileName(vertex ? "zeVC" : "zePC"),
        capacity(vertex ? ZE_VERTEX_REGISTERS : ZE_PIXEL_REGISTERS) {}

  bool fail(const std::string& text) {
    error = request.sourcePath + "(0): error: " + text + "\n";
    return false;
  }

  const SZeTranslateRequest& request;
  const SZeHlslPrepassInfo& info;
  const bool vertex;
  const std::vector<uint32_t> words;  // the access-chain scan reads the module too
  CompilerGLSL comp;
  const char* const fileName;         // the register file of the stage
  const int capacity;
  spirv_cross::ShaderResources all, used;
  std::string error;

  SZeCompiledProgram result;
  std::vector<SZeConstant> floats, samplers;
  bool haveFile = false;
  std::string prologue, epilogue, declarations;  // the entry wrapper's parts
  std::vector<std::pair<std::string, uint32_t>> demote;
  std::set<std::string> seen;                      // interface names given out
  std::map<uint32_t, int> semanticShift;           // elements of one array member: index added
  bool movesPosition = false;
};

// The name in the constant table: entry parameters made constants are "$name".
std::string tableName(const std::string& name) {
  const size_t n = std::strlen(kZeHlslEntryParamPrefix);
  return name.compare(0, n, kZeHlslEntryParamPrefix) == 0 ? "$" + name.substr(n) : name;
}

// Pass "constant layout": the global block becomes the stage's register file,
// every used constant at its Direct3D 9 register.
bool layoutConstants(CrossState& st) {
  CompilerGLSL& comp = st.comp;
  for (const spirv_cross::Resource& block : st.all.uniform_buffers) {
    uint32_t typeId = block.base_type_id;
    const SPIRType& bt = comp.get_type(typeId);
    std::string blockName = comp.get_name(typeId);
    if (blockName != "$Global" && blockName != "_Global")
      return st.fail("constant buffer '" + blockName + "' is not supported: declare constants at global scope");
    std::set<uint32_t> usedMembers;
    for (const spirv_cross::BufferRange& r : comp.get_active_buffer_ranges(block.id)) usedMembers.insert(r.index);
    const std::map<uint32_t, uint32_t> usedElements = usedArrayElements(st.words, block.id);
    std::vector<SZeConstType> types(bt.member_types.size());
    for (uint32_t m = 0; m < bt.member_types.size(); ++m) {
      bool rowMajor = comp.has_member_decoration(typeId, m, spv::DecorationRowMajor);
      types[m] = layoutType(comp, bt.member_types[m], rowMajor);
      if (types[m].cls == ZE_CLASS_MATRIX_ROWS || types[m].cls == ZE_CLASS_MATRIX_COLUMNS)
        comp.set_member_decoration(typeId, m, spv::DecorationMatrixStride, 16);
    }
    std::vector<uint32_t> memberOf;
    for (uint32_t m = 0; m < bt.member_types.size(); ++m) {
      if (!usedMembers.count(m)) continue;
      SZeConstant c;
      c.name = comp.get_member_name(typeId, m);
      c.registerSet = 'c';
      c.type = types[m];
      auto original = st.info.originalBase.find(c.name);
      if (original != st.info.originalBase.end() && c.type.base == ZE_BASE_FLOAT) c.type.base = original->second;
      c.registerCount = int32_t(c.type.registerCount());
      auto trimmed = usedElements.find(m);
      if (c.type.elements && trimmed != usedElements.end() && trimmed->second > 0 && trimmed->second < c.type.elements)
        c.registerCount = int32_t(trimmed->second * c.type.elementRegisters);
      st.floats.push_back(std::move(c));
      memberOf.push_back(m);
    }
    std::vector<SZeConstant*> items;
    for (SZeConstant& c : st.floats) items.push_back(&c);
    std::string error;
    if (!allocate(items, st.info, st.vertex ? 0 : 1, 'c', st.capacity, &error)) {
      st.error = st.request.sourcePath + "(0): " + error + "\n";
      return false;
    }
    // Unused members are never read: park them on register 0.
    for (uint32_t m = 0; m < bt.member_types.size(); ++m) comp.set_member_decoration(typeId, m, spv::DecorationOffset, 0);
    for (size_t k = 0; k < st.floats.size(); ++k)
      comp.set_member_decoration(typeId, memberOf[k], spv::DecorationOffset, uint32_t(st.floats[k].registerIndex) * 16);
    comp.set_name(block.id, st.fileName);
    comp.set_name(typeId, st.fileName);
    comp.flatten_buffer_block(block.id);
    st.haveFile = true;
  }
  return true;
}

// Pass "sampler layout": samplers get Direct3D 9 indices (explicit first,
// then in declaration order) and the uniform names the GL side binds.
bool layoutSamplers(CrossState& st) {
  CompilerGLSL& comp = st.comp;
  std::map<uint32_t, size_t> samplerOf;
  for (const spirv_cross::Resource& r : st.used.sampled_images) {
    const SPIRType& t = comp.get_type(r.type_id);
    SZeConstant c;
    c.name = r.name.empty() ? comp.get_name(r.id) : r.name;
    c.registerSet = 's';
    c.registerCount = 1;
    c.type.cls = ZE_CLASS_OBJECT;
    c.type.rows = c.type.columns = 1;
    switch (t.image.dim) {
      case spv::Dim1D: c.type.base = ZE_BASE_SAMPLER1D; break;
      case spv::Dim3D: c.type.base = ZE_BASE_SAMPLER3D; break;
      case spv::DimCube: c.type.base = ZE_BASE_SAMPLERCUBE; break;
      default: c.type.base = ZE_BASE_SAMPLER2D; break;
    }
    if (!t.array.empty()) return st.fail("sampler arrays are not supported ('" + c.name + "')");
    samplerOf[r.id] = st.samplers.size();
    st.samplers.push_back(c);
  }
  std::vector<SZeConstant*> items;
  for (SZeConstant& c : st.samplers) items.push_back(&c);
  auto order = [&st](const SZeConstant* c) {
    auto o = st.info.declarationOrder.find(c->name);
    return o == st.info.declarationOrder.end() ? 1 << 30 : o->second;
  };
  std::stable_sort(items.begin(), items.end(),
                   [&](const SZeConstant* a, const SZeConstant* b) { return order(a) < order(b); });
  std::string error;
  if (!allocate(items, st.info, st.vertex ? 0 : 1, 's', st.vertex ? ZE_VERTEX_SAMPLERS : ZE_PIXEL_SAMPLER_REGISTERS, &error)) {
    st.error = st.request.sourcePath + "(0): " + error + "\n";
    return false;
  }
  for (const auto& s : samplerOf)
    comp.set_name(s.first, zeGlslSamplerName(st.request.stage, tableName(st.samplers[s.second].name)));
  if (!st.all.separate_images.empty() || !st.all.separate_samplers.empty())
    return st.fail("separate texture and sampler objects are not supported");
  return true;
}

Semantic semanticOf(CrossState& st, uint32_t id) {
  auto shifted = st.semanticShift.find(id);
  std::string s = st.comp.get_decoration_string(id, spv::DecorationHlslSemanticGOOGLE);
  if (s.empty()) s = st.comp.get_name(id);
  Semantic out = parseSemantic(s);
  if (shifted != st.semanticShift.end()) out.index += shifted->second;
  return out;
}

// An array member of an interface struct ("float4 offset[3] : TEXCOORD2")
// reaches us as one variable per element, all with the member's semantic:
// the elements take consecutive semantics (TEXCOORD2, 3, 4), in location order.
void spreadRepeatedSemantics(CrossState& st, const spirv_cross::SmallVector<spirv_cross::Resource>& resources) {
  std::map<std::string, std::vector<uint32_t>> bySemantic;
  for (const spirv_cross::Resource& r : resources) {
    std::string s = st.comp.get_decoration_string(r.id, spv::DecorationHlslSemanticGOOGLE);
    if (s.empty()) continue;
    const Semantic sem = parseSemantic(s);
    bySemantic[sem.name + "#" + std::to_string(sem.index)].push_back(r.id);
  }
  for (auto& group : bySemantic) {
    if (group.second.size() < 2) continue;
    std::stable_sort(group.second.begin(), group.second.end(), [&st](uint32_t a, uint32_t b) {
      return st.comp.get_decoration(a, spv::DecorationLocation) < st.comp.get_decoration(b, spv::DecorationLocation);
    });
    int shift = 0;
    for (uint32_t id : group.second) {
      st.semanticShift[id] = shift;
      const SPIRType& t = st.comp.get_type_from_variable(id);
      shift += t.array.empty() ? 1 : int(std::max<uint32_t>(t.array[0], 1u));
    }
  }
}

// An interface variable becomes a plain global named after its semantic; the
// entry wrapper fills it (input) or copies it out (output).
std::string renameInterface(CrossState& st, const spirv_cross::Resource& r, const char* prefix, const Semantic& sem) {
  std::string local = prefix + sem.name + std::to_string(sem.index);
  if (!st.seen.insert(local).second) local += "_" + std::to_string(r.id);
  st.comp.set_name(r.id, local);
  st.comp.unset_decoration(r.id, spv::DecorationLocation);
  return local;
}

// Where a vertex input comes from: the fixed-function arrays Irrlicht feeds,
// else a generic attribute.
std::string vertexInputSource(CrossState& st, const Semantic& sem) {
  if (sem.name == "POSITION" && sem.index == 0) return "gl_Vertex";
  if (sem.name == "NORMAL" && sem.index == 0) return "vec4(gl_Normal, 1.0)";
  if (sem.name == "COLOR" && sem.index == 0) return "gl_Color";
  if (sem.name == "COLOR" && sem.index == 1) return "gl_SecondaryColor";
  if (sem.name == "TEXCOORD" && sem.index < 8) return "gl_MultiTexCoord" + std::to_string(sem.index);
  if (sem.name == "TANGENT" && sem.index == 0) return "gl_MultiTexCoord1";
  if (sem.name == "BINORMAL" && sem.index == 0) return "gl_MultiTexCoord2";
  std::string attr = "zeA_" + sem.name + std::to_string(sem.index);
  st.declarations += "in vec4 " + attr + ";\n";
  st.result.attributes.push_back(attr);
  return attr;
}

// Where a pixel input comes from: the window position, the face, or the
// varying of its semantic.
std::string pixelInputSource(CrossState& st, const Semantic& sem) {
  if (sem.name == "VPOS" || sem.name == "POSITION") return "vec4(gl_FragCoord.xy - vec2(0.5), gl_FragCoord.zw)";
  if (sem.name == "VFACE") return "vec4(gl_FrontFacing ? 1.0 : -1.0, 0.0, 0.0, 1.0)";
  std::string varying = "zeV_" + sem.name + std::to_string(sem.index);
  st.declarations += "in vec4 " + varying + ";\n";
  st.result.varyings.push_back(varying);
  return varying;
}

// Pass "inputs": every stage input is filled from its semantic's source.
bool mapInputs(CrossState& st) {
  spreadRepeatedSemantics(st, st.all.stage_inputs);
  for (const spirv_cross::Resource& r : st.all.stage_inputs) {
    const Semantic sem = semanticOf(st, r.id);
    const SPIRType& t = st.comp.get_type(r.type_id);
    const std::string local = renameInterface(st, r, "zeIn_", sem);
    if (t.columns > 1 || t.array.size() > 1) return st.fail("input '" + local + "' must be a scalar, a vector or an array of them");
    if (!st.vertex && sem.name == "VFACE" && t.array.empty() && t.vecsize == 1 && t.basetype != SPIRType::Float) {
      // A bool face (SV_IsFrontFace) is true on the front face, as VFACE's
      // sign says; a conversion of the sign would be true on both.
      st.prologue += "  " + local + " = " + glslTypeName(t) + "(gl_FrontFacing);\n";
    } else if (t.array.empty()) {
      const std::string src = st.vertex ? vertexInputSource(st, sem) : pixelInputSource(st, sem);
      st.prologue += "  " + local + " = " + narrow(src, t) + ";\n";
    } else {
      // "float2 uv[5] : TEXCOORD1": element k comes from TEXCOORD1+k.
      for (uint32_t k = 0; k < t.array[0]; ++k) {
        Semantic element = sem;
        element.index += int(k);
        const std::string src = st.vertex ? vertexInputSource(st, element) : pixelInputSource(st, element);
        st.prologue += "  " + local + "[" + std::to_string(k) + "] = " + narrow(src, t) + ";\n";
      }
    }
    st.demote.push_back({local, r.id});
  }
  return true;
}

// One output value (of type t) to where its semantic goes.
bool writeOutput(CrossState& st, const Semantic& sem, const std::string& value, const SPIRType& t) {
  const std::string scalar = "float(" + value + (t.vecsize > 1 ? ".x" : "") + ")";
  if (st.vertex) {
    if (sem.name == "POSITION" && sem.index == 0) {
      st.epilogue += "  gl_Position = " + widen(value, t) + ";\n";
      st.movesPosition = true;
    } else if (sem.name == "PSIZE") {
      st.epilogue += "  gl_PointSize = " + scalar + ";\n";
    } else {
      std::string varying = "zeV_" + sem.name + std::to_string(sem.index);
      st.declarations += "out vec4 " + varying + ";\n";
      st.result.varyings.push_back(varying);
      st.epilogue += "  " + varying + " = " + widen(value, t) + ";\n";
    }
  } else if (sem.name == "COLOR" && sem.index < 4) {
    std::string target = "zeColor" + std::to_string(sem.index);
    st.declarations += "layout(location = " + std::to_string(sem.index) + ") out vec4 " + target + ";\n";
    st.epilogue += "  " + target + " = " + widen(value, t) + ";\n";
  } else if (sem.name == "DEPTH") {
    st.epilogue += "  gl_FragDepth = " + scalar + ";\n";
  } else {
    return st.fail("pixel shader output semantic '" + sem.name + std::to_string(sem.index) + "' is not supported");
  }
  return true;
}

// Pass "outputs": vertex outputs become gl_Position, gl_PointSize or the
// varying of their semantic; pixel outputs a draw buffer or the depth.
bool mapOutputs(CrossState& st) {
  spreadRepeatedSemantics(st, st.all.stage_outputs);
  for (const spirv_cross::Resource& r : st.all.stage_outputs) {
    const Semantic sem = semanticOf(st, r.id);
    const SPIRType& t = st.comp.get_type(r.type_id);
    const std::string local = renameInterface(st, r, "zeOut_", sem);
    if (t.columns > 1 || t.array.size() > 1)
      return st.fail("output '" + local + "' must be a scalar, a vector or an array of them");
    // "out float2 uv[3] : TEXCOORD1": element k goes to TEXCOORD1+k.
    const uint32_t elements = t.array.empty() ? 1 : t.array[0];
    for (uint32_t k = 0; k < elements; ++k) {
      Semantic element = sem;
      element.index += int(k);
      const std::string value = local + (t.array.empty() ? "" : "[" + std::to_string(k) + "]");
      if (!writeOutput(st, element, value, t)) return false;
    }
    st.demote.push_back({local, r.id});
  }
  // Direct3D 9 pixel centres: the position moves by half a pixel of the
  // target drawn into (right and down), set by the GL layer as ZE_HALF_PIXEL_UNIFORM.
  if (st.movesPosition) {
    st.declarations += "uniform vec2 " + std::string(ZE_HALF_PIXEL_UNIFORM) + ";\n";
    st.epilogue += "  gl_Position.xy += " + std::string(ZE_HALF_PIXEL_UNIFORM) + " * gl_Position.w;\n";
  }
  return true;
}

// Pass "entry wrapper": the GLSL text, with the whole register file declared,
// the interface demoted to globals, the entry point renamed zeMain() and a
// main() that fills the inputs, calls it and writes the outputs.
bool writeEntryWrapper(CrossState& st) {
  std::string glsl = st.comp.compile();
  if (st.haveFile) {
    // The whole file of the stage, whatever part the shader reads.
    size_t p = glsl.find("uniform vec4 " + std::string(st.fileName) + "[");
    if (p == std::string::npos) return st.fail("register file declaration not found");
    size_t e = glsl.find(';', p);
    glsl.replace(p, e - p, "uniform vec4 " + std::string(st.fileName) + "[" + std::to_string(st.capacity) + "]");
  }
  for (const auto& d : st.demote) demoteDeclaration(&glsl, d.first, !st.comp.get_type_from_variable(d.second).array.empty());
  size_t mainAt = glsl.find("\nvoid main()\n");
  if (mainAt == std::string::npos) return st.fail("entry point not found in the generated code");
  glsl.replace(mainAt, 13, "\nvoid zeMain()\n");
  // Declarations go right after the #version and #extension lines.
  size_t insertAt = 0;
  for (size_t p = 0; p < glsl.size();) {
    size_t e = glsl.find('\n', p);
    if (e == std::string::npos) break;
    if (glsl.compare(p, 1, "#") != 0) {
      insertAt = p;
      break;
    }
    p = e + 1;
    insertAt = p;
  }
  glsl.insert(insertAt, st.declarations);
  glsl += "\nvoid main()\n{\n" + st.prologue + "  zeMain();\n" + st.epilogue + "}\n";
  // Unsigned values index constant arrays ("bones[indices.x]" with a uint4
  // input): the register file's index arithmetic then mixes uint and int,
  // which GLSL 330 only accepts with the implicit conversions of gpu_shader5.
  const bool unsignedValues = glsl.find("uint") != std::string::npos || glsl.find("uvec") != std::string::npos;
  replaceAll(&glsl, "#version 330\n",
             unsignedValues ? "#version 330 compatibility\n#extension GL_ARB_gpu_shader5 : enable\n"
                            : "#version 330 compatibility\n");
  st.result.glsl = std::move(glsl);
  for (std::vector<SZeConstant>* list : {&st.floats, &st.samplers})
    for (SZeConstant& c : *list) {
      c.name = tableName(c.name);
      st.result.constants.constants.push_back(std::move(c));
    }
  return true;
}

// The SPIRV-Cross half: options, reflection, then the passes in order.
bool crossCompile(const SZeTranslateRequest& request, const SZeHlslPrepassInfo& info, std::vector<uint32_t> spirv,
                  SZeCompiledProgram* out, std::string* errors) {
  CrossState st(request, info, std::move(spirv));
  CompilerGLSL::Options options;
  options.version = 330;
  options.es = false;
  options.enable_420pack_extension = false;
  options.vertex.fixup_clipspace = false;
  options.vertex.flip_vert_y = false;
  st.comp.set_common_options(options);
  st.all = st.comp.get_shader_resources();
  st.used = st.comp.get_shader_resources(st.comp.get_active_interface_variables());
  st.result.stage = request.stage;
  st.result.sourcePath = request.sourcePath;
  st.result.entry = request.entry;
  if (!layoutConstants(st) || !layoutSamplers(st) || !mapInputs(st) || !mapOutputs(st) || !writeEntryWrapper(st)) {
    *errors = st.error;
    return false;
  }
  *out = std::move(st.result);
  return true;
}

}  // namespace

// --- translate -------------------------------------------------------------------

bool zeTranslateHlslInProcess(const SZeTranslateRequest& request, SZeCompiledProgram* out, std::string* errors) {
  std::call_once(gInitOnce, [] { glslang::InitializeProcess(); });
  errors->clear();
  SZeHlslPrepassInfo info;
  std::vector<uint32_t> spirv;
  // An entry with uniform parameters is compiled through a wrapper that binds them.
  // An entry naming an effect-level shader object or a technique's pass is
  // the function that object compiles.
  SZeTranslateRequest bound = request;
  std::string entry = request.entry, wrapper, wrapperName, bindError;
  if (!zeHlslResolveShaderEntry(request.source, request.entry, request.stage == ZE_STAGE_VERTEX, request.macros, &entry,
                                &bindError) &&
      !bindError.empty()) {
    *errors = request.sourcePath + "(0): error: " + bindError + "\n";
    return false;
  }
  if (zeHlslBindUniformEntry(request.source, entry, &wrapper, &wrapperName, &bindError)) {
    bound.source += wrapper;
    bound.entry = wrapperName;
  } else if (!bindError.empty()) {
    *errors = request.sourcePath + "(0): error: " + bindError + "\n";
    return false;
  } else {
    bound.entry = entry.substr(0, entry.find('('));
    while (!bound.entry.empty() && std::isspace(static_cast<unsigned char>(bound.entry.back()))) bound.entry.pop_back();
  }
  if (!compileToSpirv(bound, &info, &spirv, errors)) return false;
  fixUpSpirv(&spirv);
  loadUniformArraysByElement(&spirv);
  try {
    return crossCompile(request, info, std::move(spirv), out, errors);
  } catch (const LayoutError& e) {
    *errors = request.sourcePath + "(0): error: " + e.text + "\n";
  } catch (const std::exception& e) {
    *errors = request.sourcePath + "(0): error: translation failed: " + e.what() + "\n";
  }
  return false;
}

std::string zeGlslSamplerName(uint32_t stage, const std::string& constantName) {
  const std::string prefix = stage == ZE_STAGE_VERTEX ? "zeVS_" : "zePS_";
  if (!constantName.empty() && constantName[0] == '$') return prefix + kZeHlslEntryParamPrefix + constantName.substr(1);
  return prefix + constantName;
}

bool zeValidateGlsl(uint32_t stage, const std::string& glsl, std::string* log) {
  std::call_once(gInitOnce, [] { glslang::InitializeProcess(); });
  const EShLanguage language = stage == ZE_STAGE_VERTEX ? EShLangVertex : EShLangFragment;
  glslang::TShader shader(language);
  const char* text = glsl.c_str();
  shader.setStrings(&text, 1);
  bool ok = shader.parse(GetDefaultResources(), 330, ECompatibilityProfile, false, false, EShMsgDefault);
  *log = shader.getInfoLog();
  return ok;
}
