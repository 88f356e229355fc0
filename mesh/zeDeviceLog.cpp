#include "mesh/zeDeviceLog.h"

#include <cstdarg>
#include <cstdio>

namespace {
irr::ILogger* gDeviceLogger = nullptr;
}

void zeSetDeviceLogger(irr::ILogger* logger) { gDeviceLogger = logger; }

irr::ILogger* zeGetDeviceLogger() { return gDeviceLogger; }

void zeDeviceLog(irr::ELOG_LEVEL level, const char* format, ...) {
  static char text[ZE_TEXT_SIZE];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (gDeviceLogger) {
    gDeviceLogger->log(text, level);
    return;
  }
  int channelLevel = ZE_INFO;
  switch (level) {
    case irr::ELL_DEBUG: channelLevel = ZE_DEBUG; break;
    case irr::ELL_INFORMATION: channelLevel = ZE_INFO; break;
    case irr::ELL_WARNING: channelLevel = ZE_WARN; break;
    default: channelLevel = ZE_ERROR; break;
  }
  zeMessage(channelLevel, "%s", text);
}
