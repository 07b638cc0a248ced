#pragma once

// Bodies of every kind placed for the pair-dispatch and contact tests, a
// stand-in fracture body whose pieces the collision code walks, and a mesh
// of separate triangles.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/bodies/BarrierBody.h"
#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/CompoundPieces.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/bodies/ZovCrackerBody.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/GeometryFixtures.h"

namespace zovtest {

struct BodyDeleter {
  void operator()(HardBody* body) const { delete body; }
};
using BodyPtr = std::unique_ptr<HardBody, BodyDeleter>;

/// Moves a made body to `at` with orientation R and brings its world data up
/// to date.
inline BodyPtr placed(HardBody* body, const Mgc::MgcVector3& at, const Mgc::MgcMatrix3& R = Mgc::MgcMatrix3::IDENTITY) {
  body->init(Mgc::MgcVector3(), Mgc::MgcMatrix3::IDENTITY, Mgc::MgcVector3(1.0, 1.0, 1.0));
  body->setOrientation(R);
  body->setPosition(at);
  body->updateWorldData();
  return BodyPtr(body);
}

/// A hull body or a triangle-mesh body of the mesh, placed.
inline BodyPtr hullBody(const ZOVmesh& mesh, const Mgc::MgcVector3& at,
                        const Mgc::MgcMatrix3& R = Mgc::MgcMatrix3::IDENTITY) {
  return placed(createHullBody(const_cast<ZOVmesh*>(&mesh)), at, R);
}
inline BodyPtr meshBody(const ZOVmesh& mesh, const Mgc::MgcVector3& at,
                        const Mgc::MgcMatrix3& R = Mgc::MgcMatrix3::IDENTITY) {
  return placed(createTriMeshBody(const_cast<ZOVmesh*>(&mesh)), at, R);
}
/// The box [-half, half] as a hull body and as a triangle-mesh body.
inline BodyPtr hullBox(const Mgc::MgcVector3& half, const Mgc::MgcVector3& at) { return hullBody(*boxMesh(half), at); }
inline BodyPtr meshBox(const Mgc::MgcVector3& half, const Mgc::MgcVector3& at) { return meshBody(*boxMesh(half), at); }

/// A capsule (or cracker) body along x: sphere centres at +-halfLength.
template <typename Body = CapsuleBody>
BodyPtr capsuleAlongX(double halfLength, double radius, const Mgc::MgcVector3& at) {
  auto* body = new Body;
  setupCrackerCapsule(body, Mgc::MgcVector3(-halfLength, 0.0, 0.0), Mgc::MgcVector3(halfLength, 0.0, 0.0), radius);
  HardBodyShape& shape = body->getShape();
  shape.boxSize = Mgc::MgcVector3(2.0 * (halfLength + radius), 2.0 * radius, 2.0 * radius);
  body->setMesh(new ZOVmesh);
  return placed(body, at);
}

/// The ground plane through `point` with `normal`.
inline BodyPtr barrier(const Mgc::MgcVector3& point, Mgc::MgcVector3 normal) {
  return BodyPtr(createBarrierBody(point, normal));
}

/// A phantom box.
inline BodyPtr phantomBox(const Mgc::MgcVector3& half, const Mgc::MgcVector3& at) {
  return placed(createPhantomBody(boxMesh(half).get()), at);
}

/// A fracture body (kind 5) as the collision code sees one: a body whose
/// pieces it walks. Its box and sphere are the given half size about its
/// position, so that they hold its pieces.
class TestCompound : public PrivateHardBody, public CompoundPieces {
 public:
  explicit TestCompound(const Mgc::MgcVector3& half) : PrivateHardBody(kFractureBody) {
    shape.boxSize = half * 2.0;
    shape.localRadius = half.Length();
    shape.radius = shape.localRadius;
  }
  void init(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) override {
    shape.scale = s;
    setOrientation(R);
    dyn.position = p;
    changeLast() = dyn;
    activate();
  }
  void computeInertiaTensor() override {}
  void moveCenterOfMass(const Mgc::MgcVector3& p) override { dyn.position = p; }
  const EngineList<PrivateHardBody*>& getCompoundPieces() const override { return pieces; }

  /// Adds a piece (owned by the compound) and makes the compound its parent.
  void addPiece(BodyPtr piece) {
    piece->setParent(this);
    pieces.append(static_cast<PrivateHardBody*>(piece.get()));
    owned.push_back(std::move(piece));
  }

 private:
  EngineList<PrivateHardBody*> pieces;
  std::vector<BodyPtr> owned;
};

inline std::unique_ptr<TestCompound> compoundAt(const Mgc::MgcVector3& half, const Mgc::MgcVector3& at) {
  auto compound = std::make_unique<TestCompound>(half);
  compound->init(at, Mgc::MgcMatrix3::IDENTITY, Mgc::MgcVector3(1.0, 1.0, 1.0));
  return compound;
}

/// n separate small triangles facing down in the plane y = 0, spread along
/// x over [-spread, spread]: 3n vertices, none shared, so that a body of it
/// sunk into a plane touches it at 3n distinct points.
std::unique_ptr<ZOVmesh> nailBedMesh(std::uint32_t n, double spread);

}  // namespace zovtest
