#include "render/zeFader.h"

#include <irrlicht.h>

#include "app/zeEngine.h"

using namespace irr;

namespace {

gui::IGUIInOutFader* fader = nullptr;  // grabbed

void startFade(int durationMs, unsigned colour, bool in) {
  zeStopFade();
  ZeEngineContext& ctx = zeEngineContext();
  if (!ctx.gui || !ctx.driver) return;
  const core::dimension2du screen = ctx.driver->getScreenSize();
  const core::rect<s32> whole(0, 0, screen.Width, screen.Height);
  fader = ctx.gui->addInOutFader(&whole);
  if (!fader) return;
  fader->grab();
  fader->setColor(video::SColor(colour));
  const u32 duration = durationMs > 0 ? static_cast<u32>(durationMs) : 0;
  if (in)
    fader->fadeIn(duration);
  else
    fader->fadeOut(duration);
}

}  // namespace

void zeFadeIn(int durationMs, unsigned colour) { startFade(durationMs, colour, true); }
void zeFadeOut(int durationMs, unsigned colour) { startFade(durationMs, colour, false); }

void zeStopFade() {
  if (!fader) return;
  fader->remove();
  fader->drop();
  fader = nullptr;
}
