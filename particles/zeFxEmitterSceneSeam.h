// Scenes make and animate their emitters through the emitter commands: the
// scene runtime's emitter seam (scene/zeSceneSeams.h) filled by this layer.
#pragma once

#include "effect/zeEffectCommands.h"

// Installs the emitter seam; `effects` gives the effect commands' services
// (the engine's effect table and manager) when an emitter takes its effect.
void zeInstallFxEmitterSceneSeam(SZeEffectCommandEnv (*effects)());
