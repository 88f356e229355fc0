// Loading text .x files of a million vertices, as a user's first load costs
// it: the file is read from disk (the page cache, after the first run) into
// fresh memory, parsed and built. Every large allocation is given fresh pages
// from the system on each load (malloc's adaptive reuse is switched off and
// freed memory is handed back between loads), so no iteration profits from
// memory an earlier one warmed.
//
// Reported: MB/s over this thread's processor time, page faults included
// (bytes_per_second, and cpu_MB_per_s measured around the load alone), for
// one mesh of 1 M vertices and for the same vertices in 16 meshes; and, at
// two sizes, the stock Irrlicht .x loader against the engine's: its cost
// grows with the square of a mesh's size, so the ratio depends on the size
// (times_faster_than_stock on the engine's lines). Processor time, because
// the machine may be shared: wall time ("Time") is only a hint there.
#include <benchmark/benchmark.h>
#include <irrlicht.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "mesh/CZeXMeshFileLoader.h"
#include "mesh/zeDeviceLog.h"

using namespace irr;

namespace {

// `meshes` meshes of side x side vertices, each in its own frame: quads with
// one normal per vertex and texture coordinates, as an exporter writes them.
std::string gridFile(int meshes, int side) {
  std::string out = "xof 0303txt 0032\n";
  out.reserve(static_cast<std::size_t>(meshes) * side * side * 150);
  char line[200];
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
}

struct SBenchFile {
  std::string path;
  std::size_t bytes = 0;
};

// Files written for this run, removed at its end.
struct SBenchFiles {
  std::map<std::pair<int, int>, SBenchFile> byShape;
  ~SBenchFiles() {
    for (const auto& entry : byShape) std::remove(entry.second.path.c_str());
  }
};

// The file on disk, written once per run into the temporary folder.
const SBenchFile& benchFile(int meshes, int side) {
  static SBenchFiles files;
  SBenchFile& file = files.byShape[{meshes, side}];
  if (file.path.empty()) {
    file.path = "/tmp/zarn-bench-grid-" + std::to_string(getpid()) + "-" + std::to_string(meshes) + "x" +
                std::to_string(side) + ".x";
    const std::string text = gridFile(meshes, side);
    std::ofstream(file.path, std::ios::binary) << text;
    file.bytes = text.size();
  }
  return file;
}

IrrlichtDevice* device() {
  static IrrlichtDevice* d = [] {
    IrrlichtDevice* created = createDevice(video::EDT_NULL);
    created->getLogger()->setLogLevel(ELL_NONE);
    zeSetDeviceLogger(created->getLogger());
    // Fresh pages for every large block, every time (see the top).
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024);
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

scene::IMeshLoader* engineLoader() {
  stockLoader();  // the device first, as for the stock loader
  static scene::IMeshLoader* loader = zeCreateXMeshLoader(device()->getSceneManager());
  return loader;
}

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

// Stock seconds per load by file, for the ratio on the engine's line.
std::map<std::string, double> gStockSeconds;

void load(benchmark::State& state, bool stock, int meshes, int side) {
  scene::IMeshLoader* loader = stock ? stockLoader() : engineLoader();
  if (!loader) {
    state.SkipWithError("no stock .x loader");
    return;
  }
  const SBenchFile& file = benchFile(meshes, side);
  io::IFileSystem* fs = device()->getFileSystem();
  u32 vertices = 0;
  double seconds = 0.0;
  for (auto _ : state) {
    const double start = threadSeconds();
    io::IReadFile* in = fs->createAndOpenFile(file.path.c_str());
    scene::IAnimatedMesh* mesh = in ? loader->createMesh(in) : nullptr;
    if (in) in->drop();
    seconds += threadSeconds() - start;
    if (!mesh) {
      state.SkipWithError("the loader failed");
      break;
    }
    vertices = vertexCount(mesh);
    state.PauseTiming();
    mesh->drop();
    malloc_trim(0);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(file.bytes) * state.iterations());
  state.counters["file_MB"] = static_cast<double>(file.bytes) / 1e6;
  state.counters["vertices"] = vertices;
  if (state.iterations() == 0) return;
  const double perLoad = seconds / static_cast<double>(state.iterations());
  state.counters["cpu_MB_per_s"] = static_cast<double>(file.bytes) / 1e6 / perLoad;
  if (stock)
    gStockSeconds[file.path] = perLoad;
  else if (gStockSeconds.count(file.path))
    state.counters["times_faster_than_stock"] = gStockSeconds[file.path] / perLoad;
}

}  // namespace

// The engine's loader: 1 M vertices in one mesh, and in 16.
BENCHMARK_CAPTURE(load, zarn_1_mesh_of_1M, false, 1, 1000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(load, zarn_16_meshes_of_62500, false, 16, 250)->Unit(benchmark::kMillisecond)->Iterations(3);
// Stock against engine at two sizes (16 meshes each, a quarter of the
// vertices and all of them). The stock loader takes about ten seconds at the
// larger size: one load is enough. Stock first, so the engine's line can
// report the ratio.
BENCHMARK_CAPTURE(load, stock_16_meshes_of_3844, true, 16, 62)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(load, zarn_16_meshes_of_3844, false, 16, 62)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(load, stock_16_meshes_of_15625, true, 16, 125)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(load, zarn_16_meshes_of_15625, false, 16, 125)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
