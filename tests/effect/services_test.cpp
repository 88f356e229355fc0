// The shader services against a recording backend: compile once per key, the
// cache folder (hits, misses, conflicts, modification times, foreign files),
// hot recompile and the constant queries.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/zeMessage.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "effect/zeShaderCacheName.h"

namespace {

class RecordingBackend : public IZeShaderBackend {
 public:
  int adds = 0, updates = 0;
  std::string lastPixelGlsl;
  int addShaderMaterial(const SZeCompiledProgram& vs, const SZeCompiledProgram& ps,
                        irr::video::IShaderConstantSetCallBack*, int, int, std::string*) override {
    lastPixelGlsl = ps.glsl;
    return 100 + adds++;
  }
  bool updateShaderMaterial(int, const SZeCompiledProgram&, const SZeCompiledProgram& ps, std::string*) override {
    lastPixelGlsl = ps.glsl;
    ++updates;
    return true;
  }
};

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Moves a file's modification time by `seconds` from now.
void touch(const std::string& path, int seconds) {
  struct timespec times[2];
  clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec += seconds;
  times[1] = times[0];
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// A fresh folder with a shader and its include chain, a cache folder and a log.
class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zarn-shader-XXXXXX";
    root = mkdtemp(tmpl);
    ::mkdir((root + "/fx").c_str(), 0755);
    ::mkdir((root + "/fx/inc").c_str(), 0755);
    ::mkdir((root + "/cache").c_str(), 0755);
    writeText(root + "/fx/Lpp.hlsl", readText("corpus/includes.hlsl"));
    writeText(root + "/fx/inc/common.fxh", readText("corpus/inc/common.fxh"));
    writeText(root + "/fx/inc/light.fxh", readText("corpus/inc/light.fxh"));
    // Sources one minute old, so a cache written now is newer.
    for (const char* f : {"/fx/Lpp.hlsl", "/fx/inc/common.fxh", "/fx/inc/light.fxh"}) touch(root + f, -60);
    shader = root + "/fx/Lpp.hlsl";
    logPath = root + "/log.txt";
    setenv("ZARN_LOG_FILE", logPath.c_str(), 1);
    zeResetMessageState();
    zeSetMessageThreshold(ZE_DEBUG);
  }
  void TearDown() override {
    unsetenv("ZARN_LOG_FILE");
    zeResetMessageState();
    std::string cmd = "rm -rf '" + root + "'";
    (void)std::system(cmd.c_str());
  }
  std::string takeLog() {
    std::string log = readText(logPath);
    std::remove(logPath.c_str());
    return log;
  }
  int create(CZeGPUProgrammingServices& s, const std::vector<SZeShaderMacro>& macros, std::string* error,
             int pixelType = 7) {
    std::vector<SZeShaderMacro> list = macros;
    list.push_back({"", ""});
    return s.createMaterialFromFiles(shader.c_str(), "vs_main", 3, shader.c_str(), "ps_main", pixelType, nullptr, 0, 0,
                                     list.data(), error);
  }
  std::string cacheFile(bool vertex, const std::vector<SZeShaderMacro>& macros) {
    std::vector<SZeShaderMacro> sorted = macros;
    zeSortShaderMacros(&sorted);
    return root + "/cache/" +
           zeShaderCacheFileName(shader, vertex ? "vs_main" : "ps_main", vertex, zeShaderMacroText(sorted));
  }
  std::string root, shader, logPath;
  RecordingBackend backend;
};

}  // namespace

TEST(ShaderCacheNames, MacroTextHashAndFileName) {
  std::vector<SZeShaderMacro> macros{{"USE_B", ""}, {"USE_A", "1"}};
  zeSortShaderMacros(&macros);
  EXPECT_EQ(zeShaderMacroText(macros), "USE_A 1~USE_B ~");
  EXPECT_EQ(zeShaderMacroText({}), "");
  // Reference codes computed independently from the written algorithm.
  EXPECT_EQ(zeShaderMacroCode(""), "3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P");
  EXPECT_EQ(zeShaderMacroCode("USE_A 1~USE_B ~"), "7B15AECJUNA8H3XJGN66HDHMC6RBJ4CK");
  EXPECT_EQ(zeShaderMacroCode("ab"), "XGPASSKB785Y9J2FCZD78QB9CMKQTSSS");
  EXPECT_EQ(zeShaderMacroCode("abc"), "1BB9DTD5P5NK6RWRB6VTYBRA3JFZSH2R");
  EXPECT_EQ(zeShaderMacroCode("abcde"), "E79G1XNYDSGWCR9EV179FGUPNDTTPJ5P");
  EXPECT_EQ(zeShaderCacheFileName("/data/fx/Lpp.hlsl", "ps_main", false, ""),
            "fx!Lpp!ps_main!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.pso");
  EXPECT_EQ(zeShaderCacheFileName("Lpp.hlsl", "vs_main", true, ""), ".!Lpp!vs_main!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.vso");
  EXPECT_EQ(zeShaderCacheFileName("fx\\sub\\Lpp.fx", "m", true, "").substr(0, 10), "sub!Lpp!m!");
  std::string out;
  const unsigned char six[6] = {};
  EXPECT_FALSE(zeShaderBase32(six, 6, &out));
  EXPECT_EQ(zeShaderCacheDirectory("/base"), "/base/shadersCache");
  EXPECT_EQ(zeShaderCacheDirectory("/base/"), "/base/shadersCache");
}

TEST_F(ServicesTest, CompilesOncePerKeyWhateverMacroOrderOrTarget) {
  CZeGPUProgrammingServices s(&backend);
  s.setCache((root + "/cache").c_str(), 7);
  std::string error;
  int a = create(s, {{"USE_A", "1"}, {"USE_B", ""}}, &error);
  ASSERT_GE(a, 0) << error;
  int b = create(s, {{"USE_B", ""}, {"USE_A", "1"}}, &error);
  EXPECT_EQ(a, b);
  EXPECT_NE(takeLog().find("ZeGPU: Found already created shader"), std::string::npos);
  EXPECT_EQ(s.compiledCount(), 2u);
  // Another pixel target is another material type but the same compiled shaders.
  int c = create(s, {{"USE_A", "1"}, {"USE_B", ""}}, &error, 4);
  EXPECT_NE(c, a);
  EXPECT_EQ(s.compiledCount(), 2u);
  EXPECT_NE(takeLog().find("ZeGPU: Found already compiled shader"), std::string::npos);
  EXPECT_EQ(backend.adds, 2);
  // Cache files carry the macro text in .inf.
  EXPECT_TRUE(exists(cacheFile(true, {{"USE_A", "1"}, {"USE_B", ""}})));
  EXPECT_EQ(readText(cacheFile(false, {{"USE_A", "1"}, {"USE_B", ""}}) + ".inf"), "USE_A 1~USE_B ~");
}

TEST_F(ServicesTest, CacheHitMissAndModificationTimes) {
  std::string error;
  {
    CZeGPUProgrammingServices first(&backend);
    first.setCache((root + "/cache").c_str(), 7);
    ASSERT_GE(create(first, {}, &error), 0) << error;
    std::string log = takeLog();
    EXPECT_NE(log.find("ZeGPU: File does not exist in the cache"), std::string::npos);
    EXPECT_NE(log.find("ZeGPU: compile shader"), std::string::npos);
    EXPECT_NE(log.find("ZeGPU: Write to cache"), std::string::npos);
    // The include handler's search beside the shader, then beside the first include.
    EXPECT_NE(log.find("ZeGPU: ShaderIncludeCallback: FileName='light.fxh'"), std::string::npos);
    EXPECT_NE(log.find("ZeGPU: Include Not found: '" + root + "/fx/light.fxh'"), std::string::npos) << log;
    EXPECT_NE(log.find("ZeGPU: Include found: '" + root + "/fx/inc/light.fxh'"), std::string::npos) << log;
    EXPECT_NE(log.find("ShaderIncludeCallback:Close pData=0x"), std::string::npos);
  }
  {
    CZeGPUProgrammingServices second(&backend);
    second.setCache((root + "/cache").c_str(), 7);
    ASSERT_GE(create(second, {}, &error), 0) << error;
    std::string log = takeLog();
    EXPECT_NE(log.find("' is up to date"), std::string::npos) << log;
    EXPECT_EQ(log.find("ZeGPU: compile shader"), std::string::npos) << log;
    // A hit knows its dependencies: the source and the include chain.
    const SShaderCompiledEntry* e = second.compiledEntry(2);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->includes.size(), 3u);
  }
  // Touching a file two includes deep makes the next run compile again.
  touch(root + "/fx/inc/light.fxh", 30);
  {
    CZeGPUProgrammingServices third(&backend);
    third.setCache((root + "/cache").c_str(), 7);
    ASSERT_GE(create(third, {}, &error), 0) << error;
    std::string log = takeLog();
    EXPECT_NE(log.find("ZeGPU: file '" + root + "/fx/inc/light.fxh' more recent"), std::string::npos) << log;
    EXPECT_NE(log.find("not up to date against shader files"), std::string::npos);
    EXPECT_NE(log.find("ZeGPU: compile shader"), std::string::npos);
  }
}

TEST_F(ServicesTest, ReadOnlyCacheIsUsedEvenWhenStaleAndNeverWritten) {
  std::string error;
  {
    CZeGPUProgrammingServices writer(&backend);
    writer.setCache((root + "/cache").c_str(), 7);
    ASSERT_GE(create(writer, {}, &error), 0) << error;
  }
  touch(shader, 120);
  takeLog();
  CZeGPUProgrammingServices reader(&backend);
  reader.setCache((root + "/cache").c_str(), 1);
  ASSERT_GE(create(reader, {}, &error), 0) << error;
  std::string log = takeLog();
  EXPECT_EQ(log.find("ZeGPU: compile shader"), std::string::npos) << log;
  EXPECT_EQ(log.find("ZeGPU: Write to cache"), std::string::npos) << log;
}

TEST_F(ServicesTest, ConflictForeignAndTruncatedFilesAreMissesAndRewritten) {
  std::string error;
  {
    CZeGPUProgrammingServices writer(&backend);
    writer.setCache((root + "/cache").c_str(), 7);
    ASSERT_GE(create(writer, {{"USE_RED", "1"}}, &error), 0) << error;
  }
  const std::string ps = cacheFile(false, {{"USE_RED", "1"}});
  const std::string good = readText(ps);
  struct Case {
    const char* what;
    std::string code;
    std::string inf;
    const char* expectedLog;
  } cases[] = {
      {"conflict", good, "USE_BLUE 1~", "ZeGPU: WARNING ! Conflict in Shader Cache on '"},
      {"foreign", "MZ\x90\x00 not ours", "USE_RED 1~", "is not usable (not a translated shader)"},
      {"truncated", good.substr(0, good.size() / 2), "USE_RED 1~", "is not usable (truncated or damaged payload)"},
  };
  for (const Case& c : cases) {
    writeText(ps, c.code);
    writeText(ps + ".inf", c.inf);
    takeLog();
    CZeGPUProgrammingServices s(&backend);
    s.setCache((root + "/cache").c_str(), 7);
    ASSERT_GE(create(s, {{"USE_RED", "1"}}, &error), 0) << c.what << error;
    std::string log = takeLog();
    EXPECT_NE(log.find(c.expectedLog), std::string::npos) << c.what << "\n" << log;
    EXPECT_NE(log.find("ZeGPU: compile shader"), std::string::npos) << c.what;
    EXPECT_EQ(readText(ps + ".inf"), "USE_RED 1~") << c.what;
    EXPECT_EQ(readText(ps), good) << c.what;
  }
}

TEST_F(ServicesTest, MacroLimitAndFailureTexts) {
  CZeGPUProgrammingServices s(&backend);
  std::string error;
  std::vector<SZeShaderMacro> macros;
  for (int i = 0; i < 39; ++i) macros.push_back({"M" + std::to_string(100 + i), "1"});
  EXPECT_GE(create(s, macros, &error), 0) << error;
  macros.push_back({"M200", "1"});
  EXPECT_EQ(create(s, macros, &error), -1);
  EXPECT_EQ(error, "Too many defines for shader " + shader);

  EXPECT_EQ(s.createMaterialFromFiles("nope.hlsl", "vs_main", 3, shader.c_str(), "ps_main", 7, nullptr, 0, 0, nullptr,
                                      &error),
            -1);
  EXPECT_EQ(error, "Shader files not found : nope.hlsl " + shader);

  writeText(root + "/fx/bad.hlsl", "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                                   "float4 ps_main() : COLOR0 {\n  return missing;\n}\n");
  const std::string bad = root + "/fx/bad.hlsl";
  EXPECT_EQ(s.createMaterialFromFiles(bad.c_str(), "vs_main", 3, bad.c_str(), "ps_main", 7, nullptr, 0, 0, nullptr,
                                      &error),
            -1);
  // The whole file is compiled for each stage, as Direct3D's compiler does.
  EXPECT_EQ(error.rfind("Failed to Compile Vertex shader " + bad + "\n" + bad + "(3): error: 'missing'", 0), 0u) << error;

  // Without an error out the failure is a message.
  takeLog();
  EXPECT_EQ(s.createMaterialFromFiles(bad.c_str(), "vs_main", 3, bad.c_str(), "ps_main", 7, nullptr, 0, 0, nullptr,
                                      nullptr),
            -1);
  std::string log = takeLog();
  EXPECT_NE(log.find("ERROR : ZeGPU: Failed to Compile Vertex shader " + bad), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR : ZeGPU: Failed to get shader " + bad + " " + bad), std::string::npos) << log;

  CZeGPUProgrammingServices noGpu(nullptr);
  EXPECT_EQ(create(noGpu, {}, &error), -1);
  EXPECT_EQ(error, "ZeGPU: failed to get gpu");
}

TEST_F(ServicesTest, HotRecompileFollowsIncludesAndUpdatesTheMaterialInPlace) {
  CZeGPUProgrammingServices s(&backend);
  s.setCache((root + "/cache").c_str(), 7);
  std::string error;
  int type = create(s, {}, &error);
  ASSERT_GE(type, 0) << error;
  int other = s.createMaterialFromFiles(root.c_str(), "x", 3, root.c_str(), "y", 7, nullptr, 0, 0, nullptr, &error);
  EXPECT_EQ(other, -1);  // a folder is no shader
  const std::string before = backend.lastPixelGlsl;

  // Unrelated files change nothing.
  std::vector<int> changed;
  EXPECT_TRUE(s.recompile({root + "/fx/unrelated.fxh"}, &changed, &error));
  EXPECT_TRUE(changed.empty());

  // The light helper gains a second constant: the pixel table grows.
  writeText(root + "/fx/inc/light.fxh",
            "float4 LightColor;\nfloat4 LightBoost;\nfloat4 LightTerm() { return LightColor + LightBoost; }\n");
  takeLog();
  ASSERT_TRUE(s.recompile({root + "/fx/inc/light.fxh"}, &changed, &error)) << error;
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], type);
  EXPECT_EQ(backend.updates, 1);
  EXPECT_NE(backend.lastPixelGlsl, before);
  std::string log = takeLog();
  EXPECT_NE(log.find("ZeGPU: recompile " + shader + " (Pixel)..."), std::string::npos) << log;
  EXPECT_NE(log.find("ZeGPU: warning, you may restart the engine: " + shader + ": pixel contant buffer sizes are different prev="),
            std::string::npos)
      << log;
  int reg = 0, count = 0;
  EXPECT_TRUE(s.getPixelShaderConstantRegister(type, "LightBoost", &reg, &count));
  EXPECT_EQ(reg, 1);

  // A broken edit keeps the old program and reports.
  writeText(root + "/fx/inc/light.fxh", "float4 LightTerm() { return nothing; }\n");
  changed.clear();
  EXPECT_FALSE(s.recompile({root + "/fx/inc/light.fxh"}, &changed, &error));
  EXPECT_NE(error.find("Failed to compile " + shader + "\nFailed to Compile Pixel shader"), std::string::npos) << error;
  EXPECT_NE(error.find("Failed to compile " + shader + "\nFailed to Compile Vertex shader"), std::string::npos) << error;
  EXPECT_TRUE(changed.empty());
  EXPECT_TRUE(s.getPixelShaderConstantRegister(type, "LightBoost", &reg, &count));
}

TEST_F(ServicesTest, ConstantQueries) {
  writeText(root + "/fx/vtf.hlsl", readText("corpus/vtf.hlsl"));
  const std::string vtf = root + "/fx/vtf.hlsl";
  CZeGPUProgrammingServices s(&backend);
  std::string error;
  int type = s.createMaterialFromFiles(vtf.c_str(), "vs_main", 3, vtf.c_str(), "ps_main", 7, nullptr, 0, 0, nullptr, &error);
  ASSERT_GE(type, 0) << error;
  int reg = 0, count = 0, index = 0;
  EXPECT_TRUE(s.getVertexShaderConstantRegister(type, "Scale", &reg, &count));
  EXPECT_EQ(reg, 4);
  EXPECT_EQ(count, 1);
  EXPECT_FALSE(s.getPixelShaderConstantRegister(type, "Scale", &reg, &count));
  EXPECT_TRUE(s.getVertexShaderSamplerIndex(type, "HeightMap", &index));
  EXPECT_EQ(index, 1);
  EXPECT_TRUE(s.getPixelShaderSamplerIndex(type, "ColorMap", &index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(s.getPixelShaderSamplerIndex(type, "HeightMap", &index));
  // A material type these services did not make: -1 and success.
  EXPECT_TRUE(s.getPixelShaderConstantRegister(12345, "Scale", &reg, &count));
  EXPECT_EQ(reg, -1);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(s.getVertexShaderSamplerIndex(12345, "HeightMap", &index));
  EXPECT_EQ(index, -1);
  takeLog();
  EXPECT_TRUE(s.printConstants(type));
  EXPECT_FALSE(s.printConstants(12345));
  EXPECT_NE(takeLog().find("printConstants not supported for this DriverType"), std::string::npos);
}

TEST_F(ServicesTest, DependencyScanStopsFourLevelsDown) {
  // a -> b -> c -> d -> e -> f; a "#include" in a comment counts too.
  const char* names[] = {"a", "b", "c", "d", "e", "f"};
  for (int i = 0; i < 6; ++i) {
    std::string text = "// level " + std::to_string(i) + "\n";
    if (i < 5) text += std::string("#include \"") + names[i + 1] + ".fxh\"\r\n";
    writeText(root + "/fx/" + names[i] + ".fxh", text);
  }
  CZeGPUProgrammingServices s(&backend);
  std::vector<std::string> found = s.getShaderIncludes(root + "/fx/a.fxh");
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found.back(), root + "/fx/e.fxh");
  takeLog();
  found = s.getShaderIncludes(root + "/fx/missing.hlsl");
  EXPECT_TRUE(found.empty());
  EXPECT_NE(takeLog().find("ZeGPU: getShaderIncludes:read file '" + root + "/fx/missing.hlsl' FAILED"), std::string::npos);
}

// "a/fx/Lpp.hlsl" and "b/fx/Lpp.hlsl" share a cache file name: the file keeps
// its source path, so the other shader's program is a miss, never served.
TEST_F(ServicesTest, SameCacheNameFromAnotherFolderIsAMiss) {
  for (const char* sub : {"/a", "/a/fx", "/b", "/b/fx"}) ::mkdir((root + sub).c_str(), 0755);
  const std::string a = root + "/a/fx/Lpp.hlsl", b = root + "/b/fx/Lpp.hlsl";
  writeText(a, "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
               "float4 ps_main() : COLOR0 { return float4(1, 0, 0, 1); }\n");
  writeText(b, "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
               "float4 ps_main() : COLOR0 { return float4(0, 0, 1, 1); }\n");
  touch(a, -60);
  touch(b, -60);
  std::string error;
  auto pixelOf = [&](const std::string& file) {
    CZeGPUProgrammingServices s(&backend);
    s.setCache((root + "/cache").c_str(), 7);
    EXPECT_GE(s.createMaterialFromFiles(file.c_str(), "vs_main", 3, file.c_str(), "ps_main", 7, nullptr, 0, 0, nullptr,
                                        &error),
              0)
        << error;
    return backend.lastPixelGlsl;
  };
  const std::string red = pixelOf(a);
  const std::string blue = pixelOf(b);
  EXPECT_NE(red, blue);
  takeLog();
  EXPECT_EQ(pixelOf(a), red);
  EXPECT_NE(takeLog().find("is not usable (made from another source file"), std::string::npos);

  // The same file named relative to its production (as a packaged one names
  // it) is the same source: served from the cache without compiling.
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir((root + "/a").c_str()), 0);
  takeLog();
  const std::string relative = pixelOf("fx/Lpp.hlsl");
  const std::string log = takeLog();
  ASSERT_EQ(::chdir(previous), 0);
  EXPECT_EQ(relative, red);
  EXPECT_EQ(log.find("compile shader"), std::string::npos) << log;
}
