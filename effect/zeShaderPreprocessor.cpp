#include "effect/zeShaderPreprocessor.h"

#include <cctype>
#include <cstring>

namespace {

void setText(std::string* out, const std::string& text) {
  *out = text.size() > ZE_PP_TEXT_MAX ? text.substr(0, ZE_PP_TEXT_MAX) : text;
}

bool operandChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '!';
}

// Splits at `separator` outside parentheses; false with *error on a bad character
// or unbalanced parentheses.
bool split(const std::string& e, char separator, std::vector<std::string>* operands, std::string* error) {
  const char other = separator == '|' ? '&' : '|';
  operands->clear();
  int count = 0;
  long start = -1;
  for (size_t i = 0; i < e.size(); ++i) {
    char c = e[i];
    if (c == '(') {
      if (count == 0 && start < 0) start = long(i);
      ++count;
    } else if (c == ')') {
      if (--count < 0) break;
    } else if (count > 0) {
      continue;
    } else if (c == separator) {
      operands->push_back(e.substr(size_t(start < 0 ? long(i) : start), i - size_t(start < 0 ? long(i) : start)));
      start = long(i) + 1;
    } else if (operandChar(c) || c == other) {
      if (start < 0) start = long(i);
    } else {
      setText(error, std::string("Unknown operator '") + c + "' in the (sub)expression '" + e + "'.");
      operands->clear();
      return false;
    }
  }
  if (count != 0) {
    setText(error, "Wrong parenthesis parity in the (sub)expression '" + e + "'.");
    operands->clear();
    return false;
  }
  size_t from = start < 0 ? e.size() : size_t(start);
  operands->push_back(e.substr(from));
  return true;
}

bool evaluate(const std::string& e, const std::set<std::string>& defined, std::string* error, int depth) {
  if (e.empty()) {
    setText(error, "An empty subexpression was encountered");
    return false;
  }
  if (depth > 256) {  // cannot happen with 255-character lines; a guard all the same
    setText(error, "The subexpression " + e + " is not a valid formula.");
    return false;
  }
  std::vector<std::string> operands;
  char separator = '|';
  bool ok = split(e, '|', &operands, error);
  if (ok && operands.size() == 1) {
    separator = '&';
    ok = split(e, '&', &operands, error);
  }
  if (!ok) return false;
  if (operands.empty()) {
    setText(error, "The subexpression " + e + " is not a valid formula.");
    return false;
  }
  if (operands.size() > 1) {
    bool result = separator == '&';
    for (const std::string& o : operands) {  // every operand, no short cut
      bool v = evaluate(o, defined, error, depth + 1);
      result = separator == '|' ? (result || v) : (result && v);
    }
    return result;
  }
  const std::string& o = operands[0];
  if (o.empty()) return evaluate(o, defined, error, depth + 1);
  if (o[0] == '!') return !evaluate(o.substr(1), defined, error, depth + 1);
  if (o[0] == '(') return evaluate(o.size() >= 2 ? o.substr(1, o.size() - 2) : std::string(), defined, error, depth + 1);
  if (o == "1") return true;
  if (o == "0") return false;
  return defined.count(o) != 0;
}

}  // namespace

bool zeEvaluateCondition(const std::string& expression, const std::set<std::string>& defined, std::string* error) {
  error->clear();
  std::string e;
  for (char c : expression)
    if (!std::isspace(static_cast<unsigned char>(c))) e.push_back(c);
  bool value = evaluate(e, defined, error, 0);
  return error->empty() && value;
}

SPreprocessorState* zePreprocessorCreate(const std::vector<std::string>& macroNames) {
  auto* state = new SPreprocessorState;
  for (const std::string& name : macroNames) state->defined.insert(name);
  return state;
}

std::string zePreprocessorFinish(SPreprocessorState* state) {
  std::string error;
  if (state && state->depth != 0) error = "missing #endif";
  delete state;
  return error;
}

void zePreprocessLine(SPreprocessorState* state, const char* line, SPreprocessorLine* result) {
  result->error.clear();
  result->includeName.clear();
  result->text = nullptr;
  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  const bool active = state->levels[state->depth] == 0;
  if (*p != '#') {
    if (active) result->text = p;
    return;
  }
  ++p;
  const char* nameStart = p;
  while (*p >= 'a' && *p <= 'z') ++p;
  std::string name(nameStart, size_t(p - nameStart));
  if (name.size() > 9) return;
  while (*p == ' ' || *p == '\t') ++p;
  const char* afterBlanks = p;
  const char* argEnd = p;
  while (*argEnd && !std::strchr("#/:;", *argEnd)) ++argEnd;
  const char* trim = argEnd;
  while (trim > p && (trim[-1] == ' ' || trim[-1] == '\t')) --trim;
  std::string argument(p, size_t(trim - p));
  const char* rest = argEnd;
  while (*rest && std::strchr(" #/:;", *rest)) ++rest;

  int& level = state->levels[state->depth];
  if (name == "if") {
    if (state->depth + 1 >= ZE_PP_MAX_LEVELS) {
      result->error = "too many nested #if (at most 39)";
      return;
    }
    int next = 2;
    if (active) {
      std::string error;
      bool value = zeEvaluateCondition(argument, state->defined, &error);
      if (!error.empty()) result->error = error;
      next = (error.empty() && value) ? 0 : 1;
    }
    state->levels[++state->depth] = next;
  } else if (name == "else") {
    if (state->depth == 0) { result->error = "invalid #else without #if"; return; }
    level = level == 0 ? 2 : level == 1 ? 0 : 2;
  } else if (name == "elif") {
    if (state->depth == 0) { result->error = "invalid #elif without #if"; return; }
    if (level == 0) level = 2;
    else if (level == 1) {
      std::string error;
      bool value = zeEvaluateCondition(argument, state->defined, &error);
      if (!error.empty()) result->error = error;
      else if (value) level = 0;
    }
  } else if (name == "endif") {
    if (state->depth == 0) { result->error = "invalid #endif without #if"; return; }
    --state->depth;
  } else if (!active) {
    return;
  } else if (name == "define") {
    size_t blank = argument.find_first_of(" \t");
    std::string defined = argument.substr(0, blank);
    if (!defined.empty()) state->defined.insert(defined);
  } else if (name == "cond") {
    std::string error;
    bool value = zeEvaluateCondition(argument, state->defined, &error);
    if (!error.empty()) result->error = error;
    else if (value) result->text = rest;
  } else if (name == "include") {
    std::string all(afterBlanks);
    if (all.empty() || all[0] != '"') {
      setText(&result->error, "include '" + all + "' miss begin double quote");
      return;
    }
    size_t close = all.find('"', 1);
    if (close == std::string::npos) {
      setText(&result->error, "include '" + all + "' miss ending double quote");
      return;
    }
    setText(&result->includeName, all.substr(1, close - 1));
  }
}
