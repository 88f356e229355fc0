// Text of the 2D layer: the current font (the built-in one, a GUI font or a
// TrueType font rendered by FreeType), the text colour, and measuring.
#pragma once

#include <irrlicht.h>

int zeText(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
// nullptr: the built-in font. A name ending ".ttf" or ".otf", optionally
// followed by ":<pixels>" (16 when absent), is a TrueType/OpenType font.
int zeSetTextFont(const char* name);
void zeSetTextColor(int rgb);
void zeSetTextAlpha(int alpha);
int zeTextColor();
int zeTextAlpha();
const char* zeTextFont();  // nullptr while the built-in font is used
int zeTextWidth(const char* format, ...) __attribute__((format(printf, 1, 2)));
int zeTextHeight(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The text colour as queued: (alpha << 24) | RGB, in 32 bits.
unsigned zeTextDrawColor();

// Draws a queued text at (x, y): bytes widened one to one (Latin-1), neither
// centred nor clipped; `font` nullptr is the built-in font.
void zeDrawText(irr::gui::IGUIFont* font, int x, int y, unsigned colour, const char* text);
// Engine stop: back to the built-in font, the TrueType fonts forgotten (they
// belong to the GUI environment that goes away).
void zeForgetFonts();
