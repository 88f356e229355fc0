// The effect command layer: effects by integer id for scripts, scenes, demos
// and camera effects. Commands answer 0 or -1, as every command layer does. Effects live in the engine's effect table; failures go
// through zeReportArgError with the offending argument's index and leave the
// table as it was (a failed load frees the id it took).
//
// The layer is handed its table and services (SZeEffectCommandEnv) so it does
// not depend on the engine start; the image table, objects and emitters are
// reached through seams until their subsystems exist.
#pragma once

#include <irrlicht.h>

#include <string>
#include <vector>

#include "base/ZeHandleTable.h"
#include "effect/zeHlslTranslator.h"

class CZeEffect;
class CZeEffectManager;
class IZeTextureManager;

struct ZeEffectCell {
  int id = -1;
  CZeEffect* effect = nullptr;  // one reference
};

constexpr int ZE_EFFECT_TABLE_SIZE = 1000;
constexpr int ZE_EFFECT_MAX_MACROS = 20;

// Compile parameters of a surface or emitter: base material and macro pairs.
struct SZeEffectCompileParameters {
  int baseMaterial = -1;
  std::vector<SZeShaderMacro> macros;
};

// Seams of the layers this one reads.
class IZeEffectCommandSeams {
 public:
  virtual ~IZeEffectCommandSeams() = default;
  // Image table: the texture of image `id`; false when the id has no image.
  virtual bool imageTexture(int id, irr::video::ITexture** texture) = 0;
  // Objects: 0 ok, 1 no object, 2 no node extension, 3 no such surface, 4 no compile parameters.
  virtual int objectSurfaceParameters(int object, int surface, SZeEffectCompileParameters* out) = 0;
  // The renderer manager's macros for a surface effect, appended to `out`; false on failure.
  virtual bool rendererMacros(SZeEffectCompileParameters* out) = 0;
  // Emitters: 0 ok, 1 no emitter, 2 no node extension, 3 no surface 0, 4 no compile parameters.
  virtual int emitterParameters(int emitter, SZeEffectCompileParameters* out) = 0;
  // A named engine texture of the texture manager (kind 1 of a description).
  virtual irr::video::ITexture* namedTexture(const char* name) = 0;
  // A file found with the engine's shader directories, or "" when none has it.
  virtual std::string findShaderFile(const char* name) = 0;
};

struct SZeEffectCommandEnv {
  ZeHandleTable<ZeEffectCell>* table = nullptr;
  CZeEffectManager* manager = nullptr;
  IZeTextureManager* textures = nullptr;
  IZeEffectCommandSeams* seams = nullptr;  // may be null: those commands say they are not built yet
};

// A shader description of camera effects, post effects and scenes.
struct SZeShaderDescEntry {
  std::string name;
  int type = 0;  // 0 float3, 1 float, 2 int, 3 texture
  float floats[3] = {0, 0, 0};
  int integer = 0;
  std::string text;  // texture: a named texture or a file
  bool srgb = false;
  int kind = 0;  // 1 named engine texture, else a file
};
struct SZeShaderDesc {
  std::string file;
  std::string macroText;
  std::vector<SZeShaderDescEntry> entries;
};

// Splits "USE_A USE_B=2" into (USE_A, ""), (USE_B, "2"), appended to `macros`.
void zeParseMacroText(const std::string& text, std::vector<SZeShaderMacro>* macros);

bool zeEffectExists(SZeEffectCommandEnv& env, int id);
void zeDeleteEffect(SZeEffectCommandEnv& env, int id);
// 0 or -1.
int zeLoadEffect(SZeEffectCommandEnv& env, const char* file, int id, int baseMaterial, const SZeShaderMacro* macros);
int zeLoadEffect(SZeEffectCommandEnv& env, const char* file, int id);
int zeLoadEffectForObjectSurface(SZeEffectCommandEnv& env, const char* file, int id, int object, int surface);
int zeLoadEffectForEmitter(SZeEffectCommandEnv& env, const char* file, int id, int emitter);
int zeSetEffectConstantBool(SZeEffectCommandEnv& env, int id, const char* name, bool value);
int zeSetEffectConstantInt(SZeEffectCommandEnv& env, int id, const char* name, int value);
int zeSetEffectConstantFloat(SZeEffectCommandEnv& env, int id, const char* name, float value);
int zeSetEffectConstantFloats(SZeEffectCommandEnv& env, int id, const char* name, const float* values, int count);
int zeSetEffectTextureImage(SZeEffectCommandEnv& env, int id, const char* name, int image);
int zeSetEffectTextureFile(SZeEffectCommandEnv& env, int id, const char* name, const char* file);
int zeLoadEffectFromShaderDesc(SZeEffectCommandEnv& env, int id, const SZeShaderDesc& desc);
int zeApplyShaderDesc(SZeEffectCommandEnv& env, int id, const SZeShaderDesc& desc, bool withTextures);
// The texture of a texture parameter (`handle` of effect `e`) of a
// description: a named engine texture, or a file found with the shader
// directories and loaded for the parameter's sampler type. false after a
// message naming the effect file and the parameter; "" is no texture.
bool zeEffectParamTexture(SZeEffectCommandEnv& env, CZeEffect* e, int handle, const char* text, bool named,
                          const char* effectFile, const char* paramName, irr::video::ITexture** texture);
// The effect of an id, or nullptr (no message).
CZeEffect* zeEffectOf(SZeEffectCommandEnv& env, int id);
