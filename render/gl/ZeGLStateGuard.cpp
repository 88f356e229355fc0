#include "render/gl/ZeGLStateGuard.h"

#include "render/gl/ZeGLPixelCentre.h"
#include "render/gl/zeGLInternal.h"

namespace {

// Capabilities the guard saves and restores, in the order of enabled_.
const GLenum guardedCapabilities[8] = {GL_BLEND,   GL_DEPTH_TEST,   GL_CULL_FACE,          GL_SCISSOR_TEST,
                                       GL_STENCIL_TEST, GL_ALPHA_TEST, GL_POLYGON_OFFSET_FILL, GL_FRAMEBUFFER_SRGB};

int getInt(GLenum what) {
  GLint value = 0;
  glGetIntegerv(what, &value);
  return value;
}

void setCapability(GLenum capability, bool on) {
  if (on)
    glEnable(capability);
  else
    glDisable(capability);
}

}  // namespace

ZeGLStateGuard::ZeGLStateGuard(Framebuffer framebuffer) : restoreFramebuffer_(framebuffer == RestoreFramebuffer) {
  drawFramebuffer_ = getInt(GL_DRAW_FRAMEBUFFER_BINDING);
  readFramebuffer_ = getInt(GL_READ_FRAMEBUFFER_BINDING);
  program_ = getInt(GL_CURRENT_PROGRAM);
  activeTexture_ = getInt(GL_ACTIVE_TEXTURE);
  vertexArray_ = getInt(GL_VERTEX_ARRAY_BINDING);
  arrayBuffer_ = getInt(GL_ARRAY_BUFFER_BINDING);
  for (int i = 0; i < kUnits; ++i) {
    glActiveTexture(GL_TEXTURE0 + i);
    textures2D_[i] = getInt(GL_TEXTURE_BINDING_2D);
    texturesCube_[i] = getInt(GL_TEXTURE_BINDING_CUBE_MAP);
    samplers_[i] = getInt(GL_SAMPLER_BINDING);
  }
  glActiveTexture(activeTexture_);
  glGetIntegerv(GL_VIEWPORT, viewport_);
  glGetIntegerv(GL_SCISSOR_BOX, scissorBox_);
  for (int i = 0; i < 8; ++i) enabled_[i] = glIsEnabled(guardedCapabilities[i]);
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
  unpackRowLength_ = getInt(GL_UNPACK_ROW_LENGTH);
}

ZeGLStateGuard::~ZeGLStateGuard() {
  if (restoreFramebuffer_) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFramebuffer_);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer_);
  }
  glUseProgram(program_);
  glBindVertexArray(vertexArray_);
  glBindBuffer(GL_ARRAY_BUFFER, arrayBuffer_);
  for (int i = 0; i < kUnits; ++i) {
    glActiveTexture(GL_TEXTURE0 + i);
    glBindTexture(GL_TEXTURE_2D, textures2D_[i]);
    glBindTexture(GL_TEXTURE_CUBE_MAP, texturesCube_[i]);
    glBindSampler(i, samplers_[i]);
  }
  glActiveTexture(activeTexture_);
  zeGLSetViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
  glScissor(scissorBox_[0], scissorBox_[1], scissorBox_[2], scissorBox_[3]);
  for (int i = 0; i < 8; ++i) setCapability(guardedCapabilities[i], enabled_[i]);
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
  glPixelStorei(GL_UNPACK_ROW_LENGTH, unpackRowLength_);
}
