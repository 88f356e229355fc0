// The message channel: every layer reports progress and failure through it.
// A message has a level (low 16 bits of the flags), may be kept as the last
// error for the script layer, and may be shown to the user in a message box.
#pragma once

#include <cstddef>

enum ZeMessageLevel {
  ZE_DEBUG = 0,
  ZE_INFO = 1,
  ZE_WARN = 2,
  ZE_ERROR = 3,
  ZE_NONE = 4,
};

// Keep the message as the last error (with the argument index given).
constexpr int ZE_MSG_KEEP = 0x10000;
// Show the message to the user in a box titled "Zarn".
constexpr int ZE_MSG_SHOW = 0x20000;

// Texts of the channel are bounded: 1023 characters plus the terminator.
constexpr std::size_t ZE_TEXT_SIZE = 1024;

#define ZE_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))

void zeMessage(int flags, const char* format, ...) ZE_PRINTF(2, 3);
// Same as zeMessage with an explicit kept value (the offending argument index).
void zeMessageKept(int flags, int value, const char* format, ...) ZE_PRINTF(3, 4);

void zeReportError(const char* format, ...) ZE_PRINTF(1, 2);                          // 0x20003
void zeReportArgError(int argIndex, const char* format, ...) ZE_PRINTF(2, 3);          // 0x10003
void zeReportArgErrorShown(int argIndex, const char* format, ...) ZE_PRINTF(2, 3);     // 0x30003

// The kept error's text, or nullptr (and *value = -1) when none waits. Does not clear.
const char* zeGetLastError(int* value);
void zeClearLastError();

void zeSetMessageThreshold(int level);
int zeGetMessageThreshold();
void zeDisableMessageBoxes();
bool zeMessageBoxesEnabled();

// A plain log line, no level and no threshold.
void zeLog(const char* format, ...) ZE_PRINTF(1, 2);
// Text for the debugger output only ($ZARN_LOG_FILE), not standard output.
void zeDebuggerOutput(const char* text);

// A modal box captioned "Zarn" with an OK button.
void zeMessageBox(const char* format, ...) ZE_PRINTF(1, 2);

// How a message box is shown. Without a presenter (no display, or
// ZARN_NONINTERACTIVE=1) the text goes to standard error. The engine installs a
// windowed presenter once a display exists; pass nullptr to go back.
using ZeMessageBoxPresenter = void (*)(const char* caption, const char* text);
void zeSetMessageBoxPresenter(ZeMessageBoxPresenter presenter);

// The one way to say that something asked for belongs to a subsystem this
// program does not have yet: "<what>: not built yet" at WARN, once for each
// `what` until zeNotBuiltSayAgain() (a new scene load, a fresh message
// state). Returns false, for callers that fail with it.
bool zeNotBuilt(const char* what);
void zeNotBuiltSayAgain();

// Bounded formatting into a 1024-byte text buffer; never writes past it.
void zeFormatText(char* buffer, const char* format, ...) ZE_PRINTF(2, 3);

// Restores the initial message state (threshold INFO, boxes on, nothing kept).
// For tests and for a fresh script run.
void zeResetMessageState();
