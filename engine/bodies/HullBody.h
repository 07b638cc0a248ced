#pragma once

#include <memory>

#include "engine/bodies/PrivateHardBody.h"
#include "geometry/BVmesh.h"

/// A body that collides as the convex hull of its mesh (kind 2). Its mesh is
/// kept in body coordinates; a mesh volume over it serves the collision
/// passes.
///
/// Ownership: the body owns its mesh and its mesh volume, which lends the
/// mesh. `modify` keeps nothing of the mesh it is given.
class HullBody : public PrivateHardBody {
 public:
  HullBody();
  /// The mesh volume goes before the mesh it lends.
  ~HullBody() override;

  /// Brings the mesh (given in world terms) into the body frame at p, R and
  /// scale s, then places the body there and wakes it. Needs a mesh.
  void init(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) override;
  /// The inertia of the mesh for the body's mass and scale about the body
  /// origin; nothing without a mesh.
  void computeInertiaTensor() override;
  /// Makes a world point the reference point; the mesh stays where it is in
  /// the world (for unit scale).
  void moveCenterOfMass(const Mgc::MgcVector3& worldPoint) override;
  /// Replaces the mesh by the convex hull of `mesh` (a budgeted hull from 512
  /// vertices on); null, or a mesh without a hull, changes nothing. `mesh`
  /// stays the caller's.
  void modify(ZOVmesh* mesh) override;

  /// The mesh volume, null until one is given.
  BVmesh* getBoundingMesh() const { return boundingMesh.get(); }
  /// Gives the body the mesh volume to own.
  void setBoundingMesh(std::unique_ptr<BVmesh> volume) { boundingMesh = std::move(volume); }
  /// Gives the body its mesh (the hull) to own.
  void setHullMesh(std::unique_ptr<ZOVmesh> hull);

 private:
  std::unique_ptr<BVmesh> boundingMesh;
};
