// One tree, two forms: the same answers from text and binary, canonical text
// through zfconv, and the fuzz corpus replayed.
#include "zfTestUtil.h"

#include "support/zfFuzzCheck.h"
#include "zf/zfAnimate.h"
#include "zf/zfWrite.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

const char* const kScene =
    "# a scene as an exporter writes it\n"
    "{ Scene\n"
    "  { SceneInfo\n"
    "    frameStart I4 1\n"
    "    frameEnd I4 120\n"
    "    fps FP 25\n"
    "    flags U4 4294967295 7\n"
    "  }\n"
    "  { Objects\n"
    "    { Object\n"
    "      name STR \"  spaced name  \"\n"
    "      file STR objects/box.lwo\n"
    "      pos FP_C [\n"
    "        RUN 40 0 DAT 5 0.1 0.2 0.30000001 -0.4 1e-07 RUN 10 2.5\n"
    "        DAT 3 1 2 3 RUN 52 3\n"
    "        RUN 55 -1.25\n"
    "      ]\n"
    "      rot FP_C [\n"
    "        DAT 4 0 1.5 3.1 -3.1 RUN 51 -3.1\n"
    "        RUN 55 0.25\n"
    "        DAT 2 0 0.5 RUN 53 0.5\n"
    "      ]\n"
    "      size FP_C [\n"
    "        RUN 3 1 DAT 2 2 3\n"
    "        RUN 5 1\n"
    "      ]\n"
    "      dissolve FP_C DAT 6 0 0.2 0.4 0.6 0.8 1\n"
    "      camera FP_C RUN 10 0 RUN 10 1 RUN 10 2\n"
    "      colour FP 1 0.5 0.25\n"
    "      surfaces STR [\n"
    "        \"Default\"\n"
    "        \"\"\n"
    "      ]\n"
    "    }\n"
    "    { Object\n"
    "      name STR second\n"
    "      pos FP 0 1 2\n"
    "      rot FP 0.5235988 0.34906584 0.17453292\n"
    "    }\n"
    "  }\n"
    "}\n";

bool sameBits(float a, float b) { return std::memcmp(&a, &b, 4) == 0; }

// Asks both entries every question there is and wants the same bits back.
void expectSameAnswers(const ZF_Entry* a, const ZF_Entry* b, const std::string& path) {
  ASSERT_EQ(a->kind, b->kind) << path;
  ASSERT_STREQ(a->name, b->name) << path;
  ASSERT_EQ(a->count, b->count) << path;
  if (a->kind == ZF_NODE) {
    for (uint32_t i = 0; i < a->count; ++i) {
      const char* name = ZF_Child(a, i)->name;
      EXPECT_EQ(ZF_Find(a, name) - ZF_Child(a, 0), ZF_Find(b, name) - ZF_Child(b, 0)) << path << "/" << name;
      EXPECT_EQ(ZF_GetInt(a, name, -5), ZF_GetInt(b, name, -5)) << path << "/" << name;
      const char* ta = ZF_GetString(a, name);
      const char* tb = ZF_GetString(b, name);
      EXPECT_EQ(ta == nullptr, tb == nullptr);
      if (ta && tb) {
        EXPECT_STREQ(ta, tb);
      }
      EXPECT_TRUE(sameBits(ZF_GetFloat(a, name), ZF_GetFloat(b, name))) << path << "/" << name;
      expectSameAnswers(ZF_Child(a, i), ZF_Child(b, i), path + "/" + name);
    }
    return;
  }
  EXPECT_EQ(a->type, b->type) << path;
  for (uint32_t i : {0u, 1u, 3u, 44u, 59u, 1000u}) {
    const ZF_Float3 p = ZF_FP3_At(a, i), q = ZF_FP3_At(b, i);
    EXPECT_EQ(std::memcmp(&p, &q, sizeof p), 0) << path << " at " << i;
    const ZF_Float2 r = ZF_FP2_At(a, i), s = ZF_FP2_At(b, i);
    EXPECT_EQ(std::memcmp(&r, &s, sizeof r), 0) << path << " at " << i;
  }
  testing::internal::CaptureStdout();  // shapes an evaluator refuses say so; both must
  for (float t = -2.0f; t < 70.0f; t += 0.37f) {
    EXPECT_TRUE(sameBits(ZF_FP_Lerp(a, t), ZF_FP_Lerp(b, t))) << path << " " << t;
    EXPECT_TRUE(sameBits(ZF_FP_Step(a, t), ZF_FP_Step(b, t))) << path << " " << t;
    const ZF_Float2 p2 = ZF_FP2_Lerp(a, t), q2 = ZF_FP2_Lerp(b, t);
    EXPECT_EQ(std::memcmp(&p2, &q2, sizeof p2), 0) << path << " " << t;
    const ZF_Float3 p3 = ZF_FP3_Lerp(a, t), q3 = ZF_FP3_Lerp(b, t);
    EXPECT_EQ(std::memcmp(&p3, &q3, sizeof p3), 0) << path << " " << t;
    const ZF_Float3 r3 = ZF_FP3_Slerp_HPB_To_XYZ(a, t), s3 = ZF_FP3_Slerp_HPB_To_XYZ(b, t);
    EXPECT_EQ(std::memcmp(&r3, &s3, sizeof r3), 0) << path << " " << t;
  }
  testing::internal::GetCapturedStdout();
}

TEST(ZfForms, TextAndBinaryGiveTheSameAnswers) {
  ZfDocumentPtr text = zfLoadString(kScene);
  ASSERT_NE(text, nullptr);
  std::string binary;
  ASSERT_TRUE(ZF_WriteBinary(ZF_Root(text.get()), &binary));
  ZfDocumentPtr fromBinary = zfLoadString(binary);
  ASSERT_NE(fromBinary, nullptr);
  EXPECT_EQ(ZF_DocumentForm(fromBinary.get()), ZF_FORM_BINARY);
  expectSameAnswers(ZF_Root(text.get()), ZF_Root(fromBinary.get()), "");

  const ZF_Entry* object = ZF_Find(ZF_Find(ZF_Find(ZF_Root(fromBinary.get()), "Scene"), "Objects"), "Object");
  EXPECT_STREQ(ZF_GetString(object, "name"), "  spaced name  ");
  EXPECT_EQ(ZF_Find(object, "pos")->rows[0].count, 55u);
  EXPECT_FLOAT_EQ(ZF_FP3_Lerp(ZF_Find(object, "pos"), 40.5f).x, 0.15f);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

int zfconv(const std::string& arguments) {
  const std::string command = "timeout 20 " + std::string(ZFCONV_PATH) + " " + arguments + " > /dev/null 2>&1";
  return std::system(command.c_str());
}

TEST(ZfForms, ZfconvRoundTripsToCanonicalText) {
  const std::string dir = "/tmp/zfconv-test-" + std::to_string(getpid());
  ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
  {
    std::ofstream out(dir + "/scene.zscn", std::ios::binary);
    out << kScene;
  }
  ASSERT_EQ(zfconv(dir + "/scene.zscn " + dir + "/scene.bin"), 0);
  ASSERT_EQ(zfconv(dir + "/scene.bin " + dir + "/first.zscn"), 0);
  ASSERT_EQ(zfconv(dir + "/first.zscn " + dir + "/again.bin"), 0);
  ASSERT_EQ(zfconv(dir + "/again.bin " + dir + "/second.zscn"), 0);
  const std::string canonical = readFile(dir + "/first.zscn");
  EXPECT_EQ(readFile(dir + "/second.zscn"), canonical);
  EXPECT_EQ(readFile(dir + "/again.bin"), readFile(dir + "/scene.bin"));
  EXPECT_NE(canonical.find("      name STR \"  spaced name  \"\n"), std::string::npos) << canonical;
  EXPECT_NE(canonical.find("RUN 40 0 DAT 5 0.1 0.2 0.3 -0.4 1e-07 RUN 10 2.5"), std::string::npos) << canonical;
  ASSERT_EQ(zfconv("-text " + dir + "/scene.zscn " + dir + "/tidy.zscn"), 0);
  EXPECT_EQ(readFile(dir + "/tidy.zscn"), canonical);

  // Failures exit non-zero: a missing input, a bad command line, and a
  // binary tree the text form cannot hold (a name with a blank).
  EXPECT_NE(zfconv(dir + "/missing.zscn " + dir + "/out.bin"), 0);
  EXPECT_NE(zfconv(dir + "/scene.zscn"), 0);
  {
    std::ofstream out(dir + "/blank.bin", std::ios::binary);
    out << zfForm(zfChunk("NVAL", zfName("two words") + zfWord(ZF_I4) + zfWord(1)));
  }
  EXPECT_NE(zfconv(dir + "/blank.bin " + dir + "/blank.zscn"), 0);
  // Inputs that are not regular files are refused at once: a FIFO (whose
  // open would wait for a writer), a directory, a device.
  ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0644), 0);
  for (const std::string& input : {dir + "/pipe", dir, std::string("/dev/zero")}) {
    EXPECT_EQ(zfconv("-binary " + input + " " + dir + "/out.bin"), 1 << 8) << input;
  }
  std::system(("rm -rf " + dir).c_str());
}

// Converting a file onto itself when the write fails part-way (a file size
// limit stands in for a full disk) must leave the input whole.
TEST(ZfForms, ZfconvKeepsItsInputWhenTheWriteFails) {
  const std::string dir = "/tmp/zfconv-full-" + std::to_string(getpid());
  ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
  std::string text = "# many nodes\n";
  for (int i = 0; i < 3000; ++i) text += "{ Node\n  index I4 " + std::to_string(i) + "\n}\n";
  const std::string path = dir + "/scene.zscn";
  {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
  ASSERT_GT(text.size(), 32768u);
  for (const char* form : {"-text", "-binary"}) {
    // 32 blocks of 512 bytes; the limit's signal is ignored so the write fails
    // with an error instead.
    const std::string command = "sh -c \"trap '' XFSZ; ulimit -f 32; timeout 20 " + std::string(ZFCONV_PATH) + " " +
                                form + " " + path + " " + path + "\" > /dev/null 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0) << form;
    EXPECT_EQ(readFile(path), text) << form;
  }
  DIR* folder = opendir(dir.c_str());
  int names = 0;
  while (dirent* item = readdir(folder)) {
    const std::string name = item->d_name;
    if (name != "." && name != "..") ++names;
  }
  closedir(folder);
  EXPECT_EQ(names, 1) << "a temporary file was left behind";
  std::system(("rm -rf " + dir).c_str());
}

TEST(ZfForms, FuzzCorpusReplaysClean) {
  DIR* dir = opendir("corpus");
  ASSERT_NE(dir, nullptr) << "tests run from tests/zf";
  int replayed = 0;
  testing::internal::CaptureStdout();
  while (dirent* item = readdir(dir)) {
    if (item->d_name[0] == '.') continue;
    const std::string path = std::string("corpus/") + item->d_name;
    const std::string bytes = readFile(path);
    std::string why;
    EXPECT_TRUE(zfFuzzCheck(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &why)) << path << ": " << why;
    // And once through the file hooks, as a scene is opened.
    ZF_Free(ZF_Load(path.c_str()));
    ++replayed;
  }
  testing::internal::GetCapturedStdout();
  closedir(dir);
  EXPECT_GT(replayed, 0);
}

}  // namespace
