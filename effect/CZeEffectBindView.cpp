// Families of the view: transforms, time, screen, camera, last frame, mouse.
#include "effect/CZeEffectBinds.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/zeMessage.h"
#include "effect/CZeEffectDef.h"

using namespace irr;

namespace {

bool anyStage(const SZeFxConstBind& c) { return c.stage == ZE_FX_STAGE_VERTEX || c.stage == ZE_FX_STAGE_FRAGMENT; }

SZeEffectBindEnv* envOf(const SZeFxConstBind& b) { return static_cast<CZeEffectBindFamily*>(b.bind)->env(); }

core::matrix4 inverse(const core::matrix4& m) {
  core::matrix4 out;
  m.getInverse(out);
  return out;
}

// --- Transforms ---------------------------------------------------------------------------

enum Transform { T_VIEW, T_VIEW_INV, T_WORLD, T_WORLD_INV, T_PROJ, T_WV, T_WV_INV, T_VP, T_WVP, T_COUNT };
const char* const kTransformNames[T_COUNT] = {"View",     "ViewInverse",     "World",          "WorldInverse",
                                               "Projection", "WorldView", "WorldViewInverse", "ViewProjection",
                                               "WorldViewProjection"};

core::matrix4 transformValue(const SZeEffectBindEnv& e, int which) {
  const core::matrix4& v = zeBindTransform(e, video::ETS_VIEW);
  const core::matrix4& w = zeBindTransform(e, video::ETS_WORLD);
  const core::matrix4& p = zeBindTransform(e, video::ETS_PROJECTION);
  switch (which) {
    case T_VIEW: return v;
    case T_VIEW_INV: return inverse(v);
    case T_WORLD: return w;
    case T_WORLD_INV: return inverse(w);
    case T_PROJ: return p;
    case T_WV: return v * w;
    case T_WV_INV: return inverse(v * w);
    case T_VP: return p * v;
    default: return p * v * w;
  }
}

void transformCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  zeFxSendMatrix(s, b, transformValue(*envOf(b), b.userData[0]), b.userData[1] != 0);
}

// Matches "<name>" or "<name>Transpose" against a table; -1 when none.
int matrixSemantic(const std::string& semantic, const char* const* names, int count, bool* transpose) {
  for (int i = 0; i < count; ++i) {
    const size_t n = std::strlen(names[i]);
    if (semantic.compare(0, n, names[i]) != 0) continue;
    if (semantic.size() == n) {
      *transpose = false;
      return i;
    }
    if (semantic.compare(n, std::string::npos, "Transpose") == 0) {
      *transpose = true;
      return i;
    }
  }
  return -1;
}

// --- Time and screen ----------------------------------------------------------------------

void timeCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const SZeEffectBindEnv* e = envOf(b);
  const uint32_t engineMs = e->timer ? e->timer->getTime() : e->timerMs;
  const float t = float(b.userData[0] ? e->sceneMs : engineMs) / 1000.0f;
  zeFxSendFloats(s, b, &t, 1);
}

struct ScreenEntry {
  const char* name;
  bool screen;
  int a, b;  // 0, 0: a size
};
const ScreenEntry kScreen[] = {
    {"TargetSize", false, 0, 0},         {"PixelSize", false, 1, 1},
    {"HalfPixelSize", false, 2, 1},      {"ScreenSize", true, 0, 0},
    {"ScreenPixelSize", true, 1, 1},     {"ScreenHalfPixelSize", true, 2, 1},
    {"HalfScreenPixelSize", true, 1, 2}, {"HalfScreenHalfPixelSize", true, 2, 2},
    {"QuarterScreenPixelSize", true, 1, 4}, {"QuarterScreenHalfPixelSize", true, 2, 4},
};

void screenCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const SZeEffectBindEnv* e = envOf(b);
  const ScreenEntry& entry = kScreen[b.userData[0]];
  core::dimension2du size = entry.screen ? e->screenSize : e->targetSize;
  if (e->driver) size = entry.screen ? e->driver->getScreenSize() : e->driver->getCurrentRenderTargetSize();
  float v[2] = {float(size.Width), float(size.Height)};
  if (entry.a) {
    const float a = float(entry.a), bb = float(entry.b);
    v[0] = size.Width ? (1.0f / a) / (float(size.Width) / bb) : 0.0f;
    v[1] = size.Height ? (1.0f / a) / (float(size.Height) / bb) : 0.0f;
  }
  zeFxSendFloats(s, b, v, 2);
}

// --- Camera -------------------------------------------------------------------------------

enum Camera { C_POS, C_DET, C_FAR, C_FAR_WORLD, C_ZFAR, C_ZNEAR, C_LINES, C_LINE_ENDS, C_FOV, C_FOCAL, C_COUNT };
const char* const kCameraNames[C_COUNT] = {"ViewPosition", "ViewDeterminant", "FrustumFarCorners",
                                           "FrustumFarCornersWorld", "ZFarValue", "ZNearValue", "LineStartsEnds",
                                           "LineEnds", "Fov", "FocalLength"};
const char* const kLineNames[8] = {"LineStartsEnds.LineStarts0", "LineStartsEnds.LineStarts1",
                                   "LineStartsEnds.LineStarts2", "LineStartsEnds.LineStarts3",
                                   "LineStartsEnds.LineEnds0",   "LineStartsEnds.LineEnds1",
                                   "LineStartsEnds.LineEnds2",   "LineStartsEnds.LineEnds3"};

void cameraCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  auto* cam = static_cast<CZeEffectBindCamera*>(b.bind);
  cam->refresh();
  switch (b.userData[0]) {
    case C_POS: zeFxSendFloats(s, b, cam->position, 4); break;
    case C_DET: zeFxSendFloats(s, b, &cam->determinant, 1); break;
    case C_FAR: zeFxSendFloats(s, b, cam->farCorners, 12); break;
    case C_FAR_WORLD: zeFxSendFloats(s, b, cam->farCornersWorld, 12); break;
    case C_ZFAR: zeFxSendFloats(s, b, &cam->zFar, 1); break;
    case C_ZNEAR: zeFxSendFloats(s, b, &cam->zNear, 1); break;
    case C_LINES:
      for (int i = 0; i < 8; ++i) {
        const float* v = i < 4 ? cam->lineStarts + 3 * i : cam->lineEnds + 3 * (i - 4);
        if (b.stage == ZE_FX_STAGE_VERTEX) s->setVertexShaderConstant(kLineNames[i], v, 3);
        else s->setPixelShaderConstant(kLineNames[i], v, 3);
      }
      break;
    case C_LINE_ENDS: zeFxSendFloats(s, b, cam->lineEnds, 12); break;
    case C_FOV: zeFxSendFloats(s, b, &cam->fov, 1); break;
    default: {
      const float focal = 0.015f * 0.5f / std::tan(cam->fov / 2.0f);
      zeFxSendFloats(s, b, &focal, 1);
    }
  }
}

// --- Last frame and mouse -----------------------------------------------------------------

enum Last { L_VIEW, L_VIEW_INV, L_PROJ, L_VP, L_VIVP, L_MATRICES, L_FPS = L_MATRICES, L_COUNT_FRAMES, L_TRANSITION };
const char* const kLastNames[L_MATRICES] = {"PrevView", "PrevViewInverse", "PrevProjection", "PrevViewProjection",
                                            "ViewInversePrevViewProjection"};

void lastFrameCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const SZeEffectBindEnv* e = envOf(b);
  const SZeLastFrameInfo& l = e->lastFrame;
  float value = 0;
  switch (b.userData[0]) {
    case L_VIEW: zeFxSendMatrix(s, b, l.prevView, b.userData[1] != 0); return;
    case L_VIEW_INV: zeFxSendMatrix(s, b, inverse(l.prevView), b.userData[1] != 0); return;
    case L_PROJ: zeFxSendMatrix(s, b, l.prevProjection, b.userData[1] != 0); return;
    case L_VP: zeFxSendMatrix(s, b, l.prevProjection * l.prevView, b.userData[1] != 0); return;
    case L_VIVP: {
      const core::matrix4& view = zeBindTransform(*e, video::ETS_VIEW);
      zeFxSendMatrix(s, b, l.prevProjection * l.prevView * inverse(view), b.userData[1] != 0);
      return;
    }
    case L_FPS: value = l.fps; break;
    case L_COUNT_FRAMES: value = float(l.renderCount); break;
    default: value = l.cameraTransition ? 1.0f : 0.0f;
  }
  zeFxSendFloats(s, b, &value, 1);
}

void mouseCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const SZeEffectBindEnv* e = envOf(b);
  core::dimension2du size = e->driver ? e->driver->getScreenSize() : e->screenSize;
  const float v[4] = {size.Width ? e->mouseX / float(size.Width) : 0.0f,
                      size.Height ? e->mouseY / float(size.Height) : 0.0f, e->mouseButton1 ? 1.0f : 0.0f,
                      e->mouseButton2 ? 1.0f : 0.0f};
  zeFxSendFloats(s, b, v, 4);
}

}  // namespace

const core::matrix4& zeBindTransform(const SZeEffectBindEnv& env, video::E_TRANSFORMATION_STATE state) {
  static const core::matrix4 identity;
  if (env.transforms) return env.transforms->getTransform(state);
  return env.driver ? env.driver->getTransform(state) : identity;
}

// --- Delivery -----------------------------------------------------------------------------

void zeFxSendFloats(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const float* values, int count) {
  if (b.registerIndex < 0) {
    if (b.stage == ZE_FX_STAGE_VERTEX) s->setVertexShaderConstant(b.symbol.c_str(), values, count);
    else s->setPixelShaderConstant(b.symbol.c_str(), values, count);
    return;
  }
  // By register whole float4s go up: never more than the constant holds,
  // never more than the value has (a short tail is padded with zeros).
  int registers = (count + 3) / 4;
  if (b.registerCount > 0 && b.registerCount < registers) registers = b.registerCount;
  const int whole = count / 4;
  if (registers > 0 && registers <= whole) {
    if (b.stage == ZE_FX_STAGE_VERTEX) s->setVertexShaderConstant(values, b.registerIndex, registers);
    else s->setPixelShaderConstant(values, b.registerIndex, registers);
    return;
  }
  // A partial register: the whole ones first, then the padded tail.
  if (whole > 0) {
    if (b.stage == ZE_FX_STAGE_VERTEX) s->setVertexShaderConstant(values, b.registerIndex, whole);
    else s->setPixelShaderConstant(values, b.registerIndex, whole);
  }
  float tail[4] = {0, 0, 0, 0};
  std::memcpy(tail, values + 4 * whole, sizeof(float) * size_t(count - 4 * whole));
  if (b.stage == ZE_FX_STAGE_VERTEX) s->setVertexShaderConstant(tail, b.registerIndex + whole, 1);
  else s->setPixelShaderConstant(tail, b.registerIndex + whole, 1);
}

void zeFxSendMatrix(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const core::matrix4& m,
                    bool transposeForm) {
  // Plain form: unchanged by name, transposed by register; the Transpose
  // form the other way round.
  const bool transpose = (b.registerIndex < 0) == transposeForm;
  if (!transpose) {
    zeFxSendFloats(s, b, m.pointer(), 16);
    return;
  }
  const core::matrix4 t = m.getTransposed();
  zeFxSendFloats(s, b, t.pointer(), 16);
}

ZeFxBindCallback CZeEffectBindTransform::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c) || c.type != ZE_FX_FLOAT4X4) return nullptr;
  bool transpose = false;
  const int which = matrixSemantic(c.semantic, kTransformNames, T_COUNT, &transpose);
  if (which < 0) return nullptr;
  user[0] = which;
  user[1] = transpose;
  return transformCallback;
}

ZeFxBindCallback CZeEffectBindTime::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  if (c.semantic == "Time" || c.semantic == "Time0_X") user[0] = 0;
  else if (c.semantic == "TimeScene") user[0] = 1;
  else return nullptr;
  return timeCallback;
}

ZeFxBindCallback CZeEffectBindScreen::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  for (int i = 0; i < int(sizeof(kScreen) / sizeof(kScreen[0])); ++i)
    if (c.semantic == kScreen[i].name) {
      user[0] = i;
      return screenCallback;
    }
  return nullptr;
}

ZeFxBindCallback CZeEffectBindCamera::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  for (int i = 0; i < C_COUNT; ++i)
    if (c.semantic == kCameraNames[i]) {
      user[0] = i;
      return cameraCallback;
    }
  return nullptr;
}

void CZeEffectBindCamera::refresh() {
  const core::matrix4& view = zeBindTransform(*env_, video::ETS_VIEW);
  const core::matrix4& projection = zeBindTransform(*env_, video::ETS_PROJECTION);
  if (valid_ && view == view_ && projection == projection_) return;
  valid_ = true;
  view_ = view;
  projection_ = projection;
  ++recomputed;
  const core::matrix4 inv = inverse(view);
  const core::vector3df p = inv.getTranslation();
  position[0] = p.X, position[1] = p.Y, position[2] = p.Z, position[3] = 1;
  // The determinant of the upper 3x3 (the translation column does not change it).
  const f32* m = view.pointer();
  determinant = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
                m[2] * (m[4] * m[9] - m[5] * m[8]);
  scene::ICameraSceneNode* camera = env_->scene ? env_->scene->getActiveCamera() : nullptr;
  if (!camera) return;
  zNear = camera->getNearValue();
  zFar = camera->getFarValue();
  fov = camera->getFOV();
  // Corners in one fixed order: left-up, right-up, left-down, right-down.
  const scene::SViewFrustum* f = camera->getViewFrustum();
  const core::vector3df corners[4] = {f->getFarLeftUp(), f->getFarRightUp(), f->getFarLeftDown(),
                                      f->getFarRightDown()};
  for (int i = 0; i < 4; ++i) {
    core::vector3df local = corners[i];
    view.transformVect(local);
    farCornersWorld[3 * i] = corners[i].X, farCornersWorld[3 * i + 1] = corners[i].Y;
    farCornersWorld[3 * i + 2] = corners[i].Z;
    farCorners[3 * i] = local.X, farCorners[3 * i + 1] = local.Y, farCorners[3 * i + 2] = local.Z;
  }
  scene::ISceneCollisionManager* collision = env_->scene->getSceneCollisionManager();
  const core::dimension2du size = env_->driver ? env_->driver->getCurrentRenderTargetSize() : env_->targetSize;
  const core::position2di screen[4] = {{0, 0}, {s32(size.Width), 0}, {0, s32(size.Height)},
                                       {s32(size.Width), s32(size.Height)}};
  for (int i = 0; i < 4; ++i) {
    const core::line3df ray = collision ? collision->getRayFromScreenCoordinates(screen[i], camera) : core::line3df();
    lineStarts[3 * i] = ray.start.X, lineStarts[3 * i + 1] = ray.start.Y, lineStarts[3 * i + 2] = ray.start.Z;
    lineEnds[3 * i] = ray.end.X, lineEnds[3 * i + 1] = ray.end.Y, lineEnds[3 * i + 2] = ray.end.Z;
  }
}

ZeFxBindCallback CZeEffectBindLastFrameInfo::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  if (c.type == ZE_FX_FLOAT4X4) {
    bool transpose = false;
    const int which = matrixSemantic(c.semantic, kLastNames, L_MATRICES, &transpose);
    if (which < 0) return nullptr;
    user[0] = which;
    user[1] = transpose;
    return lastFrameCallback;
  }
  if (c.semantic == "Fps") user[0] = L_FPS;
  else if (c.semantic == "RenderCount") user[0] = L_COUNT_FRAMES;
  else if (c.semantic == "CameraTransition") user[0] = L_TRANSITION;
  else return nullptr;
  return lastFrameCallback;
}

ZeFxBindCallback CZeEffectBindEvent::getBind(const SZeFxConstBind& c, int32_t[2]) {
  if (!anyStage(c) || c.semantic != "Mouse") return nullptr;
  return mouseCallback;
}
