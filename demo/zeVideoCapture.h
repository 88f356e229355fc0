// Capture straight to a video file: H.264 in .mp4/.mkv, VP9 in .webm, with
// the demo's music muxed in as it played during the capture. Frames are read
// back on the main thread and encoded on a thread of their own.
#pragma once

#include <memory>
#include <string>

#include "demo/zeDemoPlayer.h"

// The sink for `path`, or nullptr after a message naming the reason.
std::unique_ptr<IZeDemoFrameSink> zeMakeVideoSink(const ZeDemo& demo, const std::string& path, float fps);
