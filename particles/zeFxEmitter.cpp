#include "particles/zeFxEmitter.h"

#include "app/zeEngine.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectManager.h"
#include "particles/CZeParticleSystemSceneNode.h"
#include "scene/CZeSceneNodeExt.h"
#include "scene/zeObject.h"

using namespace irr;

namespace {

// The table's cells live here, one per identifier: nothing to free when the
// engine stops and its scene graph takes the nodes with it.
ZeFxEmitterCell cells[1000];

ZeHandleTable<ZeFxEmitterCell>* table() { return zeEngineContext().fxEmitters.get(); }

CZeParticleSystemSceneNode* find(int id) {
  ZeHandleTable<ZeFxEmitterCell>* t = table();
  ZeFxEmitterCell* cell = t ? t->find(id) : nullptr;
  if (!cell) {
    zeReportArgError(1, "FxEmitter ID %d does not exist. %s", id, t ? t->reason() : "the engine is not started");
    return nullptr;
  }
  return cell->node;
}

// The emitter of a simulation setter; nullptr for a static one, which keeps its particles as they are.
CZeFxEmitter* simulated(int id, int* status) {
  CZeParticleSystemSceneNode* node = find(id);
  *status = node ? 0 : -1;
  return node && !node->isStatic() ? &node->emitter() : nullptr;
}

#define SIMULATION(call)                        \
  int status;                                   \
  if (CZeFxEmitter* e = simulated(id, &status)) \
    e->call;                                    \
  return status

void forget(int id) {
  if (ZeHandleTable<ZeFxEmitterCell>* t = table()) t->remove(id);
}

bool setupImage(CZeParticleSystemSceneNode* node, const char* image) {
  const char* file = image && *image ? image : zeFindKnownFile("ZeDefaultParticle.png");
  video::IVideoDriver* driver = zeEngineContext().driver;
  video::ITexture* texture = driver && file && *file && zeFileExists(file) ? driver->getTexture(file) : nullptr;
  if (!texture) return false;
  node->look().clip = texture;
  node->getMaterial(0).setTexture(0, texture);
  return true;
}

// A new node under `id`: the identifier reserved, the node in the scene with
// its extension, its image set up. nullptr after the message.
CZeParticleSystemSceneNode* make(int id, const char* image, scene::IMesh* staticMesh = nullptr) {
  ZeHandleTable<ZeFxEmitterCell>* t = table();
  // The table checks the identifier (and says why it is refused) before the cell is taken.
  if (!t || !t->add(id, &cells[id >= 0 && id < 1000 ? id : 0])) {
    zeReportArgError(1, "invalid FxEmitter ID %d : %s", id, t ? t->reason() : "the engine is not started");
    return nullptr;
  }
  scene::ISceneManager* smgr = zeEngineContext().sceneManager;
  auto* node = new CZeParticleSystemSceneNode(smgr->getRootSceneNode(), smgr, id, staticMesh);
  node->drop();  // the scene graph holds it
  if (!node->valid()) {
    node->remove();
    forget(id);
    zeReportArgError(-1, "failed to create FxEmitter node");
    return nullptr;
  }
  auto* ext = new CZeSceneNodeExt(node);
  node->addAnimator(ext);
  ext->drop();
  if (!setupImage(node, image)) {
    node->remove();
    forget(id);
    zeReportArgError(2, "failed to setup material image");
    return nullptr;
  }
  cells[id].node = node;
  return node;
}

int makeGenerator(int id, const char* image, float x, float y, float z, int kind) {
  CZeParticleSystemSceneNode* node = make(id, image);
  if (!node) return -1;
  node->emitter().setGeneratorSize(x, y, z);
  node->emitter().setKind(kind);
  return 0;
}

int makeOnMesh(int id, const char* image, int object, int kind) {
  if (makeGenerator(id, image, 1, 1, 1, ZE_EMITTER_BOX) != 0) return -1;
  scene::IMesh* mesh = zeGetObjectMesh(object);
  CZeFxEmitter& e = cells[id].node->emitter();
  if (!mesh) zeMessage(ZE_ERROR, "failed to get mesh of object ID %d", object);
  e.setKind(kind);
  if (!mesh || !e.setMesh(mesh)) {
    zeDeleteFxEmitter(id);
    return -1;
  }
  return 0;
}

}  // namespace

// --- Creation -----------------------------------------------------------------------------------

int zeMakeFxEmitterBox(int id, const char* image, float x, float y, float z) {
  return makeGenerator(id, image, x, y, z, ZE_EMITTER_BOX);
}

int zeMakeFxEmitterSphere(int id, const char* image, float x, float y, float z) {
  return makeGenerator(id, image, x, y, z, ZE_EMITTER_SPHERE);
}

int zeMakeFxEmitterMeshVertices(int id, const char* image, int object) {
  return makeOnMesh(id, image, object, ZE_EMITTER_MESH_VERTICES);
}

int zeMakeFxEmitterMeshNormal(int id, const char* image, int object) {
  return makeOnMesh(id, image, object, ZE_EMITTER_MESH_NORMALS);
}

int zeMakeFxEmitterMeshSurface(int id, const char* image, int object) {
  return makeOnMesh(id, image, object, ZE_EMITTER_MESH_SURFACE);
}

int zeMakeFxEmitterFromParent(int id, const char* image, int parent, bool dead) {
  if (makeGenerator(id, image, 1, 1, 1, dead ? ZE_EMITTER_PARENT_DEAD : ZE_EMITTER_PARENT_LIVE) != 0) return -1;
  ZeHandleTable<ZeFxEmitterCell>* t = table();
  ZeFxEmitterCell* p = parent >= 0 && parent != id ? t->peek(parent) : nullptr;
  cells[id].node->emitter().setParent(p ? &p->node->emitter() : nullptr);
  return 0;
}

int zeMakeFxEmitterMeshStatic(int id, const char* image, int object) {
  scene::IMesh* mesh = zeGetObjectMesh(object);
  if (!mesh) {
    zeMessage(ZE_ERROR, "failed to get mesh of object ID %d", object);
    return -1;
  }
  return make(id, image, mesh) ? 0 : -1;
}

int zeSetFxEmitterParent(int id, int parent) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  ZeHandleTable<ZeFxEmitterCell>* t = table();
  ZeFxEmitterCell* p = t->find(parent);
  if (!p) {
    zeReportArgError(2, "FxEmitter ID %d : parent %d does not exist. %s", id, parent, t->reason());
    return -1;
  }
  node->emitter().setParent(&p->node->emitter());
  return 0;
}

int zeDeleteFxEmitter(int id) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  forget(id);
  cells[id].node = nullptr;
  node->remove();  // the emitter's particles go back to their pool with it
  return 0;
}

bool zeFxEmitterExists(int id) {
  ZeHandleTable<ZeFxEmitterCell>* t = table();
  return t && t->has(id);
}

CZeParticleSystemSceneNode* zeFxEmitterNode(int id) {
  ZeHandleTable<ZeFxEmitterCell>* t = table();
  ZeFxEmitterCell* cell = t ? t->peek(id) : nullptr;
  return cell ? cell->node : nullptr;
}

// --- The node -----------------------------------------------------------------------------------

int zeShowFxEmitter(int id) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->setVisible(true);
  return 0;
}

int zeHideFxEmitter(int id) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->setVisible(false);
  return 0;
}

int zePositionFxEmitter(int id, float x, float y, float z) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->setPosition({x, y, z});
  return 0;
}

int zeRotateFxEmitter(int id, float x, float y, float z) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->setRotation({x, y, z});
  return 0;
}

int zeLockFxEmitterOn(int id) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->lockToCamera(true);
  return 0;
}

int zeLockFxEmitterOff(int id) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->lockToCamera(false);
  return 0;
}

// --- Simulation parameters ------------------------------------------------------------------------

int zeSetFxEmitterVelocity(int id, float x, float y, float z) { SIMULATION(setVelocity(x, y, z)); }
int zeSetFxEmitterParentMotion(int id, float value) { SIMULATION(setParentMotion(value)); }
int zeSetFxEmitterGravity(int id, float x, float y, float z) { SIMULATION(setGravity(x, y, z)); }
int zeSetFxEmitterBirthRate(int id, float rate) { SIMULATION(setBirthRate(rate)); }
int zeSetFxEmitterLifeTime(int id, float seconds, float variation) { SIMULATION(setLifeTime(seconds, variation)); }
int zeSetFxEmitterExplosion(int id, float value) { SIMULATION(setExplosion(value)); }
int zeSetFxEmitterWeight(int id, float value) { SIMULATION(setWeight(value, 0)); }
int zeSetFxEmitterResistance(int id, float value) { SIMULATION(setResistance(value, 0)); }
int zeSetFxEmitterVibration(int id, float value) { SIMULATION(setVibration(value, 0)); }
int zeSetFxEmitterParticleLimit(int id, int limit) { SIMULATION(setParticleLimit(limit)); }
int zeSetFxEmitterRandomVelocity(int id, float value) { SIMULATION(setRandomVelocity(value)); }

int zeSetFxEmitterCurlNoise(int id, float power, float frequency) {
  int status;
  if (CZeFxEmitter* e = simulated(id, &status)) {
    e->setCurlNoisePower(power);
    e->setCurlNoiseFrequency(frequency);
  }
  return status;
}

int zeFxResetEmitter(int id) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  if (!node->isStatic()) node->emitter().reset();  // a static emitter's particles are its vertices
  return 0;
}

int zeFxResetEmitterEmittedCount(int id) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->emitter().resetEmittedCount();
  return 0;
}

// --- Surface ----------------------------------------------------------------------------------------

int zeSetFxEmitterParticleSize(int id, float size) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->emitter().setSize(2 * size, 0);
  node->look().size = 2 * size;
  return 0;
}

int zeSetFxEmitterBlendMode(int id, int mode) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  // Alpha blending needs back to front; adding and subtracting do not.
  node->look().blend = mode == 1 ? ZE_PARTICLE_BLEND_ALPHA : mode == 3 ? ZE_PARTICLE_BLEND_SUB : ZE_PARTICLE_BLEND_ADD;
  node->emitter().setSorted(mode == 1);
  node->getMaterial(0).MaterialType = static_cast<video::E_MATERIAL_TYPE>(zeParticleLookMaterialType(node->look()));
  return 0;
}

int zeSetFxEmitterUseImageColor(int id) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  SZeParticleLook& look = node->look();
  look.useImageColour = true;
  look.colour[0] = look.colour[1] = look.colour[2] = look.colour[3] = 1;
  return 0;
}

int zeSetFxEmitterColor(int id, int rgb) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  SZeParticleLook& look = node->look();
  look.useImageColour = false;
  look.colour[0] = static_cast<float>((rgb >> 16) & 0xFF) / 255.0f;
  look.colour[1] = static_cast<float>((rgb >> 8) & 0xFF) / 255.0f;
  look.colour[2] = static_cast<float>(rgb & 0xFF) / 255.0f;
  look.colour[3] = 1;
  return 0;
}

int zeSetFxEmitterRotation(int id, float rotation) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  node->look().rotation = rotation;
  return 0;
}

int zeSetFxEmitterColorGradient(int id, const float* values, int count) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  zeParticleLookColourGradient(&node->look(), values, count);
  return 0;
}

int zeSetFxEmitterSizeGradient(int id, const float* values, int count) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return -1;
  zeParticleLookSizeGradient(&node->look(), values, count);
  return 0;
}

// --- Effect -------------------------------------------------------------------------------------------

namespace {

IZeSceneNodeExt* extension(int id, CZeParticleSystemSceneNode** nodeOut = nullptr) {
  CZeParticleSystemSceneNode* node = find(id);
  if (!node) return nullptr;
  if (nodeOut) *nodeOut = node;
  IZeSceneNodeExt* ext = zeFindNodeExt(node);
  if (!ext) zeReportArgError(1, "FxEmitter ID %d unexpected format (no node extension)", id);
  return ext;
}

}  // namespace

int zeSetFxEmitterEffect(SZeEffectCommandEnv& env, int id, int effect) {
  IZeSceneNodeExt* ext = extension(id);
  if (!ext) return -1;
  ZeEffectCell* cell = env.table ? env.table->find(effect) : nullptr;
  if (!cell) {
    zeReportArgError(2, "Effect ID %d does not exist. %s", effect, env.table ? env.table->reason() : "no effects");
    return -1;
  }
  ext->setEffect(0, cell->effect, 0, 0);
  return 0;
}

int zeSetFxEmitterEffectFromFile(SZeEffectCommandEnv& env, int id, const char* file) {
  CZeParticleSystemSceneNode* node = nullptr;
  IZeSceneNodeExt* ext = extension(id, &node);
  if (!ext) return -1;
  SZeEffectCompileParameters p;
  zeParticleLookCompileParameters(node->look(), &p);
  p.macros.push_back({"", ""});
  const char* found = zeFindKnownFile(file ? file : "");
  CZeEffect* effect = env.manager ? env.manager->createEffect(found, p.baseMaterial, p.macros.data(), nullptr) : nullptr;
  if (!effect) {
    zeReportArgErrorShown(2, "FxEmitter ID %d: Failed to compile effect %s", id, file ? file : "");
    return -1;
  }
  ext->setEffect(0, effect, 0, 0);
  effect->drop();  // the row holds it
  return 0;
}

int zeSetFxEmitterDefaultEffect(SZeEffectCommandEnv& env, int id) {
  return zeSetFxEmitterEffectFromFile(env, id, "Particle.dae");
}

int zeSetFxEmitterEffectTechnique(int id, int technique) {
  IZeSceneNodeExt* ext = extension(id);
  if (!ext) return -1;
  if (!ext->getEffect(0)) {
    zeReportArgError(1, "FxEmitter ID %d has no effect applied on it", id);
    return -1;
  }
  ext->setTechnique(0, technique);
  return 0;
}

int zeFxEmitterCompileParameters(int id, SZeEffectCompileParameters* out) {
  CZeParticleSystemSceneNode* node = zeFxEmitterNode(id);
  if (!node) return 1;
  if (!zeFindNodeExt(node)) return 2;
  zeParticleLookCompileParameters(node->look(), out);
  return 0;
}
