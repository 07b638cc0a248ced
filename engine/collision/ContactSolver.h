#pragma once

#include <cstdint>

class CollisionPair;
class ContactManifold;
class HardBody;
struct dmat;
struct dvec;

/// The rows that contact manifolds add to the resting-contact systems: one
/// unknown per manifold point, the magnitude of the impulse that pushes the
/// manifold's body B off its support along the point's normal (-lambda n on
/// B). B is the manifold's body, or its parent when it has one. Points are
/// the manifold's midpoints; lever arms are taken about B's position. Every
/// entry is scaled by the system scale s.
class ContactSolver {
 public:
  ContactSolver() = delete;

  /// The body the manifold's impulses act on.
  static HardBody* solverBody(const ContactManifold& manifold);
  /// Right-hand side of row offset + k: s (n_k . (v_B + w_B x r_k)), B's
  /// approach along the normal.
  static void applyImpulses(const ContactManifold& manifold, double s, dvec* rhs, std::uint32_t offset);
  /// The manifold's diagonal block: entry (k, l) = n_k . ((s/m_B) I - [r_k]
  /// s I_B^-1 [r_l]) n_l.
  static void resolveList(const ContactManifold& manifold, double s, dmat* matrix, std::uint32_t offset);
  /// The coupling of two manifolds acting on one body (both entries); none
  /// for different bodies.
  static void resolveGroup(const ContactManifold& a, const ContactManifold& b, double s, dmat* matrix,
                           std::uint32_t offsetA, std::uint32_t offsetB);
  /// The coupling of a manifold with the pair's contact rows (from
  /// contactOffset), when B is one of the pair's bodies: the contact impulse
  /// acts on B with sign +1 as the first body and -1 as the second.
  static void resolvePair(const ContactManifold& manifold, const CollisionPair& pair, double s, dmat* matrix,
                          std::uint32_t contactOffset, std::uint32_t offset);
  /// Applies -lambda_k n_k to B at each unmarked point's midpoint, lambda_k
  /// read from x at offset, offset + 1, ... in the order of the unmarked
  /// points. Nothing for a static B; nothing either, and the current flag
  /// cleared, when the impulse limit applies and the summed impulse exceeds it.
  static void bodyPass(ContactManifold& manifold, const dvec* x, std::uint32_t offset);
};
