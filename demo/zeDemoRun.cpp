#include "demo/zeDemoRun.h"

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "demo/zeDemoPlayer.h"
#include "demo/zeVideoCapture.h"

namespace {

// One image file per frame, written as the extension says.
class CZeImageFrames : public IZeDemoFrameSink {
 public:
  CZeImageFrames(std::string base, std::string extension) : base_(std::move(base)), extension_(std::move(extension)) {}
  bool write(int n, int, const std::vector<ZeDemoMusicEvent>&, std::string* label) override {
    *label = zeDemoCaptureFileName(base_, n, extension_);
    return zeScreenShot(label->c_str()) == 0;
  }
  bool finish(const std::vector<ZeDemoMusicEvent>&, int) override { return true; }

 private:
  std::string base_, extension_;
};

// Loads, prepares, runs and always unloads.
template <typename Run>
int withDemo(const char* path, Run run) {
  IZeDemoEngine* engine = zeDemoEngine();
  ZeDemo demo;
  ZeDemoCounters counters;
  const int loaded = zeDemoLoad(&demo, path, &counters, engine);
  int result = loaded == 0 ? 0 : (loaded == 1 ? 0 : -1);
  if (loaded == 0) {
    zeDemoPrepare(&demo, engine);
    result = run(&demo, engine);
  }
  zeDemoUnload(&demo, engine);
  return result;
}

}  // namespace

int zeDemoPlay(const char* path, int startPart) {
  return withDemo(path, [&](ZeDemo* demo, IZeDemoEngine* engine) { return zeDemoPlayLoop(demo, engine, startPart); });
}

int zeDemoCapture(const char* path, int startPart, const char* captureName, float fps) {
  // A rate of 0 means the usual 30; a negative one would run time backwards.
  if (!(fps > 0)) fps = 30;
  // Loading moves the working directory to the demo's: a relative name means
  // where the program was started.
  std::error_code error;
  std::filesystem::path name = captureName ? captureName : "";
  if (!name.empty()) name = std::filesystem::absolute(name, error);
  const std::string capture = name.string();
  std::string base, extension;
  zeDemoSplitCaptureName(capture, &base, &extension);
  zeMessage(ZE_INFO, "Start capturing: basename='%s' ext='%s' fps=%f", base.c_str(), extension.c_str(), fps);
  // "-cap out/demo.mp4" into a folder that is not there yet makes it.
  if (name.has_parent_path()) std::filesystem::create_directories(name.parent_path(), error);
  return withDemo(path, [&](ZeDemo* demo, IZeDemoEngine* engine) {
    std::unique_ptr<IZeDemoFrameSink> sink;
    if (zeDemoIsVideoExtension(extension)) {
      sink = zeMakeVideoSink(*demo, capture, fps);
      if (!sink) return -1;
    } else {
      sink = std::make_unique<CZeImageFrames>(base, extension);
    }
    return zeDemoCaptureLoop(demo, engine, startPart, fps, sink.get());
  });
}
