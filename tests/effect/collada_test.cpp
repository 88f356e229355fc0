// The COLLADA FX reader and writer: the reading rules as one table of small
// documents, the writer's layout, escaping and a full write / read-back, the
// effect manager's COLLADA slot with its checked, atomic writes.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <functional>
#include <sstream>

#include "effect/CZeEffectDefLoaderCollada.h"
#include "effect/CZeEffectDefWriterCollada.h"
#include "effect/CZeEffectManager.h"

namespace {

std::string document(const std::string& effectBody, const char* profile = "profile_CG") {
  return std::string("<?xml version=\"1.0\"?>\n<COLLADA version=\"1.5.0\"><library_effects><effect id=\"e\">") +
         "<" + profile + ">" + effectBody + "</" + profile + "></effect></library_effects></COLLADA>";
}

std::string pass(const std::string& body) { return "<technique sid=\"t\"><pass sid=\"p\">" + body + "</pass></technique>"; }

struct Read {
  CZeEffectDef* def = nullptr;
  std::string printed;
  ~Read() {
    if (def) def->drop();
  }
};

void read(const std::string& text, int glsl, Read* out) {
  CZeEffectDefLoaderCollada loader;
  testing::internal::CaptureStdout();
  out->def = loader.loadDefinitionFromText("/fx/test.dae", text, glsl);
  out->printed = testing::internal::GetCapturedStdout();
}

std::string write(const CZeEffectDef& def) {
  CZeEffectDefWriterCollada writer;
  std::string text;
  EXPECT_TRUE(writer.writeDefinitionText(&def, &text));
  return text;
}

const SPass& firstPass(const CZeEffectDef& def) { return def.techniques.at(0).passes.at(0); }

}  // namespace

TEST(Collada, FileExtensions) {
  CZeEffectDefLoaderCollada loader;
  CZeEffectDefWriterCollada writer;
  EXPECT_TRUE(loader.isALoadableFileExtension("fx.dae"));
  EXPECT_TRUE(loader.isALoadableFileExtension("fx.XML"));
  EXPECT_FALSE(loader.isALoadableFileExtension("fx.hlsl"));
  EXPECT_FALSE(loader.isALoadableFileExtension("dae"));
  EXPECT_TRUE(writer.isAWritableFileExtension("fx.DAE"));
  EXPECT_FALSE(writer.isAWritableFileExtension("fx.xml"));
  EXPECT_FALSE(loader.usesMacros());
}

// The reading rules, one small document each.
TEST(Collada, ReadingRules) {
  struct Case {
    const char* what;
    int glsl;
    std::string text;
    std::function<void(const CZeEffectDef&)> check;
    std::string printed;  // exactly what goes to standard output
  };
  const Case cases[] = {
      {"the other profile is passed over without a word", 0,
       document(pass("<program/>"), "profile_GLSL"),
       [](const CZeEffectDef& d) { EXPECT_TRUE(d.techniques.empty()); }, ""},
      {"an import before its include keeps its reference", 0,
       document(pass("<program><shader stage=\"VERTEX\"><sources entry=\"vs\"><import ref=\"later\"/></sources>"
                     "</shader></program>") + "<include sid=\"later\" url=\"file://l.hlsl\"/>"),
       [](const CZeEffectDef& d) { EXPECT_EQ(firstPass(d).shaders.at(0).source, "later"); },
       "COLLADA Warning missing include reference for source ref 'later'\n"},
      {"an import names an include in any case; its path is folded", 0,
       document("<include sid=\"main\" url=\"file://sub\\..\\shaders\\p.hlsl\"/>" +
                pass("<program><shader stage=\"fragment\"><sources entry=\"ps\"><import ref=\"Main\"/></sources>"
                     "<compiler platform=\"PC\" target=\"PS_3_0\"/></shader></program>")),
       [](const CZeEffectDef& d) {
         const SShader& s = firstPass(d).shaders.at(0);
         EXPECT_EQ(s.source, "file://shaders/p.hlsl");
         EXPECT_EQ(s.stage, ZE_FX_STAGE_FRAGMENT);
         EXPECT_EQ(s.target, ZE_FX_TARGET_PS_3_0);
         EXPECT_EQ(s.entry, "ps");
       },
       ""},
      {"blend_func with children gives two states, without one state", 0,
       document(pass("<states><blend_func><src value=\"ONE\"/><dest value=\"ZERO\" index=\"1\"/></blend_func>"
                     "<blend_func value=\"ADD\"/></states>")),
       [](const CZeEffectDef& d) {
         const std::vector<SState>& s = firstPass(d).states;
         ASSERT_EQ(s.size(), 3u);
         EXPECT_EQ(s[0].name, "blend_func src");
         EXPECT_EQ(s[0].value, "ONE");
         EXPECT_EQ(s[1].name, "blend_func dest");
         EXPECT_EQ(s[1].value, "ZERO");
         EXPECT_EQ(s[1].index, 1);
         EXPECT_EQ(s[2].name, "blend_func");
         EXPECT_EQ(s[2].value, "ADD");
       },
       ""},
      {"a state's value from its child or its attribute", 0,
       document(pass("<states><depth_func><value>LEQUAL</value></depth_func><depth_func value=\"LESS\"/>"
                     "<texture param=\"tex\"/><alpha_func><other/></alpha_func></states>")),
       [](const CZeEffectDef& d) {
         const std::vector<SState>& s = firstPass(d).states;
         ASSERT_EQ(s.size(), 4u);
         EXPECT_EQ(s[0].value, "LEQUAL");
         EXPECT_EQ(s[1].value, "LESS");
         EXPECT_EQ(s[2].param, "tex");
       },
       "COLLADA skipping section other\n"},
      {"indices truncate toward zero and clamp", 0,
       document(pass("<states><a index=\"2.7\"/><b index=\"-1.5\"/><c/><d index=\"1e40\"/><e index=\"-1e40\"/>"
                     "<f index=\"nan\"/><g index=\"x\"/><h index=\" 7 \"/></states>")),
       [](const CZeEffectDef& d) {
         const int expected[] = {2, -1, 0, INT_MAX, INT_MIN, 0, 0, 7};
         const std::vector<SState>& s = firstPass(d).states;
         ASSERT_EQ(s.size(), 8u);
         for (size_t i = 0; i < s.size(); ++i) EXPECT_EQ(s[i].index, expected[i]) << s[i].name;
       },
       ""},
      {"a clear's text is trimmed; targets and draw", 0,
       document(pass("<evaluate><color_clear index=\"1\">\n\t 0 0 0 1 \r\n</color_clear>"
                     "<color_target><param ref=\"rt\"/></color_target>"
                     "<depth_target><instance_image url=\"d.png\"/></depth_target><draw>SCENE</draw>"
                     "<unknown/></evaluate>")),
       [](const CZeEffectDef& d) {
         const std::vector<SEvaluate>& e = firstPass(d).evaluates;
         ASSERT_EQ(e.size(), 4u);
         EXPECT_EQ(e[0].value, "0 0 0 1");
         EXPECT_EQ(e[0].index, 1);
         EXPECT_EQ(e[1].value, "rt");
         EXPECT_EQ(e[2].image, "d.png");
         EXPECT_EQ(e[3].name, "draw");
         EXPECT_EQ(e[3].value, "SCENE");
       },
       "COLLADA skipping section unknown\n"},
      {"GLSL: a program's bind goes to a fragment shader, a shader's is skipped", 1,
       document(pass("<program><shader stage=\"VERTEX\"><bind_uniform symbol=\"in\"/></shader>"
                     "<bind_uniform symbol=\"dropped\"><param ref=\"x\"/></bind_uniform>"
                     "<shader stage=\"FRAGMENT\"/><bind_uniform symbol=\"kept\"><param ref=\"y\"/></bind_uniform>"
                     "</program>"), "profile_GLSL"),
       [](const CZeEffectDef& d) {
         const SPass& p = firstPass(d);
         ASSERT_EQ(p.shaders.size(), 2u);
         EXPECT_TRUE(p.shaders[0].binds.empty());
         ASSERT_EQ(p.shaders[1].binds.size(), 1u);
         EXPECT_EQ(p.shaders[1].binds[0].sid, "kept");
         EXPECT_EQ(p.shaders[1].binds[0].value, "y");
         EXPECT_EQ(p.shaders[0].target, ZE_FX_TARGET_VS_2_0);
         EXPECT_EQ(p.shaders[1].target, ZE_FX_TARGET_PS_2_0);  // GLSL without a compiler
       },
       "COLLADA skipping section bind_uniform\n"},
      {"CG: a shader without a compiler has no target", 0,
       document(pass("<program><shader stage=\"FRAGMENT\"><bind_uniform symbol=\"b\"><param ref=\"p\"/>"
                     "</bind_uniform></shader><bind_uniform/></program>")),
       [](const CZeEffectDef& d) {
         EXPECT_EQ(firstPass(d).shaders.at(0).target, 0);
         EXPECT_EQ(firstPass(d).shaders.at(0).binds.at(0).value, "p");
       },
       "COLLADA skipping section bind_uniform\n"},
      {"two effects make one definition", 0,
       "<COLLADA><asset><title>doc</title></asset><library_effects>"
       "<effect id=\"a\" name=\"A\"><newparam sid=\"p1\"><float>1</float></newparam>"
       "<profile_CG><technique sid=\"t1\"/></profile_CG></effect>"
       "<effect id=\"b\"><newparam sid=\"p2\"><float2>1 2</float2></newparam>"
       "<profile_CG><technique sid=\"t2\"/></profile_CG></effect></library_effects>"
       "<library_images/></COLLADA><other/>",
       [](const CZeEffectDef& d) {
         EXPECT_EQ(d.id, "b");
         EXPECT_EQ(d.name, "");
         ASSERT_EQ(d.parameters.size(), 2u);
         EXPECT_EQ(d.parameters[1].type, ZE_FX_FLOAT2);
         ASSERT_EQ(d.techniques.size(), 2u);
         EXPECT_EQ(d.title, "");  // the document's asset is passed over
       },
       "COLLADA loader warning: Wrong tag usage found library_images\nCOLLADA skipping section library_images\n"
       "COLLADA skipping section other\n"},
      {"parameters: types, semantics, annotations, samplers", 0,
       "<COLLADA><library_effects><effect id=\"e\"><annotate name=\"who\"><string> me </string></annotate>"
       "<asset><title>T</title><subject>S</subject><contributor><comments>C</comments><author/></contributor>"
       "</asset><newparam sid=\"m\"><semantic>WORLD</semantic><annotate name=\"UIName\"><string>x</string>"
       "</annotate><float4x4>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</float4x4></newparam>"
       "<newparam sid=\"s\"><float>3</float><sampler2D><instance_image url=\"a.png\"/><wrap_s>WRAP</wrap_s>"
       "<minfilter>LINEAR</minfilter><border/></sampler2D></newparam></effect></library_effects></COLLADA>",
       [](const CZeEffectDef& d) {
         EXPECT_EQ(d.title, "T");
         EXPECT_EQ(d.subject, "S");
         EXPECT_EQ(d.comments, "C");
         ASSERT_EQ(d.annotations.size(), 1u);
         EXPECT_EQ(d.annotations[0].value, "me");
         ASSERT_EQ(d.parameters.size(), 2u);
         EXPECT_EQ(d.parameters[0].type, ZE_FX_FLOAT4X4);
         EXPECT_EQ(d.parameters[0].semantic, "WORLD");
         EXPECT_EQ(d.parameters[0].annotations.at(0).sid, "UIName");
         const SParameter& s = d.parameters[1];
         EXPECT_EQ(s.type, ZE_FX_SAMPLER2D);
         EXPECT_EQ(s.value, "");  // the later type element replaced the float
         ASSERT_EQ(s.samplers.size(), 1u);
         EXPECT_EQ(s.samplers[0].source, "a.png");
         EXPECT_EQ(s.samplers[0].wrap_s, "WRAP");
         EXPECT_EQ(s.samplers[0].minfilter, "LINEAR");
       },
       "COLLADA skipping section author\nCOLLADA skipping section border\n"},
      {"a broken document gives what came before the fault", 0,
       "<COLLADA><library_effects><effect id=\"cut\"><newparam sid=\"a\"><float>1</float></newparam><newpar",
       [](const CZeEffectDef& d) {
         EXPECT_EQ(d.id, "cut");
         EXPECT_EQ(d.parameters.size(), 1u);
       },
       "COLLADA document error at byte 94: Error parsing start element tag\nCOLLADA skipping section newpa\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Read r;
    read(c.text, c.glsl, &r);
    c.check(*r.def);
    EXPECT_EQ(r.printed, c.printed);
    EXPECT_EQ(r.def->userValue, c.glsl);
  }
}

TEST(Collada, AMissingFileIsTheOneError) {
  CZeEffectDefLoaderCollada loader;
  const char* error = nullptr;
  CZeEffectDef* def = loader.loadDefinition("/no/such/effect.dae", nullptr, 0, &error);
  ASSERT_NE(def, nullptr);
  EXPECT_STREQ(error, "File Not Found");
  def->drop();
}

// --- Writing -------------------------------------------------------------------------------------------

namespace {

CZeEffectDef* fullDefinition() {
  auto* d = new CZeEffectDefCollada;
  d->id = "fx";
  d->name = "Sparks & \"smoke\"";
  d->title = "Title <1>";
  d->subject = "subject";
  d->comments = "it's\nmultiline";
  d->annotations.push_back({ZE_FX_RECORD_PARAMETER, "author", "a&b", "", 0, {}, {}});
  SParameter m;
  m.sid = "World";
  m.semantic = "WORLD";
  m.type = ZE_FX_FLOAT4X4;
  m.value = "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1";
  m.annotations.push_back({ZE_FX_RECORD_PARAMETER, "UIName", "World <matrix>", "", 0, {}, {}});
  d->parameters.push_back(m);
  SParameter tex;
  tex.sid = "Tex";
  tex.type = ZE_FX_SAMPLER2D;
  tex.samplers.push_back({"file://images/p.png", "WRAP", "CLAMP", "", "LINEAR", "LINEAR", "NONE"});
  d->parameters.push_back(tex);
  d->includes.push_back({"main", "file://Particle.hlsl"});
  STechnique t;
  t.sid = "default";
  t.annotations.push_back({ZE_FX_RECORD_PARAMETER, "pass", "1", "", 0, {}, {}});
  SPass p;
  p.sid = "p0";
  p.states.push_back({ZE_FX_RECORD_STATE, "blend_enable", "true", "", 0});
  p.states.push_back({ZE_FX_RECORD_STATE, "blend_func src", "ONE", "", 0});
  p.states.push_back({ZE_FX_RECORD_STATE, "blend_func dest", "ONE", "", 0});
  p.states.push_back({ZE_FX_RECORD_STATE, "texture", "", "Tex", 0});
  p.states.push_back({ZE_FX_RECORD_STATE, "light_enable", "TRUE", "", 0});
  p.states.push_back({ZE_FX_RECORD_STATE, "depth_func", "LESS", "", 3});
  SShader vs;
  vs.stage = ZE_FX_STAGE_VERTEX;
  vs.entry = "vs_main";
  vs.source = "file://Particle.hlsl";
  vs.inlines = {"#define USE_A 1", "#define B <x>"};
  vs.target = ZE_FX_TARGET_VS_3_0;
  vs.binds.push_back({ZE_FX_RECORD_PARAMETER, "WorldMatrix", "World", "", 0, {}, {}});
  SShader ps = vs;
  ps.stage = ZE_FX_STAGE_FRAGMENT;
  ps.entry = "ps_main";
  ps.source = "other.hlsl";
  ps.target = ZE_FX_TARGET_PS_3_0;
  ps.binds = {};
  p.shaders = {vs, ps};
  p.evaluates.push_back({ZE_FX_RECORD_EVALUATE, "color_target", 0, "rt", ""});
  p.evaluates.push_back({ZE_FX_RECORD_EVALUATE, "color_clear", 2, "0 0 0 1", ""});
  p.evaluates.push_back({ZE_FX_RECORD_EVALUATE, "depth_target", 0, "", "depth.png"});
  p.evaluates.push_back({ZE_FX_RECORD_EVALUATE, "draw", 0, "SCENE_GEOMETRY", ""});
  t.passes.push_back(p);
  d->techniques.push_back(t);
  return d;
}

void expectEqual(const SParameter& a, const SParameter& b) {
  EXPECT_EQ(a.sid, b.sid);
  EXPECT_EQ(a.value, b.value);
  EXPECT_EQ(a.semantic, b.semantic);
  EXPECT_EQ(a.type, b.type);
  ASSERT_EQ(a.annotations.size(), b.annotations.size());
  for (size_t i = 0; i < a.annotations.size(); ++i) expectEqual(a.annotations[i], b.annotations[i]);
  ASSERT_EQ(a.samplers.size(), b.samplers.size());
  for (size_t i = 0; i < a.samplers.size(); ++i) {
    const SSampler &x = a.samplers[i], &y = b.samplers[i];
    EXPECT_EQ(std::tie(x.source, x.wrap_s, x.wrap_t, x.wrap_p, x.minfilter, x.magfilter, x.mipfilter),
              std::tie(y.source, y.wrap_s, y.wrap_t, y.wrap_p, y.minfilter, y.magfilter, y.mipfilter));
  }
}

}  // namespace

TEST(Collada, WrittenDefinitionsReadBackEqual) {
  for (int glsl : {0, 1}) {
    SCOPED_TRACE(glsl ? "GLSL" : "CG");
    CZeEffectDef* d = fullDefinition();
    d->userValue = glsl;
    if (glsl) d->techniques[0].passes[0].shaders[0].binds.clear();  // a GLSL vertex shader takes none
    if (glsl) d->techniques[0].passes[0].shaders[1].binds.push_back({ZE_FX_RECORD_PARAMETER, "T", "Tex", "", 0, {}, {}});
    const std::string text = write(*d);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str())) << text;
    Read r;
    read(text, glsl, &r);
    const CZeEffectDef& b = *r.def;
    EXPECT_EQ(r.printed, "");
    EXPECT_EQ(b.id, d->id);
    EXPECT_EQ(b.name, d->name);
    EXPECT_EQ(b.title, d->title);
    EXPECT_EQ(b.subject, d->subject);
    EXPECT_EQ(b.comments, d->comments);
    ASSERT_EQ(b.annotations.size(), 1u);
    expectEqual(b.annotations[0], d->annotations[0]);
    ASSERT_EQ(b.parameters.size(), d->parameters.size());
    for (size_t i = 0; i < b.parameters.size(); ++i) expectEqual(b.parameters[i], d->parameters[i]);
    // The shared source's include, then the one made for the other source.
    ASSERT_EQ(b.includes.size(), 2u);
    EXPECT_EQ(b.includes[1].sid, "source_shader_0");
    EXPECT_EQ(b.includes[1].url, "file://other.hlsl");
    ASSERT_EQ(b.techniques.size(), 1u);
    EXPECT_EQ(b.techniques[0].sid, "default");
    expectEqual(b.techniques[0].annotations.at(0), d->techniques[0].annotations[0]);
    const SPass &x = b.techniques[0].passes.at(0), &y = d->techniques[0].passes[0];
    ASSERT_EQ(x.states.size(), y.states.size());
    for (size_t i = 0; i < x.states.size(); ++i)
      EXPECT_EQ(std::tie(x.states[i].name, x.states[i].value, x.states[i].param, x.states[i].index),
                std::tie(y.states[i].name, y.states[i].value, y.states[i].param, y.states[i].index));
    ASSERT_EQ(x.shaders.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(x.shaders[i].stage, y.shaders[i].stage);
      EXPECT_EQ(x.shaders[i].entry, y.shaders[i].entry);
      EXPECT_EQ(x.shaders[i].inlines, y.shaders[i].inlines);
      EXPECT_EQ(x.shaders[i].target, y.shaders[i].target);
      ASSERT_EQ(x.shaders[i].binds.size(), y.shaders[i].binds.size());
      for (size_t k = 0; k < x.shaders[i].binds.size(); ++k) expectEqual(x.shaders[i].binds[k], y.shaders[i].binds[k]);
    }
    EXPECT_EQ(x.shaders[0].source, "file://Particle.hlsl");
    EXPECT_EQ(x.shaders[1].source, "file://other.hlsl");
    ASSERT_EQ(x.evaluates.size(), y.evaluates.size());
    for (size_t i = 0; i < x.evaluates.size(); ++i)
      EXPECT_EQ(std::tie(x.evaluates[i].name, x.evaluates[i].index, x.evaluates[i].value),
                std::tie(y.evaluates[i].name, y.evaluates[i].index, y.evaluates[i].value));
    EXPECT_EQ(x.evaluates[2].image, "file://depth.png");
    d->drop();
  }
}

TEST(Collada, WriterLayout) {
  CZeEffectDef* d = new CZeEffectDefCollada;
  d->id = "e";
  SParameter f3;
  f3.sid = "v";
  f3.type = ZE_FX_FLOAT3;
  d->parameters.push_back(f3);
  SParameter s;
  s.sid = "s";
  s.type = ZE_FX_SAMPLER2D;
  s.samplers.push_back({"a.png", "", "", "", "", "", ""});
  d->parameters.push_back(s);
  STechnique t;
  SPass p;
  SShader a, b;
  a.stage = ZE_FX_STAGE_VERTEX;
  b.stage = ZE_FX_STAGE_FRAGMENT;
  a.source = b.source = "same.hlsl";
  p.shaders = {a, b};
  p.states.push_back({ZE_FX_RECORD_STATE, "blend func?<", "x", "", 0});
  t.passes.push_back(p);
  d->techniques.push_back(t);
  const std::string text = write(*d);
  d->drop();
  auto has = [&](const std::string& line) { return text.find(line) != std::string::npos; };
  EXPECT_TRUE(has("\n    <effect id=\"e\" >\n")) << text;
  EXPECT_TRUE(has("\n        <float3>0 0 0</float3>\n"));
  EXPECT_TRUE(has("\n        <sampler2D>\n          <instance_image url=\"file://a.png\" />\n        </sampler2D>\n"));
  EXPECT_TRUE(has("\n        <include sid=\"source_shader_0\" url=\"file://same.hlsl\" />\n"));
  EXPECT_EQ(text.find("source_shader_1"), std::string::npos);
  size_t imports = 0;
  for (size_t at = text.find("<import ref=\"source_shader_0\"/>"); at != std::string::npos;
       at = text.find("<import ref=\"source_shader_0\"/>", at + 1))
    ++imports;
  EXPECT_EQ(imports, 2u);
  EXPECT_TRUE(has("<blend_func__ value=\"x\" />"));  // a name XML cannot hold, made one it can
  EXPECT_TRUE(has("<compiler platform=\"PC\" target=\"UNKNOWN\"/>"));
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(text.c_str()));
}

// --- The manager's COLLADA slot ------------------------------------------------------------------------

TEST(Collada, TheManagerReadsAndWritesDocumentsSafely) {
  char folder[] = "/tmp/zarn-collada-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string dir = folder;
  CZeEffectManager manager(nullptr, nullptr, nullptr, nullptr, true);
  CZeEffectDef* d = fullDefinition();
  EXPECT_TRUE(manager.writeDefinition(d, (dir + "/fx.dae").c_str()));
  testing::internal::CaptureStdout();
  const CZeEffectDef* back = manager.getDefinition((dir + "/fx.dae").c_str(), nullptr);
  testing::internal::GetCapturedStdout();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->id, "fx");
  EXPECT_EQ(back->userValue, 0);  // the CG profile on OpenGL too: HLSL content
  EXPECT_EQ(back->techniques.size(), 1u);
  // A file of another kind has no writer; a folder that cannot be written fails and leaves no file.
  testing::internal::CaptureStdout();
  EXPECT_FALSE(manager.writeDefinition(d, (dir + "/fx.xml").c_str()));
  chmod(folder, 0500);
  const bool asRoot = geteuid() == 0;
  if (!asRoot) {
    EXPECT_FALSE(manager.writeDefinition(d, (dir + "/other.dae").c_str()));
  }
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("no effect writer for " + dir + "/fx.xml"), std::string::npos);
  if (!asRoot) {
    EXPECT_NE(printed.find("Cannot write " + dir + "/other.dae"), std::string::npos);
  }
  chmod(folder, 0700);
  struct stat st;
  EXPECT_NE(stat((dir + "/other.dae").c_str(), &st), 0);
  d->drop();
  std::remove((dir + "/fx.dae").c_str());
  rmdir(folder);
}
