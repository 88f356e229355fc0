#include "render/gl/ZeGLFrame.h"

#include <X11/Xlib.h>
#include <epoxy/glx.h>

#include <vector>

#include "base/zeMessage.h"
#include "render/gl/ZeGL2D.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/gl/ZeGLStateGuard.h"
#include "render/gl/zeGLInstall.h"
#include "render/gl/ZeGLPixelCentre.h"
#include "render/gl/zeGLInternal.h"

using namespace irr;

CZeGLFrame::CZeGLFrame() = default;
CZeGLFrame::~CZeGLFrame() = default;

namespace {

int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Presents in step with the display when asked. A server that refuses (Xvfb
// has no display to wait for) only costs the setting, never the run.
void setSwapInterval(IrrlichtDevice* device, bool vsync) {
  const video::SExposedVideoData& data = device->getVideoDriver()->getExposedVideoData();
  Display* display = static_cast<Display*>(data.OpenGLLinux.X11Display);
  const GLXDrawable drawable = static_cast<GLXDrawable>(data.OpenGLLinux.X11Window);
  if (!display || !drawable) return;
  const int interval = vsync ? 1 : 0;
  XSync(display, False);
  int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(ignoreXError);
  const int screen = DefaultScreen(display);
  if (epoxy_has_glx_extension(display, screen, "GLX_EXT_swap_control"))
    glXSwapIntervalEXT(display, drawable, interval);
  else if (epoxy_has_glx_extension(display, screen, "GLX_MESA_swap_control"))
    glXSwapIntervalMESA(interval);
  XSync(display, False);
  XSetErrorHandler(previous);
}

}  // namespace

CZeGLFrame& zeGLFrame() {
  static CZeGLFrame frame;
  return frame;
}

void zeGLInstall() { zeSetFrameBackend(&zeGLFrame()); }

bool CZeGLFrame::makeBuffers(int width, int height) {
  backBuffer_ = std::make_unique<CZeGLRenderTarget>(width, height, ZE_FORMAT_A8R8G8B8, true);
  multisampled_.reset();
  if (samples_ > 0) {
    multisampled_ = std::make_unique<CZeGLRenderTarget>(width, height, ZE_FORMAT_A8R8G8B8, true, samples_);
    // Multisampled targets are optional: draw single-sampled when refused.
    if (!multisampled_->valid()) multisampled_.reset();
  }
  return backBuffer_->valid();
}

bool CZeGLFrame::attach(IrrlichtDevice* device, int samples, bool vsync, char* reason) {
  const int version = epoxy_gl_version();
  if (version < 33) {
    zeFormatText(reason, "fails to init OpenGL: version %d.%d, 3.3 is needed", version / 10, version % 10);
    return false;
  }
  if (version < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control")) {
    zeFormatText(reason, "fails to init OpenGL: no clip control (GL_ARB_clip_control)");
    return false;
  }
  device_ = device;
  samples_ = samples;
  setSwapInterval(device, vsync);
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  registry_ = std::make_unique<CZeGLRegistry>();
  const core::dimension2du size = device->getVideoDriver()->getScreenSize();
  if (!makeBuffers(static_cast<int>(size.Width), static_cast<int>(size.Height))) {
    zeFormatText(reason, "fails to init OpenGL: cannot create a %ux%u frame buffer", size.Width, size.Height);
    detach();
    return false;
  }
  bindFrame();
  return true;
}

void CZeGLFrame::detach() {
  if (!device_) return;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  registry_.reset();
  backBuffer_.reset();
  multisampled_.reset();
  zeGLRelease2D();
  glClipControl(GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
  device_ = nullptr;
}

void CZeGLFrame::bindFrame() {
  if (!backBuffer_) return;
  CZeGLRenderTarget* target = multisampled_ ? multisampled_.get() : backBuffer_.get();
  glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer());
  zeGLSetViewport(0, 0, target->width(), target->height());
}

void CZeGLFrame::beginFrame() {
  if (!device_) return;
  // Follow the window when its size changed.
  const core::dimension2du size = device_->getVideoDriver()->getScreenSize();
  if (static_cast<int>(size.Width) != backBuffer_->width() || static_cast<int>(size.Height) != backBuffer_->height())
    makeBuffers(static_cast<int>(size.Width), static_cast<int>(size.Height));
  bindFrame();
}

bool CZeGLFrame::bindTarget(ZeRenderTargetHandle target, int* width, int* height) {
  if (!device_ || !registry_) return false;
  const bool bound = registry_->setRenderTarget(target);
  CZeGLRenderTarget* drawn = bound && target ? registry_->renderTarget(target) : backBuffer_.get();
  *width = drawn ? drawn->width() : 0;
  *height = drawn ? drawn->height() : 0;
  return bound;
}

void CZeGLFrame::clearFrame(video::SColor colour) {
  if (!device_) return;
  CZeGLStateGuard guard(CZeGLStateGuard::KeepFramebuffer);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  glClearColor(colour.getRed() / 255.0f, colour.getGreen() / 255.0f, colour.getBlue() / 255.0f,
               colour.getAlpha() / 255.0f);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void CZeGLFrame::endFrame() {
  if (!device_) return;
  {
    CZeGLStateGuard guard(CZeGLStateGuard::KeepFramebuffer);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const int w = backBuffer_->width();
    const int h = backBuffer_->height();
    if (multisampled_) {
      glBindFramebuffer(GL_READ_FRAMEBUFFER, multisampled_->framebuffer());
      glBindFramebuffer(GL_DRAW_FRAMEBUFFER, backBuffer_->framebuffer());
      glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    // Present: row 0 (the top) goes to the window's top, which OpenGL counts last.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_->framebuffer());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  // The window's buffer stays bound for the driver's buffer swap.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

video::IImage* CZeGLFrame::readFrame() {
  if (!device_ || !backBuffer_) return nullptr;
  const int w = backBuffer_->width();
  const int h = backBuffer_->height();
  std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
  {
    CZeGLStateGuard guard;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_->framebuffer());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  }
  // Irrlicht's R8G8B8 images hold red, green, blue bytes, top row first:
  // the back buffer's own layout.
  return device_->getVideoDriver()->createImageFromData(video::ECF_R8G8B8,
                                                        core::dimension2du(w, h), rgb.data(), false, true);
}
