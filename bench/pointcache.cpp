// Point caches and morphs at play size: decoding a cache of 100,000 points x
// 250 frames (MB/s of decoded positions); setting a frame of it (interpolate,
// write into the mesh, recompute normals) split into its steps beside a plain
// copy of the same bytes; a blend of 10 morph targets over 100,000 vertices;
// and the step of a skinned morph object (blend, pose the skeleton, skin).
//
//   cmake -S . -B build-bench -DZARN_BUILD_BENCH=ON -DZARN_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench --target bench_pointcache && build-bench/bench/bench_pointcache
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/zeMessage.h"
#include "mesh/CZeMDDMesh.h"
#include "mesh/CZeMorphMesh.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/codec/zeZmdd.h"
#include "mesh/codec/zeZmddWrite.h"

using namespace irr;

namespace {

constexpr uint32_t kColumns = 250, kRows = 200;         // one buffer: 50,000 vertices
constexpr uint32_t kBuffers = 2;                         // 100,000 points in all
constexpr uint32_t kPoints = kColumns * kRows * kBuffers;
constexpr uint32_t kFrames = 250;

float wave(uint32_t i, uint32_t f, int c) {
  const float x = static_cast<float>(i % kColumns) * 0.02f, y = static_cast<float>(i / kColumns) * 0.02f;
  const float t = static_cast<float>(f) * 0.04f;
  switch (c) {
    case 0: return x + 0.1f * std::sin(t + y);
    case 1: return y;
    default: return 0.3f * std::sin(2.0f * x + t) * std::cos(y - t);
  }
}

// Two grids of engine buffers whose file vertex numbers are the cache points.
scene::SMesh* makeGridMesh() {
  scene::SMesh* mesh = new scene::SMesh;
  for (uint32_t b = 0; b < kBuffers; ++b) {
    CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer;
    for (uint32_t v = 0; v < kColumns * kRows; ++v) {
      const uint32_t p = b * kColumns * kRows + v;
      buffer->Vertices_Standard.push_back(video::S3DVertex(wave(p, 0, 0), wave(p, 0, 1), wave(p, 0, 2), 0, 0, -1,
                                                           video::SColor(255, 255, 255, 255), 0, 0));
      buffer->OriginalVerticesIndices.push_back(p);
    }
    for (uint32_t r = 0; r + 1 < kRows; ++r)
      for (uint32_t c = 0; c + 1 < kColumns; ++c) {
        const uint32_t a = r * kColumns + c;
        for (uint32_t i : {a, a + kColumns, a + 1, a + 1, a + kColumns, a + kColumns + 1}) buffer->pushIndex(i);
      }
    buffer->recalculateBoundingBox();
    mesh->addMeshBuffer(buffer);
    buffer->drop();
  }
  mesh->recalculateBoundingBox();
  return mesh;
}

const std::vector<unsigned char>& cacheBytes() {
  static const std::vector<unsigned char> bytes = [] {
    SZeZmddSource s;
    s.frames = kFrames;
    s.points = kPoints;
    for (uint32_t f = 0; f < kFrames; ++f) s.times.push_back(static_cast<float>(f) / 25.0f);
    s.positions.reserve(3ull * kPoints * kFrames);
    for (uint32_t f = 0; f < kFrames; ++f)
      for (uint32_t i = 0; i < kPoints; ++i)
        for (int c = 0; c < 3; ++c) s.positions.push_back(wave(i, f, c));
    s.base.assign(s.positions.begin(), s.positions.begin() + 3ull * kPoints);
    SZeZmddWriteOptions o;
    o.keyInterval = 25;
    o.scale = 0.01f;
    std::vector<unsigned char> out;
    std::string error;
    if (!zeZmddWrite(s, o, &out, &error)) std::fprintf(stderr, "bench: %s\n", error.c_str());
    return out;
  }();
  return bytes;
}

void BM_DecodeCache(benchmark::State& state) {
  const std::vector<unsigned char>& bytes = cacheBytes();
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
  for (auto _ : state) {
    ZeZmddStream* s = zmddc_uncompress_create_memory(bytes.data(), bytes.size(), "bench.zmdd");
    const float *x, *y, *z;
    for (int f = -1; f < static_cast<int>(kFrames); ++f) {
      zmddc_uncompress_frame(s, f, &x, &y, &z);
      benchmark::DoNotOptimize(x[f + 1]);
    }
    zmddc_release(s);
  }
  // Decoded positions: three floats per point and frame (the base frame included).
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (kFrames + 1) * kPoints * 12);
}
BENCHMARK(BM_DecodeCache)->Unit(benchmark::kMillisecond)->Iterations(3);

CZeMDDMesh* playingMesh() {
  static CZeMDDMesh* mesh = [] {
    const char* zmdd = "/tmp/zarn-bench-pointcache.zmdd";
    const char* zpnts = "/tmp/zarn-bench-pointcache.zpnts";
    const std::vector<unsigned char>& bytes = cacheBytes();
    FILE* f = std::fopen(zmdd, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    std::vector<uint32_t> identity(kPoints);
    for (uint32_t i = 0; i < kPoints; ++i) identity[i] = i;
    const std::vector<unsigned char> table = zeZpntsWrite(identity);
    f = std::fopen(zpnts, "wb");
    std::fwrite(table.data(), 1, table.size(), f);
    std::fclose(f);
    scene::SMesh* grid = makeGridMesh();
    CZeMDDMesh* m = new CZeMDDMesh;
    if (!m->setup(grid, zpnts, zmdd)) std::fprintf(stderr, "bench: setup failed\n");
    grid->drop();
    std::remove(zmdd);
    std::remove(zpnts);
    return m;
  }();
  return mesh;
}

// Frames between two cached ones, so every step interpolates.
float nextFrame(float* f) {
  *f += 1.37f;
  if (*f > kFrames - 1) *f -= kFrames - 1;
  return *f;
}

void BM_SetFrame(benchmark::State& state) {
  CZeMDDMesh* m = playingMesh();
  float f = 0.0f;
  for (auto _ : state) m->setFrame(nextFrame(&f));
}
BENCHMARK(BM_SetFrame)->Unit(benchmark::kMicrosecond);

void BM_SetFrameInterpolate(benchmark::State& state) {
  CZeMDDMesh* m = playingMesh();
  float f = 0.0f;
  for (auto _ : state) m->interpolate(nextFrame(&f));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPoints * 16);
}
BENCHMARK(BM_SetFrameInterpolate)->Unit(benchmark::kMicrosecond);

void BM_SetFrameWritePositions(benchmark::State& state) {
  CZeMDDMesh* m = playingMesh();
  for (auto _ : state) m->writePositions();
}
BENCHMARK(BM_SetFrameWritePositions)->Unit(benchmark::kMicrosecond);

void BM_SetFrameNormals(benchmark::State& state) {
  CZeMDDMesh* m = playingMesh();
  for (auto _ : state) m->recalculateNormals();
}
BENCHMARK(BM_SetFrameNormals)->Unit(benchmark::kMicrosecond);

// The interpolated bytes copied as they are: the floor for writing a frame.
void BM_PlainCopy(benchmark::State& state) {
  CZeMDDMesh* m = playingMesh();
  std::vector<float> to(4ull * kPoints);
  uint32_t k = 1;
  for (auto _ : state) {
    k = k % kFrames + 1;
    std::memcpy(to.data(), m->frames()->frame(k), 16ull * kPoints);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPoints * 16);
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMicrosecond);

// Ten targets, each moving every vertex, all with weights.
void BM_MorphBlend10Targets(benchmark::State& state) {
  scene::SMesh* grid = makeGridMesh();
  std::vector<SZeMorphTargetZN> targets(10);
  for (uint32_t t = 0; t < 10; ++t)
    for (uint32_t b = 0; b < kBuffers; ++b) {
      SZeMorphTargetPartZN part;
      part.buffer = b;
      for (uint32_t v = 0; v < kColumns * kRows; ++v) {
        part.vertices.push_back(v);
        const float d = 0.001f * static_cast<float>(t + 1);
        part.deltas.push_back({{0, 0, d, 0}, {0, d, 0, 0}});
      }
      targets[t].parts.push_back(std::move(part));
    }
  CZeMorphMeshMorphMapZN* map = new CZeMorphMeshMorphMapZN;
  map->create(grid, std::move(targets));
  grid->drop();
  std::vector<std::pair<uint32_t, float>> weights;
  for (uint32_t t = 1; t <= 10; ++t) weights.emplace_back(t, 0.1f * static_cast<float>(t));
  for (auto _ : state) {
    weights[0].second += 0.001f;
    map->animate(weights, 0.0f);
  }
  map->drop();
}
BENCHMARK(BM_MorphBlend10Targets)->Unit(benchmark::kMicrosecond);

// A skinned object of 100,000 vertices, two joint bindings each (four moving
// root joints), stepping its frame: reset, blend of `targets` targets (0 or
// 10, each moving every vertex), pose, skin into the copy, box.
void BM_SkinnedMorphStep(benchmark::State& state) {
  IrrlichtDevice* device = createDevice(video::EDT_NULL);
  scene::ISkinnedMesh* skinned = device->getSceneManager()->createSkinnedMesh();
  scene::SMesh* grid = makeGridMesh();
  for (uint32_t b = 0; b < kBuffers; ++b) {
    CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer;
    buffer->copyFrom(grid->getMeshBuffer(b));
    skinned->getMeshBuffers().push_back(buffer);  // the skinned mesh owns it
  }
  grid->drop();
  constexpr uint32_t kJoints = 4;
  for (uint32_t j = 0; j < kJoints; ++j) {
    scene::ISkinnedMesh::SJoint* joint = skinned->addJoint(nullptr);
    for (float frame : {0.0f, 100.0f}) {
      scene::ISkinnedMesh::SPositionKey* key = skinned->addPositionKey(joint);
      key->frame = frame;
      key->position.set(0, 0.01f * frame * static_cast<float>(j + 1), 0);
    }
  }
  for (uint32_t b = 0; b < kBuffers; ++b)
    for (uint32_t v = 0; v < kColumns * kRows; ++v)
      for (uint32_t k = 0; k < 2; ++k) {
        scene::ISkinnedMesh::SWeight* w = skinned->addWeight(skinned->getAllJoints()[(v + k) % kJoints]);
        w->buffer_id = static_cast<u16>(b);
        w->vertex_id = v;
        w->strength = k == 0 ? 0.75f : 0.25f;
      }
  skinned->finalize();
  std::vector<SZeMorphTargetZN> targets(static_cast<std::size_t>(state.range(0)));
  for (SZeMorphTargetZN& target : targets)
    for (uint32_t b = 0; b < kBuffers; ++b) {
      SZeMorphTargetPartZN part;
      part.buffer = b;
      for (uint32_t v = 0; v < kColumns * kRows; ++v) {
        part.vertices.push_back(v);
        part.deltas.push_back({{0, 0, 0.001f, 0}, {0, 0.001f, 0, 0}});
      }
      target.parts.push_back(std::move(part));
    }
  std::vector<std::pair<uint32_t, float>> weights;
  for (uint32_t t = 1; t <= targets.size(); ++t) weights.emplace_back(t, 0.1f * static_cast<float>(t));
  CZeMorphMeshMorphMapZN* map = new CZeMorphMeshMorphMapZN;
  if (!map->createSkinned(skinned, std::move(targets))) state.SkipWithError("no skinned map");
  float frame = 0.0f;
  for (auto _ : state) {
    frame = frame > 98.0f ? 0.0f : frame + 0.37f;  // a new pose every step
    map->animate(weights, frame);
  }
  map->drop();
  skinned->drop();
  device->drop();
}
BENCHMARK(BM_SkinnedMorphStep)->Arg(0)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  zeSetMessageThreshold(ZE_WARN);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
