// The resting pass that puts to rest or wakes the bodies of the step's
// pairs, the alignment of bodies resting on crackers, and the impact of an
// outside point mass on a body.

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/collision/PairProcessingCommon.h"
#include "engine/solver/Lsqr.h"
#include "engine/solver/LsqrSystem.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Contacts a pair needs before the resting pass may settle its bodies.
constexpr std::uint32_t kRestingContacts = 3;
/// Contact points closer than this (m) to the line through the others
/// hold a body no better than the line.
constexpr double kSupportSpread = 1e-3;
/// A body stands upright on a cracker when its third axis is this close to z.
constexpr double kUprightDot = static_cast<double>(0.98f);

/// The cross-product matrix [r] of r: [r] v = r x v.
MgcMatrix3 impactCrossMatrix(const MgcVector3& r) { return MgcMatrix3(0.0, -r.z, r.y, r.z, 0.0, -r.x, -r.y, r.x, 0.0); }

void zeroMotion(HardBody* body) {
  body->setAngularMomentum(MgcVector3());
  body->setLinearVelocity(MgcVector3());
}

/// Whether some three of the points [first, last) span a triangle: one
/// lies farther than kSupportSpread from the line through the two farthest
/// apart (none when those lie within kSupportSpread of each other).
template <typename It>
bool spansTriangle(It first, It last) {
  double widest = 0.0;
  MgcVector3 from;
  MgcVector3 to;
  for (It a = first; a != last; ++a) {
    for (It b = a + 1; b != last; ++b) {
      const double d = (b->second - a->second).SquaredLength();
      if (d > widest) {
        widest = d;
        from = a->second;
        to = b->second;
      }
    }
  }
  if (widest <= kSupportSpread * kSupportSpread) return false;
  const MgcVector3 along = (to - from) / std::sqrt(widest);
  for (It p = first; p != last; ++p) {
    if ((p->second - from).Cross(along).SquaredLength() > kSupportSpread * kSupportSpread) return true;
  }
  return false;
}
}  // namespace

// ---- Resting bodies -----------------------------------------------------------------

void CollisionManager::settleRestingBodies() {
  // A pair of one or two contacts alone holds a body on a point or a line,
  // on which it may still tip; several such pairs that touch it at three
  // points not on one line hold it as one pair of three does. Without them
  // a body on an edge on the ground that leans on another, or one wedged
  // between others, is never put to rest and keeps its pile awake.
  restingTouches.clear();
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    const CollisionPair* pair = node->value;
    if (pair->contactCount >= kRestingContacts || pair->firstBody == nullptr || pair->secondBody == nullptr) continue;
    const RBDynamics& first = pair->firstBody->getDyn();
    const RBDynamics& second = pair->secondBody->getDyn();
    for (std::uint32_t i = 0; i < std::min(pair->contactCount, kMaxPairContacts); ++i) {
      restingTouches.emplace_back(pair->firstBody, first.orientation * pair->points[i] + first.position);
      restingTouches.emplace_back(pair->secondBody, second.orientation * pair->secondPoints[i] + second.position);
    }
  }
  // Grouped by body; each body's points keep the pairs' order.
  std::stable_sort(restingTouches.begin(), restingTouches.end(),
                   [](const auto& a, const auto& b) { return std::less<HardBody*>()(a.first, b.first); });
  touchHeldBodies.clear();
  for (auto begin = restingTouches.begin(); begin != restingTouches.end();) {
    auto end = begin;
    while (end != restingTouches.end() && end->first == begin->first) ++end;
    if (end - begin >= static_cast<std::ptrdiff_t>(kRestingContacts) && spansTriangle(begin, end)) {
      touchHeldBodies.push_back(begin->first);
    }
    begin = end;
  }
  const auto heldByTouches = [this](HardBody* body) {
    return std::binary_search(touchHeldBodies.begin(), touchHeldBodies.end(), body, std::less<HardBody*>());
  };
  for (auto* node = stepPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    if (pair->firstBody == nullptr || pair->secondBody == nullptr) continue;
    HardBody* A = pair->firstBody;
    HardBody* B = pair->secondBody;
    if (pair->contactCount < kRestingContacts) {
      // The body the pair may put to rest: the second only when the first
      // sleeps on it.
      HardBody* resting = !B->isStatic() && B->isActive() ? B : A;
      if (pair->contactCount == 0 || !heldByTouches(resting)) continue;
    }
    if (B->isStatic()) {
      if (A->isActive() && isRestingBody(A, pairprocessing::kRestThreshold)) {
        zeroMotion(A);
        A->deActivate();
      }
    } else if (B->isActive()) {
      if (A->isActive()) continue;
      if (!isRestingBody(A, pairprocessing::kRestThreshold)) {
        A->activate();
      } else if (isRestingBody(B, pairprocessing::kSupportRestThreshold)) {
        zeroMotion(B);
        B->deActivate();
      }
    } else {
      if (!A->isActive()) continue;
      if (!isRestingBody(B, pairprocessing::kRestThreshold)) {
        B->activate();
      } else if (isRestingBody(A, pairprocessing::kSupportRestThreshold)) {
        zeroMotion(A);
        A->deActivate();
      }
    }
  }
}

void CollisionManager::alignRestingBodies() {
  for (auto* node = crackerPairs.getFirst(); node != nullptr; node = node->next) {
    CollisionPair* pair = node->value;
    HardBody* A = pair->firstBody;
    HardBody* C = pair->secondBody;
    if (A == nullptr || C == nullptr || (C->getType() != kCrackerBody && C->getType() != kCapsuleBody)) continue;
    ZOVcapsule rim;
    if (!static_cast<const CapsuleBody*>(C)->placedCapsule(rim)) continue;
    const double r = rim.radius;
    const MgcVector3& c = rim.center;
    const RBDynamics& state = A->getDyn();
    const MgcVector3 up(state.orientation[0][2], state.orientation[1][2], state.orientation[2][2]);
    MgcVector3 Z(0.0, 0.0, 1.0);
    if (!(up.Dot(Z) > kUprightDot)) continue;
    double h = (state.position - c).Dot(Z);
    if (h < 0.0) {
      Z = -Z;
      h = -h;
    }
    // A body above the rim's reach has no place on it.
    if (h > r) continue;
    const MgcVector3 q = c + Z * h;
    MgcVector3 u = state.position - q;
    if (u.Unitize(zov::kUnitizeTolerance) <= zov::kUnitizeTolerance) continue;
    const MgcVector3 s = q + u * (2.0 * std::sqrt(r * r - h * h));
    MgcVector3 w = (c + Z * r) - s;
    if (w.Unitize(zov::kUnitizeTolerance) <= zov::kUnitizeTolerance) continue;
    const MgcVector3 a = u.Cross(w);
    const double sine = std::min(1.0, a.Length());
    const double angle = std::asin(sine);
    const double reach = (state.position - s).Length();
    if (angle > zov::kTolerance) {
      // rotate takes an angular impulse: the inertia turns the rotation
      // vector into one.
      const MgcVector3 turn = a * (angle / a.Length());
      A->rotate(A->getDyn().worldInertia * turn);
    }
    const MgcVector3 target = s + w * reach;
    if (auto* plain = dynamic_cast<PrivateHardBody*>(A)) {
      plain->moveTo(MgcVector3(), target);
    } else {
      A->setPosition(target);
    }
  }
}

// ---- Point-mass impact ----------------------------------------------------------------

void CollisionManager::resolveBodyImpact(double restitution, double friction, const MgcVector3& point,
                                         double partnerInvMass, const MgcVector3& normal, MgcVector3& partnerVelocity,
                                         HardBody* body) {
  if (body == nullptr || !g_lsqrSystems[0]) return;
  const double e = std::min(restitution, body->getRestitutionCoeff());
  const double mu = std::min(friction, body->getFrictionCoeff());
  const RBDynamics& state = body->getDyn();
  const MgcVector3 r = point - state.position;
  MgcVector3 u = partnerVelocity;
  if (contactkinematics::energyOf(*body) > zov::kTolerance) u -= contactkinematics::velocityAt(state, point);
  const double vn = u.Dot(normal);
  if (vn > zov::kTolerance) return;

  // K J is the change of the relative velocity that the impulse J on the
  // partner (and -J on the body) makes.
  MgcMatrix3 K = MgcMatrix3::IDENTITY * partnerInvMass;
  if (!body->isStatic()) {
    const MgcMatrix3 rx = impactCrossMatrix(r);
    K = K + MgcMatrix3::IDENTITY * body->getInvMass() - rx * state.worldInvInertia * rx;
  }
  LsqrSystem& system = *g_lsqrSystems[0];
  dmat* A = nullptr;
  dvec* b = nullptr;
  dvec* x = nullptr;
  if (!system.prepare(3, A, b, x)) return;
  const MgcVector3 target = normal * (-e * vn) - u;
  for (int row = 0; row < 3; ++row) {
    dvec line = getMatrixRow(A, static_cast<std::uint32_t>(row));
    for (int col = 0; col < 3; ++col) line.elements[col] = K[row][col];
    b->elements[row] = target[row];
  }
  if (!system.solve(3, A, b, x)) return;
  MgcVector3 J(x->elements[0], x->elements[1], x->elements[2]);

  const double along = J.Dot(normal);
  const MgcVector3 tangential = J - normal * along;
  if (tangential.Length() > mu * along) {
    // Sliding: the impulse lies on the friction cone, against the slide,
    // and still turns the approach into -e vn.
    MgcVector3 t = u - normal * vn;
    if (t.Unitize(zov::kUnitizeTolerance) <= zov::kUnitizeTolerance) {
      t = -tangential;
      t.Unitize(zov::kUnitizeTolerance);
    }
    const MgcVector3 direction = normal - t * mu;
    const double denominator = normal.Dot(K * direction);
    if (!(std::fabs(denominator) > zov::kTolerance)) return;
    J = direction * (-(1.0 + e) * vn / denominator);
  }
  partnerVelocity += J * partnerInvMass;
  if (!body->isStatic()) body->applyImpulse(-J, point);
}
