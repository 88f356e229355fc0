// One music's decoder and output: MP3 decoded straight from memory,
// played through an SDL2 audio device or, when no device can be opened, a
// silent output paced by the clock so that positions still advance in real time.
//
// Position means what the listener hears: the output records when each chunk
// it takes starts being heard, and the position runs on from there by the
// clock, never past what was handed to the output.
#pragma once

#include <SDL2/SDL.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "services/CZeMp3Decoder.h"

class CZeMusicPlayer {
 public:
  CZeMusicPlayer();
  ~CZeMusicPlayer();
  CZeMusicPlayer(const CZeMusicPlayer&) = delete;
  CZeMusicPlayer& operator=(const CZeMusicPlayer&) = delete;

  // Whether the decoder could be created.
  bool created() const { return decoder_.created(); }
  // Takes the whole file; false when it is not a playable MP3. Stopped at 0.
  bool open(std::string data);

  void run();
  // Both freeze the position at what was heard; run continues from there.
  void pause();
  void stop() { pause(); }

  // Milliseconds heard; -1 when nothing is open.
  long long positionMs();
  // Absolute seek, clamped to the end; false when nothing is open or ms < 0.
  bool setPositionMs(long long ms);
  long long lengthMs();

  // Hundredths of a decibel, -10000 (silence) to 0 (full volume).
  void setVolume(int hundredthsDb);
  int volume() const { return volume_; }

  bool silentOutput() const { return device_ == 0; }
  int sampleRate() const { return rate_; }
  // Length of one output chunk: how far a position may lag or lead.
  int outputChunkFrames() const { return chunkFrames_; }
  // Milliseconds of music decoded and handed to the output so far: the
  // position may never pass it (the output would play what is not there).
  long long decodedMs();

 private:
  static void sdlCallback(void* self, Uint8* stream, int bytes);
  void clockLoop();
  // Hands `frames` frames (silence after the end) to the output; their first
  // frame is heard at `heardAt` (seconds on the steady clock).
  void pullLocked(int16_t* out, int frames, double heardAt);
  double heardFrameLocked(double now);
  void restartAtLocked(long long frame, double now);
  void openOutput();
  void closeOutput();

  CZeMp3Decoder decoder_;
  int rate_ = 0;  // 0 until a file is open
  int channels_ = 0;

  std::mutex mutex_;  // guards everything below; taken by the output thread
  long long totalFrames_ = 0;  // the scan's length until decoding finds the real end
  bool running_ = false;
  long long decodedFrame_ = 0;  // next frame the decoder hands out
  long long floorFrame_ = 0;    // heard at the last run, pause or seek
  double lastHeard_ = 0;        // keeps the position from going back while playing
  bool chunkValid_ = false;
  long long chunkStartFrame_ = 0;
  int chunkLength_ = 0;
  double chunkHeardAt_ = 0;
  float gain_ = 1.0f;
  int volume_ = 0;

  // SDL output.
  SDL_AudioDeviceID device_ = 0;
  bool sdlAudioInitialised_ = false;
  double deviceLatency_ = 0;
  int chunkFrames_ = 0;

  // Clock output.
  std::thread clockThread_;
  std::condition_variable clockWake_;
  bool clockQuit_ = false;
  double clockBase_ = 0;
  long long clockTaken_ = 0;  // frames taken since clockBase_, silence included
  std::vector<int16_t> scratch_;
};
