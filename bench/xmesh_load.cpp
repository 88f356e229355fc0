// Loading a text .x file of one million vertices: the engine's loader against
// Irrlicht's stock .x loader, in the same run. Reports MB/s for each (wall
// clock in bytes_per_second, processor time in cpu_MB_per_s) and, on the
// engine's line, how many times faster it is in processor time.
#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <time.h>

#include <cstdio>
#include <string>

#include "mesh/CZeXMeshFileLoader.h"
#include "mesh/zeDeviceLog.h"

using namespace irr;

namespace {

// 16 meshes of 250 x 250 vertices, each in its own frame: quads with one
// normal per vertex and texture coordinates, as an exporter writes them.
const std::string& millionVertexFile() {
  static const std::string text = [] {
    const int side = 250, meshes = 16;
    std::string out = "xof 0303txt 0032\n";
    out.reserve(160u << 20);
    char line[160];
    for (int m = 0; m < meshes; ++m) {
      std::snprintf(line, sizeof(line),
                    "Frame Part%d {\n FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,%d.0,0.0,0.0,"
                    "1.0;; }\n Mesh Grid%d {\n  %d;\n",
                    m, m * 3, m, side * side);
      out += line;
      for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
          const float h = 0.01f * static_cast<float>((x * 7 + y * 13) % 100);
          std::snprintf(line, sizeof(line), "  %.6f;%.6f;%.6f;%s\n", x * 0.01, y * 0.01, h,
                        (x == side - 1 && y == side - 1) ? ";" : ",");
          out += line;
        }
      const int quads = (side - 1) * (side - 1);
      std::string faces;
      std::snprintf(line, sizeof(line), "  %d;\n", quads);
      faces += line;
      int written = 0;
      for (int y = 0; y + 1 < side; ++y)
        for (int x = 0; x + 1 < side; ++x) {
          const int p = y * side + x;
          ++written;
          std::snprintf(line, sizeof(line), "  4;%d,%d,%d,%d;%s\n", p, p + side, p + side + 1, p + 1,
                        written == quads ? ";" : ",");
          faces += line;
        }
      out += faces;
      std::snprintf(line, sizeof(line), "  MeshNormals {\n   %d;\n", side * side);
      out += line;
      for (int i = 0; i < side * side; ++i) {
        std::snprintf(line, sizeof(line), "   %.6f;%.6f;%.6f;%s\n", 0.0, 0.0, -1.0, i == side * side - 1 ? ";" : ",");
        out += line;
      }
      out += faces + "  }\n";
      std::snprintf(line, sizeof(line), "  MeshTextureCoords {\n   %d;\n", side * side);
      out += line;
      for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
          std::snprintf(line, sizeof(line), "   %.6f;%.6f;%s\n", x / (side - 1.0), y / (side - 1.0),
                        (x == side - 1 && y == side - 1) ? ";" : ",");
          out += line;
        }
      out += "  }\n  MeshMaterialList { 1; 1; 0;; Material { 1.0;1.0;1.0;1.0;; 10.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }\n";
      out += " }\n}\n";
    }
    return out;
  }();
  return text;
}

IrrlichtDevice* device() {
  static IrrlichtDevice* d = [] {
    IrrlichtDevice* created = createDevice(video::EDT_NULL);
    created->getLogger()->setLogLevel(ELL_NONE);
    zeSetDeviceLogger(created->getLogger());
    return created;
  }();
  return d;
}

// Irrlicht's own .x loader, found before the engine's is ever registered.
scene::IMeshLoader* stockLoader() {
  scene::ISceneManager* smgr = device()->getSceneManager();
  for (u32 i = 0; i < smgr->getMeshLoaderCount(); ++i)
    if (smgr->getMeshLoader(i)->isALoadableFileExtension("grid.x")) return smgr->getMeshLoader(i);
  return nullptr;
}

double gStockSecondsPerLoad = 0.0;

// Processor time of this thread: the machine may be shared, and the ratio
// should not depend on what else runs.
double threadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

u32 vertexCount(scene::IAnimatedMesh* mesh) {
  u32 count = 0;
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) count += mesh->getMeshBuffer(b)->getVertexCount();
  return count;
}

void load(benchmark::State& state, scene::IMeshLoader* loader, bool stock) {
  const std::string& text = millionVertexFile();
  io::IFileSystem* fs = device()->getFileSystem();
  u32 vertices = 0;
  double seconds = 0.0;
  for (auto _ : state) {
    io::IReadFile* file = fs->createMemoryReadFile(const_cast<char*>(text.data()), static_cast<s32>(text.size()),
                                                   "grid.x", false);
    const double start = threadSeconds();
    scene::IAnimatedMesh* mesh = loader->createMesh(file);
    seconds += threadSeconds() - start;
    if (!mesh) {
      state.SkipWithError("the loader failed");
      file->drop();
      break;
    }
    vertices = vertexCount(mesh);
    mesh->drop();
    file->drop();
  }
  state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
  state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["vertices"] = vertices;
  if (state.iterations() == 0) return;
  const double perLoad = seconds / static_cast<double>(state.iterations());
  state.counters["cpu_MB_per_s"] = static_cast<double>(text.size()) / 1e6 / perLoad;
  if (stock)
    gStockSecondsPerLoad = perLoad;
  else if (gStockSecondsPerLoad > 0.0)
    state.counters["times_faster_than_stock"] = gStockSecondsPerLoad / perLoad;
}

void BM_StockXLoader(benchmark::State& state) {
  scene::IMeshLoader* loader = stockLoader();
  if (!loader) {
    state.SkipWithError("no stock .x loader");
    return;
  }
  load(state, loader, true);
}

void BM_ZarnXLoader(benchmark::State& state) {
  stockLoader();  // the device first, as for the stock loader
  static scene::IMeshLoader* loader = zeCreateXMeshLoader(device()->getSceneManager());
  load(state, loader, false);
}

}  // namespace

// Stock first: the engine's line reports the ratio to it (processor time).
// The stock loader takes tens of seconds per load: one is enough.
BENCHMARK(BM_StockXLoader)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ZarnXLoader)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
