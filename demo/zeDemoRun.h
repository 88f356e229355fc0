// The demo front ends the entry dispatches to: play a ".demo.ini" in step
// with its music, or capture it frame by frame to numbered images or a video.
#pragma once

// 0 when the demo ran (also when left with escape), -1 on a load or play failure.
int zeDemoPlay(const char* path, int startPart);
// As zeDemoPlay, capturing at `fps` (0 means 30) to "<base>_%06d.<ext>", or
// to one video file when the name ends in .mp4, .mkv or .webm.
int zeDemoCapture(const char* path, int startPart, const char* captureName, float fps);
