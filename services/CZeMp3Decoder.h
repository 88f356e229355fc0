// MP3 decoding (mpg123) from a whole file held in memory: interleaved 16-bit
// samples at the file's own rate and channel count. The music player streams
// from one; video capture decodes a whole music with zeDecodeMp3.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct mpg123_handle_struct;

class CZeMp3Decoder {
 public:
  CZeMp3Decoder();
  ~CZeMp3Decoder();
  CZeMp3Decoder(const CZeMp3Decoder&) = delete;
  CZeMp3Decoder& operator=(const CZeMp3Decoder&) = delete;

  // Whether the decoder could be created.
  bool created() const { return decoder_ != nullptr; }
  // Takes the whole file and scans it (the exact length, sample-exact
  // seeking); false when it is not a decodable MP3 of one or two channels.
  // Positioned at frame 0.
  bool open(std::string data);
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  // The scan's length in frames (decoding may end a little earlier).
  long long lengthFrames() const { return length_; }
  // Up to `frames` frames into `out`; fewer at the end or at a damaged tail.
  int read(int16_t* out, int frames);
  bool seek(long long frame);

 private:
  mpg123_handle_struct* decoder_ = nullptr;
  std::string data_;
  long long readAt_ = 0;  // the decoder's read position in data_
  bool opened_ = false;
  int rate_ = 0, channels_ = 0;
  long long length_ = 0;
};

// The whole file decoded; false when it is not a decodable MP3.
bool zeDecodeMp3(std::string data, std::vector<int16_t>* samples, int* rate, int* channels);
