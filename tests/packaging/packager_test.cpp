#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "packaging/zeDemoSources.h"
#include "packaging/zeExecutableResources.h"
#include "packaging/zePackager.h"
#include "packagingFixture.h"

namespace {

using namespace zetest;

// A program folder with the engine's folders, a stand-in program to copy,
// and a working folder for the content.
struct Workshop {
  TempFolder root;
  ZePackagingContext context;
  Workshop() {
    const std::string program = root / "program";
    writeFile(program + "/zarn", "#!/bin/sh\nexit 0\n");
    ::chmod((program + "/zarn").c_str(), 0755);
    writeFile(program + "/shaders/Lpp.hlsl", "float4 lpp;");
    writeFile(program + "/shadersPP/Gamma.fx", "gamma");
    writeFile(program + "/shadersHV/include/common.h", "#define X");
    writeFile(program + "/shadersHV/readme.txt", "not a shader");
    writeFile(program + "/shadersCache/a.vso", "vso");
    writeFile(program + "/shadersCache/a.vso.inf", "inf");
    writeFile(program + "/textures/noise.png", "png");
    context.programFile = program + "/zarn";
    context.programDirectory = program + "/";
    context.currentDirectory = root / "work";
    fs::create_directories(context.currentDirectory);
  }
  std::string work(const std::string& name) const { return context.currentDirectory + "/" + name; }
  int run(const char* tool, const char* output, const char* source) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int result = zeRunPackagingTool(context, tool, output, source);
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    return result;
  }
  std::string out, err;
};

const char* const engineEntries =
    "shaders/Lpp.hlsl shadersCache/a.vso shadersCache/a.vso.inf shadersHV/include/common.h shadersPP/Gamma.fx "
    "textures/noise.png";

TEST(Packager, DirectoryListLinesNameADirectoryAndAPattern) {
  std::vector<ZeDirectoryListEntry> entries;
  int bad = 0;
  ASSERT_TRUE(zeParseDirectoryList("textures/*.png\r\n*.txt\n\n   \t  scenes\\city/*.x\n/*.md\r\n  \n", &entries, &bad));
  struct Expected {
    const char* directory;
    const char* pattern;
  } expected[] = {{"textures", "*.png"}, {"", "*.txt"}, {"scenes\\city", "*.x"}, {"", "*.md"}};
  ASSERT_EQ(entries.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[i].directory, expected[i].directory) << i;
    EXPECT_EQ(entries[i].pattern, expected[i].pattern) << i;
  }
  EXPECT_FALSE(zeParseDirectoryList("a/*.x\n" + std::string(200, 'b') + "\n", &entries, &bad));
  EXPECT_EQ(bad, 2);
  EXPECT_TRUE(zeParseDirectoryList(std::string(199, 'b') + "\r\n", &entries, &bad));
}

TEST(Packager, EachToolPutsItsContentAndTheEngineFoldersInTheArchive) {
  struct Case {
    const char* tool;
    const char* source;
    std::string entries;  // besides the engine folders
  } cases[] = {
      {"-dirdat", "content", "Readme.TXT a.x sub.png"},
      {"-dirlistdat", "list.txt", "Readme.TXT list.txt textures/wall.PNG"},
      {"-demodat", "scene/City.zscn", "Wall.jpg scene_backup/city.lws scene_backup/tower.lwo tower.x zarn.zscn"},
      {"-demodat", "demo/film.demo.ini",
       "data/part1/a.x data/part1/a.zscn data/part1/fx.hlsl data/part2/b.zmdd music/song.mp3 "
       "shaderz/post.fx zarn.demo.ini loading.png"},
  };
  for (const Case& c : cases) {
    Workshop w;
    writeFile(w.work("content/a.x"), "x");
    writeFile(w.work("content/sub.png"), "png");
    writeFile(w.work("content/Readme.TXT"), "txt");
    writeFile(w.work("content/deeper/skipped.x"), "sub-directories are not entered");
    writeFile(w.work("textures/wall.PNG"), "wall");
    writeFile(w.work("textures/wall.jpg"), "not listed");
    writeFile(w.work("Readme.TXT"), "txt");
    writeFile(w.work("list.txt"), "textures/*.png\n*.TXT\n");
    writeFile(w.work("scene/City.zscn"), "scene");
    writeFile(w.work("scene/tower.x"), "x");
    writeFile(w.work("scene/Wall.jpg"), "jpg");
    writeFile(w.work("scene/notes.doc"), "not packaged");
    writeFile(w.work("scene/scene_backup/city.lws"), "lws");
    writeFile(w.work("scene/scene_backup/tower.lwo"), "lwo");
    writeFile(w.work("demo/film.demo.ini"),
              "[setup]\nshadersdirectory = shaderz\nmusicdirectory = music\n"
              "[part1]\ndirectory = data/part1\nfilename = a.zscn\n"
              "[Intro_Part]\ndirectory = DATA/PART1\nextra.0.directory = data/part2\nextra.0.filename = b.zscn\n"
              "extra.1.directory = data/ignored\n");
    writeFile(w.work("demo/data/part1/a.x"), "x");
    writeFile(w.work("demo/data/part1/a.zscn"), "scene");
    writeFile(w.work("demo/data/part1/fx.hlsl"), "hlsl");
    writeFile(w.work("demo/data/part2/b.zmdd"), "mdd");
    writeFile(w.work("demo/data/ignored/c.x"), "extra without a file name");
    writeFile(w.work("demo/shaderz/post.fx"), "fx");
    writeFile(w.work("demo/music/song.mp3"), "mp3");
    writeFile(w.work("demo/Loading.png"), "loading");

    ASSERT_EQ(w.run(c.tool, "out.exe", c.source), 0) << c.tool << " " << c.source << w.out << w.err;
    EXPECT_FALSE(fs::exists(w.work("out.exe"))) << "a data tool makes no executable";
    const auto entries = zipEntriesOfFile(w.work("out.dat"));
    std::map<std::string, std::string> expected;
    for (const std::string& list : {c.entries, std::string(engineEntries)}) {
      std::size_t start = 0;
      while (start < list.size()) {
        std::size_t end = list.find(' ', start);
        if (end == std::string::npos) end = list.size();
        expected[list.substr(start, end - start)] = "";
        start = end + 1;
      }
    }
    EXPECT_EQ(names(entries), names(expected)) << c.tool << " " << c.source;
    // One progress line per file, then the summary.
    EXPECT_NE(w.out.find("[1] "), std::string::npos);
    EXPECT_NE(w.out.find("Packed " + std::to_string(entries.size()) + " files: "), std::string::npos) << w.out;
  }
}

TEST(Packager, ArchivesUseDeflateAndKeepTheBytes) {
  Workshop w;
  std::string big;
  for (int i = 0; i < 2000; ++i) big += "line " + std::to_string(i % 7) + "\n";
  writeFile(w.work("content/big.txt"), big);
  ASSERT_EQ(w.run("-dirdat", "pack", "content"), 0) << w.err;
  int error = 0;
  zip_t* z = zip_open(w.work("pack.dat").c_str(), ZIP_RDONLY, &error);
  ASSERT_NE(z, nullptr);
  zip_stat_t st;
  ASSERT_EQ(zip_stat(z, "big.txt", 0, &st), 0);
  EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE);
  EXPECT_LT(st.comp_size, st.size / 10);
  zip_discard(z);
  EXPECT_EQ(zipEntriesOfFile(w.work("pack.dat"))["big.txt"], big);
}

TEST(Packager, DemoDirectoriesAreCollectedOnceWhateverTheirCase) {
  TempFolder t;
  writeFile(t / "a.demo.ini",
            "[part1]\ndirectory = Scenes/City\n[part2]\ndirectory = scenes/city\n"
            "[part3]\ndirectory =\nextra.0.directory = SCENES/CITY\nextra.0.filename = x.zscn\n"
            "extra.3.directory = other\nextra.3.filename = y.zscn\n[setup]\nmusicdirectory = m\n");
  ZeDemoSources sources;
  ASSERT_EQ(zeReadDemoSources((t / "a.demo.ini").c_str(), &sources), ZE_DEMO_SOURCES_OK);
  ASSERT_EQ(sources.sceneDirectories.size(), 2u);
  EXPECT_EQ(sources.sceneDirectories[0], "Scenes/City");
  EXPECT_EQ(sources.sceneDirectories[1], "other");
  EXPECT_EQ(sources.musicDirectory, "m");

  std::string many;
  for (int i = 0; i < 256; ++i) many += "[part" + std::to_string(i) + "]\ndirectory = d" + std::to_string(i) + "\n";
  writeFile(t / "many.demo.ini", many);
  EXPECT_EQ(zeReadDemoSources((t / "many.demo.ini").c_str(), &sources), ZE_DEMO_SOURCES_TOO_MANY);
  EXPECT_EQ(zeReadDemoSources((t / "missing.demo.ini").c_str(), &sources), ZE_DEMO_SOURCES_UNREADABLE);
}

TEST(Packager, ExecutablesCarryTheScrambledArchiveAndStillRun) {
  Workshop w;
  writeFile(w.work("content/main.lua"), "print('hi')");
  ASSERT_EQ(w.run("-dirdat", "plain", "content"), 0) << w.err;
  ASSERT_EQ(w.run("-direxe", "prod", "content"), 0) << w.err;
  const std::string exe = w.work("prod");
  EXPECT_FALSE(fs::exists(w.work("prod.dat.tmp"))) << "the temporary archive is removed";
  EXPECT_FALSE(fs::exists(w.work("prod.dat")));
  struct stat st;
  ASSERT_EQ(::stat(exe.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_EQ(std::system(exe.c_str()), 0) << "the copy still runs";

  std::vector<std::uint8_t> archive;
  std::string problem;
  ASSERT_EQ(zeLoadFileResource(exe.c_str(), 500, &archive, &problem), ZeLoadResult::Loaded) << problem;
  EXPECT_EQ(zipEntriesOfMemory(archive), zipEntriesOfFile(w.work("plain.dat")));
  // The program image in front is the program, byte for byte.
  EXPECT_EQ(readFile(exe).substr(0, readFile(w.context.programFile).size()), readFile(w.context.programFile));

  // -exersc: resource 501 with the engine's shaders and textures only.
  ASSERT_EQ(w.run("-exersc", "engine", nullptr), 0) << w.err;
  EXPECT_EQ(zeLoadFileResource(w.work("engine").c_str(), 500, &archive, &problem), ZeLoadResult::NotFound);
  ASSERT_EQ(zeLoadFileResource(w.work("engine").c_str(), 501, &archive, &problem), ZeLoadResult::Loaded);
  EXPECT_EQ(names(zipEntriesOfMemory(archive)),
            "shaders/Lpp.hlsl shadersHV/include/common.h shadersPP/Gamma.fx textures/noise.png");

  // Packaging again over an existing production replaces its resource 500.
  writeFile(w.work("content/more.x"), "x");
  ASSERT_EQ(w.run("-direxe", "prod", "content"), 0) << w.err;
  ASSERT_EQ(zeLoadFileResource(exe.c_str(), 500, &archive, &problem), ZeLoadResult::Loaded);
  EXPECT_EQ(zipEntriesOfMemory(archive).count("more.x"), 1u);
  EXPECT_EQ(fs::file_size(exe), fs::file_size(w.context.programFile) + archive.size() + 32)
      << "one resource 500, no trace of the old one";
}

TEST(Packager, AFailedBuildReportsAndLeavesNothingBehind) {
  struct Case {
    const char* tool;
    const char* output;
    const char* source;
    const char* message;
    std::vector<const char*> gone;
  } cases[] = {
      {"-dirlistexe", "prod", "missing-list.txt", "Failed to open directory list", {"prod", "prod.dat.tmp"}},
      {"-demoexe", "prod", "missing.demo.ini", "Failed to load ini file", {"prod", "prod.dat.tmp"}},
      {"-demodat", "prod", "missing.demo.ini", "Failed to load ini file", {"prod", "prod.dat"}},
      {"-direxe", "no/such/folder/prod", "content", "Failed to copy", {"no/such/folder/prod"}},
      {"-dirlistdat", "prod", "long.txt", "long.txt(1): line longer than 199 characters", {"prod.dat"}},
      {"-direxe", "prod", "no-such-folder", "Failed to open directory", {"prod", "prod.dat.tmp"}},
  };
  for (const Case& c : cases) {
    Workshop w;
    writeFile(w.work("content/a.x"), "x");
    writeFile(w.work("long.txt"), std::string(300, 'a') + "\n");
    EXPECT_EQ(w.run(c.tool, c.output, c.source), -1) << c.tool;
    EXPECT_NE((w.out + w.err).find(c.message), std::string::npos) << c.tool << ": " << w.out << w.err;
    for (const char* name : c.gone) EXPECT_FALSE(fs::exists(w.work(name))) << c.tool << " left " << name;
  }
  zeResetMessageState();
}

TEST(Packager, AResourceUpdateOfAMissingFileFailsAtItsFirstStep) {
  TempFolder t;
  const char* step = nullptr;
  int error = 0;
  EXPECT_EQ(zeWriteFileResource((t / "missing").c_str(), 500, {1, 2, 3}, &step, &error), -1);
  EXPECT_STREQ(step, "BeginUpdate");
  EXPECT_EQ(error, ENOENT);
  fs::create_directories(t / "folder");
  EXPECT_EQ(zeWriteFileResource((t / "folder").c_str(), 500, {1, 2, 3}, &step, &error), -1);
  EXPECT_STREQ(step, "BeginUpdate");
}

TEST(Packager, TheOutputIsNeverPackagedIntoItself) {
  Workshop w;
  writeFile(w.work("content/a.x"), "x");
  ASSERT_EQ(w.run("-direxe", "content/prod", "content"), 0) << w.err;
  std::vector<std::uint8_t> archive;
  std::string problem;
  ASSERT_EQ(zeLoadFileResource(w.work("content/prod").c_str(), 500, &archive, &problem), ZeLoadResult::Loaded);
  EXPECT_EQ(zipEntriesOfMemory(archive).count("prod"), 0u);
  EXPECT_EQ(zipEntriesOfMemory(archive).count("a.x"), 1u);
}

}  // namespace
