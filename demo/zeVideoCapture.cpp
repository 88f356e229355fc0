#include "demo/zeVideoCapture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "app/zeEngine.h"
#include "app/zeFrameBackend.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "base/zeSafeWrite.h"
#include "services/CZeMp3Decoder.h"

namespace {

constexpr int kAudioRate = 48000;  // every codec here takes it
constexpr int kQueuedFrames = 6;   // read-back frames waiting for the encoder at most

std::string avText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// --- Music as stereo float at kAudioRate -------------------------------------------------

// Decodes a whole MP3 (read through the file hooks) and converts it to
// interleaved stereo float at kAudioRate. Empty on failure.
std::vector<float> decodeMusic(const std::string& path) {
  std::vector<float> out;
  std::string bytes;
  if (!zeFileReadAll(path.c_str(), &bytes)) return out;
  std::vector<int16_t> pcm;
  int rate = 0, channels = 0;
  if (!zeDecodeMp3(std::move(bytes), &pcm, &rate, &channels)) return out;
  if (pcm.empty() || rate <= 0 || channels < 1 || channels > 2) return out;

  AVChannelLayout inLayout, outLayout = AV_CHANNEL_LAYOUT_STEREO;
  av_channel_layout_default(&inLayout, channels);
  SwrContext* swr = nullptr;
  if (swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLT, kAudioRate, &inLayout, AV_SAMPLE_FMT_S16,
                          static_cast<int>(rate), 0, nullptr) < 0 ||
      swr_init(swr) < 0) {
    swr_free(&swr);
    return out;
  }
  const int inFrames = static_cast<int>(pcm.size() / channels);
  const int room = static_cast<int>(swr_get_out_samples(swr, inFrames)) + 256;
  out.resize(static_cast<size_t>(room) * 2);
  const uint8_t* in[] = {reinterpret_cast<const uint8_t*>(pcm.data())};
  uint8_t* dst[] = {reinterpret_cast<uint8_t*>(out.data())};
  int made = swr_convert(swr, dst, room, in, inFrames);
  if (made >= 0) {
    uint8_t* tail[] = {reinterpret_cast<uint8_t*>(out.data() + made * 2)};
    const int flushed = swr_convert(swr, tail, room - made, nullptr, 0);
    if (flushed > 0) made += flushed;
  }
  swr_free(&swr);
  out.resize(made > 0 ? static_cast<size_t>(made) * 2 : 0);
  return out;
}

// Replays what the demo did with its musics, sample by sample.
class MusicMix {
 public:
  void add(int id, std::vector<float> samples) { musics_[id].samples = std::move(samples); }
  void apply(const ZeDemoMusicEvent& e) {
    auto found = musics_.find(e.musicId);
    if (found == musics_.end()) return;
    Track& track = found->second;
    if (e.kind == ZeDemoMusicEvent::Play) track.playing = true;
    else if (e.kind == ZeDemoMusicEvent::Stop) track.playing = false;
    else track.at = static_cast<long long>(e.positionMs) * kAudioRate / 1000;
  }
  // Adds `frames` stereo frames of every playing music to `out`.
  void render(float* out, int frames) {
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    for (auto& entry : musics_) {
      Track& track = entry.second;
      if (!track.playing) continue;
      const long long total = static_cast<long long>(track.samples.size() / 2);
      for (int i = 0; i < frames && track.at + i < total; ++i) {
        out[2 * i] += track.samples[2 * (track.at + i)];
        out[2 * i + 1] += track.samples[2 * (track.at + i) + 1];
      }
      track.at = std::min(total, track.at + frames);
    }
  }

 private:
  struct Track {
    std::vector<float> samples;
    long long at = 0;
    bool playing = false;
  };
  std::map<int, Track> musics_;
};

// --- The sink ---------------------------------------------------------------------------------

struct QueuedFrame {
  irr::video::IImage* image = nullptr;  // dropped by the encoder thread
  std::vector<ZeDemoMusicEvent> events;  // what the musics did before this frame
  int timeMs = 0;
};

class CZeVideoSink : public IZeDemoFrameSink {
 public:
  ~CZeVideoSink() override { close(); }

  bool open(const ZeDemo& demo, const std::string& path, float fps) {
    path_ = path;
    fps_ = fps;
    // The encoders' own statistics would drown the capture's progress.
    av_log_set_level(AV_LOG_ERROR);
    const std::string extension = zePathExtension(path);
    const bool webm = strcasecmp(extension.c_str(), "webm") == 0;
    if (avformat_alloc_output_context2(&format_, nullptr, nullptr, path.c_str()) < 0 || !format_)
      return fail("cannot make a container for this name");
    videoCodec_ = avcodec_find_encoder_by_name(webm ? "libvpx-vp9" : "libx264");
    audioCodec_ = avcodec_find_encoder_by_name(webm ? "libopus" : "aac");
    if (!videoCodec_) return fail(webm ? "no VP9 encoder" : "no H.264 encoder");
    for (const ZeDemoPart& part : demo.parts) {
      if (part.musicId < 0) continue;
      const std::string musicPath = zePathJoin(demo.musicDirectory, part.music);
      std::vector<float> samples = decodeMusic(musicPath);
      if (samples.empty()) {
        zeMessage(ZE_WARN, "Capture: cannot decode %s; the video leaves it out", musicPath.c_str());
        continue;
      }
      mix_.add(part.musicId, std::move(samples));
      hasMusic_ = true;
    }
    if (hasMusic_ && !audioCodec_) return fail("no audio encoder");
    return true;
  }

  bool write(int n, int timeMs, const std::vector<ZeDemoMusicEvent>& musicLog, std::string* label) override {
    if (failed_) return report();
    IZeFrameBackend* backend = zeGetFrameBackend();
    irr::video::IVideoDriver* driver = zeEngineContext().driver;
    irr::video::IImage* image = backend && zeEngineContext().openGL ? backend->readFrame()
                                                                     : (driver ? driver->createScreenShot() : nullptr);
    if (!image) {
      zeReportArgError(1, "failed to grab the screen\n");
      return false;
    }
    if (!started_ && !start(image->getDimension().Width, image->getDimension().Height)) {
      image->drop();
      return report();
    }
    QueuedFrame frame;
    frame.image = image;
    frame.timeMs = timeMs;
    frame.events.assign(musicLog.begin() + static_cast<long>(eventsHanded_), musicLog.end());
    eventsHanded_ = musicLog.size();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [&] { return queue_.size() < kQueuedFrames || failed_; });
      if (failed_) {
        image->drop();
        lock.unlock();
        return report();
      }
      queue_.push_back(std::move(frame));
    }
    wake_.notify_all();
    *label = path_ + " frame " + std::to_string(n);
    return true;
  }

  bool finish(const std::vector<ZeDemoMusicEvent>& musicLog, int endTimeMs) override {
    if (!started_) {
      fail("no frame was captured");
      return report();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tailEvents_.assign(musicLog.begin() + static_cast<long>(eventsHanded_), musicLog.end());
      endTimeMs_ = endTimeMs;
      done_ = true;
    }
    wake_.notify_all();
    worker_.join();
    if (failed_) return report();
    const int written = av_write_trailer(format_);
    closeFile();
    if (written < 0) {
      fail(avText(written).c_str());
      return report();
    }
    if (!temporary_.empty()) {
      const bool replaced = zeSafeWriteCommit(temporary_, path_.c_str()) == ZE_WRITE_DONE;
      temporary_.clear();
      if (!replaced) {
        fail("the finished video cannot replace the target");
        return report();
      }
    }
    zeMessage(ZE_INFO, "Capture: %d frames written to %s", framesEncoded_, path_.c_str());
    return true;
  }

 private:
  // Either thread may fail; the message channel is the main thread's, so the
  // first reason waits here until the main thread reports it.
  bool fail(const char* why) {
    std::lock_guard<std::mutex> lock(reasonMutex_);
    if (reason_.empty()) reason_ = why;
    failed_ = true;
    return false;
  }

 public:
  // Main thread: says why the capture failed, once.
  bool report() {
    std::lock_guard<std::mutex> lock(reasonMutex_);
    if (!reported_ && !reason_.empty()) zeMessage(ZE_ERROR, "Capture to %s failed: %s", path_.c_str(), reason_.c_str());
    reported_ = true;
    return false;
  }

 private:
  AVRational rate() const { return av_d2q(fps_, 100000); }

  bool start(unsigned width, unsigned height) {
    started_ = true;
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    // 4:2:0 needs even sizes: the last odd row or column is left out.
    const int evenWidth = width_ & ~1, evenHeight = height_ & ~1;
    if (evenWidth <= 0 || evenHeight <= 0) return fail("the frame is too small");

    videoStream_ = avformat_new_stream(format_, nullptr);
    video_ = avcodec_alloc_context3(videoCodec_);
    if (!videoStream_ || !video_) return fail("out of memory");
    video_->width = evenWidth;
    video_->height = evenHeight;
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->time_base = av_inv_q(rate());
    video_->framerate = rate();
    video_->gop_size = 250;
    video_->thread_count = 0;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (videoCodec_->id == AV_CODEC_ID_VP9) {
      av_opt_set(video_->priv_data, "deadline", "realtime", 0);
      av_opt_set_int(video_->priv_data, "cpu-used", 8, 0);
      av_opt_set_int(video_->priv_data, "row-mt", 1, 0);
      av_opt_set_int(video_->priv_data, "crf", 32, 0);
      video_->bit_rate = 0;
    }
    int error = avcodec_open2(video_, videoCodec_, nullptr);
    if (error < 0) return fail(avText(error).c_str());
    avcodec_parameters_from_context(videoStream_->codecpar, video_);
    videoStream_->time_base = video_->time_base;
    videoStream_->avg_frame_rate = rate();

    if (hasMusic_) {
      audioStream_ = avformat_new_stream(format_, nullptr);
      audio_ = avcodec_alloc_context3(audioCodec_);
      if (!audioStream_ || !audio_) return fail("out of memory");
      audio_->sample_rate = kAudioRate;
      audio_->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
      audio_->sample_fmt = audioCodec_->sample_fmts ? audioCodec_->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
      audio_->bit_rate = 160000;
      audio_->time_base = AVRational{1, kAudioRate};
      if (format_->oformat->flags & AVFMT_GLOBALHEADER) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      error = avcodec_open2(audio_, audioCodec_, nullptr);
      if (error < 0) return fail(avText(error).c_str());
      avcodec_parameters_from_context(audioStream_->codecpar, audio_);
      audioStream_->time_base = audio_->time_base;
      audioFrameSize_ = audio_->frame_size > 0 ? audio_->frame_size : 1024;
    }
    if (!(format_->oformat->flags & AVFMT_NOFILE)) {
      // The video goes to a file beside the target, which takes the target's
      // place only once the video is complete.
      temporary_ = zeSafeWriteBegin(path_.c_str());
      if (temporary_.empty()) return fail("cannot make a file in the target's folder");
      error = avio_open(&format_->pb, temporary_.c_str(), AVIO_FLAG_WRITE);
      if (error < 0) return fail(avText(error).c_str());
    }
    error = avformat_write_header(format_, nullptr);
    if (error < 0) return fail(avText(error).c_str());
    scale_ = sws_getContext(width_, height_, AV_PIX_FMT_RGB24, evenWidth, evenHeight, AV_PIX_FMT_YUV420P,
                            SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scale_) return fail("no colour conversion");
    worker_ = std::thread(&CZeVideoSink::encodeLoop, this);
    return true;
  }

  // --- The encoder thread ---

  bool drain(AVCodecContext* codec, AVStream* stream) {
    AVPacket* packet = av_packet_alloc();
    for (;;) {
      const int got = avcodec_receive_packet(codec, packet);
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
      if (got < 0) {
        av_packet_free(&packet);
        return fail(avText(got).c_str());
      }
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      const int written = av_interleaved_write_frame(format_, packet);
      if (written < 0) {
        av_packet_free(&packet);
        return fail(avText(written).c_str());
      }
    }
    av_packet_free(&packet);
    return true;
  }

  bool encodeVideo(irr::video::IImage* image) {
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = video_->width;
    frame->height = video_->height;
    bool ok = av_frame_get_buffer(frame, 0) >= 0;
    if (ok) {
      const uint8_t* source[] = {static_cast<const uint8_t*>(image->lock())};
      const int pitch[] = {static_cast<int>(image->getPitch())};
      sws_scale(scale_, source, pitch, 0, height_, frame->data, frame->linesize);
      image->unlock();
      frame->pts = framesEncoded_++;
      ok = avcodec_send_frame(video_, frame) >= 0 && drain(video_, videoStream_);
    }
    av_frame_free(&frame);
    return ok || fail("the video encoder refused a frame");
  }

  // Audio up to `untilMs`, in whole codec frames.
  bool encodeAudioUntil(int untilMs) {
    if (!audio_) return true;
    const long long until = static_cast<long long>(untilMs) * kAudioRate / 1000;
    std::vector<float> mixed(static_cast<size_t>(audioFrameSize_) * 2);
    while (audioSamples_ + audioFrameSize_ <= until) {
      mix_.render(mixed.data(), audioFrameSize_);
      if (!encodeAudioFrame(mixed.data(), audioFrameSize_)) return false;
    }
    return true;
  }

  bool encodeAudioFrame(const float* mixed, int frames) {
    AVFrame* frame = av_frame_alloc();
    frame->format = audio_->sample_fmt;
    frame->nb_samples = frames;
    frame->sample_rate = kAudioRate;
    av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout);
    bool ok = av_frame_get_buffer(frame, 0) >= 0;
    if (ok) {
      for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
          float v = mixed[2 * i + c];
          v = v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v);
          switch (audio_->sample_fmt) {
            case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(frame->data[c])[i] = v; break;
            case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(frame->data[0])[2 * i + c] = v; break;
            case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(frame->data[0])[2 * i + c] = static_cast<int16_t>(v * 32767); break;
            case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(frame->data[c])[i] = static_cast<int16_t>(v * 32767); break;
            default: ok = false; break;
          }
        }
      }
      frame->pts = audioSamples_;
      audioSamples_ += frames;
      ok = ok && avcodec_send_frame(audio_, frame) >= 0 && drain(audio_, audioStream_);
    }
    av_frame_free(&frame);
    return ok || fail("the audio encoder refused a frame");
  }

  void encodeLoop() {
    for (;;) {
      QueuedFrame frame;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return !queue_.empty() || done_; });
        if (queue_.empty()) break;
        frame = std::move(queue_.front());
        queue_.pop_front();
      }
      room_.notify_all();
      // The musics' changes take effect at the frame they were made in.
      for (const ZeDemoMusicEvent& e : frame.events) {
        if (!encodeAudioUntil(e.timeMs)) break;
        mix_.apply(e);
      }
      const bool ok = !failed_ && encodeAudioUntil(frame.timeMs) && encodeVideo(frame.image);
      frame.image->drop();
      if (!ok) {
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;
        room_.notify_all();
      }
    }
    // The rest of the sound to the end of the picture, then the encoders' tails.
    if (failed_) return;
    for (const ZeDemoMusicEvent& e : tailEvents_) {
      encodeAudioUntil(e.timeMs);
      mix_.apply(e);
    }
    bool ok = encodeAudioUntil(endTimeMs_);
    if (ok && audio_) {
      const long long end = static_cast<long long>(endTimeMs_) * kAudioRate / 1000;
      const int rest = static_cast<int>(end - audioSamples_);
      if (rest > 0) {
        std::vector<float> mixed(static_cast<size_t>(audioFrameSize_) * 2);
        mix_.render(mixed.data(), rest);
        // Codecs with a fixed frame size take a whole one: the tail is silence.
        std::fill(mixed.begin() + rest * 2, mixed.end(), 0.0f);
        const bool variable = audioCodec_->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
        ok = encodeAudioFrame(mixed.data(), variable ? rest : audioFrameSize_);
      }
      ok = ok && avcodec_send_frame(audio_, nullptr) >= 0 && drain(audio_, audioStream_);
    }
    ok = ok && avcodec_send_frame(video_, nullptr) >= 0 && drain(video_, videoStream_);
    if (!ok) failed_ = true;
  }

  void closeFile() {
    if (format_ && format_->pb && !(format_->oformat->flags & AVFMT_NOFILE)) avio_closep(&format_->pb);
  }

  void close() {
    if (worker_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        failed_ = true;
      }
      wake_.notify_all();
      worker_.join();
    }
    for (QueuedFrame& frame : queue_) frame.image->drop();
    queue_.clear();
    avcodec_free_context(&video_);
    avcodec_free_context(&audio_);
    closeFile();
    // A capture that did not finish leaves the target as it was.
    zeSafeWriteAbandon(temporary_);
    temporary_.clear();
    avformat_free_context(format_);
    format_ = nullptr;
    sws_freeContext(scale_);
    scale_ = nullptr;
  }

  std::string path_;
  std::string temporary_;  // the video being written, until it replaces path_
  float fps_ = 30;
  const AVCodec* videoCodec_ = nullptr;
  const AVCodec* audioCodec_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* audio_ = nullptr;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
  SwsContext* scale_ = nullptr;
  int width_ = 0, height_ = 0;
  int audioFrameSize_ = 1024;
  long long audioSamples_ = 0;
  int framesEncoded_ = 0;
  bool hasMusic_ = false;
  bool started_ = false;
  MusicMix mix_;
  std::size_t eventsHanded_ = 0;

  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_, room_;
  std::deque<QueuedFrame> queue_;
  std::vector<ZeDemoMusicEvent> tailEvents_;
  int endTimeMs_ = 0;
  bool done_ = false;
  std::atomic<bool> failed_{false};
  std::mutex reasonMutex_;
  std::string reason_;
  bool reported_ = false;
};

}  // namespace

std::unique_ptr<IZeDemoFrameSink> zeMakeVideoSink(const ZeDemo& demo, const std::string& path, float fps) {
  auto sink = std::make_unique<CZeVideoSink>();
  if (!sink->open(demo, path, fps)) return sink->report(), nullptr;
  return sink;
}
