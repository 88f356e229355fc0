// The real program packages a folder, and the copy it makes plays from its
// payload, headless.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdio>
#include <string>

#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "packaging/zeExecutableResources.h"
#include "packaging/zePayload.h"
#include "packagingFixture.h"
#include "support/testZip.h"

namespace {

using namespace zetest;

const std::string zarn = ZARN_EXECUTABLE;
const std::string examples = ZARN_EXAMPLES;
const char* const setup = "[Setup]\ndisplay = 64 48 32\nwindowed = 1\n";

// What a packaged production reports once it has mounted its archive and
// chosen the start file: the front end it hands over to.
void expectPlayed(const ProgramRun& run, const std::string& frontEnd, const std::string& scriptOutput = "") {
  EXPECT_TRUE(contains(run.out, "setup filesystem irrzip")) << run.out;
  EXPECT_FALSE(contains(run.out, "Resources don't exist")) << run.out;
  // Until the front end exists the entry says so; once it does, it plays.
  const bool notBuilt = contains(run.out, frontEnd + ": not built yet");
  const bool played = !scriptOutput.empty() && contains(run.out, scriptOutput);
  EXPECT_TRUE(notBuilt || played) << run.out;
}

// Every file the example scene plays from (not the script that makes them).
void copyExampleScene(const std::string& folder) {
  fs::create_directories(folder);
  for (const auto& e : fs::directory_iterator(examples + "/scene"))
    if (e.path().extension() != ".py") fs::copy_file(e.path(), folder + "/" + e.path().filename().string());
}

void makeScriptFolder(const std::string& folder) {
  fs::create_directories(folder);
  fs::copy_file(examples + "/object/example.x", folder + "/example.x");
  fs::copy_file(examples + "/object/example.png", folder + "/example.png");
  writeFile(folder + "/zarn-setup.ini", setup);
  writeFile(folder + "/main.lua",
            "if ze.FileExist('example.x') and ze.FileExist('example.png') then print('object and image found') end\n");
}

TEST(PackagingEndToEnd, AFolderBecomesAnExecutableThatPlaysFromItsPayload) {
  TempFolder t;
  makeScriptFolder(t / "production");
  const ProgramRun build = runIn(t.path(), zarn + " -direxe film production");
  ASSERT_EQ(build.exitCode, 0) << build.out;
  EXPECT_TRUE(contains(build.out, "main.lua")) << build.out;
  EXPECT_TRUE(contains(build.out, "Packed ")) << build.out;
  ASSERT_TRUE(fs::exists(t / "film"));
  EXPECT_FALSE(fs::exists(t / "film.dat.tmp"));

  // ProgramRun from another folder: nothing but the payload can serve the files.
  fs::create_directories(t / "elsewhere");
  expectPlayed(runIn(t / "elsewhere", t / "film"), "The script runner", "object and image found");

  // What the script would read: the object and the image, through the
  // engine's file hooks over the mounted payload.
  std::vector<std::uint8_t> archive;
  std::string problem;
  ASSERT_EQ(zeLoadFileResource((t / "film").c_str(), 500, &archive, &problem), ZeLoadResult::Loaded) << problem;
  irr::SIrrlichtCreationParameters params;
  params.DriverType = irr::video::EDT_NULL;
  params.LoggingLevel = irr::ELL_NONE;
  irr::IrrlichtDevice* device = irr::createDeviceEx(params);
  ASSERT_NE(device, nullptr);
  zeFilesystemReset(device->getFileSystem());
  ASSERT_EQ(zeMountArchiveMemory(archive.data(), static_cast<long>(archive.size())), 0);
  for (const char* name : {"example.x", "example.png"}) {
    std::string bytes;
    EXPECT_TRUE(zeFileReadAll(name, &bytes)) << name;
    EXPECT_EQ(bytes, readFile(examples + "/object/" + name)) << name;
  }
  zeFilesystemReset(nullptr);
  device->drop();

  // A tool that fails exits non-zero and leaves nothing behind.
  const ProgramRun failed = runIn(t.path(), zarn + " -direxe broken no-such-folder");
  EXPECT_NE(failed.exitCode, 0);
  EXPECT_TRUE(contains(failed.out, "Failed to open directory")) << failed.out;
  EXPECT_FALSE(fs::exists(t / "broken"));
  EXPECT_FALSE(fs::exists(t / "broken.dat.tmp"));

  // A scene production the same way.
  copyExampleScene(t / "scene");
  fs::copy_file(examples + "/scene/example.zscn", t / "scene/zarn.zscn");
  writeFile(t / "scene/zarn-setup.ini", setup);
  ASSERT_EQ(runIn(t.path(), zarn + " -direxe sceneprod scene").exitCode, 0);
  // The viewer plays until it is closed: it must still be playing the scene
  // from the payload when the time is up (a scene it cannot load ends the run
  // at once with "Failed to load scene").
  const ProgramRun run = runIn(t / "elsewhere", "timeout 5 stdbuf -oL " + (t / "sceneprod"));
  EXPECT_TRUE(contains(run.out, "setup filesystem irrzip")) << run.out;
  EXPECT_TRUE(contains(run.out, "scene viewer started")) << run.out;
  EXPECT_FALSE(contains(run.out, "Failed to load scene")) << run.out;
  EXPECT_EQ(run.exitCode, 124) << run.out;
}

TEST(PackagingEndToEnd, TheDataFileBesideACopyOfTheProgramPlaysTheSame) {
  TempFolder t;
  makeScriptFolder(t / "production");
  fs::create_directories(t / "out");
  const ProgramRun build = runIn(t.path(), zarn + " -dirdat out/film.exe production");
  ASSERT_EQ(build.exitCode, 0) << build.out;
  ASSERT_TRUE(fs::exists(t / "out/film.dat"));
  EXPECT_FALSE(fs::exists(t / "out/film.exe"));
  fs::copy_file(zarn, t / "out/film", fs::copy_options::overwrite_existing);
  fs::permissions(t / "out/film", fs::perms::owner_all, fs::perm_options::add);
  fs::create_directories(t / "elsewhere");
  expectPlayed(runIn(t / "elsewhere", t / "out/film"), "The script runner", "object and image found");
}

TEST(PackagingEndToEnd, ADemoDataFileWithoutExecutableBecomesAProductionBesideACopy) {
  TempFolder t;
  writeFile(t / "demo/film.demo.ini", "[part1]\ndirectory = city\nfilename = example.zscn\ntime = 0\n");
  copyExampleScene(t / "demo/city");
  fs::create_directories(t / "out");
  const ProgramRun build = runIn(t.path(), zarn + " -demodat out/film.exe demo/film.demo.ini");
  ASSERT_EQ(build.exitCode, 0) << build.out;
  EXPECT_FALSE(fs::exists(t / "out/film.exe"));
  const auto entries = zipEntriesOfFile(t / "out/film.dat");
  EXPECT_EQ(entries.count("zarn.demo.ini"), 1u);
  EXPECT_EQ(entries.count("city/example.zscn"), 1u);
  EXPECT_EQ(entries.count("city/pillar.x"), 1u);

  fs::copy_file(zarn, t / "out/film.exe");
  fs::permissions(t / "out/film.exe", fs::perms::owner_all, fs::perm_options::add);
  // A demo carries no setup file: the one of the folder it runs in serves.
  writeFile(t / "elsewhere/zarn-setup.ini", setup);
  // Its one part is also its end: the scene loads from the payload, and the demo ends at once.
  const ProgramRun played = runIn(t / "elsewhere", t / "out/film.exe");
  EXPECT_TRUE(contains(played.out, "setup filesystem irrzip")) << played.out;
  EXPECT_FALSE(contains(played.out, "Fail")) << played.out;
  EXPECT_EQ(played.exitCode, 0) << played.out;
}

TEST(PackagingEndToEnd, ExtractWritesTheSourcesOfAPackagedSceneAndRefusesToClimbOut) {
  TempFolder t;
  const std::string scene = t / "scene";
  fs::create_directories(scene);
  for (const char* f : {"example.zscn", "floor.x", "mover.x", "pillar.x"})
    fs::copy_file(examples + "/scene/" + f, scene + "/" + f);
  fs::copy_file(examples + "/object/example.png", scene + "/wall.png");
  writeFile(scene + "/scene_backup/example.lws", "LWSC");
  writeFile(scene + "/scene_backup/pillar.lwo", "FORM");
  ASSERT_EQ(runIn(t.path(), zarn + " -demoexe city scene/example.zscn").exitCode, 0);

  fs::create_directories(t / "run");
  const ProgramRun extracted = runIn(t / "run", t / "city" + " -extract");
  EXPECT_EQ(extracted.exitCode, 0) << extracted.out;
  EXPECT_EQ(readFile(t / "run/ExeExtract/Images/wall.png"), readFile(scene + "/wall.png"));
  EXPECT_EQ(readFile(t / "run/ExeExtract/Objects/pillar.lwo"), "FORM");
  EXPECT_EQ(readFile(t / "run/ExeExtract/Scenes/example.lws"), "LWSC");
  EXPECT_FALSE(fs::exists(t / "run/ExeExtract/Images/floor.x"));

  // A crafted payload whose entries try to leave the folder.
  const std::string crafted = t / "crafted";
  fs::copy_file(zarn, crafted);
  fs::permissions(crafted, fs::perms::owner_all, fs::perm_options::add);
  std::vector<std::uint8_t> payload = zeTestZip({{"zarn.zscn", "s"},
                                                 {"scene_backup/ok.lws", "ok"},
                                                 {"../evil.png", "evil"},
                                                 {"scene_backup/../../../evil.lws", "evil"}});
  zeScramblePayload(payload.data(), payload.size());
  const char* step = nullptr;
  int error = 0;
  ASSERT_EQ(zeWriteFileResource(crafted.c_str(), 500, payload, &step, &error), 0);
  fs::create_directories(t / "run2/inner");
  const ProgramRun refused = runIn(t / "run2/inner", crafted + " -extract");
  EXPECT_EQ(refused.exitCode, 0) << refused.out;
  EXPECT_TRUE(contains(refused.out, "Skipped entry '../evil.png'")) << refused.out;
  EXPECT_EQ(readFile(t / "run2/inner/ExeExtract/Scenes/ok.lws"), "ok");
  EXPECT_FALSE(fs::exists(t / "run2/evil.png"));
  EXPECT_FALSE(fs::exists(t / "evil.lws"));
  EXPECT_FALSE(fs::exists(t / "run2/evil.lws"));
}

TEST(PackagingEndToEnd, ABrokenPayloadIsReportedNeverTrusted) {
  TempFolder t;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> tail;
    std::string arguments;
    std::string expected;
    bool fails;
  };
  std::vector<std::uint8_t> pointsOutside = zeResourceTrailer(ZE_RESOURCE_RCDATA, 500, 1ull << 40, 16);
  std::vector<std::uint8_t> notZip = {'n', 'o', 't', ' ', 'a', ' ', 'z', 'i', 'p'};
  const std::uint64_t programSize = fs::file_size(zarn);
  const auto trailer = zeResourceTrailer(ZE_RESOURCE_RCDATA, 500, programSize, notZip.size());
  notZip.insert(notZip.end(), trailer.begin(), trailer.end());
  const Case cases[] = {
      // Runs unpackaged: the file given is judged as usual.
      {"trailer outside the file", pointsOutside, " notes.txt", "File format of 'notes.txt' is not supported", true},
      {"payload that is no ZIP", notZip, "", "Failed to load resources from executable", true},
  };
  for (const Case& c : cases) {
    const std::string copy = t / "broken";
    fs::copy_file(zarn, copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_all, fs::perm_options::add);
    {
      std::ofstream out(copy, std::ios::binary | std::ios::app);
      out.write(reinterpret_cast<const char*>(c.tail.data()), static_cast<std::streamsize>(c.tail.size()));
    }
    const ProgramRun run = runIn(t.path(), copy + c.arguments);
    EXPECT_TRUE(contains(run.out, c.expected)) << c.name << ": " << run.out;
    EXPECT_NE(run.exitCode, 0) << c.name;
  }
}

}  // namespace
