// The particle node and the emitter commands on the NULL driver: creation and
// its failures, what a draw hands over (through a recording drawer), the
// 65,536 cap said once, hidden nodes, static nodes, the setters and the
// scenes' emitter seam.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "particles/CZeParticleSystemSceneNode.h"
#include "particles/IZeParticleDrawer.h"
#include "particles/zeFxEmitter.h"
#include "particles/zeFxEmitterSceneSeam.h"
#include "particles/zeParticleInstances.h"
#include "render/zeEffectManagerSlot.h"
#include "scene/sceneFixture.h"
#include "scene/zeObject.h"
#include "scene/zeScene.h"

using namespace irr;

namespace {

// A 2 x 2 uncompressed true-colour TGA, written by hand.
std::string writeSprite(const std::string& dir) {
  const std::string path = dir + "/spark.tga";
  unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 8};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<char*>(header), sizeof header);
  for (int i = 0; i < 4; ++i) out.put(char(255)).put(char(255)).put(char(255)).put(char(255));
  return path;
}

struct RecordingDrawer : IZeParticleDrawer {
  struct Draw {
    scene::ISceneNode* node;
    std::vector<SZeParticleInstance> instances;
    int materialType;
  };
  std::vector<Draw> draws;
  void draw(const SZeParticleBatch& b) override {
    draws.push_back({b.node, std::vector<SZeParticleInstance>(b.instances, b.instances + b.count),
                     b.material->MaterialType});
  }
};

class ParticleNodeTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    dir = tempDirectory();
    sprite = writeSprite(dir);
    zeSetParticleDrawer(&drawer);
  }
  void TearDown() override {
    zeSetParticleDrawer(nullptr);
    SceneTest::TearDown();
  }
  CZeParticleSystemSceneNode* box(int id) {
    EXPECT_EQ(zeMakeFxEmitterBox(id, sprite.c_str(), 1, 1, 1), 0) << takeError();
    return zeFxEmitterNode(id);
  }
  std::string dir, sprite;
  RecordingDrawer drawer;
};

}  // namespace

TEST_F(ParticleNodeTest, CreationAndItsFailures) {
  CZeParticleSystemSceneNode* node = box(3);
  ASSERT_NE(node, nullptr);
  EXPECT_TRUE(zeFxEmitterExists(3));
  EXPECT_EQ(node->getMaterial(0).getTexture(0), node->look().clip);
  EXPECT_TRUE(node->emitter().usesSharedPool());
  int arg = 0;
  const std::string missing = dir + "/missing.png";
  struct Case {
    std::function<int()> call;
    const char* error;
    int arg;
  } cases[] = {
      {[&] { return zeMakeFxEmitterBox(3, sprite.c_str(), 1, 1, 1); }, "invalid FxEmitter ID 3 : id 3 already exist", 1},
      {[&] { return zeMakeFxEmitterSphere(1000, sprite.c_str(), 1, 1, 1); },
       "invalid FxEmitter ID 1000 : invalid ID 1000 greater or equals than 1000", 1},
      {[&] { return zeMakeFxEmitterBox(4, missing.c_str(), 1, 1, 1); }, "failed to setup material image", 2},
      {[&] { return zeShowFxEmitter(7); }, "FxEmitter ID 7 does not exist. id 7 does not exist", 1},
      {[&] { return zeSetFxEmitterParent(3, 9); }, "FxEmitter ID 3 : parent 9 does not exist. id 9 does not exist", 2},
      {[&] { return zeSetFxEmitterEffectTechnique(3, 1); }, "FxEmitter ID 3 has no effect applied on it", 1},
      // No object 42: the object layer says so (not kept), the emitter is not made.
      {[&] { return zeMakeFxEmitterMeshVertices(5, sprite.c_str(), 42); }, "", -1},
  };
  for (const Case& c : cases) {
    takeError();
    EXPECT_EQ(c.call(), -1) << c.error;
    if (*c.error) {
      EXPECT_EQ(takeError(&arg), c.error);
      EXPECT_EQ(arg, c.arg) << c.error;
    }
  }
  // Failed creations leave their identifiers free.
  EXPECT_FALSE(zeFxEmitterExists(4));
  EXPECT_FALSE(zeFxEmitterExists(5));
  EXPECT_EQ(zeMakeFxEmitterSphere(4, sprite.c_str(), 2, 2, 2), 0);
  EXPECT_EQ(zeFxEmitterNode(4)->emitter().params().kind, ZE_EMITTER_SPHERE);
  EXPECT_EQ(zeDeleteFxEmitter(3), 0);
  EXPECT_FALSE(zeFxEmitterExists(3));
  EXPECT_EQ(zeMakeFxEmitterBox(3, sprite.c_str(), 1, 1, 1), 0);
}

TEST_F(ParticleNodeTest, ADrawHandsOverTheLiveParticlesAsInstanceRecords) {
  CZeParticleSystemSceneNode* node = box(1);
  zeSetFxEmitterBirthRate(1, 50);
  zeSetFxEmitterVelocity(1, 0, 2, 0);
  zeSetFxEmitterLifeTime(1, 3, 0);
  zeSetFxEmitterResistance(1, 0);
  zePositionFxEmitter(1, 4, 5, 6);
  node->OnAnimate(1000);
  node->OnAnimate(1100);  // 5 particles
  node->render();
  ASSERT_EQ(drawer.draws.size(), 1u);
  const RecordingDrawer::Draw& d = drawer.draws[0];
  EXPECT_EQ(d.node, node);
  EXPECT_EQ(d.materialType, int(video::EMT_TRANSPARENT_ADD_COLOR));
  std::vector<SZeParticle> live;
  node->emitter().forEachLive([&](const SZeParticle& p) { live.push_back(p); });
  ASSERT_EQ(d.instances.size(), 5u);
  for (size_t i = 0; i < live.size(); ++i) {
    const SZeParticleInstance& r = d.instances[i];
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(r.position[a], live[i].position[a]);
      EXPECT_EQ(r.velocity[a], live[i].velocity[a]);
    }
    EXPECT_FLOAT_EQ(r.birth, 1.1f);
    EXPECT_FLOAT_EQ(r.death, 4.1f);
    EXPECT_EQ(r.zero, 0.0f);
    EXPECT_NEAR(r.position[0], 4.0f, 0.5f);  // around the node's position
    EXPECT_FLOAT_EQ(r.velocity[1], 2.0f);
  }
}

TEST_F(ParticleNodeTest, AHiddenNodeNeitherAnimatesNorDraws) {
  CZeParticleSystemSceneNode* node = box(1);
  zeSetFxEmitterBirthRate(1, 100);
  node->OnAnimate(0);
  zeHideFxEmitter(1);
  node->OnAnimate(100);
  EXPECT_EQ(node->emitter().getLiveCount(), 0u);
  zeEngineContext().sceneManager->drawAll();
  node->render();
  EXPECT_TRUE(drawer.draws.empty());
  zeShowFxEmitter(1);
  node->OnAnimate(200);
  EXPECT_EQ(node->emitter().getLiveCount(), 20u);  // the time hidden counts as one step
  zeEngineContext().sceneManager->drawAll();       // registered and drawn by the scene manager
  EXPECT_EQ(drawer.draws.size(), 1u);
}

TEST_F(ParticleNodeTest, AtMost65536ParticlesAreDrawnAndTheCutIsSaidOnce) {
  // The last count drawn whole, the first cut, and far past it.
  for (uint32_t count : {65536u, 65537u, 70000u}) {
    SCOPED_TRACE(count);
    drawer.draws.clear();
    CZeParticleSystemSceneNode* node = box(1);
    zeSetFxEmitterBirthRate(1, float(count));
    zeSetFxEmitterLifeTime(1, 100, 0);
    node->OnAnimate(0);
    node->OnAnimate(1000);
    ASSERT_EQ(node->emitter().getLiveCount(), count);
    zeSetMessageThreshold(ZE_WARN);
    testing::internal::CaptureStdout();
    node->render();
    node->render();
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(drawer.draws.size(), 2u);
    EXPECT_EQ(drawer.draws[0].instances.size(), ZE_PARTICLE_INSTANCE_CAPACITY);
    std::vector<SZeParticle> live;
    node->emitter().forEachLive([&](const SZeParticle& p) { live.push_back(p); });
    EXPECT_EQ(drawer.draws[0].instances.back().position[2], live[65535].position[2]);  // the ring's first 65,536
    const std::string line =
        "Particle node 1: " + std::to_string(count) + " particles, only the first 65536 are drawn";
    if (count == 65536) {
      EXPECT_EQ(printed.find("only the first"), std::string::npos) << printed;
    } else {
      EXPECT_NE(printed.find(line), std::string::npos) << printed;
      EXPECT_EQ(printed.find(line), printed.rfind(line));  // once
    }
    zeDeleteFxEmitter(1);
  }
}

TEST_F(ParticleNodeTest, AStaticNodeShowsItsMeshVerticesAndIgnoresTheSimulationSetters) {
  scene::SMesh* mesh = makeBigMesh(70000);
  auto* animated = new scene::SAnimatedMesh(mesh);
  mesh->drop();
  cacheMesh("big.gen", animated);
  animated->drop();
  ASSERT_EQ(zeLoadObject(2, "big.gen"), 0) << takeError();
  ASSERT_EQ(zeMakeFxEmitterMeshStatic(9, sprite.c_str(), 2), 0) << takeError();
  CZeParticleSystemSceneNode* node = zeFxEmitterNode(9);
  EXPECT_TRUE(node->isStatic());
  EXPECT_FALSE(node->emitter().usesSharedPool());
  zeSetFxEmitterBirthRate(9, 1000);
  zeSetFxEmitterGravity(9, 0, -10, 0);
  EXPECT_EQ(node->emitter().params().birthRate, 0.0f);
  EXPECT_EQ(node->emitter().params().gravity[1], 0.0f);
  node->OnAnimate(0);
  node->OnAnimate(500);
  EXPECT_EQ(node->emitter().getLiveCount(), 70000u);
  zeSetMessageThreshold(ZE_WARN);
  testing::internal::CaptureStdout();
  node->render();
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Particle node 9: 70000 particles, only the first 65536"),
            std::string::npos);
  ASSERT_EQ(drawer.draws.size(), 1u);
  const SZeParticleInstance& first = drawer.draws[0].instances[0];
  const core::vector3df& v0 = mesh->getMeshBuffer(0)->getPosition(0);
  EXPECT_EQ(first.position[0], v0.X);
  EXPECT_EQ(first.birth, 0.0f);
  EXPECT_FLOAT_EQ(first.death, 4294967.295f);
}

TEST_F(ParticleNodeTest, SettersReachTheEmitterAndTheLook) {
  CZeParticleSystemSceneNode* node = box(1);
  const SZeFxEmitterParams& p = node->emitter().params();
  zeSetFxEmitterParticleSize(1, 0.25f);
  EXPECT_EQ(p.size, 0.5f);
  EXPECT_EQ(node->look().size, 0.5f);
  zeSetFxEmitterWeight(1, 3);
  zeSetFxEmitterResistance(1, 4);
  zeSetFxEmitterVibration(1, 5);
  zeSetFxEmitterExplosion(1, 6);
  zeSetFxEmitterParentMotion(1, 0.5f);
  zeSetFxEmitterParticleLimit(1, 12);
  zeSetFxEmitterLifeTime(1, 2.5f, 0.5f);
  EXPECT_EQ(std::vector<float>({p.weight, p.resistance, p.vibration, p.explosion, p.parentMotion, p.lifeTime,
                                p.lifeTimeVariation}),
            std::vector<float>({3, 4, 5, 6, 0.5f, 2.5f, 0.5f}));
  EXPECT_EQ(p.particleLimit, 12);
  // Blend modes: 1 alpha and sorted, 3 subtractive, anything else additive.
  const struct {
    int mode, blend, material;
    bool sorted;
  } blends[] = {{1, 0, video::EMT_TRANSPARENT_ALPHA_CHANNEL, true},
                {3, 2, video::EMT_ONETEXTURE_BLEND, false},
                {0, 1, video::EMT_TRANSPARENT_ADD_COLOR, false},
                {2, 1, video::EMT_TRANSPARENT_ADD_COLOR, false}};
  for (const auto& b : blends) {
    zeSetFxEmitterBlendMode(1, b.mode);
    EXPECT_EQ(node->look().blend, b.blend) << b.mode;
    EXPECT_EQ(int(node->getMaterial(0).MaterialType), b.material) << b.mode;
    EXPECT_EQ(p.sorted, b.sorted) << b.mode;
  }
  zeSetFxEmitterColor(1, 0xFF8000);
  EXPECT_EQ(std::vector<float>(node->look().colour, node->look().colour + 4), std::vector<float>({1, 128 / 255.0f, 0, 1}));
  EXPECT_FALSE(node->look().useImageColour);
  zeSetFxEmitterUseImageColor(1);
  EXPECT_TRUE(node->look().useImageColour);
  EXPECT_EQ(node->look().colour[1], 1.0f);
  // The look's compile parameters are those the effect commands ask for.
  zeSetFxEmitterRotation(1, 30);
  SZeEffectCompileParameters c;
  EXPECT_EQ(zeFxEmitterCompileParameters(1, &c), 0);
  ASSERT_EQ(c.macros.size(), 3u);
  EXPECT_EQ(c.macros[0].name, "USE_TEX_COLOR");
  EXPECT_EQ(c.macros[1].name, "USE_ROTATION");
  EXPECT_EQ(c.macros[2].name, "USE_BLEND_ADD");
  EXPECT_EQ(c.baseMaterial, int(video::EMT_TRANSPARENT_ADD_COLOR));
  EXPECT_EQ(zeFxEmitterCompileParameters(2, &c), 1);
}

TEST_F(ParticleNodeTest, ResetAndLockGoThroughTheNode) {
  CZeParticleSystemSceneNode* node = box(1);
  zeSetFxEmitterBirthRate(1, 100);
  zeSetFxEmitterParticleLimit(1, 10);
  node->OnAnimate(0);
  node->OnAnimate(500);
  EXPECT_EQ(node->emitter().getLiveCount(), 10u);
  zeFxResetEmitter(1);
  EXPECT_EQ(node->emitter().getLiveCount(), 0u);
  node->OnAnimate(1000);
  EXPECT_EQ(node->emitter().getLiveCount(), 10u);
  zeFxResetEmitterEmittedCount(1);
  node->OnAnimate(1500);
  EXPECT_EQ(node->emitter().getLiveCount(), 20u);
  zeLockFxEmitterOn(1);
  EXPECT_EQ(node->getParent(), zeEngineContext().sceneManager->getActiveCamera());
  zeLockFxEmitterOff(1);
  EXPECT_EQ(node->getParent(), zeEngineContext().sceneManager->getRootSceneNode());
}

TEST_F(ParticleNodeTest, TheSharedBuffersLiveAsLongAsParticleNodes) {
  box(1);
  box(2);
  EXPECT_EQ(zeParticleInstancesUsers(), 2);
  EXPECT_EQ(zeSharedParticlePoolUsers(), 2);
  zeDeleteFxEmitter(1);
  zeDeleteFxEmitter(2);
  EXPECT_EQ(zeParticleInstancesUsers(), 0);
  EXPECT_EQ(zeSharedParticlePoolUsers(), 0);
  box(1);  // made again by the next node
  EXPECT_EQ(zeParticleInstancesUsers(), 1);
  zeEngineStop();  // the scene graph takes the nodes with it
  EXPECT_EQ(zeParticleInstancesUsers(), 0);
  EXPECT_EQ(zeSharedParticlePoolUsers(), 0);
}

TEST_F(ParticleNodeTest, ScenesMakeAndAnimateTheirEmitters) {
  zeInstallFxEmitterSceneSeam(zeEngineEffectCommands);
  const std::string path = dir + "/emitters.zscn";
  std::ofstream(path) << "# test scene\n{ Scene\n{ SceneInfo\nframeStart I4 0\nframeEnd I4 50\nframeStep I4 1\n"
                         "framesPerSecond FP 25\n}\n{ FxEmitters\n{ E\ntype I4 0\nname STR sparks\n"
                         "position FP 1 2 3\n{ HyperVoxel\nclipFilename STR " + sprite + "\nparticleSize FP 0.5\n"
                         "clipAlpha I4 1\ncolor FP 1 0 0\n}\n{ ParticleFx\nnozzle I4 1\ngeneratorSize FP 2 3 4\n"
                         "birthRate FP 40\nlifeTime FP 5\nparticleLimit I4 100\ngravity FP 0 -9.8 0\n"
                         "velocity FP 1 0 0\ncurlNoisePower FP 0.5\ncurlNoiseFrequency FP 2\n}\n}\n}\n}\n";
  ZeSceneLoadParams params;
  params.fxEmitterBase = 20;
  testing::internal::CaptureStdout();
  ASSERT_EQ(zeLoadScene(1, path.c_str(), "", params), 0) << takeError();
  testing::internal::GetCapturedStdout();
  CZeParticleSystemSceneNode* node = zeFxEmitterNode(20);
  ASSERT_NE(node, nullptr);
  const SZeFxEmitterParams& p = node->emitter().params();
  EXPECT_EQ(p.kind, ZE_EMITTER_SPHERE);
  EXPECT_EQ(std::vector<float>(p.generatorSize, p.generatorSize + 3), std::vector<float>({2, 3, 4}));
  EXPECT_EQ(p.particleLimit, 100);
  EXPECT_EQ(node->look().blend, ZE_PARTICLE_BLEND_ALPHA);
  EXPECT_TRUE(p.sorted);
  EXPECT_EQ(node->look().size, 1.0f);
  EXPECT_EQ(node->look().colour[0], 1.0f);
  EXPECT_EQ(node->look().colour[1], 0.0f);
  EXPECT_FALSE(node->isVisible());  // a loaded scene is hidden until shown
  zeShowScene(1);
  EXPECT_TRUE(node->isVisible());
  zeAnimateScene(1, 1000);
  EXPECT_EQ(p.birthRate, 40.0f);
  EXPECT_EQ(std::vector<float>(p.gravity, p.gravity + 3), std::vector<float>({0, -9.8f, 0}));
  EXPECT_EQ(p.velocity[0], 1.0f);
  EXPECT_EQ(p.curlNoisePower, 0.5f);
  EXPECT_EQ(p.curlNoiseFrequency, 2.0f);
  EXPECT_EQ(node->getPosition(), core::vector3df(1, 2, 3));
  zeDeleteScene(1);
  EXPECT_FALSE(zeFxEmitterExists(20));
}
