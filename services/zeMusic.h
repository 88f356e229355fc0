// Music: MP3 files played by identifier (0 to 49), driven by position in
// milliseconds. Engine start calls zeMusicStartup as its last step and engine
// stop calls zeMusicShutdown; the script commands map one to one onto the
// functions below.
#pragma once

// Creates the table of 50. 0, or -1 with "fails to create music list".
int zeMusicStartup();
// Deletes every music (none keeps playing without a handle) and frees the table.
void zeMusicShutdown();

// Reads the file through the file hooks (so music inside a mounted archive
// plays) and prepares it, stopped at 0. 0 or -1; a failure leaves the identifier free.
int zeLoadMusic(const char* path, int id);
int zeMusicExists(int id);  // 1 or 0, no message
// 0, or -1 without a message when the identifier is free.
int zeDeleteMusic(int id);
int zePlayMusic(int id);    // from the current position, restarting when playing
int zeStopMusic(int id);    // the position stays where it was
int zePauseMusic(int id);   // only when playing
int zeResumeMusic(int id);
int zeSetMusicPosition(int id, int ms);
// Milliseconds the listener has heard; -1 on failure.
int zeGetMusicPosition(int id);
// The music's length in milliseconds (where the position stops); -1 on failure.
int zeMusicLengthMs(int id);
// Percent of full volume (100); 0 is silence.
int zeSetMusicVolume(int id, float percent);
// Percent as the output's volume converts back (about what was set); 0 on failure.
float zeMusicVolume(int id);

// Whether the music plays through the clock-paced silent output (no audio device).
int zeMusicIsSilent(int id);
// Milliseconds decoded and handed to the output, which the position must never
// pass; -1 on failure. For measurements: the silent output's position is the
// clock itself, so only this shows whether its decoding keeps pace.
int zeMusicDecodedMs(int id);

// Volume arithmetic: percent to hundredths of a decibel, clamped to -10000..0,
// and back, with the fast log2 / exp2 approximations the volume has always used.
int zeMusicPercentToVolume(float percent);
float zeMusicVolumeToPercent(int hundredthsDb);
