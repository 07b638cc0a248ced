#pragma once

#include "engine/bodies/PrivateHardBody.h"

/// The ground: a static plane (kind 7). It never moves; `modify` does
/// nothing and `moveCenterOfMass` only moves the plane point.
class BarrierBody : public PrivateHardBody {
 public:
  /// The plane through the origin with normal (0, 0, 1).
  BarrierBody();

  /// The plane through `point` with `normal` (unit, world), placed at the
  /// point with the identity orientation and unit scale; awake and static.
  void setPlane(const Mgc::MgcVector3& point, const Mgc::MgcVector3& normal);
  /// The plane point := p; the body placed at p with R and scale s; awake
  /// and static.
  void init(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) override;
  /// A unit tensor with the offset of the local centre.
  void computeInertiaTensor() override;
  void moveCenterOfMass(const Mgc::MgcVector3& worldPoint) override;
  void modify(ZOVmesh* mesh) override;

  const Mgc::MgcVector3& getPlanePoint() const { return planePoint; }
  const Mgc::MgcVector3& getPlaneNormal() const { return planeNormal; }

 private:
  /// Common end of setPlane and init.
  void place(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);

  Mgc::MgcVector3 planePoint;
  Mgc::MgcVector3 planeNormal{0.0, 0.0, 1.0};
};
