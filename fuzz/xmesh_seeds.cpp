// Writes the .x fuzzer's seed inputs: the loader tests' fixtures in every
// encoding, plus the extensions a random start rarely reaches.
//   xmesh_seeds tests/mesh/corpus
#include <cstdio>
#include <fstream>
#include <string>

#include "xFixtures.h"
#include "xwriter.h"

namespace {

bool writeFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
  if (out) return true;
  std::fprintf(stderr, "xmesh_seeds: cannot write '%s'\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: xmesh_seeds <corpus folder>\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  bool ok = true;
  for (XForm form : {XForm::Text, XForm::Binary, XForm::TextZip, XForm::BinaryZip})
    ok &= writeFile(folder + "seed-cube-" + xFormName(form), writeX(cubeFile(), form));
  for (bool matrix : {false, true})
    for (bool skinned : {false, true})
      ok &= writeFile(folder + "seed-turn-" + (matrix ? "matrix" : "rotation") + (skinned ? "-skin" : ""),
                      turningFile(matrix, skinned));
  ok &= writeFile(folder + "seed-strip", stripFile(12));
  ok &= writeFile(folder + "seed-uvpairs",
                  "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                  "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; "
                  "NormalmapFilename { \"n.png\"; } } }\nMeshMaterialsUVs { 1; 3, 5;; } }");
  return ok ? 0 : 1;
}
