// The draw list of a small scene on the NULL driver: which items a view
// gathers (objects buffer by buffer, lights, the camera, what Irrlicht draws
// itself), with which pass, in which order; another view gathers its own
// order and culling; a node type can bring its own drawer; the main
// renderer's frame is that list; and gathering a frame allocates nothing.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectManager.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "effect/zeEffectCommands.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/ZeGLDrawList.h"
#include "render/zeDrawList.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/sceneFixture.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSubsystem.h"
#include "support/effectTable.h"
#include "support/nullShaderBackend.h"

using namespace irr;

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// Not inlined: the compiler would see free() meet memory of operator new.
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

const char* const kEffect = R"(/*
[ZARN_BEGIN]
// float4x4 WVP : WorldViewProjection : vertex
// config techniques : depth
[ZARN_END]
*/
float4x4 WVP;
float4 vs_main(float4 pos : POSITION) : POSITION { return mul(WVP, pos); }
float4 ps_main() : COLOR { return float4(1, 1, 1, 1); }
)";

// A node type of its own, drawn by its own drawer in the effect pass.
constexpr u32 kGlowType = MAKE_IRR_ID('g', 'l', 'o', 'w');
class GlowNode : public scene::ISceneNode {
 public:
  GlowNode(scene::ISceneNode* parent, scene::ISceneManager* manager) : ISceneNode(parent, manager, 77) {
    scene::SMesh* mesh = makeCubeMesh();
    buffer = mesh->getMeshBuffer(0);
    buffer->grab();
    mesh->drop();
    setAutomaticCulling(scene::EAC_OFF);
  }
  ~GlowNode() override { buffer->drop(); }
  scene::ESCENE_NODE_TYPE getType() const override { return scene::ESCENE_NODE_TYPE(kGlowType); }
  const core::aabbox3d<f32>& getBoundingBox() const override { return buffer->getBoundingBox(); }
  void render() override {}
  scene::IMeshBuffer* buffer;
};
class GlowDrawer : public IZeNodeDrawer {
 public:
  bool collect(scene::ISceneNode* node, ZeDrawList& list) override {
    auto* glow = static_cast<GlowNode*>(node);
    list.addBuffer(node, nullptr, glow->buffer, glow->buffer->getMaterial(), 0, ZE_PASS_EFFECT);
    return true;
  }
};

// The NULL driver's own material renderers all say solid: this one is
// transparent, as Irrlicht's blending ones are on a real driver.
class TransparentRenderer : public video::IMaterialRenderer {
 public:
  bool isTransparent() const override { return true; }
};

const char* passName(ZeDrawPass pass) {
  switch (pass) {
    case ZE_PASS_CAMERA: return "camera";
    case ZE_PASS_LIGHT: return "light";
    case ZE_PASS_SOLID: return "solid";
    case ZE_PASS_TRANSPARENT: return "transparent";
    case ZE_PASS_EFFECT: return "effect";
    default: return "irrlicht";
  }
}

// "pass id/row", with " fx<technique>" for a row drawn through an effect.
std::vector<std::string> describe(const ZeDrawList& list) {
  std::vector<std::string> lines;
  list.forEach([&](const SZeDrawItem& item) {
    std::string line = std::string(passName(item.pass)) + " " + std::to_string(item.node->getID());
    if (item.buffer) line += "/" + std::to_string(item.row);
    if (item.effect) line += " fx" + std::to_string(item.technique);
    lines.push_back(line);
  });
  return lines;
}

class DrawList : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeSetMessageThreshold(ZE_NONE);
    zeDisableMessageBoxes();
    zeSceneRegister();
    zeInstallMainRenderer();
    ASSERT_EQ(zeEngineStart(ZeEngineSettings()), 0) << zeStartFailureReason();
    scene_ = zeEngineContext().sceneManager;
    auto* renderer = new TransparentRenderer;
    transparent_ = video::E_MATERIAL_TYPE(zeEngineContext().driver->addMaterialRenderer(renderer));
    renderer->drop();
    cacheStatic("cube.x");
    scene::SMesh* two = makeCubeMesh(2);
    scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(two);
    cacheMesh("two.x", animated);
    animated->drop();
    two->drop();
  }
  void TearDown() override {
    zeSetNodeDrawer(kGlowType, nullptr);
    zeEngineStop();
  }
  // Object `id` from `file` at (0, 0, z), its node's id the object's.
  scene::ISceneNode* object(int id, const char* file, float z) {
    EXPECT_EQ(zeLoadObject(id, file), 0);
    zePositionObject(id, 0, 0, z);
    scene::ISceneNode* node = zeObjectNode(id);
    node->setID(id);
    return node;
  }
  void light(int id, float z) {
    ASSERT_EQ(zeMakeLight(id), 0);
    zeSetPointLight(id, 0, 0, z);
    zeLightNode(id)->setID(100 + id);
  }
  // Animation and camera as a frame does them, then the active camera's view.
  void gather(ZeDrawList* list, scene::ICameraSceneNode* camera = nullptr) {
    scene_->getRootSceneNode()->OnAnimate(0);
    SZeDrawView view;
    view.scene = scene_;
    view.camera = camera ? camera : scene_->getActiveCamera();
    view.camera->render();
    zeCollectDrawList(view, list);
  }
  scene::ISceneManager* scene_ = nullptr;
  video::E_MATERIAL_TYPE transparent_ = video::EMT_SOLID;
};

TEST_F(DrawList, ASmallSceneGivesItsItemsPassesAndOrder) {
  // The default camera looks from the origin down +z.
  zeEngineContext().camera->setID(1000);
  object(1, "cube.x", 10);
  object(2, "cube.x", 20)->getMaterial(0).MaterialType = transparent_;
  object(3, "cube.x", 30)->getMaterial(0).MaterialType = transparent_;
  object(4, "cube.x", -10);            // behind the camera: culled
  object(5, "cube.x", 15);             // hidden with its subtree
  zeHideObject(5);
  object(6, "two.x", 12);              // two buffers, two items
  scene::ISceneNode* withEffect = object(7, "cube.x", 14);
  light(1, 50);
  light(2, 5);
  scene_->addBillboardSceneNode(nullptr, core::dimension2df(1, 1), core::vector3df(0, 0, 8), 8);
  // A node of a type with its own drawer, and one under the hidden object.
  (new GlowNode(scene_->getRootSceneNode(), scene_))->drop();
  (new GlowNode(zeObjectNode(5), scene_))->drop();
  ASSERT_TRUE(zeSetNodeDrawer(kGlowType, new GlowDrawer));  // leaks one small drawer, as a subsystem would keep it

  // Row 0 of object 7 draws through an effect with its second technique.
  NullShaderBackend backend;
  CZeGPUProgrammingServices services(&backend);
  CZeTechniqueLookup lookup;
  CZeEffectManager manager(&services, nullptr, &lookup, nullptr, false);
  const std::string file = ::testing::TempDir() + "drawlist-effect.hlsl";
  std::ofstream(file) << kEffect;
  TestEffectTable effects(&manager);
  SZeEffectCommandEnv& commands = effects.commands;
  ASSERT_EQ(zeLoadEffect(commands, file.c_str(), 1), 0) << manager.getLastError();
  CZeEffect* effect = zeEffectOf(commands, 1);
  ASSERT_EQ(effect->techniques().size(), 2u);
  zeFindNodeExt(withEffect)->setEffect(0, effect, 1, 0);

  ZeDrawList list;
  gather(&list);
  EXPECT_EQ(describe(list), (std::vector<std::string>{
                                "camera 1000", "light 102", "light 101",           // nearest light first
                                "solid 1/0", "solid 6/0", "solid 6/1", "solid 7/0 fx1",  // graph order
                                "transparent 3/0", "transparent 2/0",              // back to front
                                "effect 77/0",                                     // its drawer's pass
                                "irrlicht 8"}));                                   // Irrlicht draws it

  // Another view (a camera behind the scene, looking back) gathers its own
  // order and culling: the transparent rows swap, object 4 is in view, and
  // only the view's camera is gathered.
  scene::ICameraSceneNode* back =
      scene_->addCameraSceneNode(nullptr, core::vector3df(0, 0, 40), core::vector3df(0, 0, 0), 1001, false);
  ZeDrawList other;
  gather(&other, back);
  EXPECT_EQ(describe(other), (std::vector<std::string>{"camera 1001", "light 101", "light 102", "solid 1/0",
                                                       "solid 4/0", "solid 6/0", "solid 6/1", "solid 7/0 fx1",
                                                       "transparent 2/0", "transparent 3/0", "effect 77/0",
                                                       "irrlicht 8"}));

  // The main renderer's frame draws the active camera's list.
  zeSync();
  ASSERT_NE(zeMainRendererList(), nullptr);
  EXPECT_EQ(describe(*zeMainRendererList()), describe(list));

  // Executing on the NULL driver: the passes asked for, rows through their
  // effect only with an effect callback (there is none here).
  video::IVideoDriver* driver = zeEngineContext().driver;
  SZeDrawOptions options;
  options.passes = ZE_PASS_SOLID;
  EXPECT_EQ(zeGLExecuteDrawList(driver, list, options), 3);  // 1/0, 6/0, 6/1
  options.passes = ZE_PASS_LIGHT | ZE_PASS_TRANSPARENT;
  ASSERT_EQ(driver->getMaximalDynamicLightAmount(), 0u);     // lights are set as far as the driver has room
  EXPECT_EQ(zeGLExecuteDrawList(driver, list, options), 2);  // no light, two rows
  options.techniqueName = "never registered";
  EXPECT_EQ(zeGLExecuteDrawList(driver, list, options), -1);
  zeFindNodeExt(withEffect)->setEffect(0, nullptr, 0, 0);
  zeDeleteEffect(commands, 1);
  std::remove(file.c_str());
}

TEST_F(DrawList, AFrameOfGatheringAndDrawingAllocatesNothing) {
  for (int i = 0; i < 200; ++i) object(i, "cube.x", float(5 + i % 50));
  for (int i = 0; i < 100; i += 3) zeObjectNode(i)->getMaterial(0).MaterialType = transparent_;
  for (int i = 0; i < 8; ++i) light(i, float(i * 7));
  ZeDrawList list;
  gather(&list);  // grows to the scene
  zeSync();
  zeSync();
  const long before = allocations.load();
  counting = true;
  for (int frame = 0; frame < 20; ++frame) {
    for (int i = 0; i < 200; i += 7) zePositionObject(i, 0, float(frame % 3), float(5 + (i + frame) % 50));
    gather(&list);
    zeSync();
  }
  counting = false;
  EXPECT_EQ(allocations.load(), before);
  EXPECT_EQ(list.pass(ZE_PASS_SOLID).size() + list.pass(ZE_PASS_TRANSPARENT).size(), 200u);
}

TEST(NodeDrawers, SixteenNodeTypesHaveADrawerAtMost) {
  zeResetMessageState();
  zeSetMessageThreshold(ZE_NONE);
  GlowDrawer drawer;
  int added = 0;
  for (u32 type = 1; zeSetNodeDrawer(type, &drawer); ++type) ++added;
  EXPECT_EQ(added, 16 - 4);  // the four object node types have the mesh drawer
  EXPECT_TRUE(zeSetNodeDrawer(1, &drawer));  // replacing one needs no room
  for (u32 type = 1; type <= u32(added); ++type) ASSERT_TRUE(zeSetNodeDrawer(type, nullptr));
  EXPECT_TRUE(zeSetNodeDrawer(1, &drawer));  // room again
  zeSetNodeDrawer(1, nullptr);
  EXPECT_NE(zeNodeDrawer(scene::ESNT_MESH), nullptr);
}

}  // namespace
