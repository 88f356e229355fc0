#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "packaging/zeExtract.h"
#include "packagingFixture.h"
#include "support/testZip.h"

namespace {

using namespace zetest;

struct Extraction {
  int result;
  std::string out;
};

Extraction extract(const std::vector<std::uint8_t>& archive, const std::string& directory) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int result = zeExtractArchive(archive, directory);
  std::string out = ::testing::internal::GetCapturedStdout();
  out += ::testing::internal::GetCapturedStderr();
  return {result, out};
}

std::string listing(const std::string& root) {
  std::string s;
  std::vector<std::string> all;
  for (const auto& e : fs::recursive_directory_iterator(root))
    all.push_back(fs::relative(e.path(), root).generic_string() + (e.is_directory() ? "/" : ""));
  std::sort(all.begin(), all.end());
  for (const auto& a : all) s += (s.empty() ? "" : " ") + a;
  return s;
}

TEST(Extract, APackagedSceneGivesImagesObjectsAndScenes) {
  TempFolder t;
  const auto archive = zeTestZip({
      {"zarn.zscn", "scene"},
      {"tower.x", "object"},
      {"Wall.JPG", "image"},
      {"textures/noise.png", "engine texture, not at the root"},
      {"shaders/Lpp.hlsl", "engine shader"},
      {"scene_backup/city.lws", "lws"},
      {"scene_backup/tower.LWO", "lwo"},
      {"scene_backup/readme.txt", "neither"},
      {"Makefile", "no extension"},
  });
  const Extraction e = extract(archive, t.path());
  ASSERT_EQ(e.result, 0) << e.out;
  EXPECT_EQ(listing(t.path()),
            "ExeExtract/ ExeExtract/Images/ ExeExtract/Images/Wall.JPG ExeExtract/Objects/ "
            "ExeExtract/Objects/tower.LWO ExeExtract/Scenes/ ExeExtract/Scenes/city.lws");
  EXPECT_EQ(readFile(t / "ExeExtract/Scenes/city.lws"), "lws");
  EXPECT_NE(e.out.find("Extract File '" + t.path() + "/ExeExtract/Objects/tower.LWO'"), std::string::npos);
}

TEST(Extract, OnlyAPackagedSceneIsExtracted) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
  } cases[] = {
      {"a packaged demo", {{"zarn.demo.ini", "[part1]"}, {"zarn.zscn", "s"}, {"scene_backup/a.lws", "l"}}},
      {"no scene sources", {{"zarn.zscn", "s"}, {"a.png", "p"}}},
      {"no scene", {{"main.lua", "print()"}, {"scene_backup/a.lws", "l"}}},
  };
  for (const Case& c : cases) {
    TempFolder t;
    const Extraction e = extract(zeTestZip(c.files), t.path());
    EXPECT_EQ(e.result, 0) << c.name;
    EXPECT_EQ(listing(t.path()), "") << c.name;
  }
  TempFolder t;
  EXPECT_EQ(extract({1, 2, 3}, t.path()).result, -1);
  zeResetMessageState();
}

TEST(Extract, HostileNamesAreSkippedAndTheRestExtracts) {
  struct Case {
    const char* name;
    bool safe;
  } names[] = {
      {"../evil.png", false},          {"/etc/evil.png", false},         {"c:evil.png", false},
      {"C:/evil.png", false},          {"\\evil.png", false},            {"scene_backup/../../evil.lws", false},
      {"scene_backup\\..\\evil.lws", false}, {"scene_backup/..", false}, {"..", false},
      {"good.png", true},              {"scene_backup/good.lws", true},  {"a..b.png", true},
  };
  for (const Case& c : names) EXPECT_EQ(zeIsSafeEntryName(c.name), c.safe) << c.name;

  TempFolder outer;
  const std::string inside = outer / "run";
  fs::create_directories(inside);
  std::vector<std::pair<std::string, std::string>> files = {{"zarn.zscn", "s"}, {"scene_backup/a.lws", "fine"}};
  for (const Case& c : names)
    if (!c.safe) files.push_back({c.name, "hostile"});
  const Extraction e = extract(zeTestZip(files), inside);
  EXPECT_EQ(e.result, 0) << e.out;
  EXPECT_EQ(listing(outer.path()),
            "run/ run/ExeExtract/ run/ExeExtract/Images/ run/ExeExtract/Objects/ run/ExeExtract/Scenes/ "
            "run/ExeExtract/Scenes/a.lws");
  EXPECT_NE(e.out.find("Skipped entry '../evil.png'"), std::string::npos) << e.out;
  EXPECT_NE(e.out.find("Skipped entry 'scene_backup/../../evil.lws'"), std::string::npos) << e.out;
  EXPECT_FALSE(fs::exists(outer / "evil.png"));
}

TEST(Extract, AFileThatCannotBeWrittenStopsWithAMessageAndNoPartialFile) {
  TempFolder t;
  // A directory where the image would go: the rename onto it fails.
  fs::create_directories(t / "ExeExtract/Images/a.png");
  fs::create_directories(t / "ExeExtract/Images/a.png/inside");
  const Extraction e =
      extract(zeTestZip({{"zarn.zscn", "s"}, {"scene_backup/a.lws", "l"}, {"a.png", "png"}}), t.path());
  EXPECT_EQ(e.result, -1);
  EXPECT_NE(e.out.find("Failed to write file"), std::string::npos) << e.out;
  EXPECT_FALSE(fs::exists(t / "ExeExtract/Images/a.png.part"));
  zeResetMessageState();
}

}  // namespace
