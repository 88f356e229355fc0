#include "render/zeLoadingScreen.h"

#include <cstdio>
#include <string>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "app/zeFileMount.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "render/gl/ZeGL2D.h"

using namespace irr;

namespace {

video::ITexture* loadingImage = nullptr;  // grabbed; none without "loading.png"
bool shaderMade = false;
bool shaderOk = false;

// The constants of a "loading.hlsl": "resolution" (two floats) and "progress".
class CLoadingCallback : public video::IShaderConstantSetCallBack {
 public:
  void OnSetConstants(video::IMaterialRendererServices* services, s32) override {
    services->setPixelShaderConstant("resolution", resolution, 2);
    services->setPixelShaderConstant("progress", &progress, 1);
    services->setVertexShaderConstant("resolution", resolution, 2);
    services->setVertexShaderConstant("progress", &progress, 1);
  }
  f32 resolution[2] = {0, 0};
  f32 progress = 0;
};
CLoadingCallback loadingCallback;
int customMaterial = -1;  // the material type of "loading.hlsl", or -1

void makeImageAndShader() {
  ZeEngineContext& ctx = zeEngineContext();
  if (!loadingImage && zeFileExists("loading.png")) {
    loadingImage = ctx.driver->getTexture("loading.png");
    if (loadingImage) loadingImage->grab();
  }
  if (shaderMade) return;
  shaderMade = true;
  CZeGPUProgrammingServices* services = ctx.manager ? ctx.manager->getGPUProgrammingServices() : nullptr;
  if (services && zeFileExists("loading.hlsl")) {
    std::string error;
    // vs_3_0 and ps_3_0.
    customMaterial = services->createMaterialFromFiles("loading.hlsl", "vs_main", 3, "loading.hlsl", "ps_main", 7,
                                                       &loadingCallback, 0, 0, nullptr, &error);
    if (customMaterial < 0) zeMessage(ZE_WARN, "loading.hlsl: %s", error.c_str());
  }
  // The built-in shader is OpenGL (GLSL); the NULL driver has none.
  shaderOk = customMaterial >= 0 || ctx.openGL;
}

// The screen quad with the material of "loading.hlsl"; its vertex shader
// places the corners (-1..1) itself.
bool drawCustom(video::IVideoDriver* driver, float width, float height, float progress) {
  if (customMaterial < 0) return false;
  loadingCallback.resolution[0] = width;
  loadingCallback.resolution[1] = height;
  loadingCallback.progress = progress;
  const video::SColor none(0);
  const video::S3DVertex corners[4] = {
      video::S3DVertex(-1, -1, 0, 0, 0, 1, none, 0, 1), video::S3DVertex(-1, 1, 0, 0, 0, 1, none, 0, 0),
      video::S3DVertex(1, 1, 0, 0, 0, 1, none, 1, 0), video::S3DVertex(1, -1, 0, 0, 0, 1, none, 1, 1)};
  const u16 indices[6] = {0, 1, 2, 3, 0, 2};
  video::SMaterial material;
  material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(customMaterial);
  material.setTexture(0, loadingImage);
  material.Lighting = false;
  material.BackfaceCulling = false;
  material.ZBuffer = video::ECFN_ALWAYS;
  material.ZWriteEnable = false;
  const core::matrix4 identity;
  const video::E_TRANSFORMATION_STATE states[3] = {video::ETS_WORLD, video::ETS_VIEW, video::ETS_PROJECTION};
  core::matrix4 saved[3];
  for (int i = 0; i < 3; ++i) {
    saved[i] = driver->getTransform(states[i]);
    driver->setTransform(states[i], identity);
  }
  driver->setMaterial(material);
  driver->drawIndexedTriangleList(corners, 4, indices, 2);
  for (int i = 0; i < 3; ++i) driver->setTransform(states[i], saved[i]);
  return true;
}

void plainBar(video::IVideoDriver* driver, int width, int height, int percent) {
  const int imageHeight = loadingImage ? static_cast<int>(loadingImage->getOriginalSize().Height) : -1;
  const SZeLoadingBar bar = zeLoadingBarRects(width, height, percent, imageHeight);
  driver->draw2DRectangle(video::SColor(0xFFFFFFFF), bar.white);
  driver->draw2DRectangle(video::SColor(0xFF000000), bar.black);
  driver->draw2DRectangle(video::SColor(0xFF4488FF), bar.fill);
}

bool beginBlack() {
  if (!zeBeginRendering()) return false;
  if (IZeFrameBackend* backend = zeEngineContext().openGL ? zeGetFrameBackend() : nullptr)
    backend->clearFrame(video::SColor(0xFF000000));
  return true;
}

void drawFrame(float percent) {
  ZeEngineContext& ctx = zeEngineContext();
  if (!ctx.driver || !beginBlack()) return;
  const core::dimension2du screen = ctx.driver->getScreenSize();
  const int w = static_cast<int>(screen.Width), h = static_cast<int>(screen.Height);
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  const bool shaded = shaderOk && (drawCustom(ctx.driver, fw, fh, percent / 100.0f) ||
                                   (ctx.openGL && zeGLDrawLoadingShader(fw, fh, percent / 100.0f, nullptr)));
  if (!shaded) {
    if (loadingImage) {
      const core::dimension2du size = loadingImage->getOriginalSize();
      ctx.driver->draw2DImage(loadingImage,
                              core::position2d<s32>((w - static_cast<int>(size.Width)) / 2,
                                                    (h - static_cast<int>(size.Height)) / 2),
                              core::rect<s32>(0, 0, size.Width, size.Height), nullptr, video::SColor(0xFFFFFFFF), true);
    }
    plainBar(ctx.driver, w, h, static_cast<int>(percent));
  }
  zeEndRendering();
}

}  // namespace

SZeLoadingBar zeLoadingBarRects(int width, int height, int percent, int imageHeight) {
  const int offset = imageHeight >= 0 ? height / 10 + imageHeight / 2 : 0;
  auto box = [&](int w, int b) {
    const int x = (width - w) / 2, y = (height - b) / 2 + offset;
    return core::rect<s32>(x, y, x + w, y + b);
  };
  SZeLoadingBar bar;
  const int w0 = width * 20 / 40, b0 = height / 10;
  const int border = height / 40;
  const int w1 = w0 > border ? w0 - border : 1, b1 = b0 > border ? b0 - border : 1;
  const int w2 = w1 - border > 1 ? w1 - border : 1, b2 = b1 - border > 1 ? b1 - border : 1;
  bar.white = box(w0, b0);
  bar.black = box(w1, b1);
  const core::rect<s32> inner = box(w2, b2);
  bar.fill = core::rect<s32>(inner.UpperLeftCorner.X, inner.UpperLeftCorner.Y,
                             inner.UpperLeftCorner.X + percent * w2 / 100, inner.LowerRightCorner.Y);
  return bar;
}

void zeLoadingStart() {
  if (!zeEngineContext().driver) return;
  makeImageAndShader();
  drawFrame(0);
}

void zeLoadingProgress(int percent) {
  if (!zeEngineContext().driver) return;
  drawFrame(static_cast<float>(percent));
}

void zeLoadingEnd() {
  if (!zeEngineContext().driver) return;
  if (shaderOk) {
    // The built-in shader fades out between 100 % and 129 %.
    for (int frame = 0; frame < 30; ++frame) drawFrame(static_cast<float>(100 + frame));
  } else {
    drawFrame(100);
  }
  if (loadingImage) loadingImage->drop();
  loadingImage = nullptr;
}

void zeLoadingProgressSimple(int percent) {
  ZeEngineContext& ctx = zeEngineContext();
  if (!ctx.driver) return;
  if (zeIsPackaged()) {
    makeImageAndShader();
    drawFrame(static_cast<float>(percent));
    return;
  }
  if (!beginBlack()) return;
  const core::dimension2du screen = ctx.driver->getScreenSize();
  if (percent != 0) plainBar(ctx.driver, static_cast<int>(screen.Width), static_cast<int>(screen.Height), percent);
  if (ctx.font) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%d%%\n", percent);
    ctx.font->draw(text, core::rect<s32>(10, 10, 11, 11), video::SColor(0xFFFFFFFF));
  }
  zeEndRendering();
}

bool zeLoadingHasShader() { return shaderOk; }

void zeLoadingShutdown() {
  if (loadingImage) loadingImage->drop();
  loadingImage = nullptr;
  shaderMade = false;
  shaderOk = false;
  customMaterial = -1;  // material types go with the driver
}
