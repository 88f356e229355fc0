// A playing scene allocates nothing per frame: every allocation of this test
// program is counted around frames of a generated scene.
#include <atomic>
#include <cstdlib>
#include <new>

#include "sceneFixture.h"
#include "sceneGenerate.h"
#include "scene/zeObject.h"
#include "scene/zeScene.h"

using namespace irr;

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST_F(SceneTest, AnimatingASceneAllocatesNothing) {
  // Objects of two materials, each with an animated surface.
  scene::SMesh* mesh = makeCubeMesh(2);
  scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
  cacheMesh("alloc.x", animated);
  animated->drop();
  mesh->drop();
  const std::string path = tempDirectory() + "/generated.zscn";
  writeText(path, zeGeneratedScene(200, 8, 100, "alloc.x", 2));
  ZeSceneLoadParams params;
  params.objectBase = 1;
  ASSERT_EQ(zeLoadScene(0, path.c_str(), "", params), 0) << takeError();
  ASSERT_EQ(zeObjectExist(200), 1);
  const irr::video::SColor colour = zeObjectNode(200)->getMaterial(1).DiffuseColor;
  zeShowScene(0);
  zeAnimateScene(0, 0);  // the first frame may say what is not built yet
  const long before = allocations.load();
  for (int t = 0; t < 4000; t += 37) zeAnimateScene(0, t);
  EXPECT_EQ(allocations.load(), before);
  EXPECT_NE(zeObjectNode(200)->getMaterial(1).DiffuseColor, colour);  // the surfaces played
  zeDeleteScene(0);
}
