// Families of the scene: light records, single lights, objects, probes.
#include "effect/CZeEffectBinds.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/zeMessage.h"
#include "effect/CZeEffectDef.h"
#include "scene/IZeLightSceneNodeExt.h"
#include "scene/zeNodeKind.h"

using namespace irr;

namespace {

bool anyStage(const SZeFxConstBind& c) { return c.stage == ZE_FX_STAGE_VERTEX || c.stage == ZE_FX_STAGE_FRAGMENT; }


void sendByName(video::IMaterialRendererServices* s, int stage, const std::string& name, const float* v, int count) {
  if (stage == ZE_FX_STAGE_VERTEX) s->setVertexShaderConstant(name.c_str(), v, count);
  else s->setPixelShaderConstant(name.c_str(), v, count);
}

bool isLight(const scene::ISceneNode* n) { return n->getType() == scene::ESNT_LIGHT; }

bool isObject(const scene::ISceneNode* n) {
  const u32 t = n->getType();
  return t == scene::ESNT_MESH || t == scene::ESNT_ANIMATED_MESH || t == ZE_NODE_TYPE_MORPH || t == ZE_NODE_TYPE_MDD;
}

scene::ISceneNode* nthLight(SZeEffectBindEnv& e, int n) {
  zeBindSceneLists(e);
  return n >= 0 && size_t(n) < e.lists.lights.size() ? e.lists.lights[size_t(n)] : nullptr;
}

scene::ISceneNode* nthObject(SZeEffectBindEnv& e, int n) {
  zeBindSceneLists(e);
  return n >= 0 && size_t(n) < e.lists.objects.size() ? e.lists.objects[size_t(n)] : nullptr;
}

// Found by animator type, like the scene layer does; no link to it needed.
const IZeLightSceneNodeExt* lightExt(scene::ISceneNode* node) {
  for (scene::ISceneNodeAnimator* a : node->getAnimators())
    if (a->getType() == scene::ESCENE_NODE_ANIMATOR_TYPE(ZE_LIGHT_NODE_EXT_TYPE))
      return static_cast<const IZeLightSceneNodeExt*>(a);
  return nullptr;
}

core::vector3df lightDirection(scene::ISceneNode* node) {
  core::vector3df d(0, 0, 1);
  node->getAbsoluteTransformation().rotateVect(d);
  return d.normalize();
}

// Engine light types: 0 directional, 1 point, 2 spot.
int engineLightType(video::E_LIGHT_TYPE t) {
  return t == video::ELT_DIRECTIONAL ? 0 : t == video::ELT_SPOT ? 2 : 1;
}

// --- Light records ------------------------------------------------------------------------

const char* const kMembers[8] = {"LightType",      "LightFalloff", "LightColor",  "LightPosition",
                                 "LightDirection", "LightRadius",  "LightRadius2", "SpotlightAngles"};

void lightsNumCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const float n = float(static_cast<CZeEffectBindLightParams*>(b.bind)->count);
  zeFxSendFloats(s, b, &n, 1);
}

void lightParamsCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  auto* f = static_cast<CZeEffectBindLightParams*>(b.bind);
  for (int i = 0; i < CZeEffectBindLightParams::kRecords; ++i) {
    const SZeFxLightRecord& r = f->records[i];
    sendByName(s, b.stage, f->names[i][0], &r.type, 1);
    sendByName(s, b.stage, f->names[i][1], &r.falloff, 1);
    sendByName(s, b.stage, f->names[i][2], r.colour, 3);
    sendByName(s, b.stage, f->names[i][3], r.position, 3);
    sendByName(s, b.stage, f->names[i][4], r.direction, 3);
    sendByName(s, b.stage, f->names[i][5], &r.radius, 1);
    sendByName(s, b.stage, f->names[i][6], &r.radius2, 1);
    sendByName(s, b.stage, f->names[i][7], r.spot, 2);
  }
}

// --- Single lights ------------------------------------------------------------------------

enum LightValue { LV_AMBIENT, LV_POS, LV_DIR, LV_DIFFUSE, LV_PARAMS, LV_VIEW_CONVERT, LV_LIGHT_VIEW };

void lightCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  auto* f = static_cast<CZeEffectBindLight*>(b.bind);
  SZeEffectBindEnv* e = f->env();
  if (b.userData[0] == LV_AMBIENT) {
    const video::SColorf a = e->scene ? e->scene->getAmbientLight() : video::SColorf(0, 0, 0, 0);
    const float v[4] = {a.r, a.g, a.b, a.a};
    zeFxSendFloats(s, b, v, 4);
    return;
  }
  const int n = b.userData[1];
  scene::ISceneNode* node = nthLight(*e, n);
  if (!node) {
    zeMessage(ZE_ERROR, "CZeEffectBindLight : Light index %d not found ", n);
    return;
  }
  const video::SLight& light = static_cast<scene::ILightSceneNode*>(node)->getLightData();
  const core::vector3df p = node->getAbsolutePosition();
  const core::vector3df d = lightDirection(node);
  switch (b.userData[0]) {
    case LV_POS: {
      const float v[4] = {p.X, p.Y, p.Z, 1};
      zeFxSendFloats(s, b, v, 4);
      return;
    }
    case LV_DIR: {
      const float v[3] = {d.X, d.Y, d.Z};
      zeFxSendFloats(s, b, v, 3);
      return;
    }
    case LV_DIFFUSE: {
      const float v[4] = {light.DiffuseColor.r, light.DiffuseColor.g, light.DiffuseColor.b, light.DiffuseColor.a};
      zeFxSendFloats(s, b, v, 4);
      return;
    }
    case LV_PARAMS: {
      const std::string* names = f->paramNames(n);
      const float colour[3] = {light.DiffuseColor.r, light.DiffuseColor.g, light.DiffuseColor.b};
      const float pos[3] = {p.X, p.Y, p.Z}, dir[3] = {d.X, d.Y, d.Z};
      const float radius = light.Radius;
      const float inv = radius != 0 ? 1.0f / (radius * radius) : 0.0f;
      const float spot[2] = {std::cos(light.InnerCone * core::DEGTORAD), std::cos(light.OuterCone * core::DEGTORAD)};
      sendByName(s, b.stage, names[0], colour, 3);
      sendByName(s, b.stage, names[1], pos, 3);
      sendByName(s, b.stage, names[2], dir, 3);
      sendByName(s, b.stage, names[3], &inv, 1);
      sendByName(s, b.stage, names[4], spot, 2);
      return;
    }
    default: {
      core::matrix4 view, projection;
      if (!e->shadows) {
        zeNotBuilt("Light shadow matrices (the shadow renderer)");
        return;
      }
      if (!e->shadows->lightMatrices(n, &view, &projection)) return;
      core::matrix4 m = projection * view;
      if (b.userData[0] == LV_VIEW_CONVERT) {
        core::matrix4 inv;
        zeBindTransform(*e, video::ETS_VIEW).getInverse(inv);
        m = m * inv;
      }
      zeFxSendFloats(s, b, m.pointer(), 16);
    }
  }
}

// --- Objects ------------------------------------------------------------------------------

enum ObjectValue { OV_POS, OV_ROT, OV_SCALE, OV_TRANS, OV_INV_TRANS, OV_COUNT };
const char* const kSingle[OV_COUNT] = {"ObjectPos", "ObjectRot", "ObjectScale", "ObjectTrans", "ObjectInvTrans"};
const char* const kArray[OV_COUNT] = {"ObjectsPos", "ObjectsRot", "ObjectsScale", "ObjectsTrans", "ObjectsInvTrans"};
const int kFloats[OV_COUNT] = {4, 4, 3, 16, 16};

// Writes object `node`'s value; arrays carry transposed matrices.
void objectValue(scene::ISceneNode* node, int which, bool array, float* out) {
  const core::matrix4& m = node->getAbsoluteTransformation();
  switch (which) {
    case OV_POS: {
      const core::vector3df p = node->getAbsolutePosition();
      out[0] = p.X, out[1] = p.Y, out[2] = p.Z, out[3] = 1;
      return;
    }
    case OV_ROT: {
      const core::vector3df r = node->getRotation();
      out[0] = r.X, out[1] = r.Y, out[2] = r.Z, out[3] = 0;
      return;
    }
    case OV_SCALE: {
      const core::vector3df sc = node->getScale();
      out[0] = sc.X, out[1] = sc.Y, out[2] = sc.Z;
      return;
    }
    case OV_TRANS: {
      const core::matrix4 t = array ? m.getTransposed() : m;
      std::memcpy(out, t.pointer(), sizeof(float) * 16);
      return;
    }
    default: {
      core::matrix4 inv;
      m.getInverse(inv);
      if (array) inv = inv.getTransposed();
      std::memcpy(out, inv.pointer(), sizeof(float) * 16);
    }
  }
}

// user[0]: value | 0x100 for arrays; user[1]: object index, or first | count << 16.
void objectCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  auto* f = static_cast<CZeEffectBindObject*>(b.bind);
  SZeEffectBindEnv* e = f->env();
  const int which = b.userData[0] & 0xFF;
  if (!(b.userData[0] & 0x100)) {
    scene::ISceneNode* node = nthObject(*e, b.userData[1]);
    if (!node) {
      zeMessage(ZE_ERROR, "CZeEffectBindObject : Object index %d not found ", b.userData[1]);
      return;
    }
    float v[16];
    objectValue(node, which, false, v);
    if (which >= OV_TRANS) zeFxSendFloats(s, b, v, 16);
    else zeFxSendFloats(s, b, v, kFloats[which]);
    return;
  }
  const int first = b.userData[1] & 0xFFFF, count = (b.userData[1] >> 16) & 0xFFFF;
  const int stride = kFloats[which];
  float* out = f->scratch_.data();
  zeBindSceneLists(*e);
  const std::vector<scene::ISceneNode*>& objects = e->lists.objects;
  int filled = 0;
  while (filled < count && size_t(first + filled) < objects.size()) {
    objectValue(objects[size_t(first + filled)], which, true, out + stride * filled);
    ++filled;
  }
  if (filled < count) {
    zeMessage(ZE_ERROR, "CZeEffectBindObject : Object index %d not found ", first + filled);
    return;
  }
  zeFxSendFloats(s, b, out, stride * count);
}

// --- Probes -------------------------------------------------------------------------------

enum ProbeValue { PV_NEAREST, PV_TWO, PV_COUNT, PV_LIST, PV_LIST_COUNT };

void probeCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  auto* f = static_cast<CZeEffectBindProbes*>(b.bind);
  const IZeProbeSet* set = f->env()->probes;
  const int count = set ? set->probeCount() : 0;
  const int listed = count < 10 ? count : 10;
  switch (b.userData[0]) {
    case PV_NEAREST: {
      const float v = float(f->nearest);
      zeFxSendFloats(s, b, &v, 1);
      return;
    }
    case PV_TWO: {
      const float v[4] = {float(f->nearest), float(f->second), f->weights[0], f->weights[1]};
      zeFxSendFloats(s, b, v, 4);
      return;
    }
    case PV_COUNT: {
      const float v = float(count);
      zeFxSendFloats(s, b, &v, 1);
      return;
    }
    case PV_LIST: {
      float v[40] = {};
      for (int i = 0; i < listed; ++i) set->probe(i, v + 4 * i);
      if (listed) zeFxSendFloats(s, b, v, 4 * listed);
      return;
    }
    default: {
      const float v = float(listed);
      zeFxSendFloats(s, b, &v, 1);
    }
  }
}

}  // namespace

void zeBindSceneLists(SZeEffectBindEnv& e) {
  if (e.frame != 0 && e.lists.frame == e.frame) return;
  e.lists.frame = e.frame;
  e.lists.lights.clear();
  e.lists.objects.clear();
  if (!e.scene) return;
  for (scene::ISceneNode* child : e.scene->getRootSceneNode()->getChildren()) {
    if (isLight(child)) e.lists.lights.push_back(child);
    else if (isObject(child)) e.lists.objects.push_back(child);
  }
}

// --- Families -----------------------------------------------------------------------------

CZeEffectBindLightParams::CZeEffectBindLightParams(SZeEffectBindEnv* env) : CZeEffectBindFamily(env) {
  char text[64];
  for (int i = 0; i < kRecords; ++i)
    for (int m = 0; m < 8; ++m) {
      std::snprintf(text, sizeof(text), "LightParams[%d].%s", i, kMembers[m]);
      names[i][m] = text;
    }
}

void CZeEffectBindLightParams::fill() {
  // The records stay for the frame when it carries a stamp.
  if (env_->frame != 0 && filledFrame_ == env_->frame) return;
  filledFrame_ = env_->frame;
  count = 0;
  for (SZeFxLightRecord& r : records) r = SZeFxLightRecord();
  zeBindSceneLists(*env_);
  // Directional lights first, then point and spot lights, in child order.
  for (int pass = 0; pass < 2 && count < kRecords; ++pass)
    for (scene::ISceneNode* child : env_->lists.lights) {
      if (count >= kRecords) break;
      const video::SLight& l = static_cast<scene::ILightSceneNode*>(child)->getLightData();
      const int type = engineLightType(l.Type);
      if ((pass == 0) != (type == 0)) continue;
      SZeFxLightRecord& r = records[count++];
      const IZeLightSceneNodeExt* ext = lightExt(child);
      const int falloff = ext ? ext->getLightData().falloffType : 1;
      const core::vector3df p = child->getAbsolutePosition(), d = lightDirection(child);
      r.type = float(type);
      r.falloff = float(falloff);
      r.colour[0] = l.DiffuseColor.r, r.colour[1] = l.DiffuseColor.g, r.colour[2] = l.DiffuseColor.b;
      r.position[0] = p.X, r.position[1] = p.Y, r.position[2] = p.Z;
      r.direction[0] = d.X, r.direction[1] = d.Y, r.direction[2] = d.Z;
      r.radius = l.Radius;
      r.radius2 = falloff == 4   ? l.Radius / 0.05f
                  : falloff == 5 ? std::sqrt(l.Radius * l.Radius / 0.01f)
                  : falloff == 1 ? l.Radius
                                 : 10000000.0f;
      if (type == 2) {
        r.spot[0] = std::cos(l.InnerCone * core::DEGTORAD);
        r.spot[1] = std::cos(l.OuterCone * core::DEGTORAD);
      }
    }
}

bool CZeEffectBindLightParams::onSetMaterial(const SZeEffectDrawContext*) {
  fill();
  return true;
}

ZeFxBindCallback CZeEffectBindLightParams::getBind(const SZeFxConstBind& c, int32_t[2]) {
  if (c.stage != ZE_FX_STAGE_FRAGMENT) return nullptr;
  if (c.semantic == "LightsNum") return lightsNumCallback;
  if (c.semantic == "LightParams") return lightParamsCallback;
  return nullptr;
}

const std::string* CZeEffectBindLight::paramNames(int light) {
  auto found = names_.find(light);
  if (found != names_.end()) return found->second.data();
  static const char* const members[5] = {"LightColor", "LightPosition", "LightDirection", "InvLightRadiusSqr",
                                         "SpotlightAngles"};
  std::vector<std::string>& list = names_[light];
  char text[96];
  for (const char* m : members) {
    std::snprintf(text, sizeof(text), "LightParams[%d].%s", light, m);
    list.push_back(text);
  }
  return list.data();
}

ZeFxBindCallback CZeEffectBindLight::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  const char* s = c.semantic.c_str();
  int n = 0, used = 0;
  if (c.semantic == "LightAmbient") {
    user[0] = LV_AMBIENT;
    return lightCallback;
  }
  char member[64] = {};
  if (std::sscanf(s, "Light[%d].%63s", &n, member) == 2 && n >= 0) {
    static const struct {
      const char* name;
      int value;
    } kMembersOf[] = {{"Position", LV_POS},           {"Direction", LV_DIR},        {"Params", LV_PARAMS},
                      {"ViewConvert", LV_VIEW_CONVERT}, {"LightView", LV_LIGHT_VIEW}};
    for (const auto& m : kMembersOf)
      if (std::strcmp(member, m.name) == 0) {
        user[0] = m.value;
        user[1] = n;
        if (m.value == LV_PARAMS) paramNames(n);  // formatted now, not at draw time
        return lightCallback;
      }
    return nullptr;
  }
  static const struct {
    const char* prefix;
    int value;
  } kIndexed[] = {{"LightPos%d%n", LV_POS}, {"LightDir%d%n", LV_DIR}, {"LightDiffuse%d%n", LV_DIFFUSE}};
  for (const auto& f : kIndexed) {
    used = 0;
    if (std::sscanf(s, f.prefix, &n, &used) == 1 && used == int(c.semantic.size()) && n >= 0) {
      user[0] = f.value;
      user[1] = n;
      return lightCallback;
    }
  }
  return nullptr;
}

ZeFxBindCallback CZeEffectBindObject::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  const char* s = c.semantic.c_str();
  const int length = int(c.semantic.size());
  for (int which = 0; which < OV_COUNT; ++which) {
    const size_t prefix = std::strlen(kArray[which]);
    if (c.semantic.compare(0, prefix, kArray[which]) == 0 && c.semantic.size() > prefix &&
        c.semantic[prefix] == '[') {
      const char* rest = s + prefix;
      int a = 0, b = 0, used = 0;
      int first = 0, count = 0;
      if (std::sscanf(rest, "[%d-%d]%n", &a, &b, &used) == 2 && int(prefix) + used == length) {
        first = a;
        count = b - a + 1;
      } else if (std::sscanf(rest, "[%d]%n", &a, &used) == 1 && int(prefix) + used == length) {
        first = 0;
        count = a;
      } else {
        return nullptr;
      }
      // An empty or backward range binds nothing rather than a negative count.
      if (first < 0 || count <= 0 || first > 0xFFFF) return nullptr;
      if (count > kMaxObjects) {
        zeMessage(ZE_WARN, "CZeEffectBindObject: Too much objects = %d > %d ", count, kMaxObjects);
        count = kMaxObjects;
      }
      user[0] = which | 0x100;
      user[1] = first | (count << 16);
      return objectCallback;
    }
    int n = 0, used = 0;
    const std::string pattern = std::string(kSingle[which]) + "%d%n";
    if (std::sscanf(s, pattern.c_str(), &n, &used) == 1 && used == length && n >= 0) {
      user[0] = which;
      user[1] = n;
      return objectCallback;
    }
  }
  return nullptr;
}

void CZeEffectBindProbes::choose(const core::vector3df& x) {
  nearest = second = -1;
  weights[0] = 1, weights[1] = 0;
  const IZeProbeSet* set = env_->probes;
  const int count = set ? set->probeCount() : 0;
  if (count <= 0) return;
  // The three nearest, without sorting the whole set.
  int best[3] = {-1, -1, -1};
  float dist[3] = {0, 0, 0};
  for (int i = 0; i < count; ++i) {
    float p[4];
    set->probe(i, p);
    const float d = core::vector3df(p[0], p[1], p[2]).getDistanceFromSQ(x);
    for (int k = 0; k < 3; ++k)
      if (best[k] < 0 || d < dist[k]) {
        for (int j = 2; j > k; --j) best[j] = best[j - 1], dist[j] = dist[j - 1];
        best[k] = i, dist[k] = d;
        break;
      }
  }
  nearest = best[0];
  float pn[4];
  set->probe(nearest, pn);
  const core::vector3df n(pn[0], pn[1], pn[2]);
  for (int k = 1; k < 3; ++k) {
    if (best[k] < 0) break;
    float pq[4];
    set->probe(best[k], pq);
    const core::vector3df q(pq[0], pq[1], pq[2]);
    const float l = (q - n).getLength();
    if (l < 0.000001f) {
      second = best[k];
      weights[0] = 1, weights[1] = 0;
      return;
    }
    const float m = (x - n).dotProduct(q - n) / l;
    if (m >= 0 && m <= l) {
      second = best[k];
      weights[0] = 1 - m / l, weights[1] = m / l;
      return;
    }
  }
  second = nearest;
  weights[0] = 1, weights[1] = 0;
}

bool CZeEffectBindProbes::onSetMaterial(const SZeEffectDrawContext* drawContext) {
  const SZeEffectDrawContext* c = drawContext;
  if (!c || !c->node) {
    zeMessage(ZE_ERROR, "CZeEffectBindProbes::onSetMaterial : Missing matExt->Node");
    return false;
  }
  choose(c->node->getAbsolutePosition());
  return true;
}

ZeFxBindCallback CZeEffectBindProbes::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  static const char* const names[] = {"ProbeNearest", "Probes2Nearest", "ProbesCount", "ProbesList",
                                      "ProbesListCount"};
  for (int i = 0; i < 5; ++i)
    if (c.semantic == names[i]) {
      user[0] = i;
      return probeCallback;
    }
  return nullptr;
}
