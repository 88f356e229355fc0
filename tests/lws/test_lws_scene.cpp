// .lws files to ZF scenes: the tree the exporter would write, parents and
// pivots baked into world space, the older versions, and bad input.
#include <gtest/gtest.h>

#include "base/zeFile.h"
#include "lws/zeLwsConvert.h"
#include "zf/zfAnimate.h"
#include "zf/zfScene.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kData = "data";

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A temporary folder of scenes, removed afterwards.
class LwsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/zarn-lws-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  // Converts scene text; the log lines it wrote land in *log.
  ZF_Document* convert(const std::string& text, std::string* log = nullptr, const std::string& name = "s.lws") {
    const std::string path = dir_ + "/" + name;
    writeFile(path, text);
    testing::internal::CaptureStdout();
    ZF_Document* d = zeLwsLoadDocument(path.c_str());
    const std::string out = testing::internal::GetCapturedStdout();
    if (log) *log = out;
    return d;
  }
  std::string dir_;
};

const ZF_Entry* member(ZF_Document* d, const char* section, uint32_t i) {
  return ZF_Child(ZF_Find(ZF_Find(ZF_Root(d), "Scene"), section), i);
}

// A v3 envelope block of keys (value, time, shape).
std::string channel(int c, const std::vector<std::vector<double>>& keys, int pre = 1, int post = 1) {
  std::ostringstream o;
  o.precision(17);
  o << "Channel " << c << "\n{ Envelope\n  " << keys.size() << "\n";
  for (const auto& k : keys) {
    o << "  Key";
    for (size_t i = 0; i < 9; ++i) o << " " << (i < k.size() ? k[i] : 0.0);
    o << "\n";
  }
  o << "  Behaviors " << pre << " " << post << "\n}\n";
  return o.str();
}

// --- Independent transform arithmetic for the checks -----------------------------------
struct M {
  double a[3][4];
};
M mul(const M& x, const M& y) {
  M r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j)
      r.a[i][j] = x.a[i][0] * y.a[0][j] + x.a[i][1] * y.a[1][j] + x.a[i][2] * y.a[2][j] + (j == 3 ? x.a[i][3] : 0);
  return r;
}
M translate(double x, double y, double z) { return M{{{1, 0, 0, x}, {0, 1, 0, y}, {0, 0, 1, z}}}; }
M scaling(double x, double y, double z) { return M{{{x, 0, 0, 0}, {0, y, 0, 0}, {0, 0, z, 0}}}; }
M rotY(double h) { return M{{{std::cos(h), 0, std::sin(h), 0}, {0, 1, 0, 0}, {-std::sin(h), 0, std::cos(h), 0}}}; }
M rotX(double p) { return M{{{1, 0, 0, 0}, {0, std::cos(p), -std::sin(p), 0}, {0, std::sin(p), std::cos(p), 0}}}; }
M rotZ(double b) { return M{{{std::cos(b), -std::sin(b), 0, 0}, {std::sin(b), std::cos(b), 0, 0}, {0, 0, 1, 0}}}; }
M hpb(double h, double p, double b) { return mul(rotY(h), mul(rotX(p), rotZ(b))); }

}  // namespace

TEST_F(LwsFiles, SceneBecomesTheExporterTreeWithObjectsFoundInTheContentFolder) {
  // The data folder is the content directory: the scene sits in Scenes/, its
  // objects in Objects/, one named with backslashes and the wrong case.
  ZF_Document* d = zeLwsLoadDocument((kData + "/Scenes/two_boxes.lws").c_str());
  ASSERT_NE(d, nullptr);
  const ZF_Entry* info = ZF_Find(ZF_Find(ZF_Root(d), "Scene"), "SceneInfo");
  EXPECT_EQ(ZF_GetInt(info, "frameStart"), 0);
  EXPECT_EQ(ZF_GetInt(info, "frameEnd"), 30);
  EXPECT_EQ(ZF_GetInt(info, "frameStep"), 1);
  EXPECT_EQ(ZF_GetFloat(info, "framesPerSecond"), 30.0f);

  const ZF_Entry* red = member(d, "Objects", 0);
  const ZF_Entry* green = member(d, "Objects", 1);
  EXPECT_STREQ(ZF_GetString(red, "zfilename"), "../Objects/red_box.lwo|1");
  EXPECT_STREQ(ZF_GetString(green, "zfilename"), "../Objects/green_box.lwo|1");
  EXPECT_STREQ(ZF_GetString(green, "name"), "Green_Box");
  EXPECT_STREQ(ZF_GetString(green, "filename"), "green_box.lwo");
  // Heading 0 -> pi/2 over frames 0..30 (TCB, two keys: a smooth ease).
  const ZF_Entry* rotation = ZF_Find(red, "rotation");
  EXPECT_EQ(rotation->kind, ZF_ARRAY);
  EXPECT_NEAR(ZF_FP3_At(rotation, 0).x, 0.0, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(rotation, 15).x, 1.5707963 * 0.5, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(rotation, 30).x, 1.5707963, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(red, "position"), 7).x, -1.5, 1e-6);
  EXPECT_EQ(ZF_Find(green, "position")->kind, ZF_VALUE) << "a still channel is one FP value";

  const ZF_Entry* camera = member(d, "Cameras", 0);
  // Linear 0 -> 2.5 over one second.
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(camera, "position"), 12).x, 1.0, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(camera, "position"), 12).z, -6.0, 1e-6);
  EXPECT_FLOAT_EQ(ZF_GetFloat(camera, "zoomFactor"), 3.2f);
  const ZF_Entry* resolution = ZF_Find(camera, "resolution");
  ASSERT_EQ(resolution->value.count, 2u);
  EXPECT_EQ(static_cast<const int32_t*>(resolution->value.data)[0], 160);

  const ZF_Entry* light = member(d, "Lights", 0);
  EXPECT_STREQ(ZF_GetString(light, "name"), "Sun");
  EXPECT_EQ(ZF_GetInt(light, "type", -1), 0);
  EXPECT_EQ(ZF_GetInt(light, "shadowType", -1), 1);
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(light, "rotation"), 0).y, 0.3, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(ZF_Find(ZF_Find(ZF_Root(d), "Scene"), "LightInfo"), "ambient"), 0).x, 0.6, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(ZF_Find(ZF_Find(ZF_Root(d), "Scene"), "BackdropInfo"), "zenith"), 0).z, 0.3, 1e-6);

  // The engine's scene view takes it as it is.
  ZF_SceneView* view = ZF_SceneOpenDocument(d);
  ASSERT_NE(view, nullptr) << ZF_SceneLastError();
  EXPECT_EQ(view->objects.size(), 2u);
  EXPECT_EQ(view->cameras.size(), 1u);
  EXPECT_EQ(view->lights.size(), 1u);
  ZF_SceneClose(view);
}

TEST_F(LwsFiles, ScenesOpenThroughTheInstalledReaderAndZfconvWritesThemBesideTheirObjects) {
  zeLwsInstallSceneReader();
  ZF_SceneView* view = ZF_SceneOpen((kData + "/Scenes/two_boxes.lws").c_str());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->objects.size(), 2u);
  ZF_SceneClose(view);
  writeFile(dir_ + "/bad.lws", "LWSC\n99\n");
  EXPECT_EQ(ZF_SceneOpen((dir_ + "/bad.lws").c_str()), nullptr);
  EXPECT_NE(std::string(ZF_SceneLastError()).find("could not be converted"), std::string::npos);
  ZF_SetSceneReader(nullptr, nullptr);

  // Converted into another folder, the object paths are relative to it.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  for (const char* form : {"", "-binary "}) {
    const std::string out = dir_ + "/out.zscn";
    const std::string command = std::string(ZFCONV_PATH) + " " + form + kData + "/Scenes/two_boxes.lws " + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ZF_Document* d = ZF_Load(out.c_str());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(ZF_DocumentForm(d), *form ? ZF_FORM_BINARY : ZF_FORM_TEXT);
    const std::string expected = std::string(cwd) + "/data/Objects/red_box.lwo";
    std::string written = dir_ + "/" + ZF_GetString(member(d, "Objects", 0), "zfilename");
    written.resize(written.size() - 2);  // "|1": layer 1
    EXPECT_EQ(readFile(written), readFile(expected)) << written;
    ZF_Free(d);
  }
}

TEST_F(LwsFiles, AParentChainOfThreeGivesTheProductOfItsTransforms) {
  // Grandparent null spins and moves, parent is scaled and pitched with a
  // pivot, the child object has its own motion and a stretch; v4 ids with
  // gaps. (A stretch above a turn would shear, which no position, rotation
  // and scale can hold: the parents scale evenly.)
  const double kFps = 24;
  std::string s = "LWSC\n4\nFirstFrame 0\nLastFrame 48\nFramesPerSecond 24\n";
  s += "AddNullObject 10000007 Root\nObjectMotion\nNumChannels 9\n" +
       channel(0, {{0, 0, 3}, {4, 2, 3}}) + channel(3, {{0, 0, 0}, {3.0, 2, 0}}) + channel(1, {{1, 0}});
  s += "AddNullObject 1000000A Arm\nObjectMotion\nNumChannels 9\n" + channel(0, {{1, 0}}) +
       channel(4, {{0.2, 0, 0}, {-0.6, 1, 0}, {0.1, 2, 0}}) + channel(6, {{1.5, 0}}) + channel(7, {{1.5, 0}}) +
       channel(8, {{1.5, 0}}) +
       "PivotPosition 0.5 0 0.25\nParentItem 10000007\n";
  s += "LoadObject 10000010 Objects/hand.lwo\nObjectMotion\nNumChannels 9\n" + channel(2, {{1, 0, 3}, {3, 2, 3}}) +
       channel(5, {{0.7, 0}}) + channel(7, {{2, 0}}) + "ParentItem 1000000A\n";
  std::string log;
  ZF_Document* d = convert(s, &log);
  ASSERT_NE(d, nullptr) << log;
  ASSERT_EQ(ZF_ChildCount(ZF_Find(ZF_Find(ZF_Root(d), "Scene"), "Objects")), 1u) << "nulls are not objects";
  const ZF_Entry* hand = member(d, "Objects", 0);
  for (int frame : {0, 7, 24, 31, 48}) {
    SCOPED_TRACE(frame);
    const double t = frame / kFps;
    // The curves above sampled by hand: linear spans, and the arm's TCB pitch
    // through its own evaluation (checked on its own in the envelope tests).
    const double rootX = 4 * t / 2, rootH = 3.0 * t / 2, handZ = 1 + 2 * t / 2;
    ZeLwsEnvelope pitch;
    for (auto k : {std::pair<double, double>{0.2, 0}, {-0.6, 1}, {0.1, 2}}) {
      ZeLwsKey key;
      key.value = k.first;
      key.time = k.second;
      pitch.keys.push_back(key);
    }
    const double armP = zeLwsEnvelopeEval(pitch, t);
    const M root = mul(translate(rootX, 1, 0), hpb(rootH, 0, 0));
    const M arm = mul(mul(translate(1, 0, 0), mul(hpb(0, armP, 0), scaling(1.5, 1.5, 1.5))), translate(-0.5, 0, -0.25));
    const M child = mul(translate(0, 0, handZ), mul(hpb(0, 0, 0.7), scaling(1, 2, 1)));
    const M world = mul(root, mul(arm, child));

    const ZF_Float3 p = ZF_FP3_At(ZF_Find(hand, "position"), static_cast<uint32_t>(frame));
    EXPECT_NEAR(p.x, world.a[0][3], 1e-4);
    EXPECT_NEAR(p.y, world.a[1][3], 1e-4);
    EXPECT_NEAR(p.z, world.a[2][3], 1e-4);
    // Rotation times scale rebuilt from the channels equals the world's 3x3.
    const ZF_Float3 r = ZF_FP3_At(ZF_Find(hand, "rotation"), static_cast<uint32_t>(frame));
    const ZF_Float3 k = ZF_FP3_At(ZF_Find(hand, "scale"), static_cast<uint32_t>(frame));
    const M rebuilt = mul(hpb(r.x, r.y, r.z), scaling(k.x, k.y, k.z));
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(rebuilt.a[i][j], world.a[i][j], 1e-4) << i << "," << j;
  }
  ZF_Free(d);
}

TEST_F(LwsFiles, AnAimedCameraPointsAtItsTargetAndABoneFollowsItsObject) {
  // The target circles the camera's pivot: heading and pitch follow it,
  // bank keeps its channel. A null under a bone moves with the bone's object.
  std::string s = "LWSC\n3\nFirstFrame 0\nLastFrame 4\nFramesPerSecond 4\n";
  s += "AddNullObject Target\nObjectMotion\nNumChannels 9\n" + channel(0, {{0, 0, 3}, {-2, 1, 3}}) +
       channel(1, {{-2, 0}}) + channel(2, {{2, 0}});
  s += "LoadObject body.lwo\nObjectMotion\nNumChannels 9\n" + channel(0, {{0, 0, 3}, {8, 1, 3}}) + "AddBone\n";
  s += "LoadObject hat.lwo\nParentItem 40000001\n";
  s += "AddCamera\nCameraMotion\nNumChannels 6\n" + channel(5, {{0.25, 0}}) +
       "PivotPosition 0 0 0\nTargetItem 10000000\nHController 1\nPController 1\n";
  std::string log;
  ZF_Document* d = convert(s, &log);
  ASSERT_NE(d, nullptr) << log;
  const ZF_Entry* r = ZF_Find(member(d, "Cameras", 0), "rotation");
  // Frame 0: target at (0, -2, 2): straight ahead, 45 degrees down.
  EXPECT_NEAR(ZF_FP3_At(r, 0).x, 0.0, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(r, 0).y, M_PI / 4, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(r, 0).z, 0.25, 1e-6);
  // Frame 4: target at (-2, -2, 2): heading -45 degrees, pitch atan(2 / sqrt 8).
  EXPECT_NEAR(ZF_FP3_At(r, 4).x, -M_PI / 4, 1e-6);
  EXPECT_NEAR(ZF_FP3_At(r, 4).y, std::atan2(2.0, std::sqrt(8.0)), 1e-6);
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(member(d, "Objects", 1), "position"), 4).x, 8.0, 1e-5);
  ZF_Free(d);
}

TEST_F(LwsFiles, OlderVersionsReadDegreesByteColoursAndFrameNumbers) {
  // Version 1: one line of nine channels per key, then "frame linear t c b".
  const std::string v1 =
      "LWSC\n1\nFirstFrame 1\nLastFrame 21\nFramesPerSecond 10\n"
      "LoadObject Objects/a.lwo\nObjectMotion (unnamed)\n  9\n  2\n"
      "  0 0 0 90 0 0 1 1 1\n  1 0 0 0 0\n  10 0 0 180 0 0 1 1 1\n  11 1 0 0 0\nEndBehavior 2\n"
      "AddLight\nLightName Lamp\nLightColor 255 128 0\nLgtIntensity 0.5\nLightType 2\nConeAngle 30\nEdgeAngle 10\n"
      "ObjectMotion (unnamed)\n  9\n  1\n  0 5 0 0 0 0 1 1 1\n  1 0 0 0 0\n";
  std::string log;
  ZF_Document* d = convert(v1, &log);
  ASSERT_NE(d, nullptr) << log;
  const ZF_Entry* o = ZF_Find(member(d, "Objects", 0), "position");
  const ZF_Entry* r = ZF_Find(member(d, "Objects", 0), "rotation");
  EXPECT_NEAR(ZF_FP3_At(o, 5).x, 5.0, 1e-5) << "frame 6, halfway along the linear span";
  EXPECT_NEAR(ZF_FP3_At(r, 0).x, M_PI / 2, 1e-5) << "degrees";
  EXPECT_NEAR(ZF_FP3_At(o, 15).x, 5.0, 1e-5) << "EndBehavior 2 repeats: frame 16 plays frame 6";
  const ZF_Entry* lamp = member(d, "Lights", 0);
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(lamp, "color"), 0).y, 128.0 / 255.0, 1e-6);
  EXPECT_FLOAT_EQ(ZF_GetFloat(lamp, "intensity"), 0.5f);
  EXPECT_NEAR(ZF_FP2_At(ZF_Find(lamp, "coneAngles"), 0).x, M_PI / 6, 1e-6);
  EXPECT_NEAR(ZF_FP2_At(ZF_Find(lamp, "coneAngles"), 0).y, M_PI / 18, 1e-6);
  ZF_Free(d);

  // Version 2: per channel "value seconds code t c b", then behaviours in pairs.
  std::string v2 = "LWSC\n2\nFirstFrame 0\nLastFrame 20\nFramesPerSecond 10\nLoadObject a.lwo\nObjectMotion (unnamed)\n  9\n";
  v2 += "  2\n  0 0 2 0 0 0\n  4 1 2 0 0 0\n";
  for (int c = 1; c < 9; ++c) v2 += c == 4 ? "  1\n  45 0 2 0 0 0\n" : "  1\n  0 0 2 0 0 0\n";
  v2 += "Pre/PostBehavior 1 4 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\n";
  d = convert(v2, &log);
  ASSERT_NE(d, nullptr) << log;
  o = ZF_Find(member(d, "Objects", 0), "position");
  EXPECT_NEAR(ZF_FP3_At(o, 10).x, 4.0, 1e-5);
  EXPECT_NEAR(ZF_FP3_At(o, 20).x, 8.0, 1e-5) << "offset repeat after the last key";
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(member(d, "Objects", 0), "rotation"), 0).y, M_PI / 4, 1e-5);
  ZF_Free(d);
}

TEST_F(LwsFiles, BadInputGetsAClearMessageAndNeverStopsTheRest) {
  const std::string head = "LWSC\n3\nFirstFrame 0\nLastFrame 10\n";
  const std::string object = "LoadObjectLayer 1 Objects/a.lwo\n";
  struct Case {
    const char* what;
    std::string text;
    bool converts;
    const char* message;
    size_t objects;
  } cases[] = {
      {"empty file", "", false, "not a LightWave scene", 0},
      {"unknown version", "LWSC\n7\n", false, "unknown LightWave scene version '7'", 0},
      {"truncated inside an envelope", head + object + "ObjectMotion\nNumChannels 9\nChannel 0\n{ Envelope\n  3\n  Key 1 0",
       true, "s.lws:9: envelope block is not closed", 1},
      {"more keys declared than follow",
       head + object + "ObjectMotion\nNumChannels 9\nChannel 0\n{ Envelope\n  5\n  Key 1 0 0\n  Behaviors 1 1\n}\n", true,
       "envelope declares 5 keys but holds 1", 1},
      {"a NaN key", head + object + channel(0, {{1, 0}}) + "Channel 1\n{ Envelope\n  1\n  Key nan 0 0\n}\n", true,
       "not finite", 1},
      {"parents in a cycle",
       head + "AddNullObject A\nParentItem 10000001\nAddNullObject B\nParentItem 10000000\n" + object +
           "ParentItem 10000001\n",
       true, "closes a cycle of parents", 1},
      {"a parent that does not exist", head + object + "ParentItem 1000002A\n", true,
       "parent item 1000002A does not exist", 1},
      {"a plug-in block", head + "Plugin MasterHandler 1 Junk\n{ Data\nEndPlugin\n" + object, true,
       "s.lws:5: plug-in 'Junk' skipped", 1},
      {"an unknown item", head + "AddPartigon 7\nParentItem 10000000\n" + object, true,
       "s.lws:5: unknown item 'AddPartigon' skipped", 1},
      {"a billion frames", "LWSC\n3\nFirstFrame 0\nLastFrame 1000000000\n" + object, false, "item-frames", 0},
      {"old motion with fewer keys than declared",
       "LWSC\n1\nLoadObject a.lwo\nObjectMotion (unnamed)\n  9\n  4\n  0 0 0 0 0 0 1 1 1\n  0 0 0 0 0\nEndBehavior 1\n", true,
       "motion block declares 4 keys but 1 follow", 1},
      {"an unknown span type", head + object + "Channel 0\n{ Envelope\n  1\n  Key 1 0 9\n}\n", true,
       "unknown span type 9", 1},
      {"a hundred thousand and one items", "LWSC\n3\nFirstFrame 1\nLastFrame 1\n" + [] {
         std::string nulls;
         for (int i = 0; i <= 100000; ++i) nulls += "AddNullObject n\n";
         return nulls;
       }() + object, true, "more than 100000 items; further items are skipped", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string log;
    ZF_Document* d = convert(c.text, &log);
    EXPECT_EQ(d != nullptr, c.converts) << log;
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    if (d) {
      EXPECT_EQ(ZF_ChildCount(ZF_Find(ZF_Find(ZF_Root(d), "Scene"), "Objects")), c.objects);
      ZF_Free(d);
    }
  }
}

TEST_F(LwsFiles, AThousandDeepParentChainEndsAtTheSumOfItsOffsets) {
  std::string s = "LWSC\n3\nFirstFrame 0\nLastFrame 2\n";
  for (int i = 0; i < 1000; ++i) {
    s += "AddNullObject n\nObjectMotion\nNumChannels 9\n" + channel(0, {{1, 0}});
    if (i) s += "ParentItem " + [&] { char b[16]; std::snprintf(b, sizeof b, "%08X", 0x10000000 + i - 1); return std::string(b); }() + "\n";
  }
  s += "LoadObject a.lwo\nParentItem 100003E7\n";
  std::string log;
  ZF_Document* d = convert(s, &log);
  ASSERT_NE(d, nullptr) << log;
  EXPECT_NEAR(ZF_FP3_At(ZF_Find(member(d, "Objects", 0), "position"), 0).x, 1000.0, 1e-3);
  ZF_Free(d);
}

TEST(LwsCorpus, EveryFuzzFindingConvertsOrFailsCleanly) {
  for (const char* folder : {"corpus-lws"}) {
    DIR* dir = opendir(folder);
    ASSERT_NE(dir, nullptr) << folder;
    int files = 0;
    while (dirent* e = readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      const std::string text = readFile(std::string(folder) + "/" + e->d_name);
      ZeLwsScene scene;
      testing::internal::CaptureStdout();
      if (zeLwsParse(text.data(), text.size(), e->d_name, &scene)) ZF_Free(zeLwsConvert(scene, "/nonexistent/"));
      testing::internal::GetCapturedStdout();
      ++files;
    }
    closedir(dir);
    EXPECT_GT(files, 0);
  }
}
