#include "render/gl/ZeGL2D.h"

#include <cstddef>
#include <vector>

#include "base/zeMessage.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/gl/ZeGLStateGuard.h"
#include "render/gl/zeGLInternal.h"
#include "render/image/CZeImage.h"

namespace {

struct Program {
  GLuint name = 0;
  bool failed = false;
  GLuint vertexArray = 0;
};

Program imageProgram;
Program loadingProgram;
Program boxProgram;
GLuint boxBuffer = 0;

// Positions in pixels and a colour per vertex.
const char* const boxVertex = R"(#version 330
layout(location = 0) in vec2 position;
layout(location = 1) in vec4 colour;
uniform vec2 target;
out vec4 tint;
void main() {
  vec2 at = position / target;
  tint = colour;
  gl_Position = vec4(at.x * 2.0 - 1.0, 1.0 - at.y * 2.0, 0.0, 1.0);
}
)";

const char* const boxFragment = R"(#version 330
in vec4 tint;
out vec4 colour;
void main() { colour = tint; }
)";

struct BoxVertex {
  float x, y;
  unsigned char rgba[4];
};

// The four corners of a rectangle from gl_VertexID; rect is left, top,
// right, bottom in pixels, target the target's size. Clip +1 is the top row.
const char* const rectVertex = R"(#version 330
uniform vec4 rect;
uniform vec2 target;
out vec2 uv;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  uv = corner;
  vec2 at = mix(rect.xy, rect.zw, corner) / target;
  gl_Position = vec4(at.x * 2.0 - 1.0, 1.0 - at.y * 2.0, 0.0, 1.0);
}
)";

const char* const imageFragment = R"(#version 330
uniform sampler2D image;
uniform vec4 tint;
uniform float useAlpha;
uniform float luminance;
in vec2 uv;
out vec4 colour;
void main() {
  vec4 texel = texture(image, uv);
  if (luminance > 0.5) texel = vec4(texel.rrr, 1.0);
  colour = vec4(texel.rgb * tint.rgb, mix(1.0, texel.a, useAlpha) * tint.a);
}
)";

// Two bars crossing as an X, filled by progress, fading out above 1.
const char* const loadingFragment = R"(#version 330
uniform vec2 resolution;
uniform float progress;
uniform sampler2D image;
out vec4 colour;
float bar(vec2 p, float fill) {
  vec2 a = abs(p);
  float outside = (a.x < 0.255 && a.y < 0.04) ? 1.0 : 0.0;
  float inside = (a.x < 0.245 && a.y < 0.03) ? 1.0 : 0.0;
  float open = a.x < 0.03 ? 1.0 : 0.0;
  float outline = outside * (1.0 - inside) * (1.0 - open);
  float filled = (a.x > 0.0 && a.x < 0.235 && a.x < 0.224 * fill + 0.018 && a.y < 0.02) ? 1.0 : 0.0;
  return max(outline * 2.0, filled);
}
void main() {
  vec2 p = gl_FragCoord.xy / resolution - 0.5;
  p.y *= resolution.y / resolution.x;
  p *= 1.5;
  const float s = 0.70710678;
  vec2 r1 = vec2(p.x * s - p.y * s, p.x * s + p.y * s);
  vec2 r2 = vec2(p.x * s + p.y * s, -p.x * s + p.y * s);
  float b = max(bar(r1, progress), bar(r2, progress));
  vec3 fillColour = mix(vec3(0.2, 0.5, 0.8), vec3(1.0), pow(clamp(progress, 0.0, 1.0), 5.0));
  vec3 c = b > 1.5 ? vec3(1.0) : (b > 0.5 ? fillColour : vec3(0.0));
  c *= min(1.0, progress);
  c = mix(c, vec3(0.0), clamp((progress - 1.0) * 5.0, 0.0, 1.0));
  colour = vec4(c, 1.0);
}
)";

bool build(Program& program, const char* fragmentSource, const char* vertexSource = rectVertex) {
  if (program.name) return true;
  if (program.failed) return false;
  program.failed = true;  // reported once
  GLuint linked = zeGLBuildProgram("ZeGL2D", vertexSource, fragmentSource);
  if (!linked) return false;
  program.name = linked;
  program.failed = false;
  glGenVertexArrays(1, &program.vertexArray);
  return true;
}

void release(Program& program) {
  if (program.name) glDeleteProgram(program.name);
  if (program.vertexArray) glDeleteVertexArrays(1, &program.vertexArray);
  program = Program();
}

void commonState() {
  for (GLenum capability : {GL_DEPTH_TEST, GL_CULL_FACE, GL_SCISSOR_TEST, GL_STENCIL_TEST})
    glDisable(capability);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

}  // namespace

ZeTextureHandle zeGLUploadImage(const std::string& name, const CZeImage& image) {
  CZeGLRegistry* registry = CZeGLRegistry::get();
  if (!registry) return {};
  GLenum format, type;
  switch (image.zeFormat()) {
    case 3: format = GL_BGRA; type = GL_UNSIGNED_BYTE; break;  // Irrlicht's A8R8G8B8 bytes
    case 4: format = GL_RED; type = GL_UNSIGNED_BYTE; break;
    case 5: format = GL_RED; type = GL_UNSIGNED_SHORT; break;
    case 13: format = GL_RGBA; type = GL_HALF_FLOAT; break;
    default: return {};
  }
  const ZeTextureHandle handle = registry->addTexture(name, image.width(), image.height(), image.zeFormat());
  CZeGLTexture* texture = registry->texture(handle);
  if (!texture) return {};
  CZeGLStateGuard guard;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture->name());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // Row 0 is the top row, at t = 0 as the engine's texture coordinates expect.
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image.width(), image.height(), format, type, image.data());
  return handle;
}

bool zeGLDrawImage2D(const CZeGLTexture& texture, int x, int y, int width, int height, unsigned colour,
                     bool useAlpha) {
  if (!texture.name()) return false;
  CZeGLStateGuard guard;
  if (!build(imageProgram, imageFragment)) return false;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const GLuint p = imageProgram.name;
  glUseProgram(p);
  glUniform4f(glGetUniformLocation(p, "rect"), static_cast<float>(x), static_cast<float>(y),
              static_cast<float>(x + width), static_cast<float>(y + height));
  glUniform2f(glGetUniformLocation(p, "target"), static_cast<float>(viewport[2]), static_cast<float>(viewport[3]));
  glUniform4f(glGetUniformLocation(p, "tint"), ((colour >> 16) & 255) / 255.0f, ((colour >> 8) & 255) / 255.0f,
              (colour & 255) / 255.0f, (colour >> 24) / 255.0f);
  glUniform1f(glGetUniformLocation(p, "useAlpha"), useAlpha ? 1.0f : 0.0f);
  const bool luminance = texture.format() == 4 || texture.format() == 5;
  glUniform1f(glGetUniformLocation(p, "luminance"), luminance ? 1.0f : 0.0f);
  glUniform1i(glGetUniformLocation(p, "image"), 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture.name());
  glBindSampler(0, 0);
  glBindVertexArray(imageProgram.vertexArray);
  commonState();
  if (useAlpha || (colour >> 24) < 255) {
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_BLEND);
  }
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  return true;
}

bool zeGLDrawLoadingShader(float width, float height, float progress, const CZeGLTexture* image) {
  CZeGLStateGuard guard;
  if (!build(loadingProgram, loadingFragment)) return false;
  const GLuint p = loadingProgram.name;
  glUseProgram(p);
  glUniform4f(glGetUniformLocation(p, "rect"), 0.0f, 0.0f, width, height);
  glUniform2f(glGetUniformLocation(p, "target"), width, height);
  glUniform2f(glGetUniformLocation(p, "resolution"), width, height);
  glUniform1f(glGetUniformLocation(p, "progress"), progress);
  glUniform1i(glGetUniformLocation(p, "image"), 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, image ? image->name() : 0);
  glBindSampler(0, 0);
  glBindVertexArray(loadingProgram.vertexArray);
  commonState();
  glDisable(GL_BLEND);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  return true;
}

bool zeGLDrawBoxes(const SZeGLBox* boxes, int count) {
  static std::vector<BoxVertex> vertices;  // reused: a frame allocates once
  vertices.clear();
  for (int i = 0; i < count; ++i) {
    const SZeGLBox& b = boxes[i];
    if (b.x2 < b.x1 || b.y2 < b.y1) continue;
    const unsigned char rgba[4] = {static_cast<unsigned char>(b.colour >> 16), static_cast<unsigned char>(b.colour >> 8),
                                   static_cast<unsigned char>(b.colour), static_cast<unsigned char>(b.colour >> 24)};
    const float x1 = static_cast<float>(b.x1), y1 = static_cast<float>(b.y1);
    const float x2 = static_cast<float>(b.x2), y2 = static_cast<float>(b.y2);
    const float xs[6] = {x1, x2, x2, x1, x2, x1}, ys[6] = {y1, y1, y2, y1, y2, y2};
    for (int v = 0; v < 6; ++v) vertices.push_back({xs[v], ys[v], {rgba[0], rgba[1], rgba[2], rgba[3]}});
  }
  if (vertices.empty()) return true;
  CZeGLStateGuard guard;
  if (!build(boxProgram, boxFragment, boxVertex)) return false;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  glUseProgram(boxProgram.name);
  glUniform2f(glGetUniformLocation(boxProgram.name, "target"), static_cast<float>(viewport[2]),
              static_cast<float>(viewport[3]));
  glBindVertexArray(boxProgram.vertexArray);
  if (!boxBuffer) {
    glGenBuffers(1, &boxBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, boxBuffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(BoxVertex), reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(BoxVertex),
                          reinterpret_cast<void*>(offsetof(BoxVertex, rgba)));
  }
  glBindBuffer(GL_ARRAY_BUFFER, boxBuffer);
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(vertices.size() * sizeof(BoxVertex));
  glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);  // a fresh store each frame
  glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices.data());
  commonState();
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
  return true;
}

void zeGLRelease2D() {
  release(imageProgram);
  release(loadingProgram);
  release(boxProgram);
  if (boxBuffer) glDeleteBuffers(1, &boxBuffer);
  boxBuffer = 0;
}
