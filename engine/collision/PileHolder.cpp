// The pile holding of a step's resting-contact processing (PileHolder.h).

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "engine/bodies/CompoundPieces.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactKinematics.h"
#include "engine/collision/PairProcessingCommon.h"
#include "engine/collision/PileHolder.h"
#include "engine/collision/SolverWorkspace.h"
#include "engine/collision/threads/LevelOrder.h"
#include "engine/collision/threads/WorkerPool.h"
#include "engine/solver/ContactBlocks.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// The weight of the sideways parts of the impulses that hold a body on its
/// supports against their parts along the normals: the hold asks for the
/// impulses that are least in its units, whose sideways parts count
/// 1 / kHoldSideways^2 times.
constexpr double kHoldSideways = 0.1;
/// A pivot of a body's 6 x 6 hold system below this share of its largest
/// diagonal entry counts as zero: the contacts do not pin the body. Points
/// off one line by a share s of the body's reach leave a pivot of about s^2:
/// two contacts along a tile's edge, held as pinned, would be stopped by
/// turning the tile about that edge at hundreds of turns a second. At this
/// share points within about 1% of a line count as on it, and the hold
/// falls back to the shortest impulses, which leave that turn alone.
constexpr double kPinnedPivot = 1e-4;
/// How many times its kinetic energy a hold may leave a body with: a body
/// resting on slow supports is stopped, or taken along with them, by much
/// less.
constexpr double kHoldEnergyGrowth = 2.0;
/// And the speed (m/s) whose kinetic energy counts with it: a body come to
/// rest takes that much from supports still settling under it.
constexpr double kHoldKickFloor = 0.003;
/// A contact standing apart that the body, as it moves, would leave apart
/// by more than it travels at this speed (m/s) in the step carries nothing
/// and is left out of the hold: about what gravity gives a body in an
/// integration step (9.81 / 300). Asked to close its gap exactly, as a
/// contact that touches is asked to stop, a gap of millimetres (the far end
/// of a tile lying at a slight angle on the next) would turn the body onto
/// it at a fraction of a metre a second.
constexpr double kApartSpeed = 0.03;
/// Contact normals within this cosine of each other lie in one plane, for
/// the tipping of a pile.
constexpr double kOnePlaneCosine = 0.999;
/// Most contact points of the region a body's supports hold it on; a body
/// held on more is not judged to tip.
constexpr std::uint32_t kMaxRegion = 64;
/// A face whose normal lies within this cosine of the normal of a body's
/// contacts with its supports is a face the body rests on, or a support's
/// face under it: its corners hold the body up where the other reaches,
/// whether or not a contact was found there.
constexpr double kFacingFace = 0.95;
/// A load whose centre lies within this (m) of the body's own, across
/// gravity, is centred over it.
constexpr double kCentredLoad = 1e-3;
/// A region of support points thinner than this (m) is a line, on which the
/// body rocks: the edge it turns about.
constexpr double kThinRegion = 1e-3;
/// A pile's centre of mass tips a body over the edge of the region its
/// supports hold it on when it lies past it by more than this share of the
/// region's width: nearer, the pile balances on the edge.
constexpr double kTippingMargin = 0.01;

/// A symmetric 6 x 6 system over a body's motion: three rows of linear
/// motion, three of turn. Only the lower triangle of `a` is kept: the
/// factoring and the substitutions read nothing else. Its loops are
/// unrolled: at these sizes counting them costs as much as their arithmetic.
struct MotionSystem {
  double a[6][6] = {};
  double b[6] = {};

  /// a += A_i^T D A_i for the contact of arm r, where A_i = [I, -[r]] takes
  /// the body's motion (velocity, turn rate) to the point's velocity and D
  /// is the symmetric weight w I + (1 - w) n n^T (unit n; the identity for
  /// w = 1): w A_i^T A_i plus (1 - w) q q^T, q = A_i^T n = (n, r x n).
  void addContact(const MgcVector3& r, const MgcVector3& n, double w) {
    // A_i^T A_i = [I, -[r]; [r], -[r][r]], with -[r][r] = |r|^2 I - r r^T.
    const double rr = r.Dot(r);
    const double arm[3] = {r.x, r.y, r.z};
#pragma GCC unroll 6
    for (int j = 0; j < 3; ++j) {
      a[j][j] += w;
      a[j + 3][j + 3] += w * rr;
#pragma GCC unroll 6
      for (int k = 0; k <= j; ++k) a[j + 3][k + 3] -= w * arm[j] * arm[k];
    }
    // [r] in the lower left.
    a[4][0] += w * r.z;
    a[5][0] -= w * r.y;
    a[3][1] -= w * r.z;
    a[5][1] += w * r.x;
    a[3][2] += w * r.y;
    a[4][2] -= w * r.x;
    if (w == 1.0) return;
    const MgcVector3 m = r.Cross(n);
    const double q[6] = {n.x, n.y, n.z, m.x, m.y, m.z};
    const double s = 1.0 - w;
#pragma GCC unroll 6
    for (int j = 0; j < 6; ++j) {
#pragma GCC unroll 6
      for (int k = 0; k <= j; ++k) a[j][k] += s * q[j] * q[k];
    }
  }
  /// b += A_i^T v: the force and moment about the body's position of v
  /// at the contact of arm r.
  void addLoad(const MgcVector3& r, const MgcVector3& v) {
    const MgcVector3 moment = r.Cross(v);
#pragma GCC unroll 6
    for (int k = 0; k < 3; ++k) {
      b[k] += v[k];
      b[k + 3] += moment[k];
    }
  }
  /// Solves a x = b in place of b by Cholesky; false when a pivot falls
  /// below kPinnedPivot of the largest diagonal entry (the contacts leave
  /// the body free to move some way).
  bool solve() {
    if (!factor(kPinnedPivot, 0.0)) return false;
    substitute(b);
    return true;
  }
  /// Factors a = L L^T in place (L in the lower triangle), `added` times the
  /// largest diagonal entry first added to the diagonal; false when a pivot
  /// falls below `pivot` times that entry.
  bool factor(double pivot, double added) {
    double largest = 0.0;
#pragma GCC unroll 6
    for (int k = 0; k < 6; ++k) largest = std::max(largest, a[k][k]);
    if (!(largest > 0.0)) return false;
#pragma GCC unroll 6
    for (int k = 0; k < 6; ++k) a[k][k] += added * largest;
#pragma GCC unroll 6
    for (int j = 0; j < 6; ++j) {
      double d = a[j][j];
#pragma GCC unroll 6
      for (int k = 0; k < j; ++k) d -= a[j][k] * a[j][k];
      if (!(d > pivot * largest)) return false;
      a[j][j] = std::sqrt(d);
#pragma GCC unroll 6
      for (int i = j + 1; i < 6; ++i) {
        double e = a[i][j];
#pragma GCC unroll 6
        for (int k = 0; k < j; ++k) e -= a[i][k] * a[j][k];
        a[i][j] = e / a[j][j];
      }
    }
    return true;
  }
  /// Solves L L^T x = y in place of y, a factored.
  void substitute(double* y) const {
#pragma GCC unroll 6
    for (int i = 0; i < 6; ++i) {
#pragma GCC unroll 6
      for (int k = 0; k < i; ++k) y[i] -= a[i][k] * y[k];
      y[i] /= a[i][i];
    }
#pragma GCC unroll 6
    for (int i = 5; i >= 0; --i) {
#pragma GCC unroll 6
      for (int k = i + 1; k < 6; ++k) y[i] -= a[k][i] * y[k];
      y[i] /= a[i][i];
    }
  }
};

/// Rounds of spreadIntoCones before it gives up; it gives up sooner when
/// what a round moves into the cones is more than kSpreadStall of what the
/// round before moved: the impulses then near a least distance from the
/// cones, not the cones (the projections slow down as they near a set
/// that is in both).
constexpr int kSpreadRounds = 16;
constexpr double kSpreadStall = 0.9;
/// The cones spreadIntoCones projects into are this share of the friction
/// cones, their tips raised along the normals by kSpreadFloor of the load
/// shared among the contacts, so that impulses near an edge after a round
/// are within the whole cones.
constexpr double kSpreadCone = 0.98;
constexpr double kSpreadFloor = 0.02;
/// What spreadIntoCones adds to the diagonal of its system, as a share of
/// the largest entry: contacts on a line leave the system singular, and the
/// impulses it gives do not turn the body about that line at all.
constexpr double kSpreadRidge = 1e-10;

/// The point nearest (a, t) in the cone |t| <= m a, a along the normal and t
/// across it.
void nearestInCone(double& a, MgcVector3& t, double m) {
  const double across = t.Length();
  if (across <= m * a) return;
  if (m * across <= -a) {
    a = 0.0;
    t = MgcVector3();
    return;
  }
  a = (a + m * across) / (1.0 + m * m);
  t *= m * a / across;
}

/// The impulses T_i (totals) that stop a body on supports held still: of
/// those that take the contacts' relative velocities away (in the least
/// squares, as the shortest impulses would), the ones that ask least
/// friction, their sideways parts weighing 1 / kHoldSideways^2. C_i is what
/// each contact carried in the passes. Contacts marked in `pulling` on entry
/// take no part; a contact whose impulse would pull is taken out (marked,
/// the first in order) and the rest solved again. A contact taken out gives
/// back what it carried (its T_i is 0). False when the kept contacts do not
/// pin the body (a point, or points on a line) or none is kept.
///
/// With A the map of the body's motion to the contacts' velocities and M
/// its mass and inertia: the motion change that best stops the contacts is
/// dx = -(A^T A)^-1 A^T u, which the impulses give when A^T T = M dx +
/// A^T C, C over every contact, the ones taken out too: the body is then
/// left at rest on the kept contacts, not moving by what the others gave
/// back. The least weighted of those T is T = D A (A^T D A)^-1 (M dx + A^T
/// C), D the kept contacts' weights. Unless `takeOut`, no contact is taken
/// out: the impulses may pull. When `first` is given, the impulses of the
/// first solve, before any contact is taken out, are written there too, and
/// `firstSolved` says whether that solve was made.
bool holdWithLeastFriction(const RBDynamics& state, double mass, std::uint32_t n, const MgcVector3* arms,
                           const MgcVector3* normals, const MgcVector3* relative, const MgcVector3* carried,
                           std::uint8_t* pulling, MgcVector3* totals, bool takeOut = true, MgcVector3* first = nullptr,
                           bool* firstSolved = nullptr) {
  if (firstSolved != nullptr) *firstSolved = false;
  // What every contact carried, taken out or not, is the same in each round.
  MotionSystem carriedLoad;
  for (std::uint32_t i = 0; i < n; ++i) carriedLoad.addLoad(arms[i], carried[i]);
  for (std::uint32_t kept = n; kept != 0; --kept) {
    MotionSystem stop;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (pulling[i] != 0) continue;
      stop.addContact(arms[i], normals[i], 1.0);
      stop.addLoad(arms[i], -relative[i]);
    }
    // Contacts at a point or on a line, which do not pin the body, end here
    // before the system of least friction is made.
    if (!stop.solve()) return false;
    MotionSystem least;
    std::copy(carriedLoad.b, carriedLoad.b + 6, least.b);
    for (std::uint32_t i = 0; i < n; ++i) {
      if (pulling[i] == 0) least.addContact(arms[i], normals[i], kHoldSideways * kHoldSideways);
    }
    const MgcVector3 linear(stop.b[0], stop.b[1], stop.b[2]);
    const MgcVector3 turn(stop.b[3], stop.b[4], stop.b[5]);
    const MgcVector3 momentum = linear * mass;
    const MgcVector3 angular = state.worldInertia * turn;
    for (int k = 0; k < 3; ++k) {
      least.b[k] += momentum[k];
      least.b[k + 3] += angular[k];
    }
    if (!least.solve()) return false;
    const MgcVector3 push(least.b[0], least.b[1], least.b[2]);
    const MgcVector3 spin(least.b[3], least.b[4], least.b[5]);
    std::uint32_t pulls = n;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (pulling[i] != 0) {
        totals[i] = MgcVector3();
        continue;
      }
      // D_i A_i (push, spin).
      const MgcVector3 v = push + spin.Cross(arms[i]);
      const double along = v.Dot(normals[i]);
      totals[i] = v * (kHoldSideways * kHoldSideways) + normals[i] * ((1.0 - kHoldSideways * kHoldSideways) * along);
      if (pulls == n && totals[i].Dot(normals[i]) < -zov::kTolerance) pulls = i;
    }
    if (first != nullptr && kept == n) {
      std::copy(static_cast<const MgcVector3*>(totals), static_cast<const MgcVector3*>(totals) + n, first);
      *firstSolved = true;
    }
    if (pulls == n || !takeOut) return true;
    pulling[pulls] = 1;
    totals[pulls] = MgcVector3();
  }
  return false;
}
/// Every found contact of a body's support pairs, seen from the body: its
/// point and arm, the normal from the support towards the body, the
/// velocity relative to the support, the impulse it carried in the passes,
/// its pair's friction, and whether it stands apart.
struct HeldContacts {
  ContactVectors points;
  ContactVectors arms;
  ContactVectors normals;
  ContactVectors relative;
  ContactVectors supportVelocities;
  ContactVectors carried;
  double friction[kMaxPairContacts];
  std::uint8_t apart[kMaxPairContacts];
  std::uint32_t count = 0;
};

/// The velocity of the support of `body` in `pair` at the contact in `slot`,
/// which lies at `point` on the body.
MgcVector3 supportVelocityAtSlot(const HardBody& body, const CollisionPair& pair, std::uint32_t slot,
                                 const MgcVector3& point) {
  const bool first = pair.firstBody == &body;
  const HardBody* support = first ? pair.secondBody : pair.firstBody;
  return first && support->isStatic() ? pair.staticVelocity(slot)
                                      : contactkinematics::velocityAt(support->getDyn(), point);
}

/// Where the contact in `slot` of `pair` lies on `body`.
MgcVector3 pointAtSlot(const HardBody& body, const CollisionPair& pair, std::uint32_t slot) {
  const RBDynamics& state = body.getDyn();
  return state.orientation * (pair.firstBody == &body ? pair.points[slot] : pair.secondPoints[slot]) + state.position;
}

/// Gathers the contacts of `supports` (pairs of `body`) into `held`; false
/// when they do not fit in one system.
template <typename Pairs>
bool gatherHeldContacts(const HardBody& body, const Pairs& supports, double closingRate, HeldContacts& held) {
  const RBDynamics& state = body.getDyn();
  std::uint32_t n = 0;
  for (const CollisionPair* pair : supports) {
    const bool first = pair->firstBody == &body;
    const CollisionPair::FoundContacts& found = pair->found;
    if (n + found.count > kMaxPairContacts) return false;
    for (std::uint32_t k = 0; k < found.count; ++k, ++n) {
      const std::uint32_t slot = pair->foundSlot(k);
      const MgcVector3 point = pointAtSlot(body, *pair, slot);
      held.points[n] = point;
      held.arms[n] = point - state.position;
      held.normals[n] = first ? pair->normals[slot] : -pair->normals[slot];
      const MgcVector3 supportVelocity = supportVelocityAtSlot(body, *pair, slot, point);
      held.supportVelocities[n] = supportVelocity;
      held.relative[n] = contactkinematics::velocityAt(state, point) - supportVelocity;
      // A contact standing apart holds only what would close its gap, as in
      // the pairs' solves.
      const double gap = closingGap(found.depths[k]);
      if (gap > 0.0) held.relative[n] += held.normals[n] * (gap * closingRate);
      held.apart[n] = gap > 0.0 ? 1 : 0;
      held.carried[n] = first ? found.carried[k] : -found.carried[k];
      held.friction[n] = pair->friction;
    }
  }
  held.count = n;
  return true;
}

/// A contact that would pull in the impulses that ask least friction may
/// push in others that stop the body as well: a tile lying on the next one,
/// its foot on the ground, held only on the contacts those impulses leave,
/// which lie on a line, would turn about them. Where a contact that touches
/// was taken out (`pulling`), the body is stopped on every contact that
/// touches instead, if some impulses in the friction cones do that: those
/// replace `totals` and the marks. `every` holds the first solve's impulses
/// on every contact when `everySolved`.
void holdOnEveryTouchingContact(const RBDynamics& state, double mass, const HeldContacts& held, bool everySolved,
                                ContactVectors& every, std::uint8_t* pulling, ContactVectors& totals) {
  const std::uint32_t n = held.count;
  bool touchingOut = false;
  bool anyApart = false;
  for (std::uint32_t i = 0; i < n; ++i) {
    touchingOut = touchingOut || (pulling[i] != 0 && held.apart[i] == 0);
    anyApart = anyApart || held.apart[i] != 0;
  }
  if (!touchingOut) return;
  // Without a contact standing apart, the first solve was on just these.
  std::uint8_t out[kMaxPairContacts];
  std::copy(held.apart, held.apart + n, out);
  if (anyApart) {
    everySolved =
        holdWithLeastFriction(state, mass, n, held.arms, held.normals, held.relative, held.carried, out, every, false);
  }
  if (!everySolved || !pileholding::spreadIntoCones(n, held.arms, held.normals, held.friction, out, every)) return;
  for (std::uint32_t i = 0; i < n; ++i) {
    pulling[i] = out[i];
    totals[i] = out[i] != 0 ? MgcVector3() : every[i];
  }
}

/// Whether `body` weighs on what it rests on as a body of a pile: one that
/// moves, or a piece of a fracture body that moves (the piece moves with
/// it). A sleeping body has no pairs with the static and sleeping bodies it
/// also rests on.
bool weighsInPile(const HardBody& body) {
  const HardBody& mover = body.getParent() != nullptr ? *body.getParent() : body;
  return mover.isActive() && !mover.isStatic();
}

/// The convex hull of the n points `p` (1 to kMaxRegion) by the monotone
/// chain, counter-clockwise, into `hull` as indices of `p`, the first again
/// at the end; returns their count.
std::uint32_t planeHullOf(std::uint32_t n, const double (*p)[2], std::uint32_t* hull) {
  std::uint32_t order[kMaxRegion];
  for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
  std::sort(order, order + n, [&](std::uint32_t a, std::uint32_t b) {
    return p[a][0] != p[b][0] ? p[a][0] < p[b][0] : p[a][1] < p[b][1];
  });
  const auto turn = [&](std::uint32_t o, std::uint32_t a, std::uint32_t b) {
    return (p[a][0] - p[o][0]) * (p[b][1] - p[o][1]) - (p[a][1] - p[o][1]) * (p[b][0] - p[o][0]);
  };
  std::uint32_t k = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    while (k >= 2 && turn(hull[k - 2], hull[k - 1], order[i]) <= 0.0) --k;
    hull[k++] = order[i];
  }
  for (std::uint32_t i = n - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && turn(hull[k - 2], hull[k - 1], order[i]) <= 0.0) --k;
    hull[k++] = order[i];
  }
  return k;
}

/// How far the point q lies outside the convex hull of the n points `p` (at
/// most kMaxRegion), all in a plane's coordinates; inside, less than 0 by its
/// distance from the hull's edge. Points on a line span a segment (or a
/// point), on which a body rocks (`line` is set): q lies outside it along
/// the line past its ends, and across it only on the side away from `own`,
/// the body's own centre, towards which the rest of its base lies; past the
/// segment on that side, the body rocks back (0).
double outsideOfHull(std::uint32_t n, const double (*p)[2], const double* q, const double* own, bool& line) {
  line = true;
  if (n == 0) return 0.0;
  std::uint32_t hull[2 * kMaxRegion];
  const std::uint32_t k = planeHullOf(n, p, hull);
  // A hull thinner than kThinRegion is a segment: between its two points
  // farthest apart.
  double thickness = 0.0;
  if (k >= 4) {
    thickness = std::numeric_limits<double>::infinity();
    for (std::uint32_t e = 0; e + 1 < k; ++e) {
      const double* a = p[hull[e]];
      const double* b = p[hull[e + 1]];
      const double length = std::hypot(b[0] - a[0], b[1] - a[1]);
      double farthest = 0.0;
      for (std::uint32_t v = 0; v + 1 < k; ++v) {
        const double* c = p[hull[v]];
        farthest =
            std::max(farthest, std::fabs((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])) / length);
      }
      thickness = std::min(thickness, farthest);
    }
  }
  line = thickness < kThinRegion;
  if (line) {
    std::uint32_t ends[2] = {hull[0], hull[0]};
    double longest = -1.0;
    for (std::uint32_t i = 0; i < k; ++i) {
      for (std::uint32_t j = i + 1; j < k; ++j) {
        const double d = std::hypot(p[hull[j]][0] - p[hull[i]][0], p[hull[j]][1] - p[hull[i]][1]);
        if (d > longest) {
          longest = d;
          ends[0] = hull[i];
          ends[1] = hull[j];
        }
      }
    }
    const double* a = p[ends[0]];
    const double* b = p[ends[1]];
    const double d[2] = {b[0] - a[0], b[1] - a[1]};
    const double r[2] = {q[0] - a[0], q[1] - a[1]};
    const double o[2] = {own[0] - a[0], own[1] - a[1]};
    const double length = std::hypot(d[0], d[1]);
    if (!(length > 0.0)) return r[0] * o[0] + r[1] * o[1] < 0.0 ? std::hypot(r[0], r[1]) : 0.0;
    const double at = (r[0] * d[0] + r[1] * d[1]) / length;
    const double beyond = std::max({0.0, -at, at - length});
    const double across = (d[0] * r[1] - d[1] * r[0]) / length;
    const double ownAcross = d[0] * o[1] - d[1] * o[0];
    return std::hypot(beyond, across * ownAcross < 0.0 ? across : 0.0);
  }
  // Past the farthest edge whose outer side holds q; inside, less than 0 by
  // the distance to the nearest edge.
  double outside = -std::numeric_limits<double>::infinity();
  for (std::uint32_t e = 0; e + 1 < k; ++e) {
    const double* a = p[hull[e]];
    const double* b = p[hull[e + 1]];
    const double length = std::hypot(b[0] - a[0], b[1] - a[1]);
    const double right = ((b[0] - a[0]) * (a[1] - q[1]) - (b[1] - a[1]) * (a[0] - q[0])) / length;
    outside = std::max(outside, right);
  }
  return outside;
}

/// The point of the convex hull of the n points `p` (1 to kMaxRegion, in a
/// plane's coordinates) nearest to q, into `out`: q itself when it lies in
/// the hull.
void nearestInHull(std::uint32_t n, const double (*p)[2], const double* q, double* out) {
  const auto turn = [](const double* o, const double* a, const double* b) {
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
  };
  std::uint32_t hull[2 * kMaxRegion];
  const std::uint32_t k = planeHullOf(n, p, hull);
  bool inside = k >= 4;
  for (std::uint32_t e = 0; inside && e + 1 < k; ++e) inside = turn(p[hull[e]], p[hull[e + 1]], q) >= 0.0;
  out[0] = q[0];
  out[1] = q[1];
  if (inside) return;
  double nearest = std::numeric_limits<double>::infinity();
  for (std::uint32_t e = 0; e < std::max(k, 2u) - 1; ++e) {
    const double* a = p[hull[e]];
    const double* b = p[hull[std::min(e + 1, k - 1)]];
    const double d[2] = {b[0] - a[0], b[1] - a[1]};
    const double length2 = d[0] * d[0] + d[1] * d[1];
    const double t =
        length2 > 0.0 ? std::clamp(((q[0] - a[0]) * d[0] + (q[1] - a[1]) * d[1]) / length2, 0.0, 1.0) : 0.0;
    const double at[2] = {a[0] + t * d[0], a[1] + t * d[1]};
    const double distance = std::hypot(q[0] - at[0], q[1] - at[1]);
    if (distance < nearest) {
      nearest = distance;
      out[0] = at[0];
      out[1] = at[1];
    }
  }
}

/// Whether q lies in one of the triangles (p[0], p[i], p[i + 1]) of the n
/// points `p`, and so in their hull: the cheap look first, since a face's
/// contacts come in order around it, and a pile's centres lie well inside.
bool inFan(std::uint32_t n, const double (*p)[2], const double* q) {
  const auto turn = [](const double* o, const double* a, const double* b) {
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
  };
  for (std::uint32_t i = 1; i + 1 < n; ++i) {
    const double area = turn(p[0], p[i], p[i + 1]);
    if (area == 0.0) continue;
    const double sides[3] = {turn(p[0], p[i], q) * area, turn(p[i], p[i + 1], q) * area,
                             turn(p[i + 1], p[0], q) * area};
    if (sides[0] >= 0.0 && sides[1] >= 0.0 && sides[2] >= 0.0) return true;
  }
  return false;
}

/// Whether the centre `stack` of a body and a load it bears, seen along
/// gravity `down` on the plane of the body's supports (through `at`, normal
/// `normal` towards the body), lies past the outline the body casts on the
/// plane by more than kTippingMargin of the outline's width: past every
/// place where the body, or a load on it, could be held up.
bool pastOwnOutline(HardBody& body, const MgcVector3& stack, const MgcVector3& at, const MgcVector3& normal,
                    const MgcVector3& down) {
  const ZOVmesh* mesh = body.getWorldMesh();
  if (mesh == nullptr || mesh->worldVertices == nullptr || mesh->numVertices > kMaxRegion) return false;
  const double facing = -normal.Dot(down);
  const MgcVector3 r = stack - at;
  const MgcVector3 onPlane = r + down * (r.Dot(normal) / facing);
  // The largest ball about the body's own centre that lies inside it casts
  // a disk inside its outline: a centre of mass over that disk (the pile's
  // bodies centred on one another) does not tip it.
  const MgcVector3& position = body.getDyn().position;
  if (mesh->worldFaceNormals != nullptr) {
    double inside = std::numeric_limits<double>::infinity();
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      if (mesh->faces[f].numVertices == 0) continue;
      inside =
          std::min(inside, mesh->worldFaceNormals[f].Dot(mesh->worldVertices[mesh->faces[f].vertices[0]] - position));
    }
    const MgcVector3 own = (position - at) - normal * (position - at).Dot(normal);
    if (inside > 0.0 && (onPlane - own).SquaredLength() < inside * inside) return false;
  }
  const MgcVector3 across =
      normal.UnitCross(std::fabs(normal.x) < 0.9 ? MgcVector3(1.0, 0.0, 0.0) : MgcVector3(0.0, 1.0, 0.0));
  const MgcVector3 along = normal.Cross(across);
  double outline[kMaxRegion][2];
  double low[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  double high[2] = {-low[0], -low[1]};
  for (std::uint32_t v = 0; v < mesh->numVertices; ++v) {
    const MgcVector3 corner = mesh->worldVertices[v] - at;
    outline[v][0] = corner.Dot(across);
    outline[v][1] = corner.Dot(along);
    for (int c = 0; c < 2; ++c) {
      low[c] = std::min(low[c], outline[v][c]);
      high[c] = std::max(high[c], outline[v][c]);
    }
  }
  const double point[2] = {onPlane.Dot(across), onPlane.Dot(along)};
  const double width = std::max(high[0] - low[0], high[1] - low[1]);
  bool line = false;
  return outsideOfHull(mesh->numVertices, outline, point, point, line) > kTippingMargin * width;
}

/// Whether each support's contacts together stay in its friction cone: the
/// tangential part of their whole impulses at most mu times the normal part.
template <typename Pairs>
bool withinSupportCones(const Pairs& supports, const MgcVector3* normals, const MgcVector3* totals) {
  std::uint32_t from = 0;
  for (const CollisionPair* pair : supports) {
    MgcVector3 tangential;
    double normal = 0.0;
    for (std::uint32_t i = from; i < from + pair->found.count; ++i) {
      const double along = totals[i].Dot(normals[i]);
      normal += along;
      tangential += totals[i] - normals[i] * along;
    }
    if (tangential.Length() > pair->friction * normal) return false;
    from += pair->found.count;
  }
  return true;
}

}  // namespace

bool pileholding::spreadIntoCones(std::uint32_t n, const MgcVector3* arms, const MgcVector3* normals,
                                  const double* friction, const std::uint8_t* out, MgcVector3* totals) {
  constexpr double w = kHoldSideways * kHoldSideways;
  MotionSystem system;
  double load[6] = {};
  for (std::uint32_t i = 0; i < n; ++i) {
    if (out[i] != 0) continue;
    system.addContact(arms[i], normals[i], w);
    const MgcVector3 moment = arms[i].Cross(totals[i]);
    for (int k = 0; k < 3; ++k) {
      load[k] += totals[i][k];
      load[k + 3] += moment[k];
    }
  }
  if (!system.factor(0.0, kSpreadRidge)) return false;
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < n; ++i) kept += out[i] == 0 ? 1 : 0;
  const double floor = kSpreadFloor * MgcVector3(load[0], load[1], load[2]).Length() / kept;
  ContactVectors spread;
  for (std::uint32_t i = 0; i < n; ++i) spread[i] = totals[i];
  double lastMoved = std::numeric_limits<double>::infinity();
  for (int round = 0; round < kSpreadRounds; ++round) {
    double moved = 0.0;
    // Into the cones, in the measure where the parts across the normals
    // count 1 / w times: there the cones are |t| / kHoldSideways <= (mu /
    // kHoldSideways) (a - floor).
    double left[6];
    std::copy(load, load + 6, left);
    for (std::uint32_t i = 0; i < n; ++i) {
      if (out[i] != 0) continue;
      const double along = spread[i].Dot(normals[i]);
      double a = along - floor;
      MgcVector3 t = (spread[i] - normals[i] * along) * (1.0 / kHoldSideways);
      nearestInCone(a, t, kSpreadCone * friction[i] / kHoldSideways);
      const MgcVector3 was = spread[i];
      spread[i] = normals[i] * (a + floor) + t * kHoldSideways;
      moved += (spread[i] - was).Length();
      const MgcVector3 moment = arms[i].Cross(spread[i]);
      for (int k = 0; k < 3; ++k) {
        left[k] -= spread[i][k];
        left[k + 3] -= moment[k];
      }
    }
    // Back to the force and moment: the nearest impulses that add what the
    // cones took, D_i A_i y with (A^T D A) y = left.
    system.substitute(left);
    const MgcVector3 push(left[0], left[1], left[2]);
    const MgcVector3 spin(left[3], left[4], left[5]);
    bool inCones = true;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (out[i] != 0) continue;
      const MgcVector3 v = push + spin.Cross(arms[i]);
      spread[i] += v * w + normals[i] * ((1.0 - w) * v.Dot(normals[i]));
      const double a = spread[i].Dot(normals[i]);
      inCones = inCones && a >= 0.0 && (spread[i] - normals[i] * a).Length() <= friction[i] * a;
    }
    if (inCones) {
      const MgcVector3* spreadFirst = spread;
      std::copy(spreadFirst, spreadFirst + n, totals);
      return true;
    }
    if (moved > kSpreadStall * lastMoved) return false;
    lastMoved = moved;
  }
  return false;
}

void PileHolder::holdPiles(const std::vector<CollisionPair*>& bearing, const int& mode, std::uint32_t& outFlags) {
  const std::uint32_t helpers = manager.passHelpers();
  WorkerPool* pool = helpers != 0 ? manager.workerPool() : nullptr;
  gatherHeldBodies(bearing, pool, helpers);
  gatherMovers();
  gatherBorneWeights();
  judgeTipping();
  const std::vector<HeldBody>& held = heldBodies;
  const auto n = static_cast<std::uint32_t>(held.size());
  // How each body's hold ended (each task writes its own byte).
  std::vector<std::uint8_t>& outcome = holdOutcomes;
  reserveScratch(outcome, n);
  outcome.assign(n, kHeld);
  std::vector<std::uint8_t>& pinned = pinnedHolds;
  reserveScratch(pinned, n);
  pinned.assign(n, 0);
  const auto hold = [&](std::uint32_t task, std::uint32_t worker) {
    HardBody* body = held[task].body;
    outcome[task] = kHeld;
    if (!body->isActive() || body->isStatic()) return 0u;
    // A body that lands on a lighter one (still falling: the passes stop it
    // a share of what it asks at a time) is stopped on it as on a static
    // body where that one's supports pin it, which take the blow. Elsewhere
    // (on one that rocks on an edge, or itself moves) its pairs decide, as
    // for any body still falling.
    if (!pairprocessing::restsSlowly(*body) && !onPinnedSupports(task)) return 0u;
    // A body on one that tips is not stopped on it as if it stood still:
    // its pairs with it are resolved after the holds, both bodies free.
    const std::uint8_t state = moverStates[moverTasks[task]];
    if (state == kOnTipping) {
      outcome[task] = kOnTipping;
      return 0u;
    }
    // One that tips with what it bears is not held: its pairs decide.
    const bool tips = state == kTipping;
    bool left = false;
    bool pins = false;
    const bool done = !tips && holdOnSupports(body, heldSupportsOf(task), worker, left, pins);
    outcome[task] = tips ? kTipping : left ? kLeftMoving : kHeld;
    pinned[task] = done && pins ? 1 : 0;
    if (done) return 0u;
    // Refused, the body is resolved on its supports pair by pair. On a
    // support that tips over a static body's edge under it, on those at
    // rest only, as the hold would have held it: the tipping one would carry
    // it along. A tipping body is resolved on all of them.
    std::uint32_t flags = 0;
    CollisionPair* room[kMaxPairContacts];
    const PairRun all = heldSupportsOf(task);
    const bool onLedge = std::any_of(all.begin(), all.end(), [&](const CollisionPair* pair) {
      return manager.loadedOverLedge(
          *pairprocessing::extractedBody(pair->firstBody == body ? pair->secondBody : pair->firstBody));
    });
    const PairRun supports = !tips && onLedge && body->getParent() == nullptr ? supportsAtRest(*body, all, room) : all;
    for (CollisionPair* pair : supports) {
      pair->restoreFoundContacts();
      flags |= manager.processPair(pair, mode, worker);
    }
    return flags;
  };
  // The bodies on a tipping one, in order, their pairs with it resolved with
  // both bodies free: held on it as if it stood still, a body would hand it
  // nothing of what it still carries, and the pile would tip as if it were
  // lighter at the top, or not at all.
  const auto resolveOnTipping = [&] {
    for (std::uint32_t task = 0; task < n; ++task) {
      if (outcome[task] != kOnTipping) continue;
      for (CollisionPair* pair : heldSupportsOf(task)) {
        const bool upperFirst = pair->firstBody == held[task].body;
        const std::int32_t below = moverTaskOf(upperFirst ? *pair->secondBody : *pair->firstBody);
        if (below >= 0 && moverStates[static_cast<std::uint32_t>(below)] != 0)
          pair->held &= upperFirst ? ~kHeldSecond : ~kHeldFirst;
        pair->restoreFoundContacts();
        outFlags |= manager.processPair(pair, mode, 0);
      }
    }
  };
  // A body held before one of its supports (one that lies on a neighbour of
  // its own level or higher, which the level order holds later) is stopped
  // on that support as it moved then; held again, in order, once the
  // supports are held, it is stopped on them as they stand. Else a leaning
  // tile is left sinking into the ground by what its neighbour moved, and
  // extraction, lifting it back step after step, walks it along.
  const auto holdAgain = [&] {
    for (std::uint32_t task = 0; task < n; ++task) {
      if (outcome[task] == kLeftMoving) outFlags |= hold(task, 0);
    }
  };
  const auto afterHolds = [&] {
    resolveOnTipping();
    holdAgain();
  };
  if (helpers == 0 || n < kTaskOrderMinimum) {
    for (std::uint32_t task = 0; task < n; ++task) outFlags |= hold(task, 0);
    afterHolds();
    return;
  }
  // A body's hold writes the body and reads its supports, held in its
  // support pairs also where the hold is refused and the pairs are
  // resolved; a static support a hit may make dynamic counts as written.
  // Each body waits for the earlier holds that write a body it uses, and
  // for those that read one it writes, so that every hold meets what a run
  // in order would, while bodies on one support and separate stacks go at
  // once.
  if (!orderHolds(pool, helpers)) {
    for (std::uint32_t task = 0; task < n; ++task) outFlags |= hold(task, 0);
    afterHolds();
    return;
  }
  std::vector<std::uint32_t> flags(helpers + 1, 0);
  manager.taskOrder.run(pool, helpers,
                        [&](std::uint32_t task, std::uint32_t worker) { flags[worker] |= hold(task, worker); });
  for (std::uint32_t f : flags) outFlags |= f;
  afterHolds();
}

void PileHolder::gatherHeldBodies(const std::vector<CollisionPair*>& bearing, WorkerPool* pool, std::uint32_t helpers) {
  const auto pairCount = static_cast<std::uint32_t>(bearing.size());
  // Each pair's upper body, the one that rests on the other, read on the
  // helpers with its level; the pair holds the lower one.
  std::vector<BearingPair>& upper = bearingPairs;
  reserveScratch(upper, pairCount);
  upper.resize(pairCount);
  std::atomic<bool> unnumbered{false};
  forEachIndex(pool, helpers, pairCount, pairprocessing::kPairLoopGrain, [&](std::uint32_t k, std::uint32_t) {
    CollisionPair* pair = bearing[k];
    HardBody* body = pairprocessing::restingBody(*pair, manager.gravityDirection);
    const bool firstUpper = body == pair->firstBody;
    pair->held |= firstUpper ? kHeldSecond : kHeldFirst;
    // A body on another of its own level is held after it: between its
    // level and the next.
    const bool sameLevel = pair->firstBody->getContactLevel() == pair->secondBody->getContactLevel();
    const std::int32_t entry = manager.broadPhase.keptEntry(body);
    if (entry < 0) unnumbered.store(true, std::memory_order_relaxed);
    upper[k] = BearingPair{body, k, 2 * body->getContactLevel() + (sameLevel ? 1 : 0), entry};
  });
  // The bodies that rest on others, each with its support pairs in their
  // order, lowest first (a body is stopped on supports that are already at
  // rest), bodies of one level in the order the pairs meet them.
  // Grouped by body (the entries or addresses only gather each body's
  // pairs; the order comes from the levels and the pairs' order): counted
  // into place by entry, each body's pairs in their order, unless a body
  // has no entry.
  if (unnumbered.load()) {
    std::sort(upper.begin(), upper.end(), [](const BearingPair& a, const BearingPair& b) {
      return a.body != b.body ? std::less<const HardBody*>()(a.body, b.body) : a.pair < b.pair;
    });
  } else {
    std::vector<std::uint32_t>& starts = entryStarts;
    const std::uint32_t entries = manager.broadPhase.entryCount();
    reserveScratch(starts, entries + 1);
    starts.assign(entries + 1, 0);
    for (const BearingPair& pair : upper) ++starts[static_cast<std::uint32_t>(pair.entry) + 1];
    for (std::uint32_t e = 0; e < entries; ++e) starts[e + 1] += starts[e];
    std::vector<BearingPair>& grouped = groupedPairs;
    reserveScratch(grouped, pairCount);
    grouped.resize(pairCount);
    for (const BearingPair& pair : upper) grouped[starts[static_cast<std::uint32_t>(pair.entry)]++] = pair;
    upper.swap(grouped);
  }
  std::vector<HeldBody>& held = heldBodies;
  held.clear();
  reserveScratch(held, pairCount);
  for (std::uint32_t k = 0; k < pairCount; ++k) {
    if (k == 0 || upper[k].body != upper[k - 1].body) held.push_back(HeldBody{upper[k].body, upper[k].level, k, k});
    held.back().end = k + 1;
    held.back().level = std::max(held.back().level, upper[k].level);
  }
  orderByLevelThenFirst(
      held, pairCount, [](const HeldBody& body) { return body.level; },
      [&](const HeldBody& body) { return upper[body.begin].pair; });
  // Every body's support pairs in one array, each body's run where its
  // bearing pairs lie.
  std::vector<CollisionPair*>& supportPairs = heldSupports;
  reserveScratch(supportPairs, pairCount);
  supportPairs.resize(pairCount);
  for (std::uint32_t k = 0; k < pairCount; ++k) supportPairs[k] = bearing[upper[k].pair];
}

void PileHolder::gatherMovers() {
  const std::vector<HeldBody>& held = heldBodies;
  const auto n = static_cast<std::uint32_t>(held.size());
  std::vector<std::uint32_t>& mover = moverTasks;
  std::vector<std::uint32_t>& next = nextPieces;
  reserveScratch(mover, n);
  reserveScratch(next, n);
  mover.resize(n);
  next.assign(n, n);
  // The held pieces by their fracture bodies, and the held bodies without
  // an entry in the bounds table (a whole fracture body) by themselves.
  std::vector<std::pair<const HardBody*, std::uint32_t>>& byAddress = heldByAddress;
  byAddress.clear();
  for (std::uint32_t task = 0; task < n; ++task) {
    mover[task] = task;
    HardBody* body = held[task].body;
    if (body->getParent() != nullptr || bearingPairs[held[task].begin].entry < 0)
      byAddress.emplace_back(pairprocessing::extractedBody(body), task);
  }
  if (byAddress.empty()) return;
  // Gathered by address, which orders nothing here, each body's held
  // pieces in the order of the holds: the first stands for it.
  std::sort(byAddress.begin(), byAddress.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? std::less<const HardBody*>()(a.first, b.first) : a.second < b.second;
  });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < byAddress.size(); ++i) {
    if (i != 0 && byAddress[i].first == byAddress[i - 1].first) {
      mover[byAddress[i].second] = byAddress[kept - 1].second;
      next[byAddress[i - 1].second] = byAddress[i].second;
      continue;
    }
    byAddress[kept++] = byAddress[i];
  }
  byAddress.resize(kept);
}

std::int32_t PileHolder::moverTaskOf(const HardBody& body) const {
  if (!weighsInPile(body)) return -1;
  if (body.getParent() == nullptr) {
    const std::int32_t entry = manager.broadPhase.keptEntry(&body);
    if (entry >= 0) return heldOfEntry[static_cast<std::uint32_t>(entry)];
  }
  const HardBody* mover = body.getParent() != nullptr ? body.getParent() : &body;
  const auto at = std::lower_bound(heldByAddress.begin(), heldByAddress.end(), mover,
                                   [](const std::pair<const HardBody*, std::uint32_t>& a, const HardBody* b) {
                                     return std::less<const HardBody*>()(a.first, b);
                                   });
  return at != heldByAddress.end() && at->first == mover ? static_cast<std::int32_t>(at->second) : -1;
}

void PileHolder::gatherBorneWeights() {
  const std::vector<HeldBody>& held = heldBodies;
  const auto n = static_cast<std::uint32_t>(held.size());
  std::vector<Borne>& borne = borneWeights;
  reserveScratch(borne, n);
  borne.assign(n, Borne{0.0, MgcVector3(), true});
  const MgcVector3& down = manager.gravityDirection;
  levelAcross = down.UnitCross(std::fabs(down.x) < 0.9 ? MgcVector3(1.0, 0.0, 0.0) : MgcVector3(0.0, 1.0, 0.0));
  levelAlong = down.Cross(levelAcross);
  std::vector<std::int32_t>& heldOf = heldOfEntry;
  const std::uint32_t entries = manager.broadPhase.entryCount();
  reserveScratch(heldOf, entries);
  heldOf.assign(entries, -1);
  for (std::uint32_t task = 0; task < n; ++task) {
    const std::int32_t entry = bearingPairs[held[task].begin].entry;
    if (entry >= 0) heldOf[static_cast<std::uint32_t>(entry)] = static_cast<std::int32_t>(task);
  }
  // Each body's pairs in which it is not held up: its support pairs, and
  // those in which it leans on a body or a body on it. One that leans on
  // others as it rests on its supports weighs on all of them.
  std::vector<std::uint32_t>& touching = pairsTouching;
  reserveScratch(touching, n);
  touching.assign(n, 0);
  // Without pieces or bodies the bounds table keeps no entry of, a body's
  // number finds its place; one that does not move bears nothing down.
  const bool numbered = heldByAddress.empty();
  const auto touchingTask = [&](const HardBody& body) {
    if (!numbered) return moverTaskOf(body);
    const std::int32_t entry = manager.broadPhase.keptEntry(&body);
    return entry >= 0 ? heldOf[static_cast<std::uint32_t>(entry)] : -1;
  };
  for (const CollisionPair* pair : manager.processedPairs) {
    if (pair->found.count == 0) continue;
    const std::int32_t first = touchingTask(*pair->firstBody);
    const std::int32_t second = touchingTask(*pair->secondBody);
    if (first == second) continue;
    if (first >= 0 && (pair->held & kHeldFirst) == 0) ++touching[static_cast<std::uint32_t>(first)];
    if (second >= 0 && (pair->held & kHeldSecond) == 0) ++touching[static_cast<std::uint32_t>(second)];
  }
  // From the top of each pile down, so that a body hands on what it bears
  // with its own weight; a fracture body at its first held piece, after
  // every body on any of its pieces.
  for (std::uint32_t task = n; task-- > 0;) {
    if (moverTasks[task] != task || !weighsInPile(*held[task].body)) continue;
    // Only a body that rests on its supports alone weighs on them, and only
    // on one body that moves is it known where.
    std::uint32_t supports = 0;
    std::int32_t under = -1;
    bool several = false;
    for (std::uint32_t piece = task; piece < n; piece = nextPieces[piece]) {
      for (const CollisionPair* pair : heldSupportsOf(piece)) {
        ++supports;
        const std::int32_t below =
            moverTaskOf(pair->firstBody == held[piece].body ? *pair->secondBody : *pair->firstBody);
        several = several || below < 0 || static_cast<std::uint32_t>(below) >= task || (under >= 0 && below != under);
        under = below;
      }
    }
    if (touching[task] != supports) continue;
    if (several) {
      // How much of it each support bears, and where, the statics of the
      // supports decide: each held before it takes the share its contacts
      // carried in the step's passes, where they carried it, a load whose
      // place is not known.
      const HardBody& whole = *pairprocessing::extractedBody(held[task].body);
      const double mass = whole.getMass() + borne[task].mass;
      double total = 0.0;
      for (std::uint32_t piece = task; piece < n; piece = nextPieces[piece])
        for (const CollisionPair* pair : heldSupportsOf(piece))
          for (std::uint32_t k = 0; k < pair->found.count; ++k)
            total += std::max(0.0, pair->found.carried[k].Dot(pair->normals[pair->foundSlot(k)]));
      if (!(total > 0.0)) continue;
      for (std::uint32_t piece = task; piece < n; piece = nextPieces[piece]) {
        for (const CollisionPair* pair : heldSupportsOf(piece)) {
          const std::int32_t below =
              moverTaskOf(pair->firstBody == held[piece].body ? *pair->secondBody : *pair->firstBody);
          if (below < 0 || static_cast<std::uint32_t>(below) >= task) continue;
          double push = 0.0;
          MgcVector3 centre;
          for (std::uint32_t k = 0; k < pair->found.count; ++k) {
            const std::uint32_t slot = pair->foundSlot(k);
            const double along = std::max(0.0, pair->found.carried[k].Dot(pair->normals[slot]));
            push += along;
            centre += pointAtSlot(*held[piece].body, *pair, slot) * along;
          }
          if (!(push > 0.0)) continue;
          const double share = mass * push / total;
          Borne& lower = borne[static_cast<std::uint32_t>(below)];
          lower.mass += share;
          lower.moment += centre * (share / push);
          lower.located = false;
        }
      }
      continue;
    }
    if (under < 0) continue;
    const HardBody& body = *pairprocessing::extractedBody(held[task].body);
    const double mass = body.getMass() + borne[task].mass;
    MgcVector3 centre = (body.getDyn().position * body.getMass() + borne[task].moment) / mass;
    // The support bears the load where the two touch: a centre of mass past
    // their contacts tips the body off the support (its own judgement), and
    // presses the support at the edge of the contacts, not past it. Else a
    // box lying flat on the ground would be judged to tip under a body that
    // overhangs it.
    double region[kMaxRegion][2];
    std::uint32_t count = 0;
    for (std::uint32_t piece = task; piece < n && count != kMaxRegion + 1; piece = nextPieces[piece]) {
      for (const CollisionPair* pair : heldSupportsOf(piece)) {
        for (std::uint32_t k = 0; k < pair->found.count; ++k) {
          if (count == kMaxRegion) {
            count = kMaxRegion + 1;
            break;
          }
          const MgcVector3 point = pointAtSlot(*held[piece].body, *pair, pair->foundSlot(k));
          region[count][0] = point.Dot(levelAcross);
          region[count++][1] = point.Dot(levelAlong);
        }
      }
    }
    if (count != 0 && count <= kMaxRegion) {
      const double level[2] = {centre.Dot(levelAcross), centre.Dot(levelAlong)};
      double pressed[2];
      nearestInHull(count, region, level, pressed);
      centre += levelAcross * (pressed[0] - level[0]) + levelAlong * (pressed[1] - level[1]);
    }
    Borne& lower = borne[static_cast<std::uint32_t>(under)];
    lower.mass += mass;
    lower.moment += centre * mass;
    lower.located = lower.located && borne[task].located;
  }
}

void PileHolder::judgeTipping() {
  const std::vector<HeldBody>& held = heldBodies;
  const auto n = static_cast<std::uint32_t>(held.size());
  std::vector<std::uint8_t>& states = moverStates;
  reserveScratch(states, n);
  states.assign(n, 0);
  bool anyTipping = false;
  // From the bottom of each pile up, so that a body on one that tips, or on
  // one such, is known as it is met.
  for (std::uint32_t task = 0; task < n; ++task) {
    if (moverTasks[task] != task || !weighsInPile(*held[task].body)) continue;
    bool onTipping = false;
    for (std::uint32_t piece = task; anyTipping && piece < n && !onTipping; piece = nextPieces[piece]) {
      for (const CollisionPair* pair : heldSupportsOf(piece)) {
        const std::int32_t below =
            moverTaskOf(pair->firstBody == held[piece].body ? *pair->secondBody : *pair->firstBody);
        if (below >= 0 && static_cast<std::uint32_t>(below) < task && states[static_cast<std::uint32_t>(below)] != 0) {
          onTipping = true;
          break;
        }
      }
    }
    states[task] = onTipping ? kOnTipping : tipsWithBorne(task) ? kTipping : 0;
    anyTipping = anyTipping || states[task] != 0;
  }
}

bool PileHolder::tipsWithBorne(std::uint32_t mover) {
  const Borne& borne = borneWeights[mover];
  if (!(borne.mass > 0.0)) return false;
  const auto n = static_cast<std::uint32_t>(heldBodies.size());
  HardBody& whole = *pairprocessing::extractedBody(heldBodies[mover].body);
  const MgcVector3& position = whole.getDyn().position;
  const MgcVector3 stack = (position * whole.getMass() + borne.moment) / (whole.getMass() + borne.mass);
  const MgcVector3& down = manager.gravityDirection;
  // A load centred over the body (a column of bodies each on the one below)
  // stands or tips with it as the body does alone.
  const MgcVector3 off = stack - position;
  if (borne.located && (off - down * off.Dot(down)).SquaredLength() < kCentredLoad * kCentredLoad) return false;
  // The points that hold the body up, seen along gravity: in the two
  // directions across it, in which a plane's points keep their hull.
  double region[kMaxRegion][2];
  double low[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  double high[2] = {-low[0], -low[1]};
  std::uint32_t count = 0;
  const auto add = [&](double x, double y) {
    if (count == kMaxRegion) return false;
    region[count][0] = x;
    region[count][1] = y;
    low[0] = std::min(low[0], x);
    high[0] = std::max(high[0], x);
    low[1] = std::min(low[1], y);
    high[1] = std::max(high[1], y);
    ++count;
    return true;
  };
  // The contacts found with the supports, each from its place on the body,
  // in the order of the pairs' slots.
  const HardBody* firstBody = nullptr;
  const CollisionPair* firstPair = nullptr;
  for (std::uint32_t piece = mover; piece < n; piece = nextPieces[piece]) {
    const HardBody& body = *heldBodies[piece].body;
    const RBDynamics& state = body.getDyn();
    const Mgc::MgcMatrix3& turn = state.orientation;
    // The directions across gravity in the body's frame.
    MgcVector3 across;
    MgcVector3 along;
    for (int c = 0; c < 3; ++c) {
      across[c] = levelAcross.x * turn[0][c] + levelAcross.y * turn[1][c] + levelAcross.z * turn[2][c];
      along[c] = levelAlong.x * turn[0][c] + levelAlong.y * turn[1][c] + levelAlong.z * turn[2][c];
    }
    const double acrossAt = state.position.Dot(levelAcross);
    const double alongAt = state.position.Dot(levelAlong);
    for (const CollisionPair* pair : heldSupportsOf(piece)) {
      const MgcVector3* points = pair->firstBody == &body ? pair->points : pair->secondPoints;
      if (firstPair == nullptr && pair->found.count != 0) {
        firstBody = &body;
        firstPair = pair;
      }
      for (std::uint32_t slot = 0; slot < pair->found.count; ++slot) {
        if (!add(points[slot].Dot(across) + acrossAt, points[slot].Dot(along) + alongAt)) return false;
      }
    }
  }
  if (count == 0) return false;
  const double centre[2] = {stack.Dot(levelAcross), stack.Dot(levelAlong)};
  const double own[2] = {position.Dot(levelAcross), position.Dot(levelAlong)};
  // A centre over the contacts found does not tip the body: the cheap look
  // first, for a load over the middle of a pile's body.
  if (borne.located && inFan(count, region, centre)) return false;
  // The contacts lie in one plane (normal `normal` towards the body,
  // through `at`), which faces up.
  const MgcVector3 normal = firstPair->firstBody == firstBody ? firstPair->normals[0] : -firstPair->normals[0];
  if (!(-normal.Dot(down) > pairprocessing::kSupportCosine)) return false;
  for (std::uint32_t piece = mover; piece < n; piece = nextPieces[piece]) {
    for (const CollisionPair* pair : heldSupportsOf(piece)) {
      const bool first = pair->firstBody == heldBodies[piece].body;
      for (std::uint32_t slot = 0; slot < pair->found.count; ++slot) {
        if ((first ? pair->normals[slot] : -pair->normals[slot]).Dot(normal) < kOnePlaneCosine) return false;
      }
    }
  }
  const RBDynamics& firstState = firstBody->getDyn();
  const MgcVector3 at =
      firstState.orientation * (firstPair->firstBody == firstBody ? firstPair->points : firstPair->secondPoints)[0] +
      firstState.position;
  // Where the bodies it bears also rest on others, the statics of all their
  // supports share the load out: only a centre past the body's own outline,
  // which no share could bring back over the body, is known to tip it.
  if (!borne.located) return pastOwnOutline(whole, stack, at, normal, down);
  // Each part of a body that moves with it: a fracture body's pieces.
  const auto forEachPart = [](HardBody& body, const auto& visit) {
    if (const EngineList<PrivateHardBody*>* parts = compoundPiecesOf(&body)) {
      for (auto* node = parts->getFirst(); node != nullptr; node = node->next) {
        if (!visit(*static_cast<HardBody*>(node->value))) return false;
      }
      return true;
    }
    return visit(body);
  };
  // `visit` on the body, or each of its pieces, with each of its supports.
  const auto forEachSupport = [&](const auto& visit) {
    for (std::uint32_t piece = mover; piece < n; piece = nextPieces[piece]) {
      HardBody* body = heldBodies[piece].body;
      for (const CollisionPair* pair : heldSupportsOf(piece)) {
        if (!visit(*body, pair->firstBody == body ? *pair->secondBody : *pair->firstBody)) return false;
      }
    }
    return true;
  };
  // The faces that meet on the plane: the body's turned against the normal
  // (side -1), a support's turned along it (side 1).
  const auto facing = [&](const ZOVmesh& mesh, std::uint32_t f, double side) {
    return mesh.worldFaceNormals[f].Dot(normal) * side > kFacingFace;
  };
  const auto placed = [](HardBody& body) -> const ZOVmesh* {
    const ZOVmesh* mesh = body.getWorldMesh();
    return mesh != nullptr && mesh->worldVertices != nullptr && mesh->worldFaceNormals != nullptr ? mesh : nullptr;
  };
  // Where the body rocks on the edge of a support's face (a box tilted over
  // a table's edge), it is held along that edge, at whose ends neither has a
  // corner over the other: the points where the edges of the faces of `part`
  // that meet the plane cross those of `under`'s, seen along gravity, end
  // the region there.
  const auto addCrossings = [&](HardBody& part, HardBody& under) {
    const ZOVmesh* upper = placed(part);
    const ZOVmesh* lower = placed(under);
    if (upper == nullptr || lower == nullptr) return true;
    // The ends of edge v of a face of `corners` corners, seen along gravity.
    const auto edgeEnds = [&](const ZOVmesh& mesh, const mesh_face& face, std::uint32_t corners, std::uint32_t v,
                              double* from, double* to) {
      const MgcVector3& a = mesh.worldVertices[face.vertices[v]];
      const MgcVector3& b = mesh.worldVertices[face.vertices[(v + 1) % corners]];
      from[0] = a.Dot(levelAcross);
      from[1] = a.Dot(levelAlong);
      to[0] = b.Dot(levelAcross);
      to[1] = b.Dot(levelAlong);
    };
    for (std::uint32_t f = 0; f < upper->numFaces; ++f) {
      if (!facing(*upper, f, -1.0)) continue;
      const mesh_face& face = upper->faces[f];
      const std::uint32_t corners = heldCorners(face);
      for (std::uint32_t v = 0; corners >= 2 && v < corners; ++v) {
        double a0[2];
        double a1[2];
        edgeEnds(*upper, face, corners, v, a0, a1);
        const double d[2] = {a1[0] - a0[0], a1[1] - a0[1]};
        for (std::uint32_t g = 0; g < lower->numFaces; ++g) {
          if (!facing(*lower, g, 1.0)) continue;
          const mesh_face& other = lower->faces[g];
          const std::uint32_t ends = heldCorners(other);
          for (std::uint32_t w = 0; ends >= 2 && w < ends; ++w) {
            double b0[2];
            double b1[2];
            edgeEnds(*lower, other, ends, w, b0, b1);
            const double e[2] = {b1[0] - b0[0], b1[1] - b0[1]};
            const double cross = d[0] * e[1] - d[1] * e[0];
            if (!(std::fabs(cross) > zov::kTolerance * std::hypot(d[0], d[1]) * std::hypot(e[0], e[1]))) continue;
            const double r[2] = {b0[0] - a0[0], b0[1] - a0[1]};
            const double t = (r[0] * e[1] - r[1] * e[0]) / cross;
            const double u = (r[0] * d[1] - r[1] * d[0]) / cross;
            if (t < 0.0 || t > 1.0 || u < 0.0 || u > 1.0) continue;
            if (!add(a0[0] + t * d[0], a0[1] + t * d[1])) return false;
          }
        }
      }
    }
    return true;
  };
  const auto addAllCrossings = [&] {
    return forEachSupport([&](HardBody& body, HardBody& support) {
      return forEachPart(body, [&](HardBody& part) {
        return forEachPart(support, [&](HardBody& under) { return addCrossings(part, under); });
      });
    });
  };
  // Contacts found at one point tell no side (a box tilted over a table's
  // edge, found at one end of that edge): the edge it rocks on runs through
  // the crossings.
  const bool crossed = std::max(high[0] - low[0], high[1] - low[1]) < kThinRegion;
  if (crossed && !addAllCrossings()) return false;
  // The corners only widen the region: a centre over it lies over them, as
  // does one on the side of the edge it runs along that the body's own
  // centre lies on.
  bool line = false;
  if (!(outsideOfHull(count, region, centre, own, line) >
        kTippingMargin * std::max(high[0] - low[0], high[1] - low[1])))
    return false;
  // The corners of the faces that meet on the plane, which the narrow phase
  // need not have found a contact at, nor need touch, where the body rocks
  // on its supports: the body's faces over a support, and a support's under
  // the body.
  const auto addCorners = [&](HardBody& part, const HardBody& other, double side) {
    const ZOVmesh* mesh = placed(part);
    if (mesh == nullptr) return true;
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      if (!facing(*mesh, f, side)) continue;
      const mesh_face& face = mesh->faces[f];
      for (std::uint32_t v = 0; v < heldCorners(face); ++v) {
        const MgcVector3& corner = mesh->worldVertices[face.vertices[v]];
        if (pairprocessing::overBody(other, corner, down) && !add(corner.Dot(levelAcross), corner.Dot(levelAlong)))
          return false;
      }
    }
    return true;
  };
  const bool widened = forEachSupport([&](HardBody& body, HardBody& support) {
    return forEachPart(body, [&](HardBody& part) { return addCorners(part, support, -1.0); }) &&
           forEachPart(support, [&](HardBody& under) { return addCorners(under, body, 1.0); });
  });
  if (!widened || (!crossed && !addAllCrossings())) return false;
  // What is judged here is a load carrying the centre past where the body
  // itself stands. A body whose own centre lies on the edge of the region or
  // past it (a box rocking on three corners, or a shard on the edge of a
  // face, held by what it touches) is left to its own weight, as one that
  // bears nothing; one rocking on an edge, only by the side of it.
  const double margin = kTippingMargin * std::max(high[0] - low[0], high[1] - low[1]);
  if (!(outsideOfHull(count, region, centre, own, line) > margin)) return false;
  const double ownOutside = outsideOfHull(count, region, own, own, line);
  return line ? !(ownOutside > margin) : ownOutside < -margin;
}

PileHolder::PairRun PileHolder::heldSupportsOf(std::uint32_t task) const {
  return PairRun{heldSupports.data() + heldBodies[task].begin, heldSupports.data() + heldBodies[task].end};
}

bool PileHolder::orderHolds(WorkerPool* pool, std::uint32_t helpers) {
  const std::vector<HeldBody>& held = heldBodies;
  const auto n = static_cast<std::uint32_t>(held.size());
  const auto heldIn = [](const CollisionPair& pair, const HardBody* b) {
    if (b->isStatic()) return false;
    return (b == pair.firstBody && (pair.held & kHeldFirst) != 0) ||
           (b == pair.secondBody && (pair.held & kHeldSecond) != 0);
  };
  std::atomic<bool> tooMany{false};
  const auto accessesOf = [&](std::uint32_t task, HardBody** out, bool* writes) {
    std::uint32_t count = 0;
    const auto add = [&](HardBody* b, bool write) {
      for (std::uint32_t k = 0; k < count; ++k) {
        if (out[k] == b) {
          writes[k] = writes[k] || write;
          return;
        }
      }
      if (count == kMaxTaskBodies) {
        tooMany.store(true, std::memory_order_relaxed);
        return;
      }
      writes[count] = write;
      out[count++] = b;
    };
    add(held[task].body, true);
    add(pairprocessing::extractedBody(held[task].body), true);
    HardBody* met[kMaxTaskBodies];
    for (const CollisionPair* pair : heldSupportsOf(task)) {
      const std::uint32_t m = CollisionManager::pairBodies(*pair, met, kMaxTaskBodies);
      if (m == kMaxTaskBodies) tooMany.store(true, std::memory_order_relaxed);
      for (std::uint32_t k = 0; k < m; ++k) add(met[k], !heldIn(*pair, met[k]));
    }
    return count;
  };
  // What each hold reads and writes only reads the pairs and bodies: read
  // on the helpers first, the few holds of many bodies again in order. The
  // reads are a few hundred bytes a body and needed only until the holds are
  // ordered: made for each call and freed with it, not kept between steps.
  const std::unique_ptr<HoldAccess[]> access(new HoldAccess[n]);
  forEachIndex(pool, helpers, n, pairprocessing::kPairLoopGrain, [&](std::uint32_t task, std::uint32_t) {
    HardBody* bodies[kMaxTaskBodies];
    bool writes[kMaxTaskBodies];
    HoldAccess& out = access[task];
    out.count = accessesOf(task, bodies, writes);
    if (out.count > HoldAccess::kHeld) return;
    for (std::uint32_t k = 0; k < out.count; ++k) {
      out.bodies[k] = bodies[k];
      out.writes[k] = writes[k];
      out.numbers[k] = manager.broadPhase.keptEntry(bodies[k]);
    }
  });
  manager.orderByAccess(n, [&](std::uint32_t task, HardBody** out, bool* writes, std::int32_t* numbers) {
    const HoldAccess& known = access[task];
    if (known.count > HoldAccess::kHeld) {
      const std::uint32_t count = accessesOf(task, out, writes);
      std::fill(numbers, numbers + count, -1);
      return count;
    }
    std::copy(known.bodies, known.bodies + known.count, out);
    std::copy(known.writes, known.writes + known.count, writes);
    std::copy(known.numbers, known.numbers + known.count, numbers);
    return known.count;
  });
  return !tooMany.load();
}

PileHolder::PairRun PileHolder::supportsAtRest(const HardBody& body, const PairRun& supports,
                                               CollisionPair** room) const {
  const auto count = static_cast<std::size_t>(supports.end() - supports.begin());
  if (count < 2 || count > kMaxPairContacts) return supports;
  double speeds[kMaxPairContacts];
  double slowest = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < count; ++i) {
    const CollisionPair& pair = *supports.begin()[i];
    speeds[i] = 0.0;
    for (std::uint32_t slot = 0; slot < pair.found.count; ++slot) {
      speeds[i] = std::max(speeds[i], supportVelocityAtSlot(body, pair, slot, pointAtSlot(body, pair, slot)).Length());
    }
    slowest = std::min(slowest, speeds[i]);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const CollisionPair& pair = *supports.begin()[i];
    const HardBody* support = pairprocessing::extractedBody(pair.firstBody == &body ? pair.secondBody : pair.firstBody);
    const double margin =
        body.getMass() > pairprocessing::kLoadingMassRatio * support->getMass() && manager.loadedOverLedge(*support)
            ? pairprocessing::kHeldResidual
            : pairprocessing::kRestingContactSpeed;
    if (!(speeds[i] > slowest + margin)) room[kept++] = supports.begin()[i];
  }
  return kept == count ? supports : PairRun{room, room + kept};
}

bool PileHolder::onPinnedSupports(std::uint32_t task) const {
  for (const CollisionPair* pair : heldSupportsOf(task)) {
    HardBody* support = pair->firstBody == heldBodies[task].body ? pair->secondBody : pair->firstBody;
    const HardBody* mover = pairprocessing::extractedBody(support);
    if (mover->isStatic() || !mover->isActive()) continue;
    const std::int32_t below = moverTaskOf(*support);
    if (below < 0 || pinnedHolds[static_cast<std::uint32_t>(below)] == 0) return false;
  }
  return true;
}

bool PileHolder::holdOnSupports(HardBody* body, const PairRun& all, std::uint32_t worker, bool& leftMoving,
                                bool& pinned) {
  leftMoving = false;
  pinned = false;
  // A piece moves with its fracture body: its pairs decide.
  SolverWorkspace* workspace = manager.workspaceOf(worker);
  if (workspace == nullptr || body->getParent() != nullptr) return false;
  // A support that moves under the body faster than its slowest one does
  // is not at rest: stopped on it as on the others, the body would be
  // carried off with it (a plank on two boxes, one of them tipping over the
  // ground's edge), its still supports pushing it after the moving one. A
  // much lighter support loaded over an edge is not at rest however slowly
  // it moves: a box turning over the ground's edge at a few millimetres a
  // second under a plank, every step, would take the plank along at a share
  // of that, and the two would never rest. Elsewhere a light support that
  // moves that slowly settles with the body. The body is held on the
  // supports that move as its slowest does; at the others it keeps what the
  // passes gave it.
  CollisionPair* room[kMaxPairContacts];
  const PairRun supports = supportsAtRest(*body, all, room);
  const RBDynamics& state = body->getDyn();
  HeldContacts held;
  if (!gatherHeldContacts(*body, supports, manager.closingRate, held) || held.count == 0) return false;
  const std::uint32_t n = held.count;
  // The unknowns are each contact's whole impulse of the step, T = C + J
  // (C carried in the passes, J taken now), so that a contact may give back
  // part of what it carried but never pull in all.
  std::uint8_t pulling[kMaxPairContacts] = {};
  std::uint32_t near = n;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (held.apart[i] != 0 && held.relative[i].Dot(held.normals[i]) > kApartSpeed) {
      pulling[i] = 1;
      --near;
    }
  }
  if (near == 0) return false;
  ContactVectors totals;
  // The first solve's impulses, on every contact, for the hold on every
  // contact that touches.
  ContactVectors every;
  bool everySolved = false;
  pinned = holdWithLeastFriction(state, body->getMass(), n, held.arms, held.normals, held.relative, held.carried,
                                 pulling, totals, true, every, &everySolved);
  if (!pinned) {
    // Contacts on a line or at a point leave the body a turn they cannot
    // stop: the shortest impulses that stop them, over the contact blocks.
    dvec* b = nullptr;
    dvec* x = nullptr;
    ContactBlocks* K = nullptr;
    if (!workspace->prepareBlockSystem(n, b, x, K)) return false;
    // K J = b, the impulses that take every contact's relative velocity
    // away, becomes K T = b + K C in the body's momentum units.
    const double s = body->getMass();
    manager.buildExtractionMatrix(n, body, held.arms, nullptr, nullptr, s, K);
    ContactVectors targets;
    for (std::uint32_t i = 0; i < n; ++i) targets[i] = held.relative[i] * -s;
    K->addProducts(held.carried, targets);
    for (std::uint32_t i = 0; i < n; ++i) {
      for (int r = 0; r < 3; ++r) b->elements[3 * i + r] = targets[i][r];
    }
    workspace->solveBlockSystem(n, K, b, x, held.normals, pulling);
    for (std::uint32_t i = 0, kept = 0; i < n; ++i) {
      if (pulling[i] != 0) {
        totals[i] = MgcVector3();
        continue;
      }
      totals[i] = MgcVector3(x->elements[3 * kept], x->elements[3 * kept + 1], x->elements[3 * kept + 2]);
      ++kept;
    }
  }
  holdOnEveryTouchingContact(state, body->getMass(), held, everySolved, every, pulling, totals);
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < n; ++i) kept += pulling[i] == 0 ? 1 : 0;
  if (kept == 0 || !withinSupportCones(supports, held.normals, totals)) return false;
  ContactVectors taken;
  for (std::uint32_t i = 0; i < n; ++i) taken[i] = totals[i] - held.carried[i];
  if (pileholding::holdKicks(state, n, held.arms, taken)) return false;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (taken[i].SquaredLength() > 0.0) body->applyImpulse(taken[i], held.points[i]);
  }
  for (std::uint32_t i = 0; i < n && !leftMoving; ++i) {
    if (pulling[i] != 0 || held.apart[i] != 0) continue;
    const MgcVector3 relative = contactkinematics::velocityAt(state, held.points[i]) - held.supportVelocities[i];
    leftMoving = relative.SquaredLength() > pairprocessing::kHeldResidual * pairprocessing::kHeldResidual;
  }
  // Each support pair keeps the contacts that hold the body, which now
  // carry the whole impulses: a hold again starts from them.
  std::uint32_t from = 0;
  for (CollisionPair* pair : supports) {
    const std::uint32_t count = pair->found.count;
    const bool first = pair->firstBody == body;
    for (std::uint32_t k = 0; k < count; ++k) pair->found.carried[k] = first ? totals[from + k] : -totals[from + k];
    pair->restoreFoundContacts();
    manager.compactContacts(*pair, pulling + from);
    from += count;
  }
  return true;
}

void PileHolder::releaseArrays() {
  clearScratch(borneWeights);
  clearScratch(moverTasks);
  clearScratch(nextPieces);
  clearScratch(heldByAddress);
  clearScratch(moverStates);
  clearScratch(heldOfEntry);
  clearScratch(pairsTouching);
  clearScratch(bearingPairs);
  clearScratch(groupedPairs);
  clearScratch(entryStarts);
  clearScratch(heldBodies);
  clearScratch(heldSupports);
  clearScratch(holdOutcomes);
  clearScratch(pinnedHolds);
}

std::size_t PileHolder::keptBytes() const {
  return (bearingPairs.capacity() + groupedPairs.capacity()) * sizeof(BearingPair) +
         entryStarts.capacity() * sizeof(std::uint32_t) + heldBodies.capacity() * sizeof(HeldBody) +
         heldSupports.capacity() * sizeof(CollisionPair*) + holdOutcomes.capacity() + pinnedHolds.capacity() +
         borneWeights.capacity() * sizeof(Borne) + moverStates.capacity() +
         (moverTasks.capacity() + nextPieces.capacity()) * sizeof(std::uint32_t) +
         heldByAddress.capacity() * sizeof(std::pair<const HardBody*, std::uint32_t>) +
         (heldOfEntry.capacity() + pairsTouching.capacity()) * sizeof(std::int32_t);
}

bool pileholding::holdKicks(const RBDynamics& state, std::uint32_t n, const MgcVector3* arms,
                            const MgcVector3* impulses) {
  MgcVector3 push;
  MgcVector3 turn;
  for (std::uint32_t i = 0; i < n; ++i) {
    push += impulses[i];
    turn += arms[i].Cross(impulses[i]);
  }
  const MgcVector3 v = state.linearVelocity + push * state.invMass;
  const MgcVector3 L = state.angularMomentum + turn;
  const MgcVector3 w = state.worldInvInertia * L;
  // Twice the kinetic energies, in the body's mass units.
  const double mass = 1.0 / state.invMass;
  const double before = mass * state.linearVelocity.SquaredLength() + state.angularMomentum.Dot(state.angularVelocity);
  const double after = mass * v.SquaredLength() + L.Dot(w);
  return after > kHoldEnergyGrowth * (before + mass * kHoldKickFloor * kHoldKickFloor);
}
