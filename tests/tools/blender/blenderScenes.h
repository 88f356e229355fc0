// The exporter's tests run the real Blender: they build a scene with
// tests/tools/blender/make_scene.py, export it with tools/blender/zarn_export.py,
// and read what Blender evaluated (reference.txt) to hold the export against.
#pragma once

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace zeblender {

// Blender's path (ZARN_BLENDER, else `blender` on the PATH); "" when there is none.
std::string blenderPath();

// The line the tests print when they skip.
constexpr const char* kNoBlender = "blender not found: the Blender exporter tests are skipped";

struct BlenderRun {
  int exitCode = -1;
  std::string out;  // standard output and error together
};

// `blender -b --factory-startup [blend] --python script -- arguments` in `folder`.
BlenderRun runBlender(const std::string& blend, const std::string& script, const std::string& arguments);

// Builds scene `mode` ("main", "bad", "speed") into `folder` (folder/mode.blend,
// and for "main" folder/reference.txt).
bool makeScene(const std::string& folder, const std::string& mode, std::string* log);

// Exports `blend` into `output` with the exporter (`options`: "--binary" ...).
BlenderRun exportScene(const std::string& blend, const std::string& output, const std::string& options = "");

std::string exporterPath();

// reference.txt: each record's numbers by "kind name frame" (or "kind frame",
// "surface name").
class Reference {
 public:
  bool load(const std::string& path);
  const std::vector<double>& get(const std::string& key) const;

 private:
  std::map<std::string, std::vector<double>> records_;
};

// Blender's axes (right-handed, Z up) to Zarn's (left-handed, Y up), and a
// point through a row-by-row 4x4 world matrix of Blender.
struct Vec3 {
  double x, y, z;
};
inline Vec3 toZarn(const Vec3& b) { return {b.x, b.z, b.y}; }
inline Vec3 fromZarn(const Vec3& z) { return {z.x, z.z, z.y}; }
inline Vec3 transform(const std::vector<double>& m, const Vec3& p, double w = 1.0) {
  return {m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3] * w, m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7] * w,
          m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11] * w};
}

// A fresh temporary folder, and removing one with everything in it.
std::string makeFolder();
void removeFolder(const std::string& folder);

}  // namespace zeblender
