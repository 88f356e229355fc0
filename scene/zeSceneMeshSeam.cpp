// The mesh seam's parts that are built: surfaces, point caches and morph
// weights go through the object layer.
#include "scene/zeObject.h"
#include "scene/zeObjectSurface.h"
#include "scene/zeSceneSeams.h"

void CZeSceneMeshesSeam::applySurfaces(int objectId, const ZF_SurfaceParams* surfaces, int count, bool initial) {
  zeApplyObjectSurfaces(objectId, surfaces, count, initial);
}

int CZeSceneMeshesSeam::loadPointCacheObject(int id, const char* file, const char* cacheFile) {
  return zeLoadObjectMDD(id, file, cacheFile);
}

void CZeSceneMeshesSeam::setPointCachePostBehaviour(int id, int flag) { zeSetObjectMDDPostBehaviour(id, flag); }

float CZeSceneMeshesSeam::pointCacheLastFrameTime(int id) { return zeObjectMDDLastFrameTime(id); }

void CZeSceneMeshesSeam::setMorphWeights(int id, int count, const int* indices, const float* weights) {
  zeSetObjectMorph(id, count, indices, weights);
}
