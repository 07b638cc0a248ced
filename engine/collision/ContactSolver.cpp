#include "engine/collision/ContactSolver.h"

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/collision/ContactManifold.h"
#include "engine/solver/Lsqr.h"

using contactkinematics::coupling;
using Mgc::MgcVector3;

namespace {

void setEntry(dmat* matrix, std::uint32_t row, std::uint32_t column, double value) {
  getMatrixRow(matrix, row).elements[column] = value;
}

/// The manifold's midpoints and their lever arms about B.
struct ManifoldPoints {
  MgcVector3 points[kMaxManifoldPoints];
  MgcVector3 arms[kMaxManifoldPoints];

  ManifoldPoints(const ContactManifold& manifold, const HardBody& b) {
    manifold.midpoints(points);
    for (std::uint32_t k = 0; k < manifold.pointCount; ++k) arms[k] = points[k] - b.getDyn().position;
  }
};

}  // namespace

HardBody* ContactSolver::solverBody(const ContactManifold& manifold) {
  if (manifold.body == nullptr) return nullptr;
  HardBody* parent = manifold.body->getParent();
  return parent != nullptr ? parent : manifold.body;
}

void ContactSolver::applyImpulses(const ContactManifold& manifold, double s, dvec* rhs, std::uint32_t offset) {
  const HardBody* b = solverBody(manifold);
  if (b == nullptr) return;
  const ManifoldPoints at(manifold, *b);
  const RBDynamics& state = b->getDyn();
  for (std::uint32_t k = 0; k < manifold.pointCount; ++k) {
    const MgcVector3 velocity = state.linearVelocity + state.angularVelocity.Cross(at.arms[k]);
    rhs->elements[offset + k] = s * manifold.normals[k].Dot(velocity);
  }
}

void ContactSolver::resolveList(const ContactManifold& manifold, double s, dmat* matrix, std::uint32_t offset) {
  const HardBody* b = solverBody(manifold);
  if (b == nullptr) return;
  const ManifoldPoints at(manifold, *b);
  const double invMass = b->getInvMass();
  const Mgc::MgcMatrix3& invInertia = b->getDyn().worldInvInertia;
  for (std::uint32_t k = 0; k < manifold.pointCount; ++k) {
    for (std::uint32_t l = k; l < manifold.pointCount; ++l) {
      const MgcVector3& nk = manifold.normals[k];
      const MgcVector3& nl = manifold.normals[l];
      setEntry(matrix, offset + k, offset + l, coupling(nk, at.arms[k], nl, at.arms[l], invMass, invInertia, s));
      setEntry(matrix, offset + l, offset + k, coupling(nl, at.arms[l], nk, at.arms[k], invMass, invInertia, s));
    }
  }
}

void ContactSolver::resolveGroup(const ContactManifold& a, const ContactManifold& b, double s, dmat* matrix,
                                 std::uint32_t offsetA, std::uint32_t offsetB) {
  // Impulses of manifolds of sibling pieces act on their one parent, so the
  // body compared is the one the impulses move.
  const HardBody* body = solverBody(a);
  if (body == nullptr || body != solverBody(b)) return;
  const ManifoldPoints atA(a, *body);
  const ManifoldPoints atB(b, *body);
  const double invMass = body->getInvMass();
  const Mgc::MgcMatrix3& invInertia = body->getDyn().worldInvInertia;
  for (std::uint32_t k = 0; k < a.pointCount; ++k) {
    for (std::uint32_t l = 0; l < b.pointCount; ++l) {
      const MgcVector3& nk = a.normals[k];
      const MgcVector3& nl = b.normals[l];
      setEntry(matrix, offsetA + k, offsetB + l, coupling(nk, atA.arms[k], nl, atB.arms[l], invMass, invInertia, s));
      setEntry(matrix, offsetB + l, offsetA + k, coupling(nl, atB.arms[l], nk, atA.arms[k], invMass, invInertia, s));
    }
  }
}

void ContactSolver::resolvePair(const ContactManifold& manifold, const CollisionPair& pair, double s, dmat* matrix,
                                std::uint32_t contactOffset, std::uint32_t offset) {
  const HardBody* b = solverBody(manifold);
  if (b == nullptr || (b != pair.firstBody && b != pair.secondBody)) return;
  const bool first = b == pair.firstBody;
  const double sigma = first ? 1.0 : -1.0;
  const MgcVector3* contactArms = first ? pair.firstArms : pair.secondArms;
  const ManifoldPoints at(manifold, *b);
  const double invMass = b->getInvMass();
  const Mgc::MgcMatrix3& invInertia = b->getDyn().worldInvInertia;
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    const MgcVector3& ni = pair.normals[i];
    for (std::uint32_t k = 0; k < manifold.pointCount; ++k) {
      const MgcVector3& nk = manifold.normals[k];
      setEntry(matrix, contactOffset + i, offset + k,
               -sigma * coupling(ni, contactArms[i], nk, at.arms[k], invMass, invInertia, s));
      setEntry(matrix, offset + k, contactOffset + i,
               -sigma * coupling(nk, at.arms[k], ni, contactArms[i], invMass, invInertia, s));
    }
  }
}

void ContactSolver::bodyPass(ContactManifold& manifold, const dvec* x, std::uint32_t offset) {
  HardBody* b = solverBody(manifold);
  if (b == nullptr || b->isStatic()) return;
  if ((manifold.flags & kManifoldLimited) != 0) {
    MgcVector3 sum;
    std::uint32_t j = offset;
    for (std::uint32_t k = 0; k < manifold.pointCount; ++k) {
      if (manifold.marks[k] == 0) sum += manifold.normals[k] * x->elements[j++];
    }
    if (sum.SquaredLength() > manifold.impulseLimit * manifold.impulseLimit) {
      manifold.flags &= ~kManifoldCurrent;
      return;
    }
  }
  MgcVector3 points[kMaxManifoldPoints];
  manifold.midpoints(points);
  std::uint32_t j = offset;
  for (std::uint32_t k = 0; k < manifold.pointCount; ++k) {
    if (manifold.marks[k] != 0) continue;
    b->applyImpulse(-manifold.normals[k] * x->elements[j++], points[k]);
  }
}
