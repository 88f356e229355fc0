// The per-frame 2D queue: texts, images, lines, boxes and boxes and images
// drawn through an effect, executed after the scene and the GUI. A fixed
// array reused every frame; the ink commands that fill it.
#pragma once

#include <irrlicht.h>

class ZeImageTexture;

constexpr int kZe2DMaxDraws = 1024;
constexpr int kZe2DMaxTexts = 64;
constexpr int kZe2DTextSize = 512;

// --- Drawing commands ---------------------------------------------------------------
void zeInk(int rgb);
void zeInkAlpha(int alpha);
int zeBox(int x1, int y1, int x2, int y2);
int zeLine(int x1, int y1, int x2, int y2);
int zeBoxWithEffect(int x1, int y1, int x2, int y2, int effectId);
int zeRGB(int r, int g, int b);
int zeRGBf(float r, float g, float b);
// The ink colour as queued: (alpha << 24) | RGB, in 32 bits.
unsigned zeInkColor();

// --- Queue --------------------------------------------------------------------------
// Each appends one command; -1 when the queue is full.
int zeQueueText(irr::gui::IGUIFont* font, int x, int y, unsigned colour, const char* text);
int zeQueueImage(const ZeImageTexture& texture, int x, int y, int width, int height, bool useAlpha,
                 unsigned colour);
int zeQueueLine(int x1, int y1, int x2, int y2, unsigned colour);
int zeQueueBox(int x1, int y1, int x2, int y2, unsigned colour);
int zeQueueBoxWithEffect(int x1, int y1, int x2, int y2, unsigned colour, int effectId);
int zeQueueImageWithEffect(const ZeImageTexture& texture, int x, int y, int width, int height, unsigned colour,
                           int effectId);
// The commands' failure when the queue is full: reported, -1.
int ze2DQueueFull();
void zeExecute2DQueue();  // draws every command in order, then empties the queue
void zeClear2DQueue();    // empties it without drawing
int ze2DQueueCount();
int ze2DQueueTextCount();
// A queued command's kind (1 text, 2 image, 3 line, 4 box, 5 box with effect,
// 6 image with effect) and words 1-7;
// false past the end. For tests and overlays that inspect the frame.
bool ze2DQueuedCommand(int index, int* kind, int words[7]);
// An effect the queue draws with: false, reported at `argIndex`, when the
// effect table has no such identifier.
bool zeEffectExistsOrReport(int id, int argIndex);
