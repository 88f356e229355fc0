// A frame as data: what one view of the scene draws, gathered once per view
// with visibility and culling decided here, and executed by render/gl/
// (ZeGLDrawList) as often as a renderer needs (passes, techniques, an
// override material, a mirrored view). No OpenGL here.
//
// What is gathered, walking the visible scene graph depth first:
// - the view's camera (camera pass) and the visible lights, nearest first
//   (light pass);
// - for every node whose type has an engine drawer (IZeNodeDrawer below:
//   objects, and what later subsystems register), one item per mesh buffer
//   that is not culled: node, buffer, material row, the row's effect and
//   technique, and its pass: solid or transparent by the row's material,
//   the transparent-effect pass for what a drawer puts there;
// - every other node (Irrlicht's text, billboards, particle systems, sky
//   boxes) as one item of the Irrlicht pass: Irrlicht draws it in its own
//   pass (the main renderer hands it over).
//
// Order: camera, lights, solid in graph order, transparent and effect back
// to front (by the node's distance to the eye, as Irrlicht sorts), Irrlicht
// nodes in graph order. Gathering allocates nothing once the list has grown
// to the scene.
#pragma once

#include <irrlicht.h>

#include <vector>

class CZeEffect;
class IZeSceneNodeExt;

// Irrlicht's pass numbers, so masks read as the scene manager's passes do.
enum ZeDrawPass : irr::u32 {
  ZE_PASS_CAMERA = 1,
  ZE_PASS_LIGHT = 2,
  ZE_PASS_SOLID = 8,
  ZE_PASS_TRANSPARENT = 16,
  ZE_PASS_EFFECT = 32,  // transparent effects: particles and the like
  ZE_PASS_IRRLICHT = 256,  // a node Irrlicht draws itself
};
constexpr irr::u32 ZE_PASSES_DRAWN = ZE_PASS_SOLID | ZE_PASS_TRANSPARENT | ZE_PASS_EFFECT;

struct SZeDrawItem {
  irr::scene::ISceneNode* node = nullptr;
  IZeSceneNodeExt* ext = nullptr;             // the node's extension, or null
  irr::scene::IMeshBuffer* buffer = nullptr;  // null for cameras, lights and Irrlicht's nodes
  const irr::video::SMaterial* material = nullptr;
  CZeEffect* effect = nullptr;  // the row's built effect, or null
  int technique = 0;            // the row's technique (an index into its effect's)
  irr::u32 row = 0;             // the node material the buffer draws with
  ZeDrawPass pass = ZE_PASS_SOLID;
  float distance = 0;   // squared distance from the node to the eye
  irr::u32 order = 0;   // gathering order: ties keep it
};

// What a list is gathered for: a scene and the camera whose eye and frustum
// decide order and culling (the active camera, a light's camera for a
// shadow pass, a mirror's camera).
struct SZeDrawView {
  irr::scene::ISceneManager* scene = nullptr;
  irr::scene::ICameraSceneNode* camera = nullptr;
};

class ZeDrawList {
 public:
  // The items of one pass kind, in execution order.
  const std::vector<SZeDrawItem>& pass(ZeDrawPass pass) const { return passes_[slot(pass)]; }
  // Every item, pass by pass in execution order.
  template <typename F>
  void forEach(F&& f) const {
    for (const std::vector<SZeDrawItem>& items : passes_)
      for (const SZeDrawItem& item : items) f(item);
  }
  size_t size() const;
  const SZeDrawView& view() const { return view_; }
  void clear();  // keeps its memory

  // For node drawers: one buffer of `node` drawn with `material` as row
  // `row`. The pass follows the material (solid or transparent) unless
  // `pass` names one; the row's effect and technique come from `ext`.
  void addBuffer(irr::scene::ISceneNode* node, IZeSceneNodeExt* ext, irr::scene::IMeshBuffer* buffer,
                 const irr::video::SMaterial& material, irr::u32 row, irr::u32 pass = 0);

 private:
  friend void zeCollectDrawList(const SZeDrawView& view, ZeDrawList* list);
  void add(const SZeDrawItem& item);
  void visit(irr::scene::ISceneNode* node);
  void finish();

  static int slot(ZeDrawPass pass);

  SZeDrawView view_;
  irr::core::vector3df eye_;
  irr::u32 order_ = 0;
  std::vector<SZeDrawItem> passes_[6];  // camera, light, solid, transparent, effect, Irrlicht
};

// Gathers `view` into `list` (emptied first).
void zeCollectDrawList(const SZeDrawView& view, ZeDrawList* list);

// Whether `node` lies outside the view's frustum (never for nodes whose
// automatic culling is off). Conservative: a box the frustum may see stays.
bool zeDrawViewCulls(const SZeDrawView& view, irr::scene::ISceneNode* node);

// How a list is executed (render/gl/ZeGLDrawList.h): which passes, with
// which technique and material, for which kind of view.
struct SZeDrawOptions {
  irr::u32 passes = ZE_PASSES_DRAWN;  // a mask of ZeDrawPass
  // -1: every row with its own technique. Otherwise a technique identifier
  // of the technique lookup (0 "depth", 1 "shadow", then registered names):
  // only rows whose effect has that technique draw, with it; rows without an
  // effect and nodes without an extension are left out.
  int techniqueId = -1;
  // When set, looked up once per execution instead of techniqueId; an
  // unknown name draws nothing.
  const char* techniqueName = nullptr;
  // Its enabled flags replace the item's material values (when Enabled;
  // Irrlicht's apply() is not const, the executor changes nothing in it).
  irr::video::SOverrideMaterial* overrideMaterial = nullptr;
  // A mirrored view: what faced the eye faces away, so culling swaps.
  bool flipWinding = false;
};

// How the engine draws nodes of one type: the items a node gives a view.
class IZeNodeDrawer {
 public:
  virtual ~IZeNodeDrawer() = default;
  // Adds the node's items (ZeDrawList::addBuffer); false leaves the node to
  // Irrlicht, which then draws it itself.
  virtual bool collect(irr::scene::ISceneNode* node, ZeDrawList& list) = 0;
};

// The drawer of a node type (nullptr: none). Objects' node types (static,
// animated, morph, point cache) have the engine's mesh drawer from the start;
// later subsystems register their own node types (particles). At most 16
// node types have a drawer: false, reported, for one more.
bool zeSetNodeDrawer(irr::u32 nodeType, IZeNodeDrawer* drawer);
IZeNodeDrawer* zeNodeDrawer(irr::u32 nodeType);
