#include "render/gl/zeGLInternal.h"

#include "base/zeMessage.h"

namespace {

GLuint compile(const char* who, GLenum stage, const char* source) {
  GLuint shader = glCreateShader(stage);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    zeMessage(ZE_ERROR, "%s: shader does not compile: %s", who, log);
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

GLuint zeGLBuildProgram(const char* who, const char* vertexSource, const char* fragmentSource) {
  GLuint vs = compile(who, GL_VERTEX_SHADER, vertexSource);
  GLuint fs = compile(who, GL_FRAGMENT_SHADER, fragmentSource);
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    return 0;
  }
  GLuint linked = glCreateProgram();
  glAttachShader(linked, vs);
  glAttachShader(linked, fs);
  glLinkProgram(linked);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(linked, GL_LINK_STATUS, &ok);
  if (!ok) {
    zeMessage(ZE_ERROR, "%s: program does not link", who);
    glDeleteProgram(linked);
    return 0;
  }
  return linked;
}
