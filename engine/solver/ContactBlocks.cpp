#include "engine/solver/ContactBlocks.h"

#include <cmath>
#include <cstddef>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/solver/ContactBlocksWide.h"
#include "engine/solver/LsqrIterations.h"
#include "platform/ProcessorFeatures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// block := block - [r] t, [r] the cross-product matrix of r, without the
/// zero diagonal of [r]: a product 0 t_kc adds a zero, which leaves a sum as
/// it is or at most turns the sign of a zero sum, and a zero subtracted from
/// an entry that is not -0 (none is: entries start at c I) leaves it as the
/// full product leaves it. So the entries are those of c I - [r] t formed
/// with the full matrix product, for finite arms and inertia.
void subtractArmProduct(MgcMatrix3& block, const MgcVector3& r, const MgcMatrix3& t) {
  for (int c = 0; c < 3; ++c) {
    block[0][c] -= -r.z * t[1][c] + r.y * t[2][c];
    block[1][c] -= r.z * t[0][c] + -r.x * t[2][c];
    block[2][c] -= -r.y * t[0][c] + r.x * t[1][c];
  }
}

}  // namespace

void ContactBlocks::reset(std::uint32_t n, double c, const MgcMatrix3* firstInertia, const MgcVector3* firstArms,
                          const MgcMatrix3* secondInertia, const MgcVector3* secondArms) {
  built = n < kMaxContacts ? n : kMaxContacts;
  response = c;
  const MgcMatrix3* inertia[2] = {firstInertia, secondInertia};
  const MgcVector3* from[2] = {firstArms, secondArms};
  for (int b = 0; b < 2; ++b) {
    turning[b] = inertia[b] != nullptr;
    inertias[b] = turning[b] ? *inertia[b] : MgcMatrix3::ZERO;
    for (std::uint32_t i = 0; i < built; ++i) arms[b][i] = turning[b] ? from[b][i] : MgcVector3();
  }
  restore();
}

MgcMatrix3 ContactBlocks::block(std::uint32_t i, std::uint32_t j) const {
  MgcMatrix3 out = MgcMatrix3::IDENTITY * response;
  for (int b = 0; b < 2; ++b) {
    if (turning[b]) subtractArmProduct(out, arm(b, i), inertias[b] * Mgc::SkewSymmetric(arm(b, j)));
  }
  return out;
}

MgcVector3 ContactBlocks::times(std::uint32_t i, std::uint32_t j, const MgcVector3& v) const {
  MgcVector3 out = v * response;
  for (int b = 0; b < 2; ++b) {
    if (turning[b]) out -= arm(b, i).Cross(inertias[b] * arm(b, j).Cross(v));
  }
  return out;
}

void ContactBlocks::keep(const std::uint8_t* marks) {
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < used; ++i) {
    if (marks[i] == 0) order[kept++] = order[i];
  }
  used = kept;
}

void ContactBlocks::restore() {
  for (std::uint32_t i = 0; i < built; ++i) order[i] = i;
  used = built;
}

void ContactBlocks::expand(dmat* matrix) const {
  for (std::uint32_t i = 0; i < used; ++i) {
    for (std::uint32_t j = 0; j < used; ++j) {
      const MgcMatrix3 entries = block(i, j);
      for (std::uint32_t k = 0; k < 3; ++k) {
        double* row = matrix->data + std::size_t{3 * i + k} * matrix->stride + 3 * j;
        for (std::uint32_t c = 0; c < 3; ++c) row[c] = entries[k][c];
      }
    }
  }
}

void ContactBlockProducts::update() {
  const std::uint32_t n = blocks.count() < ContactBlocks::kMaxContacts ? blocks.count() : ContactBlocks::kMaxContacts;
  active.linear = blocks.linear();
  for (int b = 0; b < 2; ++b) {
    active.turns[b] = blocks.turns(b);
    active.inertias[b] = blocks.inertia(b);
  }
  // The count in a local: the stores of the arms below need not write it
  // back and read it again for each contact.
  std::uint32_t count = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (marks[i] == 0) active.contacts[count++] = i;
  }
  active.count = count;
  // A body that does not turn has no arms for the products to read.
  for (int b = 0; b < 2; ++b) {
    if (!active.turns[b]) continue;
    for (std::uint32_t p = 0; p < count; ++p) {
      const MgcVector3& r = blocks.arm(b, active.contacts[p]);
      double* yzx = active.arms[b][p] + kArmYzx;
      double* zxy = active.arms[b][p] + kArmZxy;
      yzx[0] = zxy[2] = r.y;
      yzx[1] = zxy[0] = r.z;
      yzx[2] = zxy[1] = r.x;
      yzx[3] = zxy[3] = 0.0;
    }
  }
}

namespace {

using Active = ContactBlockProducts::Active;

/// Two doubles side by side: with SSE2 in one register. Each operation acts
/// on both elements as the same operation on each alone would, so both
/// forms give the same bits.
#if defined(__SSE2__)
class Pair {
 public:
  Pair() : v_(_mm_setzero_pd()) {}
  static Pair zero() { return Pair(_mm_setzero_pd()); }
  static Pair splat(double a) { return Pair(_mm_set1_pd(a)); }
  static Pair of(double low, double high) { return Pair(_mm_set_pd(high, low)); }
  static Pair load(const double* p) { return Pair(_mm_loadu_pd(p)); }
  void store(double* p) const { _mm_storeu_pd(p, v_); }
  double low() const { return _mm_cvtsd_f64(v_); }
  double high() const { return _mm_cvtsd_f64(_mm_unpackhi_pd(v_, v_)); }
  Pair operator+(Pair b) const { return Pair(_mm_add_pd(v_, b.v_)); }
  Pair operator-(Pair b) const { return Pair(_mm_sub_pd(v_, b.v_)); }
  Pair operator*(Pair b) const { return Pair(_mm_mul_pd(v_, b.v_)); }
  /// The sign turned, as unary minus turns it (a zero's too).
  Pair operator-() const { return Pair(_mm_xor_pd(v_, _mm_set1_pd(-0.0))); }

 private:
  explicit Pair(__m128d v) : v_(v) {}
  __m128d v_;
};
#else
class Pair {
 public:
  Pair() : low_(0.0), high_(0.0) {}
  static Pair zero() { return Pair(0.0, 0.0); }
  static Pair splat(double a) { return Pair(a, a); }
  static Pair of(double low, double high) { return Pair(low, high); }
  static Pair load(const double* p) { return Pair(p[0], p[1]); }
  void store(double* p) const {
    p[0] = low_;
    p[1] = high_;
  }
  double low() const { return low_; }
  double high() const { return high_; }
  Pair operator+(Pair b) const { return Pair(low_ + b.low_, high_ + b.high_); }
  Pair operator-(Pair b) const { return Pair(low_ - b.low_, high_ - b.high_); }
  Pair operator*(Pair b) const { return Pair(low_ * b.low_, high_ * b.high_); }
  Pair operator-() const { return Pair(-low_, -high_); }

 private:
  Pair(double low, double high) : low_(low), high_(high) {}
  double low_, high_;
};
#endif

// The passes over the contacts are inlined into the solve, whose iterations
// run them several times each: called, they cost about what they compute.

/// Which bodies turn: bit 0 the first, bit 1 the second.
constexpr int kFirstTurns = 1;
constexpr int kSecondTurns = 2;

/// One turning body's share of a response: m = T L (T^T L for the adjoint),
/// its elements as the feel pass reads them.
struct Turn {
  Pair m12;  // elements (1, 2)
  Pair m20;  // elements (2, 0)
  double m0;
  double m1;
};

/// What a vector does to the bodies: the sum of its contacts' impulses times
/// the linear response, and each turning body's inverse inertia (or its
/// transpose, for the adjoint) times the sum of arm x impulse.
struct Response {
  Pair linear01;  // c P, elements 0 and 1
  double linear2;
  Turn turn[2];
};

// The per-body steps below take their sums in named locals rather than in
// arrays indexed by body, so that they stay in registers.

// An arm as Active stores it (r1 r2 r0 0 r2 r0 r1 0): where its elements
// and the pairs the products read sit.
constexpr int kR0 = ContactBlockProducts::kArmYzx + 2;
constexpr int kR1 = ContactBlockProducts::kArmYzx;
constexpr int kR2 = ContactBlockProducts::kArmYzx + 1;
constexpr int kR01 = ContactBlockProducts::kArmZxy + 1;
constexpr int kR12 = ContactBlockProducts::kArmYzx;
constexpr int kR20 = ContactBlockProducts::kArmZxy;

/// l += r x x for one body's arm r: r1 x2 - r2 x1, then (r2 x0 - r0 x2,
/// r0 x1 - r1 x0) side by side, whose x pairs are (x0, x1) as stored and
/// (x2, x0).
[[gnu::always_inline]] inline void addArmCross(const double* r, Pair x01, double x1, double x2, Pair x20, double& l0,
                                               Pair& l12) {
  l0 += r[kR1] * x2 - r[kR2] * x1;
  l12 = l12 + (Pair::load(r + kR20) * x01 - Pair::load(r + kR01) * x20);
}

/// T l, or T^T l when Transpose, each element summed from the left.
template <bool Transpose>
[[gnu::always_inline]] inline Turn turnOf(const MgcMatrix3& t, double l0, Pair l12) {
  const double l1 = l12.low();
  const double l2 = l12.high();
  const auto element = [&](int k) {
    return Transpose ? t[0][k] * l0 + t[1][k] * l1 + t[2][k] * l2 : t[k][0] * l0 + t[k][1] * l1 + t[k][2] * l2;
  };
  const double m0 = element(0);
  const double m1 = element(1);
  const double m2 = element(2);
  Turn out;
  out.m12 = Pair::of(m1, m2);
  out.m20 = Pair::of(m2, m0);
  out.m0 = m0;
  out.m1 = m1;
  return out;
}

/// y += m x r for one body's turn m and arm r: (m1 r2 - m2 r1, m2 r0 - m0 r2)
/// side by side, then m0 r1 - m1 r0.
[[gnu::always_inline]] inline void addTurnCross(const Turn& m, const double* r, Pair& y01, double& y2) {
  y01 = y01 + (m.m12 * Pair::load(r + kR20) - m.m20 * Pair::load(r + kR12));
  y2 += m.m0 * r[kR1] - m.m1 * r[kR0];
}

/// The response to the unmarked contacts' elements of `in`, each first
/// multiplied by `scale` and stored back when Scale is set.
template <int Turning, bool Transpose, bool Scale>
[[gnu::always_inline]] inline Response respond(const Active& a, double* in, double scale) {
  Pair p01 = Pair::zero();
  double p2 = 0.0;
  double first0 = 0.0;
  Pair first12 = Pair::zero();
  double second0 = 0.0;
  Pair second12 = Pair::zero();
  for (std::uint32_t q = 0; q < a.count; ++q) {
    double* e = in + 3 * a.contacts[q];
    Pair x01 = Pair::load(e);
    double x2 = e[2];
    if (Scale) {
      x01 = x01 * Pair::splat(scale);
      x2 *= scale;
      x01.store(e);
      e[2] = x2;
    }
    p01 = p01 + x01;
    p2 += x2;
    if (Turning == 0) continue;
    const double x1 = x01.high();
    const Pair x20 = Pair::of(x2, x01.low());
    if ((Turning & kFirstTurns) != 0) addArmCross(a.arms[0][q], x01, x1, x2, x20, first0, first12);
    if ((Turning & kSecondTurns) != 0) addArmCross(a.arms[1][q], x01, x1, x2, x20, second0, second12);
  }
  Response out;
  out.linear01 = Pair::splat(a.linear) * p01;
  out.linear2 = a.linear * p2;
  if ((Turning & kFirstTurns) != 0) out.turn[0] = turnOf<Transpose>(a.inertias[0], first0, first12);
  if ((Turning & kSecondTurns) != 0) out.turn[1] = turnOf<Transpose>(a.inertias[1], second0, second12);
  return out;
}

/// The response felt at the unmarked contact q: linear + turn x r_q per
/// turning body (that is, c P - r_q x (T L)), handed to finish(elements,
/// y01, y2) with the contact's elements of `out`, y01 holding the first two.
template <int Turning, typename Finish>
[[gnu::always_inline]] inline void feel(const Active& a, const Response& response, double* out, Finish finish) {
  for (std::uint32_t q = 0; q < a.count; ++q) {
    Pair y01 = response.linear01;
    double y2 = response.linear2;
    if ((Turning & kFirstTurns) != 0) addTurnCross(response.turn[0], a.arms[0][q], y01, y2);
    if ((Turning & kSecondTurns) != 0) addTurnCross(response.turn[1], a.arms[1][q], y01, y2);
    finish(out + 3 * a.contacts[q], y01, y2);
  }
}

/// out := out (-factor) + A in over the unmarked contacts (A^T when
/// Transpose); returns |out| over them.
template <int Turning, bool Transpose, bool Scale>
[[gnu::always_inline]] inline double combine(const Active& a, double* in, double inScale, double* out, double factor) {
  const Response response = respond<Turning, Transpose, Scale>(a, in, inScale);
  Pair s01 = Pair::zero();
  double s2 = 0.0;
  const Pair scale = Pair::splat(-factor);
  feel<Turning>(a, response, out, [&](double* e, Pair y01, double y2) {
    const Pair e01 = Pair::load(e) * scale + y01;
    const double e2 = e[2] * -factor + y2;
    e01.store(e);
    e[2] = e2;
    s01 = s01 + e01 * e01;
    s2 += e2 * e2;
  });
  return lsqriterations::squareRoot((s01.low() + s01.high()) + s2);
}

/// The vector work of lsqr over the contact factors (see LsqrIterations.h),
/// the scaling of u after the forward product folded into the backward
/// product's first pass and the scaling of v into the next forward product's
/// first pass (the update reads v scaled without storing it): so the products
/// wait for the norms only, not for the rotations of the update.
template <int Turning>
class FusedVectors {
 public:
  FusedVectors(const Active& a, lsqr_input* input, lsqr_work* work)
      : a_(a),
        columns_(input->columnCount),
        u_(input->b->elements),
        x_(input->x->elements),
        v_(work->v->elements),
        w_(work->w->elements) {}

  void begin() {
    for (std::uint32_t i = 0; i < columns_; ++i) v_[i] = w_[i] = 0.0;
  }
  void start(double& beta, double& alpha) {
    // u := u - A x, as -((-u) + A x).
    const Response r = respond<Turning, false, false>(a_, x_, 1.0);
    Pair s01 = Pair::zero();
    double s2 = 0.0;
    feel<Turning>(a_, r, u_, [&](double* e, Pair y01, double y2) {
      const Pair e01 = -(-Pair::load(e) + y01);
      const double e2 = -(-e[2] + y2);
      e01.store(e);
      e[2] = e2;
      s01 = s01 + e01 * e01;
      s2 += e2 * e2;
    });
    beta = lsqriterations::squareRoot((s01.low() + s01.high()) + s2);
    if (beta > 0.0) alpha = combine<Turning, true, true>(a_, u_, 1.0 / beta, v_, 0.0);
    wSquared_ = 0.0;
    if (alpha > 0.0) {
      const double scale = 1.0 / alpha;
      for (std::uint32_t i = 0; i < columns_; ++i) {
        v_[i] *= scale;
        w_[i] = v_[i];
        wSquared_ += w_[i] * w_[i];
      }
    }
  }
  double forward(double alpha) {
    const double norm = combine<Turning, false, true>(a_, v_, vScale_, u_, alpha);
    vScale_ = 1.0;
    return norm;
  }
  void scaleU(double factor) { uScale_ = factor; }
  double backward(double beta) {
    const double norm = combine<Turning, true, true>(a_, u_, uScale_, v_, beta);
    uScale_ = 1.0;
    return norm;
  }
  void scaleV(double factor) { vScale_ = factor; }
  double update(const lsqriterations::LsqrUpdate& t) {
    const double before = wSquared_;
    const Pair t1 = Pair::splat(t.t1);
    const Pair t2 = Pair::splat(t.t2);
    const Pair vScale = Pair::splat(vScale_);
    Pair s01 = Pair::zero();
    double s2 = 0.0;
    for (std::uint32_t i = 0; i < columns_; i += 3) {
      double* x = x_ + i;
      double* w = w_ + i;
      const double* v = v_ + i;
      const Pair w01 = Pair::load(w);
      (Pair::load(x) + t1 * w01).store(x);
      const Pair next01 = t2 * w01 + Pair::load(v) * vScale;
      next01.store(w);
      x[2] += t.t1 * w[2];
      const double next2 = t.t2 * w[2] + v[2] * vScale_;
      w[2] = next2;
      s01 = s01 + next01 * next01;
      s2 += next2 * next2;
    }
    wSquared_ = (s01.low() + s01.high()) + s2;
    return before;
  }
  void finishErrors(double /*scale*/) {}

 private:
  const Active& a_;
  std::uint32_t columns_;
  double* u_;
  double* x_;
  double* v_;
  double* w_;
  double uScale_ = 1.0;
  double vScale_ = 1.0;
  double wSquared_ = 0.0;
};

template <int Turning>
void solveFused(const Active& a, lsqr_input* input, lsqr_output* output, lsqr_work* work) {
  FusedVectors<Turning> vectors(a, input, work);
  lsqriterations::solve(vectors, input, output);
}

}  // namespace

namespace {

/// Directions of the contacts in use by component, each body's turned ones
/// too: two neighbouring contacts load as one Pair.
struct Projected {
  double x[ContactBlocks::kMaxContacts];
  double y[ContactBlocks::kMaxContacts];
  double z[ContactBlocks::kMaxContacts];
  void set(std::uint32_t i, const MgcVector3& v) {
    x[i] = v.x;
    y[i] = v.y;
    z[i] = v.z;
  }
};

/// Row i of the projection: entries j and j + 1 side by side, each
/// c (l_i . r_j) plus (r_i x l_i) . T (r_j x r'_j) per turning body, its
/// sums in the order of the scalar formula.
template <int Turning>
[[gnu::always_inline]] inline void projectRow(std::uint32_t n, double response, const MgcVector3& l,
                                              const Projected& right, const double* turned0, const double* turned1,
                                              const Projected* turning, double* row) {
  const Pair c = Pair::splat(response);
  const Pair lx = Pair::splat(l.x), ly = Pair::splat(l.y), lz = Pair::splat(l.z);
  const double* turned[2] = {turned0, turned1};
  Pair tx[2], ty[2], tz[2];
  for (int b = 0; b < 2; ++b) {
    if ((Turning & (1 << b)) == 0) continue;
    tx[b] = Pair::splat(turned[b][0]);
    ty[b] = Pair::splat(turned[b][1]);
    tz[b] = Pair::splat(turned[b][2]);
  }
  std::uint32_t j = 0;
  for (; j + 2 <= n; j += 2) {
    Pair entry = c * ((lx * Pair::load(right.x + j) + ly * Pair::load(right.y + j)) + lz * Pair::load(right.z + j));
    for (int b = 0; b < 2; ++b) {
      if ((Turning & (1 << b)) == 0) continue;
      const Projected& r = turning[b];
      entry = entry + ((tx[b] * Pair::load(r.x + j) + ty[b] * Pair::load(r.y + j)) + tz[b] * Pair::load(r.z + j));
    }
    entry.store(row + j);
  }
  if (j < n) {
    double entry = response * ((l.x * right.x[j] + l.y * right.y[j]) + l.z * right.z[j]);
    for (int b = 0; b < 2; ++b) {
      if ((Turning & (1 << b)) == 0) continue;
      const Projected& r = turning[b];
      entry += (turned[b][0] * r.x[j] + turned[b][1] * r.y[j]) + turned[b][2] * r.z[j];
    }
    row[j] = entry;
  }
}

}  // namespace

namespace {

/// ContactBlocks::project() of `k`, inlined into each encoding of it below.
[[gnu::always_inline]] inline void projectBlocks(const ContactBlocks& k, const MgcVector3* left,
                                                 const MgcVector3* right, dmat* out) {
  const std::uint32_t used = k.count();
  // r_i x left_i and T (r_j x right_j) per turning body: only the first
  // count() entries are set. With the same directions on both sides, r x
  // left is r x right.
  double turned[2][ContactBlocks::kMaxContacts][3];
  Projected turnedRight[2];
  Projected byComponent;
  for (std::uint32_t j = 0; j < used; ++j) byComponent.set(j, right[j]);
  const bool sameSides = left == right;
  for (int b = 0; b < 2; ++b) {
    if (!k.turns(b)) continue;
    const MgcMatrix3& inertia = k.inertia(b);
    for (std::uint32_t i = 0; i < used; ++i) {
      const MgcVector3& arm = k.arm(b, i);
      const MgcVector3 l = arm.Cross(left[i]);
      for (int c = 0; c < 3; ++c) turned[b][i][c] = l[c];
      turnedRight[b].set(i, inertia * (sameSides ? l : arm.Cross(right[i])));
    }
  }
  const int mask = (k.turns(0) ? 1 : 0) | (k.turns(1) ? 2 : 0);
  const double response = k.linear();
  for (std::uint32_t i = 0; i < used; ++i) {
    double* row = out->data + std::size_t{i} * out->stride;
    switch (mask) {
      case 0:
        projectRow<0>(used, response, left[i], byComponent, nullptr, nullptr, turnedRight, row);
        break;
      case 1:
        projectRow<1>(used, response, left[i], byComponent, turned[0][i], nullptr, turnedRight, row);
        break;
      case 2:
        projectRow<2>(used, response, left[i], byComponent, nullptr, turned[1][i], turnedRight, row);
        break;
      default:
        projectRow<3>(used, response, left[i], byComponent, turned[0][i], turned[1][i], turnedRight, row);
        break;
    }
  }
}

#if ZOV_AVX2_KERNELS
/// The same operations in the encoding of processors with four-lane
/// registers: three-operand instructions spare the copies that two-operand
/// ones need. No fused products (AVX2 without FMA), so the same bits.
[[gnu::target("avx2")]] void projectBlocksWide(const ContactBlocks& k, const MgcVector3* left, const MgcVector3* right,
                                               dmat* out) {
  projectBlocks(k, left, right, out);
}
#endif

}  // namespace

void ContactBlocks::project(const MgcVector3* left, const MgcVector3* right, dmat* out) const {
#if ZOV_AVX2_KERNELS
  if (contactblockswide::available()) {
    projectBlocksWide(*this, left, right, out);
    return;
  }
#endif
  projectBlocks(*this, left, right, out);
}

namespace {

/// ContactBlocks::addProducts() of `k`, inlined into each encoding of it
/// below.
[[gnu::always_inline]] inline void addBlockProducts(const ContactBlocks& k, const MgcVector3* in, MgcVector3* out) {
  const std::uint32_t used = k.count();
  const double response = k.linear();
  // T (r_j x in_j) per turning body, once per contact j.
  MgcVector3 turned[2][ContactBlocks::kMaxContacts];
  for (int b = 0; b < 2; ++b) {
    if (!k.turns(b)) continue;
    for (std::uint32_t j = 0; j < used; ++j) turned[b][j] = k.inertia(b) * k.arm(b, j).Cross(in[j]);
  }
  for (std::uint32_t i = 0; i < used; ++i) {
    MgcVector3 sum = out[i];
    for (std::uint32_t j = 0; j < used; ++j) {
      MgcVector3 term = in[j] * response;
      for (int b = 0; b < 2; ++b) {
        if (k.turns(b)) term -= k.arm(b, i).Cross(turned[b][j]);
      }
      sum += term;
    }
    out[i] = sum;
  }
}

#if ZOV_AVX2_KERNELS
/// The same operations in the four-lane encoding (see projectBlocksWide).
[[gnu::target("avx2")]] void addBlockProductsWide(const ContactBlocks& k, const MgcVector3* in, MgcVector3* out) {
  addBlockProducts(k, in, out);
}
#endif

}  // namespace

void ContactBlocks::addProducts(const MgcVector3* in, MgcVector3* out) const {
#if ZOV_AVX2_KERNELS
  if (contactblockswide::available()) {
    addBlockProductsWide(*this, in, out);
    return;
  }
#endif
  addBlockProducts(*this, in, out);
}

void ContactBlockProducts::residual(dvec* u, const dvec* x) const {
  const int turning = (active.turns[0] ? kFirstTurns : 0) | (active.turns[1] ? kSecondTurns : 0);
  double* ue = u->elements;
  const auto finish = [](double* e, Pair y01, double y2) {
    (-(-Pair::load(e) + y01)).store(e);
    e[2] = -(-e[2] + y2);
  };
  // The response reads its input only; Scale is off, so nothing is stored.
  double* xe = x->elements;
  switch (turning) {
    case 0:
      feel<0>(active, respond<0, false, false>(active, xe, 1.0), ue, finish);
      break;
    case kFirstTurns:
      feel<kFirstTurns>(active, respond<kFirstTurns, false, false>(active, xe, 1.0), ue, finish);
      break;
    case kSecondTurns:
      feel<kSecondTurns>(active, respond<kSecondTurns, false, false>(active, xe, 1.0), ue, finish);
      break;
    default:
      feel<3>(active, respond<3, false, false>(active, xe, 1.0), ue, finish);
      break;
  }
}

namespace {

// out := out (-factor) + A in (A^T when Transpose) for the turning bodies of
// `a`.
template <bool Transpose>
void combineAny(const Active& a, double* in, double* out, double factor) {
  const int turning = (a.turns[0] ? kFirstTurns : 0) | (a.turns[1] ? kSecondTurns : 0);
  switch (turning) {
    case 0:
      combine<0, Transpose, false>(a, in, 1.0, out, factor);
      break;
    case kFirstTurns:
      combine<kFirstTurns, Transpose, false>(a, in, 1.0, out, factor);
      break;
    case kSecondTurns:
      combine<kSecondTurns, Transpose, false>(a, in, 1.0, out, factor);
      break;
    default:
      combine<3, Transpose, false>(a, in, 1.0, out, factor);
      break;
  }
}

}  // namespace

void ContactBlockProducts::adjoint(dvec* v, const dvec* u) const {
  // v + A^T u as v (-(-1)) + A^T u: multiplying by 1 changes nothing.
  combineAny<true>(active, u->elements, v->elements, -1.0);
}

double ContactBlockProducts::forward(dvec* u, const dvec* v, double alpha) const {
  combineAny<false>(active, v->elements, u->elements, alpha);
  return dvec_norm2(u);
}

double ContactBlockProducts::backward(dvec* v, const dvec* u, double beta) const {
  combineAny<true>(active, u->elements, v->elements, beta);
  return dvec_norm2(v);
}

void ContactBlockProducts::solve(lsqr_input* input, lsqr_output* output, lsqr_work* work) const {
  if (!contactblockswide::solve(active, input, output, work)) solveBaseline(input, output, work);
}

void ContactBlockProducts::solveBaseline(lsqr_input* input, lsqr_output* output, lsqr_work* work) const {
  const int turning = (active.turns[0] ? kFirstTurns : 0) | (active.turns[1] ? kSecondTurns : 0);
  switch (turning) {
    case 0:
      solveFused<0>(active, input, output, work);
      break;
    case kFirstTurns:
      solveFused<kFirstTurns>(active, input, output, work);
      break;
    case kSecondTurns:
      solveFused<kSecondTurns>(active, input, output, work);
      break;
    default:
      solveFused<kFirstTurns | kSecondTurns>(active, input, output, work);
      break;
  }
}
