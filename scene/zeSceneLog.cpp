#include "scene/zeSceneLog.h"

#include <cstdarg>
#include <cstdio>

#include "app/zeEngine.h"

void zeSceneDeviceLog(irr::ELOG_LEVEL level, const char* format, ...) {
  char text[ZE_TEXT_SIZE];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  irr::IrrlichtDevice* device = zeEngineContext().device;
  if (device && device->getLogger()) {
    device->getLogger()->log(text, level);
    return;
  }
  zeMessage(static_cast<int>(level), "%s", text);
}
