// Under Xvfb: a script draws an object, a box and text, takes a screenshot,
// and the pixels of the file show all three over the backdrop.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include "app/zeEntry.h"
#include "base/zeFile.h"
#include "script/zeScriptHost.h"
#include "scriptFixture.h"

namespace {

TEST(ScriptGL, AScriptDrawsAnObjectABoxAndTextAndTakesAScreenShot) {
  zeBuiltRunModes();
  // The standard effects are found beside the program, as the entry arranges.
  zeSetBaseDirectory(ZARN_BINARY_DIR "/");
  const std::string dir = scriptTempDirectory();
  writeScriptFile(dir + "/draw.lua",
                  "ze.Setup(160, 120, 32, true)\n"
                  "ze.LoadObject('" ZARN_EXAMPLES "/object/example.x', 1)\n"
                  "ze.PositionObject(1, 0, 0, 0)\n"
                  "ze.ScaleObject(1, 60, 60, 60)\n"
                  "ze.SetPointLight(0, 0, 0, -10)\n"
                  "ze.ColorAmbientLight(0xFFFFFF)\n"
                  "ze.Ink(0xFF0000)\n"
                  "ze.Box(130, 90, 155, 115)\n"
                  "ze.SetTextColor(0xFFFFFF)\n"
                  "ze.Text(4, 4, 'HELLO', 42)\n"
                  "ze.Sync()\n"
                  "ze.ScreenShot('shot.png')\n");
  ASSERT_EQ(zeRunScript((dir + "/draw.lua").c_str(), 0), 0);

  irr::SIrrlichtCreationParameters params;
  params.DriverType = irr::video::EDT_NULL;
  params.LoggingLevel = irr::ELL_NONE;
  irr::IrrlichtDevice* device = irr::createDeviceEx(params);
  ASSERT_NE(device, nullptr);
  irr::video::IImage* shot = device->getVideoDriver()->createImageFromFile((dir + "/shot.png").c_str());
  ASSERT_NE(shot, nullptr);
  ASSERT_EQ(shot->getDimension().Width, 160u);
  auto rgb = [&](int x, int y) { return shot->getPixel(x, y).color & 0xFFFFFF; };
  EXPECT_EQ(rgb(80, 110), 0x001122u) << "backdrop";
  EXPECT_EQ(rgb(142, 102), 0xFF0000u) << "box";
  EXPECT_NE(rgb(80, 60), 0x001122u) << "object in the middle";
  int textPixels = 0;
  for (int y = 2; y < 20; ++y)
    for (int x = 2; x < 80; ++x) textPixels += rgb(x, y) == 0xFFFFFFu;
  EXPECT_GT(textPixels, 20) << "text";
  shot->drop();
  device->drop();
}

}  // namespace
