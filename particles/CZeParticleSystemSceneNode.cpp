#include "particles/CZeParticleSystemSceneNode.h"

#include "base/zeMessage.h"
#include "particles/IZeParticleDrawer.h"
#include "particles/zeParticleInstances.h"

using namespace irr;

CZeParticleSystemSceneNode::CZeParticleSystemSceneNode(scene::ISceneNode* parent, scene::ISceneManager* manager,
                                                       s32 id, scene::IMesh* staticMesh)
    : IZeParticleSystemSceneNode(parent, manager, id) {
  static_ = staticMesh != nullptr;
  valid_ = static_ ? emitter_.initStatic(staticMesh) : emitter_.init(0, true);
  instances_ = zeParticleInstancesGrab();
  if (!instances_) valid_ = false;
  material_.Lighting = false;
  material_.ZWriteEnable = false;
  material_.MaterialType = static_cast<video::E_MATERIAL_TYPE>(zeParticleLookMaterialType(look_));
  setAutomaticCulling(scene::EAC_OFF);  // particles leave any box the node could keep
}

CZeParticleSystemSceneNode::~CZeParticleSystemSceneNode() {
  if (instances_) zeParticleInstancesDrop();
}

void CZeParticleSystemSceneNode::OnRegisterSceneNode() {
  if (!IsVisible) return;
  video::IMaterialRenderer* renderer =
      SceneManager->getVideoDriver()->getMaterialRenderer(static_cast<u32>(material_.MaterialType));
  SceneManager->registerNodeForRendering(
      this, renderer && renderer->isTransparent() ? scene::ESNRP_TRANSPARENT_EFFECT : scene::ESNRP_SOLID);
  ISceneNode::OnRegisterSceneNode();
}

void CZeParticleSystemSceneNode::OnAnimate(u32 timeMs) {
  if (!IsVisible) return;  // a hidden node's particles wait
  ISceneNode::OnAnimate(timeMs);
  emitter_.setWorldMatrix(AbsoluteTransformation);
  if (scene::ICameraSceneNode* camera = SceneManager->getActiveCamera()) {
    const core::vector3df eye = camera->getAbsolutePosition();
    emitter_.setSortReference(eye.X, eye.Y, eye.Z);
  }
  emitter_.update(timeMs);
}

void CZeParticleSystemSceneNode::render() {
  if (!valid_ || !IsVisible) return;
  const uint32_t live = emitter_.getLiveCount();
  const uint32_t n = zeParticleFillInstances(emitter_, instances_, ZE_PARTICLE_INSTANCE_CAPACITY);
  if (n < live && !saidCut_) {
    saidCut_ = true;
    zeMessage(ZE_WARN, "Particle node %d: %u particles, only the first %u are drawn", ID, live, n);
  }
  if (n == 0) return;
  SZeParticleBatch batch;
  batch.node = this;
  batch.material = &material_;
  batch.look = &look_;
  batch.instances = instances_;
  batch.count = n;
  zeParticleDrawer()->draw(batch);
}

void CZeParticleSystemSceneNode::lockToCamera(bool on) {
  scene::ISceneNode* target = on ? SceneManager->getActiveCamera() : SceneManager->getRootSceneNode();
  if (target && target != Parent) setParent(target);
}
