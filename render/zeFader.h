// Screen faders: the GUI environment's in/out fader over the whole screen.
#pragma once

void zeFadeIn(int durationMs, unsigned colour);
void zeFadeOut(int durationMs, unsigned colour);
void zeStopFade();
