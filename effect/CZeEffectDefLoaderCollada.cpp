// Contents: texts and numbers · the reading routines, one per element (document,
// COLLADA, library_effects, effect, newparam, sampler, annotate, profile,
// technique, pass, state, evaluate, program, shader, sources, bind_uniform) ·
// the loader.
#include "effect/CZeEffectDefLoaderCollada.h"

#include <pugixml.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "base/zeFile.h"
#include "base/zeNumber.h"
#include "base/zePath.h"

namespace {

using pugi::xml_node;

// --- Texts and numbers ------------------------------------------------------------------------------

bool named(const xml_node& n, const char* name) { return std::strcmp(n.name(), name) == 0; }

void skip(const xml_node& n) { std::printf("COLLADA skipping section %s\n", n.name()); }

std::string attribute(const xml_node& n, const char* name) { return n.attribute(name).value(); }

// The element's text: its last text child, trimmed of blanks, tabs and line ends.
std::string text(const xml_node& n) {
  const char* last = "";
  for (xml_node c = n.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) last = c.value();
  const char* b = last;
  const char* e = last + std::strlen(last);
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (b < e && blank(*b)) ++b;
  while (e > b && blank(e[-1])) --e;
  return std::string(b, e);
}

// An index: a decimal number truncated toward zero. Missing or not a
// number: 0; beyond a 32-bit integer: clamped.
int32_t index(const xml_node& n) {
  const char* p = n.attribute("index").value();
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  float v = 0;
  if (zeParseFloat(p, p + std::strlen(p), &v) == p || std::isnan(v)) return 0;
  if (v >= 2147483647.0f) return 2147483647;
  if (v <= -2147483648.0f) return -2147483647 - 1;
  return static_cast<int32_t>(v);
}

// An include or import reference, its path folded as every name is.
std::string url(const std::string& u) {
  const bool scheme = u.compare(0, 7, "file://") == 0;
  const std::string path = scheme ? u.substr(7) : u;
  if (path.empty()) return u;
  return (scheme ? "file://" : "") + zePathFold(path);
}

bool sameIgnoringCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// --- Reading -------------------------------------------------------------------------------------

class Reader {
 public:
  Reader(CZeEffectDef* def, bool glsl) : def_(def), glsl_(glsl) {}

  void document(const xml_node& doc) {
    for (xml_node n = doc.first_child(); n; n = n.next_sibling()) {
      if (n.type() != pugi::node_element) continue;
      if (named(n, "COLLADA")) collada(n);
      else skip(n);
    }
  }

 private:
  template <typename F>
  void children(const xml_node& n, F&& f) {
    for (xml_node c = n.first_child(); c; c = c.next_sibling())
      if (c.type() == pugi::node_element) f(c);
  }

  void collada(const xml_node& n) {
    children(n, [&](const xml_node& c) {
      if (named(c, "asset")) return;  // the document's own, passed over
      if (named(c, "library_effects")) return libraryEffects(c);
      std::printf("COLLADA loader warning: Wrong tag usage found %s\n", c.name());
      skip(c);
    });
  }

  void libraryEffects(const xml_node& n) {
    children(n, [&](const xml_node& c) { named(c, "effect") ? effect(c) : skip(c); });
  }

  void effect(const xml_node& n) {
    def_->id = attribute(n, "id");
    def_->name = attribute(n, "name");
    children(n, [&](const xml_node& c) {
      if (named(c, "asset")) asset(c);
      else if (named(c, "newparam")) newparam(c);
      else if (named(c, "profile_CG")) { if (!glsl_) profile(c); }
      else if (named(c, "profile_GLSL")) { if (glsl_) profile(c); }
      else if (named(c, "annotate")) def_->annotations.push_back(annotate(c));
      else skip(c);
    });
  }

  void asset(const xml_node& n) {
    children(n, [&](const xml_node& c) {
      if (named(c, "subject")) def_->subject = text(c);
      else if (named(c, "title")) def_->title = text(c);
      else if (named(c, "contributor"))
        children(c, [&](const xml_node& k) { named(k, "comments") ? void(def_->comments = text(k)) : skip(k); });
      else skip(c);
    });
  }

  void newparam(const xml_node& n) {
    static const struct {
      const char* name;
      int32_t type;
    } types[] = {{"bool", ZE_FX_BOOL},           {"float", ZE_FX_FLOAT},           {"float2", ZE_FX_FLOAT2},
                 {"float3", ZE_FX_FLOAT3},       {"float4", ZE_FX_FLOAT4},         {"float4x4", ZE_FX_FLOAT4X4},
                 {"int", ZE_FX_INT},             {"sampler1D", ZE_FX_SAMPLER1D},   {"sampler2D", ZE_FX_SAMPLER2D},
                 {"sampler3D", ZE_FX_SAMPLER3D}, {"samplerRect", ZE_FX_SAMPLERRECT}, {"samplerCube", ZE_FX_SAMPLERCUBE},
                 {"samplerDepth", ZE_FX_SAMPLERDEPTH}, {"usertype", ZE_FX_USERTYPE}};
    SParameter p;
    p.sid = attribute(n, "sid");
    children(n, [&](const xml_node& c) {
      if (named(c, "semantic")) return void(p.semantic = text(c));
      if (named(c, "annotate")) return p.annotations.push_back(annotate(c));
      for (const auto& t : types) {
        if (!named(c, t.name)) continue;
        p.type = t.type;
        p.value.clear();
        if (t.type >= ZE_FX_SAMPLER1D) sampler(c, &p);
        else p.value = text(c);
        return;
      }
      skip(c);
    });
    def_->parameters.push_back(std::move(p));
  }

  // Each sampler element adds one sampler; its settings go to the first.
  void sampler(const xml_node& n, SParameter* p) {
    p->samplers.emplace_back();
    SSampler& s = p->samplers.front();
    children(n, [&](const xml_node& c) {
      if (named(c, "instance_image")) s.source = attribute(c, "url");
      else if (named(c, "wrap_s")) s.wrap_s = text(c);
      else if (named(c, "wrap_t")) s.wrap_t = text(c);
      else if (named(c, "wrap_p")) s.wrap_p = text(c);
      else if (named(c, "minfilter")) s.minfilter = text(c);
      else if (named(c, "magfilter")) s.magfilter = text(c);
      else if (named(c, "mipfilter")) s.mipfilter = text(c);
      else skip(c);
    });
  }

  SParameter annotate(const xml_node& n) {
    SParameter a;
    a.sid = attribute(n, "name");
    children(n, [&](const xml_node& c) { named(c, "string") ? void(a.value = text(c)) : skip(c); });
    return a;
  }

  void profile(const xml_node& n) {
    children(n, [&](const xml_node& c) {
      if (named(c, "include")) def_->includes.push_back({attribute(c, "sid"), url(attribute(c, "url"))});
      else if (named(c, "technique")) technique(c);
      else skip(c);
    });
  }

  void technique(const xml_node& n) {
    STechnique t;
    t.sid = attribute(n, "sid");
    children(n, [&](const xml_node& c) {
      if (named(c, "pass")) t.passes.push_back(pass(c));
      else if (named(c, "annotate")) t.annotations.push_back(annotate(c));
      else skip(c);
    });
    def_->techniques.push_back(std::move(t));
  }

  SPass pass(const xml_node& n) {
    SPass p;
    p.sid = attribute(n, "sid");
    children(n, [&](const xml_node& c) {
      if (named(c, "states")) children(c, [&](const xml_node& s) { state(s, &p); });
      else if (named(c, "evaluate")) evaluate(c, &p);
      else if (named(c, "program")) program(c, &p);
      else if (named(c, "annotate")) p.annotations.push_back(annotate(c));
      else skip(c);
    });
    return p;
  }

  static SState stateOf(const xml_node& n, const char* name) {
    SState s;
    s.name = name;
    s.value = attribute(n, "value");
    s.param = attribute(n, "param");
    s.index = index(n);
    return s;
  }

  void state(const xml_node& n, SPass* p) {
    if (named(n, "blend_func") && n.find_child([](const xml_node& c) { return c.type() == pugi::node_element; })) {
      children(n, [&](const xml_node& c) {
        if (named(c, "src")) p->states.push_back(stateOf(c, "blend_func src"));
        else if (named(c, "dest")) p->states.push_back(stateOf(c, "blend_func dest"));
        else skip(c);
      });
      return;
    }
    SState s = stateOf(n, n.name());
    children(n, [&](const xml_node& c) {
      if (named(c, "value")) s.value = text(c);
      else if (named(c, "param")) s.param = text(c);
      else skip(c);
    });
    p->states.push_back(std::move(s));
  }

  void evaluate(const xml_node& n, SPass* p) {
    children(n, [&](const xml_node& c) {
      static const char* const entries[] = {"color_target", "depth_target", "stencil_target",
                                            "color_clear",  "depth_clear",  "stencil_clear"};
      SEvaluate e;
      if (named(c, "draw")) {
        e.name = "draw";
        e.value = text(c);
        return p->evaluates.push_back(std::move(e));
      }
      for (const char* name : entries) {
        if (!named(c, name)) continue;
        e.name = name;
        e.index = index(c);
        if (std::strstr(name, "_clear")) e.value = text(c);
        children(c, [&](const xml_node& k) {
          if (named(k, "param")) e.value = attribute(k, "ref");
          else if (named(k, "instance_image")) e.image = attribute(k, "url");
          else skip(k);
        });
        return p->evaluates.push_back(std::move(e));
      }
      skip(c);
    });
  }

  void program(const xml_node& n, SPass* p) {
    children(n, [&](const xml_node& c) {
      if (named(c, "shader")) return p->shaders.push_back(shader(c));
      if (named(c, "bind_uniform") && glsl_) {
        // A program's binds go to the pass's first fragment shader read so far.
        SParameter b = bind(c);
        for (SShader& s : p->shaders)
          if (s.stage == ZE_FX_STAGE_FRAGMENT) return s.binds.push_back(std::move(b));
        return;
      }
      skip(c);
    });
  }

  SShader shader(const xml_node& n) {
    static const char* const stages[] = {"TESSELATION", "VERTEX", "GEOMETRY", "FRAGMENT"};
    static const char* const targets[] = {"vs_1_1", "vs_2_0", "vs_3_0", "ps_1_1", "ps_2_0", "ps_3_0"};
    SShader s;
    const std::string stage = attribute(n, "stage");
    for (int i = 0; i < 4; ++i)
      if (sameIgnoringCase(stage, stages[i])) s.stage = i + 1;
    if (glsl_) s.target = s.stage == ZE_FX_STAGE_VERTEX ? ZE_FX_TARGET_VS_2_0 : s.stage == ZE_FX_STAGE_FRAGMENT ? ZE_FX_TARGET_PS_2_0 : 0;
    children(n, [&](const xml_node& c) {
      if (named(c, "sources")) return sources(c, &s);
      if (named(c, "compiler")) {
        const std::string target = attribute(c, "target");
        s.target = 0;
        for (int i = 0; i < 6; ++i)
          if (sameIgnoringCase(target, targets[i])) s.target = i + 1;
        return;
      }
      if (named(c, "bind_uniform") && !glsl_) return s.binds.push_back(bind(c));
      skip(c);
    });
    return s;
  }

  void sources(const xml_node& n, SShader* s) {
    s->entry = attribute(n, "entry");
    children(n, [&](const xml_node& c) {
      if (named(c, "inline")) return s->inlines.push_back(text(c));
      if (!named(c, "import")) return skip(c);
      const std::string ref = attribute(c, "ref");
      s->source = url(ref);
      for (const SInclude& include : def_->includes)
        if (sameIgnoringCase(include.sid, ref)) return void(s->source = include.url);
      std::printf("COLLADA Warning missing include reference for source ref '%s'\n", ref.c_str());
    });
  }

  SParameter bind(const xml_node& n) {
    SParameter b;
    b.sid = attribute(n, "symbol");
    children(n, [&](const xml_node& c) { named(c, "param") ? void(b.value = attribute(c, "ref")) : skip(c); });
    return b;
  }

  CZeEffectDef* def_;
  bool glsl_;
};

}  // namespace

// --- The loader ------------------------------------------------------------------------------------

bool CZeEffectDefLoaderCollada::isALoadableFileExtension(const char* fileName) const {
  const char* dot = fileName ? std::strrchr(fileName, '.') : nullptr;
  return dot && (strcasecmp(dot + 1, "dae") == 0 || strcasecmp(dot + 1, "xml") == 0);
}

namespace {

// Parses `bytes` in place (they become the document's own storage).
CZeEffectDef* readDocument(const char* path, std::string& bytes, int value) {
  CZeEffectDef* def = new CZeEffectDefCollada;
  def->path = path;
  def->userValue = value;
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_buffer_inplace(&bytes[0], bytes.size());
  // What came before a fault in the document is read; the rest is lost, and said so.
  if (!parsed)
    std::printf("COLLADA document error at byte %lld: %s\n", static_cast<long long>(parsed.offset),
                parsed.description());
  Reader(def, value != 0).document(doc);
  return def;
}

}  // namespace

CZeEffectDef* CZeEffectDefLoaderCollada::loadDefinition(const char* fileName, const char* const*, int value,
                                                        const char** errorText) {
  const char* path = fileName ? fileName : "";
  std::string bytes;
  if (!zeFileReadAll(path, &bytes)) {
    CZeEffectDef* def = new CZeEffectDefCollada;
    def->path = path;
    def->userValue = value;
    *errorText = "File Not Found";
    return def;
  }
  *errorText = nullptr;
  return readDocument(path, bytes, value);
}

CZeEffectDef* CZeEffectDefLoaderCollada::loadDefinitionFromText(const char* path, const std::string& text, int value) {
  std::string bytes = text;
  return readDocument(path, bytes, value);
}
