// zarn-mdd: converts a LightWave .mdd point cache into the engine's .zmdd.
//
//   zarn-mdd [-scale S] [-key N] [-zpnts FILE] INPUT.mdd OUTPUT.zmdd
//
// Exits 0 on success, 1 on any failure (with a message).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zeProgramInfo.h"
#include "mesh/codec/zeMddImport.h"
#include "mesh/codec/zeZmddWrite.h"
#include "base/zeSafeWrite.h"

namespace {

const char* const usageText =
    "Usage: zarn-mdd [-scale S] [-key N] [-zpnts FILE] INPUT.mdd OUTPUT.zmdd\n"
    "Converts a LightWave .mdd point cache (big-endian frame count, point count,\n"
    "frame times, then the positions of every frame) into a .zmdd cache. Frames\n"
    "that are not key frames keep their positions within S/2000 (half a step of\n"
    "S/1000); key frames and the base frame (the first frame) are kept exactly.\n"
    "Exits 0 on success, 1 on any failure (with a message).\n"
    "\n"
    "Options:\n"
    "  -scale S         residual step is S/1000 (default 0.01: steps of 0.00001)\n"
    "  -key N           every Nth frame is a key frame (default 25; 0: none)\n"
    "  -zpnts FILE      also write FILE, the identity point lookup (.zpnts)\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n";

int usage() { return zeUsageError(usageText, 1); }

// Through the safe writer: a failed write leaves an existing file as it was.
bool writeFile(const char* name, const std::vector<unsigned char>& bytes) {
  return zeWriteFileSafely(name, bytes.data(), bytes.size()) == ZE_WRITE_DONE;
}

}  // namespace

int main(int argc, char** argv) {
  const int answered = zeAnswerHelpOrVersion(argc, argv, "zarn-mdd", usageText);
  if (answered >= 0) return answered;
  SZeZmddWriteOptions options;
  options.keyInterval = 25;
  const char* zpnts = nullptr;
  int arg = 1;
  for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
    char* end = nullptr;
    if (std::strcmp(argv[arg], "-scale") == 0) {
      options.scale = std::strtof(argv[arg + 1], &end);
      if (*end || options.scale == 0.0f) return usage();
    } else if (std::strcmp(argv[arg], "-key") == 0) {
      const long k = std::strtol(argv[arg + 1], &end, 10);
      if (*end || k < 0 || k > 1000000) return usage();
      options.keyInterval = static_cast<int>(k);
    } else if (std::strcmp(argv[arg], "-zpnts") == 0) {
      zpnts = argv[arg + 1];
    } else {
      return usage();
    }
  }
  if (argc - arg != 2) return usage();
  const char* input = argv[arg];
  const char* output = argv[arg + 1];

  std::string bytes;
  if (!zeFileReadAll(input, &bytes)) {
    zeLog("zarn-mdd: cannot read %s\n", input);
    return 1;
  }
  SZeZmddSource source;
  std::string error;
  if (!zeReadLightWaveMdd(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &source, &error)) {
    zeLog("zarn-mdd: %s: %s\n", input, error.c_str());
    return 1;
  }
  std::vector<unsigned char> zmdd;
  if (!zeZmddWrite(source, options, &zmdd, &error)) {
    zeLog("zarn-mdd: %s: %s\n", input, error.c_str());
    return 1;
  }
  if (!writeFile(output, zmdd)) {
    zeLog("zarn-mdd: cannot write %s\n", output);
    return 1;
  }
  if (zpnts) {
    std::vector<uint32_t> identity(source.points);
    for (uint32_t i = 0; i < source.points; ++i) identity[i] = i;
    if (!writeFile(zpnts, zeZpntsWrite(identity))) {
      zeLog("zarn-mdd: cannot write %s\n", zpnts);
      return 1;
    }
  }
  return 0;
}
