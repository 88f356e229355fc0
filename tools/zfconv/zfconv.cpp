// zfconv: converts a ZF document between its text and binary forms, and a
// LightWave scene (.lws) into a ZF scene.
//
//   zfconv [-text | -binary] input output
//
// Without an option the output takes the other form of the input (text for
// a LightWave scene). Text is
// written in canonical form, so "zfconv -text a.zscn b.zscn" also tidies a
// text file. Exits 0 on success, 1 on any failure (with a message).
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "base/zeProgramInfo.h"
#include "lws/zeLwsConvert.h"
#include "zf/zfDocument.h"
#include "zf/zfWrite.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const usageText =
    "Usage: zfconv [-text | -binary] INPUT OUTPUT\n"
    "Converts a ZF scene document between its text and binary forms, or a\n"
    "LightWave scene (INPUT ending in .lws) into a ZF scene whose object paths\n"
    "are relative to OUTPUT's folder.\n"
    "Without an option OUTPUT takes the other form of INPUT (text for .lws).\n"
    "Text is written in canonical form, so -text also tidies a text file.\n"
    "Exits 0 on success, 1 on any failure (with a message).\n"
    "\n"
    "Options:\n"
    "  -text            write the text form\n"
    "  -binary          write the binary form\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n";

int usage() { return zeUsageError(usageText, 1); }

}  // namespace

int main(int argc, char** argv) {
  const int answered = zeAnswerHelpOrVersion(argc, argv, "zfconv", usageText);
  if (answered >= 0) return answered;
  int forced = -1;
  int arg = 1;
  if (arg < argc && std::strcmp(argv[arg], "-text") == 0) {
    forced = ZF_FORM_TEXT;
    ++arg;
  } else if (arg < argc && std::strcmp(argv[arg], "-binary") == 0) {
    forced = ZF_FORM_BINARY;
    ++arg;
  }
  if (argc - arg != 2) return usage();
  const char* input = argv[arg];
  const char* output = argv[arg + 1];

  const bool lightwave = zeLwsIsSceneFile(input);
  ZF_Document* document = nullptr;
  if (lightwave) {
    // The scene's objects are named as seen from where the output will live.
    ZeLwsConvertOptions options;
    options.relativeTo = zePathDirectory(zePathJoin(zeGetWorkingDirectory(), output));
    document = zeLwsLoadDocument(input, options);
  } else {
    document = ZF_Load(input);
  }
  if (!document) {
    zeLog("zfconv: cannot read %s as a %s\n", input, lightwave ? "LightWave scene" : "ZF document");
    return 1;
  }
  const int form = forced >= 0 ? forced
                   : lightwave ? ZF_FORM_TEXT
                               : (ZF_DocumentForm(document) == ZF_FORM_TEXT ? ZF_FORM_BINARY : ZF_FORM_TEXT);
  std::string bytes;
  const bool built = form == ZF_FORM_TEXT ? ZF_WriteText(ZF_Root(document), &bytes)
                                          : ZF_WriteBinary(ZF_Root(document), &bytes);
  ZF_Free(document);
  if (!built) {
    zeLog("zfconv: %s cannot be written in %s form\n", input, form == ZF_FORM_TEXT ? "text" : "binary");
    return 1;
  }
  return ZF_WriteFile(output, bytes) ? 0 : 1;
}
