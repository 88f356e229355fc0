// The light layer on the NULL driver: defaults, setters, the range rules,
// projection images, ambient and backdrop, and unknown identifiers.
#include <functional>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "sceneFixture.h"
#include "scene/IZeLightSceneNodeExt.h"
#include "scene/zeLight.h"

using namespace irr;

namespace {
const SZeLightData& dataOf(int id) { return zeFindLightNodeExt(zeLightNode(id))->getLightData(); }
}  // namespace

TEST_F(SceneTest, MakeLightGivesTheDefaults) {
  ASSERT_EQ(zeMakeLight(1), 0);
  scene::ILightSceneNode* node = zeLightNode(1);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->getParent(), zeEngineContext().sceneManager->getRootSceneNode());
  EXPECT_EQ(node->getPosition(), core::vector3df(0, 0, 0));
  EXPECT_EQ(node->getRadius(), ZE_LIGHT_UNLIMITED_RADIUS);
  const video::SColorf colour = node->getLightData().DiffuseColor;
  EXPECT_EQ(colour.r, 1.0f);
  EXPECT_EQ(colour.g, 1.0f);
  EXPECT_EQ(colour.b, 1.0f);
  EXPECT_EQ(colour.a, 1.0f);
  EXPECT_EQ(zeLightVisible(1), 1);

  const SZeLightData& d = dataOf(1);
  EXPECT_EQ(d.falloffType, 1);
  EXPECT_EQ(d.intensity, 1.0f);
  EXPECT_EQ(d.projectionImage, nullptr);
  EXPECT_EQ(d.shadowColor.a, 1.0f);
  EXPECT_EQ(d.shadowColor.r, 0.0f);
  EXPECT_EQ(d.shadowMapSize, 512);
  EXPECT_EQ(d.rendererValue, 5.0f);
  EXPECT_EQ(d.shadowMapFuzz, 0.0f);
  EXPECT_EQ(d.distantShadowPositionOn, 0);
  EXPECT_EQ(d.distantShadowPositionOffset, 1.0f);
  EXPECT_EQ(d.distantShadowWidth, 30.0f);
  EXPECT_EQ(d.distantShadowHeight, 30.0f);
  EXPECT_EQ(d.volumetricOn, 0);
  EXPECT_EQ(d.volumetricDensity, 1.0f);
  EXPECT_EQ(d.volumetricColorOn, 0);
  EXPECT_EQ(d.volumetricColor.g, 1.0f);
  EXPECT_EQ(d.volumetricBase, 0.0f);
  EXPECT_EQ(d.volumeClampOn, 0);
  EXPECT_EQ(d.volumeClamp, 1.0f);
  EXPECT_EQ(d.volumetricQuality, 0);

  int arg = 0;
  EXPECT_EQ(zeMakeLight(1), -1);
  EXPECT_EQ(takeError(&arg), "invalid Light ID 1 : id 1 already exist");
  EXPECT_EQ(arg, 1);
  EXPECT_EQ(zeLightNode(1), node);
}

TEST_F(SceneTest, LightSettersWriteNodeAndExtension) {
  ASSERT_EQ(zeMakeLight(2), 0);
  scene::ILightSceneNode* node = zeLightNode(2);

  zeSetDirectionalLight(2, 0, 90, 0);
  EXPECT_EQ(node->getLightType(), video::ELT_DIRECTIONAL);
  EXPECT_EQ(node->getRotation(), core::vector3df(0, 90, 0));
  zeSetSpotLight(2, 10, 40);
  EXPECT_EQ(node->getLightType(), video::ELT_SPOT);
  EXPECT_EQ(node->getLightData().InnerCone, 10.0f);
  EXPECT_EQ(node->getLightData().OuterCone, 40.0f);
  zeSetPointLight(2, 1, 2, 3);
  EXPECT_EQ(node->getLightType(), video::ELT_POINT);
  EXPECT_EQ(node->getPosition(), core::vector3df(1, 2, 3));

  zeColorLight(2, 2, 0.5f, 0);  // above 1 is kept
  EXPECT_EQ(node->getLightData().DiffuseColor.r, 2.0f);
  EXPECT_EQ(node->getLightData().DiffuseColor.g, 0.5f);
  EXPECT_EQ(node->getLightData().DiffuseColor.a, 1.0f);

  zeColorLightShadow(2, 0x80402010);  // alpha 128, red 64, green 32, blue 16
  const SZeLightData& d = dataOf(2);
  EXPECT_NEAR(d.shadowColor.r, 0.251f, 1e-3);
  EXPECT_NEAR(d.shadowColor.g, 0.125f, 1e-3);
  EXPECT_NEAR(d.shadowColor.b, 0.063f, 1e-3);
  EXPECT_NEAR(d.shadowColor.a, 0.502f, 1e-3);

  zeSetLightShadow(2, false);
  EXPECT_FALSE(node->getCastShadow());
  zeSetLightIntensity(2, 3.5f);
  zeSetShadowMapSize(2, 2048);
  zeSetShadowMapFuzz(2, 0.5f);
  zeSetLightVolumetric(2, true);
  zeSetLightVolumetricDensity(2, 0.3f);
  zeSetLightVolumetricBase(2, 0.1f);
  zeSetLightVolumetricColor(2, true, 0.2f, 0.4f, 0.6f);
  zeSetLightVolumeClamp(2, true, 0.7f);
  zeSetLightVolumetricQuality(2, 3);
  zeSetLightDistantShadowSize(2, 50, 60);
  zeSetLightDistantShadowPosition(2, true, 2.0f);
  EXPECT_EQ(d.intensity, 3.5f);
  EXPECT_EQ(d.shadowMapSize, 2048);
  EXPECT_EQ(d.shadowMapFuzz, 0.5f);
  EXPECT_EQ(d.volumetricOn, 1);
  EXPECT_EQ(d.volumetricDensity, 0.3f);
  EXPECT_EQ(d.volumetricBase, 0.1f);
  EXPECT_EQ(d.volumetricColorOn, 1);
  EXPECT_EQ(d.volumetricColor.b, 0.6f);
  EXPECT_EQ(d.volumetricColor.a, 1.0f);
  EXPECT_EQ(d.volumeClampOn, 1);
  EXPECT_EQ(d.volumeClamp, 0.7f);
  EXPECT_EQ(d.volumetricQuality, 3);
  EXPECT_EQ(d.distantShadowWidth, 50.0f);
  EXPECT_EQ(d.distantShadowHeight, 60.0f);
  EXPECT_EQ(d.distantShadowPositionOn, 1);
  EXPECT_EQ(d.distantShadowPositionOffset, 2.0f);

  zeHideLight(2);
  EXPECT_EQ(zeLightVisible(2), 0);
  EXPECT_EQ(takeError(), "");

  // A clone of the light carries a copy of the record.
  scene::ISceneNode* copy = node->clone();
  ASSERT_NE(zeFindLightNodeExt(copy), nullptr);
  EXPECT_NE(zeFindLightNodeExt(copy), zeFindLightNodeExt(node));
  EXPECT_EQ(zeFindLightNodeExt(copy)->getLightData().shadowMapSize, 2048);
  copy->remove();
}

TEST_F(SceneTest, LightRangeAppliesOnlyWithAFalloff) {
  ASSERT_EQ(zeMakeLight(3), 0);
  scene::ILightSceneNode* node = zeLightNode(3);
  zeSetLightRange(3, 50);  // default falloff 1
  EXPECT_EQ(node->getRadius(), 50.0f);
  zeSetLightFalloff(3, 0);  // unlimited again
  EXPECT_EQ(node->getRadius(), ZE_LIGHT_UNLIMITED_RADIUS);
  zeSetLightRange(3, 20);  // ignored without a falloff
  EXPECT_EQ(node->getRadius(), ZE_LIGHT_UNLIMITED_RADIUS);
  zeSetLightFalloff(3, 1);  // stays unlimited until the next range
  EXPECT_EQ(node->getRadius(), ZE_LIGHT_UNLIMITED_RADIUS);
  zeSetLightRange(3, 20);
  EXPECT_EQ(node->getRadius(), 20.0f);
}

TEST_F(SceneTest, ProjectionImagesAreLoadedAndGivenBack) {
  ASSERT_EQ(zeMakeLight(4), 0);
  const std::string dir = tempDirectory();
  const std::string file = dir + "/proj.ppm";
  writeText(file, std::string("P6\n2 2\n255\n") + std::string(12, '\x7f'));
  video::IVideoDriver* driver = zeEngineContext().driver;
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, true);

  ASSERT_EQ(zeSetLightProjectionImage(4, file.c_str()), 0) << takeError();
  video::ITexture* texture = dataOf(4).projectionImage;
  ASSERT_NE(texture, nullptr);
  EXPECT_FALSE(texture->hasMipMaps());  // loaded without mip maps...
  EXPECT_TRUE(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS));  // ...and the flag restored

  // A second light shares the texture; the image stays until both let go.
  ASSERT_EQ(zeMakeLight(5), 0);
  ASSERT_EQ(zeSetLightProjectionImage(5, (dir + "/PROJ.PPM").c_str()), 0) << takeError();  // spelled loosely
  EXPECT_EQ(dataOf(5).projectionImage, texture);
  zeSetLightProjectionImage(4, nullptr);
  EXPECT_EQ(dataOf(4).projectionImage, nullptr);
  EXPECT_EQ(driver->findTexture(file.c_str()), texture);
  zeDeleteLight(5);
  EXPECT_EQ(driver->findTexture(file.c_str()), nullptr);  // nobody uses it any more

  int arg = 0;
  const std::string missing = dir + "/missing.png";
  EXPECT_EQ(zeSetLightProjectionImage(4, missing.c_str()), -1);
  EXPECT_EQ(takeError(&arg), "Light ID 4 failed to load projection image " + missing);
  EXPECT_EQ(arg, 2);
}

TEST_F(SceneTest, AmbientAndBackdrop) {
  zeColorAmbientLight(0x336699);
  const video::SColorf ambient = zeEngineContext().sceneManager->getAmbientLight();
  EXPECT_NEAR(ambient.r, 0x33 / 255.0f, 1e-6);
  EXPECT_NEAR(ambient.g, 0x66 / 255.0f, 1e-6);
  EXPECT_NEAR(ambient.b, 0x99 / 255.0f, 1e-6);
  EXPECT_EQ(ambient.a, 1.0f);
  zeColorBackdrop(0xFF113366);
  EXPECT_EQ(zeGetBackdropColour(), 0x113366u);
}

TEST_F(SceneTest, CommandsOnUnknownLightsReportTheIdentifier) {
  const std::function<void(int)> commands[] = {
      [](int id) { zeLightVisible(id); },
      [](int id) { zeShowLight(id); },
      [](int id) { zeHideLight(id); },
      [](int id) { zeSetPointLight(id, 0, 0, 0); },
      [](int id) { zeSetDirectionalLight(id, 0, 0, 1); },
      [](int id) { zeSetSpotLight(id, 1, 2); },
      [](int id) { zePositionLight(id, 0, 0, 0); },
      [](int id) { zeRotateLight(id, 0, 0, 0); },
      [](int id) { zeColorLight(id, 1, 1, 1); },
      [](int id) { zeSetLightIntensity(id, 1); },
      [](int id) { zeSetLightRange(id, 1); },
      [](int id) { zeSetLightFalloff(id, 0); },
      [](int id) { zeSetLightShadow(id, true); },
      [](int id) { zeColorLightShadow(id, 0); },
      [](int id) { zeSetShadowMapSize(id, 1); },
      [](int id) { zeSetLightProjectionImage(id, nullptr); },
      [](int id) { zeSetLightVolumetric(id, true); },
      [](int id) { zeSetLightVolumeClamp(id, true, 1); },
      [](int id) { zeSetLightDistantShadowSize(id, 1, 1); },
  };
  int index = 0;
  for (const auto& command : commands) {
    SCOPED_TRACE(index++);
    command(8);
    int arg = 0;
    EXPECT_EQ(takeError(&arg), "Light ID 8 does not exist. id 8 does not exist");
    EXPECT_EQ(arg, 1);
  }
  EXPECT_EQ(zeLightExist(8), 0);
  zeDeleteLight(8);  // silent
  EXPECT_EQ(takeError(), "");

  ASSERT_EQ(zeMakeLight(8), 0);
  zeDeleteLight(8);
  EXPECT_EQ(zeLightExist(8), 0);
  EXPECT_EQ(zeShowLight(8), -1);
}

TEST_F(SceneTest, SceneLightRecordsConfigureTheLightInOrder) {
  SZeLightRecord spot;
  spot.type = 2;
  spot.coneAngles[0] = 0.2f;  // as stored: the animation turns them into degrees
  spot.coneAngles[1] = 0.5f;
  spot.falloff = 1;
  spot.range = 40;
  spot.colour[0] = 1.5f;
  spot.intensity = 2;
  spot.shadowType = 2;
  spot.shadowColor[0] = 0.5f;
  spot.shadowColor[2] = 1.0f;
  spot.shadowMapSize = 1024;
  spot.flags = 32;
  spot.hasVolumetricFlags = true;
  spot.volumetricFlags[1] = 2;
  spot.volumetricFlags[4] = 1;
  spot.volumetricColor[1] = 0.25f;

  ASSERT_EQ(zeMakeLight(1), 0);
  ASSERT_EQ(zeConfigureLight(1, spot), 0);
  scene::ILightSceneNode* node = zeLightNode(1);
  const SZeLightData& d = dataOf(1);
  EXPECT_EQ(node->getLightType(), video::ELT_SPOT);
  EXPECT_EQ(node->getLightData().InnerCone, 0.2f);
  EXPECT_EQ(node->getLightData().OuterCone, 0.5f);
  EXPECT_EQ(node->getRadius(), 40.0f);
  EXPECT_EQ(node->getLightData().DiffuseColor.r, 1.5f);
  EXPECT_EQ(d.intensity, 2.0f);
  EXPECT_TRUE(node->getCastShadow());
  EXPECT_NEAR(d.shadowColor.r, 127 / 255.0f, 1e-6);  // 0.5 * 255 truncated
  EXPECT_EQ(d.shadowColor.g, 0.0f);
  EXPECT_EQ(d.shadowColor.b, 1.0f);
  EXPECT_EQ(d.shadowColor.a, 0.0f);  // the RGBf colour carries no alpha
  EXPECT_EQ(d.shadowMapSize, 1024);
  EXPECT_EQ(d.volumetricOn, 1);
  EXPECT_EQ(d.volumetricColorOn, 1);
  EXPECT_EQ(d.volumetricColor.g, 0.25f);
  EXPECT_EQ(d.volumetricQuality, 2);

  // Reloaded as a distant light without falloff, shadows or volumetrics.
  SZeLightRecord distant;
  distant.type = 0;
  distant.range = 40;
  distant.shadowType = 1;  // shadow settings taken, but no shadow cast
  ASSERT_EQ(zeConfigureLight(1, distant), 0);
  EXPECT_EQ(node->getLightType(), video::ELT_DIRECTIONAL);
  EXPECT_EQ(node->getRotation(), core::vector3df(0, 0, 1));
  EXPECT_EQ(node->getRadius(), ZE_LIGHT_UNLIMITED_RADIUS);
  EXPECT_FALSE(node->getCastShadow());
  EXPECT_EQ(d.shadowMapSize, 512);
  EXPECT_EQ(d.volumetricOn, 0);

  SZeLightRecord point;
  ASSERT_EQ(zeConfigureLight(1, point), 0);
  EXPECT_EQ(node->getLightType(), video::ELT_POINT);
  EXPECT_EQ(node->getPosition(), core::vector3df(0, 0, 1));
  EXPECT_EQ(takeError(), "");

  int arg = 0;
  EXPECT_EQ(zeConfigureLight(9, point), -1);
  EXPECT_EQ(takeError(&arg), "Light ID 9 does not exist. id 9 does not exist");
  EXPECT_EQ(arg, 1);
}
