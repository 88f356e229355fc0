#include "services/CZeMp3Decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

bool libraryReady() {
  static const bool ready = mpg123_init() == MPG123_OK;
  return ready;
}

// The decoder reads the file from memory through these.
struct MemorySource {
  const std::string* data;
  long long* at;
};

mpg123_ssize_t readMemory(void* handle, void* buffer, size_t bytes) {
  auto* source = static_cast<MemorySource*>(handle);
  const long long left = static_cast<long long>(source->data->size()) - *source->at;
  const size_t count = left <= 0 ? 0 : std::min<size_t>(bytes, static_cast<size_t>(left));
  if (count) std::memcpy(buffer, source->data->data() + *source->at, count);
  *source->at += static_cast<long long>(count);
  return static_cast<mpg123_ssize_t>(count);
}

off_t seekMemory(void* handle, off_t offset, int whence) {
  auto* source = static_cast<MemorySource*>(handle);
  const long long size = static_cast<long long>(source->data->size());
  long long to = offset;
  if (whence == SEEK_CUR) to += *source->at;
  else if (whence == SEEK_END) to += size;
  else if (whence != SEEK_SET) return -1;
  if (to < 0 || to > size) return -1;
  *source->at = to;
  return static_cast<off_t>(to);
}

void cleanupMemory(void* handle) { delete static_cast<MemorySource*>(handle); }

}  // namespace

CZeMp3Decoder::CZeMp3Decoder() {
  if (!libraryReady()) return;
  int error = MPG123_OK;
  decoder_ = mpg123_new(nullptr, &error);
  if (decoder_) mpg123_param(decoder_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
}

CZeMp3Decoder::~CZeMp3Decoder() {
  if (!decoder_) return;
  if (opened_) mpg123_close(decoder_);
  mpg123_delete(decoder_);
}

bool CZeMp3Decoder::open(std::string data) {
  if (!decoder_ || opened_) return false;
  data_ = std::move(data);
  readAt_ = 0;
  // 16-bit samples at the file's own rate and channel count.
  mpg123_format_none(decoder_);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i)
    mpg123_format(decoder_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_replace_reader_handle(decoder_, readMemory, seekMemory, cleanupMemory) != MPG123_OK) return false;
  if (mpg123_open_handle(decoder_, new MemorySource{&data_, &readAt_}) != MPG123_OK) return false;
  opened_ = true;
  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_scan(decoder_) != MPG123_OK || mpg123_getformat(decoder_, &rate, &channels, &encoding) != MPG123_OK ||
      rate <= 0 || channels < 1 || channels > 2 || encoding != MPG123_ENC_SIGNED_16) {
    return false;
  }
  const off_t length = mpg123_length(decoder_);
  if (length <= 0 || mpg123_seek(decoder_, 0, SEEK_SET) < 0) return false;
  // Keep this format for the whole file.
  mpg123_format_none(decoder_);
  mpg123_format(decoder_, rate, channels, MPG123_ENC_SIGNED_16);
  rate_ = static_cast<int>(rate);
  channels_ = channels;
  length_ = length;
  return true;
}

int CZeMp3Decoder::read(int16_t* out, int frames) {
  if (!opened_ || channels_ == 0 || frames <= 0) return 0;
  const size_t bytesWanted = static_cast<size_t>(frames) * 2 * channels_;
  size_t bytesDone = 0;
  while (bytesDone < bytesWanted) {
    size_t got = 0;
    const int status =
        mpg123_read(decoder_, reinterpret_cast<unsigned char*>(out) + bytesDone, bytesWanted - bytesDone, &got);
    bytesDone += got;
    if (status == MPG123_NEW_FORMAT) continue;
    if (status != MPG123_OK || got == 0) break;  // the end, or a damaged tail
  }
  return static_cast<int>(bytesDone / (2 * channels_));
}

bool CZeMp3Decoder::seek(long long frame) {
  return opened_ && mpg123_seek(decoder_, static_cast<off_t>(frame), SEEK_SET) >= 0;
}

bool zeDecodeMp3(std::string data, std::vector<int16_t>* samples, int* rate, int* channels) {
  CZeMp3Decoder decoder;
  if (!decoder.open(std::move(data))) return false;
  samples->clear();
  samples->reserve(static_cast<size_t>(decoder.lengthFrames()) * decoder.channels());
  int16_t chunk[8192];
  const int chunkFrames = 8192 / decoder.channels();
  for (int got; (got = decoder.read(chunk, chunkFrames)) > 0;)
    samples->insert(samples->end(), chunk, chunk + got * decoder.channels());
  *rate = decoder.rate();
  *channels = decoder.channels();
  return !samples->empty();
}
