#pragma once

#include <memory>

#include "engine/bodies/PrivateHardBody.h"
#include "geometry/BVmesh.h"
#include "geometry/BoxTree.h"

/// A body that collides as its triangle mesh (kind 3), with a box tree over
/// the triangles. The mesh is kept in body coordinates.
///
/// Ownership: the body owns its mesh, its mesh volume (which lends the mesh)
/// and its triangle tree. `modify` keeps nothing of the mesh it is given.
class TriMeshBody : public PrivateHardBody {
 public:
  TriMeshBody();
  /// The mesh volume and the tree go before the mesh.
  ~TriMeshBody() override;

  /// Nothing without a mesh. Brings the mesh into the body frame, builds the
  /// triangle tree (or refits a built one; a tree that fails is dropped),
  /// places the body and wakes it.
  void init(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) override;
  /// The inertia of the mesh about the body origin; nothing without a mesh.
  void computeInertiaTensor() override;
  /// Makes a world point the reference point, shifting the mesh and the tree.
  void moveCenterOfMass(const Mgc::MgcVector3& worldPoint) override;
  /// Replaces the mesh by the triangulated copy of `mesh` (the body's own
  /// mesh only takes the rest of the steps); null changes nothing. The
  /// arrays grow to what the copy needs. `mesh` stays the caller's.
  void modify(ZOVmesh* mesh) override;

  BVmesh* getBoundingMesh() const { return boundingMesh.get(); }
  void setBoundingMesh(std::unique_ptr<BVmesh> volume) { boundingMesh = std::move(volume); }
  /// The triangle tree, null when there is none.
  BoxTree* getTriangleTree() const { return triangleTree.get(); }
  void setTriangleTree(std::unique_ptr<BoxTree> tree) { triangleTree = std::move(tree); }
  /// Gives the body its (triangulated) mesh to own.
  void setTriangleMesh(std::unique_ptr<ZOVmesh> triangles);

 protected:
  /// The mesh and the tree follow the body.
  void updateShapeWorldData() override;

 private:
  /// Writes the triangulated faces and the vertices of `source` into the
  /// body's mesh, growing its arrays as needed. False when memory runs out
  /// (the mesh is unchanged then).
  bool copyTriangulated(const ZOVmesh& source);

  std::unique_ptr<BVmesh> boundingMesh;
  std::unique_ptr<BoxTree> triangleTree;
};

/// Faces of the triangulation of `mesh`: 1 for a face of fewer than 4
/// corners, n - 2 for a face of n corners.
std::uint32_t triangulatedFaceCount(const ZOVmesh& mesh);
