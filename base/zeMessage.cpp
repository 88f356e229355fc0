#include "base/zeMessage.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Process-wide message state; main thread only.
int threshold = ZE_INFO;
bool boxesEnabled = true;
char messageText[ZE_TEXT_SIZE];
bool lastErrorSet = false;
int lastErrorValue = -1;
char lastErrorText[ZE_TEXT_SIZE];
ZeMessageBoxPresenter boxPresenter = nullptr;

const char* levelName(int level) {
  switch (level) {
    case ZE_DEBUG: return "DEBUG";
    case ZE_INFO: return "INFO";
    case ZE_WARN: return "WARN";
    case ZE_ERROR: return "ERROR";
    case ZE_NONE: return "NONE";
    default: return "???";
  }
}

// Stands in for the debugger output: appended to $ZARN_LOG_FILE when set.
void writeDebuggerOutput(const char* line) {
  const char* path = std::getenv("ZARN_LOG_FILE");
  if (!path || !*path) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fputs(line, f);
    std::fclose(f);
  }
}

void formatInto(char* buffer, const char* format, va_list args) {
  std::vsnprintf(buffer, ZE_TEXT_SIZE, format, args);
}

void showBox(const char* text) {
  if (boxPresenter) {
    boxPresenter("Zarn", text);
    return;
  }
  std::fprintf(stderr, "Zarn: %s\n", text);
  std::fflush(stderr);
}

void issue(int flags, int value, const char* format, va_list args) {
  formatInto(messageText, format, args);
  if (flags & ZE_MSG_KEEP) {
    lastErrorSet = true;
    lastErrorValue = value;
    std::snprintf(lastErrorText, sizeof lastErrorText, "%s", messageText);
  }
  const int level = static_cast<short>(flags & 0xFFFF);
  if (level >= threshold) {
    char line[ZE_TEXT_SIZE];
    std::snprintf(line, sizeof line, "%s : %s\n", levelName(level), messageText);
    writeDebuggerOutput(line);
    std::puts(line);  // puts adds the newline that leaves an empty line after each entry
    std::fflush(stdout);
  }
  if ((flags & ZE_MSG_SHOW) && boxesEnabled) showBox(messageText);
}

}  // namespace

void zeFormatText(char* buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  formatInto(buffer, format, args);
  va_end(args);
}

void zeMessage(int flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  issue(flags, -1, format, args);
  va_end(args);
}

void zeMessageKept(int flags, int value, const char* format, ...) {
  va_list args;
  va_start(args, format);
  issue(flags, value, format, args);
  va_end(args);
}

void zeReportError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  issue(ZE_MSG_SHOW | ZE_ERROR, -1, format, args);
  va_end(args);
}

void zeReportArgError(int argIndex, const char* format, ...) {
  va_list args;
  va_start(args, format);
  issue(ZE_MSG_KEEP | ZE_ERROR, argIndex, format, args);
  va_end(args);
}

void zeReportArgErrorShown(int argIndex, const char* format, ...) {
  va_list args;
  va_start(args, format);
  issue(ZE_MSG_KEEP | ZE_MSG_SHOW | ZE_ERROR, argIndex, format, args);
  va_end(args);
}

const char* zeGetLastError(int* value) {
  if (!lastErrorSet) {
    if (value) *value = -1;
    return nullptr;
  }
  if (value) *value = lastErrorValue;
  return lastErrorText;
}

void zeClearLastError() { lastErrorSet = false; }

void zeSetMessageThreshold(int level) { threshold = level; }
int zeGetMessageThreshold() { return threshold; }
void zeDisableMessageBoxes() { boxesEnabled = false; }
bool zeMessageBoxesEnabled() { return boxesEnabled; }

void zeDebuggerOutput(const char* text) {
  if (text) writeDebuggerOutput(text);
}

void zeLog(const char* format, ...) {
  char line[ZE_TEXT_SIZE];
  va_list args;
  va_start(args, format);
  formatInto(line, format, args);
  va_end(args);
  writeDebuggerOutput(line);
  std::fputs(line, stdout);
  std::fflush(stdout);
}

void zeMessageBox(const char* format, ...) {
  char text[ZE_TEXT_SIZE];
  va_list args;
  va_start(args, format);
  formatInto(text, format, args);
  va_end(args);
  showBox(text);
}

void zeSetMessageBoxPresenter(ZeMessageBoxPresenter presenter) { boxPresenter = presenter; }

namespace {
// What has said it is not built, since the last zeNotBuiltSayAgain(): few
// kinds ever do, so a short array of copies serves (and nothing is allocated).
constexpr int kNotBuiltKinds = 64;
char notBuiltSaid[kNotBuiltKinds][96];
int notBuiltCount = 0;
}  // namespace

bool zeNotBuilt(const char* what) {
  if (!what) what = "";
  for (int i = 0; i < notBuiltCount; ++i)
    if (std::strncmp(notBuiltSaid[i], what, sizeof notBuiltSaid[i] - 1) == 0) return false;
  // Past the last kind the notice is said every time rather than lost.
  if (notBuiltCount < kNotBuiltKinds)
    std::snprintf(notBuiltSaid[notBuiltCount++], sizeof notBuiltSaid[0], "%s", what);
  zeMessage(ZE_WARN, "%s: not built yet", what);
  return false;
}

void zeNotBuiltSayAgain() { notBuiltCount = 0; }

void zeResetMessageState() {
  zeNotBuiltSayAgain();
  threshold = ZE_INFO;
  boxesEnabled = true;
  messageText[0] = '\0';
  lastErrorSet = false;
  lastErrorValue = -1;
  lastErrorText[0] = '\0';
}
