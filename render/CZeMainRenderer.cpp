#include "render/CZeMainRenderer.h"

#include <vector>

#include "app/zeEngine.h"
#include "app/zeFrameBackend.h"
#include "render/gl/ZeGLDrawList.h"

using namespace irr;

namespace {

class CZeMainRenderer;
CZeMainRenderer* current = nullptr;

class CZeMainRenderer : public IZeRenderer {
 public:
  CZeMainRenderer() { current = this; }
  ~CZeMainRenderer() override {
    if (current == this) current = nullptr;
  }

  bool render(const SZeRenderFrame& frame) override;
  const ZeDrawList& list() const { return list_; }

 private:
  // The scene manager's passes call in here (it takes light managers for
  // hooks): the list's lights after the scene manager reset the driver's,
  // the list's items at the start of their pass.
  class PassHooks : public scene::ILightManager {
   public:
    explicit PassHooks(CZeMainRenderer& owner) : owner_(owner) {}
    void OnPreRender(core::array<scene::ISceneNode*>&) override {}
    void OnPostRender() override {}
    void OnRenderPassPreRender(scene::E_SCENE_NODE_RENDER_PASS pass) override {
      if (pass == scene::ESNRP_SOLID || pass == scene::ESNRP_TRANSPARENT || pass == scene::ESNRP_TRANSPARENT_EFFECT)
        owner_.execute(u32(pass));
    }
    void OnRenderPassPostRender(scene::E_SCENE_NODE_RENDER_PASS pass) override {
      if (pass == scene::ESNRP_LIGHT) owner_.execute(ZE_PASS_LIGHT);
    }
    void OnNodePreRender(scene::ISceneNode*) override {}
    void OnNodePostRender(scene::ISceneNode*) override {}

   private:
    CZeMainRenderer& owner_;
  };

  void execute(u32 passes) {
    SZeDrawOptions options;
    options.passes = passes;
    zeGLExecuteDrawList(zeEngineContext().driver, list_, options);
  }
  void handOverIrrlichtNodes();

  ZeDrawList list_;
  PassHooks hooks_{*this};
  std::vector<scene::ISceneNode*> hidden_;  // scratch, kept between frames
};

bool CZeMainRenderer::render(const SZeRenderFrame& frame) {
  ZeEngineContext& context = zeEngineContext();
  scene::ISceneManager* scene = context.sceneManager;
  if (!scene) return false;
  if (frame.clear && context.openGL)
    if (IZeFrameBackend* backend = zeGetFrameBackend()) backend->clearFrame(frame.clearColour);

  // Animation once per frame, at the device's time, as the scene manager's draw did.
  scene::ISceneNode* root = scene->getRootSceneNode();
  root->OnAnimate(context.device->getTimer()->getTime());
  // The camera's view and frustum for this frame, before culling.
  scene::ICameraSceneNode* camera = scene->getActiveCamera();
  if (camera) camera->render();
  SZeDrawView view;
  view.scene = scene;
  view.camera = camera;
  zeCollectDrawList(view, &list_);
  handOverIrrlichtNodes();

  // hooks_ lives with this renderer: the scene manager's reference never
  // reaches it, and it is taken back before the frame ends.
  scene->setLightManager(&hooks_);
  root->setVisible(false);
  scene->drawAll();
  root->setVisible(true);
  scene->setLightManager(nullptr);
  return true;
}

// Irrlicht's own nodes register for their passes themselves (particle systems
// step there). Their children are the list's business: hidden while their
// parent registers, so that only the parent joins Irrlicht's lists.
void CZeMainRenderer::handOverIrrlichtNodes() {
  for (const SZeDrawItem& item : list_.pass(ZE_PASS_IRRLICHT)) {
    hidden_.clear();
    for (scene::ISceneNode* child : item.node->getChildren())
      if (child->isVisible()) {
        // The base class's flag only: a light's own setVisible would switch
        // a driver light.
        child->scene::ISceneNode::setVisible(false);
        hidden_.push_back(child);
      }
    item.node->OnRegisterSceneNode();
    for (scene::ISceneNode* child : hidden_) child->scene::ISceneNode::setVisible(true);
  }
}

IZeRenderer* createMainRenderer(ZeEngineContext&, char*) { return new CZeMainRenderer; }

}  // namespace

void zeInstallMainRenderer() { zeSetMainRendererFactory(createMainRenderer); }

const ZeDrawList* zeMainRendererList() { return current ? &current->list() : nullptr; }
