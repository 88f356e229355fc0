// The device log: mesh and loader code report through the Irrlicht device's
// logger. Engine start installs the device's logger; until then (and in tools
// with no device) messages go to the message channel at the same level.
#pragma once
#include <ILogger.h>

#include "base/zeMessage.h"

// Not grabbed: the device outlives every mesh operation. nullptr to detach.
void zeSetDeviceLogger(irr::ILogger* logger);
irr::ILogger* zeGetDeviceLogger();

// One message of at most 1023 characters at the given level.
void zeDeviceLog(irr::ELOG_LEVEL level, const char* format, ...) ZE_PRINTF(2, 3);
