// The `ze` command table: every script command as one row (name, arguments,
// result, flags, the engine-layer call, one line for the reference).
//
// Contents: helpers and script state · drawing and colours · camera · camera
// effects · effects · files · FxEmitters · images · joystick · lights · music ·
// objects · engine and text · window · frame · keys and mouse · scenes.
//
// Calls never raise Lua errors (see zeScriptCommand.h): they report through
// the message channel or ZeScriptResult::fail.
#include "script/zeScriptCommand.h"

#include <lua.hpp>

#include <climits>
#include <cmath>
#include <cstdio>

#include <unistd.h>

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFileChooser.h"
#include "app/zeFileMount.h"
#include "app/zeFrame.h"
#include "app/zeSetup.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "effect/zeEffectCommands.h"
#include "particles/zeFxEmitter.h"
#include "render/ze2D.h"
#include "render/zeEffectManagerSlot.h"
#include "scene/zeLight.h"
#include "scene/zeCamera.h"
#include "scene/zeObject.h"
#include "scene/zeObjectSurface.h"
#include "scene/zeScene.h"
#include "script/zeScriptHost.h"
#include "services/zeMusic.h"

namespace {

// --- Helpers and script state ---------------------------------------------------

// Identifiers and counts beyond int never resolve; clamping keeps them from
// wrapping onto a valid identifier.
int toInt(long long v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v); }
// Coordinates and times: truncation toward zero, clamped.
int truncate(float v) {
  if (!(v == v)) return 0;
  return v >= 2147483520.0f ? INT_MAX : v <= -2147483648.0f ? INT_MIN : static_cast<int>(v);
}

#define FN [](ZeScriptArgs & a, ZeScriptResult & r)
#define I(k) toInt(a.i[k])
#define N(k) a.n[k]
#define T(k) truncate(a.n[k])
#define S(k) a.s[k]
#define B(k) a.b[k]

const char* const NOT_IMPLEMENTED = "the function is not implemented";

struct ScriptState {
  lua_State* callbackState = nullptr;  // the state holding the reference
  lua_State* loadingThread = nullptr;  // the thread inside LoadScene
  int callbackRef = LUA_NOREF;
  char callbackError[ZE_TEXT_SIZE] = "";
  bool joystickEnabled = false;
  bool joystickPresent = false;
};
ScriptState state;

// Load progress: the script's function is called protected, so an error in it
// never unwinds through the scene loader; the error is raised once the loader
// has returned.
int progressToScript(int percent, void*) {
  lua_State* L = state.loadingThread;
  if (!L || state.callbackRef == LUA_NOREF) return 0;
  lua_rawgeti(L, LUA_REGISTRYINDEX, state.callbackRef);
  lua_pushinteger(L, percent);
  if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
    if (!state.callbackError[0]) {
      const char* text = lua_tostring(L, -1);
      std::snprintf(state.callbackError, sizeof state.callbackError, "%s", text ? text : "error in load callback");
    }
    lua_pop(L, 1);
  }
  return 0;
}

SZeEffectCommandEnv effects() { return zeEngineEffectCommands(); }

const SZeJoystickState* joystick() { return state.joystickEnabled ? &zeEventReceiver().joystick : nullptr; }
// Axis values inside the dead zone read as 0.
int deadZone(int v) {
  const short s = static_cast<short>(v);
  return s > -1500 && s < 1500 ? 0 : s;
}
// The hat's angle in degrees, above 180 counted negative; false when centred.
bool hatAngle(float* degrees) {
  const SZeJoystickState* j = joystick();
  if (!j || (j->pov & 0xFFFF) == 0xFFFF) return false;
  float d = static_cast<float>(j->pov & 0xFFFF) / 100.0f;
  if (d > 180.0f) d -= 360.0f;
  *degrees = d;
  return true;
}
bool hatNear(float centre) {
  float d;
  if (!hatAngle(&d)) return false;
  float diff = std::fabs(d - centre);
  if (diff > 180.0f) diff = 360.0f - diff;
  return diff < 90.0f;
}
bool button(int n) {
  const SZeJoystickState* j = joystick();
  return j && n >= 0 && n < 32 && ((static_cast<unsigned>(j->buttons) >> n) & 1u);
}
bool key(int code) { return zeEventReceiver().keys[code] != 0; }

void setSceneCameraRange(float nearValue, float farValue) {
  irr::scene::ICameraSceneNode* camera = zeEngineContext().camera;
  if (!camera) return;
  if (nearValue == farValue) {
    nearValue = 0.1f;
    farValue = 1000.0f;
  }
  camera->setNearValue(nearValue);
  camera->setFarValue(farValue);
}

void setCameraFov(float degrees) {
  const ZeEngineContext& c = zeEngineContext();
  if (!c.camera || c.width <= 0) return;
  const double vertical = 2.0 * std::atan(std::tan(degrees * M_PI / 360.0) * c.height / c.width);
  c.camera->setFOV(static_cast<float>(vertical));
}

void positionToScreen(float x, float y, float z, ZeScriptResult& r) {
  const ZeEngineContext& c = zeEngineContext();
  irr::scene::ICameraSceneNode* camera = c.sceneManager ? c.sceneManager->getActiveCamera() : nullptr;
  if (!camera) return;
  const irr::core::position2di p =
      c.sceneManager->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition({x, y, z}, camera);
  r.i = p.X;
  r.i2 = p.Y;
}

int setup(ZeScriptArgs& a) {
  ZeEngineSettings s;
  if (a.has(0)) s.width = I(0);
  if (a.has(1)) s.height = I(1);
  if (a.has(2)) s.depth = I(2);
  if (a.has(3)) s.windowed = B(3) ? 1 : 0;
  if (zeEngineStart(s) != 0) return -1;
  zePositionCamera(0, 0, -5);
  zeMakeLight(0);
  zeSetDirectionalLight(0, 0, 0, 0);
  zeColorAmbientLight(0x050505);
  zeColorBackdrop(0x001122);
  return 0;
}

// Flags in short.
constexpr unsigned FREE = ZE_CMD_NO_ENGINE_CHECK;
constexpr unsigned UNIMPL = ZE_CMD_NOT_IMPLEMENTED;
constexpr unsigned UNBUILT = ZE_CMD_NOT_BUILT;
constexpr unsigned NOEFFECT = ZE_CMD_NO_EFFECT;

constexpr ZeScriptResultKind NONE = ZE_RESULT_NONE;
constexpr ZeScriptResultKind BOOL = ZE_RESULT_BOOL;
constexpr ZeScriptResultKind INT = ZE_RESULT_INT;
constexpr ZeScriptResultKind REAL = ZE_RESULT_REAL;
constexpr ZeScriptResultKind TEXT = ZE_RESULT_TEXT;
constexpr ZeScriptResultKind INT2 = ZE_RESULT_INT2;

const char* const DRAW = "Drawing and colours";
const char* const CAMERA = "Camera";
const char* const CAMFX = "Camera effects";
const char* const EFFECT = "Effects";
const char* const FILES = "Files";
const char* const EMIT = "FxEmitters";
const char* const IMAGE = "Images";
const char* const JOY = "Joystick";
const char* const LIGHT = "Lights";
const char* const MUSIC = "Music";
const char* const OBJECT = "Objects";
const char* const ENGINE = "Engine and text";
const char* const WINDOW = "Window";
const char* const FRAME = "Frame";
const char* const KEYS = "Keys and mouse";
const char* const SCENE = "Scenes";

const ZeScriptCommand commands[] = {
    // --- Drawing and colours ----------------------------------------------------------
    {"Ink", "i:colour", NONE, 0, FN { zeInk(I(0)); }, "Sets the ink colour (0xRRGGBB) of lines and boxes.", DRAW},
    {"InkAlpha", "n:alpha", NONE, 0, FN { zeInkAlpha(T(0)); }, "Sets the ink alpha (0..255).", DRAW},
    {"Box", "n:x1 n:y1 n:x2 n:y2", NONE, 0, FN { zeBox(T(0), T(1), T(2), T(3)); }, "Queues a filled box in the ink colour.", DRAW},
    {"BoxWithEffect", "n:x1 n:y1 n:x2 n:y2 i:effect", NONE, 0, FN { zeBoxWithEffect(T(0), T(1), T(2), T(3), I(4)); },
     "Queues a box drawn with an effect.", DRAW},
    {"Line", "n:x1 n:y1 n:x2 n:y2", NONE, 0, FN { zeLine(T(0), T(1), T(2), T(3)); }, "Queues a line in the ink colour.", DRAW},
    {"RGB", "n:r n:g n:b", INT, 0, FN { r.i = zeRGB(T(0), T(1), T(2)); },
     "Colour 0xRRGGBB from components 0..255 (each cut to 8 bits).", DRAW},
    {"RGBf", "n:r n:g n:b", INT, 0, FN { r.i = zeRGBf(N(0), N(1), N(2)); }, "Colour 0xRRGGBB from components 0..1.", DRAW},
    {"FadeIn", "i:duration i:colour", NONE, 0, FN { zeFadeIn(I(0), static_cast<unsigned>(I(1))); },
     "Fades in from a colour over a duration in ms.", DRAW},
    {"FadeOut", "i:duration i:colour", NONE, 0, FN { zeFadeOut(I(0), static_cast<unsigned>(I(1))); },
     "Fades out to a colour over a duration in ms.", DRAW},
    {"StopFade", "", NONE, 0, FN { zeStopFade(); }, "Stops the fade.", DRAW},

    // --- Camera ----------------------------------------------------------------------
    {"SetCameraRange", "n:near n:far", NONE, 0, FN { setSceneCameraRange(N(0), N(1)); },
     "Near and far planes; equal values mean 0.1 and 1000.", CAMERA},
    {"SetCameraRotationXYZ", "", NONE, NOEFFECT, FN {}, "Accepted, no effect.", CAMERA},
    {"SetCameraRotationZYX", "", NONE, NOEFFECT, FN {}, "Accepted, no effect.", CAMERA},
    {"SetCameraFOV", "n:degrees", NONE, 0, FN { setCameraFov(N(0)); }, "Horizontal field of view in degrees.", CAMERA},
    {"SetCameraDOF", "i:enable n:focalDistance n:fStop", NONE, UNBUILT, nullptr, "Depth of field of the render settings.", CAMERA},
    {"SetCameraAdvancedDOF", "i:enable n:nearFocus n:farFocus n:focused n:radiusScale", NONE, UNBUILT, nullptr,
     "Advanced depth of field of the render settings.", CAMERA},
    {"SetCameraStereo", "i:mode n:separation i:useConvergence n:convergence", NONE, UNBUILT, nullptr,
     "Stereo values of the render settings.", CAMERA},
    {"PositionCamera", "n:x n:y n:z", NONE, 0, FN { zePositionCamera(N(0), N(1), N(2)); },
     "Fixed position of ride-camera mode 2.", CAMERA},
    {"RotateCamera", "n:x n:y n:z", NONE, 0, FN { zeRotateCamera(N(0), N(1), N(2)); },
     "Fixed rotation of ride-camera mode 2, degrees.", CAMERA},
    {"SetCameraMode", "i:mode", NONE, 0, FN { zeSetCameraMode(I(0)); }, "Ride camera: 1 FPS, 2 orbit, other fixed.", CAMERA},
    {"SetCameraMoveSpeed", "n:speed", NONE, 0, FN { zeSetCameraMoveSpeed(N(0)); }, "Ride camera move speed.", CAMERA},
    {"SetCameraJumpSpeed", "n:speed", NONE, 0, FN { zeSetCameraJumpSpeed(N(0)); }, "Ride camera jump speed.", CAMERA},
    {"AutomaticCameraCollisionOn", "n:radius n:gravity n:eyeOffset", NONE, 0,
     FN { zeAutomaticCameraCollisionOn(N(0), N(1), N(2)); }, "Camera collides with the collision set (ellipsoid, gravity, eye offset).",
     CAMERA},
    {"AutomaticCameraCollisionOff", "", NONE, 0, FN { zeAutomaticCameraCollisionOff(); }, "Removes the camera's collision.", CAMERA},
    {"SetObjectCollisionOn", "i:object", NONE, 0, FN { zeSetObjectCollisionOn(I(0)); },
     "Adds an object to the camera's collision set.", CAMERA},
    {"SetObjectCollisionOff", "i:object", NONE, 0, FN { zeSetObjectCollisionOff(I(0)); },
     "Removes an object from the camera's collision set.", CAMERA},
    {"PositionToScreen", "n:x n:y n:z", INT2, 0, FN { positionToScreen(N(0), N(1), N(2), r); },
     "Screen x and y of a 3D point for the active camera (two results).", CAMERA},

    // --- Camera effects -----------------------------------------------------------------
    {"MakeCameraEffect", "i:id i:effect", NONE, UNIMPL, nullptr, "Not implemented.", CAMFX},
    {"MakeCameraEffectFromFile", "i:id s:file", NONE, UNIMPL, nullptr, "Not implemented.", CAMFX},
    {"CameraEffectExist", "i:id", BOOL, UNIMPL, nullptr, "Not implemented.", CAMFX},
    {"DeleteCameraEffect", "i:id", NONE, UNIMPL, nullptr, "Not implemented.", CAMFX},
    {"ShowCameraEffect", "i:id", NONE, UNIMPL, nullptr, "Not implemented.", CAMFX},
    {"HideCameraEffect", "i:id", NONE, UNIMPL, nullptr, "Not implemented.", CAMFX},
    {"SetCameraEffectPriority", "i:id i:priority", NONE, UNIMPL, nullptr, "Not implemented.", CAMFX},
    {"SetCameraEffectParameters", "", NONE, UNIMPL, nullptr, "Not implemented.", CAMFX},

    // --- Effects ---------------------------------------------------------------------------
    {"LoadEffect", "s:file i:id", NONE, 0,
     FN {
       SZeEffectCommandEnv env = effects();
       zeDeleteEffect(env, I(1));
       zeLoadEffect(env, S(0), I(1));
     },
     "Loads an effect file under an id.", EFFECT},
    {"LoadEffectForObjectSurface", "s:file i:id i:object i:surface", NONE, 0,
     FN {
       SZeEffectCommandEnv env = effects();
       zeDeleteEffect(env, I(1));
       zeLoadEffectForObjectSurface(env, S(0), I(1), I(2), I(3));
     },
     "Loads an effect compiled for an object's surface.", EFFECT},
    {"LoadEffectForFxEmitter", "s:file i:id i:emitter", NONE, 0,
     FN {
       SZeEffectCommandEnv env = effects();
       zeDeleteEffect(env, I(1));
       zeLoadEffectForEmitter(env, S(0), I(1), I(2));
     },
     "Loads an effect compiled for an emitter.", EFFECT},
    {"EffectExist", "i:id", BOOL, 0, FN {
       SZeEffectCommandEnv env = effects();
       r.b = zeEffectExists(env, I(0));
     }, "Whether the id holds an effect.", EFFECT},
    {"DeleteEffect", "i:id", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeDeleteEffect(env, I(0));
     }, "Deletes an effect.", EFFECT},
    {"SetEffectConstantBoolean", "i:id s:name b:value", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetEffectConstantBool(env, I(0), S(1), B(2));
     }, "Sets a boolean constant.", EFFECT},
    {"SetEffectConstantInteger", "i:id s:name i:value", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetEffectConstantInt(env, I(0), S(1), I(2));
     }, "Sets an integer constant.", EFFECT},
    {"SetEffectConstantFloat", "i:id s:name n:value", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetEffectConstantFloat(env, I(0), S(1), N(2));
     }, "Sets a real constant.", EFFECT},
    {"SetEffectConstantFloatN", "i:id s:name N:values", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetEffectConstantFloats(env, I(0), S(1), &a.n[2], a.floatCount);
     }, "Sets 1 to 16 reals of a constant.", EFFECT},
    {"SetEffectTexture", "i:id s:name s:file", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetEffectTextureFile(env, I(0), S(1), S(2));
     }, "Sets a texture from a file.", EFFECT},
    {"SetEffectTextureImage", "i:id s:name i:image", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetEffectTextureImage(env, I(0), S(1), I(2));
     }, "Sets a texture from an image.", EFFECT},

    // --- Files ----------------------------------------------------------------------------
    {"SetDir", "s:path", NONE, 0, FN { zeSetWorkingDirectory(S(0)); }, "Sets the working directory.", FILES},
    {"GetDir", "", TEXT, 0, FN { r.s = zeGetWorkingDirectory(); }, "The working directory.", FILES},
    {"FileExist", "s:name", BOOL, 0, FN { r.b = zeFileExists(S(0)) != 0; }, "Whether a file opens for reading.", FILES},
    {"PathFilename", "s:path b:keepExtension", TEXT, 0, FN { r.s = zeFileName(S(0), B(1)); },
     "File name of a path, with or without its extension.", FILES},
    {"PathPath", "s:path", TEXT, 0, FN { r.s = zeDirectoryOf(S(0)); }, "Directory part of a path.", FILES},
    {"PathFull", "s:name", TEXT, 0, FN { r.s = zeAbsolutePath(S(0)); }, "Absolute path of a name.", FILES},
    {"FilePathKnownLocation", "s:name", TEXT, 0, FN { r.s = zeFindKnownFile(S(0)); },
     "A file found in the engine's known locations.", FILES},
    {"SetupFilesystemFromResource", "s:archive", NONE, FREE,
     FN {
       // Before Setup the mount is remembered for the device, so the file is
       // checked here for the failure to show at once.
       if (::access(S(0), R_OK) != 0 || zeMountArchiveFile(S(0)) != 0) {
         r.fail(0, "failed to setup filesystem resource '%s'", S(0));
         return;
       }
       zeSetBaseDirectory("/");
     },
     "Mounts an archive file over the file system (works before Setup).", FILES},

    // --- FxEmitters -------------------------------------------------------------------------
    {"MakeFxEmitterBox", "i:id s:image n:sizeX n:sizeY n:sizeZ", NONE, 0, FN { zeMakeFxEmitterBox(I(0), S(1), N(2), N(3), N(4)); },
     "Box emitter.", EMIT},
    {"MakeFxEmitterSphere", "i:id s:image n:sizeX n:sizeY n:sizeZ", NONE, 0, FN { zeMakeFxEmitterSphere(I(0), S(1), N(2), N(3), N(4)); },
     "Sphere emitter.", EMIT},
    {"MakeFxEmitterMeshStatic", "i:id s:image i:object", NONE, 0, FN { zeMakeFxEmitterMeshStatic(I(0), S(1), I(2)); },
     "Emitter on an object's mesh.", EMIT},
    {"MakeFxEmitterMeshVertices", "i:id s:image i:object", NONE, 0, FN { zeMakeFxEmitterMeshVertices(I(0), S(1), I(2)); },
     "Emitter on an object's vertices.", EMIT},
    {"MakeFxEmitterMeshNormal", "i:id s:image i:object", NONE, 0, FN { zeMakeFxEmitterMeshNormal(I(0), S(1), I(2)); },
     "Emitter along an object's normals.", EMIT},
    {"FxEmitterExist", "i:id", BOOL, 0, FN { r.b = zeFxEmitterExists(I(0)); },
     "Whether the id holds an emitter.", EMIT},
    {"ShowFxEmitter", "i:id", NONE, 0, FN { zeShowFxEmitter(I(0)); },
     "Shows an emitter.", EMIT},
    {"HideFxEmitter", "i:id", NONE, 0, FN { zeHideFxEmitter(I(0)); },
     "Hides an emitter.", EMIT},
    {"DeleteFxEmitter", "i:id", NONE, 0, FN { zeDeleteFxEmitter(I(0)); },
     "Deletes an emitter.", EMIT},
    {"PositionFxEmitter", "i:id n:x n:y n:z", NONE, 0, FN { zePositionFxEmitter(I(0), N(1), N(2), N(3)); },
     "Moves an emitter.", EMIT},
    {"RotateFxEmitter", "i:id n:x n:y n:z", NONE, 0, FN { zeRotateFxEmitter(I(0), N(1), N(2), N(3)); },
     "Rotates an emitter.", EMIT},
    {"LockFxEmitterOn", "i:id", NONE, 0, FN { zeLockFxEmitterOn(I(0)); },
     "Locks an emitter to the camera.", EMIT},
    {"LockFxEmitterOff", "i:id", NONE, 0, FN { zeLockFxEmitterOff(I(0)); },
     "Unlocks an emitter.", EMIT},
    {"SetFxEmitterParticleSize", "i:id n:size", NONE, 0, FN { zeSetFxEmitterParticleSize(I(0), N(1)); },
     "Particle size.", EMIT},
    {"SetFxEmitterVelocity", "i:id n:x n:y n:z", NONE, 0, FN { zeSetFxEmitterVelocity(I(0), N(1), N(2), N(3)); },
     "Particle velocity.", EMIT},
    {"SetFxEmitterParentMotion", "i:id n:value", NONE, 0, FN { zeSetFxEmitterParentMotion(I(0), N(1)); },
     "Share of the parent's motion.", EMIT},
    {"SetFxEmitterGravity", "i:id n:x n:y n:z", NONE, 0, FN { zeSetFxEmitterGravity(I(0), N(1), N(2), N(3)); },
     "Gravity.", EMIT},
    {"SetFxEmitterBirthRate", "i:id n:rate", NONE, 0, FN { zeSetFxEmitterBirthRate(I(0), N(1)); },
     "Birth rate.", EMIT},
    {"SetFxEmitterLifeTime", "i:id n:seconds | n:variation", NONE, 0, FN { zeSetFxEmitterLifeTime(I(0), N(1), a.has(2) ? N(2) : 0.0f); },
     "Life time and its variation (0 when omitted).", EMIT},
    {"SetFxEmitterExplosion", "i:id n:value", NONE, 0, FN { zeSetFxEmitterExplosion(I(0), N(1)); },
     "Explosion.", EMIT},
    {"SetFxEmitterWeight", "i:id n:value", NONE, 0, FN { zeSetFxEmitterWeight(I(0), N(1)); },
     "Weight.", EMIT},
    {"SetFxEmitterResistance", "i:id n:value", NONE, 0, FN { zeSetFxEmitterResistance(I(0), N(1)); },
     "Resistance.", EMIT},
    {"SetFxEmitterVibration", "i:id n:value", NONE, 0, FN { zeSetFxEmitterVibration(I(0), N(1)); },
     "Vibration.", EMIT},
    {"SetFxEmitterParticleLimit", "i:id i:limit", NONE, 0, FN { zeSetFxEmitterParticleLimit(I(0), I(1)); },
     "Particle limit.", EMIT},
    {"SetFxEmitterBlendMode", "i:id i:mode", NONE, 0, FN { zeSetFxEmitterBlendMode(I(0), I(1)); },
     "Blend mode.", EMIT},
    {"SetFxEmitterColor", "i:id i:colour", NONE, 0, FN { zeSetFxEmitterColor(I(0), I(1)); },
     "Particle colour 0xRRGGBB.", EMIT},
    {"SetFxEmitterUseImageColor", "i:id", NONE, 0, FN { zeSetFxEmitterUseImageColor(I(0)); },
     "Particles take the image's colour.", EMIT},
    {"SetFxEmitterRotation", "i:id n:value", NONE, 0, FN { zeSetFxEmitterRotation(I(0), N(1)); },
     "Particle rotation.", EMIT},
    {"SetFxEmitterEffect", "i:id i:effect", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetFxEmitterEffect(env, I(0), I(1));
     },
     "Draws the emitter with an effect.", EMIT},
    {"SetFxEmitterEffectFromFile", "i:id s:file", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetFxEmitterEffectFromFile(env, I(0), S(1));
     },
     "Draws the emitter with an effect file.", EMIT},
    {"SetFxEmitterDefaultEffect", "i:id", NONE, 0, FN {
       SZeEffectCommandEnv env = effects();
       zeSetFxEmitterDefaultEffect(env, I(0));
     },
     "Back to the default effect.", EMIT},
    {"SetFxEmitterEffectTechnique", "i:id i:technique", NONE, 0, FN { zeSetFxEmitterEffectTechnique(I(0), I(1)); },
     "Effect technique.", EMIT},
    {"FxResetEmitter", "i:id", NONE, 0, FN { zeFxResetEmitter(I(0)); },
     "Restarts an emitter.", EMIT},
    {"FxResetEmitterEmittedCount", "i:id", NONE, 0, FN { zeFxResetEmitterEmittedCount(I(0)); },
     "Resets the emitted count.", EMIT},
    {"SetFxEmitterSizeGradient", "", NONE, UNIMPL, nullptr, "Not implemented.", EMIT},
    {"SetFxEmitterColorGradient", "", NONE, UNIMPL, nullptr, "Not implemented.", EMIT},
    {"SetFxEmitterEffectParameters", "", NONE, UNIMPL, nullptr, "Not implemented.", EMIT},

    // --- Images --------------------------------------------------------------------------
    {"LoadImage", "s:file i:id", NONE, 0,
     FN {
       if (zeImageExist(I(1))) zeDeleteImage(I(1));
       zeLoadImage(S(0), I(1));
     },
     "Loads an image file under an id.", IMAGE},
    {"MakeImage", "i:width i:height i:id", NONE, 0,
     FN {
       if (zeImageExist(I(2))) zeDeleteImage(I(2));
       zeMakeImage(I(0), I(1), I(2));
     },
     "Makes a render-target image.", IMAGE},
    {"RenderToImage", "i:id | b:clear", NONE, 0, FN { zeRenderToImage(I(0), a.has(1) ? B(1) : 1); },
     "Renders the scene into an image (clear defaults to true).", IMAGE},
    {"SetImageColor", "i:colour", NONE, 0, FN { zeSetImageColor(I(0)); }, "Colour images are drawn with.", IMAGE},
    {"SetImageAlpha", "n:alpha", NONE, 0, FN { zeSetImageAlpha(T(0)); }, "Alpha images are drawn with (0..255).", IMAGE},
    {"PasteImage", "i:id n:x n:y b:useAlpha", NONE, 0, FN { zePasteImage(I(0), T(1), T(2), B(3)); },
     "Queues an image at its own size.", IMAGE},
    {"PasteImageStretch", "i:id n:x n:y n:width n:height b:useAlpha", NONE, 0,
     FN { zePasteImageStretch(I(0), T(1), T(2), T(3), T(4), B(5)); }, "Queues an image at a size.", IMAGE},
    {"PasteImageWithEffect", "i:id n:x n:y n:width n:height i:effect", NONE, 0,
     FN { zePasteImageWithEffect(I(0), T(1), T(2), T(3), T(4), I(5)); }, "Queues an image drawn with an effect.", IMAGE},
    {"ImageExist", "i:id", BOOL, 0, FN { r.b = zeImageExist(I(0)); }, "Whether the id holds an image.", IMAGE},
    {"DeleteImage", "i:id", NONE, 0, FN { zeDeleteImage(I(0)); }, "Deletes an image.", IMAGE},
    {"ImageWidth", "i:id", INT, 0, FN { r.i = zeImageWidth(I(0)); }, "Width of an image.", IMAGE},
    {"ImageHeight", "i:id", INT, 0, FN { r.i = zeImageHeight(I(0)); }, "Height of an image.", IMAGE},

    // --- Joystick ---------------------------------------------------------------------------
    {"EnableJoystick", "", NONE, 0,
     FN {
       irr::core::array<irr::SJoystickInfo> found;
       if (irr::IrrlichtDevice* device = zeEngineContext().device) device->activateJoysticks(found);
       state.joystickEnabled = true;
       state.joystickPresent = found.size() > 0;
     },
     "Activates the joysticks.", JOY},
    {"DisableJoystick", "", NONE, 0, FN { state.joystickEnabled = false; }, "Stops reading the joysticks.", JOY},
    {"JoystickIsPresent", "", BOOL, 0, FN { r.b = state.joystickEnabled && state.joystickPresent; },
     "Enabled and at least one joystick found.", JOY},
    {"JoystickUp", "", BOOL, 0, FN { r.b = hatNear(0); }, "Hat pushed up.", JOY},
    {"JoystickRight", "", BOOL, 0, FN { r.b = hatNear(90); }, "Hat pushed right.", JOY},
    {"JoystickDown", "", BOOL, 0, FN { r.b = hatNear(180); }, "Hat pushed down.", JOY},
    {"JoystickLeft", "", BOOL, 0, FN { r.b = hatNear(-90); }, "Hat pushed left.", JOY},
    {"JoystickX", "", INT, 0, FN { r.i = joystick() ? deadZone(joystick()->axisX) : 0; }, "Axis 0 (dead zone ±1499).", JOY},
    {"JoystickY", "", INT, 0, FN { r.i = joystick() ? deadZone(joystick()->axisY) : 0; }, "Axis 1.", JOY},
    {"JoystickZ", "", INT, 0, FN { r.i = joystick() ? deadZone(joystick()->axisZ) : 0; }, "Axis 2.", JOY},
    {"JoystickR", "", INT, 0, FN { r.i = joystick() ? deadZone(joystick()->axisR) : 0; }, "Axis 3.", JOY},
    {"JoystickU", "", INT, 0, FN { r.i = joystick() ? deadZone(joystick()->axisU) : 0; }, "Axis 4.", JOY},
    {"JoystickV", "", INT, 0, FN { r.i = joystick() ? deadZone(joystick()->axisV) : 0; }, "Axis 5.", JOY},
    {"JoystickFireA", "", BOOL, 0, FN { r.b = button(0); }, "Button 0.", JOY},
    {"JoystickFireB", "", BOOL, 0, FN { r.b = button(1); }, "Button 1.", JOY},
    {"JoystickFireC", "", BOOL, 0, FN { r.b = button(2); }, "Button 2.", JOY},
    {"JoystickFireD", "", BOOL, 0, FN { r.b = button(3); }, "Button 3.", JOY},
    {"JoystickFireX", "i:button", BOOL, 0, FN { r.b = button(I(0)); }, "Button n (false outside 0..31).", JOY},

    // --- Lights ------------------------------------------------------------------------------
    {"MakeLight", "i:id", NONE, 0,
     FN {
       zeDeleteLight(I(0));
       zeMakeLight(I(0));
     },
     "Makes a light.", LIGHT},
    {"SetDirectionalLight", "i:id n:x n:y n:z", NONE, 0, FN { zeSetDirectionalLight(I(0), N(1), N(2), N(3)); },
     "Directional light with a rotation in degrees.", LIGHT},
    {"SetSpotLight", "i:id n:inner n:outer", NONE, 0, FN { zeSetSpotLight(I(0), N(1), N(2)); }, "Spot light with cone angles.", LIGHT},
    {"SetPointLight", "i:id n:x n:y n:z", NONE, 0, FN { zeSetPointLight(I(0), N(1), N(2), N(3)); }, "Point light at a position.", LIGHT},
    {"LightExist", "i:id", BOOL, 0, FN { r.b = zeLightExist(I(0)) != 0; }, "Whether the id holds a light.", LIGHT},
    {"LightVisible", "i:id", BOOL, 0, FN { r.b = zeLightVisible(I(0)) != 0; }, "Whether a light is shown.", LIGHT},
    {"SetLightRotationXYZ", "", NONE, NOEFFECT, FN {}, "Accepted, no effect.", LIGHT},
    {"SetLightRotationZYX", "", NONE, NOEFFECT, FN {}, "Accepted, no effect.", LIGHT},
    {"SetLightRange", "i:id n:range", NONE, 0, FN { zeSetLightRange(I(0), N(1)); }, "Light range.", LIGHT},
    {"ColorLight", "i:id n:r n:g n:b", NONE, 0, FN { zeColorLight(I(0), N(1), N(2), N(3)); }, "Light colour.", LIGHT},
    {"SetLightIntensity", "i:id n:intensity", NONE, 0, FN { zeSetLightIntensity(I(0), N(1)); }, "Light intensity.", LIGHT},
    {"ShowLight", "i:id", NONE, 0, FN { zeShowLight(I(0)); }, "Shows a light.", LIGHT},
    {"HideLight", "i:id", NONE, 0, FN { zeHideLight(I(0)); }, "Hides a light.", LIGHT},
    {"DeleteLight", "i:id", NONE, 0, FN { zeDeleteLight(I(0)); }, "Deletes a light.", LIGHT},
    {"PositionLight", "i:id n:x n:y n:z", NONE, 0, FN { zePositionLight(I(0), N(1), N(2), N(3)); }, "Moves a light.", LIGHT},
    {"RotateLight", "i:id n:x n:y n:z", NONE, 0, FN { zeRotateLight(I(0), N(1), N(2), N(3)); }, "Rotates a light.", LIGHT},
    {"ColorAmbientLight", "i:colour", NONE, 0, FN { zeColorAmbientLight(static_cast<unsigned>(I(0))); },
     "Ambient light colour 0xRRGGBB.", LIGHT},
    {"ColorBackdrop", "i:colour", NONE, 0, FN { zeColorBackdrop(static_cast<unsigned>(I(0))); },
     "Backdrop colour 0xRRGGBB.", LIGHT},
    {"SetLightShadow", "i:id b:on", NONE, 0, FN { zeSetLightShadow(I(0), B(1)); }, "Turns a light's shadow on or off.", LIGHT},
    {"ColorLightShadow", "i:id i:colour", NONE, 0, FN { zeColorLightShadow(I(0), static_cast<unsigned>(I(1))); },
     "Shadow colour.", LIGHT},
    {"SetShadowMapSize", "i:id i:size", NONE, 0, FN { zeSetShadowMapSize(I(0), I(1)); }, "Shadow map size.", LIGHT},
    {"SetShadowMapFuzz", "i:id n:fuzz", NONE, 0, FN { zeSetShadowMapFuzz(I(0), N(1)); }, "Shadow map fuzz.", LIGHT},

    // --- Music -------------------------------------------------------------------------------
    {"LoadMusic", "s:file i:id", NONE, 0,
     FN {
       zeDeleteMusic(I(1));
       zeLoadMusic(S(0), I(1));
     },
     "Loads an MP3 file under an id.", MUSIC},
    {"MusicExist", "i:id", BOOL, 0, FN { r.b = zeMusicExists(I(0)) != 0; }, "Whether the id holds music.", MUSIC},
    {"DeleteMusic", "i:id", NONE, 0, FN { zeDeleteMusic(I(0)); }, "Deletes a music.", MUSIC},
    {"StopMusic", "i:id", NONE, 0, FN { zeStopMusic(I(0)); }, "Stops a music where it is.", MUSIC},
    {"PlayMusic", "i:id", NONE, 0, FN { zePlayMusic(I(0)); }, "Plays a music from its position.", MUSIC},
    {"PauseMusic", "i:id", NONE, 0, FN { zePauseMusic(I(0)); }, "Pauses a music.", MUSIC},
    {"ResumeMusic", "i:id", NONE, 0, FN { zeResumeMusic(I(0)); }, "Resumes a music.", MUSIC},
    {"SetMusicPosition", "i:id n:ms", NONE, 0, FN { zeSetMusicPosition(I(0), T(1)); }, "Position in ms.", MUSIC},
    {"GetMusicPosition", "i:id", INT, 0, FN { r.i = zeGetMusicPosition(I(0)); }, "Position in ms.", MUSIC},
    {"SetMusicVolume", "i:id n:percent", NONE, 0, FN { zeSetMusicVolume(I(0), N(1)); }, "Volume in percent.", MUSIC},
    {"MusicVolume", "i:id", INT, 0, FN { r.i = static_cast<int>(std::lround(zeMusicVolume(I(0)))); }, "Volume in percent.", MUSIC},

    // --- Objects -----------------------------------------------------------------------------
    {"InstanceObject", "i:id i:source", NONE, 0,
     FN {
       zeDeleteObject(I(0));
       zeInstanceObject(I(0), I(1));
     },
     "Makes an instance of an object.", OBJECT},
    {"CloneObject", "i:id i:source", NONE, 0,
     FN {
       zeDeleteObject(I(0));
       zeCloneObject(I(0), I(1));
     },
     "Makes a clone of an object.", OBJECT},
    {"LoadObject", "s:file i:id", NONE, 0,
     FN {
       zeDeleteObject(I(1));
       zeLoadObject(I(1), S(0));
     },
     "Loads an object file under an id.", OBJECT},
    {"ObjectExist", "i:id", BOOL, 0, FN { r.b = zeObjectExist(I(0)) != 0; }, "Whether the id holds an object.", OBJECT},
    {"ObjectVisible", "i:id", BOOL, 0, FN { r.b = zeObjectVisible(I(0)) != 0; }, "Whether an object is shown.", OBJECT},
    {"SetObjectSurfaces", "", NONE, UNIMPL, nullptr, "Not implemented.", OBJECT},
    {"SetObjectRotationXYZ", "", NONE, NOEFFECT, FN {}, "Accepted, no effect.", OBJECT},
    {"SetObjectRotationZYX", "", NONE, NOEFFECT, FN {}, "Accepted, no effect.", OBJECT},
    {"GhostObjectOn", "i:id", NONE, 0, FN { zeGhostObjectOn(I(0)); }, "Ghost drawing (checks the object).", OBJECT},
    {"SetAlphaMappingOn", "i:id n:value", NONE, 0, FN { zeSetAlphaMappingOn(I(0), N(1)); }, "Alpha mapping value.", OBJECT},
    {"ShowObject", "i:id", NONE, 0, FN { zeShowObject(I(0)); }, "Shows an object.", OBJECT},
    {"HideObject", "i:id", NONE, 0, FN { zeHideObject(I(0)); }, "Hides an object.", OBJECT},
    {"DeleteObject", "i:id", NONE, 0, FN { zeDeleteObject(I(0)); }, "Deletes an object.", OBJECT},
    {"PositionObject", "i:id n:x n:y n:z", NONE, 0, FN { zePositionObject(I(0), N(1), N(2), N(3)); }, "Moves an object.", OBJECT},
    {"RotateObject", "i:id n:x n:y n:z", NONE, 0, FN { zeRotateObject(I(0), N(1), N(2), N(3)); },
     "Rotates an object (degrees about X, Y, Z).", OBJECT},
    {"ScaleObject", "i:id n:x n:y n:z", NONE, 0, FN { zeScaleObject(I(0), N(1), N(2), N(3)); }, "Scales an object (percent).", OBJECT},
    {"TotalObjectFrames", "i:id", INT, 0, FN { r.i = zeTotalObjectFrames(I(0)); }, "Frames of an animated object.", OBJECT},
    {"SetObjectFrame", "i:id n:frame", NONE, 0, FN { zeSetObjectFrame(I(0), N(1)); }, "Shows a frame.", OBJECT},
    {"UseAnimationFromObject", "i:id i:source", NONE, 0, FN { zeUseAnimationFromObject(I(0), I(1)); },
     "Takes the animation of another object.", OBJECT},
    {"ObjectAnimationCount", "i:id", INT, 0, FN { r.i = zeObjectAnimationCount(I(0)); }, "Number of animations.", OBJECT},
    {"ObjectAnimationName", "i:id i:n", TEXT, 0, FN { r.s = zeObjectAnimationName(I(0), I(1)); }, "Name of animation n.", OBJECT},
    {"ObjectAnimationBegin", "i:id i:n", INT, 0, FN { r.i = static_cast<long long>(zeObjectAnimationBegin(I(0), I(1))); },
     "First frame of animation n.", OBJECT},
    {"ObjectAnimationEnd", "i:id i:n", INT, 0, FN { r.i = static_cast<long long>(zeObjectAnimationEnd(I(0), I(1))); },
     "Last frame of animation n.", OBJECT},
    {"ObjectAnimationSpeed", "i:id i:n", REAL, 0, FN { r.n = zeObjectAnimationSpeed(I(0), I(1)); }, "Speed of animation n.", OBJECT},
    {"LockObjectOn", "i:id", NONE, 0, FN { zeLockObjectOn(I(0)); }, "Makes an object follow the camera.", OBJECT},
    {"LockObjectOff", "i:id", NONE, 0, FN { zeLockObjectOff(I(0)); }, "Puts an object back in the scene.", OBJECT},
    {"GetObjectRadius", "i:id", REAL, 0, FN { r.n = zeGetObjectRadius(I(0)); }, "Half the diagonal of the object's box.", OBJECT},
    {"SetObjectMorph", "i:id I:morphs F:weights", NONE, 0,
     FN {
       if (a.intCount != a.realCount) {
         r.fail(0, "the number of morphs(%d) is not equals to the number of weights(%d)", a.intCount, a.realCount);
         return;
       }
       zeSetObjectMorph(I(0), a.intCount, a.ints, a.reals);
     },
     "Sets morph weights by morph index.", OBJECT},
    {"GetObjectMorphCount", "i:id", INT, 0, FN { r.i = zeGetObjectMorphCount(I(0)); }, "Number of morphs.", OBJECT},
    {"SetObjectSurfaceParamTex", "i:id i:surface s:parameter s:file | b:mipmaps", NONE, 0,
     FN { zeSetObjectSurfaceParamTex(I(0), I(1), S(2), S(3), a.has(4) ? B(4) : true); },
     "Surface channel's image from a file (mipmaps unless false).", OBJECT},
    {"SetObjectSurfaceParamTexImg", "i:id i:surface s:parameter i:image", NONE, 0,
     FN { zeSetObjectSurfaceParamTexImg(I(0), I(1), S(2), I(3)); }, "Surface channel's image from an image.", OBJECT},
    {"SetObjectSurfaceParamInt", "i:id i:surface s:parameter i:value", NONE, 0,
     FN { zeSetObjectSurfaceParamInt(I(0), I(1), S(2), I(3)); }, "Surface channel's integer.", OBJECT},
    {"SetObjectSurfaceParamFloat", "i:id i:surface s:parameter n:value", NONE, 0,
     FN { zeSetObjectSurfaceParamFloat(I(0), I(1), S(2), N(3)); }, "Surface channel's real.", OBJECT},
    {"SetObjectSurfaceParamFloat3", "i:id i:surface s:parameter n:x n:y n:z", NONE, 0,
     FN { zeSetObjectSurfaceParamFloat3(I(0), I(1), S(2), N(3), N(4), N(5)); }, "Surface channel's three reals.", OBJECT},
    {"SetObjectSurfaceEffect", "i:id i:surface i:effect", NONE, 0, FN { zeSetObjectSurfaceEffect(I(0), I(1), I(2)); },
     "Draws a surface with an effect (technique 0).", OBJECT},
    {"SetObjectSurfaceEffectTechnique", "i:id i:surface i:technique", NONE, 0,
     FN { zeSetObjectSurfaceEffectTechnique(I(0), I(1), I(2)); }, "Technique of a surface's effect.", OBJECT},
    {"UpdateObjectFromSurfaces", "i:id", NONE, 0, FN { zeUpdateObjectFromSurfaces(I(0)); },
     "Writes the surfaces into the materials and re-applies the effects.", OBJECT},

    // --- Engine and text ------------------------------------------------------------------
    {"Setup", "| i:width i:height i:depth b:windowed", NONE, FREE, FN { setup(a); },
     "Starts the engine (camera at (0,0,-5), light 0, ambient 0x050505, backdrop 0x001122).", ENGINE},
    {"Term", "", NONE, FREE, FN { zeEngineStop(); }, "Stops the engine.", ENGINE},
    {"IsSetup", "", BOOL, FREE, FN { r.b = zeEngineRunning(); }, "Whether the engine runs.", ENGINE},
    {"Text", "n:x n:y t:text", NONE, 0, FN { zeText(T(0), T(1), "%s", a.text); },
     "Queues the joined text at (x, y).", ENGINE},
    {"SetTextFont", "s:font", NONE, 0, FN { zeSetTextFont(S(0)); }, "Font of text.", ENGINE},
    {"SetTextColor", "i:colour", NONE, 0, FN { zeSetTextColor(I(0)); }, "Colour of text.", ENGINE},
    {"SetTextAlpha", "n:alpha", NONE, 0, FN { zeSetTextAlpha(T(0)); }, "Alpha of text (0..255).", ENGINE},
    {"TextFont", "", TEXT, 0, FN { r.s = zeTextFont(); }, "Font of text (nil for the built-in font).", ENGINE},
    {"TextColor", "", INT, 0, FN { r.i = zeTextColor(); }, "Colour of text.", ENGINE},
    {"TextAlpha", "", INT, 0, FN { r.i = zeTextAlpha(); }, "Alpha of text.", ENGINE},
    {"TextWidth", "t:text", INT, 0, FN { r.i = zeTextWidth("%s", a.text); }, "Width of the joined text.", ENGINE},
    {"TextHeight", "t:text", INT, 0, FN { r.i = zeTextHeight("%s", a.text); }, "Height of the joined text.", ENGINE},
    {"Timer", "", INT, 0, FN { r.i = zeTimer(); }, "Milliseconds since the first call.", ENGINE},
    {"Sleep", "n:ms", NONE, 0, FN { zeSleep(T(0)); }, "Sleeps.", ENGINE},
    {"FileRequester", "| s:title", TEXT, FREE, FN { r.s = zeChooseFile(a.has(0) ? S(0) : "", ZeFileFilters()); },
     "Open-file dialog; nil when cancelled.", ENGINE},
    {"MessageBox", "t:text", NONE, FREE, FN { zeMessageBox("%s", a.text); }, "Message box with the joined text.", ENGINE},
    {"ScreenModeDialog", "", BOOL, FREE,
     FN {
       ZeDisplayValues values;
       r.b = zeScreenModeDialog(&values) == 0;
     },
     "Display-mode dialog; true when confirmed.", ENGINE},
    {"ScreenModeOption", "s:name", INT, FREE, FN { r.i = zeScreenModeOption(S(0)); },
     "A value of the last confirmed display-mode dialog.", ENGINE},

    // --- Window ---------------------------------------------------------------------------
    {"HideWindow", "", NONE, 0, FN { zeHideWindow(); }, "Hides the window.", WINDOW},
    {"ShowWindow", "", NONE, 0, FN { zeShowWindow(); }, "Shows the window.", WINDOW},
    {"MaximizeWindow", "", NONE, 0, FN { zeMaximizeWindow(); }, "Maximises the window.", WINDOW},
    {"MinimizeWindow", "", NONE, 0, FN { zeMinimizeWindow(); }, "Minimises the window.", WINDOW},
    {"RestoreWindow", "", NONE, 0, FN { zeRestoreWindow(); }, "Restores the window.", WINDOW},
    {"IsWindowActive", "", BOOL, 0, FN { r.b = zeIsWindowActive(); }, "Whether the window has focus.", WINDOW},
    {"WindowMode", "", BOOL, 0, FN { r.b = zeWindowMode(); }, "True in full screen.", WINDOW},
    {"ScreenWidth", "", INT, 0, FN { r.i = zeScreenWidth(); }, "Width of the screen.", WINDOW},
    {"ScreenHeight", "", INT, 0, FN { r.i = zeScreenHeight(); }, "Height of the screen.", WINDOW},
    {"ScreenDepth", "", INT, 0, FN { r.i = zeScreenDepth(); }, "Bits per pixel.", WINDOW},

    // --- Frame ------------------------------------------------------------------------------
    {"Sync", "", NONE, 0, FN { zeSync(); }, "Renders one frame.", FRAME},
    {"Run", "", BOOL, 0, FN { r.b = zeDeviceRun(); }, "Whether the window is still open.", FRAME},
    {"RenderDummy", "", NONE, UNBUILT, nullptr, "Renders one pass into the dummy render target.", FRAME},
    {"RenderSetDebug", "i:mode", NONE, UNBUILT, nullptr, "The renderer's debug display.", FRAME},
    {"HasPrecalcRenderTargets", "b:value", NONE, 0, FN { zeNoteRenderToTextureDone(); },
     "Marks that render-to-texture has happened.", FRAME},
    {"ScreenShot", "s:file", NONE, 0, FN { zeScreenShot(S(0)); }, "Writes the last frame to an image file.", FRAME},

    // --- Keys and mouse -----------------------------------------------------------------------
    {"EscapeKey", "", BOOL, 0, FN { r.b = key(27); }, "Escape held.", KEYS},
    {"EscapeKeyEverPressed", "", BOOL, 0, FN { r.b = zeEventReceiver().escapeLatched(); }, "Escape pressed since start.", KEYS},
    {"ReturnKey", "", BOOL, 0, FN { r.b = key(13); }, "Return held.", KEYS},
    {"SpaceKey", "", BOOL, 0, FN { r.b = key(32); }, "Space held.", KEYS},
    {"ShiftKey", "", BOOL, 0, FN { r.b = key(16); }, "Shift held.", KEYS},
    {"RightKey", "", BOOL, 0, FN { r.b = key(39); }, "Right arrow held.", KEYS},
    {"LeftKey", "", BOOL, 0, FN { r.b = key(37); }, "Left arrow held.", KEYS},
    {"UpKey", "", BOOL, 0, FN { r.b = key(38); }, "Up arrow held.", KEYS},
    {"DownKey", "", BOOL, 0, FN { r.b = key(40); }, "Down arrow held.", KEYS},
    {"MinusKey", "", BOOL, 0, FN { r.b = key(189) || key(109); }, "Minus held (main or keypad).", KEYS},
    {"PlusKey", "", BOOL, 0, FN { r.b = key(187) || key(107); }, "Plus held (main or keypad).", KEYS},
    {"KeyState", "i:code", BOOL, 0,
     FN {
       if (a.i[0] < 0 || a.i[0] > 255) {
         r.fail(1, "key code %lld is outside 0..255", a.i[0]);
         return;
       }
       r.b = key(I(0));
     },
     "Whether a key (code 0..255) is held.", KEYS},
    {"MouseClick", "", INT, 0,
     FN { r.i = (zeEventReceiver().leftButton ? 1 : 0) | (zeEventReceiver().rightButton ? 2 : 0); },
     "1 left button, 2 right, 3 both.", KEYS},
    {"MouseX", "", INT, 0,
     FN {
       int x, y;
       zeMousePosition(&x, &y);
       r.i = x;
     },
     "Mouse x in the client area.", KEYS},
    {"MouseY", "", INT, 0,
     FN {
       int x, y;
       zeMousePosition(&x, &y);
       r.i = y;
     },
     "Mouse y in the client area.", KEYS},
    {"MouseZ", "", INT, 0, FN { r.i = static_cast<long long>(zeEventReceiver().wheel); }, "Wheel sum.", KEYS},
    {"ShowMouse", "", NONE, 0, FN { zeShowMouse(); }, "Shows the cursor.", KEYS},
    {"HideMouse", "", NONE, 0, FN { zeHideMouse(); }, "Hides the cursor.", KEYS},

    // --- Scenes -------------------------------------------------------------------------------
    {"LoadScene",
     "s:file i:scene i:objectBase i:lightBase i:fxEmitterBase i:cubeMapBase i:cameraShaderBase i:rendererId "
     "i:effectBase b:instanceShared s:sourceTag",
     NONE, 0,
     FN {
       ZeSceneLoadParams p;
       p.objectBase = I(2);
       p.lightBase = I(3);
       p.fxEmitterBase = I(4);
       p.cubeMapBase = I(5);
       p.cameraShaderBase = I(6);
       p.rendererId = I(7);
       p.effectBase = I(8);
       p.instanceShared = B(9);
       if (zeSceneExist(I(1))) zeDeleteScene(I(1));
       state.callbackError[0] = '\0';
       state.loadingThread = a.L;
       const int status = zeLoadScene(I(1), S(0), S(10), p);
       state.loadingThread = nullptr;
       if (state.callbackError[0])
         r.fail(0, "%s", state.callbackError);
       else if (status != 0)
         r.fail(0, "Failed to load scene '%s'", S(0));
     },
     "Loads a scene with the identifier bases of its parts.", SCENE},
    {"SetLoadSceneCallback", "f:callback", NONE, 0,
     FN {
       // The earlier function is released, so replacing it does not leak.
       if (state.callbackRef != LUA_NOREF) luaL_unref(a.L, LUA_REGISTRYINDEX, state.callbackRef);
       lua_pushvalue(a.L, 1);
       state.callbackRef = luaL_ref(a.L, LUA_REGISTRYINDEX);
       state.callbackState = a.L;
       zeSetLoadSceneCallback(progressToScript, nullptr);
     },
     "Calls a function with the load progress while scenes load.", SCENE},
    {"SceneExist", "i:scene", BOOL, 0, FN { r.b = zeSceneExist(I(0)) != 0; }, "Whether the id holds a scene.", SCENE},
    {"DeleteScene", "i:scene", NONE, 0, FN { zeDeleteScene(I(0)); }, "Deletes a scene and what it made.", SCENE},
    {"ShowScene", "i:scene", NONE, 0, FN { zeShowScene(I(0)); }, "Shows a scene.", SCENE},
    {"HideScene", "i:scene", NONE, 0, FN { zeHideScene(I(0)); }, "Hides a scene.", SCENE},
    {"SceneTotalObjects", "i:scene", INT, 0, FN { r.i = zeSceneTotal(I(0), ZE_SCENE_TOTAL_OBJECTS); }, "Objects of a scene.", SCENE},
    {"SceneTotalLights", "i:scene", INT, 0, FN { r.i = zeSceneTotal(I(0), ZE_SCENE_TOTAL_LIGHTS); }, "Lights of a scene.", SCENE},
    {"SceneTotalFxEmitters", "i:scene", INT, 0, FN { r.i = zeSceneTotal(I(0), ZE_SCENE_TOTAL_FXEMITTERS); },
     "Emitters of a scene.", SCENE},
    {"SceneTotalCubeMaps", "i:scene", INT, 0, FN { r.i = zeSceneTotal(I(0), ZE_SCENE_TOTAL_CUBEMAPS); },
     "Cube maps of a scene.", SCENE},
    {"SceneTotalCameraShaders", "i:scene", INT, 0, FN { r.i = zeSceneTotal(I(0), ZE_SCENE_TOTAL_CAMERASHADERS); },
     "Camera shaders of a scene.", SCENE},
    {"SceneTotalEffects", "i:scene", INT, 0, FN { r.i = zeSceneTotal(I(0), ZE_SCENE_TOTAL_EFFECTS); }, "Effects of a scene.", SCENE},
    {"AnimateScene", "i:scene n:ms", NONE, 0, FN { zeAnimateScene(I(0), T(1)); }, "Animates a scene to a time.", SCENE},
    {"AnimateSceneObject", "i:scene n:ms i:object", NONE, 0, FN { zeAnimateSceneObject(I(0), T(1), I(2)); },
     "Animates one object of a scene.", SCENE},
    {"AnimateSceneProcessing", "i:scene n:ms", NONE, 0, FN { zeAnimateSceneProcessing(I(0), T(1)); },
     "Animates a scene's render settings.", SCENE},
    {"AnimateSceneCameraShaders", "i:scene n:ms", NONE, 0, FN { zeAnimateSceneCameraShaders(I(0), T(1)); },
     "Animates a scene's camera shaders.", SCENE},
    {"SceneAnimTimeEnd", "i:scene", INT, 0, FN { r.i = zeSceneAnimTimeEnd(I(0)); }, "Length of a scene in ms.", SCENE},
    {"SceneFps", "i:scene", INT, 0, FN { r.i = zeSceneFps(I(0)); }, "Frames per second of a scene.", SCENE},
    {"SceneFrameStart", "i:scene", INT, 0, FN { r.i = zeSceneFrameStart(I(0)); }, "First frame of a scene.", SCENE},
    {"PrepareSceneRender", "i:scene", NONE, 0, FN { zePrepareSceneRender(I(0)); }, "Prepares a scene's renderer.", SCENE},
};

}  // namespace

const ZeScriptCommand* zeScriptCommands(int* count) {
  *count = static_cast<int>(sizeof commands / sizeof commands[0]);
  return commands;
}

void zeScriptCommandsRelease(lua_State* L) {
  if (state.callbackRef != LUA_NOREF && L == state.callbackState) luaL_unref(L, LUA_REGISTRYINDEX, state.callbackRef);
  if (state.callbackState) zeSetLoadSceneCallback(nullptr, nullptr);
  state = ScriptState();
}
