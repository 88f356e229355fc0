// The emitter command layer: particle nodes known by an identifier of the
// FxEmitters table, for scripts and scenes. Failures are reported through
// the message channel with the offending argument's index; a failed
// creation leaves the identifier free.
//
// Contents: creation · the node · simulation parameters · surface · effect ·
// access for other layers.
#pragma once

#include <irrlicht.h>

#include "effect/zeEffectCommands.h"

class CZeParticleSystemSceneNode;

struct ZeFxEmitterCell {
  CZeParticleSystemSceneNode* node = nullptr;  // held by the scene graph
};

// --- Creation (0 or -1) -------------------------------------------------------------------
// The image is the sprite file; empty or null: "ZeDefaultParticle.png".
int zeMakeFxEmitterBox(int id, const char* image, float x, float y, float z);
int zeMakeFxEmitterSphere(int id, const char* image, float x, float y, float z);
int zeMakeFxEmitterMeshVertices(int id, const char* image, int object);
int zeMakeFxEmitterMeshNormal(int id, const char* image, int object);
int zeMakeFxEmitterMeshSurface(int id, const char* image, int object);
// From a parent's live particles, or those that died in its last update; a
// negative or unknown parent gives none.
int zeMakeFxEmitterFromParent(int id, const char* image, int parent, bool dead);
int zeMakeFxEmitterMeshStatic(int id, const char* image, int object);
int zeSetFxEmitterParent(int id, int parent);
int zeDeleteFxEmitter(int id);
bool zeFxEmitterExists(int id);  // silent

// --- The node -------------------------------------------------------------------------------
int zeShowFxEmitter(int id);
int zeHideFxEmitter(int id);
int zePositionFxEmitter(int id, float x, float y, float z);
int zeRotateFxEmitter(int id, float x, float y, float z);  // degrees
int zeLockFxEmitterOn(int id);
int zeLockFxEmitterOff(int id);

// --- Simulation parameters (nothing for a static emitter) ------------------------------------------
int zeSetFxEmitterVelocity(int id, float x, float y, float z);
int zeSetFxEmitterParentMotion(int id, float value);
int zeSetFxEmitterGravity(int id, float x, float y, float z);
int zeSetFxEmitterBirthRate(int id, float rate);
int zeSetFxEmitterLifeTime(int id, float seconds, float variation);
int zeSetFxEmitterExplosion(int id, float value);
int zeSetFxEmitterWeight(int id, float value);
int zeSetFxEmitterResistance(int id, float value);
int zeSetFxEmitterVibration(int id, float value);
int zeSetFxEmitterParticleLimit(int id, int limit);
int zeSetFxEmitterRandomVelocity(int id, float value);
int zeSetFxEmitterCurlNoise(int id, float power, float frequency);
int zeFxResetEmitter(int id);
int zeFxResetEmitterEmittedCount(int id);

// --- Surface ----------------------------------------------------------------------------------
int zeSetFxEmitterParticleSize(int id, float size);
int zeSetFxEmitterBlendMode(int id, int mode);
int zeSetFxEmitterUseImageColor(int id);
int zeSetFxEmitterColor(int id, int rgb);
int zeSetFxEmitterRotation(int id, float rotation);
int zeSetFxEmitterColorGradient(int id, const float* values, int count);
int zeSetFxEmitterSizeGradient(int id, const float* values, int count);

// --- Effect -----------------------------------------------------------------------------------
int zeSetFxEmitterEffect(SZeEffectCommandEnv& env, int id, int effect);
// Compiled with the particle look's macros and base material.
int zeSetFxEmitterEffectFromFile(SZeEffectCommandEnv& env, int id, const char* file);
int zeSetFxEmitterDefaultEffect(SZeEffectCommandEnv& env, int id);  // "Particle.dae"
int zeSetFxEmitterEffectTechnique(int id, int technique);

// --- Access for other layers -------------------------------------------------------------------
CZeParticleSystemSceneNode* zeFxEmitterNode(int id);  // nullptr (silent) when free
// For the effect commands: 0, 1 no emitter, 2 no node extension.
int zeFxEmitterCompileParameters(int id, SZeEffectCompileParameters* out);
