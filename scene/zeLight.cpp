// The light command layer.
#include "scene/zeLight.h"

#include <string>

#include "app/zeEngine.h"
#include "base/zeFile.h"
#include "base/zePath.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "scene/CZeSceneManager.h"
#include "scene/IZeLightSceneNodeExt.h"
#include "scene/zeSceneInternal.h"

using namespace irr;

// The layer owns the cell; the cell holds one reference to the node.
struct ZeLightCell {
  scene::ILightSceneNode* node = nullptr;
};

namespace {

ZeHandleTable<ZeLightCell>* lightTable() { return zeEngineContext().lights.get(); }

// The cell under `id` (nullptr when there is none, writing the table's reason).
ZeLightCell* cellOf(int id) {
  ZeHandleTable<ZeLightCell>* table = lightTable();
  return table ? table->find(id) : nullptr;
}

scene::ILightSceneNode* findLight(int id) {
  if (ZeLightCell* cell = cellOf(id)) return cell->node;
  zeReportArgError(1, "Light ID %d does not exist. %s", id, zeTableMissReason(lightTable()));
  return nullptr;
}

// The extension of an existing light; *exists says whether the light exists.
SZeLightData* findData(int id, bool* exists) {
  scene::ILightSceneNode* node = findLight(id);
  *exists = node != nullptr;
  IZeLightSceneNodeExt* ext = node ? zeFindLightNodeExt(node) : nullptr;
  return ext ? &ext->getLightData() : nullptr;
}

// The image through the file hooks (archives, loosely spelled names), kept by
// the driver under its normalised name; mip maps are off for this load only.
video::ITexture* loadProjectionImage(const char* file) {
  ZeEngineContext& context = zeEngineContext();
  video::IVideoDriver* driver = context.driver;
  if (!driver) return nullptr;
  const std::string name = zePathOnDisk(zeGetWorkingDirectory(), file);
  if (video::ITexture* known = driver->findTexture(name.c_str())) return known;
  std::string bytes;
  if (!zeFileReadAll(file, &bytes) || bytes.empty() || bytes.size() > 0x7fffffffu) return nullptr;
  io::IReadFile* memory = context.device->getFileSystem()->createMemoryReadFile(
      const_cast<char*>(bytes.data()), static_cast<s32>(bytes.size()), name.c_str(), false);
  if (!memory) return nullptr;
  const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
  video::ITexture* texture = driver->getTexture(memory);
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
  memory->drop();
  return texture;
}

}  // namespace

int zeMakeLight(int id) {
  ZeHandleTable<ZeLightCell>* table = lightTable();
  ZeLightCell* cell = new ZeLightCell;
  if (!table || !table->add(id, cell)) {
    zeReportArgError(1, "invalid Light ID %d : %s", id, zeTableMissReason(table));
    delete cell;
    return -1;
  }
  scene::ISceneManager* irrScene = zeEngineContext().sceneManager;
  CZeSceneManager* sceneManager = zeCurrentSceneManager();
  scene::ILightSceneNode* node =
      irrScene ? irrScene->addLightSceneNode(nullptr, core::vector3df(0, 0, 0), video::SColorf(1, 1, 1, 1), 100.0f, -1)
               : nullptr;
  if (node && !(sceneManager && sceneManager->getLightNodeExt(node))) {
    node->remove();
    node = nullptr;
  }
  if (!node) {
    zeReportArgError(-1, "failed to create light");
    table->remove(id);
    delete cell;
    return -1;
  }
  node->grab();
  cell->node = node;
  node->setRadius(ZE_LIGHT_UNLIMITED_RADIUS);
  return 0;
}

void zeDeleteLight(int id) {
  ZeLightCell* cell = cellOf(id);
  if (!cell) return;
  lightTable()->remove(id);
  cell->node->remove();
  cell->node->drop();
  delete cell;
}

void zeDeleteAllLights() {
  ZeHandleTable<ZeLightCell>* table = lightTable();
  if (!table) return;
  table->forEach([](int id, ZeLightCell*) { zeDeleteLight(id); });
}

int zeLightExist(int id) {
  ZeHandleTable<ZeLightCell>* table = lightTable();
  return table && table->has(id) ? 1 : 0;
}

scene::ILightSceneNode* zeLightNode(int id) {
  ZeLightCell* cell = cellOf(id);
  return cell ? cell->node : nullptr;
}

int zeLightVisible(int id) {
  scene::ILightSceneNode* node = findLight(id);
  return node && node->isVisible() ? 1 : 0;
}

int zeShowLight(int id) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  node->setVisible(true);
  return 0;
}

int zeHideLight(int id) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  node->setVisible(false);
  return 0;
}

int zeSetPointLight(int id, float x, float y, float z) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  node->setLightType(video::ELT_POINT);
  node->setPosition(core::vector3df(x, y, z));
  return 0;
}

int zeSetDirectionalLight(int id, float x, float y, float z) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  node->setLightType(video::ELT_DIRECTIONAL);
  node->setRotation(core::vector3df(x, y, z));
  return 0;
}

int zeSetSpotLight(int id, float innerCone, float outerCone) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  node->setLightType(video::ELT_SPOT);
  node->getLightData().InnerCone = innerCone;
  node->getLightData().OuterCone = outerCone;
  return 0;
}

int zePositionLight(int id, float x, float y, float z) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  node->setPosition(core::vector3df(x, y, z));
  return 0;
}

int zeRotateLight(int id, float x, float y, float z) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  node->setRotation(core::vector3df(x, y, z));
  return 0;
}

int zeSetLightRotationXYZ(int) { return 0; }
int zeSetLightRotationZYX(int) { return 0; }

int zeColorLight(int id, float r, float g, float b) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  // Components above 1 are kept: they brighten the light.
  node->getLightData().DiffuseColor = video::SColorf(r, g, b, 1.0f);
  return 0;
}

int zeSetLightIntensity(int id, float value) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) data->intensity = value;
  return exists ? 0 : -1;
}

int zeSetLightRange(int id, float value) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  IZeLightSceneNodeExt* ext = zeFindLightNodeExt(node);
  // Without a falloff the range is unlimited whatever is asked.
  if (ext && ext->getLightData().falloffType != 0) node->setRadius(value);
  return 0;
}

int zeSetLightFalloff(int id, int type) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  IZeLightSceneNodeExt* ext = zeFindLightNodeExt(node);
  if (!ext) return 0;
  ext->getLightData().falloffType = type;
  if (type == 0) node->setRadius(ZE_LIGHT_UNLIMITED_RADIUS);
  return 0;
}

int zeSetLightShadow(int id, bool on) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  node->enableCastShadow(on);
  return 0;
}

int zeColorLightShadow(int id, unsigned argb) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists))
    data->shadowColor = video::SColorf(((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f,
                                        (argb & 0xFF) / 255.0f, ((argb >> 24) & 0xFF) / 255.0f);
  return exists ? 0 : -1;
}

int zeSetShadowMapSize(int id, int size) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) data->shadowMapSize = size;
  return exists ? 0 : -1;
}

int zeSetShadowMapFuzz(int id, float fuzz) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) data->shadowMapFuzz = fuzz;
  return exists ? 0 : -1;
}

int zeSetLightProjectionImage(int id, const char* file) {
  scene::ILightSceneNode* node = findLight(id);
  if (!node) return -1;
  IZeLightSceneNodeExt* ext = zeFindLightNodeExt(node);
  if (!ext) return 0;
  if (!file) {
    ext->setProjectionImage(nullptr);
    return 0;
  }
  video::ITexture* texture = loadProjectionImage(file);
  if (!texture) {
    zeReportArgError(2, "Light ID %d failed to load projection image %s", id, file);
    return -1;
  }
  ext->setProjectionImage(texture);
  return 0;
}

int zeSetLightVolumetric(int id, bool on) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) data->volumetricOn = on ? 1 : 0;
  return exists ? 0 : -1;
}

int zeSetLightVolumetricDensity(int id, float value) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) data->volumetricDensity = value;
  return exists ? 0 : -1;
}

int zeSetLightVolumetricBase(int id, float value) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) data->volumetricBase = value;
  return exists ? 0 : -1;
}

int zeSetLightVolumetricColor(int id, bool on, float r, float g, float b) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) {
    data->volumetricColorOn = on ? 1 : 0;
    data->volumetricColor = video::SColorf(r, g, b, 1.0f);
  }
  return exists ? 0 : -1;
}

int zeSetLightVolumeClamp(int id, bool on, float value) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) {
    data->volumeClampOn = on ? 1 : 0;
    data->volumeClamp = value;
  }
  return exists ? 0 : -1;
}

int zeSetLightVolumetricQuality(int id, int quality) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) data->volumetricQuality = quality;
  return exists ? 0 : -1;
}

int zeSetLightDistantShadowSize(int id, float width, float height) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) {
    data->distantShadowWidth = width;
    data->distantShadowHeight = height;
  }
  return exists ? 0 : -1;
}

int zeSetLightDistantShadowPosition(int id, bool on, float offset) {
  bool exists;
  if (SZeLightData* data = findData(id, &exists)) {
    data->distantShadowPositionOn = on ? 1 : 0;
    data->distantShadowPositionOffset = offset;
  }
  return exists ? 0 : -1;
}

void zeColorAmbientLight(unsigned rgb) {
  scene::ISceneManager* irrScene = zeEngineContext().sceneManager;
  if (irrScene) irrScene->setAmbientLight(video::SColorf(video::SColor(0xFF000000u | (rgb & 0xFFFFFFu))));
}

void zeColorBackdrop(unsigned rgb) { zeSetBackdropColour(rgb); }

// --- Scene light records -------------------------------------------------------------

namespace {
// A colour made as the script command RGBf makes it: components times 255,
// truncated, in the red, green and blue bytes; the alpha byte stays 0.
unsigned rgbBytes(const float rgb[3]) {
  unsigned colour = 0;
  for (int i = 0; i < 3; ++i) {
    float v = rgb[i] * 255.0f;
    v = v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v);
    colour = (colour << 8) | static_cast<unsigned>(v);
  }
  return colour;
}
}  // namespace

int zeConfigureLight(int id, const SZeLightRecord& r) {
  if (!findLight(id)) return -1;
  int result = 0;
  if (r.type == 0)
    zeSetDirectionalLight(id, 0, 0, 1);
  else if (r.type == 2)
    zeSetSpotLight(id, r.coneAngles[0], r.coneAngles[1]);
  else
    zeSetPointLight(id, 0, 0, 1);
  zeSetLightFalloff(id, r.falloff);
  zeSetLightRange(id, r.range);
  zeColorLight(id, r.colour[0], r.colour[1], r.colour[2]);
  zeSetLightIntensity(id, r.intensity);
  zeSetLightShadow(id, r.shadowType == 2);
  if (r.shadowType != 0) {
    zeColorLightShadow(id, rgbBytes(r.shadowColor));
    zeSetShadowMapSize(id, r.shadowMapSize);
    zeSetShadowMapFuzz(id, r.shadowMapFuzz);
  }
  if (zeSetLightProjectionImage(id, r.projectionImage) != 0) result = -1;
  const bool volumetric = (r.flags & 32) != 0;
  zeSetLightVolumetric(id, volumetric);
  if (volumetric) {
    if (r.hasVolumetricFlags && r.volumetricFlags[4] != 0)
      zeSetLightVolumetricColor(id, true, r.volumetricColor[0], r.volumetricColor[1], r.volumetricColor[2]);
    else
      zeSetLightVolumetricColor(id, false, 1, 1, 1);
    if (r.hasVolumetricFlags) zeSetLightVolumetricQuality(id, r.volumetricFlags[1]);
  }
  return result;
}
