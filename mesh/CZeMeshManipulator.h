// The engine's own mesh operations beside Irrlicht's IMeshManipulator: fast
// normals for meshes deformed every frame, tangent copies that can carry the
// second texture-coordinate set, evenly spread point clouds, and vertex
// numbering for vertex textures. All results are deterministic.
//
// Process-wide state: the normal accumulator (kept between calls) and the
// point-cloud generator. Engine thread only.
#pragma once
#include <IMesh.h>
#include <IMeshManipulator.h>
#include <SMesh.h>

class CZeMeshManipulator {
 public:
  // Rewrites the normals of every buffer: each vertex gets the normalised sum
  // of the unit normals of the triangles that use it. Buffers of more than
  // 65536 vertices are left as they are, with a warning.
  static void recalculateNormals(irr::scene::IMesh* mesh);

  // A copy with tangent vertices; tangents and binormals come from the
  // library's recalculateTangents. With keepUV2, buffers that had a second
  // coordinate set carry it in binormal x and y. One reference for the caller;
  // nullptr for a null mesh.
  static irr::scene::SMesh* createTangentMeshCopy(irr::scene::IMeshManipulator* library,
                                                  irr::scene::IMesh* mesh, bool keepUV2);

  // `pointCount` points spread over the triangles by area; each point's
  // colour field holds its running number. One reference for the caller;
  // nullptr after a device-log error when the points do not fit in memory.
  static irr::scene::SMesh* createPointCloudMesh(irr::scene::IMesh* mesh, irr::u32 pointCount, bool shuffle);

  // Writes each vertex's running number (over all buffers) into its colour.
  static void writeVertexIds(irr::scene::IMesh* mesh);

  // Frees the normal accumulator (engine manager shutdown).
  static void releaseScratch();

 private:
  static void fillPointCloud(irr::scene::SMesh* cloud, irr::scene::IMesh* mesh, irr::u32 pointCount, bool shuffle);
};
