#include "effect/zeHlslLimits.h"

int zeHlslNestingDepth(const std::string& text, int* deepestLine) {
  int depth = 0, deepest = 0, line = 1;
  *deepestLine = 0;
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
    } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
      while (i + 1 < n && text[i + 1] != '\n') ++i;
    } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      for (i += 2; i < n && !(text[i] == '*' && i + 1 < n && text[i + 1] == '/'); ++i)
        if (text[i] == '\n') ++line;
      ++i;
    } else if (c == '"') {
      for (++i; i < n && text[i] != '"' && text[i] != '\n'; ++i)
        if (text[i] == '\\' && i + 1 < n && text[i + 1] != '\n') ++i;
      if (i < n && text[i] == '\n') ++line;
    } else if (c == '(' || c == '[' || c == '{') {
      if (++depth > deepest) {
        deepest = depth;
        *deepestLine = line;
      }
    } else if (c == ')' || c == ']' || c == '}') {
      if (depth > 0) --depth;
    }
  }
  return deepest;
}
