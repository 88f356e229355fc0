#include "sceneFixture.h"

#include "support/testZip.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>


#include "app/zeEngine.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "scene/CZeSceneManager.h"
#include "scene/zeSceneSubsystem.h"
#include "support/countingRenderer.h"

using namespace irr;

std::vector<std::string> shownBoxes;

namespace {

void recordBox(const char*, const char* text) { shownBoxes.push_back(text); }

void addCube(scene::SMeshBuffer* buffer) {
  const float c[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                         {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  for (const auto& p : c)
    buffer->Vertices.push_back(
        video::S3DVertex(p[0], p[1], p[2], p[0], p[1], p[2], video::SColor(255, 255, 255, 255), 0, 0));
  const u16 faces[] = {0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                       3, 6, 2, 3, 7, 6, 0, 4, 7, 0, 7, 3, 1, 2, 6, 1, 6, 5};
  for (u16 i : faces) buffer->Indices.push_back(i);
  buffer->recalculateBoundingBox();
}

}  // namespace

scene::SMesh* makeCubeMesh(int buffers) {
  scene::SMesh* mesh = new scene::SMesh;
  for (int i = 0; i < buffers; ++i) {
    scene::SMeshBuffer* buffer = new scene::SMeshBuffer;
    addCube(buffer);
    mesh->addMeshBuffer(buffer);
    buffer->drop();
  }
  mesh->recalculateBoundingBox();
  return mesh;
}

scene::SMesh* makeBigMesh(u32 vertexCount) {
  scene::SMesh* mesh = new scene::SMesh;
  scene::SMeshBuffer* buffer = new scene::SMeshBuffer;
  buffer->Vertices.set_used(vertexCount);
  for (u32 i = 0; i < vertexCount; ++i)
    buffer->Vertices[i] = video::S3DVertex(static_cast<f32>(i % 256), static_cast<f32>(i / 256), 0, 0, 0, -1,
                                           video::SColor(255, 255, 255, 255), 0, 0);
  for (u16 i : {0, 1, 2}) buffer->Indices.push_back(i);
  buffer->recalculateBoundingBox();
  mesh->addMeshBuffer(buffer);
  buffer->drop();
  mesh->recalculateBoundingBox();
  return mesh;
}

void cacheMesh(const char* file, scene::IAnimatedMesh* mesh) {
  zeEngineContext().sceneManager->getMeshCache()->addMesh(zeObjectMeshName(file).c_str(), mesh);
}

void cacheStatic(const char* file) {
  scene::SMesh* mesh = makeCubeMesh();
  scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
  cacheMesh(file, animated);
  animated->drop();
  mesh->drop();
}

void cacheAnimated(const char* file, int frames) {
  scene::SAnimatedMesh* animated = new scene::SAnimatedMesh;
  for (int i = 0; i < frames; ++i) {
    scene::SMesh* mesh = makeCubeMesh();
    animated->addMesh(mesh);
    mesh->drop();
  }
  animated->recalculateBoundingBox();
  cacheMesh(file, animated);
  animated->drop();
}

void cacheSkinned(const char* file, int lastKey) {
  scene::ISkinnedMesh* skinned = zeEngineContext().sceneManager->createSkinnedMesh();
  scene::SSkinMeshBuffer* buffer = skinned->addMeshBuffer();
  scene::SMesh* cube = makeCubeMesh();
  scene::IMeshBuffer* from = cube->getMeshBuffer(0);
  for (u32 i = 0; i < from->getVertexCount(); ++i)
    buffer->Vertices_Standard.push_back(static_cast<video::S3DVertex*>(from->getVertices())[i]);
  for (u32 i = 0; i < from->getIndexCount(); ++i) buffer->Indices.push_back(from->getIndices()[i]);
  cube->drop();
  scene::ISkinnedMesh::SJoint* joint = skinned->addJoint(nullptr);
  joint->Name = "root";
  if (lastKey > 0) {
    for (int frame : {0, lastKey}) {
      scene::ISkinnedMesh::SPositionKey* key = skinned->addPositionKey(joint);
      key->frame = static_cast<f32>(frame);
      key->position.set(0, static_cast<f32>(frame), 0);
    }
  }
  for (u32 v = 0; v < buffer->Vertices_Standard.size(); ++v) {
    scene::ISkinnedMesh::SWeight* weight = skinned->addWeight(joint);
    weight->buffer_id = 0;
    weight->vertex_id = v;
    weight->strength = 1.0f;
  }
  skinned->finalize();
  cacheMesh(file, skinned);
  skinned->drop();
}

std::string tempDirectory() {
  char pattern[] = "/tmp/zarn-scene-XXXXXX";
  const char* made = mkdtemp(pattern);
  return made ? made : "/tmp";
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string storedZip(const std::vector<std::pair<std::string, std::string>>& files) {
  const std::vector<std::uint8_t> bytes = zeTestZip(files);
  return std::string(bytes.begin(), bytes.end());
}

void SceneTest::SetUp() {
  zeResetMessageState();
  zeSetMessageThreshold(ZE_NONE);  // keep the test log quiet; kept errors still arrive
  shownBoxes.clear();
  zeSetMessageBoxPresenter(recordBox);
  zeSceneRegister();
  installCountingMainRenderer();
  ZeEngineSettings settings;
  settings.width = 64;
  settings.height = 48;
  ASSERT_EQ(zeEngineStart(settings), 0) << zeStartFailureReason();
  zeEngineContext().device->getLogger()->setLogLevel(ELL_NONE);
}

void SceneTest::TearDown() {
  zeEngineStop();
  zeSetMessageBoxPresenter(nullptr);
  zeResetMessageState();
}

std::string SceneTest::takeError(int* argIndex) {
  int value = -1;
  const char* text = zeGetLastError(&value);
  std::string result = text ? text : "";
  if (argIndex) *argIndex = value;
  zeClearLastError();
  return result;
}
