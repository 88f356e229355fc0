// The scene view: a ZF scene document with every key the engine uses
// resolved once into records, so that playing a scene looks nothing up by
// name. Built by ZF_SceneOpen, released by ZF_SceneClose; every pointer in a
// record belongs to the view's document and lives until ZF_SceneClose.
//
// Contents: limits · effect descriptions and their evaluation · surfaces ·
// records per section · render commands · the view · opening and evaluation.
//
// Keys whose entry has a shape the engine cannot read (a text where a float
// is read, a vector of the wrong size, an integer with no element) resolve to
// "absent" at open, with one log line, and then read as their defaults.
#pragma once

#include <memory>
#include <vector>

#include "zf/zfAnimate.h"
#include "zf/zfDocument.h"

// --- Limits ---------------------------------------------------------------------
constexpr int ZF_MAX_EFFECT_PARAMS = 30;
constexpr int ZF_SURFACE_CHANNELS = 39;
constexpr int ZF_MAX_SURFACES = 256;
constexpr int ZF_MAX_MORPH_WEIGHTS = 60;
constexpr int ZF_MAX_CAMERA_SHADERS = 20;
constexpr int ZF_MAX_RENDER_COMMANDS = 150;
constexpr int ZF_MAX_RENDER_INPUTS = 10;
constexpr int ZF_MAX_RENDER_OUTPUTS = 5;
constexpr int ZF_MAX_RENDER_PARAMS = 20;
constexpr int ZF_MAX_RENDER_EFFECTS = 50;

// Surface channel names, in channel order.
extern const char* const ZF_SurfaceChannelNames[ZF_SURFACE_CHANNELS];
// The channel of a name, or -1 (exact, case-sensitive).
int ZF_SurfaceChannelIndex(const char* name);

// --- Effect descriptions ------------------------------------------------------------
enum ZF_ParamKind : int {
  ZF_PARAM_NONE = -1,
  ZF_PARAM_FLOAT3 = 0,
  ZF_PARAM_FLOAT = 1,
  ZF_PARAM_INT = 2,
  ZF_PARAM_TEXT = 3,
};

// The kind of a parameter or channel from its value entry (null: none).
int ZF_ParamKindOf(const ZF_Entry* value);

struct ZF_EffectParamDesc {
  const char* name;
  const ZF_Entry* value;  // null when absent
  int kind;               // ZF_ParamKind
  int colorSpace;         // "img_colorspace", default 0
  int reference;          // "img_reference", default 0
};

struct ZF_EffectDesc {
  const char* filename;  // "" when absent
  const char* cflags;    // "" when absent
  std::vector<ZF_EffectParamDesc> params;  // at most ZF_MAX_EFFECT_PARAMS
};

struct ZF_EffectParam {
  const char* name;
  int kind;
  float value[3];   // kinds 0 and 1 (kind 1 in value[0])
  int intValue;     // kind 2
  const char* text; // kind 3
  int colorSpace;
  int reference;
};

struct ZF_EffectParams {
  const char* filename;
  const char* cflags;
  int count;
  ZF_EffectParam params[ZF_MAX_EFFECT_PARAMS];
};

// Evaluates every parameter of `desc` at sample position t. No allocation.
void ZF_EffectParamsEval(const ZF_EffectDesc* desc, float t, ZF_EffectParams* out);
// True when two evaluated parameter sets would hand over the same values.
bool ZF_EffectParamsEqual(const ZF_EffectParams& a, const ZF_EffectParams& b);

// --- Surfaces -----------------------------------------------------------------------
struct ZF_ChannelDesc {
  const ZF_Entry* value;   // null when absent
  int kind;                // ZF_ParamKind
  int elements;            // values the entry holds at a time (3 for a colour), 0 when absent
  const char* imageFile;   // "img_filename", null when absent
  int colorSpace;          // "img_colorspace", default 0
  int mipmap;              // "img_mipmap", default 1
};

struct ZF_SurfaceDesc {
  const char* name;  // "" when absent
  ZF_ChannelDesc channels[ZF_SURFACE_CHANNELS];
  int applyToSurface;          // Shader "applyToSurface", 0 when absent
  const ZF_EffectDesc* own;    // Shader "Effect", or null
  const ZF_EffectDesc* chosen; // the effect the choice rule gives, or null
};

struct ZF_SceneObjectRec {
  const char* filename;
  std::vector<ZF_SurfaceDesc> surfaces;
};

struct ZF_ChannelValue {
  int kind;
  int elements;  // as ZF_ChannelDesc::elements
  float value[3];
  int intValue;
  const char* imageFile;
  int colorSpace;
  int mipmap;
};

struct ZF_SurfaceParams {
  const char* name;
  ZF_ChannelValue channels[ZF_SURFACE_CHANNELS];
  bool hasEffect;
  ZF_EffectParams effect;
};

// Fills out[0 .. min(surfaces, capacity)) at position t; returns the number
// filled (capacity is at most ZF_MAX_SURFACES). No allocation.
int ZF_SurfaceParamsEval(const ZF_SceneObjectRec* surfaces, float t, ZF_SurfaceParams* out, int capacity);

// --- Records per section -------------------------------------------------------------
struct ZF_CubeInfluence {
  const char* cubeMapName;  // "renderCubeMap"
  int cubeMap;              // index in CubeMaps, -1 when no cube map has the name
  const ZF_Entry* aabbPosition;
  const ZF_Entry* aabbScale;
  const ZF_Entry* influence;
};

struct ZF_ObjectRec {
  const char* zfilename;  // null when absent
  const char* name;
  const char* filename;
  const ZF_Entry* position;
  const ZF_Entry* rotation;
  const ZF_Entry* scale;
  int pointCloudCount, pointCloudFlags, shadowOpts, selectionMask;
  const char* vertexTextureName;
  int vertexTextureContent, vertexTextureFormat;
  // "MDD"
  bool hasMdd;
  const char* mddFile;
  int applyCacheTo, endBehavior, postBehavior;
  float mddTotalTime;
  const ZF_Entry* mddTimes;
  std::vector<const ZF_Entry*> morphs;  // "Morphs" children's "value" (null when absent)
  std::vector<ZF_CubeInfluence> influences;
  int sceneObject;  // index in SceneObjects (last match of "filename"), -1 when none
};

struct ZF_CameraRec {
  const ZF_Entry *position, *rotation, *zoomFactor, *focalDistance, *fStop, *separation, *convergencePoint;
  int width, height;  // "resolution", 640 x 480 when absent
  int flags, usingConvergencePoint;
};

enum ZF_VolumetricKey {
  ZF_VOL_SPRITE, ZF_VOL_DISSOLVE, ZF_VOL_SHADOW, ZF_VOL_RADIUS, ZF_VOL_BASE, ZF_VOL_HEIGHT,
  ZF_VOL_LUMINOSITY, ZF_VOL_OPACITY, ZF_VOL_ATTENUATION, ZF_VOL_REDSHIFT, ZF_VOL_DENSITY,
  ZF_VOL_JITTEREDSAMPLING, ZF_VOL_COUNT
};

struct ZF_LightRec {
  const char* name;
  int type;  // 0 directional, 2 spot, others point; 1 when absent
  const ZF_Entry *position, *rotation, *color, *intensity, *range, *coneAngles;
  const ZF_Entry *distantShadowPositionOffset, *distantShadowDimWidth, *distantShadowDimHeight;
  int falloff, shadowType, shadMapSize, flags;
  float shadowColor[3];
  float shadMapFuzz;
  const char* projImage;
  bool hasDistantShadowPosition;
  int distantShadowPosition;
  bool hasVolumetric;
  bool hasVolumetricFlags;
  int volumetricFlags[5];
  const ZF_Entry* volumetricColor;  // Volumetric "color"
  const ZF_Entry* volumetric[ZF_VOL_COUNT];
};

enum ZF_HyperVoxelKey {
  ZF_HV_PARTICLESIZE, ZF_HV_COLOR, ZF_HV_LUMINOSITY, ZF_HV_OPACITY, ZF_HV_DENSITY, ZF_HV_CLIPFLAGS,
  ZF_HV_CLIPALPHA, ZF_HV_CLIPTHRESHOLD, ZF_HV_CLIPROTATION, ZF_HV_CLIPFRAMEOFFSET, ZF_HV_CLIPFILENAME,
  ZF_HV_CLIPFILEEXT, ZF_HV_CLIPFRAMERATE, ZF_HV_GRADIENTPARTICLESIZE, ZF_HV_GRADIENTCOLOR, ZF_HV_COUNT
};
enum ZF_ParticleFxKey {
  ZF_PFX_GENERATORSIZE, ZF_PFX_CENTERPOSITION, ZF_PFX_PARTICLELIMIT, ZF_PFX_VELOCITY, ZF_PFX_PARENTMOTION,
  ZF_PFX_POSITIONBLUR, ZF_PFX_GRAVITY, ZF_PFX_BIRTHRATE, ZF_PFX_NOZZLE, ZF_PFX_SIZEEFFECT, ZF_PFX_GENERATEBY,
  ZF_PFX_LIFETIME, ZF_PFX_LIFETIME_PM, ZF_PFX_EXPLOSION, ZF_PFX_VELOCITYP, ZF_PFX_STARTFRAME, ZF_PFX_FIXED,
  ZF_PFX_WEIGHT, ZF_PFX_WEIGHT_PM, ZF_PFX_RESISTANCE, ZF_PFX_RESISTANCE_PM, ZF_PFX_VIBRATION, ZF_PFX_THRESHOLD,
  ZF_PFX_SIZE, ZF_PFX_SIZE_PM, ZF_PFX_VIBRATIONMIN, ZF_PFX_MAXSPEED, ZF_PFX_RANDOMVELOCITY,
  ZF_PFX_CURLNOISEPOWER, ZF_PFX_CURLNOISEFREQUENCY, ZF_PFX_COUNT
};

// Emitter keys are kept as entries (values of any type, as the emitter layer
// reads them); only the member keys are read at open.
struct ZF_EmitterRec {
  int type;  // -1 when absent
  const char* name;
  const char* parentName;
  int selectionMask;
  const ZF_Entry *position, *rotation, *scale;
  const ZF_Entry* hyperVoxelNode;  // null when absent
  const ZF_Entry* hv[ZF_HV_COUNT];
  const ZF_Entry* particleFxNode;
  const ZF_Entry* pfx[ZF_PFX_COUNT];
  const ZF_EffectDesc* effect;  // "Shader" "Effect", or null
};

struct ZF_CubeMapRec {
  const char* name;
  int renderType, textureSize, hideObject, showVolumetric, clampVolumetric, useLatLong;
  float renderTime, clampVolumetricMax;
  const ZF_Entry *position, *cameraOffset;
  std::vector<int> hideSet, showSet;  // object indices
};

struct ZF_ProbesSettingsRec {
  float renderTime;
  const char* textureName;
  int textureSize;
  std::vector<int> hideSet, showSet;
};

struct ZF_ProbeRec {
  const char* name;
  ZF_Float3 position;
  float radius;
};

struct ZF_CameraShaderRec {
  int useframe, startframe, endframe;
  const ZF_EffectDesc* effect;  // null when the member has no "Effect"
};

// ZarnRenderSettings keys, in the order they are named.
enum ZF_RenderSettingKey {
  ZF_RS_GLOW_ENABLE, ZF_RS_GLOW_INTENSITY, ZF_RS_GLOW_RADIUS, ZF_RS_GLOW_SURFACE_INTENSITY,
  ZF_RS_BLOOM_ENABLE, ZF_RS_BLOOM_THRESHOLD, ZF_RS_BLOOM_INTENSITY,
  ZF_RS_STREAK_ENABLE, ZF_RS_STREAK_THRESHOLD, ZF_RS_STREAK_INTENSITY, ZF_RS_STREAK_TINT,
  ZF_RS_STREAK_ATTENUATION, ZF_RS_STREAK_ANGLE,
  ZF_RS_DOF_ADVANCED_ENABLE, ZF_RS_DOF_MINFOCUSDIST, ZF_RS_DOF_FOCUSEDDIST, ZF_RS_DOF_MAXFOCUSDIST,
  ZF_RS_DOF_RADIUSSCALE,
  ZF_RS_SSAO_ENABLE, ZF_RS_SSAO_DISTANCEREACH, ZF_RS_SSAO_MAXDEPTHDECLINE, ZF_RS_SSAO_DEPTHALIASINGEPSILON,
  ZF_RS_SSAO_OUTPUTMULTIPLIER,
  ZF_RS_SHADOW_ENABLE, ZF_RS_SHADOW_EPSILON,
  ZF_RS_CAMERARANGE_ENABLE, ZF_RS_CAMERARANGE_MIN, ZF_RS_CAMERARANGE_MAX,
  ZF_RS_VELOCITY_SOLID, ZF_RS_VELOCITY_TRANSPARENT,
  ZF_RS_AA_JITTER, ZF_RS_AA_LOCATION, ZF_RS_AA_MODE, ZF_RS_AA_BLENDING, ZF_RS_AA_BLENDING_WEIGHT,
  ZF_RS_AA_VLIMIT_ENABLE, ZF_RS_AA_VLIMIT_VAL,
  ZF_RS_COUNT
};
extern const char* const ZF_RenderSettingNames[ZF_RS_COUNT];
// True for the keys read as integers.
bool ZF_RenderSettingIsInt(int key);

// --- Render commands -------------------------------------------------------------------
enum ZF_RenderParamKind : int {
  ZF_RP_FLOAT = 0,
  ZF_RP_FLOAT3 = 1,
  ZF_RP_INT = 2,
  ZF_RP_STRING = 3,
  ZF_RP_EFFECT = 4,
  ZF_RP_LIGHT = 5,
};

struct ZF_RenderConnect {
  const char* slot;     // "name"
  const char* texture;  // "value"
};

struct ZF_RenderParam {
  const char* name;
  int kind;  // ZF_RenderParamKind
  float value[3];
  int intValue;  // integer, effect index or light index
  const char* text;
};

struct ZF_RenderCommand {
  const char* name;
  const char* cmd;
  int inputCount, outputCount, paramCount;
  ZF_RenderConnect inputs[ZF_MAX_RENDER_INPUTS];
  ZF_RenderConnect outputs[ZF_MAX_RENDER_OUTPUTS];
  ZF_RenderParam params[ZF_MAX_RENDER_PARAMS];
};

// --- The view ----------------------------------------------------------------------------
struct ZF_SceneView {
  ZF_Document* document = nullptr;
  const ZF_Entry* scene = nullptr;

  // SceneInfo
  int frameStart = 0, frameEnd = 0, frameStep = 0;
  float framesPerSecond = 0;
  const ZF_Entry* loadAudio = nullptr;
  const ZF_Entry* audioStartTime = nullptr;
  const ZF_Entry* renderCamera = nullptr;

  // Section nodes (null when absent) and member counts.
  const ZF_Entry *objectsNode = nullptr, *camerasNode = nullptr, *lightsNode = nullptr, *emittersNode = nullptr,
                 *postProcsNode = nullptr, *sceneObjectsNode = nullptr, *cubeMapsNode = nullptr, *probesNode = nullptr;

  const ZF_Entry* backdropInfo = nullptr;
  ZF_Float3 zenith{0, 0, 0};
  const ZF_Entry* ambient = nullptr;
  int colorSpaceViewer = 0, colorSpace8BitFiles = 0;
  int glowEffect = 0;
  const ZF_Entry *glowIntensity = nullptr, *glowRadius = nullptr;
  const ZF_Entry* renderSettings[ZF_RS_COUNT] = {};

  std::vector<ZF_CubeMapRec> cubeMaps;
  std::vector<ZF_CameraRec> cameras;
  std::vector<ZF_LightRec> lights;
  std::vector<ZF_EmitterRec> emitters;
  std::vector<ZF_SceneObjectRec> sceneObjects;
  std::vector<ZF_ObjectRec> objects;
  bool hasProbesSettings = false;
  bool probesActive = false;
  ZF_ProbesSettingsRec probesSettings;
  std::vector<ZF_ProbeRec> probes;
  std::vector<ZF_CameraShaderRec> cameraShaders;

  bool hasRenderCommands = false;
  std::vector<ZF_RenderCommand> renderCommands;
  std::vector<const ZF_EffectDesc*> renderEffects;  // at most ZF_MAX_RENDER_EFFECTS

  // Every effect description of the view (the records point into it).
  std::vector<std::unique_ptr<ZF_EffectDesc>> effects;
};

// Opens `path` (through the file hooks) and builds the view; null on failure
// with ZF_SceneLastError telling why (empty when the file itself is bad).
ZF_SceneView* ZF_SceneOpen(const char* path);
// The same over a document already loaded; takes ownership of it (also on failure).
ZF_SceneView* ZF_SceneOpenDocument(ZF_Document* document);
void ZF_SceneClose(ZF_SceneView* view);
// Scene files of another format reach the view through a reader the program
// installs: `claims` picks the paths it reads (by name), `read` returns the
// converted document, or null after its own messages. Null pair: none.
using ZF_SceneClaim = bool (*)(const char* path);
using ZF_SceneReader = ZF_Document* (*)(const char* path);
void ZF_SetSceneReader(ZF_SceneClaim claims, ZF_SceneReader read);
// The document of a scene file of either kind (what ZF_SceneOpen reads).
ZF_Document* ZF_SceneLoadDocument(const char* path);
const char* ZF_SceneLastError();

// Up to ZF_MAX_MORPH_WEIGHTS (1-based target index, weight) pairs of the
// targets whose weight at t is non-zero, in target order. No allocation.
int ZF_MorphWeightsEval(const ZF_ObjectRec* object, float t, int* indices, float* weights);
