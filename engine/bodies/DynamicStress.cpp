#include "engine/bodies/DynamicStress.h"

#include <cmath>
#include <cstring>

#include "engine/bodies/PrivateHardBody.h"
#include "engine/solver/Lsqr.h"
#include "engine/solver/LsqrSystem.h"
#include "math/Finite.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// [r]: the matrix of the cross product r x.
MgcMatrix3 crossMatrix(const MgcVector3& r) { return {0.0, -r.z, r.y, r.z, 0.0, -r.x, -r.y, r.x, 0.0}; }

MgcVector3 pointVelocity(const RBDynamics& s, const MgcVector3& a) {
  return s.linearVelocity + s.angularVelocity.Cross(a - s.position);
}

/// Whether the relative motion is too small to need an impulse: every linear
/// right-hand side below the tolerance and, with torsion, every component of
/// the relative spin.
bool agreesAlready(const double rhs[3], const MgcVector3& spin, int n) {
  for (int i = 0; i < 3; ++i)
    if (!(std::fabs(rhs[i]) < zov::kTolerance)) return false;
  if (n == 3) return true;
  return std::fabs(spin.x) < zov::kTolerance && std::fabs(spin.y) < zov::kTolerance &&
         std::fabs(spin.z) < zov::kTolerance;
}

/// Solves the n x n system whose matrix is made of the 3 x 3 blocks
/// [A00 A01; A10 A11] (only A00 for n = 3) on least-squares system t. The
/// result holds the linear solution in row 0 and the angular one in row 1.
MgcMatrix3 solveJointSystem(int t, int n, const double rhs[6], const MgcMatrix3& A00, const MgcMatrix3& A01,
                            const MgcMatrix3& A10, const MgcMatrix3& A11) {
  MgcMatrix3 result;
  if (t < 0 || t >= static_cast<int>(kLsqrSystemCount) || !g_lsqrSystems[t]) return result;
  LsqrSystem& system = *g_lsqrSystems[t];
  dmat* A = nullptr;
  dvec* b = nullptr;
  dvec* x = nullptr;
  if (!system.prepare(n, A, b, x)) return result;
  setMatrixDiagonal(A, 1.0);
  const MgcMatrix3* blocks[2][2] = {{&A00, &A01}, {&A10, &A11}};
  const int blockCount = n / 3;
  for (int br = 0; br < blockCount; ++br) {
    for (int bc = 0; bc < blockCount; ++bc) {
      const MgcMatrix3& block = *blocks[br][bc];
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) A->data[(3 * br + r) * A->stride + 3 * bc + c] = block[r][c];
    }
  }
  for (int i = 0; i < n; ++i) b->elements[i] = rhs[i];
  if (!system.solve(n, A, b, x)) return result;
  for (int i = 0; i < 3; ++i) result[0][i] = x->elements[i];
  if (n == 6)
    for (int i = 0; i < 3; ++i) result[1][i] = x->elements[3 + i];
  return result;
}

}  // namespace

void setMatrixDiagonal(dmat* matrix, double value) {
  if (matrix == nullptr || matrix->data == nullptr) return;
  for (std::uint32_t r = 0; r < matrix->rows; ++r)
    for (std::uint32_t c = 0; c < matrix->columns; ++c) matrix->data[r * matrix->stride + c] = 0.0;
  for (std::uint32_t i = 0; i < matrix->rows && i < matrix->columns; ++i)
    matrix->data[(matrix->stride + 1) * i] = value;
}

void applyImpulseAtPoint(PrivateHardBody* b, const MgcVector3& J, const MgcVector3& p, int t) {
  if (b == nullptr || !zov::isFinite(J) || !zov::isFinite(p)) return;
  RBDynamics* s = b->getWorkerDyn(t);
  if (s == nullptr) return;
  s->linearVelocity += J * s->invMass;
  s->angularMomentum += (p - s->position).Cross(J);
  s->angularVelocity = s->worldInvInertia * s->angularMomentum;
}

void DynamicStress::enableProcessedThread(int t) {
  if (isThreadSlot(t)) processedByThread[t] = 1;
}

void DynamicStress::disableProcessedThread(int t) {
  if (isThreadSlot(t)) processedByThread[t] = 0;
}

bool DynamicStress::isProcessedThread(int t) const { return isThreadSlot(t) && processedByThread[t] != 0; }

void DynamicStress::storeInitialState(std::uint32_t mask) {
  const std::uint32_t bits = flags & mask;
  if (bits != 0) {
    initialFlags |= bits;
  } else {
    initialFlags &= ~mask;
  }
}

void DynamicStress::setName(const char* text) {
  if (text == nullptr) {
    name[0] = '\0';
    return;
  }
  std::size_t length = 0;
  while (length < kJointNameLength - 1 && text[length] != '\0') ++length;
  std::memcpy(name, text, length);
  name[length] = '\0';
}

bool DynamicStress::attach(const MgcVector3& p, int count, PrivateHardBody* first, PrivateHardBody* second) {
  if ((first == nullptr && second == nullptr) || count < 0) return false;
  if (first != nullptr && second != nullptr) {
    pNode = first;
    cNode = second;
    pAnchor = first->getDyn().orientation.Transpose() * (p - first->getDyn().position);
    first->enableJoined();
  } else {
    cNode = first != nullptr ? first : second;
    pNode = nullptr;
    pAnchor = p;
  }
  cNode->enableJoined();
  cAnchor = cNode->getDyn().orientation.Transpose() * (p - cNode->getDyn().position);
  flags |= kJointActive;
  return true;
}

bool DynamicStress::setAnchor(const MgcVector3* p) {
  if (p == nullptr || cNode == nullptr) return false;
  pAnchor = pNode != nullptr ? pNode->getDyn().orientation.Transpose() * (*p - pNode->getDyn().position) : *p;
  cAnchor = cNode->getDyn().orientation.Transpose() * (*p - cNode->getDyn().position);
  return true;
}

MgcVector3 DynamicStress::worldAnchorMidpoint() const {
  const MgcVector3 a = pNode != nullptr ? pNode->getDyn().orientation * pAnchor + pNode->getDyn().position : pAnchor;
  const MgcVector3 c = cNode != nullptr ? cNode->getDyn().orientation * cAnchor + cNode->getDyn().position : cAnchor;
  return (a + c) * 0.5;
}

MgcVector3 DynamicStress::direction() const {
  if (cNode == nullptr || pNode == nullptr) return MgcVector3();
  MgcVector3 d = pNode->getDyn().position - cNode->getDyn().position;
  d.Unitize(zov::kUnitizeTolerance);
  return d;
}

MgcMatrix3 DynamicStress::computeBodyImpulse(PrivateHardBody* b, int t) {
  if (b == nullptr || (b != cNode && b != pNode)) return MgcMatrix3();
  const RBDynamics* state = b->getWorkerDyn(t);
  const RBDynamics* cState = cNode->getWorkerDyn(t);
  const RBDynamics* pState = pNode != nullptr ? pNode->getWorkerDyn(t) : nullptr;
  if (state == nullptr || cState == nullptr || (pNode != nullptr && pState == nullptr)) return MgcMatrix3();

  const int n = getNDofs();
  const MgcVector3 a = worldAnchorMidpoint();
  const double m = 1.0 / state->invMass;
  const MgcVector3 r = a - state->position;
  const double sign = b == cNode ? 1.0 : -1.0;

  const MgcVector3 P = pState != nullptr ? pointVelocity(*pState, a) : MgcVector3();
  const MgcVector3 C = pointVelocity(*cState, a);
  const MgcVector3 pSpin = pState != nullptr ? pState->angularVelocity : MgcVector3();
  const MgcVector3 spin = (cState->angularVelocity - pSpin) * sign;
  double rhs[6] = {};
  for (int i = 0; i < 3; ++i) rhs[i] = -sign * m * (P[i] - C[i]);
  if (agreesAlready(rhs, spin, n)) return MgcMatrix3();
  for (int i = 0; i < 3; ++i) rhs[3 + i] = m * spin[i];

  const MgcMatrix3 S = crossMatrix(r);
  const MgcMatrix3 M = state->worldInvInertia * m;
  MgcMatrix3 identity;
  identity.SetIdentity();
  return solveJointSystem(t, n, rhs, identity - S * M * S, -(S * M), M * S, M);
}

MgcMatrix3 DynamicStress::computeConstraintImpulse() {
  if (cNode == nullptr || pNode == nullptr) return MgcMatrix3();
  if (pNode->isStatic()) return computeBodyImpulse(cNode, 0);
  const RBDynamics* cState = cNode->getWorkerDyn(0);
  const RBDynamics* pState = pNode->getWorkerDyn(0);
  if (cState == nullptr || pState == nullptr) return MgcMatrix3();

  const int n = getNDofs();
  const MgcVector3 a = worldAnchorMidpoint();
  const double mP = 1.0 / pNode->getDyn().invMass;
  const double mC = 1.0 / cNode->getDyn().invMass;
  const double s = mP * mC;
  const MgcVector3 rC = a - cState->position;
  const MgcVector3 rP = a - pState->position;

  // The break energy pushes the two sides apart along the joint's direction.
  MgcVector3 d = pNode->getDyn().position - cNode->getDyn().position;
  d.Unitize(zov::kUnitizeTolerance);
  const MgcVector3 P = pointVelocity(pNode->getDyn(), a) + d * breakEnergy;
  const MgcVector3 C = pointVelocity(cNode->getDyn(), a) - d * breakEnergy;
  const MgcVector3 spin = cState->angularVelocity - pState->angularVelocity;
  double rhs[6] = {};
  for (int i = 0; i < 3; ++i) rhs[i] = -s * (P[i] - C[i]);
  if (agreesAlready(rhs, spin, n)) return MgcMatrix3();
  for (int i = 0; i < 3; ++i) rhs[3 + i] = s * spin[i];

  const MgcMatrix3 SC = crossMatrix(rC);
  const MgcMatrix3 SP = crossMatrix(rP);
  const MgcMatrix3 MC = cState->worldInvInertia * s;
  const MgcMatrix3 MP = pState->worldInvInertia * s;
  MgcMatrix3 identity;
  identity.SetIdentity();
  const MgcMatrix3 A00 = identity * (s * (1.0 / mP + 1.0 / mC)) - SC * MC * SC - SP * MP * SP;
  return solveJointSystem(0, n, rhs, A00, -(SC * MC + SP * MP), MC * SC + MP * SP, MP + MC);
}

void DynamicStress::applyConstraintImpulse(const double x[6], double f, int t) {
  if (cNode == nullptr || pNode == nullptr || x == nullptr) return;
  RBDynamics* cState = cNode->getWorkerDyn(t);
  RBDynamics* pState = pNode->getWorkerDyn(t);
  if (cState == nullptr || pState == nullptr) return;
  const MgcVector3 linear = MgcVector3(x[0], x[1], x[2]) * f;
  const MgcVector3 angular = MgcVector3(x[3], x[4], x[5]) * f;
  if (!zov::isFinite(linear) || !zov::isFinite(angular)) return;
  if (linear.Length() > zov::kTolerance) {
    const MgcVector3 a = worldAnchorMidpoint();
    applyImpulseAtPoint(cNode, -linear, a, t);
    applyImpulseAtPoint(pNode, linear, a, t);
  }
  if (angular.Length() > zov::kTolerance) {
    cState->angularMomentum -= angular;
    cState->angularVelocity = cState->worldInvInertia * cState->angularMomentum;
    pState->angularMomentum += angular;
    pState->angularVelocity = pState->worldInvInertia * pState->angularMomentum;
  }
}

void DynamicStress::transferVelocity(PrivateHardBody* b, double f, int t) {
  if (b == nullptr) return;
  PrivateHardBody* source = b != cNode ? cNode : pNode;
  if (source == nullptr || !std::isfinite(f)) return;
  RBDynamics* target = b->getWorkerDyn(t);
  const RBDynamics* from = source->getWorkerDyn(t);
  if (target == nullptr || from == nullptr) return;
  target->linearVelocity = from->linearVelocity * f;
  target->angularVelocity = from->angularVelocity * f;
  target->angularMomentum = target->worldInertia * target->angularVelocity;
}
