// The object command layer: objects are meshes in the scene graph known by an
// identifier of the objects table. Each command has the script command of the
// same role; failures are reported through the message channel.
//
// Contents: creation · visibility and transform · frames and animations ·
// morphs and point caches · extension values · cube maps · vertex textures ·
// access for other layers.
#pragma once

#include <irrlicht.h>

// --- Creation --------------------------------------------------------------------
int zeLoadObject(int id, const char* file);       // 0 or -1
// The object's mesh moved by a point cache (a .zpnts file beside the object).
int zeLoadObjectMDD(int id, const char* file, const char* cacheFile);
int zeCloneObject(int id, int sourceId);          // 0 or -1
int zeInstanceObject(int id, int sourceId);       // the same as a clone
void zeDeleteObject(int id);                      // a free identifier is ignored
int zeObjectExist(int id);                        // 1 or 0, silent

// --- Visibility and transform ------------------------------------------------------
int zeShowObject(int id);
int zeHideObject(int id);
int zeObjectVisible(int id);  // 1 or 0
int zePositionObject(int id, float x, float y, float z);
int zeRotateObject(int id, float x, float y, float z);  // degrees about X, Y, Z
int zeScaleObject(int id, float x, float y, float z);   // percentages
int zeSetObjectRotationXYZ(int id);  // one rotation order only: accepted, ignored
int zeSetObjectRotationZYX(int id);
int zeGhostObjectOn(int id);         // only checks the object
int zeSetAlphaMappingOn(int id, float value);
int zeLockObjectOn(int id);   // child of the default camera
int zeLockObjectOff(int id);  // back to the scene root

// --- Frames and animations ------------------------------------------------------------
int zeTotalObjectFrames(int id);  // 0 when the object does not exist
int zeSetObjectFrame(int id, float frame);
float zeObjectFrameTime(int id, float frame);
int zeUseAnimationFromObject(int id, int sourceId);
int zeObjectAnimationCount(int id);
const char* zeObjectAnimationName(int id, int n);  // nullptr when none
float zeObjectAnimationBegin(int id, int n);
float zeObjectAnimationEnd(int id, int n);
float zeObjectAnimationSpeed(int id, int n);

// --- Morphs and point caches ------------------------------------------------------------
int zeSetObjectMorph(int id, int count, const int* indices, const float* weights);
int zeGetObjectMorphCount(int id);
int zeSetObjectMDDPostBehaviour(int id, int flag);
// The time of a point cache's last frame; 0 when its times do not increase
// (or the object is not a point cache), so that it holds its first frame.
float zeObjectMDDLastFrameTime(int id);

// --- Extension values -------------------------------------------------------------
int zeSetObjectShadows(int id, bool on);
int zeSetObjectSelectionMask(int id, unsigned mask);
int zeSetObjectCubeMapBlend(int id, float blend);
int zeSetObjectBoxProjection(int id, bool on);
int zeSetObjectBox(int id, const irr::core::vector3df& position, const irr::core::vector3df& size);

// --- Cube maps ----------------------------------------------------------------------
int zeSetObjectCubeMap1(int id, int cubeMapId);
int zeSetObjectCubeMap2(int id, int cubeMapId);  // -1 clears it
// The cube-map layer answers with the texture of cube map `cubeMapId`, or
// nullptr with why it misses (its table's reason). Until it installs itself
// every identifier misses ("cube maps: not built yet").
using ZeCubeMapLookup = irr::IReferenceCounted* (*)(int cubeMapId, const char** missReason);
void zeSetCubeMapLookup(ZeCubeMapLookup lookup);
// A cube map is going away: every object using it lets it go.
void zeObjectsForgetCubeMap(irr::IReferenceCounted* cubeTexture);

// --- Vertex textures ------------------------------------------------------------------
int zeSetObjectVertexTexture(int id, const char* name, int flags);

// --- Access for other layers -------------------------------------------------------------
float zeGetObjectRadius(int id);  // half the diagonal of the mesh's box
irr::scene::ISceneNode* zeObjectNode(int id);  // nullptr (silent) when free
// For the emitters: the object's mesh, with "getObjectMesh: ..." errors.
irr::scene::IMesh* zeGetObjectMesh(int id);
// Deletes every object (engine stop).
void zeDeleteAllObjects();
