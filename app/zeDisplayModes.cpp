#include "app/zeDisplayModes.h"

#include "app/zeFileChooser.h"

#include <algorithm>
#include <cstdio>

namespace {

ZeScreenModePresenter screenModePresenter = nullptr;
bool presenterNeedsDisplay = false;

bool sameMode(const ZeDisplayMode& a, const ZeDisplayMode& b) {
  return a.width == b.width && a.height == b.height && a.bits == b.bits;
}

}  // namespace

std::vector<ZeDisplayMode> zeListDisplayModes(const std::vector<ZeDisplayMode>& system) {
  std::vector<ZeDisplayMode> kept;
  for (ZeDisplayMode mode : system) {
    if (kept.size() >= 200) break;
    // An X server reports the 24 colour bits of a 32-bit pixel.
    if (mode.bits == 24) mode.bits = 32;
    if (mode.bits < 32) continue;
    if (std::any_of(kept.begin(), kept.end(), [&](const ZeDisplayMode& k) { return sameMode(k, mode); })) continue;
    kept.push_back(mode);
  }
  std::sort(kept.begin(), kept.end(), [](const ZeDisplayMode& a, const ZeDisplayMode& b) {
    if (a.width != b.width) return a.width < b.width;
    if (a.height != b.height) return a.height < b.height;
    if (a.bits != b.bits) return a.bits < b.bits;
    return a.refresh < b.refresh;
  });
  return kept;
}

std::string zeDisplayModeLabel(const ZeDisplayMode& mode) {
  char text[64];
  std::snprintf(text, sizeof text, "%4d x %4d", mode.width, mode.height);
  std::string label = text;
  if (mode.width == 1280 && mode.height == 720 && mode.bits == 32) label += " (recommended)";
  return label;
}

int zeInitialDisplayMode(const std::vector<ZeDisplayMode>& modes, const ZeDisplayMode& desktop) {
  for (std::size_t i = 0; i < modes.size(); ++i)
    if (modes[i].width == 1280 && modes[i].height == 720 && modes[i].bits == 32) return static_cast<int>(i);
  ZeDisplayMode wanted = desktop;
  if (wanted.bits == 24) wanted.bits = 32;
  for (std::size_t i = 0; i < modes.size(); ++i)
    if (sameMode(modes[i], wanted)) return static_cast<int>(i);
  return -1;
}

void zeSetScreenModePresenter(ZeScreenModePresenter presenter, bool needsDisplay) {
  screenModePresenter = presenter;
  presenterNeedsDisplay = needsDisplay;
}

bool zeCanAskScreenMode() { return screenModePresenter && (!presenterNeedsDisplay || zeInteractive()); }

bool zeAskScreenMode(ZeDisplayMode* mode, bool* fullScreen) {
  return zeCanAskScreenMode() && screenModePresenter(mode, fullScreen);
}
