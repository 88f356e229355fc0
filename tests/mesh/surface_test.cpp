// LightWave and HyperVoxel surfaces: channels, the compile-macro table,
// writing into and reading from Irrlicht materials, and the image maps they
// bind to an effect's samplers.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <functional>
#include <string>
#include <vector>

#include "mesh/CZeSurfaceLightwave.h"
#include "mesh/CZeSurfaceLightwaveHV.h"
#include "mesh/CZeSurfaceManager.h"
#include "meshTestSupport.h"
#include "scene/IZeEffect.h"
#include "scene/IZeSceneNodeExt.h"

using namespace irr;

namespace {

video::ITexture* texture(const char* name) {
  video::IVideoDriver* driver = testDevice()->getVideoDriver();
  if (video::ITexture* t = driver->findTexture(name)) return t;
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
  video::ITexture* t = driver->addTexture(name, image);
  image->drop();
  return t;
}

std::vector<std::string> macroNames(const IZeSurface& s, const SZeSurfaceNodeFacts* node, int* base = nullptr) {
  SZeSurfaceMacro macros[40];
  int count = -1, material = -1;
  EXPECT_TRUE(s.getEffectCompileParameters(node, macros, 40, &count, &material));
  if (base) *base = material;
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    names.push_back(macros[i].name);
    EXPECT_STREQ(macros[i].definition, "");
  }
  EXPECT_STREQ(macros[count].name, "");  // the ending entry
  return names;
}

// An effect with samplers by name; records what it is given.
struct SamplerEffect : IZeEffect {
  std::vector<std::string> samplers;
  std::vector<std::pair<video::ITexture*, bool>> given;  // by handle
  bool refuse = false;
  void applyToMaterial(video::SMaterial&, SZeMaterialRecord&, int, int) override {}
  void clearFromMaterial(video::SMaterial&, SZeMaterialRecord&) override {}
  bool needsTangents() const override { return false; }
  int samplerHandle(const char* name) const override {
    for (size_t i = 0; i < samplers.size(); ++i)
      if (samplers[i] == name) return int(i);
    return -1;
  }
  bool setSamplerTexture(int handle, video::ITexture* t, bool srgb) override {
    if (refuse) return false;
    given.resize(samplers.size());
    given[size_t(handle)] = {t, srgb};
    return true;
  }
};

}  // namespace

TEST(Surfaces, TheManagerMakesTheTwoKindsByNameAndByKind) {
  CZeSurfaceManager manager;
  const struct {
    const char* name;
    u32 kind;
  } cases[] = {{"lightwave", ZE_SURFACE_LIGHTWAVE}, {"lightwave_hv", ZE_SURFACE_LIGHTWAVE_HV}, {"LightWave", 0},
               {"lightwave ", 0}, {"", 0}, {nullptr, 0}};
  for (const auto& c : cases) {
    IZeSurface* s = manager.createSurface(c.name);
    EXPECT_EQ(s ? s->getKind() : 0u, c.kind) << (c.name ? c.name : "(null)");
    if (s) s->drop();
  }
  EXPECT_EQ(ZE_SURFACE_LIGHTWAVE, u32('l') | u32('w') << 8 | u32('s') << 16 | u32('r') << 24);
  EXPECT_EQ(manager.createSurface(u32(1234)), nullptr);
  IZeSurface* hv = manager.createSurface(ZE_SURFACE_LIGHTWAVE_HV);
  EXPECT_EQ(hv->getKind(), ZE_SURFACE_LIGHTWAVE_HV);
  hv->drop();
}

TEST(Surfaces, DefaultsChannelsAndTheirEdges) {
  CZeSurfaceLightwave s;
  for (int c = 0; c < ZE_LW_CHANNELS; ++c) {
    SCOPED_TRACE(ZE_LW_CHANNEL_NAMES[c]);
    const float want = c == ZE_LW_BASE_COLOR ? 0.78f
                       : c == ZE_LW_DIFFUSE || c == ZE_LW_BUMP || c == ZE_LW_LINE_SIZE || c == ZE_LW_VERTEX_COLORING
                           ? 1.0f
                       : c == ZE_LW_GLOSSINESS ? 0.4f
                                               : 0.0f;
    EXPECT_FLOAT_EQ(s.getFloat(c), want);
    EXPECT_EQ(s.getTexture(c), nullptr);
  }
  EXPECT_FLOAT_EQ(s.getValue(ZE_LW_BASE_COLOR)[2], 0.78f);
  EXPECT_EQ(zeLWChannelIndex("VertexNormal"), 38);
  EXPECT_EQ(zeLWChannelIndex("vertexnormal"), -1);  // exact names only

  // The last channel takes values; the first index past it and -1 change nothing.
  s.setFloat(38, 2.5f);
  EXPECT_FLOAT_EQ(s.getFloat(38), 2.5f);
  EXPECT_EQ(s.getInt(38), 2);  // the integer follows the float
  for (int bad : {39, -1}) {
    s.setFloat(bad, 9);
    s.setInt(bad, 9);
    s.setFloat3(bad, 9, 9, 9);
    s.setTexture(bad, texture("t"));
    s.setColorSpace(bad, true);
    EXPECT_EQ(s.getFloat(bad), 0.0f);
    EXPECT_EQ(s.getInt(bad), 0);
    EXPECT_EQ(s.getValue(bad)[0], 0.0f);
    EXPECT_EQ(s.getTexture(bad), nullptr);
    EXPECT_FALSE(s.getColorSpace(bad));
  }
  s.setInt(ZE_LW_SIDEDNESS, 3);
  EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_SIDEDNESS), 3.0f);
  s.setFloat(ZE_LW_DIFFUSE, 1e30f);  // an integer view that cannot hold it saturates
  EXPECT_EQ(s.getInt(ZE_LW_DIFFUSE), 2147483647);
}

TEST(Surfaces, CloneAndRawCopyHoldTheirOwnReferences) {
  video::ITexture* t = texture("copy");
  const int before = t->getReferenceCount();
  CZeSurfaceLightwave* s = new CZeSurfaceLightwave;
  s->setFloat3(ZE_LW_BASE_COLOR, 1, 0.5f, 0.25f);
  s->setTexture(ZE_LW_BUMP, t);
  s->setColorSpace(ZE_LW_BUMP, true);
  s->setReflectionImage2(t);
  IZeSurface* copy = s->clone();
  auto* lw = static_cast<IZeSurfaceLightwave*>(copy);
  EXPECT_EQ(t->getReferenceCount(), before + 4);
  s->drop();
  EXPECT_EQ(t->getReferenceCount(), before + 2);
  EXPECT_EQ(lw->getValue(ZE_LW_BASE_COLOR)[1], 0.5f);
  EXPECT_EQ(lw->getTexture(ZE_LW_BUMP), t);
  EXPECT_TRUE(lw->getColorSpace(ZE_LW_BUMP));
  EXPECT_EQ(lw->getReflectionImage2(), t);
  EXPECT_TRUE(copy->needsTangents());  // a bump map asks for tangents
  lw->copyChannels(*lw);                // onto itself: nothing lost
  EXPECT_EQ(t->getReferenceCount(), before + 2);
  copy->drop();
  EXPECT_EQ(t->getReferenceCount(), before);
}

// Each channel texture and option sets its macro, alone.
TEST(Surfaces, EachConditionSetsItsMacro) {
  video::ITexture* t = texture("m");
  using Set = std::function<void(CZeSurfaceLightwave&, SZeSurfaceNodeFacts&)>;
  const Set reflection = [t](CZeSurfaceLightwave& s, SZeSurfaceNodeFacts&) {
    s.setTexture(ZE_LW_REFLECTION_IMAGE, t);
    s.setInt(ZE_LW_REFLECTION_OPTIONS, 2);
  };
  const struct {
    const char* macro;
    Set set;
  } cases[] = {
      {"USE_TEX_COLOR", [t](auto& s, auto&) { s.setTexture(ZE_LW_BASE_COLOR, t); }},
      {"USE_TEX_LUMINOSITY", [t](auto& s, auto&) { s.setTexture(ZE_LW_LUMINOSITY, t); }},
      {"USE_TEX_DIFFUSE", [t](auto& s, auto&) { s.setTexture(ZE_LW_DIFFUSE, t); }},
      {"USE_TEX_SPECULAR", [t](auto& s, auto&) { s.setTexture(ZE_LW_SPECULARITY, t); }},
      {"USE_TEX_GLOSSINESS", [t](auto& s, auto&) { s.setTexture(ZE_LW_GLOSSINESS, t); }},
      {"USE_TEX_REFLECIMG", reflection},
      {"USE_TRANSPARENT", [](auto& s, auto&) { s.setFloat(ZE_LW_TRANSPARENCY, 0.5f); }},
      {"USE_TRANSLUCENCY", [](auto& s, auto&) { s.setFloat(ZE_LW_TRANSLUCENCY, 0.1f); }},
      {"USE_UV2", [](auto&, auto& n) { n.hasSecondUV = true; }},
  };
  for (const auto& c : cases) {
    CZeSurfaceLightwave s;
    SZeSurfaceNodeFacts node;
    c.set(s, node);
    EXPECT_EQ(macroNames(s, &node), std::vector<std::string>{c.macro});
  }
  // Conditions that bring a second macro with them, and the mask bits.
  const struct {
    std::vector<std::string> macros;
    Set set;
  } pairs[] = {
      {{"USE_TEX_REFLECIMG", "USE_TEX_REFLECTIVITY"},
       [&](auto& s, auto& n) { reflection(s, n), s.setTexture(ZE_LW_REFLECTIVITY, t); }},
      {{"USE_TEX_TRANSPARENCY", "USE_TRANSPARENT"}, [t](auto& s, auto&) { s.setTexture(ZE_LW_TRANSPARENCY, t); }},
      {{"USE_TEX_TRANSLUCENCY", "USE_TRANSLUCENCY"}, [t](auto& s, auto&) { s.setTexture(ZE_LW_TRANSLUCENCY, t); }},
      {{"USE_TEX_NORMAL", "USE_COMPTANGENT"}, [t](auto& s, auto&) { s.setTexture(ZE_LW_BUMP, t); }},
      {{"USE_UV2", "USE_UV2INTEX2"}, [](auto&, auto& n) { n.hasSecondUV = n.meshHasTangents = true; }},
      {{"USE_UV2_TEX_COLOR", "USE_UV2_TEX_DIFFUSE", "USE_UV2_TEX_NORMAL"},
       [](auto&, auto& n) { n.uv2Mask = 1 << 0 | 1 << 1 | 1 << 6; }},
      {{"USE_UV2_TEX_LUMINOSITY", "USE_UV2_TEX_SPECULAR", "USE_UV2_TEX_GLOSSINESS", "USE_UV2_TEX_REFLECTIVITY",
        "USE_UV2_TEX_TRANSPARENCY", "USE_UV2_TEX_TRANSLUCENCY"},
       [](auto&, auto& n) { n.uv2Mask = 1 << 2 | 1 << 3 | 1 << 8 | 1 << 4 | 1 << 5 | 1 << 7; }},
      {{"USE_TEX_REFLECIMG", "USE_NODECUBEMAP"}, [&](auto& s, auto& n) { reflection(s, n), n.cubeMap1 = t; }},
      {{"USE_TEX_REFLECIMG", "USE_CUBEMAPAABB", "USE_NODECUBEMAP"},
       [&](auto& s, auto& n) { reflection(s, n), n.cubeMap1 = t, n.boxProjection = true; }},
  };
  for (const auto& c : pairs) {
    CZeSurfaceLightwave s;
    SZeSurfaceNodeFacts node;
    c.set(s, node);
    EXPECT_EQ(macroNames(s, &node), c.macros);
  }
  // Without an object the object's facts give nothing; a bump map with
  // tangents in the mesh needs no computed ones.
  CZeSurfaceLightwave bump;
  bump.setTexture(ZE_LW_BUMP, t);
  EXPECT_EQ(macroNames(bump, nullptr), std::vector<std::string>{"USE_TEX_NORMAL"});
  SZeSurfaceNodeFacts tangents;
  tangents.meshHasTangents = true;
  EXPECT_EQ(macroNames(bump, &tangents), std::vector<std::string>{"USE_TEX_NORMAL"});
  // Reflection options 1 keep the reflection image out.
  CZeSurfaceLightwave one;
  one.setTexture(ZE_LW_REFLECTION_IMAGE, t);
  one.setInt(ZE_LW_REFLECTION_OPTIONS, 1);
  EXPECT_TRUE(macroNames(one, nullptr).empty());
}

TEST(Surfaces, MacrosComeInBitOrderAndNeedRoomForTheEnd) {
  video::ITexture* t = texture("order");
  CZeSurfaceLightwave s;
  // Set in reverse of their bits.
  s.setFloat(ZE_LW_TRANSPARENCY, 0.5f);
  s.setTexture(ZE_LW_BASE_COLOR, t);
  int base = -1;
  EXPECT_EQ(macroNames(s, nullptr, &base), (std::vector<std::string>{"USE_TEX_COLOR", "USE_TRANSPARENT"}));
  EXPECT_EQ(base, 13);  // transparent alpha channel
  s.setFloat(ZE_LW_TRANSPARENCY, 0.0f);
  macroNames(s, nullptr, &base);
  EXPECT_EQ(base, 0);
  s.setFloat(ZE_LW_TRANSPARENCY, 0.5f);

  SZeSurfaceMacro macros[3];
  int count = -1;
  testLog().Lines.clear();
  EXPECT_FALSE(s.getEffectCompileParameters(nullptr, macros, 2, &count, &base));  // two macros, no room to end
  EXPECT_EQ(testLog().count("CZeSurfaceLightwave::getEffectCompileParameters Not enough space for macros", ELL_ERROR), 1);
  EXPECT_TRUE(s.getEffectCompileParameters(nullptr, macros, 3, &count, &base));
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(s.getEffectCompileParameters(nullptr, nullptr, 0, &count, &base));  // the base material only
  EXPECT_EQ(count, 0);
  EXPECT_EQ(base, 13);
}

TEST(Surfaces, WritingAMaterialFollowsTheTypeRules) {
  video::ITexture* colour = texture("colour"), *reflection = texture("refl"), *bump = texture("bump"),
                   *alpha = texture("alpha");
  using Set = std::function<void(CZeSurfaceLightwave&)>;
  const Set refl = [&](CZeSurfaceLightwave& s) {
    s.setTexture(ZE_LW_REFLECTION_IMAGE, reflection);
    s.setInt(ZE_LW_REFLECTION_OPTIONS, 2);
    s.setFloat(ZE_LW_REFLECTIVITY, 0.5f);
  };
  const struct {
    const char* what;
    Set set;
    video::E_MATERIAL_TYPE type;
    video::ITexture* second;
  } cases[] = {
      {"plain", [](auto&) {}, video::EMT_SOLID, nullptr},
      {"reflection", refl, video::EMT_REFLECTION_2_LAYER, reflection},
      {"reflection without reflectivity", [&](auto& s) { refl(s), s.setFloat(ZE_LW_REFLECTIVITY, 0); },
       video::EMT_SOLID, nullptr},
      {"reflection options 1", [&](auto& s) { refl(s), s.setInt(ZE_LW_REFLECTION_OPTIONS, 1); }, video::EMT_SOLID,
       nullptr},
      {"bump", [&](auto& s) { refl(s), s.setTexture(ZE_LW_BUMP, bump); }, video::EMT_PARALLAX_MAP_SOLID, bump},
      {"alpha map", [&](auto& s) { s.setTexture(ZE_LW_TRANSPARENCY, alpha); }, video::EMT_TRANSPARENT_ALPHA_CHANNEL,
       nullptr},
      {"alpha map, reflection", [&](auto& s) { refl(s), s.setTexture(ZE_LW_TRANSPARENCY, alpha); },
       video::EMT_TRANSPARENT_REFLECTION_2_LAYER, reflection},
      {"alpha map, bump", [&](auto& s) { s.setTexture(ZE_LW_TRANSPARENCY, alpha), s.setTexture(ZE_LW_BUMP, bump); },
       video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA, bump},
      {"transparent", [](auto& s) { s.setFloat(ZE_LW_TRANSPARENCY, 0.3f); }, video::EMT_TRANSPARENT_VERTEX_ALPHA,
       nullptr},
      {"transparent, reflection", [&](auto& s) { refl(s), s.setFloat(ZE_LW_TRANSPARENCY, 0.3f); },
       video::EMT_TRANSPARENT_REFLECTION_2_LAYER, reflection},
      {"transparent, bump", [&](auto& s) { s.setFloat(ZE_LW_TRANSPARENCY, 0.3f), s.setTexture(ZE_LW_BUMP, bump); },
       video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA, bump},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CZeSurfaceLightwave s;
    s.setTexture(ZE_LW_BASE_COLOR, colour);
    s.setFloat(ZE_LW_BUMP, 2.0f);
    c.set(s);
    video::SMaterial m;
    s.writeToMaterial(m);
    EXPECT_EQ(m.MaterialType, c.type);
    EXPECT_EQ(m.getTexture(0), colour);
    EXPECT_EQ(m.getTexture(1), c.second);
    if (c.second == bump) {
      EXPECT_FLOAT_EQ(m.MaterialTypeParam, 0.07f);
    }
    EXPECT_TRUE(m.BackfaceCulling);
  }
}

TEST(Surfaces, WritingAMaterialColoursLinesSidesAndLayers) {
  CZeSurfaceLightwave s;
  s.setFloat3(ZE_LW_BASE_COLOR, 0.8f, 0.4f, 0.1f);
  s.setFloat(ZE_LW_DIFFUSE, 2.0f);     // 1.6 red: clamped, not wrapped
  s.setFloat(ZE_LW_LUMINOSITY, 0.5f);
  s.setFloat(ZE_LW_SPECULARITY, 0.25f);
  s.setFloat(ZE_LW_GLOSSINESS, 0.5f);
  s.setFloat(ZE_LW_VERTEX_COLORING, 0.0f);
  video::SMaterial m;
  s.writeToMaterial(m);
  EXPECT_EQ(m.DiffuseColor, video::SColor(255, 255, 204, 51));
  EXPECT_EQ(m.EmissiveColor, video::SColor(255, 102, 51, 13));
  EXPECT_EQ(m.SpecularColor, video::SColor(255, 64, 64, 64));
  EXPECT_FLOAT_EQ(m.Shininess, 64.0f);
  EXPECT_EQ(m.ColorMaterial, video::ECM_AMBIENT);
  // Irrlicht 1.8 has 4 texture layers: each gets the surface's sampler byte.
  ASSERT_EQ(video::MATERIAL_MAX_TEXTURES, 4u);
  for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES; ++i) EXPECT_EQ(m.TextureLayer[i].AnisotropicFilter, 248);
  s.setFloat(ZE_LW_VERTEX_COLORING, 1.0f);
  s.writeToMaterial(m);
  EXPECT_EQ(m.ColorMaterial, video::ECM_DIFFUSE);

  const struct {
    int outlines;
    float size;
    bool wireframe, points;
  } lines[] = {{1, 0.5f, true, false}, {1, 2.0f, false, true}, {1, 1.0f, false, true},
               {1, 0.99f, true, false}, {1, 0.0f, false, false}, {0, 2.0f, false, false}};
  for (const auto& c : lines) {
    SCOPED_TRACE(c.size);
    s.setInt(ZE_LW_RENDER_OUTLINES, c.outlines);
    s.setFloat(ZE_LW_LINE_SIZE, c.size);
    s.writeToMaterial(m);
    EXPECT_EQ(m.Wireframe, c.wireframe);
    EXPECT_EQ(m.PointCloud, c.points);
    if (c.points) {
      EXPECT_FLOAT_EQ(m.Thickness, c.size);
    }
  }
  for (int sides : {0, 1, 2, 3}) {
    s.setInt(ZE_LW_SIDEDNESS, sides);
    s.writeToMaterial(m);
    EXPECT_EQ(m.BackfaceCulling, sides != 3) << sides;
  }
}

TEST(Surfaces, ReadingAMaterialTakesWhatItSays) {
  video::ITexture* first = texture("first"), *second = texture("second");
  video::SMaterial m;
  m.DiffuseColor = video::SColor(255, 255, 51, 0);
  m.EmissiveColor = video::SColor(255, 100, 200, 50);
  m.SpecularColor = video::SColor(255, 255, 255, 255);
  m.Shininess = 32.0f;
  m.BackfaceCulling = false;
  m.Wireframe = true;
  m.ColorMaterial = video::ECM_NONE;
  m.setTexture(0, first);
  m.setTexture(1, second);
  m.MaterialType = video::EMT_REFLECTION_2_LAYER;
  CZeSurfaceLightwave s;
  s.initFromMaterial(m);
  EXPECT_FLOAT_EQ(s.getValue(ZE_LW_BASE_COLOR)[1], 0.2f);
  EXPECT_EQ(s.getTexture(ZE_LW_BASE_COLOR), first);
  EXPECT_NEAR(s.getFloat(ZE_LW_LUMINOSITY), (0.3f * 100 + 0.59f * 200 + 0.11f * 50) / 255, 1e-6f);
  EXPECT_NEAR(s.getFloat(ZE_LW_SPECULARITY), 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_GLOSSINESS), 0.25f);
  EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_DIFFUSE), 1.0f);
  EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_REFLECTIVITY), 1.0f);
  EXPECT_EQ(s.getInt(ZE_LW_REFLECTION_OPTIONS), 2);
  EXPECT_EQ(s.getTexture(ZE_LW_REFLECTION_IMAGE), second);
  EXPECT_EQ(s.getInt(ZE_LW_SIDEDNESS), 3);
  EXPECT_EQ(s.getInt(ZE_LW_RENDER_OUTLINES), 1);
  EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_LINE_SIZE), 0.5f);
  EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_VERTEX_COLORING), 0.0f);  // every channel starts at zero
  EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_BUMP), 0.0f);

  const struct {
    video::E_MATERIAL_TYPE type;
    bool alphaMap, transparent, parallax;
  } types[] = {{video::EMT_TRANSPARENT_ALPHA_CHANNEL, true, false, false},
               {video::EMT_TRANSPARENT_VERTEX_ALPHA, false, true, false},
               {video::EMT_TRANSPARENT_REFLECTION_2_LAYER, false, true, false},
               {video::EMT_PARALLAX_MAP_SOLID, false, false, true},
               {video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA, false, true, true}};
  for (const auto& c : types) {
    SCOPED_TRACE(int(c.type));
    video::SMaterial t = m;
    t.MaterialType = c.type;
    t.MaterialTypeParam = 0.07f;
    t.Wireframe = false;
    t.PointCloud = true;
    t.Thickness = 3.0f;
    t.BackfaceCulling = true;
    t.ColorMaterial = video::ECM_DIFFUSE;
    s.initFromMaterial(t);
    EXPECT_EQ(s.getTexture(ZE_LW_TRANSPARENCY), c.alphaMap ? first : nullptr);
    EXPECT_EQ(s.getFloat(ZE_LW_TRANSPARENCY), c.transparent ? 1.0f : 0.0f);
    EXPECT_EQ(s.getTexture(ZE_LW_BUMP), c.parallax ? second : nullptr);
    EXPECT_NEAR(s.getFloat(ZE_LW_BUMP), c.parallax ? 2.0f : 0.0f, 1e-5f);
    EXPECT_EQ(s.getInt(ZE_LW_SIDEDNESS), 0);
    EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_LINE_SIZE), 3.0f);
    EXPECT_FLOAT_EQ(s.getFloat(ZE_LW_VERTEX_COLORING), 1.0f);
  }
}

TEST(Surfaces, ImageMapsGoToTheSamplersNamedAfterTheirChannels) {
  video::ITexture* colour = texture("c"), *reflection2 = texture("r2"), *alpha = texture("a");
  CZeSurfaceLightwave s;
  s.setTexture(ZE_LW_BASE_COLOR, colour);
  s.setColorSpace(ZE_LW_BASE_COLOR, true);
  s.setTexture(ZE_LW_TRANSPARENCY, alpha);
  s.setReflectionImage2(reflection2);
  SamplerEffect* effect = new SamplerEffect;
  effect->samplers = {"LW_Tex_Luminosity", "LW_Tex_BaseColor", "LW_Tex_ReflectionImage2", "Other"};

  // For every draw of the effect: every named sampler, empty ones included.
  ASSERT_TRUE(s.setEffectTextures(effect));
  ASSERT_EQ(effect->given.size(), 4u);
  EXPECT_EQ(effect->given[1], std::make_pair(colour, true));
  EXPECT_EQ(effect->given[0], std::make_pair(static_cast<video::ITexture*>(nullptr), false));
  EXPECT_EQ(effect->given[2].first, nullptr);  // the second reflection image goes to rows only

  // For one row: only the maps the surface has, then the transparency map
  // for an empty first layer.
  SZeMaterialRecord row;
  ASSERT_TRUE(s.setEffectTexturesOnMaterial(effect, row));
  ASSERT_EQ(row.textureCount, 3);
  EXPECT_EQ(row.textures[0].handle, 1);
  EXPECT_EQ(row.textures[0].texture, colour);
  EXPECT_TRUE(row.textures[0].srgb);
  EXPECT_EQ(row.textures[1].handle, 2);
  EXPECT_EQ(row.textures[1].texture, reflection2);
  EXPECT_EQ(row.textures[2].handle, -1);
  EXPECT_EQ(row.textures[2].texture, alpha);
  ASSERT_TRUE(s.setEffectTexturesOnMaterial(effect, row));  // again: bound anew, not added
  EXPECT_EQ(row.textureCount, 3);
  row.clearTextures();

  effect->refuse = true;
  testLog().Lines.clear();
  EXPECT_FALSE(s.setEffectTextures(effect));
  EXPECT_EQ(testLog().count("CZeSurfaceLightwave::setEffectTextures setSamplerTexture failed for LW_Tex_BaseColor",
                            ELL_ERROR),
            1)
      << testLog().all();
  effect->drop();
}

TEST(Surfaces, HyperVoxelSurfaces) {
  video::ITexture* clip = texture("clip");
  CZeSurfaceLightwaveHV s;
  EXPECT_EQ(s.getBlendMode(), ZE_HV_BLEND_ADD);
  EXPECT_EQ(s.values().colour[0], 1.0f);
  EXPECT_EQ(s.values().colour[3], 1.0f);
  EXPECT_FLOAT_EQ(s.values().size, 0.2f);
  int base = -1;
  EXPECT_EQ(macroNames(s, nullptr, &base), std::vector<std::string>{"USE_BLEND_ADD"});
  EXPECT_EQ(base, 12);
  s.setClipTexture(clip);
  s.values().colourNumKeys = 2;
  s.values().sizeNumKeys = 1;
  s.values().rotation = 0.5f;
  s.setBlendMode(ZE_HV_BLEND_SUB);
  s.setBlendMode(7);  // not a blend mode: nothing changes
  EXPECT_EQ(macroNames(s, nullptr, &base), (std::vector<std::string>{"USE_TEX_COLOR", "USE_COLOR_GRADIENT",
                                                                      "USE_SIZE_GRADIENT", "USE_ROTATION",
                                                                      "USE_BLEND_SUB"}));
  EXPECT_EQ(base, 23);
  SZeSurfaceMacro macros[5];
  testLog().Lines.clear();
  EXPECT_FALSE(s.getEffectCompileParameters(nullptr, macros, 5, nullptr, &base));
  EXPECT_EQ(testLog().count("CZeSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros", ELL_ERROR),
            1);

  const struct {
    int blend;
    video::E_MATERIAL_TYPE type;
  } blends[] = {{ZE_HV_BLEND_ALPHA, video::EMT_TRANSPARENT_ALPHA_CHANNEL},
                {ZE_HV_BLEND_ADD, video::EMT_TRANSPARENT_ADD_COLOR},
                {ZE_HV_BLEND_SUB, video::EMT_ONETEXTURE_BLEND}};
  for (const auto& c : blends) {
    s.setBlendMode(c.blend);
    video::SMaterial m;
    s.writeToMaterial(m);
    EXPECT_EQ(m.MaterialType, c.type);
    EXPECT_EQ(m.getTexture(0), clip);
    EXPECT_FALSE(m.ZWriteEnable);
    CZeSurfaceLightwaveHV read;
    read.initFromMaterial(m);
    EXPECT_EQ(read.getBlendMode(), c.blend);
    EXPECT_EQ(read.getClipTexture(), clip);
  }
  IZeSurface* copy = s.clone();
  EXPECT_EQ(static_cast<IZeSurfaceLightwaveHV*>(copy)->values().colourNumKeys, 2);
  copy->drop();

  SamplerEffect* effect = new SamplerEffect;
  effect->samplers = {"LWHV_Tex_Clip"};
  ASSERT_TRUE(s.setEffectTextures(effect));
  EXPECT_EQ(effect->given[0].first, clip);
  effect->drop();
}
