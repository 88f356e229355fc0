// A LightWave scene (.lws) as read: scene settings and items (objects, nulls,
// lights, cameras, bones) with their keyed motion, before any sampling.
//
// Contents: items · scene · reading.
#pragma once

#include "lws/zeLwsEnvelope.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The top hex digit of an item id.
enum ZeLwsItemKind : int {
  ZE_LWS_OBJECT = 1,
  ZE_LWS_LIGHT = 2,
  ZE_LWS_CAMERA = 3,
  ZE_LWS_BONE = 4,
};

// Motion channels: position X, Y, Z; heading, pitch, bank (radians); scale X, Y, Z.
constexpr int ZE_LWS_CHANNELS = 9;

// --- Items ------------------------------------------------------------------------------
struct ZeLwsItem {
  int kind = ZE_LWS_OBJECT;
  uint32_t id = 0;  // kind << 28 | number, as written or by order of appearance
  int line = 0;     // the line that created it, for messages
  std::string name;
  std::string path;   // objects: the object file as written (empty for a null)
  int layer = -1;     // LoadObjectLayer: the layer asked for
  bool isNull = false;

  ZeLwsEnvelope channels[ZE_LWS_CHANNELS];
  bool hasParent = false;
  uint32_t parentId = 0;
  int parentLine = 0;
  double pivot[3] = {0, 0, 0};
  double pivotRotation[3] = {0, 0, 0};  // heading, pitch, bank, radians
  // Aiming: with controller 1 the heading and/or pitch point at the target item.
  bool hasTarget = false;
  uint32_t targetId = 0;
  int targetLine = 0;
  int headingController = 0;
  int pitchController = 0;

  // Lights.
  int lightType = 1;  // 0 distant, 1 point, 2 spot, 3 linear, 4 area
  double lightColour[3] = {1, 1, 1};
  ZeLwsEnvelope intensity = zeLwsConstant(1.0);
  int falloffType = 0;  // 0 none, 1 linear, 2 inverse distance, 3 inverse square
  ZeLwsEnvelope range = zeLwsConstant(1.0);
  ZeLwsEnvelope coneAngle = zeLwsConstant(0.5235987755982988);  // radians
  ZeLwsEnvelope edgeAngle = zeLwsConstant(0.0872664625997165);
  int shadowType = 0;

  // Cameras.
  ZeLwsEnvelope zoomFactor = zeLwsConstant(3.2);
  int frameWidth = 640;
  int frameHeight = 480;
  double resolutionMultiplier = 1.0;
  bool useGlobalResolution = false;

  ZeLwsItem() {
    for (int c = 0; c < ZE_LWS_CHANNELS; ++c) channels[c] = zeLwsConstant(c >= 6 ? 1.0 : 0.0);
  }
};

// --- Scene ------------------------------------------------------------------------------
struct ZeLwsScene {
  std::string file;  // as named to the reader, for messages
  int version = 0;
  int firstFrame = 1;
  int lastFrame = 60;
  int frameStep = 1;
  double framesPerSecond = 30.0;

  double ambientColour[3] = {1, 1, 1};
  ZeLwsEnvelope ambientIntensity = zeLwsConstant(0.25);
  bool hasAmbient = false;

  bool solidBackdrop = false;
  bool hasBackdrop = false;
  double backdropColour[3] = {0, 0, 0};
  double zenithColour[3] = {0, 0, 0};

  bool hasGlobalFrameSize = false;
  int globalFrameWidth = 640;
  int globalFrameHeight = 480;

  std::vector<ZeLwsItem> items;
};

// --- Reading ----------------------------------------------------------------------------
// Parses scene text of `size` bytes. `file` names it in messages
// ("scene.lws:12: ..."). Whatever is not understood is skipped with one log
// line naming its line; false (after a message) only when the text is not a
// scene at all: no "LWSC" header or an unknown version.
bool zeLwsParse(const char* text, std::size_t size, const char* file, ZeLwsScene* scene);
