#pragma once

#include "engine/bodies/PrivateHardBody.h"
#include "geometry/BCapsule.h"

/// A body shaped as a capsule (kind 1): a local capsule in body coordinates,
/// and a world capsule that follows the body. Its mesh is the box hull of its
/// local box; the body must hold a mesh record before `init` or `modify`.
///
/// Ownership: the body owns its mesh and both capsule records. `modify`
/// keeps nothing of the mesh it is given.
class CapsuleBody : public PrivateHardBody {
 public:
  CapsuleBody();

  /// Places the box hull mesh and the capsule (given in world terms) into the
  /// body frame at p, R and scale s, then the body there; wakes it.
  void init(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) override;
  /// A solid capsule of the body's mass: a cylinder of the capsule's radius
  /// and length with a hemisphere on each end, scaled as the world capsule,
  /// about the local centre, in the frame of the local box.
  void computeInertiaTensor() override;
  void moveCenterOfMass(const Mgc::MgcVector3& worldPoint) override;
  /// The capsule fitted to `mesh`; null changes nothing.
  void modify(ZOVmesh* mesh) override;
  /// With `world` nonzero the world capsule, brought up to date; with 0 the
  /// local capsule's record (null before it is set).
  ZOVcapsule* getBoundingVolume(int world) override;

  /// The local capsule transformed by the current position, orientation and
  /// scale; owned by the body.
  ZOVcapsule* worldCapsule();
  /// The same capsule written to `out` without storing it in the body, so
  /// that any number of threads may ask at once; false, with `out` left,
  /// while the body has no local capsule.
  bool placedCapsule(ZOVcapsule& out) const;
  /// The capsule in body coordinates.
  BCapsule& getLocalCapsule() { return localCapsule; }

 protected:
  /// A capsule body of another kind (the cracker).
  explicit CapsuleBody(eHBodyType bodyKind);
  /// The angular velocity the inertia update keeps.
  virtual Mgc::MgcVector3 keptAngularVelocity() const { return dynInit.angularVelocity; }

 private:
  BCapsule localCapsule;
  BCapsule worldCapsule_;
};
