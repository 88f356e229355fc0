#include "effect/zeHlslPrepass.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "effect/zeConstantTable.h"
#include "effect/zeHlslTranslator.h"

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
  if (stem.size() == 1 && stem[0] >= '1' && stem[0] <= '4') { *floatType = "float" + stem; return true; }
  return false;
}

}  // namespace

std::string zeHlslStripEffectSyntax(const std::string& source) {
  SZeHlslPrepassInfo info;
  return zeHlslPrepass(source, &info);
}

std::string zeHlslPrepass(const std::string& rawSource, SZeHlslPrepassInfo* info) {
  // Files saved by Windows editors may start with a UTF-8 byte order mark.
  const bool bom = rawSource.compare(0, 3, "\xEF\xBB\xBF") == 0;
  const std::string source = bom ? rawSource.substr(3) : rawSource;
  std::string out = source;
  std::string code = codeOnly(source);
  const size_t n = code.size();
  struct Edit {
    size_t pos;
    size_t len;
    std::string text;
  };
  std::vector<Edit> edits;

  // Top-level statements.
  size_t i = 0;
  int depth = 0;
  std::vector<Token> stmt;  // tokens of the current top-level statement
  auto word = [&code](const Token& t) { return code.substr(t.pos, t.len); };
  auto finishStatement = [&]() {
    // Global bool/int constants become float.
    size_t k = 0;
    static const char* qualifiers[] = {"uniform", "extern", "shared", "volatile"};
    while (k < stmt.size()) {
      std::string w = word(stmt[k]);
      bool q = false;
      for (const char* qual : qualifiers) q = q || w == qual;
      if (!q) break;
      ++k;
    }
    if (k < stmt.size()) {
      std::string floatType;
      uint8_t base = 0;
      if (integralUniformType(word(stmt[k]), &floatType, &base) && k + 1 < stmt.size() &&
          isIdentStart(code[stmt[k + 1].pos])) {
        // Not a function: the name is not followed by "(".
        size_t after = stmt[k + 1].pos + stmt[k + 1].len;
        while (after < n && std::isspace(static_cast<unsigned char>(code[after]))) ++after;
        if (after < n && code[after] != '(') {
          edits.push_back({stmt[k].pos, stmt[k].len, floatType});
          info->originalBase[word(stmt[k + 1])] = base;
          // Further declarators after commas.
          for (size_t t = k + 2; t + 1 < stmt.size(); ++t)
            if (code[stmt[t].pos] == ',' && isIdentStart(code[stmt[t + 1].pos]))
              info->originalBase[word(stmt[t + 1])] = base;
        }
      }
    }
    stmt.clear();
  };

  size_t stmtStart = 0;
  int parens = 0;
  bool sawAssign = false;
  while (i < n) {
    char c = code[i];
    if (std::isspace(static_cast<unsigned char>(c))) { ++i; continue; }
    if (depth > 0) {
      if (c == '{') ++depth;
      else if (c == '}' && --depth == 0) { stmtStart = i + 1; stmt.clear(); sawAssign = false; }
      ++i;
      continue;
    }
    if (isIdentStart(c)) {
      size_t start = i;
      while (i < n && isIdentChar(code[i])) ++i;
      std::string w = code.substr(start, i - start);
      if (stmt.empty() && (w == "technique" || w == "technique9" || w == "technique10" || w == "technique11" ||
                           w == "Technique")) {
        size_t open = code.find('{', i);
        size_t close = open == std::string::npos ? n : matchClose(code, open, '{', '}');
        blank(&out, start, close);
        i = close;
        stmtStart = i;
        continue;
      }
      if (stmt.empty() && isTextureKeyword(w)) {
        // Up to the ';' that ends the declaration (annotations may hold braces).
        size_t j = i;
        int inner = 0;
        while (j < n && !(code[j] == ';' && inner == 0)) {
          if (code[j] == '{' || code[j] == '<') ++inner;
          else if (code[j] == '}' || code[j] == '>') --inner;
          ++j;
        }
        blank(&out, start, j < n ? j + 1 : n);
        i = j < n ? j + 1 : n;
        stmtStart = i;
        continue;
      }
      if (w == "sampler_state" || w == "stateblock_state") {
        // "= sampler_state { ... }": drop the initialiser, keep the sampler.
        size_t eq = code.rfind('=', start);
        size_t from = (eq != std::string::npos && eq >= stmtStart) ? eq : start;
        size_t open = code.find('{', i);
        size_t close = open == std::string::npos ? n : matchClose(code, open, '{', '}');
        blank(&out, from, close);
        i = close;
        continue;
      }
      info->declarationOrder.emplace(w, int(info->declarationOrder.size()));
      stmt.push_back({start, i - start});
      continue;
    }
    if (c == '<' && parens == 0 && !sawAssign && stmt.size() >= 2) {
      std::string prev = word(stmt.back());
      bool prevIsIdent = isIdentStart(code[stmt.back().pos]);
      bool prevIsBracket = code[stmt.back().pos] == ']';
      if ((prevIsIdent && !isTemplateType(prev)) || prevIsBracket) {
        size_t close = matchClose(code, i, '<', '>');
        blank(&out, i, close);
        i = close;
        continue;
      }
    }
    if (c == '(') ++parens;
    if (c == ')') --parens;
    if (c == '=' && parens == 0) sawAssign = true;
    if (c == '{') {
      depth = 1;
      if (sawAssign) {
        // An initialiser list: skip it as part of the statement.
        size_t close = matchClose(code, i, '{', '}');
        depth = 0;
        i = close;
        continue;
      }
      finishStatement();
      ++i;
      continue;
    }
    if (c == ';' && parens == 0) {
      finishStatement();
      sawAssign = false;
      stmtStart = i + 1;
      ++i;
      continue;
    }
    stmt.push_back({i, 1});
    ++i;
  }

  // Explicit registers: "name[n] : SEMANTIC : register(vs, c12)".
  for (size_t p = code.find("register"); p != std::string::npos; p = code.find("register", p + 8)) {
    if (p > 0 && isIdentChar(code[p - 1])) continue;
    size_t q = p + 8;
    while (q < n && std::isspace(static_cast<unsigned char>(code[q]))) ++q;
    if (q >= n || code[q] != '(') continue;
    size_t close = code.find(')', q);
    if (close == std::string::npos) continue;
    std::string arg = code.substr(q + 1, close - q - 1);
    size_t comma = arg.find(',');
    if (comma != std::string::npos) arg = arg.substr(comma + 1);
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
    for (int guard = 0; guard < 4 && name.empty(); ++guard) {
      back();
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
    if (!name.empty() && isIdentStart(name[0])) info->explicitRegisters[name] = {set, std::atoi(arg.c_str() + 1)};
  }

  // lit( -> zeLit(
  for (size_t p = code.find("lit"); p != std::string::npos; p = code.find("lit", p + 3)) {
    if (p > 0 && (isIdentChar(code[p - 1]) || code[p - 1] == '.')) continue;
    size_t q = p + 3;
    if (q < n && isIdentChar(code[q])) continue;
    while (q < n && (code[q] == ' ' || code[q] == '\t')) ++q;
    if (q < n && code[q] == '(') edits.push_back({p, 3, "zeLit"});
  }

  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.pos > b.pos; });
  for (const Edit& e : edits) out.replace(e.pos, e.len, e.text);
  return out;
}
