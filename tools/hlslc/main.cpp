// zarn-hlslc: compiles one HLSL file as the engine does (entry point, profile,
// -D macros, -I include folders) and prints the errors as file(line), or the
// GLSL and the constant table. Effect authors check their files with it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/zeFile.h"
#include "base/zeProgramInfo.h"
#include "base/zeSafeWrite.h"
#include "effect/zeHlslPrepass.h"
#include "effect/zeHlslTranslator.h"
#include "tools/hlslc/zeHlslcFiles.h"
#include "tools/hlslc/zeEffectCheck.h"

namespace {

// The Direct3D 9 profiles; anything else is a typing error, not a new model.
bool stageOfProfile(const std::string& profile, uint32_t* stage) {
  static const char* const vertex[] = {"vs_1_1", "vs_2_0", "vs_2_a", "vs_2_sw", "vs_3_0", "vs_3_sw"};
  static const char* const pixel[] = {"ps_1_1", "ps_1_2", "ps_1_3", "ps_1_4", "ps_2_0",
                                      "ps_2_a", "ps_2_b", "ps_2_sw", "ps_3_0", "ps_3_sw"};
  for (const char* p : vertex)
    if (profile == p) {
      *stage = ZE_STAGE_VERTEX;
      return true;
    }
  for (const char* p : pixel)
    if (profile == p) {
      *stage = ZE_STAGE_PIXEL;
      return true;
    }
  return false;
}

const char* const usageText =
    "Usage: zarn-hlslc FILE -T PROFILE [-E ENTRY] [-D NAME[=VALUE]]... [-I FOLDER]... [-o OUT.glsl] [-b OUT.bin] [-V] [-q]\n"
    "   or: zarn-hlslc -effect FILE [-D NAME[=VALUE]]... [-I FOLDER]...\n"
    "Compiles one HLSL shader as the engine does and prints the GLSL and the\n"
    "constant table, or the errors as FILE(LINE): error: TEXT. Exits 0 on success,\n"
    "1 when the shader does not compile or a file cannot be read or written, 2 on\n"
    "a wrong command line. With -effect, it lists an effect file's techniques,\n"
    "passes, parameters, render states and binds and compiles every pass.\n"
    "\n"
    "Options:\n"
    "  -T PROFILE       a Direct3D 9 profile: vs_1_1 vs_2_0 vs_2_a vs_2_sw vs_3_0\n"
    "                   vs_3_sw ps_1_1 ps_1_2 ps_1_3 ps_1_4 ps_2_0 ps_2_a ps_2_b\n"
    "                   ps_2_sw ps_3_0 ps_3_sw\n"
    "  -E ENTRY         entry point: a function; a function with its uniform\n"
    "                   arguments, -E 'name(1, true)', which an entry the\n"
    "                   techniques compile with different arguments needs;\n"
    "                   an effect-level shader object (PS, VSArray[2]); or a\n"
    "                   technique's pass (Tech.Pass)\n"
    "  -D NAME[=VALUE]  define a macro\n"
    "  -I FOLDER        look for includes in FOLDER after the including file's own\n"
    "  -o OUT.glsl      write the GLSL to a file instead of printing it\n"
    "  -b OUT.bin       write the compiled program in its binary form\n"
    "  -V               also parse the generated GLSL as GLSL 330 compatibility\n"
    "  -q               print nothing on success\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n";

int usage() { return zeUsageError(usageText, 2); }

}  // namespace

int main(int argc, char** argv) {
  const int answered = zeAnswerHelpOrVersion(argc, argv, "zarn-hlslc", usageText);
  if (answered >= 0) return answered;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-effect") == 0) return zeEffectCheckMain(argc, argv);
  SZeTranslateRequest request;
  CZeHlslcIncludes includes;
  std::string file, profile, outGlsl, outBin;
  bool quiet = false, validate = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* opt) -> const char* {
      if (a.size() > 2) return argv[i] + 2;
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zarn-hlslc: %s needs a value\n", opt);
        return nullptr;
      }
      return argv[++i];
    };
    if (a.compare(0, 2, "-E") == 0) { const char* v = value("-E"); if (!v) return 2; request.entry = v; }
    else if (a.compare(0, 2, "-T") == 0) { const char* v = value("-T"); if (!v) return 2; profile = v; }
    else if (a.compare(0, 2, "-I") == 0) { const char* v = value("-I"); if (!v) return 2; includes.folders.push_back(v); }
    else if (a.compare(0, 2, "-o") == 0) { const char* v = value("-o"); if (!v) return 2; outGlsl = v; }
    else if (a.compare(0, 2, "-b") == 0) { const char* v = value("-b"); if (!v) return 2; outBin = v; }
    else if (a == "-q") quiet = true;
    else if (a == "-V") validate = true;
    else if (a.compare(0, 2, "-D") == 0) {
      const char* v = value("-D");
      if (!v) return 2;
      std::string d = v;
      size_t eq = d.find('=');
      request.macros.push_back({d.substr(0, eq), eq == std::string::npos ? "" : d.substr(eq + 1)});
    } else if (a == "-h" || a == "--help") return usage();
    else if (!a.empty() && a[0] == '-') { std::fprintf(stderr, "zarn-hlslc: unknown option %s\n", a.c_str()); return usage(); }
    else if (file.empty()) file = a;
    else return usage();
  }
  if (file.empty() || profile.empty()) return usage();
  if (!stageOfProfile(profile, &request.stage)) {
    std::fprintf(stderr, "zarn-hlslc: unknown profile %s\n", profile.c_str());
    return 2;
  }
  if (!zeHlslcReadFile(file, &request.source)) {
    std::fprintf(stderr, "zarn-hlslc: cannot read %s\n", file.c_str());
    return 1;
  }
  request.sourcePath = file;
  request.includes = &includes;
  SZeCompiledProgram program;
  std::string errors;
  if (!zeTranslateHlsl(request, &program, &errors)) {
    std::fputs(errors.c_str(), stderr);
    // The engine names such an entry with its arguments in the effect; here -E does.
    const std::vector<std::string> calls = zeHlslEntryCalls(request.source, request.entry);
    if (request.entry.find('(') == std::string::npos && calls.size() > 1)
      std::fprintf(stderr, "zarn-hlslc: the techniques compile '%s' with different uniform arguments: give the arguments as -E '%s'\n",
                   request.entry.c_str(), calls.front().c_str());
    return 1;
  }
  if (validate) {
    std::string log;
    if (!zeValidateGlsl(request.stage, program.glsl, &log)) {
      std::fprintf(stderr, "zarn-hlslc: the generated GLSL does not parse:\n%s", log.c_str());
      return 1;
    }
  }
  // Outputs replace a file only when complete (base/zeSafeWrite.h).
  if (!outGlsl.empty() && zeWriteFileSafely(outGlsl.c_str(), program.glsl.data(), program.glsl.size()) != ZE_WRITE_DONE) {
    std::fprintf(stderr, "zarn-hlslc: cannot write %s\n", outGlsl.c_str());
    return 1;
  }
  if (!outBin.empty()) {
    std::string bytes;
    program.serialize(&bytes);
    if (zeWriteFileSafely(outBin.c_str(), bytes.data(), bytes.size()) != ZE_WRITE_DONE) {
      std::fprintf(stderr, "zarn-hlslc: cannot write %s\n", outBin.c_str());
      return 1;
    }
  }
  if (!quiet) {
    if (outGlsl.empty()) std::printf("%s\n", program.glsl.c_str());
    std::printf("// %s constants\n%s", request.stage == ZE_STAGE_VERTEX ? "Vertex" : "Pixel",
                program.constants.describe().c_str());
  }
  return 0;
}
