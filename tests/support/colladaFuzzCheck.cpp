#include "support/colladaFuzzCheck.h"

#include <pugixml.hpp>

#include "effect/CZeEffectDefLoaderCollada.h"
#include "effect/CZeEffectDefWriterCollada.h"

bool zeColladaFuzzCheck(const std::string& bytes, std::string* why) {
  CZeEffectDefLoaderCollada loader;
  CZeEffectDefWriterCollada writer;
  for (int glsl = 0; glsl < 2; ++glsl) {
    CZeEffectDef* def = loader.loadDefinitionFromText("/fx/fuzz.dae", bytes, glsl);
    std::string first, second;
    writer.writeDefinitionText(def, &first);
    def->drop();
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(first.data(), first.size());
    if (!parsed) {
      *why = std::string("the written document is not well-formed: ") + parsed.description();
      return false;
    }
    def = loader.loadDefinitionFromText("/fx/fuzz.dae", first, glsl);
    writer.writeDefinitionText(def, &second);
    def->drop();
    if (first != second) {
      *why = "writing what was read back changed the document";
      return false;
    }
  }
  return true;
}
