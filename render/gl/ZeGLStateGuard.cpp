#include "render/gl/ZeGLStateGuard.h"

#include <irrlicht.h>

#include "render/gl/zeGLInternal.h"

namespace {

static_assert(CZeGLStateGuard::kIrrlichtUnits == static_cast<int>(irr::video::MATERIAL_MAX_TEXTURES),
              "the guard reads back every unit Irrlicht binds textures on");

// Capabilities Irrlicht's driver sets, read back in the order of enabled_.
const GLenum irrlichtCapabilities[CZeGLStateGuard::kCapabilities] = {
    GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_ALPHA_TEST, GL_POLYGON_OFFSET_FILL};

// The engine's shadow record: the values the state only the engine sets rests
// at between guards. Irrlicht 1.8 has no vertex arrays, sampler objects, cube
// maps or sRGB writes, and binds textures on its first units only.
struct SZeGLRestState {
  GLuint vertexArray = 0;
  GLuint sampler = 0;         // on every unit
  GLuint cubeMap = 0;         // on every unit
  GLuint upperTexture2D = 0;  // on units kIrrlichtUnits and up
  bool framebufferSRGB = false;
  GLint unpackRowLength = 0;
};
constexpr SZeGLRestState rest;

int getInt(GLenum what) {
  GLint value = 0;
  glGetIntegerv(what, &value);
  return value;
}

// One call rebinds a range of units (GL 4.4): far cheaper than a call per
// unit and target, which is what the guard spends most of its time on.
bool hasMultiBind() {
  static const bool has = epoxy_gl_version() >= 44 || epoxy_has_gl_extension("GL_ARB_multi_bind");
  return has;
}

void setCapability(GLenum capability, bool on) {
  if (on)
    glEnable(capability);
  else
    glDisable(capability);
}

}  // namespace

CZeGLStateGuard::CZeGLStateGuard(Framebuffer framebuffer) : restoreFramebuffer_(framebuffer == RestoreFramebuffer) {
  if (restoreFramebuffer_) {
    drawFramebuffer_ = getInt(GL_DRAW_FRAMEBUFFER_BINDING);
    readFramebuffer_ = getInt(GL_READ_FRAMEBUFFER_BINDING);
  }
  program_ = getInt(GL_CURRENT_PROGRAM);
  activeTexture_ = getInt(GL_ACTIVE_TEXTURE);
  arrayBuffer_ = getInt(GL_ARRAY_BUFFER_BINDING);
  for (int i = 0; i < kIrrlichtUnits; ++i) {
    glActiveTexture(GL_TEXTURE0 + i);
    textures2D_[i] = getInt(GL_TEXTURE_BINDING_2D);
  }
  glActiveTexture(activeTexture_);
  glGetIntegerv(GL_VIEWPORT, viewport_);
  glGetIntegerv(GL_SCISSOR_BOX, scissorBox_);
  for (int i = 0; i < kCapabilities; ++i) enabled_[i] = glIsEnabled(irrlichtCapabilities[i]);
  blendSrcRGB_ = getInt(GL_BLEND_SRC_RGB);
  blendDstRGB_ = getInt(GL_BLEND_DST_RGB);
  blendSrcAlpha_ = getInt(GL_BLEND_SRC_ALPHA);
  blendDstAlpha_ = getInt(GL_BLEND_DST_ALPHA);
  blendEqRGB_ = getInt(GL_BLEND_EQUATION_RGB);
  blendEqAlpha_ = getInt(GL_BLEND_EQUATION_ALPHA);
  depthFunc_ = getInt(GL_DEPTH_FUNC);
  cullMode_ = getInt(GL_CULL_FACE_MODE);
  frontFace_ = getInt(GL_FRONT_FACE);
  GLboolean depthMask = GL_TRUE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  depthMask_ = depthMask;
  GLboolean colourMask[4];
  glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
  for (int i = 0; i < 4; ++i) colourMask_[i] = colourMask[i];
  stencilMask_ = getInt(GL_STENCIL_WRITEMASK);
  packAlignment_ = getInt(GL_PACK_ALIGNMENT);
  unpackAlignment_ = getInt(GL_UNPACK_ALIGNMENT);
}

CZeGLStateGuard::~CZeGLStateGuard() {
  if (restoreFramebuffer_) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFramebuffer_);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer_);
  }
  glUseProgram(program_);
  glBindVertexArray(rest.vertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, arrayBuffer_);
  static_assert(rest.sampler == 0 && rest.cubeMap == 0 && rest.upperTexture2D == 0,
                "multi-bind restores the rest state by unbinding");
  if (hasMultiBind()) {
    // Null lists unbind every target of each unit, then Irrlicht's units get
    // their 2D textures back.
    glBindTextures(0, kUnits, nullptr);
    GLuint irrlichtTextures[kIrrlichtUnits];
    for (int i = 0; i < kIrrlichtUnits; ++i) irrlichtTextures[i] = static_cast<GLuint>(textures2D_[i]);
    glBindTextures(0, kIrrlichtUnits, irrlichtTextures);
    glBindSamplers(0, kUnits, nullptr);
  } else {
    for (int i = 0; i < kUnits; ++i) {
      glActiveTexture(GL_TEXTURE0 + i);
      glBindTexture(GL_TEXTURE_2D, i < kIrrlichtUnits ? textures2D_[i] : rest.upperTexture2D);
      glBindTexture(GL_TEXTURE_CUBE_MAP, rest.cubeMap);
      glBindSampler(i, rest.sampler);
    }
  }
  glActiveTexture(activeTexture_);
  glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
  glScissor(scissorBox_[0], scissorBox_[1], scissorBox_[2], scissorBox_[3]);
  for (int i = 0; i < kCapabilities; ++i) setCapability(irrlichtCapabilities[i], enabled_[i]);
  setCapability(GL_FRAMEBUFFER_SRGB, rest.framebufferSRGB);
  glBlendFuncSeparate(blendSrcRGB_, blendDstRGB_, blendSrcAlpha_, blendDstAlpha_);
  glBlendEquationSeparate(blendEqRGB_, blendEqAlpha_);
  glDepthFunc(depthFunc_);
  glCullFace(cullMode_);
  glFrontFace(frontFace_);
  glDepthMask(depthMask_);
  glColorMask(colourMask_[0], colourMask_[1], colourMask_[2], colourMask_[3]);
  glStencilMask(stencilMask_);
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment_);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rest.unpackRowLength);
}
