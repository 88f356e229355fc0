// The effect manager's manager slot: built after the render services with
// the shader services, a texture manager over the driver and the technique
// lookup; its bind families read the engine's driver, scene and timer.
#pragma once

#include "effect/zeEffectCommands.h"

class CZeEffectManager;

void zeInstallEffectManagerSlot();
// The engine's effect manager, or nullptr when the engine is stopped.
CZeEffectManager* zeEffectManager();
// The command layer over the engine's effect table and manager, with the
// engine's images, objects (their surfaces' compile parameters) and
// particle emitters behind its seams.
SZeEffectCommandEnv zeEngineEffectCommands();
