// Shared by the mesh tests: a NULL-driver device, a device log that records
// what it is told, and small mesh builders.
#pragma once
#include <irrlicht.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/zeDeviceLog.h"

class CRecordingLogger : public irr::ILogger {
 public:
  irr::ELOG_LEVEL getLogLevel() const override { return irr::ELL_DEBUG; }
  void setLogLevel(irr::ELOG_LEVEL) override {}
  void log(const irr::c8* text, irr::ELOG_LEVEL ll) override { Lines.push_back({ll, text}); }
  void log(const irr::c8* text, const irr::c8* hint, irr::ELOG_LEVEL ll) override {
    Lines.push_back({ll, std::string(text) + ": " + hint});
  }
  void log(const irr::c8* text, const wchar_t*, irr::ELOG_LEVEL ll) override { Lines.push_back({ll, text}); }
  void log(const wchar_t*, const wchar_t*, irr::ELOG_LEVEL ll) override { Lines.push_back({ll, "(wide)"}); }
  void log(const wchar_t*, irr::ELOG_LEVEL ll) override { Lines.push_back({ll, "(wide)"}); }

  int count(const std::string& part, irr::ELOG_LEVEL level) const {
    int n = 0;
    for (const auto& line : Lines)
      if (line.first == level && line.second.find(part) != std::string::npos) ++n;
    return n;
  }
  int count(irr::ELOG_LEVEL level) const {
    int n = 0;
    for (const auto& line : Lines)
      if (line.first == level) ++n;
    return n;
  }
  std::string all() const {
    std::string text;
    for (const auto& line : Lines) text += line.second + "\n";
    return text;
  }
  std::vector<std::pair<irr::ELOG_LEVEL, std::string>> Lines;
};

// One NULL device for a whole test program; the recorder is the device log.
inline irr::IrrlichtDevice* testDevice() {
  static irr::IrrlichtDevice* device = [] {
    irr::IrrlichtDevice* d = irr::createDevice(irr::video::EDT_NULL);
    d->getLogger()->setLogLevel(irr::ELL_NONE);
    return d;
  }();
  return device;
}

inline CRecordingLogger& testLog() {
  static CRecordingLogger* logger = [] {
    CRecordingLogger* l = new CRecordingLogger();
    zeSetDeviceLogger(l);
    return l;
  }();
  return *logger;
}

// A scratch folder of this test process (ending in '/'), made on first use.
inline std::string testTempDir() {
  static std::string dir = [] {
    std::string d = "/tmp/zarn-mesh-test-" + std::to_string(getpid());
    mkdir(d.c_str(), 0755);
    return d + "/";
  }();
  return dir;
}

inline void writeFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
