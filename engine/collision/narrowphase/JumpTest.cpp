#include "engine/collision/narrowphase/JumpTest.h"

#include <cmath>

#include "engine/collision/narrowphase/SeparationSearch.h"
#include "geometry/MeshTransforms.h"
#include "math/MgcMatrix3.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zov::kTolerance;
using zov::kUnitizeTolerance;

namespace {

/// The start direction when the two centres coincide.
const MgcVector3 kFallbackAxis(1.0, 0.0, 0.0);

/// One step of the search: the support pair and the direction that made it.
struct JumpStep {
  SupportPair pair;
  MgcVector3 direction;
};

/// The steps taken so far, on the query's own stack: the search ends before
/// it takes more than kMaxJumpSteps.
class JumpSteps {
 public:
  std::size_t size() const { return count_; }
  const JumpStep& operator[](std::size_t i) const { return steps_[i]; }
  const JumpStep& back() const { return steps_[count_ - 1]; }
  void push_back(const JumpStep& step) { steps_[count_++] = step; }
  const JumpStep* begin() const { return steps_; }
  const JumpStep* end() const { return steps_ + count_; }

 private:
  JumpStep steps_[kMaxJumpSteps];
  std::size_t count_ = 0;
};

/// Whether two support pairs are the same step: the same vertices, or, for a
/// second shape without vertices, the same first vertex along nearly the same
/// direction.
bool sameStep(const PairSupport& shapes, const JumpStep& step, const SupportPair& pair, const MgcVector3& d) {
  if (step.pair.vertexA != pair.vertexA) return false;
  if (shapes.indexedB()) return step.pair.vertexB == pair.vertexB;
  return d.Dot(step.direction) > zov::kUnitLow;
}

double cross2(const MgcVector3& p, const MgcVector3& q) { return p.x * q.y - p.y * q.x; }

/// The wedge step: whether the recorded support directions, projected onto
/// the plane normal to u, surround u's line, which makes the origin a
/// combination of the newest support point and the recorded ones. Otherwise
/// the wedge normal n is updated: with fewer than two records it gathers the
/// directions seen; later it becomes the normal of the plane through u and
/// the wedge's first edge a, turned towards its second edge b.
bool wedgeEncloses(const MgcVector3& u, MgcVector3& n, const JumpSteps& steps) {
  const std::size_t k = steps.size();
  if (k < 2) {
    n += u;
    if (n.SquaredLength() >= kTolerance) {
      n.Unitize(kUnitizeTolerance);
    } else {
      const bool useY = std::fabs(u.x) > std::fabs(u.y) || std::fabs(u.z) > std::fabs(u.y);
      n = unitized(useY ? MgcVector3(-u.z, 0.0, u.x) : MgcVector3(u.y, -u.x, 0.0));
    }
    return false;
  }
  if (n.Dot(u) > kTolerance) return false;

  MgcMatrix3 frame;
  basisFromNormal(u, frame);
  const auto project = [&frame](const MgcVector3& x) {
    const MgcVector3 p = frame * x;
    return MgcVector3(p.x, p.y, 0.0);
  };
  MgcVector3 a = unitized(steps[0].pair.point());
  MgcVector3 b = unitized(steps[1].pair.point());
  MgcVector3 pa = project(a);
  MgcVector3 pb = project(b);
  if (cross2(pa, pb) < 0.0) {
    std::swap(a, b);
    std::swap(pa, pb);
  }
  for (std::size_t i = 2; i < k; ++i) {
    const MgcVector3 c = unitized(steps[i].pair.point());
    const MgcVector3 pc = project(c);
    const double ca = cross2(pa, pc);
    const double cb = cross2(pb, pc);
    if (ca <= -kTolerance && cb >= kTolerance) return true;
    if (ca <= -kTolerance && cb < kTolerance) {
      a = c;
      pa = pc;
    } else if (ca > -kTolerance && cb > -kTolerance) {
      b = c;
      pb = pc;
    }
  }
  n = unitized(a.Cross(u));
  if (b.Dot(n) < 0.0) n = -n;
  return false;
}

/// Whether the pair gains nothing along d over any recorded step: A's point
/// reaches no further and B's point lies no lower.
bool gainsNothing(const SupportPair& pair, const MgcVector3& d, const JumpSteps& steps) {
  for (const JumpStep& step : steps) {
    if (d.Dot(pair.pointA) - d.Dot(step.pair.pointA) < kTolerance &&
        d.Dot(pair.pointB - step.pair.pointB) > -kTolerance)
      return true;
  }
  return false;
}

}  // namespace

int jumpTest(const PairSupport& shapes, JumpState& state) {
  MgcVector3 d = state.direction;
  if (d.SquaredLength() < kTolerance) {
    // Nothing cached: start from centre to centre. Coincident centres give no
    // direction, and a zero direction finds no support step at all, so a
    // body would pass through its twin: take a fixed axis instead.
    d = shapes.centerB() - shapes.centerA();
    if (d.Unitize(kUnitizeTolerance) == 0.0) d = kFallbackAxis;
    state.vertexA = 0;
    state.vertexB = 0;
  } else {
    d.Unitize(kUnitizeTolerance);
  }

  SupportPair pair = shapes.support(d, state.vertexA, state.vertexB);
  const MgcVector3 start = d;
  const auto finish = [&](int result) {
    // The contact query seeds its polytope from the direction: keep a unit one.
    if (d.SquaredLength() < kTolerance) d = start;
    state.vertexA = pair.vertexA;
    state.vertexB = pair.vertexB;
    state.lastPoint = pair.point();
    state.direction = d;
    return result;
  };
  if (d.Dot(pair.point()) > kTolerance) return finish(0);
  // The search can also stop for want of progress, and a pair it leaves
  // behind need not separate: then the separation search decides, so that a
  // pair reported apart always carries a direction that separates it.
  const auto unproven = [&]() {
    const SeparationResult separation = searchSeparation(shapes, d, pair.vertexA, pair.vertexB);
    if (!separation.apart) return finish(1);
    d = separation.direction;
    pair = separation.pair;
    return finish(0);
  };

  JumpSteps steps;
  MgcVector3 n;
  for (std::uint32_t iteration = 0; iteration < kMaxJumpSteps; ++iteration) {
    const MgcVector3 lastPoint = pair.point();
    MgcVector3 u = lastPoint;
    // A support point at the origin: the shapes touch there.
    if (u.Unitize(kUnitizeTolerance) == 0.0) return unproven();
    if (wedgeEncloses(u, n, steps)) return finish(1);
    steps.push_back({pair, d});

    d = unitized(d - u * (2.0 * d.Dot(u)));
    pair = shapes.support(d, pair.vertexA, pair.vertexB);
    if (sameStep(shapes, steps.back(), pair, d)) return unproven();
    bool repeated = false;
    for (std::size_t i = 0; i + 1 < steps.size() && !repeated; ++i) repeated = sameStep(shapes, steps[i], pair, d);
    // A wedge whose edges line up with u has no normal; d then stays.
    if (repeated && n.SquaredLength() > 0.0) {
      d = n;
      pair = shapes.support(d, pair.vertexA, pair.vertexB);
      if (gainsNothing(pair, d, steps)) return unproven();
    }
    if (d.Dot(pair.point()) > kTolerance) return finish(0);
  }
  return unproven();
}
