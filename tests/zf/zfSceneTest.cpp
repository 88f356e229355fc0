// The scene view: schema resolution, shapes the engine cannot read, effect
// parameters, the surface effect choice, morph weights and the render
// command limits.
#include "zfTestUtil.h"

#include "zf/zfScene.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

struct ViewDeleter {
  void operator()(ZF_SceneView* view) const { ZF_SceneClose(view); }
};
using ViewPtr = std::unique_ptr<ZF_SceneView, ViewDeleter>;

ViewPtr openText(const std::string& text) {
  return ViewPtr(ZF_SceneOpenDocument(ZF_LoadMemory(text.data(), text.size())));
}

std::string scene(const std::string& body) { return "# scene\n{ Scene\n" + body + "}\n"; }

const char* kFull =
    "{ SceneInfo\nframeStart I4 10\nframeEnd I4 20\nframeStep I4 2\nframesPerSecond FP 25\n"
    "renderCamera FP_C DAT 3 0 1 0\n}\n"
    "{ CubeMaps\n{ C\nname STR sky\ntextureSize I4 64\n{ hideSet\na STR ball\nb STR nobody\n}\n"
    "{ showSet\na STR box\nb STR box\n}\n}\n{ C\nname STR floor\n}\n}\n"
    "{ Objects\n"
    "{ O\nzfilename STR box.x\nname STR box\nfilename STR box.lwo\nposition FP 1 2 3\n"
    "{ UseCubeMaps\n{ U\nrenderCubeMap STR floor\ninfluence FP 1\n}\n{ U\nrenderCubeMap STR none\n}\n}\n"
    "{ Morphs\n{ a\nvalue FP_C DAT 2 0 1\n}\n{ b\nvalue FP 0.5\n}\n{ c\nvalue FP 0\n}\n}\n}\n"
    "{ O\nzfilename STR ball.x\nname STR ball\nfilename STR ball.lwo\nscale FP 1 1\n"
    "{ MDD\nfilename STR ball.zmdd\nendBehavior I4 3\nmddTotalTime FP 2\n}\n}\n"
    "}\n"
    "{ SceneObjects\n{ S\nfilename STR box.lwo\n}\n{ S\nfilename STR box.lwo\n{ Surfaces\n{ s\nname STR a\n}\n}\n}\n}\n"
    "{ Cameras\n{ C\nzoomFactor STR wide\nresolution I4 320 240\n}\n}\n"
    "{ Lights\n{ L\nname STR sun\ntype I4 0\ncolor FP_C [\nDAT 2 0 1\nDAT 2 0 1\nDAT 2 0 1\n]\n"
    "intensity FP 1\n{ Volumetric\nflags I4 1 2\n}\n}\n}\n"
    "{ ProbesSettings\ntextureName STR probes\n{ showSet\na STR ball\n}\n}\n"
    "{ Probes\n{ P\nposition FP 1 2 3\nradius FP 4\n}\n}\n";

TEST(ZfScene, EveryKeyIsResolvedOnceIntoRecords) {
  testing::internal::CaptureStdout();
  ViewPtr view = openText(scene(kFull));
  const std::string log = testing::internal::GetCapturedStdout();
  ASSERT_NE(view, nullptr) << ZF_SceneLastError();
  const ZF_SceneView& v = *view;
  EXPECT_EQ(v.frameStart, 10);
  EXPECT_EQ(v.frameEnd, 20);
  EXPECT_EQ(v.frameStep, 2);
  EXPECT_EQ(v.framesPerSecond, 25.0f);
  ASSERT_EQ(v.objects.size(), 2u);
  // The last SceneObjects member with the file wins.
  EXPECT_EQ(v.objects[0].sceneObject, 1);
  EXPECT_EQ(v.objects[1].sceneObject, -1);
  ASSERT_EQ(v.objects[0].influences.size(), 2u);
  EXPECT_EQ(v.objects[0].influences[0].cubeMap, 1);
  EXPECT_EQ(v.objects[0].influences[1].cubeMap, -1);
  EXPECT_TRUE(v.objects[1].hasMdd);
  EXPECT_STREQ(v.objects[1].mddFile, "ball.zmdd");
  EXPECT_EQ(v.objects[1].endBehavior, 3);
  EXPECT_EQ(v.objects[1].mddTotalTime, 2.0f);
  // Names matching no object are dropped; the first object of a name wins.
  EXPECT_EQ(v.cubeMaps[0].hideSet, std::vector<int>{1});
  EXPECT_EQ(v.cubeMaps[0].showSet, (std::vector<int>{0, 0}));
  EXPECT_TRUE(v.probesActive);
  EXPECT_EQ(v.probesSettings.showSet, std::vector<int>{1});
  EXPECT_EQ(v.probes[0].radius, 4.0f);
  EXPECT_EQ(v.cameras[0].width, 320);
  EXPECT_EQ(v.cameras[0].height, 240);
  ASSERT_EQ(v.lights.size(), 1u);
  EXPECT_EQ(v.lights[0].type, 0);
  EXPECT_EQ(ZF_FP3_Lerp(v.lights[0].color, 0.5f).y, 0.5f);
  EXPECT_FALSE(v.hasRenderCommands);

  // Shapes the engine cannot read are dropped at open, once each: a text
  // zoom, a two-element scale, volumetric flags with fewer than 5 elements.
  EXPECT_EQ(v.cameras[0].zoomFactor, nullptr);
  EXPECT_EQ(v.objects[1].scale, nullptr);
  EXPECT_FALSE(v.lights[0].hasVolumetricFlags);
  EXPECT_NE(log.find("key 'zoomFactor'"), std::string::npos) << log;
  EXPECT_NE(log.find("key 'scale'"), std::string::npos) << log;
  EXPECT_NE(log.find("key 'flags'"), std::string::npos) << log;

  int indices[ZF_MAX_MORPH_WEIGHTS];
  float weights[ZF_MAX_MORPH_WEIGHTS];
  // Target "a" is 0 at sample 0, so only "b" (1-based index 2) is handed over.
  ASSERT_EQ(ZF_MorphWeightsEval(&v.objects[0], 0.0f, indices, weights), 1);
  EXPECT_EQ(indices[0], 2);
  ASSERT_EQ(ZF_MorphWeightsEval(&v.objects[0], 0.5f, indices, weights), 2);
  EXPECT_EQ(indices[0], 1);
  EXPECT_EQ(weights[0], 0.5f);
}

TEST(ZfScene, OpenFailuresAndTheLastError) {
  EXPECT_EQ(ZF_SceneOpen("/no/such/scene.zscn"), nullptr);
  EXPECT_STREQ(ZF_SceneLastError(), "");
  EXPECT_EQ(openText("# no scene here\nother I4 1\n"), nullptr);
  EXPECT_STREQ(ZF_SceneLastError(), "");
  EXPECT_EQ(openText("# scene as a value\nScene I4 1\n"), nullptr);
  ViewPtr empty = openText(scene(""));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->objects.size(), 0u);
  EXPECT_EQ(empty->cameras.size(), 0u);
}

TEST(ZfScene, EffectParameterKindsAndValues) {
  const std::string text = scene(
      "{ ZarnPostProcs\n{ P\n{ Effect\nfilename STR fx.hlsl\ncflags STR -DX\n{ Parameters\n"
      "{ none\n}\n"
      "{ vec\nvalue FP_C [\nDAT 2 0 2\nDAT 2 0 4\nDAT 2 0 6\n]\n}\n"
      "{ three\nvalue FP 1 2 3\n}\n"
      "{ two\nvalue FP 7 8\n}\n"
      "{ animated\nvalue FP_C DAT 2 0 10\n}\n"
      "{ text\nvalue STR tex.png\nimg_colorspace I4 1\nimg_reference I4 2\n}\n"
      "{ int\nvalue I4 5\n}\n"
      "{ badArray\nvalue FP_C [\nDAT 2 0 2\n]\n}\n"
      "}\n}\n}\n}\n");
  ViewPtr view = openText(text);
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->cameraShaders.size(), 1u);
  ZF_EffectParams p;
  ZF_EffectParamsEval(view->cameraShaders[0].effect, 0.5f, &p);
  EXPECT_STREQ(p.filename, "fx.hlsl");
  EXPECT_STREQ(p.cflags, "-DX");
  ASSERT_EQ(p.count, 8);
  struct Case {
    const char* name;
    int kind;
    float v0;
    int i;
  } cases[] = {{"none", -1, 0, 0},     {"vec", 0, 1, 0},  {"three", 0, 1, 0}, {"two", 1, 7, 0},
               {"animated", 1, 5, 0}, {"text", 3, 0, 0}, {"int", 2, 0, 5},   {"badArray", -1, 0, 0}};
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE(cases[k].name);
    EXPECT_STREQ(p.params[k].name, cases[k].name);
    EXPECT_EQ(p.params[k].kind, cases[k].kind);
    EXPECT_EQ(p.params[k].value[0], cases[k].v0);
    EXPECT_EQ(p.params[k].intValue, cases[k].i);
  }
  EXPECT_EQ(p.params[1].value[2], 3.0f);
  EXPECT_STREQ(p.params[5].text, "tex.png");
  EXPECT_EQ(p.params[5].colorSpace, 1);
  EXPECT_EQ(p.params[5].reference, 2);
}

TEST(ZfScene, EffectParametersStopAtThirty) {
  std::string params;
  for (int i = 0; i < 35; ++i) params += "{ p" + std::to_string(i) + "\nvalue FP " + std::to_string(i) + "\n}\n";
  ViewPtr view = openText(scene("{ ZarnPostProcs\n{ P\n{ Effect\n{ Parameters\n" + params + "}\n}\n}\n}\n"));
  ASSERT_NE(view, nullptr);
  ZF_EffectParams p;
  ZF_EffectParamsEval(view->cameraShaders[0].effect, 0, &p);
  EXPECT_EQ(p.count, ZF_MAX_EFFECT_PARAMS);
  EXPECT_EQ(p.params[29].value[0], 29.0f);
}

// One SceneObjects member; each surface is (applyToSurface, has an effect).
std::string surfaces(const std::vector<std::pair<int, bool>>& list) {
  std::string text = "{ SceneObjects\n{ S\nfilename STR f.lwo\n{ Surfaces\n";
  for (size_t i = 0; i < list.size(); ++i) {
    text += "{ s\nname STR s" + std::to_string(i) + "\n{ Parameters\n{ BaseColor\nvalue FP 0.5 0.25 1\n}\n"
            "{ Sidedness\nvalue I4 3\n}\n{ Bump\nvalue FP 2\nimg_filename STR bump.png\nimg_colorspace I4 1\n}\n}\n";
    text += "{ Shader\napplyToSurface I4 " + std::to_string(list[i].first) + "\n";
    if (list[i].second) text += "{ Effect\nfilename STR e" + std::to_string(i) + ".hlsl\n}\n";
    text += "}\n}\n";
  }
  return text + "}\n}\n}\n";
}

TEST(ZfScene, SurfaceParametersAndTheEffectChoice) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, bool>> surfaces;
    std::vector<const char*> chosen;  // effect file per surface, "" for none
  } cases[] = {
      {"own effects", {{0, true}, {0, false}}, {"e0.hlsl", ""}},
      {"2 applies everywhere", {{0, true}, {2, true}, {0, false}}, {"e1.hlsl", "e1.hlsl", "e1.hlsl"}},
      {"3 has none", {{2, true}, {3, true}}, {"e0.hlsl", ""}},
      {"1 fills those without", {{1, true}, {0, false}, {0, true}}, {"e0.hlsl", "e0.hlsl", "e2.hlsl"}},
      {"the last of each wins", {{1, true}, {1, true}, {0, false}}, {"e0.hlsl", "e1.hlsl", "e1.hlsl"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ViewPtr view = openText(scene(surfaces(c.surfaces)));
    ASSERT_NE(view, nullptr);
    std::vector<ZF_SurfaceParams> out(4);
    const int n = ZF_SurfaceParamsEval(&view->sceneObjects[0], 0, out.data(), 4);
    ASSERT_EQ(n, static_cast<int>(c.surfaces.size()));
    for (int s = 0; s < n; ++s) {
      EXPECT_EQ(std::string(out[s].hasEffect ? out[s].effect.filename : ""), c.chosen[s]) << s;
      EXPECT_EQ(out[s].channels[0].kind, ZF_PARAM_FLOAT3);
      EXPECT_EQ(out[s].channels[0].value[1], 0.25f);
      EXPECT_EQ(out[s].channels[31].intValue, 3);
      EXPECT_STREQ(out[s].channels[8].imageFile, "bump.png");
      EXPECT_EQ(out[s].channels[8].colorSpace, 1);
      EXPECT_EQ(out[s].channels[8].mipmap, 1);
      EXPECT_EQ(out[s].channels[1].kind, ZF_PARAM_NONE);
    }
  }
  // 300 surfaces: the evaluation fills at most 256.
  std::vector<std::pair<int, bool>> many(300, {0, false});
  ViewPtr view = openText(scene(surfaces(many)));
  ASSERT_NE(view, nullptr);
  std::vector<ZF_SurfaceParams> out(ZF_MAX_SURFACES + 10);
  EXPECT_EQ(ZF_SurfaceParamsEval(&view->sceneObjects[0], 0, out.data(), 1000), ZF_MAX_SURFACES);
}

std::string command(const std::string& cmd, int inputs, int outputs, const std::string& params) {
  std::string text = "{ c\nname STR n\ncmd STR " + cmd + "\n{ Inputs\n";
  for (int i = 0; i < inputs; ++i) text += "{ i\nname STR s" + std::to_string(i) + "\nvalue STR BackRTT[0]\n}\n";
  text += "}\n{ Outputs\n";
  for (int i = 0; i < outputs; ++i) text += "{ o\nname STR Color0\nvalue STR Display\n}\n";
  return text + "}\n{ Parameters\n" + params + "}\n}\n";
}

std::string intParams(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += "{ p\nname STR p" + std::to_string(i) + "\nvalue I4 1\n}\n";
  return text;
}

std::string commands(const std::string& list) {
  return scene("{ Lights\n{ L\nname STR key\n}\n{ L\nname STR fill\n}\n}\n{ ZarnRenderCommands\n{ Commands\n" + list +
               "}\n}\n");
}

TEST(ZfScene, RenderCommandLimitsAndMessages) {
  const std::string effect = "{ p\nname STR fx\n{ Effect\nfilename STR a.hlsl\n}\n}\n";
  std::string effects51;
  for (int i = 0; i < 51; ++i) effects51 += command("Shader", 0, 0, effect);
  std::string c150, c151;
  for (int i = 0; i < 150; ++i) c150 += command("Clear", 0, 0, "");
  c151 = c150 + command("Clear", 0, 0, "");
  const std::string view2 = "{ p\nname STR View\nvalue I4 2\n}\n";
  struct Case {
    const char* what;
    std::string list;
    const char* error;  // "" when the open succeeds
  } cases[] = {
      {"150 commands", c150, ""},
      {"151 commands", c151, "Renderer: too much commands"},
      {"11 inputs", command("Copy", 11, 0, ""), "Renderer: too much inputs"},
      {"6 outputs", command("Copy", 0, 6, ""), "Renderer: too much outputs"},
      {"21 parameters", command("Copy", 0, 0, intParams(21)), "Renderer: too much parameters"},
      {"51 effects", effects51, "Renderer: too much shaders"},
      {"effect not a node", command("Shader", 0, 0, "{ p\nname STR fx\nEffect I4 1\n}\n"),
       "Renderer: failed to create effect"},
      {"no value", command("Copy", 0, 0, "{ p\nname STR x\n}\n"), "Renderer: unknown param type"},
      {"node value", command("Copy", 0, 0, "{ p\nname STR x\n{ value\n}\n}\n"), "Renderer: unknown param type"},
      {"FP_C value", command("Copy", 0, 0, "{ p\nname STR x\nvalue FP_C RUN 2 1\n}\n"),
       "Renderer: unknown param value type"},
      {"unknown light", command("Render Objects", 0, 0, view2 + "{ p\nname STR ViewSelect\nvalue STR rim\n}\n"),
       "Renderer: cannot find light for Render Objects"},
      {"no room for the light",
       command("Render Objects", 0, 0, view2 + "{ p\nname STR ViewSelect\nvalue STR fill\n}\n" + intParams(18)),
       "Renderer: too much parameters to add extra"},
      {"(none)", command("Render Objects", 0, 0, view2 + "{ p\nname STR ViewSelect\nvalue STR (none)\n}\n"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ViewPtr view = openText(commands(c.list));
    EXPECT_STREQ(ZF_SceneLastError(), c.error);
    EXPECT_EQ(view != nullptr, c.error[0] == '\0');
  }
  ViewPtr view = openText(commands(
      command("Render Objects", 2, 1, view2 + "{ p\nname STR ViewSelect\nvalue STR fill\n}\n" +
                                          "{ p\nname STR tint\nvalue FP 1 2 3\n}\n{ p\nname STR k\nvalue FP 0.5 9\n}\n") +
      command("Shader", 0, 0, effect)));
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->renderCommands.size(), 2u);
  const ZF_RenderCommand& c = view->renderCommands[0];
  EXPECT_STREQ(c.cmd, "Render Objects");
  EXPECT_EQ(c.inputCount, 2);
  EXPECT_STREQ(c.outputs[0].texture, "Display");
  ASSERT_EQ(c.paramCount, 5);
  EXPECT_EQ(c.params[2].kind, ZF_RP_FLOAT3);
  EXPECT_EQ(c.params[3].kind, ZF_RP_FLOAT);
  EXPECT_EQ(c.params[3].value[0], 0.5f);
  EXPECT_STREQ(c.params[4].name, "ViewNode");
  EXPECT_EQ(c.params[4].kind, ZF_RP_LIGHT);
  EXPECT_EQ(c.params[4].intValue, 1);
  EXPECT_EQ(view->renderCommands[1].params[0].kind, ZF_RP_EFFECT);
  EXPECT_EQ(view->renderEffects.size(), 1u);
}

TEST(ZfScene, ManyMembersOpen) {
  std::string objects = "{ Objects\n";
  for (int i = 0; i < 10000; ++i) objects += "{ O\nname STR o" + std::to_string(i) + "\n}\n";
  ViewPtr view = openText(scene(objects + "}\n{ CubeMaps\n{ C\n{ showSet\na STR o9999\n}\n}\n}\n"));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->objects.size(), 10000u);
  EXPECT_EQ(view->cubeMaps[0].showSet, std::vector<int>{9999});
}

}  // namespace

// The fuzz corpora, opened as scenes and played at a few times.
#include <dirent.h>
#include <fstream>
#include <sstream>

#include "support/zfFuzzCheck.h"
#include "support/zfSceneFuzzCheck.h"

namespace {

TEST(ZfScene, FuzzCorporaReplayAsScenes) {
  int replayed = 0;
  testing::internal::CaptureStdout();
  for (const char* folder : {"corpus", "corpus-scene"}) {
    DIR* dir = opendir(folder);
    ASSERT_NE(dir, nullptr) << "tests run from tests/zf";
    while (dirent* item = readdir(dir)) {
      if (item->d_name[0] == '.') continue;
      std::ifstream in(std::string(folder) + "/" + item->d_name, std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      const std::string data = bytes.str();
      const auto* p = reinterpret_cast<const uint8_t*>(data.data());
      std::string why;
      EXPECT_TRUE(zfFuzzCheck(p, data.size(), &why)) << item->d_name << ": " << why;
      zfSceneFuzzCheck(p, data.size());
      ++replayed;
    }
    closedir(dir);
  }
  testing::internal::GetCapturedStdout();
  EXPECT_GT(replayed, 2);
}

}  // namespace
