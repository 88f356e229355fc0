// The light command layer: Irrlicht light nodes known by an identifier of the
// lights table, with the engine's extra light data in their extension; the
// ambient light and the backdrop colour.
#pragma once

#include <irrlicht.h>

int zeMakeLight(int id);       // 0 or -1
void zeDeleteLight(int id);    // a free identifier is ignored
int zeLightExist(int id);      // 1 or 0, silent
int zeLightVisible(int id);    // 1 or 0
int zeShowLight(int id);
int zeHideLight(int id);

int zeSetPointLight(int id, float x, float y, float z);        // position
int zeSetDirectionalLight(int id, float x, float y, float z);  // rotation, degrees
int zeSetSpotLight(int id, float innerCone, float outerCone);  // degrees
int zePositionLight(int id, float x, float y, float z);
int zeRotateLight(int id, float x, float y, float z);
int zeSetLightRotationXYZ(int id);  // one rotation order only: accepted, ignored
int zeSetLightRotationZYX(int id);
int zeColorLight(int id, float r, float g, float b);
int zeSetLightIntensity(int id, float value);
int zeSetLightRange(int id, float value);  // only with a falloff
int zeSetLightFalloff(int id, int type);   // 0: unlimited range
int zeSetLightShadow(int id, bool on);
int zeColorLightShadow(int id, unsigned argb);
int zeSetShadowMapSize(int id, int size);
int zeSetShadowMapFuzz(int id, float fuzz);
int zeSetLightProjectionImage(int id, const char* file);  // nullptr clears
int zeSetLightVolumetric(int id, bool on);
int zeSetLightVolumetricDensity(int id, float value);
int zeSetLightVolumetricBase(int id, float value);
int zeSetLightVolumetricColor(int id, bool on, float r, float g, float b);
int zeSetLightVolumeClamp(int id, bool on, float value);
int zeSetLightVolumetricQuality(int id, int quality);
int zeSetLightDistantShadowSize(int id, float width, float height);
int zeSetLightDistantShadowPosition(int id, bool on, float offset);

void zeColorAmbientLight(unsigned rgb);  // alpha forced to 255
void zeColorBackdrop(unsigned rgb);

// A scene's light record, as the scene loader reads it (absent keys already
// replaced by the loader's defaults).
struct SZeLightRecord {
  int type = 1;                      // "type": 0 distant, 1 point, 2 spot
  float coneAngles[2] = {0, 0};      // "coneAngles" element 0, as stored
  int falloff = 0;                   // "falloff"
  float range = 0;                   // "range" element 0
  float colour[3] = {0, 0, 0};       // "color" element 0
  float intensity = 0;               // "intensity"
  int shadowType = 0;                // "shadowType"
  float shadowColor[3] = {0, 0, 0}; // "shadowColor" element 0
  int shadowMapSize = 512;           // "shadMapSize"
  float shadowMapFuzz = 0;           // "shadMapFuzz"
  const char* projectionImage = nullptr;  // "projImage", nullptr when absent
  int flags = 0;                     // "flags"; bit 5 (32) turns volumetrics on
  bool hasVolumetricFlags = false;   // Volumetric "flags" exists
  int volumetricFlags[5] = {0, 0, 0, 0, 0};
  float volumetricColor[3] = {1, 1, 1};  // Volumetric "color" element 0
};
// Configures an existing light from a scene record, at load and on reload.
// 0, or -1 when a step failed (its message was issued).
int zeConfigureLight(int id, const SZeLightRecord& record);

irr::scene::ILightSceneNode* zeLightNode(int id);  // nullptr (silent) when free
void zeDeleteAllLights();  // engine stop

// The radius that stands for an unlimited range.
constexpr float ZE_LIGHT_UNLIMITED_RADIUS = 10000000.0f;
