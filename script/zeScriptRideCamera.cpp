#include "script/zeScriptRideCamera.h"

namespace {
ZeRideCameraSlots slots;
}

void zeSetRideCameraSlots(const ZeRideCameraSlots& newSlots) { slots = newSlots; }
const ZeRideCameraSlots& zeRideCameraSlots() { return slots; }
