// Small .x files shared by the loader tests and the fuzzer's seed writer.
#include "xFixtures.h"

#include <cmath>
#include <cstdio>

XObj material(const std::string& name, float r, float g, float b, const std::string& texture) {
  XObj m("Material", name);
  m.floats({r, g, b, 1.0f}).sep().f(8.0f).sep().floats({0.5f, 0.5f, 0.5f}).floats({0.0f, 0.0f, 0.25f});
  if (!texture.empty()) m.add(XObj("TextureFilename").s(texture).sep());
  return m;
}

// A unit cube around (10, 0, 0): two materials, one normal per face, UVs,
// vertex colours, and the UV pair extension.
std::vector<XObj> cubeFile() {
  XObj mesh("Mesh", "Box");
  const float c[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                         {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  mesh.i(8).sep();
  for (auto& p : c) mesh.floats({p[0], p[1], p[2]});
  mesh.sep().i(6).sep();
  const uint32_t faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
  for (auto& f : faces) mesh.i(4).sep().ints({f[0], f[1], f[2], f[3]});
  XObj normals("MeshNormals");
  const float n[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {1, 0, 0}, {-1, 0, 0}};
  normals.i(6).sep();
  for (auto& v : n) normals.floats({v[0], v[1], v[2]});
  normals.i(6).sep();
  for (uint32_t f = 0; f < 6; ++f) normals.i(4).sep().ints({f, f, f, f});
  mesh.add(normals);
  XObj uv("MeshTextureCoords");
  uv.i(8).sep();
  for (int v = 0; v < 8; ++v) uv.floats({(v & 1) ? 1.0f : 0.0f, (v & 2) ? 1.0f : 0.25f});
  mesh.add(uv);
  XObj colours("MeshVertexColors");
  colours.i(8).sep();
  for (uint32_t v = 0; v < 8; ++v) colours.i(v).sep().floats({v / 8.0f, 0.5f, 1.0f, 1.0f});
  mesh.add(colours);
  XObj list("MeshMaterialList");
  list.i(2).sep().i(6).sep().ints({0, 0, 0, 1, 1, 1});
  list.add(material("Red", 1, 0, 0, "checker.png"));
  list.add(XObj::ref("Blue"));
  mesh.add(list);
  mesh.add(XObj("MeshMaterialsUVs").i(1).sep().i(7).sep().i(1).sep().sep());
  XObj frame("Frame", "Root");
  frame.add(XObj("FrameTransformMatrix").floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1}).sep());
  frame.add(mesh);
  return {XObj("Header").ints({1}).ints({0}).ints({1}), material("Blue", 0, 0, 1), frame};
}

// A strip of `count` vertices: every vertex used, the last index count - 1.
std::string stripFile(uint32_t count) {
  std::string text = "xof 0302txt 0032\nMesh {\n" + std::to_string(count) + ";\n";
  for (uint32_t i = 0; i < count; ++i)
    text += std::to_string(i % 256) + ";" + std::to_string(i / 256) + ";" + std::to_string(i % 3) + ";,\n";
  text += std::to_string(count - 2) + ";\n";
  for (uint32_t i = 0; i + 2 < count; ++i)
    text += "3;" + std::to_string(i) + "," + std::to_string(i + 1) + "," + std::to_string(i + 2) + ";,\n";
  return text + "}\n";
}

// A frame "Bone" holding a mesh with the vertex (1, 0, 0), turned a quarter
// around z at tick 10, by a rotation key or by a matrix key.
std::string turningFile(bool matrixKeys, bool skinned) {
  std::string text =
      "xof 0302txt 0032\nAnimTicksPerSecond { 30; }\nFrame Bone { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, "
      "0,0,1,0, 0,0,0,1;; }\nMesh { 3; 1;0;0;, 0;0;1;, 0;0;0;; 1; 3;0,1,2;;\n";
  if (skinned)
    text += "SkinWeights { \"Bone\"; 2; 0, 1; 1.0, 0.5; 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n";
  text += "} }\nAnimationSet Turn { Animation { { Bone }\n";
  const float h = std::sqrt(0.5f);
  char key[512];
  if (matrixKeys)
    std::snprintf(key, sizeof(key),
                  "AnimationKey { 4; 2; 0;16;1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;, "
                  "10;16;0,1,0,0,-1,0,0,0,0,0,1,0,0,0,0,1;;; }\n");
  else
    std::snprintf(key, sizeof(key), "AnimationKey { 0; 2; 0;4;1,0,0,0;;, 10;4;%.9g,0,0,%.9g;;; }\n", h, h);
  return text + key + "} }\n";
}
