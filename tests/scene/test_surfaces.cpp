// Object surfaces on the NULL driver: the script commands and their argument
// errors, and a scene's surfaces applied at load and every frame, with the
// textures, effects and renderer they reach recorded.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "mesh/CZeSurfaceLightwave.h"
#include "sceneFixture.h"
#include "scene/IZeEffect.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeObject.h"
#include "scene/zeObjectSurface.h"
#include "scene/zeScene.h"

using namespace irr;

namespace {

video::ITexture* nullTexture(const std::string& name) {
  video::IVideoDriver* driver = zeEngineContext().driver;
  if (video::ITexture* t = driver->findTexture(name.c_str())) return t;
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 2));
  video::ITexture* t = driver->addTexture(name.c_str(), image);
  image->drop();
  return t;
}

struct FakeEffect : IZeEffect {
  void applyToMaterial(video::SMaterial&, SZeMaterialRecord&, int, int) override {}
  void clearFromMaterial(video::SMaterial&, SZeMaterialRecord&) override {}
  bool needsTangents() const override { return false; }
  int samplerHandle(const char* name) const override { return std::string(name) == "LW_Tex_BaseColor" ? 0 : -1; }
  bool setSamplerTexture(int, video::ITexture*, bool) override { return true; }
};

// Records what the surfaces ask; files named "missing..." cannot be had.
class RecordingServices : public CZeSurfaceServicesSeam {
 public:
  std::vector<std::string> calls;
  bool failCompile = false;
  FakeEffect* tableEffect = new FakeEffect;
  ~RecordingServices() override { tableEffect->drop(); }

  template <class... A>
  void note(const char* format, A... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    calls.push_back(line);
  }
  std::vector<std::string> with(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
  }

  video::ITexture* loadTexture(const char* file, int channel, bool mipmaps) override {
    note("texture %s %d %d", file, channel, mipmaps ? 1 : 0);
    return std::string(file).compare(0, 7, "missing") == 0 ? nullptr : nullTexture(file);
  }
  bool imageTexture(int id, video::ITexture** texture) override {
    if (id != 5) return false;
    *texture = nullTexture("image 5");
    return true;
  }
  IZeEffect* effect(int id, const char** reason) override {
    *reason = "id 3 is the only one";
    return id == 3 ? tableEffect : nullptr;
  }
  IZeEffect* compileEffect(const char* file, int baseMaterial, const SZeSurfaceMacro* macros,
                           const char* cflags) override {
    std::string list;
    for (const SZeSurfaceMacro* m = macros; m->name[0]; ++m) list += std::string(m->name) + ",";
    note("compile %s %d %s'%s'", file, baseMaterial, list.c_str(), cflags);
    return failCompile ? nullptr : new FakeEffect;
  }
  bool setEffectTextures(IZeEffect*, const ZF_EffectParams& p) override {
    note("effectTextures %s %d", p.filename, p.count);
    return true;
  }
  bool setEffectParams(IZeEffect*, const ZF_EffectParams& p) override {
    note("effectParams %d %g", p.count, p.count ? p.params[0].value[0] : 0.0f);
    return true;
  }
};

IZeSurfaceLightwave* surfaceOf(int id, u32 row) {
  IZeSceneNodeExt* ext = zeFindNodeExt(zeObjectNode(id));
  IZeSurface* s = ext ? ext->getSurface(row) : nullptr;
  return s && s->getKind() == ZE_SURFACE_LIGHTWAVE ? static_cast<IZeSurfaceLightwave*>(s) : nullptr;
}

class SurfaceTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    zeSetSurfaceServices(&services);
    dir = tempDirectory();
  }
  void TearDown() override {
    zeDeleteAllScenes();
    zeSetSurfaceServices(nullptr);
    SceneTest::TearDown();
  }
  // A scene of one object (a cube of `rows` buffers) whose SceneObjects
  // surfaces are `surfaces` (the body of "Surfaces").
  int loadScene(const std::string& surfaces, int rows = 1) {
    scene::SMesh* mesh = makeCubeMesh(rows);
    scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
    cacheMesh("box.x", animated);
    animated->drop();
    mesh->drop();
    const std::string text =
        "{ Scene\n{ SceneInfo\nframeStart I4 0\nframeEnd I4 50\nframeStep I4 1\nframesPerSecond FP 25\n}\n"
        "{ Cameras\n{ C\nposition FP 0 0 -10\n}\n}\n"
        "{ SceneObjects\n{ M\nfilename STR box.lwo\n{ Surfaces\n" +
        surfaces +
        "}\n}\n}\n"
        "{ Objects\n{ O\nzfilename STR box.x\nname STR box\nfilename STR box.lwo\n}\n}\n}\n";
    const std::string path = dir + "/surfaces.zscn";
    writeText(path, text);
    ZeSceneLoadParams params;
    params.objectBase = 1;
    return zeLoadScene(0, path.c_str(), "", params);
  }
  RecordingServices services;
  std::string dir;
};

// One surface's text: its Parameters body and an optional Shader body.
std::string surface(const std::string& parameters, const std::string& shader = "") {
  return "{ s\nname STR Default\n{ Parameters\n" + parameters + "}\n" +
         (shader.empty() ? "" : "{ Shader\n" + shader + "}\n") + "}\n";
}
std::string channel(const char* name, const std::string& body) { return std::string("{ ") + name + "\n" + body + "}\n"; }

}  // namespace

TEST_F(SurfaceTest, ScriptCommandsSetChannelsAndRefuseWhatIsNotThere) {
  cacheStatic("a.x");
  ASSERT_EQ(zeLoadObject(1, "a.x"), 0);
  IZeSurfaceLightwave* s = surfaceOf(1, 0);
  ASSERT_NE(s, nullptr);  // every material got one
  EXPECT_EQ(zeSetObjectSurfaceParamFloat3(1, 0, "BaseColor", 0.2f, 0.4f, 0.6f), 0);
  EXPECT_EQ(zeSetObjectSurfaceParamFloat(1, 0, "Luminosity", 1.0f), 0);
  EXPECT_EQ(zeSetObjectSurfaceParamInt(1, 0, "Sidedness", 3), 0);
  EXPECT_EQ(zeSetObjectSurfaceParamFloat(1, 0, "VertexNormal", 0.5f), 0);  // the last channel
  EXPECT_EQ(zeSetObjectSurfaceParamTex(1, 0, "Bump", "bumps.png", false), 0);
  EXPECT_EQ(services.with("texture"), std::vector<std::string>{"texture bumps.png 8 0"});
  EXPECT_EQ(zeSetObjectSurfaceParamTexImg(1, 0, "BaseColor", 5), 0);
  EXPECT_EQ(s->getTexture(ZE_LW_BASE_COLOR), nullTexture("image 5"));
  EXPECT_FLOAT_EQ(s->getFloat(ZE_LW_VERTEX_NORMAL), 0.5f);
  // The values reach the material when the object is updated.
  scene::ISceneNode* node = zeObjectNode(1);
  EXPECT_TRUE(node->getMaterial(0).BackfaceCulling);
  EXPECT_EQ(zeUpdateObjectFromSurfaces(1), 0);
  EXPECT_EQ(node->getMaterial(0).EmissiveColor, video::SColor(255, 51, 102, 153));
  EXPECT_FALSE(node->getMaterial(0).BackfaceCulling);
  EXPECT_EQ(node->getMaterial(0).MaterialType, video::EMT_PARALLAX_MAP_SOLID);  // the bump map
  // which needs tangents: the object now draws a tangent copy of its mesh.
  EXPECT_EQ(static_cast<scene::IMeshSceneNode*>(node)->getMesh()->getMeshBuffer(0)->getVertexType(),
            video::EVT_TANGENTS);
  EXPECT_EQ(zeSetObjectSurfaceEffect(1, 0, 3), 0);
  EXPECT_EQ(zeFindNodeExt(node)->getEffect(0), services.tableEffect);
  EXPECT_EQ(zeSetObjectSurfaceEffectTechnique(1, 0, 2), 0);
  EXPECT_EQ(zeFindNodeExt(node)->getMaterialRecord(0)->technique, 2);
  takeError();

  const struct {
    std::function<int()> call;
    int arg;
    const char* error;
  } refused[] = {
      {[] { return zeSetObjectSurfaceParamFloat(7, 0, "Diffuse", 1); }, 1, "Object ID 7 does not exist"},
      {[] { return zeSetObjectSurfaceParamFloat(1, 1, "Diffuse", 1); }, 2, "Object ID 1 has no surface 1"},
      {[] { return zeSetObjectSurfaceParamFloat(1, -1, "Diffuse", 1); }, 2, "Object ID 1 has no surface -1"},
      {[] { return zeSetObjectSurfaceParamFloat(1, 0, "VertexNormals", 9); }, 3, "the parameter does not exist"},
      {[] { return zeSetObjectSurfaceParamInt(1, 0, "sidedness", 0); }, 3, "the parameter does not exist"},
      {[] { return zeSetObjectSurfaceParamFloat3(1, 0, "", 9, 9, 9); }, 3, "the parameter does not exist"},
      {[] { return zeSetObjectSurfaceParamTex(1, 0, "Bump", "missing.png", true); }, 4,
       "Texture does not exist 'missing.png'"},
      {[] { return zeSetObjectSurfaceParamTexImg(1, 0, "Bump", 6); }, 4, "Image 6 does not exist"},
      {[] { return zeSetObjectSurfaceEffect(1, 0, 4); }, 3, "Effect ID 4 does not exist. id 3 is the only one"},
      {[] { return zeSetObjectSurfaceEffectTechnique(1, 2, 0); }, 2, "Object ID 1 has no surface 2"},
      {[] { return zeUpdateObjectFromSurfaces(8); }, 1, "Object ID 8 does not exist"},
  };
  for (const auto& c : refused) {
    int arg = 0;
    EXPECT_EQ(c.call(), -1) << c.error;
    EXPECT_EQ(takeError(&arg), c.error);
    EXPECT_EQ(arg, c.arg) << c.error;
  }
  // Refused names changed nothing.
  EXPECT_FLOAT_EQ(s->getFloat(ZE_LW_VERTEX_NORMAL), 0.5f);
  EXPECT_EQ(s->getInt(ZE_LW_SIDEDNESS), 3);
  EXPECT_NE(s->getTexture(ZE_LW_BUMP), nullptr);
}

TEST_F(SurfaceTest, SceneSurfacesFillTheRowsAtLoadAndPlayEveryFrame) {
  const std::string colour = "value FP_C [\nDAT 2 1 0\nDAT 2 0 0\nDAT 2 0 1\n]\nimg_filename STR pic.png\n"
                             "img_colorspace I4 1\nimg_mipmap I4 0\n";
  ASSERT_EQ(loadScene(surface(channel("BaseColor", colour) + channel("Luminosity", "value FP 1\n") +
                              channel("Diffuse", "value FP 0\n") + channel("VertexColoring", "value FP 0\n") +
                              channel("Sidedness", "value I4 3\n") + channel("Glossiness", "value FP_C DAT 2 0.5 0.25\n") +
                              channel("ReflectionImage", "value STR sky.png\n"))),
            0)
      << takeError();
  IZeSurfaceLightwave* s = surfaceOf(1, 0);
  ASSERT_NE(s, nullptr);
  // Images by their own lookup, mipmaps as the scene asks (1 when it does not say).
  EXPECT_EQ(services.with("texture"),
            (std::vector<std::string>{"texture pic.png 0 0", "texture sky.png 35 1"}));
  EXPECT_EQ(s->getTexture(ZE_LW_BASE_COLOR), nullTexture("pic.png"));
  EXPECT_TRUE(s->getColorSpace(ZE_LW_BASE_COLOR));
  EXPECT_FALSE(s->getColorSpace(ZE_LW_REFLECTION_IMAGE));
  EXPECT_EQ(s->getInt(ZE_LW_SIDEDNESS), 3);
  // No effect of its own and no renderer drawing with effects: the material shows it.
  EXPECT_TRUE(services.with("compile").empty());
  scene::ISceneNode* node = zeObjectNode(1);
  EXPECT_EQ(zeFindNodeExt(node)->getEffect(0), nullptr);
  EXPECT_EQ(node->getMaterial(0).EmissiveColor, video::SColor(255, 255, 0, 0));
  EXPECT_EQ(node->getMaterial(0).DiffuseColor, video::SColor(255, 0, 0, 0));
  EXPECT_EQ(node->getMaterial(0).getTexture(0), nullTexture("pic.png"));
  EXPECT_FALSE(node->getMaterial(0).BackfaceCulling);

  // Frame 1: the animated values play; images are not loaded again.
  zeAnimateScene(0, 40);
  EXPECT_EQ(node->getMaterial(0).EmissiveColor, video::SColor(255, 0, 0, 255));
  EXPECT_FLOAT_EQ(node->getMaterial(0).Shininess, 32.0f);
  EXPECT_EQ(services.with("texture").size(), 2u);
  zeAnimateScene(0, 0);
  EXPECT_EQ(node->getMaterial(0).EmissiveColor, video::SColor(255, 255, 0, 0));
}

TEST_F(SurfaceTest, BadSurfacesLoadWithAMessageAndTheDefaults) {
  zeSetMessageThreshold(ZE_WARN);
  testing::internal::CaptureStdout();
  ASSERT_EQ(loadScene(surface(channel("BaseColor", "value FP 1 0\n") + channel("Diffuse", "value FP 0.5 0.5 0.5\n") +
                              channel("Colour", "value FP 1 0 0\n") + channel("Luminosity", "value FP 0.75\n") +
                              channel("Bump", "value FP 1\nimg_filename STR missing.png\n"))),
            0)
      << takeError();
  const std::string log = testing::internal::GetCapturedStdout();
  for (const char* said : {"surface 'Default' of 'box.lwo' has no channel 'Colour'; ignored",
                           "Object ID 1, Surf 0, Param 0: 'BaseColor' takes 3 values, the scene gives 2; ignored",
                           "Object ID 1, Surf 0, Param 2: 'Diffuse' takes 1 value, the scene gives 3; ignored"})
    EXPECT_NE(log.find(said), std::string::npos) << said << "\n" << log;
  EXPECT_EQ(shownBoxes, std::vector<std::string>{"Object ID 1, Surf 0, Param 8: texture 'missing.png' not found"});
  IZeSurfaceLightwave* s = surfaceOf(1, 0);
  ASSERT_NE(s, nullptr);
  // What the object's material gave stays; the sound values are taken.
  EXPECT_FLOAT_EQ(s->getValue(ZE_LW_BASE_COLOR)[0], 1.0f);  // the cube's white
  EXPECT_FLOAT_EQ(s->getFloat(ZE_LW_DIFFUSE), 1.0f);
  EXPECT_FLOAT_EQ(s->getFloat(ZE_LW_LUMINOSITY), 0.75f);
  EXPECT_EQ(s->getTexture(ZE_LW_BUMP), nullptr);
  // Said once: frames do not repeat it.
  testing::internal::CaptureStdout();
  zeAnimateScene(0, 40);
  EXPECT_EQ(testing::internal::GetCapturedStdout().find("takes"), std::string::npos);
}

TEST_F(SurfaceTest, SurfaceEffectsCompileWithTheSurfaceMacrosInBitOrder) {
  const std::string shader = "applyToSurface I4 0\n{ Effect\nfilename STR lit.hlsl\ncflags STR EXTRA=2\n"
                             "{ Parameters\n{ Tint\nvalue FP_C DAT 2 0.25 0.75\n}\n}\n}\n";
  ASSERT_EQ(loadScene(surface(channel("Transparency", "value FP 0.5\n") + channel("BaseColor", "value STR pic.png\n"),
                              shader)),
            0)
      << takeError();
  EXPECT_EQ(services.with("compile"),
            std::vector<std::string>{"compile lit.hlsl 13 USE_TEX_COLOR,USE_TRANSPARENT,'EXTRA=2'"});
  IZeSceneNodeExt* ext = zeFindNodeExt(zeObjectNode(1));
  ASSERT_NE(ext->getEffect(0), nullptr);
  // The row binds the surface's colour map to the effect's LW_Tex_BaseColor.
  ASSERT_EQ(ext->getMaterialRecord(0)->textureCount, 1);
  EXPECT_EQ(ext->getMaterialRecord(0)->textures[0].texture, nullTexture("pic.png"));
  EXPECT_EQ(services.with("effectTextures"), std::vector<std::string>{"effectTextures lit.hlsl 1"});
  EXPECT_EQ(services.with("effectParams"), std::vector<std::string>{"effectParams 1 0.25"});
  zeAnimateScene(0, 40);
  EXPECT_EQ(services.with("effectParams").back(), "effectParams 1 0.75");
  EXPECT_EQ(services.with("compile").size(), 1u);  // frames decide no effects

  // A build that fails says so, shown, and the row keeps what it had.
  zeDeleteScene(0);
  services.calls.clear();
  services.failCompile = true;
  shownBoxes.clear();
  ASSERT_EQ(loadScene(surface("", shader)), 0);
  EXPECT_EQ(shownBoxes, std::vector<std::string>{"Object ID 1, Surf 0 : Failed to compile effect lit.hlsl"});
  EXPECT_TRUE(services.with("effectParams").empty());
}

TEST_F(SurfaceTest, MoreSurfacesThanRowsStopAtTheFirstMissingRow) {
  ASSERT_EQ(loadScene(surface(channel("Luminosity", "value FP 0.5\n")) + surface(channel("Luminosity", "value FP 0.25\n")) +
                          surface(channel("Luminosity", "value FP 1\n")),
                      2),
            0);
  int arg = 0;
  EXPECT_EQ(takeError(&arg), "Object ID 1 has no surface 2, cannot SetSurfaces");
  EXPECT_EQ(arg, 1);
  EXPECT_FLOAT_EQ(surfaceOf(1, 0)->getFloat(ZE_LW_LUMINOSITY), 0.5f);
  EXPECT_FLOAT_EQ(surfaceOf(1, 1)->getFloat(ZE_LW_LUMINOSITY), 0.25f);
}

TEST_F(SurfaceTest, WithoutServicesSurfacesSayOnceWhatIsNotBuilt) {
  zeSetSurfaceServices(nullptr);
  zeSetMessageThreshold(ZE_INFO);
  cacheStatic("b.x");
  ASSERT_EQ(zeLoadObject(1, "b.x"), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(zeSetObjectSurfaceParamTex(1, 0, "BaseColor", "x.png", true), -1);
  EXPECT_EQ(zeSetObjectSurfaceParamTex(1, 0, "BaseColor", "x.png", true), -1);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("Surface textures: not built yet"), std::string::npos) << log;
  EXPECT_EQ(log.find("not built yet"), log.rfind("not built yet"));
}
