// The device log (Irrlicht's logger) for the scene layers; the message channel
// at the same level when no device exists.
#pragma once

#include <irrlicht.h>

#include "base/zeMessage.h"

void zeSceneDeviceLog(irr::ELOG_LEVEL level, const char* format, ...) ZE_PRINTF(2, 3);
