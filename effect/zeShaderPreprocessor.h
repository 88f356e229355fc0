// The line preprocessor of effect definition blocks: "#if", "#elif", "#else",
// "#endif", "#define", "#cond" and "#include" on definition lines, with
// conditions over defined names ("A|B&!C", parentheses, 1 and 0). It decides
// which definition lines count; the HLSL code itself is never touched.
#pragma once

#include <set>
#include <string>
#include <vector>

constexpr int ZE_PP_MAX_LEVELS = 40;  // the outermost level and 39 nested ones
constexpr size_t ZE_PP_TEXT_MAX = 255;

struct SPreprocessorState {
  int depth = 0;
  int levels[ZE_PP_MAX_LEVELS] = {};  // 0 active, 1 inactive (no branch yet), 2 inactive (done)
  std::set<std::string> defined;
};

// Results of one line. error and includeName are empty when not set.
struct SPreprocessorLine {
  std::string error;
  std::string includeName;
  const char* text = nullptr;  // what to interpret (points into the given line), or nullptr
};

SPreprocessorState* zePreprocessorCreate(const std::vector<std::string>& macroNames);
// Processes one definition line (the text after its leading "//" and blanks).
void zePreprocessLine(SPreprocessorState* state, const char* line, SPreprocessorLine* result);
// "missing #endif" when levels are still open, else empty; releases the state.
std::string zePreprocessorFinish(SPreprocessorState* state);

// Evaluates a condition. *error is cleared first and set when malformed; the
// condition then counts as false.
bool zeEvaluateCondition(const std::string& expression, const std::set<std::string>& defined, std::string* error);
