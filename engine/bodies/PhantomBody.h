#pragma once

#include "engine/bodies/PrivateHardBody.h"

/// A body shaped as its local box (kind 0). Its mesh is the box's hull; the
/// body must hold a mesh record before `init` or `modify`.
class PhantomBody : public PrivateHardBody {
 public:
  PhantomBody();

  /// Places the box hull mesh (given in world terms) into the body frame at
  /// p, R and scale s, then the body there; wakes it.
  void init(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) override;
  /// A solid box of the scaled box size about the local centre.
  void computeInertiaTensor() override;
  void moveCenterOfMass(const Mgc::MgcVector3& worldPoint) override;
  /// The box fitted to `mesh`; null changes nothing. `mesh` stays the
  /// caller's.
  void modify(ZOVmesh* mesh) override;
};
