// Contents: escaping and lines · the document · parameters · the profile
// (includes, techniques, passes, states, shaders, evaluate entries).
#include "effect/CZeEffectDefWriterCollada.h"

#include <cctype>
#include <cstring>
#include <strings.h>

namespace {

// --- Escaping and lines ---------------------------------------------------------------------------

std::string escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      // Kept as they are: an attribute's line ends and tabs would read back as blanks.
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '\t': out += "&#9;"; break;
      default: out += c;
    }
  }
  return out;
}

// Element names come from the model (state and evaluate names): anything an
// XML name may not hold becomes '_', so the document stays well-formed.
std::string elementName(const std::string& s) {
  std::string out = s.empty() ? "_" : s;
  for (char& c : out)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.')) c = '_';
  if (std::isdigit(static_cast<unsigned char>(out[0])) || out[0] == '-' || out[0] == '.') out.insert(0, "_");
  return out;
}

std::string fileUrl(const std::string& x) { return x.compare(0, 7, "file://") == 0 ? x : "file://" + x; }

bool startsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

class Writer {
 public:
  Writer(const CZeEffectDef& def, std::string* out) : def_(def), out_(*out) {}

  void document() {
    static const char* const ns = "http://www.collada.org/2008/03/COLLADASchema";
    static const char* const xsi = "http://www.w3.org/2001/XMLSchema-instance";
    line(0, "<?xml version=\"1.0\"?>");
    line(0, std::string("<COLLADA xmlns=\"") + ns + "\" version=\"1.5.0\" xmlns:xsi=\"" + xsi +
                "\" xsi:schemaLocation=\"" + ns + " collada_schema_1_5.xsd\">");
    line(1, "<asset>");
    contributor(2);
    line(2, "<created>2012-01-01T00:00:00</created>");
    line(2, "<modified>2012-01-01T00:00:00</modified>");
    texts(2);
    line(1, "</asset>");
    line(1, "<library_effects>");
    line(2, "<effect id=\"" + escape(def_.id) + "\" " + (def_.name.empty() ? "" : "name=\"" + escape(def_.name) + "\" ") +
                ">");
    // The reader takes these texts from the effect's asset only.
    if (!def_.comments.empty() || !def_.subject.empty() || !def_.title.empty()) {
      line(3, "<asset>");
      contributor(4);
      texts(4);
      line(3, "</asset>");
    }
    for (const SParameter& a : def_.annotations) annotate(3, a);
    for (const SParameter& p : def_.parameters) newparam(3, p);
    profile(3);
    line(2, "</effect>");
    line(1, "</library_effects>");
    line(0, "</COLLADA>");
  }

 private:
  void line(int depth, const std::string& s) {
    out_.append(size_t(depth) * 2, ' ');
    out_ += s;
    out_ += '\n';
  }

  void contributor(int d) {
    if (def_.comments.empty()) return;
    line(d, "<contributor>");
    line(d + 1, "<comments>" + escape(def_.comments) + "</comments>");
    line(d, "</contributor>");
  }

  void texts(int d) {
    if (!def_.subject.empty()) line(d, "<subject>" + escape(def_.subject) + "</subject>");
    if (!def_.title.empty()) line(d, "<title>" + escape(def_.title) + "</title>");
  }

  // --- Parameters -------------------------------------------------------------------------------

  void annotate(int d, const SParameter& a) {
    line(d, "<annotate name=\"" + escape(a.sid) + "\" >");
    line(d + 1, "<string>" + escape(a.value) + "</string>");
    line(d, "</annotate>");
  }

  void newparam(int d, const SParameter& p) {
    line(d, "<newparam sid=\"" + escape(p.sid) + "\">");
    for (const SParameter& a : p.annotations) annotate(d + 1, a);
    if (!p.semantic.empty()) line(d + 1, "<semantic>" + escape(p.semantic) + "</semantic>");
    const std::string type = zeFxTypeName(p.type);
    std::string body = p.value.empty() ? defaultValue(p.type) : escape(p.value);
    if (zeFxIsSampler(p.type) && !p.samplers.empty()) {
      const SSampler& s = p.samplers.front();
      body = "\n";
      auto setting = [&](const char* name, const std::string& v) {
        if (v.empty()) return;
        body.append(size_t(d + 2) * 2, ' ');
        body += "<" + std::string(name) + ">" + escape(v) + "</" + name + ">\n";
      };
      if (!s.source.empty()) {
        body.append(size_t(d + 2) * 2, ' ');
        body += "<instance_image url=\"" + escape(fileUrl(s.source)) + "\" />\n";
      }
      setting("wrap_s", s.wrap_s);
      setting("wrap_t", s.wrap_t);
      setting("wrap_p", s.wrap_p);
      setting("minfilter", s.minfilter);
      setting("magfilter", s.magfilter);
      setting("mipfilter", s.mipfilter);
      body.append(size_t(d + 1) * 2, ' ');
    }
    line(d + 1, "<" + type + ">" + body + "</" + type + ">");
    line(d, "</newparam>");
  }

  static std::string defaultValue(int type) {
    switch (type) {
      case ZE_FX_BOOL: return "false";
      case ZE_FX_FLOAT: return "0";
      case ZE_FX_FLOAT2: return "0 0";
      case ZE_FX_FLOAT3: return "0 0 0";
      case ZE_FX_FLOAT4: return "0 0 0 0";
      case ZE_FX_FLOAT4X4: return "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";
      case ZE_FX_INT: return "0";
      default: return "";
    }
  }

  // --- The profile ----------------------------------------------------------------------------

  void profile(int d) {
    line(d, glsl() ? "<profile_GLSL>" : "<profile_CG>");
    for (const SInclude& i : def_.includes) include(d + 1, i.sid, i.url);
    int generated = 0;
    for (const STechnique& t : def_.techniques)
      for (const SPass& p : t.passes)
        for (const SShader& s : p.shaders) {
          if (includeFor(s.source)) continue;
          include(d + 1, "source_shader_" + std::to_string(generated++), s.source);
        }
    for (const STechnique& t : def_.techniques) technique(d + 1, t);
    line(d, glsl() ? "</profile_GLSL>" : "</profile_CG>");
  }

  void include(int d, const std::string& sid, const std::string& url) {
    line(d, "<include sid=\"" + escape(sid) + "\" url=\"" + escape(fileUrl(url)) + "\" />");
    includes_.push_back({sid, url});
  }

  const SInclude* includeFor(const std::string& source) const {
    for (const SInclude& i : includes_)
      if (i.url == source) return &i;
    return nullptr;
  }

  void technique(int d, const STechnique& t) {
    line(d, "<technique sid=\"" + escape(t.sid) + "\">");
    for (const SParameter& a : t.annotations) annotate(d + 1, a);
    for (const SPass& p : t.passes) pass(d + 1, p);
    line(d, "</technique>");
  }

  void pass(int d, const SPass& p) {
    line(d, "<pass sid=\"" + escape(p.sid) + "\">");
    for (const SParameter& a : p.annotations) annotate(d + 1, a);
    if (!p.states.empty()) {
      line(d + 1, "<states>");
      bool blendWritten = false;
      for (const SState& s : p.states) {
        if (s.name == "blend_func src" || s.name == "blend_func dest") {
          // Both factors in one element, where the first of them stood.
          if (blendWritten) continue;
          blendWritten = true;
          line(d + 2, "<blend_func>");
          for (const SState& f : p.states)
            if (f.name == "blend_func src" || f.name == "blend_func dest")
              line(d + 3, stateLine(f.name == "blend_func src" ? "src" : "dest", f));
          line(d + 2, "</blend_func>");
          continue;
        }
        line(d + 2, stateLine(s.name, s));
      }
      line(d + 1, "</states>");
    }
    line(d + 1, "<program>");
    for (const SShader& s : p.shaders) shader(d + 2, s);
    // The GLSL profile's binds stand in the program, where the reader takes them.
    if (glsl())
      for (const SShader& s : p.shaders) binds(d + 2, s);
    line(d + 1, "</program>");
    if (!p.evaluates.empty()) {
      line(d + 1, "<evaluate>");
      for (const SEvaluate& e : p.evaluates) evaluate(d + 2, e);
      line(d + 1, "</evaluate>");
    }
    line(d, "</pass>");
  }

  static std::string stateLine(const std::string& element, const SState& s) {
    std::string out = "<" + elementName(element) + " ";
    out += s.value.empty() ? "param=\"" + escape(s.param) + "\" " : "value=\"" + escape(s.value) + "\" ";
    // Decided on the name as written, so a name made writable reads back the same.
    const std::string name = elementName(s.name);
    const bool indexed = s.index != 0 || startsWith(name, "clip_plane") || startsWith(name, "texture") ||
                         (startsWith(name, "light_") && !startsWith(name, "light_model_"));
    if (indexed) out += "index=\"" + std::to_string(s.index) + "\" ";
    return out + "/>";
  }

  void shader(int d, const SShader& s) {
    line(d, std::string("<shader stage=\"") + zeFxStageName(s.stage) + "\">");
    line(d + 1, "<sources entry=\"" + escape(s.entry) + "\">");
    for (const std::string& i : s.inlines) line(d + 2, "<inline>" + escape(i) + "</inline>");
    const SInclude* include = includeFor(s.source);
    line(d + 2, "<import ref=\"" + escape(include ? include->sid : s.source) + "\"/>");
    line(d + 1, "</sources>");
    line(d + 1, std::string("<compiler platform=\"PC\" target=\"") + zeFxTargetName(s.target) + "\"/>");
    if (!glsl()) binds(d + 1, s);
    line(d, "</shader>");
  }

  void binds(int d, const SShader& s) {
    for (const SParameter& b : s.binds) {
      line(d, "<bind_uniform symbol=\"" + escape(b.sid) + "\" >");
      line(d + 1, "<param ref=\"" + escape(b.value) + "\"/>");
      line(d, "</bind_uniform>");
    }
  }

  bool glsl() const { return def_.userValue != 0; }

  void evaluate(int d, const SEvaluate& e) {
    const std::string name = elementName(e.name);
    line(d, "<" + name + (e.index != 0 ? " index=\"" + std::to_string(e.index) + "\"" : "") + ">");
    if (e.name == "draw") line(d + 1, escape(e.value));
    else if (!e.value.empty()) line(d + 1, "<param ref=\"" + escape(e.value) + "\"/>");
    else if (!e.image.empty()) line(d + 1, "<instance_image url=\"" + escape(fileUrl(e.image)) + "\"/>");
    line(d, "</" + name + ">");
  }

  const CZeEffectDef& def_;
  std::string& out_;
  std::vector<SInclude> includes_;  // the profile's working list
};

}  // namespace

bool CZeEffectDefWriterCollada::isAWritableFileExtension(const char* fileName) const {
  const char* dot = fileName ? std::strrchr(fileName, '.') : nullptr;
  return dot && strcasecmp(dot + 1, "dae") == 0;
}

bool CZeEffectDefWriterCollada::writeDefinitionText(const CZeEffectDef* definition, std::string* text) {
  if (!definition || !text) return false;
  text->clear();
  Writer(*definition, text).document();
  return true;
}
