// The GL state guard on a real context: everything Irrlicht caches comes back
// as it was, and the state only the engine sets goes back to rest, whatever the
// guarded code changed.
#include <gtest/gtest.h>

#include <vector>

#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "render/gl/ZeGLStateGuard.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "render/gl/zeGLInternal.h"

namespace {

int getInt(GLenum what) {
  GLint value = 0;
  glGetIntegerv(what, &value);
  return value;
}

int boundOnUnit(int unit, GLenum binding) {
  glActiveTexture(GL_TEXTURE0 + unit);
  const int name = getInt(binding);
  glActiveTexture(GL_TEXTURE0);
  return name;
}

class GLStateGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    zeGLInstall();
    zeInstallMainRenderer();
    ZeEngineSettings s;
    s.width = 64;
    s.height = 48;
    s.windowed = 1;
    ASSERT_EQ(zeEngineStart(s), 0) << zeStartFailureReason();
    ASSERT_TRUE(zeEngineContext().openGL);
  }
  void TearDown() override { zeEngineStop(); }
};

}  // namespace

TEST_F(GLStateGuard, IrrlichtsStateComesBackAndTheEnginesGoesToRest) {
  GLuint textures[4];
  glGenTextures(4, textures);
  GLuint sampler = 0, vertexArray = 0, buffer = 0;
  glGenSamplers(1, &sampler);
  glGenVertexArrays(1, &vertexArray);
  glGenBuffers(1, &buffer);
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, textures[0]);
  glActiveTexture(GL_TEXTURE0);

  // What Irrlicht may have set, to values no default has.
  glViewport(1, 2, 30, 40);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_SRC_ALPHA);
  glDepthFunc(GL_GREATER);
  glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE);
  glPixelStorei(GL_PACK_ALIGNMENT, 2);
  glUseProgram(0);
  struct Expect {
    const char* what;
    int (*read)();
    int expected;
  };
  const std::vector<Expect> irrlicht = {
      {"viewport x", [] { GLint v[4]; glGetIntegerv(GL_VIEWPORT, v); return v[0]; }, 1},
      {"viewport height", [] { GLint v[4]; glGetIntegerv(GL_VIEWPORT, v); return v[3]; }, 40},
      {"blend", [] { return static_cast<int>(glIsEnabled(GL_BLEND)); }, 1},
      {"blend source", [] { return getInt(GL_BLEND_SRC_RGB); }, GL_ONE},
      {"depth function", [] { return getInt(GL_DEPTH_FUNC); }, GL_GREATER},
      {"green writes", [] { GLboolean m[4]; glGetBooleanv(GL_COLOR_WRITEMASK, m); return static_cast<int>(m[1]); }, 0},
      {"pack alignment", [] { return getInt(GL_PACK_ALIGNMENT); }, 2},
      {"active unit", [] { return getInt(GL_ACTIVE_TEXTURE); }, GL_TEXTURE0},
      {"program", [] { return getInt(GL_CURRENT_PROGRAM); }, 0},
  };
  const int textureOnUnit2 = static_cast<int>(textures[0]);

  {
    CZeGLStateGuard guard;
    glViewport(0, 0, 8, 8);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE);
    glDepthFunc(GL_LESS);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    // The engine's own state, left changed on purpose.
    glActiveTexture(GL_TEXTURE9);
    glBindTexture(GL_TEXTURE_2D, textures[2]);
    glActiveTexture(GL_TEXTURE5);
    glBindTexture(GL_TEXTURE_CUBE_MAP, textures[3]);
    glBindSampler(5, sampler);
    glBindVertexArray(vertexArray);
    glEnable(GL_FRAMEBUFFER_SRGB);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
  }

  for (const Expect& e : irrlicht) EXPECT_EQ(e.read(), e.expected) << e.what;
  EXPECT_EQ(boundOnUnit(2, GL_TEXTURE_BINDING_2D), textureOnUnit2);
  EXPECT_EQ(boundOnUnit(9, GL_TEXTURE_BINDING_2D), 0);
  EXPECT_EQ(boundOnUnit(5, GL_TEXTURE_BINDING_CUBE_MAP), 0);
  glActiveTexture(GL_TEXTURE5);
  EXPECT_EQ(getInt(GL_SAMPLER_BINDING), 0);
  glActiveTexture(GL_TEXTURE0);
  EXPECT_EQ(getInt(GL_VERTEX_ARRAY_BINDING), 0);
  EXPECT_FALSE(glIsEnabled(GL_FRAMEBUFFER_SRGB));
  EXPECT_EQ(getInt(GL_UNPACK_ROW_LENGTH), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  glDeleteTextures(4, textures);
  glDeleteSamplers(1, &sampler);
  glDeleteVertexArrays(1, &vertexArray);
  glDeleteBuffers(1, &buffer);
}
