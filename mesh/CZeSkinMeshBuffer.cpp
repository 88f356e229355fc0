#include "mesh/CZeSkinMeshBuffer.h"

#include "mesh/IZeSurface.h"

using namespace irr;

CZeSkinMeshBuffer::CZeSkinMeshBuffer(video::E_VERTEX_TYPE type) : scene::SSkinMeshBuffer(type) {}

CZeSkinMeshBuffer::~CZeSkinMeshBuffer() { setSurface(nullptr); }

void CZeSkinMeshBuffer::setSurface(IZeSurface* surface) {
  if (surface) surface->grab();
  if (Surface) Surface->drop();
  Surface = surface;
}

bool CZeSkinMeshBuffer::setIndexType(video::E_INDEX_TYPE type) {
  const bool wide = type == video::EIT_32BIT;
  if (wide == Wide) return true;
  if (wide) {
    Indices32.set_used(Indices.size());
    for (u32 i = 0; i < Indices.size(); ++i) Indices32[i] = Indices[i];
    Indices.clear();
  } else {
    for (u32 i = 0; i < Indices32.size(); ++i)
      if (Indices32[i] > 0xFFFF) return false;
    Indices.set_used(Indices32.size());
    for (u32 i = 0; i < Indices32.size(); ++i) Indices[i] = static_cast<u16>(Indices32[i]);
    Indices32.clear();
  }
  Wide = wide;
  setDirty(scene::EBT_INDEX);
  return true;
}

void CZeSkinMeshBuffer::pushIndex(u32 index) {
  if (Wide)
    Indices32.push_back(index);
  else
    Indices.push_back(static_cast<u16>(index));
}

u32 CZeSkinMeshBuffer::getIndex(u32 position) const {
  return Wide ? Indices32[position] : Indices[position];
}

void CZeSkinMeshBuffer::reserveIndices(u32 count) {
  if (Wide)
    Indices32.reallocate(count);
  else
    Indices.reallocate(count);
}

void CZeSkinMeshBuffer::clearIndices() {
  Indices.clear();
  Indices32.clear();
}

video::E_INDEX_TYPE CZeSkinMeshBuffer::getIndexType() const {
  return Wide ? video::EIT_32BIT : video::EIT_16BIT;
}

const u16* CZeSkinMeshBuffer::getIndices() const {
  return Wide ? reinterpret_cast<const u16*>(Indices32.const_pointer()) : Indices.const_pointer();
}

u16* CZeSkinMeshBuffer::getIndices() {
  return Wide ? reinterpret_cast<u16*>(Indices32.pointer()) : Indices.pointer();
}

u32 CZeSkinMeshBuffer::getIndexCount() const { return Wide ? Indices32.size() : Indices.size(); }

void CZeSkinMeshBuffer::copyFrom(const scene::IMeshBuffer* source) {
  Vertices_Standard.clear();
  Vertices_2TCoords.clear();
  Vertices_Tangents.clear();
  clearIndices();
  VertexType = source->getVertexType();
  const u32 vertexCount = source->getVertexCount();
  switch (VertexType) {
    case video::EVT_2TCOORDS:
      Vertices_2TCoords.set_used(vertexCount);
      for (u32 i = 0; i < vertexCount; ++i)
        Vertices_2TCoords[i] = static_cast<const video::S3DVertex2TCoords*>(source->getVertices())[i];
      break;
    case video::EVT_TANGENTS:
      Vertices_Tangents.set_used(vertexCount);
      for (u32 i = 0; i < vertexCount; ++i)
        Vertices_Tangents[i] = static_cast<const video::S3DVertexTangents*>(source->getVertices())[i];
      break;
    default:
      Vertices_Standard.set_used(vertexCount);
      for (u32 i = 0; i < vertexCount; ++i)
        Vertices_Standard[i] = static_cast<const video::S3DVertex*>(source->getVertices())[i];
      break;
  }
  Wide = source->getIndexType() == video::EIT_32BIT;
  const u32 indexCount = source->getIndexCount();
  if (Wide) {
    const u32* from = reinterpret_cast<const u32*>(source->getIndices());
    Indices32.set_used(indexCount);
    for (u32 i = 0; i < indexCount; ++i) Indices32[i] = from[i];
  } else {
    const u16* from = source->getIndices();
    Indices.set_used(indexCount);
    for (u32 i = 0; i < indexCount; ++i) Indices[i] = from[i];
  }
  Material = source->getMaterial();
  MappingHint_Vertex = source->getHardwareMappingHint_Vertex();
  MappingHint_Index = source->getHardwareMappingHint_Index();
  BoundingBox = source->getBoundingBox();
  BoundingBoxNeedsRecalculated = false;
  if (const CZeSkinMeshBuffer* ours = zeMeshBufferExt(source)) {
    OriginalVerticesIndices = ours->OriginalVerticesIndices;
    UVValue = ours->UVValue;
    UV2Mask = ours->UV2Mask;
    NormalMapName = ours->NormalMapName;
    Transformation = ours->Transformation;
    setSurface(ours->Surface);
  }
  setDirty();
}

CZeSkinMeshBuffer* zeMeshBufferExt(scene::IMeshBuffer* buffer) {
  return dynamic_cast<CZeSkinMeshBuffer*>(buffer);
}

const CZeSkinMeshBuffer* zeMeshBufferExt(const scene::IMeshBuffer* buffer) {
  return dynamic_cast<const CZeSkinMeshBuffer*>(buffer);
}

const u32* zeMeshBufferOriginalIndices(const scene::IMeshBuffer* buffer) {
  const CZeSkinMeshBuffer* ours = zeMeshBufferExt(buffer);
  if (!ours || ours->OriginalVerticesIndices.empty()) return nullptr;
  return ours->OriginalVerticesIndices.const_pointer();
}

s32 zeMeshBufferUVValue(const scene::IMeshBuffer* buffer) {
  const CZeSkinMeshBuffer* ours = zeMeshBufferExt(buffer);
  return ours ? ours->UVValue : -1;
}

IZeSurface* zeMeshBufferSurface(const scene::IMeshBuffer* buffer) {
  const CZeSkinMeshBuffer* ours = zeMeshBufferExt(buffer);
  return ours ? ours->getSurface() : nullptr;
}

s32 zeMeshBufferUV2Mask(const scene::IMeshBuffer* buffer) {
  const CZeSkinMeshBuffer* ours = zeMeshBufferExt(buffer);
  return ours ? ours->UV2Mask : -1;
}

bool zeMeshUsesUV2(const scene::IMesh* mesh) {
  if (!mesh) return false;
  for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
    const s32 mask = zeMeshBufferUV2Mask(mesh->getMeshBuffer(i));
    if (mask > 0 || mask < -1) return true;
  }
  return false;
}

scene::SMesh* zeCreateMeshCopy(scene::IMesh* mesh) {
  if (!mesh) return nullptr;
  scene::SMesh* copy = new scene::SMesh();
  for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
    CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer();
    buffer->copyFrom(mesh->getMeshBuffer(i));
    copy->addMeshBuffer(buffer);
    buffer->drop();
  }
  copy->setBoundingBox(mesh->getBoundingBox());
  return copy;
}
