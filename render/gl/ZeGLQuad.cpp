#include "render/gl/ZeGLQuad.h"

#include <cstdio>

#include "base/zeMessage.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/gl/ZeGLStateGuard.h"
#include "render/gl/zeGLInternal.h"

namespace {

GLuint program = 0;
GLuint emptyVertexArray = 0;
GLint rectLocation = -1;
GLint textureLocation = -1;

// The four corners come from gl_VertexID; no vertex buffer is needed.
const char* const vertexSource = R"(#version 330
uniform vec4 rect;  // left, top, right, bottom in normalised target coordinates
out vec2 uv;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  uv = corner;
  vec2 at = mix(rect.xy, rect.zw, corner);
  // Clip space +1 is the top row: the frame is rendered top row first.
  gl_Position = vec4(at.x * 2.0 - 1.0, 1.0 - at.y * 2.0, 0.0, 1.0);
}
)";

const char* const fragmentSource = R"(#version 330
uniform sampler2D image;
in vec2 uv;
out vec4 colour;
void main() { colour = texture(image, uv); }
)";

bool buildProgram() {
  if (program) return true;
  GLuint linked = zeGLBuildProgram("zeGLDrawTexture", vertexSource, fragmentSource);
  if (!linked) return false;
  program = linked;
  rectLocation = glGetUniformLocation(program, "rect");
  textureLocation = glGetUniformLocation(program, "image");
  glGenVertexArrays(1, &emptyVertexArray);
  return true;
}

}  // namespace

bool zeGLDrawTexture(const CZeGLTexture& texture, float left, float top, float right, float bottom) {
  if (!texture.name()) return false;
  CZeGLStateGuard guard;
  if (!buildProgram()) return false;
  glUseProgram(program);
  glUniform4f(rectLocation, left, top, right, bottom);
  glUniform1i(textureLocation, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture.name());
  glBindSampler(0, 0);
  glBindVertexArray(emptyVertexArray);
  for (GLenum capability : {GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_ALPHA_TEST})
    glDisable(capability);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  return true;
}

void zeGLReleaseQuad() {
  if (program) glDeleteProgram(program);
  if (emptyVertexArray) glDeleteVertexArrays(1, &emptyVertexArray);
  program = 0;
  emptyVertexArray = 0;
}
