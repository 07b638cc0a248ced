#include "engine/collision/narrowphase/PkJump.h"

#include "engine/collision/narrowphase/HullView.h"
#include "engine/collision/narrowphase/JumpSupport.h"
#include "engine/collision/narrowphase/JumpTest.h"
#include "geometry/BVbox.h"
#include "geometry/BVmesh.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

Pk_jump* g_pkJump = nullptr;

void JumpContacts::write(const MgcVector3* contactPoints, std::uint32_t n, const MgcVector3& normal, double depth,
                         std::uint32_t faceA, std::uint32_t faceB) const {
  if (n > kMaxJumpContacts) n = kMaxJumpContacts;
  double same[kMaxJumpContacts];
  for (std::uint32_t i = 0; i < n; ++i) same[i] = depth;
  write(contactPoints, n, normal, same, faceA, faceB);
}

void JumpContacts::write(const MgcVector3* contactPoints, std::uint32_t n, const MgcVector3& normal,
                         const double* pointDepths, std::uint32_t faceA, std::uint32_t faceB) const {
  if (n > kMaxJumpContacts) n = kMaxJumpContacts;
  for (std::uint32_t i = 0; i < n; ++i) {
    points[i] = contactPoints[i];
    depths[i] = pointDepths[i];
  }
  *count = n;
  if (n == 0) return;
  normals[0] = normal;
  if (facesA != nullptr) facesA[0] = faceA;
  if (facesB != nullptr && faceB != zov::kNoIndex) facesB[0] = faceB;
}

Pk_jump::~Pk_jump() = default;

bool Pk_jump::alwaysTrue(std::uint32_t /*mode*/) const { return true; }

std::uint32_t Pk_jump::meshSupport(const BVmesh& mesh, std::uint32_t start, const MgcVector3& d) {
  return HullView(&mesh).support(start, d);
}

MgcVector3 Pk_jump::capsuleSupport(const ZOVcapsule& capsule, const MgcVector3& d) {
  // A direction across the axis picks the lower end.
  const double side = capsule.axis.Dot(d) > zov::kTolerance ? 1.0 : -1.0;
  return capsule.center + capsule.axis * (side * 0.5 * capsule.length) + d * capsule.radius;
}

int Pk_jump::meshMeshOverlap(const BVmesh* a, const BVmesh* b, JumpState& state) const {
  const HullView hullA(a);
  const HullView hullB(b);
  if (!hullA.usable() || !hullB.usable()) return 0;
  const MeshSide sideA(hullA);
  const MeshSide sideB(hullB);
  return jumpTest(SidesSupport<MeshSide, MeshSide>(sideA, sideB), state);
}

int Pk_jump::meshVolumeOverlap(const BVmesh* mesh, const ZOVcapsule& capsule, JumpState& state) const {
  const HullView hull(mesh);
  if (!hull.usable()) return 0;
  const MeshSide sideA(hull);
  const CapsuleSide sideB(capsule);
  return jumpTest(SidesSupport<MeshSide, CapsuleSide>(sideA, sideB), state);
}

int Pk_jump::meshBoxOverlap(const BVmesh* mesh, const BVbox& box, JumpState& state) const {
  const HullView hull(mesh);
  if (!hull.usable()) return 0;
  const MeshSide sideA(hull);
  const BoxSide sideB(box);
  return jumpTest(SidesSupport<MeshSide, BoxSide>(sideA, sideB), state);
}

int Pk_jump::boxConvexOverlap(const BVbox& box, const ZOVcapsule& capsule, JumpState& state) const {
  const BoxSide sideA(box);
  const CapsuleSide sideB(capsule);
  return jumpTest(SidesSupport<BoxSide, CapsuleSide>(sideA, sideB), state);
}

bool Pk_jump::meshPointsInside(const BVmesh* mesh, const MgcVector3& planePoint, const MgcVector3& planeNormal,
                               JumpState& state) const {
  const HullView hull(mesh);
  // A vertex counts as inside by its signed distance: comparing directions
  // instead would let far vertices sink ever deeper before they count.
  for (std::uint32_t i = 0; i < hull.vertexCount(); ++i) {
    if ((hull.vertex(i) - planePoint).Dot(planeNormal) < -zov::kTolerance) {
      state.vertexA = i;
      state.direction = planeNormal;
      return true;
    }
  }
  return false;
}
