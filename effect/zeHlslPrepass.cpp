#include "effect/zeHlslPrepass.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

#include "effect/zeConstantTable.h"
#include "effect/zeHlslTranslator.h"

const char* const kZeHlslHiddenPrefix = "zeHidden_";
const char* const kZeHlslEntryParamPrefix = "zeParam_";

std::string zeHlslHideMacroName(const std::string& name) {
  return (name.compare(0, 3, "GL_") == 0 || name == "VULKAN") ? kZeHlslHiddenPrefix + name : name;
}

namespace {

const char* const kSwizzle = "xyzw";

std::string sized(const std::string& base, int n) { return n == 1 ? base : base + std::to_string(n); }

// Every split of a width into two or more parts ({1, 3}, {2, 2}, ...).
void splits(int left, std::vector<int>* parts, std::vector<std::vector<int>>* out) {
  if (left == 0) {
    if (parts->size() > 1) out->push_back(*parts);
    return;
  }
  for (int k = 1; k <= left; ++k) {
    parts->push_back(k);
    splits(left - k, parts, out);
    parts->pop_back();
  }
}

// "void zeSplit(out float p0, out float3 p1, float4 v) { p0 = v.x; p1 = v.yzw; }"
// for every split of widths 2 to 4.
std::string splitOverloads(const std::string& base) {
  std::string out;
  for (int width = 2; width <= 4; ++width) {
    std::vector<int> parts;
    std::vector<std::vector<int>> all;
    splits(width, &parts, &all);
    for (const std::vector<int>& split : all) {
      std::string params, body;
      int at = 0;
      for (size_t k = 0; k < split.size(); ++k) {
        const std::string p = "p" + std::to_string(k);
        params += "out " + sized(base, split[k]) + " " + p + ", ";
        body += " " + p + " = v." + std::string(kSwizzle + at, size_t(split[k])) + ";";
        at += split[k];
      }
      out += "void zeSplit(" + params + sized(base, width) + " v) {" + body + " }\n";
    }
  }
  return out;
}

// The stem of a scalar or vector type ("half3" -> "half") and its width; false for others.
bool scalarOrVector(const std::string& type, std::string* stem, int* width) {
  static const char* const stems[] = {"float", "half", "double", "int", "uint", "bool"};
  for (const char* st : stems) {
    const size_t n = std::strlen(st);
    if (type.compare(0, n, st) != 0) continue;
    if (type.size() == n) { *stem = st; *width = 1; return true; }
    if (type.size() == n + 1 && type[n] >= '2' && type[n] <= '4') { *stem = st; *width = type[n] - '0'; return true; }
  }
  return false;
}

// half is float to the front end: its helpers are float's.
std::string helperBase(const std::string& stem) { return stem == "half" ? "float" : stem; }

// "(float2[2])v": a struct holding the array, filled from the components of
// v in order (a matrix row by row), for every vector and matrix source with
// as many components, and an array source of the same shape.
std::string arrayCastHelper(const std::string& element, int count) {
  std::string stem;
  int width = 0;
  if (!scalarOrVector(element, &stem, &width)) return "";
  const std::string name = element + "_" + std::to_string(count);
  const int total = width * count;
  std::string out = "struct zeArray_" + name + " { " + element + " e[" + std::to_string(count) + "]; };\n";
  auto function = [&](const std::string& param, const std::function<std::string(int)>& component) {
    out += "zeArray_" + name + " zeCastArray_" + name + "(" + param + ") { zeArray_" + name + " r;";
    for (int i = 0; i < count; ++i) {
      std::string value;
      for (int c = 0; c < width; ++c) value += (c ? ", " : "") + component(i * width + c);
      out += " r.e[" + std::to_string(i) + "] = " + (width > 1 ? element + "(" + value + ")" : value) + ";";
    }
    out += " return r; }\n";
  };
  if (total >= 2 && total <= 4)
    function(sized(stem, total) + " v", [](int k) { return "v[" + std::to_string(k) + "]"; });
  for (int rows = 2; rows <= 4; ++rows)
    for (int cols = 2; cols <= 4; ++cols)
      if (rows * cols == total)
        function(stem + std::to_string(rows) + "x" + std::to_string(cols) + " v", [cols](int k) {
          return "v[" + std::to_string(k / cols) + "][" + std::to_string(k % cols) + "]";
        });
  function(element + " v[" + std::to_string(count) + "]", [width](int k) {
    return "v[" + std::to_string(k / width) + "]" + (width > 1 ? "[" + std::to_string(k % width) + "]" : "");
  });
  return out;
}

}  // namespace

std::string zeHlslHelperPreamble(const SZeHlslPrepassInfo& info) {
  std::string out;
  for (const std::string& base : info.splitBases) out += splitOverloads(base);
  for (const auto& cast : info.arrayCasts) out += arrayCastHelper(cast.first, cast.second);
  return out;
}

void zeHlslJoinHelpers(const SZeHlslPrepassInfo& from, SZeHlslPrepassInfo* to) {
  to->splitBases.insert(from.splitBases.begin(), from.splitBases.end());
  to->arrayCasts.insert(from.arrayCasts.begin(), from.arrayCasts.end());
}

const char* const kZeHlslPreamble =
    // GLSL has no projective cube lookup.
    "#define texCUBEproj(s, t) texCUBE(s, (t).xyz / (t).w)\n"
    // GLSL 330 has no ldexp.
    "#define ldexp(x, e) ((x) * exp2(e))\n"
    "float4 zeLit(float zeNdotL, float zeNdotH, float zeM) {\n"
    "  float zeSpec = (zeNdotL < 0.0 || zeNdotH < 0.0) ? 0.0 : pow(max(zeNdotH, 0.0), zeM);\n"
    "  return float4(1.0, max(zeNdotL, 0.0), zeSpec, 1.0);\n"
    "}\n";

namespace {

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// A copy in which comments, string literals and preprocessor lines are blanks,
// so the scanner below sees only code. Newlines stay.
std::string codeOnly(const std::string& s) {
  std::string out = s;
  size_t i = 0, n = s.size();
  bool lineStart = true;
  while (i < n) {
    char c = s[i];
    if (c == '\n') { lineStart = true; ++i; continue; }
    if (lineStart && (c == ' ' || c == '\t')) { ++i; continue; }
    if (lineStart && c == '#') {
      // Directive, with backslash continuations.
      while (i < n && s[i] != '\n') {
        if (s[i] == '\\' && i + 1 < n && s[i + 1] == '\n') { out[i] = ' '; i += 2; continue; }
        out[i++] = ' ';
      }
      continue;
    }
    lineStart = false;
    if (c == '/' && i + 1 < n && s[i + 1] == '/') {
      while (i < n && s[i] != '\n') out[i++] = ' ';
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      out[i] = out[i + 1] = ' ';
      i += 2;
      while (i < n && !(s[i] == '*' && i + 1 < n && s[i + 1] == '/')) {
        if (s[i] != '\n') out[i] = ' ';
        ++i;
      }
      if (i < n) { out[i] = out[i + 1] = ' '; i += 2; }
    } else if (c == '"') {
      out[i++] = ' ';
      while (i < n && s[i] != '"' && s[i] != '\n') {
        if (s[i] == '\\' && i + 1 < n) out[i++] = ' ';
        out[i++] = ' ';
      }
      if (i < n && s[i] == '"') out[i++] = ' ';
    } else {
      ++i;
    }
  }
  return out;
}

void blank(std::string* out, size_t from, size_t to) {
  for (size_t i = from; i < to && i < out->size(); ++i)
    if ((*out)[i] != '\n') (*out)[i] = ' ';
}

// Index just past the brace that closes the one at `open`.
size_t matchClose(const std::string& code, size_t open, char o, char c) {
  int depth = 0;
  for (size_t i = open; i < code.size(); ++i) {
    if (code[i] == o) ++depth;
    else if (code[i] == c && --depth == 0) return i + 1;
  }
  return code.size();
}

struct Token {
  size_t pos;
  size_t len;
};

bool isTextureKeyword(const std::string& w) {
  return w == "texture" || w == "Texture" || w == "TEXTURE" || w == "texture1D" || w == "texture2D" ||
         w == "texture3D" || w == "textureCUBE" || w == "texture1d" || w == "texture2d" || w == "texture3d" ||
         w == "texturecube";
}

bool isSamplerType(const std::string& w) {
  return w == "sampler" || w == "sampler1D" || w == "sampler2D" || w == "sampler3D" || w == "samplerCUBE";
}

// Storage words that may stand before the type of a global declaration.
bool isGlobalQualifier(const std::string& w) {
  return w == "uniform" || w == "extern" || w == "shared" || w == "volatile" || w == "static" || w == "const";
}

bool isTemplateType(const std::string& w) {
  return w == "vector" || w == "matrix" || w.compare(0, 7, "Texture") == 0 || w.compare(0, 6, "Buffer") == 0 ||
         w.compare(0, 7, "RWTextu") == 0 || w.compare(0, 8, "RWBuffer") == 0;
}

// bool, bool1..4, int, int1..4 -> the float type of the same width.
bool integralUniformType(const std::string& w, std::string* floatType, uint8_t* base) {
  std::string stem;
  if (w.compare(0, 4, "bool") == 0) { stem = w.substr(4); *base = ZE_BASE_BOOL; }
  else if (w.compare(0, 3, "int") == 0) { stem = w.substr(3); *base = ZE_BASE_INT; }
  else return false;
  if (stem.empty()) { *floatType = "float"; return true; }
  if (stem == "1") { *floatType = "float"; return true; }  // a scalar, as float1 is made one
  if (stem.size() == 1 && stem[0] >= '2' && stem[0] <= '4') { *floatType = "float" + stem; return true; }
  return false;
}

}  // namespace

std::string zeHlslStripEffectSyntax(const std::string& source) {
  SZeHlslPrepassInfo info;
  return zeHlslPrepass(source, &info);
}

namespace {

struct Edit {
  size_t pos;
  size_t len;
  std::string text;
};

// Effect-level shader objects: "VertexShader VS[2] = { compile vs_2_0 A(1), ... };".
bool isShaderObjectKeyword(const std::string& w) {
  return w == "VertexShader" || w == "PixelShader" || w == "vertexshader" || w == "pixelshader" ||
         w == "VERTEXSHADER" || w == "PIXELSHADER";
}

bool isTechniqueKeyword(const std::string& w) {
  return w == "technique" || w == "technique9" || w == "technique10" || w == "technique11" || w == "Technique";
}

// Pass "effect syntax": walks the top-level statements of the code-only copy,
// blanks in `out` what only an effect compiler reads (technique blocks,
// texture declarations, sampler_state initialisers, annotations), records the
// declaration order and queues the edits that turn global bool/int constants
// into floats. Function bodies are skipped whole.
class TopLevelScanner {
 public:
  TopLevelScanner(const std::string& code, std::string* out, std::vector<Edit>* edits, SZeHlslPrepassInfo* info)
      : code_(code), n_(code.size()), out_(out), edits_(edits), info_(info) {}

  void run() {
    while (i_ < n_) {
      const char c = code_[i_];
      if (std::isspace(static_cast<unsigned char>(c))) ++i_;
      else if (depth_ > 0) insideBody(c);
      else if (isIdentStart(c)) identifier();
      else if (c == '<' && annotationStarts()) skipAnnotation();
      else punctuation(c);
    }
  }

 private:
  std::string word(const Token& t) const { return code_.substr(t.pos, t.len); }

  void insideBody(char c) {
    if (c == '{') ++depth_;
    else if (c == '}' && --depth_ == 0) {
      stmtStart_ = i_ + 1;
      stmt_.clear();
      sawAssign_ = false;
    }
    ++i_;
  }

  void identifier() {
    const size_t start = i_;
    while (i_ < n_ && isIdentChar(code_[i_])) ++i_;
    const std::string w = code_.substr(start, i_ - start);
    if (stmt_.empty() && isTechniqueKeyword(w)) return skipTechnique(start);
    // "uniform extern texture T;" as well as "texture T;".
    if (onlyQualifiers() && (isTextureKeyword(w) || isShaderObjectKeyword(w)))
      return skipTextureDeclaration(stmt_.empty() ? start : stmt_.front().pos);
    if (w == "sampler_state" || w == "stateblock_state") return skipStateInitialiser(start);
    info_->declarationOrder.emplace(w, int(info_->declarationOrder.size()));
    stmt_.push_back({start, i_ - start});
  }

  bool onlyQualifiers() const {
    return std::all_of(stmt_.begin(), stmt_.end(), [this](const Token& t) { return isGlobalQualifier(word(t)); });
  }

  void skipTechnique(size_t start) {
    const size_t open = code_.find('{', i_);
    const size_t close = open == std::string::npos ? n_ : matchClose(code_, open, '{', '}');
    blank(out_, start, close);
    i_ = close;
    stmtStart_ = i_;
  }

  // Up to the ';' that ends the declaration (annotations may hold braces).
  void skipTextureDeclaration(size_t start) {
    size_t j = i_;
    int inner = 0;
    while (j < n_ && !(code_[j] == ';' && inner == 0)) {
      if (code_[j] == '{' || code_[j] == '<') ++inner;
      else if (code_[j] == '}' || code_[j] == '>') --inner;
      ++j;
    }
    blank(out_, start, j < n_ ? j + 1 : n_);
    i_ = j < n_ ? j + 1 : n_;
    stmtStart_ = i_;
  }

  // "= sampler_state { ... }": drop the initialiser, keep the sampler.
  void skipStateInitialiser(size_t start) {
    const size_t eq = code_.rfind('=', start);
    const size_t from = (eq != std::string::npos && eq >= stmtStart_) ? eq : start;
    const size_t open = code_.find('{', i_);
    const size_t close = open == std::string::npos ? n_ : matchClose(code_, open, '{', '}');
    blank(out_, from, close);
    i_ = close;
  }

  // "name <...>" or "name[n] <...>" in a declaration, outside an initialiser.
  bool annotationStarts() const {
    if (parens_ != 0 || sawAssign_ || stmt_.size() < 2) return false;
    const bool prevIsIdent = isIdentStart(code_[stmt_.back().pos]);
    const bool prevIsBracket = code_[stmt_.back().pos] == ']';
    return (prevIsIdent && !isTemplateType(word(stmt_.back()))) || prevIsBracket;
  }

  void skipAnnotation() {
    const size_t close = matchClose(code_, i_, '<', '>');
    blank(out_, i_, close);
    i_ = close;
  }

  void punctuation(char c) {
    if (c == '(') ++parens_;
    if (c == ')') --parens_;
    if (c == '=' && parens_ == 0 && !sawAssign_) {
      sawAssign_ = true;
      assignAt_ = i_;
    }
    if (c == '{') {
      if (sawAssign_) {
        // An initialiser list: skip it as part of the statement. A list of
        // sampler_state blocks (a sampler array) is dropped like one block.
        const size_t close = matchClose(code_, i_, '{', '}');
        if (code_.substr(i_, close - i_).find("sampler_state") != std::string::npos) blank(out_, assignAt_, close);
        i_ = close;
        return;
      }
      depth_ = 1;
      finishStatement();
      ++i_;
      return;
    }
    if (c == ';' && parens_ == 0) {
      finishStatement();
      sawAssign_ = false;
      stmtStart_ = i_ + 1;
      ++i_;
      return;
    }
    stmt_.push_back({i_, 1});
    ++i_;
  }

  void finishStatement() {
    dropSamplerStorageWords();
    integralConstantsToFloat();
    recordConstants();
    stmt_.clear();
  }

  // A sampler loses "const" and "static": the front end crashes on a
  // constant sampler and makes a static one a variable GLSL refuses; to
  // Direct3D 9 every sampler is a register.
  void dropSamplerStorageWords() {
    size_t type = 0;
    while (type < stmt_.size() && isGlobalQualifier(word(stmt_[type]))) ++type;
    if (type < stmt_.size() && isSamplerType(word(stmt_[type])))
      for (size_t q = 0; q < type; ++q)
        if (word(stmt_[q]) == "const" || word(stmt_[q]) == "static") blank(out_, stmt_[q].pos, stmt_[q].pos + stmt_[q].len);
  }

  // Global bool/int constants become float.
  void integralConstantsToFloat() {
    size_t k = 0;
    while (k < stmt_.size() && isGlobalQualifier(word(stmt_[k])) && word(stmt_[k]) != "static" &&
           word(stmt_[k]) != "const")
      ++k;
    std::string floatType;
    uint8_t base = 0;
    if (k < stmt_.size() && integralUniformType(word(stmt_[k]), &floatType, &base) && k + 1 < stmt_.size() &&
        isIdentStart(code_[stmt_[k + 1].pos])) {
      // Not a function: the name is not followed by "(".
      size_t after = stmt_[k + 1].pos + stmt_[k + 1].len;
      while (after < n_ && std::isspace(static_cast<unsigned char>(code_[after]))) ++after;
      if (after < n_ && code_[after] != '(') {
        edits_->push_back({stmt_[k].pos, stmt_[k].len, floatType});
        info_->originalBase[word(stmt_[k + 1])] = base;
        // Further declarators after commas.
        for (size_t t = k + 2; t + 1 < stmt_.size(); ++t)
          if (code_[stmt_[t].pos] == ',' && isIdentStart(code_[stmt_[t + 1].pos]))
            info_->originalBase[word(stmt_[t + 1])] = base;
      }
    }
  }

  // The global constants a statement declares ("row_major float4x4 A[2], B
  // : register(c4) = ...;"), each with its type and array sizes.
  void recordConstants() {
    size_t k = 0;
    std::string type;
    for (; k < stmt_.size(); ++k) {
      const std::string w = word(stmt_[k]);
      if (w == "static") return;  // a variable of the program, not a constant
      if (w == "row_major" || w == "column_major") type += w + " ";
      else if (!isGlobalQualifier(w)) break;
    }
    if (k >= stmt_.size() || !isIdentStart(code_[stmt_[k].pos])) return;
    type += word(stmt_[k]);
    if (type == "typedef" || type == "struct") return;
    int depth = 0;
    bool expectName = true, inDims = false;
    SZeHlslPrepassInfo::Constant constant;
    for (size_t t = k + 1; t < stmt_.size(); ++t) {
      const std::string w = word(stmt_[t]);
      if (expectName) {
        if (!isIdentStart(w[0]) || (t + 1 < stmt_.size() && word(stmt_[t + 1]) == "(")) return;  // a function
        constant = {w, type, stmt_[t].pos, ""};
        if (t + 1 < stmt_.size() && isIdentStart(code_[stmt_[t + 1].pos])) constant.strayWord = word(stmt_[t + 1]);
        expectName = false;
        inDims = true;
        continue;
      }
      if (w == "(" || w == "[") ++depth;
      if (w == ")" || w == "]") --depth;
      inDims = inDims && (w == "[" || w == "]" || depth > 0);
      if (inDims) constant.type += w;
      if (depth == 0 && w == ",") {
        info_->constants.push_back(constant);
        expectName = true;
      }
    }
    if (!expectName) info_->constants.push_back(constant);
  }

  const std::string& code_;
  const size_t n_;
  std::string* out_;
  std::vector<Edit>* edits_;
  SZeHlslPrepassInfo* info_;
  size_t i_ = 0;
  int depth_ = 0;             // brace depth inside a function body
  std::vector<Token> stmt_;   // tokens of the current top-level statement
  size_t stmtStart_ = 0;
  int parens_ = 0;
  bool sawAssign_ = false;
  size_t assignAt_ = 0;       // the first top-level '=' of the statement
};

// Pass "explicit registers": "name[n] : SEMANTIC : register(vs, c12)".
void findExplicitRegisters(const std::string& code, SZeHlslPrepassInfo* info) {
  const size_t n = code.size();
  for (size_t p = code.find("register"); p != std::string::npos; p = code.find("register", p + 8)) {
    if (p > 0 && isIdentChar(code[p - 1])) continue;
    size_t q = p + 8;
    while (q < n && std::isspace(static_cast<unsigned char>(code[q]))) ++q;
    if (q >= n || code[q] != '(') continue;
    size_t close = code.find(')', q);
    if (close == std::string::npos) continue;
    std::string arg = code.substr(q + 1, close - q - 1);
    size_t comma = arg.find(',');
    // "register(vs, c0) : register(ps, c1)": a register for one stage only.
    int stage = -1;
    if (comma != std::string::npos) {
      std::string profile = arg.substr(0, comma);
      profile.erase(std::remove_if(profile.begin(), profile.end(),
                                   [](char ch) { return std::isspace(static_cast<unsigned char>(ch)); }),
                    profile.end());
      for (char& ch : profile) ch = char(std::tolower(static_cast<unsigned char>(ch)));
      if (profile.compare(0, 2, "vs") == 0) stage = 0;
      else if (profile.compare(0, 2, "ps") == 0) stage = 1;
      arg = arg.substr(comma + 1);
    }
    arg.erase(std::remove_if(arg.begin(), arg.end(), [](char ch) { return std::isspace(static_cast<unsigned char>(ch)); }),
              arg.end());
    if (arg.size() < 2 || !std::isdigit(static_cast<unsigned char>(arg[1]))) continue;
    char set = char(std::tolower(static_cast<unsigned char>(arg[0])));
    if (set != 'c' && set != 's') continue;
    size_t b = p;
    auto back = [&]() { while (b > 0 && std::isspace(static_cast<unsigned char>(code[b - 1]))) --b; };
    auto ident = [&]() {
      size_t end = b;
      while (b > 0 && isIdentChar(code[b - 1])) --b;
      return code.substr(b, end - b);
    };
    back();
    if (b == 0 || code[b - 1] != ':') continue;
    --b;
    std::string name;
    for (int guard = 0; guard < 8 && name.empty(); ++guard) {
      back();
      if (b > 0 && code[b - 1] == ')') {  // an earlier register(...) of the same name
        size_t open = code.rfind('(', b - 1);
        if (open == std::string::npos) break;
        b = open;
        back();
        if (ident() != "register") break;
        back();
        if (b > 0 && code[b - 1] == ':') { --b; continue; }
        break;
      }
      if (b > 0 && code[b - 1] == ']') {
        size_t open = code.rfind('[', b - 1);
        if (open == std::string::npos) break;
        b = open;
        back();
        name = ident();
        break;
      }
      std::string w = ident();
      back();
      if (b > 0 && code[b - 1] == ':') { --b; continue; }  // w was a semantic
      name = w;
    }
    if (name.empty() || !isIdentStart(name[0])) continue;
    if (stage < 0) info->explicitRegisters[name] = {set, std::atoi(arg.c_str() + 1)};
    else info->stageRegisters[stage][name] = {set, std::atoi(arg.c_str() + 1)};
  }
}

// Pass "lit": lit( -> zeLit( (glslang's lit gets the specular term wrong).
void renameLit(const std::string& code, std::vector<Edit>* edits) {
  const size_t n = code.size();
  for (size_t p = code.find("lit"); p != std::string::npos; p = code.find("lit", p + 3)) {
    if (p > 0 && (isIdentChar(code[p - 1]) || code[p - 1] == '.')) continue;
    size_t q = p + 3;
    if (q < n && isIdentChar(code[q])) continue;
    while (q < n && (code[q] == ' ' || code[q] == '\t')) ++q;
    if (q < n && code[q] == '(') edits->push_back({p, 3, "zeLit"});
  }
}

// Pass "matrix swizzles": "m._m00_m01_m02" and "m._11_12" (more than one
// element) become "float3(m._m00, m._m01, m._m02)": the SPIR-V stages crash
// on the multi-element form. The matrix is a name with members and constant
// or variable indices ("a.b[i].m"); it is read once per element.
void splitMatrixSwizzles(const std::string& code, std::vector<Edit>* edits) {
  const size_t n = code.size();
  for (size_t p = code.find("._"); p != std::string::npos; p = code.find("._", p + 2)) {
    std::vector<std::string> elements;
    size_t q = p + 1;
    while (q < n && code[q] == '_') {
      size_t r = q + 1;
      const bool zeroBased = r < n && code[r] == 'm';
      if (zeroBased) ++r;
      if (r + 1 >= n) break;
      const char lo = zeroBased ? '0' : '1', hi = zeroBased ? '3' : '4';
      if (code[r] < lo || code[r] > hi || code[r + 1] < lo || code[r + 1] > hi) break;
      elements.push_back(code.substr(q, r + 2 - q));
      q = r + 2;
    }
    if (elements.size() < 2 || elements.size() > 4 || (q < n && isIdentChar(code[q]))) continue;
    // The matrix expression, read backwards: (name ([...])*) joined by '.'.
    size_t b = p;
    bool ok = true;
    if (b > 0 && code[b - 1] == ')') {
      // "(expr)" or "f(args)": the group, with the name of a call before it.
      int depth = 0;
      size_t k = b - 1;
      for (;; --k) {
        if (code[k] == ')') ++depth;
        else if (code[k] == '(' && --depth == 0) break;
        if (k == 0) { ok = false; break; }
      }
      b = k;
      while (ok && b > 0 && isIdentChar(code[b - 1])) --b;
      if (ok && b < k && !isIdentStart(code[b])) ok = false;
    } else while (ok) {
      while (b > 0 && code[b - 1] == ']') {
        int depth = 0;
        size_t k = b - 1;
        for (;; --k) {
          if (code[k] == ']') ++depth;
          else if (code[k] == '[' && --depth == 0) break;
          if (k == 0) { ok = false; break; }
        }
        if (!ok) break;
        b = k;
      }
      const size_t end = b;
      while (b > 0 && isIdentChar(code[b - 1])) --b;
      if (b == end || !isIdentStart(code[b])) { ok = false; break; }
      if (b > 0 && code[b - 1] == '.') --b;
      else break;
    }
    if (!ok) continue;
    const std::string matrix = code.substr(b, p - b);
    if (matrix.find_first_of("\n") != std::string::npos) continue;
    std::string text = "float" + std::to_string(elements.size()) + "(";
    for (size_t k = 0; k < elements.size(); ++k) text += (k ? ", " : "") + matrix + "." + elements[k];
    edits->push_back({b, q - b, text + ")"});
  }
}

// Calls `word(start, text)` for every word of the source outside comments
// and string literals: in code and in directives alike.
void forEachWord(const std::string& source, const std::function<void(size_t, const std::string&)>& word) {
  const size_t n = source.size();
  for (size_t i = 0; i < n;) {
    const char c = source[i];
    if (c == '/' && i + 1 < n && source[i + 1] == '/') {
      while (i < n && source[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < n && source[i + 1] == '*') {
      const size_t e = source.find("*/", i + 2);
      i = e == std::string::npos ? n : e + 2;
    } else if (c == '"') {
      ++i;
      while (i < n && source[i] != '"' && source[i] != '\n') i += source[i] == '\\' ? 2 : 1;
      ++i;
    } else if (isIdentStart(c)) {
      const size_t start = i;
      while (i < n && isIdentChar(source[i])) ++i;
      word(start, source.substr(start, i - start));
    } else {
      ++i;
    }
  }
}

// Pass "OpenGL names": the front end predefines OpenGL macros (GL_core_profile,
// GL_ARB_gpu_shader5, VULKAN ...) even for HLSL, which sends shaders written
// for several APIs down their GLSL paths. Every such name, in code and in
// directives alike, gets a prefix, so none of them is defined unless the
// source defines it.
void hideOpenGlNames(const std::string& source, const std::string& out, std::vector<Edit>* edits) {
  forEachWord(source, [&](size_t start, const std::string& w) {
    if ((w.compare(0, 3, "GL_") == 0 || w == "VULKAN") && out.compare(start, w.size(), w) == 0)
      edits->push_back({start, 0, kZeHlslHiddenPrefix});
  });
}

// Pass "one-component types": float1 (and its kin) is a scalar that may be
// written through ".x"; the front end refuses that on its one-element vector.
void scalarOneComponentTypes(const std::string& code, std::vector<Edit>* edits) {
  static const char* const types[] = {"float1", "half1", "double1", "int1", "uint1", "bool1"};
  std::set<size_t> taken;
  for (const Edit& e : *edits) taken.insert(e.pos);
  for (const char* t : types) {
    const size_t len = std::strlen(t);
    for (size_t p = code.find(t); p != std::string::npos; p = code.find(t, p + len)) {
      if ((p > 0 && (isIdentChar(code[p - 1]) || code[p - 1] == '.')) || (p + len < code.size() && isIdentChar(code[p + len])))
        continue;
      if (!taken.count(p)) edits->push_back({p, len, std::string(t, len - 1)});
    }
  }
}

// The semantic the Direct3D 9 compiler reads a system-value semantic as in
// shader models 2 and 3 ("SV_Target1" is "COLOR1"; SV_Position on a pixel
// input is VPOS, which the translator makes of a pixel POSITION input);
// empty for one without a Direct3D 9 counterpart (SV_VertexID ...).
std::string legacySemantic(const std::string& word) {
  std::string upper = word;
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  size_t digits = upper.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(upper[digits - 1]))) --digits;
  const std::string base = upper.substr(0, digits), index = upper.substr(digits);
  if (base == "SV_POSITION") return "POSITION" + index;
  if (base == "SV_TARGET") return "COLOR" + index;
  if (base == "SV_DEPTH") return "DEPTH" + index;
  if (base == "SV_ISFRONTFACE") return "VFACE" + index;
  return "";
}

// Whether `pos` lies in a "#define" directive (its continuation lines included).
bool inDefine(const std::string& source, size_t pos) {
  size_t lineStart = source.rfind('\n', pos);
  lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
  // Back over the lines that a backslash continues into this one.
  while (lineStart >= 2) {
    size_t end = lineStart - 1;  // the '\n' ending the line before
    if (end > 0 && source[end - 1] == '\r') --end;
    if (end == 0 || source[end - 1] != '\\') break;
    const size_t previous = source.rfind('\n', end - 1);
    lineStart = previous == std::string::npos ? 0 : previous + 1;
  }
  size_t q = lineStart;
  while (q < source.size() && (source[q] == ' ' || source[q] == '\t')) ++q;
  if (q >= source.size() || source[q] != '#') return false;
  ++q;
  while (q < source.size() && (source[q] == ' ' || source[q] == '\t')) ++q;
  return source.compare(q, 6, "define") == 0 && q + 6 < source.size() && !isIdentChar(source[q + 6]);
}

// Pass "system-value semantics": SV_Position, SV_Target[n], SV_Depth and
// SV_IsFrontFace, which sources shared with later APIs write and the
// Direct3D 9 compiler takes, become their Direct3D 9 names: after a ':' in
// the code, and anywhere in a "#define" (a semantic given through a macro).
void legacySystemValues(const std::string& source, const std::string& code, const std::string& out,
                        std::vector<Edit>* edits) {
  forEachWord(source, [&](size_t start, const std::string& w) {
    const std::string legacy = legacySemantic(w);
    if (legacy.empty() || out.compare(start, w.size(), w) != 0) return;
    bool semantic = false;
    if (code[start] == w[0]) {
      size_t b = start;
      while (b > 0 && std::isspace(static_cast<unsigned char>(code[b - 1]))) --b;
      semantic = b > 0 && code[b - 1] == ':';
    } else {
      semantic = inDefine(source, start);  // blank in the code: a directive
    }
    if (semantic) edits->push_back({start, w.size(), legacy});
  });
}

// Pass "sampler casts": "(sampler2D)s" and "sampler2D(s)", which the
// Direct3D 9 compiler takes as the sampler itself, lose the type: the front
// end cannot construct a sampler ("unhandled texture constructor").
void dropSamplerCasts(const std::string& code, std::vector<Edit>* edits) {
  const size_t n = code.size();
  for (size_t p = 0; p < n; ++p) {
    if (!isIdentStart(code[p]) || (p > 0 && isIdentChar(code[p - 1]))) continue;
    size_t e = p;
    while (e < n && isIdentChar(code[e])) ++e;
    const size_t at = p;
    p = e - 1;
    if (!isSamplerType(code.substr(at, e - at))) continue;
    size_t after = e, before = at;
    while (after < n && std::isspace(static_cast<unsigned char>(code[after]))) ++after;
    while (before > 0 && std::isspace(static_cast<unsigned char>(code[before - 1]))) --before;
    if (after < n && code[after] == '(') {
      edits->push_back({at, e - at, ""});  // the constructor: its brackets stay
    } else if (after < n && code[after] == ')' && before > 0 && code[before - 1] == '(') {
      // Not the one parameter of a function ("float4 f(sampler2D)").
      size_t name = before - 1;
      while (name > 0 && std::isspace(static_cast<unsigned char>(code[name - 1]))) --name;
      size_t nameStart = name;
      while (nameStart > 0 && isIdentChar(code[nameStart - 1])) --nameStart;
      if (nameStart == name || code.compare(nameStart, name - nameStart, "return") == 0)
        edits->push_back({before - 1, after + 1 - (before - 1), ""});  // the cast
    }
  }
}

// Pass "later syntax": Direct3D 10 and later constructs are refused with one
// message (the first one found), not left to a parse error.
void findLaterSyntax(const std::string& code, const std::string& out, SZeHlslPrepassInfo* info) {
  static const char* const words[] = {"cbuffer", "tbuffer", "Texture1D", "Texture1DArray", "Texture2D",
                                      "Texture2DArray", "Texture2DMS", "Texture2DMSArray", "Texture3D", "TextureCube",
                                      "TextureCubeArray", "SamplerState", "SamplerComparisonState",
                                      "DepthStencilState", "BlendState", "RasterizerState", "StructuredBuffer",
                                      "RWStructuredBuffer", "ByteAddressBuffer", "RWByteAddressBuffer", "RWTexture2D",
                                      "RWTexture3D", "RWBuffer", "AppendStructuredBuffer", "ConsumeStructuredBuffer"};
  const size_t n = code.size();
  for (size_t i = 0; i < n && info->laterSyntax.empty();) {
    if (!isIdentStart(code[i])) { ++i; continue; }
    const size_t start = i;
    while (i < n && isIdentChar(code[i])) ++i;
    const std::string w = code.substr(start, i - start);
    if (out.compare(start, w.size(), w) != 0) continue;  // inside what the pre-pass removed
    bool later = false;
    for (const char* k : words) later = later || w == k;
    if (!later && w.size() > 3 && (w.compare(0, 3, "SV_") == 0 || w.compare(0, 3, "sv_") == 0)) {
      size_t b = start;
      while (b > 0 && std::isspace(static_cast<unsigned char>(code[b - 1]))) --b;
      later = b > 0 && code[b - 1] == ':' && legacySemantic(w).empty();
    }
    // Methods of texture objects ("t.Sample(s, uv)"), also on one declared
    // where the pre-pass does not see it.
    std::string found = w;
    if (!later && start > 0 && code[start - 1] == '.' &&
        (w.compare(0, 6, "Sample") == 0 || w.compare(0, 6, "Gather") == 0 || w == "GetDimensions")) {
      size_t a = i;
      while (a < n && std::isspace(static_cast<unsigned char>(code[a]))) ++a;
      later = a < n && code[a] == '(';
      found = "." + w;
    }
    if (!later) continue;
    info->laterSyntax = found;
    info->laterSyntaxLine = 1 + int(std::count(code.begin(), code.begin() + long(start), '\n'));
  }
}

// Components of a vector or matrix type name ("float3" 3, "half4x4" 16), 0
// for anything else.
int componentsOf(const std::string& type) {
  static const char* const stems[] = {"float", "half", "double", "int", "uint", "bool", "min16float", "min10float"};
  for (const char* stem : stems) {
    const size_t n = std::strlen(stem);
    if (type.compare(0, n, stem) != 0) continue;
    const std::string dims = type.substr(n);
    if (dims.size() == 1 && dims[0] >= '2' && dims[0] <= '4') return dims[0] - '0';
    if (dims.size() == 3 && dims[1] == 'x' && dims[0] >= '1' && dims[0] <= '4' && dims[2] >= '1' && dims[2] <= '4')
      return (dims[0] - '0') * (dims[2] - '0');
  }
  return 0;
}

// Pass "brace elision": "float2 o[4] = { -0.5, -0.5, 0.5, -0.5, ... };" lists
// the scalars of every element in one run, as C allows; the front end wants
// one initialiser per element, so each run of components is wrapped in its
// type's constructor (in place: lines stay).
void groupElidedInitialisers(const std::string& code, std::vector<Edit>* edits) {
  const size_t n = code.size();
  for (size_t eq = code.find('='); eq != std::string::npos; eq = code.find('=', eq + 1)) {
    size_t open = eq + 1;
    while (open < n && std::isspace(static_cast<unsigned char>(code[open]))) ++open;
    if (open >= n || code[open] != '{') continue;
    // Back from '=': "TYPE NAME [ N ]".
    size_t b = eq;
    auto back = [&]() { while (b > 0 && std::isspace(static_cast<unsigned char>(code[b - 1]))) --b; };
    back();
    if (b == 0 || code[b - 1] != ']') continue;
    const size_t lb = code.rfind('[', b - 1);
    if (lb == std::string::npos) continue;
    const std::string count = code.substr(lb + 1, b - 1 - lb - 1);
    char* end = nullptr;
    const long elements = std::strtol(count.c_str(), &end, 10);
    if (elements <= 0 || !end || std::any_of(static_cast<const char*>(end), count.c_str() + count.size(), [](char c) { return !std::isspace(static_cast<unsigned char>(c)); }))
      continue;
    b = lb;
    back();
    while (b > 0 && isIdentChar(code[b - 1])) --b;  // the name
    back();
    const size_t typeEnd = b;
    while (b > 0 && isIdentChar(code[b - 1])) --b;
    const std::string type = code.substr(b, typeEnd - b);
    const int components = componentsOf(type);
    if (components == 0) continue;
    // The items of the list: split at top-level commas; any brace inside
    // means the elements are already grouped.
    const size_t close = matchClose(code, open, '{', '}');
    std::vector<std::pair<size_t, size_t>> items;
    size_t start = open + 1;
    int depth = 0;
    bool grouped = false;
    for (size_t k = open + 1; k + 1 < close; ++k) {
      const char c = code[k];
      if (c == '{') grouped = true;
      if (c == '(' || c == '[') ++depth;
      if (c == ')' || c == ']') --depth;
      if (c == ',' && depth == 0) {
        items.push_back({start, k});
        start = k + 1;
      }
    }
    if (grouped || close > n || close < open + 2) continue;
    items.push_back({start, close - 1});
    // A trailing comma leaves an empty last item.
    auto blankItem = [&](const std::pair<size_t, size_t>& it) {
      for (size_t k = it.first; k < it.second; ++k)
        if (!std::isspace(static_cast<unsigned char>(code[k]))) return false;
      return true;
    };
    if (!items.empty() && blankItem(items.back())) items.pop_back();
    if (long(items.size()) != elements * components) continue;
    for (long e = 0; e < elements; ++e) {
      size_t first = items[size_t(e * components)].first;
      while (std::isspace(static_cast<unsigned char>(code[first]))) ++first;
      size_t last = items[size_t(e * components + components - 1)].second;
      while (last > first && std::isspace(static_cast<unsigned char>(code[last - 1]))) --last;
      edits->push_back({first, 0, type + "("});
      edits->push_back({last, 0, ")"});
    }
  }
}

// Pass "constructor targets": "float4(a, b) = ddx(uv);" assigns the parts of
// a value to several variables, which the front end cannot parse. It becomes
// "zeSplit(a, b, (float4)(ddx(uv)));": overloads of zeSplit, one per split of
// the width (added to the preamble when used), pick the parts by the types of
// a and b. Targets and value keep their place (other passes may edit them);
// targets may span lines.
void splitConstructorTargets(const std::string& code, std::vector<Edit>* edits, SZeHlslPrepassInfo* info) {
  const size_t n = code.size();
  for (size_t p = 0; p < n; ++p) {
    if (!isIdentStart(code[p]) || (p > 0 && isIdentChar(code[p - 1]))) continue;
    size_t e = p;
    while (e < n && isIdentChar(code[e])) ++e;
    std::string stem;
    int width = 0;
    const std::string type = code.substr(p, e - p);
    const size_t at = p;
    p = e - 1;
    if (!scalarOrVector(type, &stem, &width) || width < 2) continue;
    size_t b = at;
    while (b > 0 && std::isspace(static_cast<unsigned char>(code[b - 1]))) --b;
    if (b > 0 && code[b - 1] != ';' && code[b - 1] != '{' && code[b - 1] != '}') continue;
    size_t open = e;
    while (open < n && std::isspace(static_cast<unsigned char>(code[open]))) ++open;
    if (open >= n || code[open] != '(') continue;
    const size_t close = matchClose(code, open, '(', ')');
    size_t eq = close;
    while (eq < n && std::isspace(static_cast<unsigned char>(code[eq]))) ++eq;
    if (eq + 1 >= n || code[eq] != '=' || code[eq + 1] == '=') continue;
    size_t end = eq + 1;
    int depth = 0;
    while (end < n && !(code[end] == ';' && depth == 0)) {
      if (code[end] == '(' || code[end] == '[' || code[end] == '{') ++depth;
      if (code[end] == ')' || code[end] == ']' || code[end] == '}') --depth;
      ++end;
    }
    if (end >= n) continue;
    if (code.substr(open + 1, close - open - 2).find(',') == std::string::npos) continue;
    const std::string base = helperBase(stem);
    auto breaks = [&code](size_t from, size_t to) {
      return std::string(size_t(std::count(code.begin() + long(from), code.begin() + long(to), '\n')), '\n');
    };
    edits->push_back({at, open + 1 - at, "zeSplit(" + breaks(at, open)});
    edits->push_back({close - 1, eq + 1 - (close - 1), ", (" + sized(base, width) + ")(" + breaks(close - 1, eq)});
    edits->push_back({end, 0, "))"});
    info->splitBases.insert(base);
  }
}

// Pass "array casts": "(float[4])v" becomes "zeCastArray_float_4(v).e", a
// helper (added to the preamble when used) that lays the components of v
// out as the array; the front end cannot construct arrays from vectors.
void castsToArrays(const std::string& code, std::vector<Edit>* edits, SZeHlslPrepassInfo* info) {
  const size_t n = code.size();
  auto skipSpace = [&](size_t k) {
    while (k < n && std::isspace(static_cast<unsigned char>(code[k]))) ++k;
    return k;
  };
  for (size_t p = code.find('('); p != std::string::npos; p = code.find('(', p + 1)) {
    size_t q = skipSpace(p + 1);
    const size_t typeStart = q;
    while (q < n && isIdentChar(code[q])) ++q;
    std::string stem;
    int width = 0;
    const std::string type = code.substr(typeStart, q - typeStart);
    if (!scalarOrVector(type, &stem, &width)) continue;
    q = skipSpace(q);
    if (q >= n || code[q] != '[') continue;
    q = skipSpace(q + 1);
    const size_t digits = q;
    while (q < n && std::isdigit(static_cast<unsigned char>(code[q]))) ++q;
    if (q == digits || q - digits > 3) continue;
    const int count = std::atoi(code.c_str() + digits);
    q = skipSpace(q);
    if (count < 1 || q >= n || code[q] != ']') continue;
    q = skipSpace(q + 1);
    if (q >= n || code[q] != ')') continue;
    const size_t castEnd = q + 1;
    // The operand: a bracketed expression, or a name with its members,
    // indices and call arguments.
    size_t o = skipSpace(castEnd);
    if (o >= n) continue;
    if (code[o] == '(') {
      o = matchClose(code, o, '(', ')');
    } else if (isIdentStart(code[o])) {
      while (o < n && isIdentChar(code[o])) ++o;
      while (o < n) {
        if (code[o] == '[') o = matchClose(code, o, '[', ']');
        else if (code[o] == '(') o = matchClose(code, o, '(', ')');
        else if (code[o] == '.' && o + 1 < n && isIdentStart(code[o + 1])) {
          ++o;
          while (o < n && isIdentChar(code[o])) ++o;
        } else break;
      }
    } else {
      continue;
    }
    const std::string element = sized(helperBase(stem), width);
    const std::string breaks(size_t(std::count(code.begin() + long(p), code.begin() + long(castEnd), '\n')), '\n');
    edits->push_back({p, castEnd - p, "zeCastArray_" + element + "_" + std::to_string(count) + "(" + breaks});
    edits->push_back({o, 0, ").e"});
    info->arrayCasts.insert({element, count});
    p = castEnd - 1;
  }
}

// Pass "unnamed parameters": a parameter written without a name
// ("float4 PS(float4 : POSITION)") brings down the front end's entry-point
// handling; each gets one (zeUnnamedN) in function definitions.
void nameUnnamedParameters(const std::string& code, std::vector<Edit>* edits) {
  static const char* const qualifiers[] = {"in", "out", "inout", "uniform", "const", "static", "linear", "centroid",
                                           "nointerpolation", "noperspective", "sample", "precise", "row_major",
                                           "column_major", "snorm", "unorm"};
  const size_t n = code.size();
  int depth = 0, unnamed = 0;
  for (size_t k = 0; k < n; ++k) {
    const char c = code[k];
    if (c == '{') ++depth;
    else if (c == '}') --depth;
    if (depth != 0 || c != '(') continue;
    size_t b = k;
    while (b > 0 && std::isspace(static_cast<unsigned char>(code[b - 1]))) --b;
    if (b == 0 || !isIdentChar(code[b - 1])) continue;
    const size_t close = matchClose(code, k, '(', ')');
    size_t after = close;
    while (after < n && code[after] != '{' && code[after] != ';' && code[after] != '(' && code[after] != '=') ++after;
    if (after >= n || code[after] != '{') continue;  // not a definition
    // The parameters, split at top-level commas.
    size_t start = k + 1;
    int inner = 0;
    for (size_t q = k + 1; q < close; ++q) {
      const bool last = q + 1 == close;
      if (code[q] == '(' || code[q] == '[' || code[q] == '<') ++inner;
      if (code[q] == ')' || code[q] == ']' || code[q] == '>') --inner;
      if (!(last || (code[q] == ',' && inner == 0))) continue;
      const size_t end = q;  // the closing bracket or the comma
      size_t declEnd = start;
      while (declEnd < end && code[declEnd] != ':' && code[declEnd] != '=') ++declEnd;
      std::vector<std::pair<size_t, size_t>> words;
      bool other = false;
      for (size_t w = start; w < declEnd;) {
        if (isIdentStart(code[w])) {
          const size_t ws = w;
          while (w < declEnd && isIdentChar(code[w])) ++w;
          const std::string word = code.substr(ws, w - ws);
          bool qualifier = false;
          for (const char* qw : qualifiers) qualifier = qualifier || word == qw;
          if (!qualifier) words.push_back({ws, w});
        } else {
          if (!std::isspace(static_cast<unsigned char>(code[w]))) other = true;
          ++w;
        }
      }
      if (words.size() == 1 && !other && code.compare(words[0].first, 4, "void") != 0)
        edits->push_back({words[0].second, 0, " zeUnnamed" + std::to_string(unnamed++)});
      start = q + 1;
    }
    k = close - 1;
  }
}

// Last pass: the queued edits, back to front so positions stay true. An
// edit reaching into text an applied one replaced (only garbled sources
// have such) is dropped: each edit keeps its own lines, so lines still hold.
void applyEdits(std::vector<Edit> edits, std::string* out) {
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
    return a.pos != b.pos ? a.pos > b.pos : a.len > b.len;
  });
  size_t limit = std::string::npos;
  for (const Edit& e : edits) {
    if (e.pos + e.len > limit) continue;
    out->replace(e.pos, e.len, e.text);
    limit = e.pos;
  }
}

}  // namespace

std::string zeHlslPrepass(const std::string& rawSource, SZeHlslPrepassInfo* info) {
  // Files saved by Windows editors may start with a UTF-8 byte order mark.
  const bool bom = rawSource.compare(0, 3, "\xEF\xBB\xBF") == 0;
  const std::string source = bom ? rawSource.substr(3) : rawSource;
  std::string out = source;
  const std::string code = codeOnly(source);
  std::vector<Edit> edits;
  TopLevelScanner(code, &out, &edits, info).run();
  findExplicitRegisters(code, info);
  findLaterSyntax(code, out, info);
  renameLit(code, &edits);
  splitMatrixSwizzles(code, &edits);
  hideOpenGlNames(source, out, &edits);
  legacySystemValues(source, code, out, &edits);
  dropSamplerCasts(code, &edits);
  scalarOneComponentTypes(code, &edits);
  groupElidedInitialisers(code, &edits);
  splitConstructorTargets(code, &edits, info);
  castsToArrays(code, &edits, info);
  nameUnnamedParameters(code, &edits);
  applyEdits(std::move(edits), &out);
  return out;
}

namespace {

std::string trimmed(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

// Splits "a, f(b, c), d" at its top-level commas.
std::vector<std::string> splitTopLevel(const std::string& list) {
  std::vector<std::string> out;
  int depth = 0;
  size_t start = 0;
  for (size_t k = 0; k < list.size(); ++k) {
    const char c = list[k];
    if (c == '(' || c == '[' || c == '{') ++depth;
    if (c == ')' || c == ']' || c == '}') --depth;
    if (c == ',' && depth == 0) {
      out.push_back(trimmed(list.substr(start, k - start)));
      start = k + 1;
    }
  }
  const std::string last = trimmed(list.substr(start));
  if (!last.empty() || !out.empty()) out.push_back(last);
  return out;
}

// The words of a text, one space between each.
std::string oneLine(const std::string& text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
  return out;
}

bool startsWithWord(const std::string& s, const char* word) {
  const size_t n = std::strlen(word);
  return s.compare(0, n, word) == 0 && (s.size() == n || !isIdentChar(s[n]));
}

// Binding an entry's uniform parameters, in steps: the argument lists (of
// the entry as named, else of the techniques), the definition, then each
// parameter's part of the wrapper.

// "VSMain(3, true)": the name and its arguments; a plain name is left as it is.
bool splitNamedArguments(const std::string& entry, std::string* name, std::string* args, bool* haveArgs,
                         std::string* error) {
  *name = trimmed(entry);
  const size_t paren = name->find('(');
  if (paren == std::string::npos) return true;
  const size_t close = name->rfind(')');
  if (close == std::string::npos || close < paren) {
    *error = "entry '" + entry + "' is not a name with arguments";
    return false;
  }
  *args = name->substr(paren + 1, close - paren - 1);
  *name = trimmed(name->substr(0, paren));
  *haveArgs = true;
  return true;
}

// The argument lists "compile vs_2_0 NAME(args)" gives NAME in the techniques.
std::set<std::string> techniqueArgumentLists(const std::string& code, const std::string& name) {
  std::set<std::string> lists;
  for (size_t p = code.find("compile"); p != std::string::npos; p = code.find("compile", p + 7)) {
    if ((p > 0 && isIdentChar(code[p - 1])) || (p + 7 < code.size() && isIdentChar(code[p + 7]))) continue;
    size_t q = p + 7;
    auto skip = [&] { while (q < code.size() && std::isspace(static_cast<unsigned char>(code[q]))) ++q; };
    skip();
    while (q < code.size() && isIdentChar(code[q])) ++q;  // the profile
    skip();
    const size_t nameStart = q;
    while (q < code.size() && isIdentChar(code[q])) ++q;
    if (code.compare(nameStart, q - nameStart, name) != 0 || q - nameStart != name.size()) continue;
    skip();
    if (q >= code.size() || code[q] != '(') continue;
    const size_t close = matchClose(code, q, '(', ')');
    std::string list;
    for (const std::string& a : splitTopLevel(code.substr(q + 1, close - q - 2))) list += (list.empty() ? "" : ", ") + a;
    lists.insert(list);
  }
  return lists;
}

std::vector<std::string> callsOf(const std::string& name, const std::set<std::string>& lists) {
  std::vector<std::string> calls;
  for (const std::string& list : lists) calls.push_back(name + "(" + list + ")");
  return calls;
}

// Where "TYPE NAME(params) [: SEMANTIC] {" stands at the top level.
struct EntryDefinition {
  size_t at = std::string::npos;  // the name
  size_t paramsOpen = 0, paramsClose = 0, bodyOpen = 0;
};

EntryDefinition findEntryDefinition(const std::string& code, const std::string& name) {
  EntryDefinition def;
  int depth = 0;
  for (size_t k = 0; k < code.size() && def.at == std::string::npos; ++k) {
    const char c = code[k];
    if (c == '{') ++depth;
    else if (c == '}') --depth;
    else if (depth == 0 && isIdentStart(c) && (k == 0 || !isIdentChar(code[k - 1]))) {
      size_t e = k;
      while (e < code.size() && isIdentChar(code[e])) ++e;
      if (code.compare(k, e - k, name) == 0 && e - k == name.size()) {
        size_t q = e;
        while (q < code.size() && std::isspace(static_cast<unsigned char>(code[q]))) ++q;
        if (q < code.size() && code[q] == '(') {
          const size_t close = matchClose(code, q, '(', ')');
          size_t b = close;
          while (b < code.size() && code[b] != '{' && code[b] != ';') ++b;
          if (b < code.size() && code[b] == '{') {
            def.at = k;
            def.paramsOpen = q;
            def.paramsClose = close - 1;
            def.bodyOpen = b;
          }
        }
      }
      k = e - 1;
    }
  }
  return def;
}

// The wrapper being written: its own parameters, the call's arguments and
// the globals the entry constants need.
struct EntryWrapper {
  std::string kept, call, globals;
  size_t bound = 0;  // uniform parameters given a value
  int unnamed = 0;
  bool anyKept = false, anyArgument = false;
  void keep(const std::string& param) {
    kept += (anyKept ? ", " : "") + param;
    anyKept = true;
  }
  void argument(const std::string& text) {
    call += (anyArgument ? ", " : "") + text;
    anyArgument = true;
  }
  // "#ifdef SKINNED" around a parameter holds around it in both lists.
  void directive(const std::string& line) {
    kept += "\n" + line + "\n";
    call += "\n" + line + "\n";
  }
};

// One parameter of the entry, as code (comments and directives blanked),
// with the directive lines written before and after it.
struct EntryParameter {
  std::string text;
  std::vector<std::string> before, after;
};

// #if, #ifdef, #ifndef, #elif, #else, #endif. The other directives have
// done their work before the wrapper, which follows the entry.
bool isConditional(const std::string& line) {
  size_t q = 1;
  while (q < line.size() && (line[q] == ' ' || line[q] == '\t')) ++q;
  for (const char* d : {"if", "elif", "else", "endif"})
    if (line.compare(q, std::strlen(d), d) == 0) return true;
  return false;
}

// The conditional directive lines of the source that start within [from,
// to), continuations joined.
std::vector<std::string> directiveLines(const std::string& source, size_t from, size_t to) {
  std::vector<std::string> lines;
  for (size_t line = source.rfind('\n', from) == std::string::npos ? 0 : source.rfind('\n', from) + 1; line < to;) {
    size_t end = source.find('\n', line);
    while (end != std::string::npos && end > line && (source[end - 1] == '\\' ||
           (source[end - 1] == '\r' && end > line + 1 && source[end - 2] == '\\')))
      end = source.find('\n', end + 1);
    if (end == std::string::npos) end = source.size();
    size_t q = line;
    while (q < end && (source[q] == ' ' || source[q] == '\t')) ++q;
    if (q >= from && q < to && q < end && source[q] == '#' && isConditional(source.substr(q, end - q)))
      lines.push_back(source.substr(q, end - q));
    line = end + 1;
  }
  return lines;
}

// The parameters between the brackets at `open` and `close`, split at
// their top-level commas.
std::vector<EntryParameter> entryParameters(const std::string& source, const std::string& code, size_t open,
                                            size_t close) {
  std::vector<EntryParameter> out;
  size_t start = open + 1;
  int depth = 0;
  for (size_t k = open + 1; k <= close; ++k) {
    const char c = code[k];
    if (k < close && (c == '(' || c == '[' || c == '{')) ++depth;
    if (k < close && (c == ')' || c == ']' || c == '}')) --depth;
    if (k < close && !(c == ',' && depth == 0)) continue;
    size_t first = start, last = k;
    while (first < last && std::isspace(static_cast<unsigned char>(code[first]))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(code[last - 1]))) --last;
    EntryParameter param;
    param.text = oneLine(code.substr(first, last - first));
    param.before = directiveLines(source, start, first);
    param.after = directiveLines(source, last, k);
    const bool emptyList = out.empty() && k == close && param.text.empty() && param.before.empty() && param.after.empty();
    if (!emptyList) out.push_back(std::move(param));
    start = k + 1;
  }
  return out;
}

// No arguments anywhere: the parameter is a constant of its own, as the
// compiler made it ("$name"); declared as a global under a prefix the
// translator turns back into "$".
bool entryConstant(const std::string& param, const std::string& entry, EntryWrapper* w, std::string* error) {
  std::string decl = trimmed(param.substr(7, param.find_first_of(":=") - 7));
  size_t nameEnd = decl.size(), dims = decl.size();
  if (nameEnd > 0 && decl[nameEnd - 1] == ']') {
    dims = nameEnd = decl.find('[');
    if (nameEnd == std::string::npos) return false;
    while (nameEnd > 0 && std::isspace(static_cast<unsigned char>(decl[nameEnd - 1]))) --nameEnd;
  }
  size_t nameBegin = nameEnd;
  while (nameBegin > 0 && isIdentChar(decl[nameBegin - 1])) --nameBegin;
  if (nameBegin == nameEnd || nameBegin == 0) {
    *error = "entry '" + entry + "': uniform parameter '" + param + "' has no name";
    return false;
  }
  const std::string global = kZeHlslEntryParamPrefix + decl.substr(nameBegin, nameEnd - nameBegin);
  w->globals += "uniform " + decl.substr(0, nameBegin) + global + decl.substr(dims) + ";\n";
  w->argument(global);
  ++w->bound;
  return true;
}

// The argument converted to the parameter's type, as a call would (the
// front end keeps an integer literal's type otherwise).
void boundArgument(const std::string& param, const std::string& arg, EntryWrapper* w) {
  const std::string decl = trimmed(param.substr(7, param.find_first_of(":=") - 7));
  size_t typeEnd = decl.size();
  while (typeEnd > 0 && isIdentChar(decl[typeEnd - 1])) --typeEnd;
  std::string type = trimmed(decl.substr(0, typeEnd));
  if (startsWithWord(type, "const")) type = trimmed(type.substr(5));
  // A sampler is passed as it is: the front end cannot construct one.
  const bool plainType = !type.empty() && decl.find('[') == std::string::npos && !isSamplerType(type) &&
                         !isTextureKeyword(type) &&
                         std::all_of(type.begin(), type.end(), [](char c) { return isIdentChar(c); });
  w->argument(plainType ? "(" + type + ")(" + arg + ")" : arg);
  ++w->bound;
}

// A varying parameter: the wrapper takes it and passes it on by name (the
// last word before ':', '=' or the end).
void passedThrough(const std::string& param, EntryWrapper* w) {
  const std::string decl = trimmed(param.substr(0, param.find_first_of(":=")));
  size_t nameEnd = decl.size();
  if (nameEnd > 0 && decl[nameEnd - 1] == ']') {
    const size_t open = decl.rfind('[');
    nameEnd = open == std::string::npos ? 0 : open;
  }
  size_t nameBegin = nameEnd;
  while (nameBegin > 0 && isIdentChar(decl[nameBegin - 1])) --nameBegin;
  std::string paramName = decl.substr(nameBegin, nameEnd - nameBegin);
  if (paramName.empty()) paramName = "zeArg" + std::to_string(w->unnamed++);
  w->keep(param);
  w->argument(paramName);
}

}  // namespace

std::vector<std::string> zeHlslEntryCalls(const std::string& source, const std::string& entry) {
  const std::string name = trimmed(entry);
  return callsOf(name, techniqueArgumentLists(codeOnly(source), name));
}

bool zeHlslBindUniformEntry(const std::string& source, const std::string& entry, std::string* wrapper,
                            std::string* wrapperName, std::string* error) {
  const std::string code = codeOnly(source);
  std::string name, args;
  bool haveArgs = false;
  if (!splitNamedArguments(entry, &name, &args, &haveArgs, error)) return false;
  if (!haveArgs) {
    const std::set<std::string> lists = techniqueArgumentLists(code, name);
    if (lists.size() > 1) {
      const std::vector<std::string> calls = callsOf(name, lists);
      std::string all;
      for (const std::string& call : calls) all += (all.empty() ? "" : ", ") + call;
      *error = "entry '" + name + "' is compiled with " + std::to_string(lists.size()) +
               " different uniform argument lists in the techniques (" + all +
               "): name the entry with its arguments, as '" + calls.front() + "'";
      return false;
    }
    if (!lists.empty()) {
      args = *lists.begin();
      haveArgs = true;
    }
  }
  const EntryDefinition def = findEntryDefinition(code, name);
  if (def.at == std::string::npos) return false;  // left to the compiler's own message
  // The return type: the words before the name, back to the previous
  // statement. All of it is read from the code alone: a comment or a
  // directive before the entry is no part of its type, and a comment in the
  // parameter list neither splits nor hides a parameter.
  size_t typeStart = def.at;
  while (typeStart > 0 && code[typeStart - 1] != ';' && code[typeStart - 1] != '}') --typeStart;
  const std::string returnType = oneLine(code.substr(typeStart, def.at - typeStart));
  const std::string semantic = oneLine(code.substr(def.paramsClose + 1, def.bodyOpen - def.paramsClose - 1));
  const std::vector<EntryParameter> params = entryParameters(source, code, def.paramsOpen, def.paramsClose);
  const std::vector<std::string> bound = splitTopLevel(args);
  EntryWrapper w;
  for (const EntryParameter& p : params) {
    for (const std::string& line : p.before) w.directive(line);
    const std::string& param = p.text;
    if (param.empty()) {
      // only directives
    } else if (!startsWithWord(param, "uniform")) {
      passedThrough(param, &w);
    } else if (!haveArgs) {
      if (!entryConstant(param, name, &w, error)) return false;
    } else if (w.bound >= bound.size()) {
      *error = "entry '" + name + "' has more uniform parameters than the " + std::to_string(bound.size()) +
               " arguments given";
      return false;
    } else {
      boundArgument(param, bound[w.bound], &w);
    }
    for (const std::string& line : p.after) w.directive(line);
  }
  if (haveArgs && w.bound != bound.size()) {
    *error = "entry '" + name + "' has " + std::to_string(w.bound) + " uniform parameters, " +
             std::to_string(bound.size()) + " arguments given";
    return false;
  }
  if (w.bound == 0) return false;
  *wrapperName = "zeBound_" + name;
  std::string returnWords = returnType;
  for (const char* q : {"static ", "inline "})
    if (returnWords.compare(0, std::strlen(q), q) == 0) returnWords = trimmed(returnWords.substr(std::strlen(q)));
  const bool isVoid = returnWords == "void";
  *wrapper = "\n" + w.globals + returnWords + " " + *wrapperName + "(" + w.kept + ") " + semantic + " { " +
             (isVoid ? "" : "return ") + name + "(" + w.call + "); }\n";
  return true;
}

namespace {

// Effect-level shader objects of a file: "VertexShader VS[2] = { compile
// vs_2_0 A(1), compile vs_2_0 A(2) };" and "PixelShader PS = compile ps_2_0
// B();", by name, with the text of each element.
std::map<std::string, std::vector<std::string>> shaderObjects(const std::string& code) {
  std::map<std::string, std::vector<std::string>> out;
  int depth = 0;
  const size_t n = code.size();
  for (size_t k = 0; k < n; ++k) {
    const char c = code[k];
    if (c == '{') ++depth;
    else if (c == '}') --depth;
    if (depth != 0 || !isIdentStart(c) || (k > 0 && isIdentChar(code[k - 1]))) continue;
    size_t e = k;
    while (e < n && isIdentChar(code[e])) ++e;
    const std::string w = code.substr(k, e - k);
    k = e - 1;
    if (!isShaderObjectKeyword(w)) continue;
    size_t q = e;
    while (q < n && std::isspace(static_cast<unsigned char>(code[q]))) ++q;
    const size_t nameStart = q;
    while (q < n && isIdentChar(code[q])) ++q;
    if (q == nameStart) continue;
    const std::string name = code.substr(nameStart, q - nameStart);
    const size_t eq = code.find('=', q);
    const size_t semi = code.find(';', q);
    if (eq == std::string::npos || semi == std::string::npos || eq > semi) continue;
    size_t v = eq + 1;
    while (v < n && std::isspace(static_cast<unsigned char>(code[v]))) ++v;
    if (v < n && code[v] == '{') {
      const size_t close = matchClose(code, v, '{', '}');
      out[name] = splitTopLevel(code.substr(v + 1, close - v - 2));
      k = close - 1;
    } else {
      out[name] = {trimmed(code.substr(v, semi - v))};
      k = semi;
    }
  }
  return out;
}

// The block body that follows "KEYWORD NAME" at brace depth `depth` within
// [from, to) (name empty: the first such block); npos when there is none.
size_t findBlock(const std::string& code, size_t from, size_t to, bool (*keyword)(const std::string&),
                 const std::string& name, size_t* bodyEnd) {
  int depth = 0;
  for (size_t k = from; k < to; ++k) {
    const char c = code[k];
    if (c == '{') ++depth;
    else if (c == '}') --depth;
    if (depth != 0 || !isIdentStart(c) || (k > 0 && isIdentChar(code[k - 1]))) continue;
    size_t e = k;
    while (e < to && isIdentChar(code[e])) ++e;
    const std::string w = code.substr(k, e - k);
    k = e - 1;
    if (!keyword(w)) continue;
    size_t q = e;
    while (q < to && std::isspace(static_cast<unsigned char>(code[q]))) ++q;
    const size_t nameStart = q;
    while (q < to && isIdentChar(code[q])) ++q;
    const std::string found = code.substr(nameStart, q - nameStart);
    const size_t open = code.find('{', q);
    if (open == std::string::npos || open >= to) return std::string::npos;
    *bodyEnd = matchClose(code, open, '{', '}') - 1;
    if (name.empty() || found == name) return open + 1;
    k = *bodyEnd;
  }
  return std::string::npos;
}

bool isPassKeyword(const std::string& w) { return w == "pass" || w == "Pass" || w == "PASS"; }

std::string lowered(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// An index into a shader array: a number, or a name given by a macro (of
// the request or the file) or by the initial value of an effect variable,
// which is what the effect holds until an application sets it.
bool evaluateIndex(const std::string& text, const std::string& source, const std::vector<SZeShaderMacro>& macros,
                   int* value, std::string* error) {
  const std::string t = trimmed(text);
  char* end = nullptr;
  const double number = std::strtod(t.c_str(), &end);
  if (!t.empty() && end && *end == '\0') {
    *value = int(number);
    return true;
  }
  if (t == "true" || t == "false") {
    *value = t == "true";
    return true;
  }
  if (t.empty() || !isIdentStart(t[0]) ||
      !std::all_of(t.begin(), t.end(), [](char c) { return isIdentChar(c); })) {
    *error = "the shader index '" + t + "' is not a number or a name";
    return false;
  }
  for (const SZeShaderMacro& m : macros)
    if (m.name == t) return evaluateIndex(m.definition, source, {}, value, error);
  // "#define NAME value" in the file.
  for (size_t p = source.find("define"); p != std::string::npos; p = source.find("define", p + 6)) {
    size_t hash = p;
    while (hash > 0 && (source[hash - 1] == ' ' || source[hash - 1] == '\t')) --hash;
    if (hash == 0 || source[hash - 1] != '#') continue;
    size_t q = p + 6;
    while (q < source.size() && (source[q] == ' ' || source[q] == '\t')) ++q;
    if (source.compare(q, t.size(), t) != 0 || (q + t.size() < source.size() && isIdentChar(source[q + t.size()])))
      continue;
    const size_t eol = source.find('\n', q);
    return evaluateIndex(source.substr(q + t.size(), eol == std::string::npos ? std::string::npos : eol - q - t.size()),
                         "", {}, value, error);
  }
  // "int Index = 2;" at the top level (annotations and registers stripped).
  SZeHlslPrepassInfo info;
  const std::string code = codeOnly(zeHlslPrepass(source, &info));
  int depth = 0;
  for (size_t k = 0; k < code.size(); ++k) {
    const char c = code[k];
    if (c == '{') ++depth;
    else if (c == '}') --depth;
    if (depth != 0 || code.compare(k, t.size(), t) != 0 || (k > 0 && isIdentChar(code[k - 1])) ||
        (k + t.size() < code.size() && isIdentChar(code[k + t.size()])))
      continue;
    size_t stmt = k;
    while (stmt > 0 && code[stmt - 1] != ';' && code[stmt - 1] != '}') --stmt;
    const std::string before = trimmed(code.substr(stmt, k - stmt));
    if (before.empty() || before.find('(') != std::string::npos) continue;  // a use, not a declaration
    const size_t semi = code.find(';', k);
    const std::string rest = code.substr(k + t.size(), semi == std::string::npos ? std::string::npos : semi - k - t.size());
    const size_t eq = rest.find('=');
    if (eq == std::string::npos) {
      *value = 0;  // effect variables start at zero
      return true;
    }
    return evaluateIndex(rest.substr(eq + 1), "", {}, value, error);
  }
  *error = "the shader index '" + t + "' is neither a macro nor an effect variable";
  return false;
}

// A pass's or an object's shader expression, down to "Function(args)".
bool resolveShaderExpression(const std::string& text, const std::map<std::string, std::vector<std::string>>& objects,
                             const std::string& source, const std::vector<SZeShaderMacro>& macros, int hops,
                             std::string* resolved, std::string* error) {
  std::string t = trimmed(text);
  while (t.size() >= 2 && t.front() == '(' && matchClose(t, 0, '(', ')') == t.size()) t = trimmed(t.substr(1, t.size() - 2));
  if (startsWithWord(t, "compile")) {
    size_t q = 7;
    while (q < t.size() && std::isspace(static_cast<unsigned char>(t[q]))) ++q;
    while (q < t.size() && isIdentChar(t[q])) ++q;  // the profile
    *resolved = trimmed(t.substr(q));
    if (resolved->find('(') == std::string::npos) *resolved += "()";
    return true;
  }
  size_t nameEnd = 0;
  while (nameEnd < t.size() && isIdentChar(t[nameEnd])) ++nameEnd;
  const std::string name = t.substr(0, nameEnd);
  const auto object = objects.find(name);
  if (nameEnd == 0 || object == objects.end() || hops > 8) {
    *error = "shader '" + t + "' is not a compiled shader nor an effect-level shader object";
    return false;
  }
  int index = 0;
  const std::string rest = trimmed(t.substr(nameEnd));
  if (!rest.empty()) {
    if (rest.front() != '[' || rest.back() != ']') {
      *error = "shader '" + t + "' is not an object or an element of one";
      return false;
    }
    if (!evaluateIndex(rest.substr(1, rest.size() - 2), source, macros, &index, error)) return false;
  }
  if (index < 0 || size_t(index) >= object->second.size()) {
    *error = "shader index " + std::to_string(index) + " lies outside '" + name + "' (" +
             std::to_string(object->second.size()) + " shaders)";
    return false;
  }
  return resolveShaderExpression(object->second[size_t(index)], objects, source, macros, hops + 1, resolved, error);
}

}  // namespace

bool zeHlslResolveShaderEntry(const std::string& source, const std::string& entry, bool vertex,
                              const std::vector<SZeShaderMacro>& macros, std::string* resolved, std::string* error) {
  const std::string name = trimmed(entry);
  if (name.find('(') != std::string::npos || name.empty()) return false;
  const std::string code = codeOnly(source);
  const std::map<std::string, std::vector<std::string>> objects = shaderObjects(code);
  const size_t dot = name.find('.');
  if (dot == std::string::npos) {
    const size_t bracket = name.find('[');
    if (!objects.count(trimmed(name.substr(0, bracket)))) return false;  // a function: compiled as it is
    return resolveShaderExpression(name, objects, source, macros, 0, resolved, error);
  }
  // "Technique.Pass": the shader the pass assigns for the stage.
  const std::string technique = trimmed(name.substr(0, dot)), pass = trimmed(name.substr(dot + 1));
  size_t techniqueEnd = 0, passEnd = 0;
  const size_t techniqueBody = findBlock(code, 0, code.size(), isTechniqueKeyword, technique, &techniqueEnd);
  if (techniqueBody == std::string::npos) {
    *error = "technique '" + technique + "' not found";
    return false;
  }
  const size_t passBody = findBlock(code, techniqueBody, techniqueEnd, isPassKeyword, pass, &passEnd);
  if (passBody == std::string::npos) {
    *error = "pass '" + pass + "' of technique '" + technique + "' not found";
    return false;
  }
  const std::string key = vertex ? "vertexshader" : "pixelshader";
  for (size_t k = passBody; k < passEnd;) {
    size_t semi = code.find(';', k);
    if (semi == std::string::npos || semi > passEnd) semi = passEnd;
    const std::string statement = code.substr(k, semi - k);
    const size_t eq = statement.find('=');
    if (eq != std::string::npos && lowered(trimmed(statement.substr(0, eq))) == key)
      return resolveShaderExpression(statement.substr(eq + 1), objects, source, macros, 0, resolved, error);
    k = semi + 1;
  }
  *error = "pass '" + pass + "' of technique '" + technique + "' sets no " + (vertex ? "vertex" : "pixel") + " shader";
  return false;
}
