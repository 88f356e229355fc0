// The definition-line preprocessor and its condition language, with the exact
// texts of their errors.
#include <gtest/gtest.h>

#include "effect/zeShaderPreprocessor.h"

namespace {

// Runs lines through one state; returns the texts taken joined by "|", or the
// first error prefixed with "error:".
std::string run(const std::vector<std::string>& macros, const std::vector<std::string>& lines) {
  SPreprocessorState* state = zePreprocessorCreate(macros);
  std::string taken;
  for (const std::string& line : lines) {
    SPreprocessorLine r;
    zePreprocessLine(state, line.c_str(), &r);
    if (!r.error.empty()) {
      zePreprocessorFinish(state);
      return "error:" + r.error;
    }
    if (!r.includeName.empty()) taken += "include:" + r.includeName + "|";
    if (r.text) taken += std::string(r.text) + "|";
  }
  std::string end = zePreprocessorFinish(state);
  return end.empty() ? taken : "error:" + end;
}

}  // namespace

TEST(Preprocessor, ConditionsPickSections) {
  struct Case {
    std::vector<std::string> macros;
    std::vector<std::string> lines;
    std::string expected;
  } cases[] = {
      {{}, {"a", "#if 1", "b", "#endif", "c"}, "a|b|c|"},
      {{}, {"#if 0", "b", "#endif"}, ""},
      {{}, {"#if 2", "b", "#endif"}, ""},
      {{"2"}, {"#if 2", "b", "#endif"}, "b|"},
      {{"B"}, {"#if A", "a", "#elif B", "b", "#else", "c", "#endif"}, "b|"},
      {{"A", "B"}, {"#if A", "a", "#elif B", "b", "#else", "c", "#endif"}, "a|"},
      {{}, {"#if A", "a", "#elif B", "b", "#else", "c", "#endif"}, "c|"},
      {{"TEX_COLOR"}, {"#if TEX_COLOR", "t", "#endif", "#if USE_TEX_COLOR", "u", "#endif"}, "t|"},
      {{}, {"#if 0", "#if 1", "inner", "#endif", "#else", "outer", "#endif"}, "outer|"},
      {{}, {"#define X 1", "#if X", "x", "#endif"}, "x|"},
      {{}, {"#if 0", "#define X", "#endif", "#if X", "x", "#endif"}, ""},
      {{"TECH_SHADOW"}, {"#cond TECH_SHADOW // function pixelMain : ps_shadow"}, "function pixelMain : ps_shadow|"},
      {{}, {"#cond TECH_SHADOW // function pixelMain : ps_shadow"}, ""},
      {{}, {"  \t#include \"shadow.fxh\" trailing"}, "include:shadow.fxh|"},
      {{}, {"#if 0", "#include shadow.fxh", "#endif"}, ""},  // inactive: not even checked
      {{}, {"# if 0", "x"}, "x|"},                           // "# if" is no directive
      {{}, {"#IF 0", "x"}, "x|"},
      {{}, {"#ifdefinitely 0", "x"}, "x|"},                  // name longer than 9 letters
      {{"A", "C"}, {"#if (A|B)&!C", "x", "#endif"}, ""},
      {{"A"}, {"#if (A|B)&!C", "x", "#endif"}, "x|"},
      {{"A"}, {"#if A:ignored", "x", "#endif"}, "x|"},
      {{}, {"#ifdef A", "x", "#endif"}, "error:invalid #endif without #if"},
      {{}, {"#else"}, "error:invalid #else without #if"},
      {{}, {"#elif A"}, "error:invalid #elif without #if"},
      {{}, {"#if 1", "x"}, "error:missing #endif"},
      {{}, {"#include shadow.fxh"}, "error:include 'shadow.fxh' miss begin double quote"},
      {{}, {"#include \"shadow.fxh"}, "error:include '\"shadow.fxh' miss ending double quote"},
      {{}, {"#if A||B"}, "error:An empty subexpression was encountered"},
      {{}, {"#if A$B"}, "error:Unknown operator '$' in the (sub)expression 'A$B'."},
      {{}, {"#if (A"}, "error:Wrong parenthesis parity in the (sub)expression '(A'."},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& l : c.lines) joined += l + " / ";
    EXPECT_EQ(run(c.macros, c.lines), c.expected) << joined;
  }
}

TEST(Preprocessor, ExpressionsEvaluateEveryOperand) {
  struct Case {
    const char* expression;
    bool value;
    const char* error;
  } cases[] = {
      {"A", true, ""},
      {"!A", false, ""},
      {"A|B&C", true, ""},         // A or (B and C)
      {"Z|B&Y", false, ""},
      {" ( Z | A ) & B ", true, ""},
      {"!(Z|Y)", true, ""},
      {"1&A", true, ""},
      {"0|Z", false, ""},
      {"", false, "An empty subexpression was encountered"},
      {"A&&B", false, "An empty subexpression was encountered"},
      {"A|", false, "An empty subexpression was encountered"},
      // An error wins over a true value.
      {"A|(B$)", false, "Unknown operator '$' in the (sub)expression 'B$'."},
      {"A|B$", false, "Unknown operator '$' in the (sub)expression 'A|B$'."},
      {"A)", false, "Wrong parenthesis parity in the (sub)expression 'A)'."},
      {"A-B!", false, ""},  // a name made of allowed characters, not defined
  };
  std::set<std::string> defined{"A", "B", "C"};
  for (const Case& c : cases) {
    std::string error = "stale";
    EXPECT_EQ(zeEvaluateCondition(c.expression, defined, &error), c.value) << c.expression;
    EXPECT_EQ(error, c.error) << c.expression;
  }
}

TEST(Preprocessor, NestingIsBoundedAndLongErrorsAreCut) {
  std::vector<std::string> lines(39, "#if 1");
  EXPECT_EQ(run({}, lines), "error:missing #endif");  // 39 levels are fine
  lines.push_back("#if 1");
  EXPECT_EQ(run({}, lines).rfind("error:too many nested #if", 0), 0u);
  std::string longExpression(400, 'A');
  longExpression += "$";
  std::string error;
  zeEvaluateCondition(longExpression, {}, &error);
  EXPECT_EQ(error.size(), ZE_PP_TEXT_MAX);
}
