#include "engine/solver/ContactBlocksWide.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/solver/LsqrIterations.h"
#include "platform/ProcessorFeatures.h"

#if ZOV_AVX2_KERNELS
#include <immintrin.h>

namespace contactblockswide {

namespace {

using Active = ContactBlockProducts::Active;
constexpr std::uint32_t kMaxContacts = ContactBlocks::kMaxContacts;

// Compiled for AVX2 without FMA: a fused product would round differently.
#define ZOV_WIDE [[gnu::target("avx2")]]

/// Which bodies turn: bit 0 the first, bit 1 the second.
constexpr int kFirstTurns = 1;
constexpr int kSecondTurns = 2;

/// The lanes turned so that lane k holds element k + 1 (mod 3), and k + 2:
/// a x b = a_yzx b_zxy - a_zxy b_yzx, lane by lane, as the two-lane solve
/// forms each element. Lane 3 stays where it is.
constexpr int kYzx = _MM_SHUFFLE(3, 0, 2, 1);
constexpr int kZxy = _MM_SHUFFLE(3, 1, 0, 2);

/// One contact's three elements and a zero, at a register's alignment.
struct alignas(32) Slot {
  double e[4];
};

/// A turning body's inverse inertia T as the products multiply by it: the
/// columns of T (for T l) and of T^T (for T^T l), each with its elements
/// turned yzx and zxy, so that the turns of m = T l come out of the sums
/// directly rather than by turning m after them.
struct TurnedInertia {
  Slot columnsYzx[3], columnsZxy[3];
  Slot rowsYzx[3], rowsZxy[3];
};

/// The solve's vectors and factors, the active contacts first (in their
/// order), then the others: the products read the first `active` slots, the
/// vector updates all `count`.
struct WideSystem {
  std::uint32_t count = 0;
  std::uint32_t active = 0;
  /// The contact in use of each slot.
  std::uint32_t contacts[kMaxContacts];
  Slot u[kMaxContacts], x[kMaxContacts], v[kMaxContacts], w[kMaxContacts];
  /// Each turning body's arms at the active contacts, turned yzx and zxy
  /// (see Active::arms).
  const double (*arms[2])[8] = {nullptr, nullptr};
  TurnedInertia inertias[2];
  double linear = 0.0;
  /// Whether x is +0 in every lane of every active slot.
  bool startsAtZero = false;
};

/// One turning body's share of a response, m turned yzx and zxy.
struct Turn {
  __m256d yzx, zxy;
};

struct Response {
  __m256d linear;  ///< c P
  Turn turn[2];
};

ZOV_WIDE inline __m256d load(const Slot& s) { return _mm256_load_pd(s.e); }
/// The arms' addresses, held apart from the system whose slots the loops
/// store into, so that the loops need not read them again after each store.
struct ArmRows {
  const double (*b[2])[8];
};
ZOV_WIDE inline __m256d armYzx(const ArmRows& s, int b, std::uint32_t q) {
  return _mm256_load_pd(s.b[b][q] + ContactBlockProducts::kArmYzx);
}
ZOV_WIDE inline __m256d armZxy(const ArmRows& s, int b, std::uint32_t q) {
  return _mm256_load_pd(s.b[b][q] + ContactBlockProducts::kArmZxy);
}
ZOV_WIDE inline void store(Slot& s, __m256d v) { _mm256_store_pd(s.e, v); }

/// The system's sizes and arm addresses, held apart from the slots that the
/// passes store into: a store through a vector register may alias anything,
/// so values read from the system would be read again after each one.
struct Shape {
  std::uint32_t count;
  std::uint32_t active;
  ArmRows arms;
};

ZOV_WIDE inline Shape shapeOf(const WideSystem& s) { return {s.count, s.active, {{s.arms[0], s.arms[1]}}}; }

/// (s0 + s1) + s2, as the two-lane solve adds its pair and its scalar.
ZOV_WIDE inline double sumOfLanes(__m256d s) {
  alignas(32) double lanes[4];
  _mm256_store_pd(lanes, s);
  return (lanes[0] + lanes[1]) + lanes[2];
}

/// sqrt(sumOfLanes(s)), the sum kept in a register for the square root.
ZOV_WIDE inline double normOfLanes(__m256d s) {
  const __m128d low = _mm256_castpd256_pd128(s);
  const __m128d pair = _mm_add_sd(low, _mm_unpackhi_pd(low, low));
  const __m128d all = _mm_add_sd(pair, _mm256_extractf128_pd(s, 1));
  return _mm_cvtsd_f64(_mm_sqrt_sd(all, all));
}

/// l += r x x for one body's arm at slot q.
ZOV_WIDE inline __m256d addArmCross(const ArmRows& s, int b, std::uint32_t q, __m256d xYzx, __m256d xZxy, __m256d l) {
  return _mm256_add_pd(l, _mm256_sub_pd(_mm256_mul_pd(armYzx(s, b, q), xZxy), _mm256_mul_pd(armZxy(s, b, q), xYzx)));
}

/// t0 l0 + t1 l1 + t2 l2, summed from the left.
ZOV_WIDE inline __m256d combineColumns(const Slot* t, __m256d l0, __m256d l1, __m256d l2) {
  return _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(load(t[0]), l0), _mm256_mul_pd(load(t[1]), l1)),
                       _mm256_mul_pd(load(t[2]), l2));
}

/// T l (T^T l when Transpose), each element summed from the left, turned.
template <bool Transpose>
ZOV_WIDE inline Turn turnOf(const WideSystem& s, int b, __m256d l) {
  const TurnedInertia& t = s.inertias[b];
  const __m256d l0 = _mm256_permute4x64_pd(l, _MM_SHUFFLE(0, 0, 0, 0));
  const __m256d l1 = _mm256_permute4x64_pd(l, _MM_SHUFFLE(1, 1, 1, 1));
  const __m256d l2 = _mm256_permute4x64_pd(l, _MM_SHUFFLE(2, 2, 2, 2));
  return {combineColumns(Transpose ? t.rowsYzx : t.columnsYzx, l0, l1, l2),
          combineColumns(Transpose ? t.rowsZxy : t.columnsZxy, l0, l1, l2)};
}

/// Adds slot q's x to the running sums of a response, in slot order: the
/// plain sum p and, per turning body, the sum of r x x.
template <int Turning>
ZOV_WIDE inline void addToSums(const ArmRows& arms, std::uint32_t q, __m256d x, __m256d& p, __m256d& first,
                               __m256d& second) {
  p = _mm256_add_pd(p, x);
  if (Turning == 0) return;
  const __m256d xYzx = _mm256_permute4x64_pd(x, kYzx);
  const __m256d xZxy = _mm256_permute4x64_pd(x, kZxy);
  if ((Turning & kFirstTurns) != 0) first = addArmCross(arms, 0, q, xYzx, xZxy, first);
  if ((Turning & kSecondTurns) != 0) second = addArmCross(arms, 1, q, xYzx, xZxy, second);
}

/// The response of the sums: c p, and each turning body's sum turned by
/// its inertia.
template <int Turning, bool Transpose>
ZOV_WIDE inline Response responseOf(const WideSystem& s, __m256d p, __m256d first, __m256d second) {
  Response out;
  out.linear = _mm256_mul_pd(_mm256_set1_pd(s.linear), p);
  if ((Turning & kFirstTurns) != 0) out.turn[0] = turnOf<Transpose>(s, 0, first);
  if ((Turning & kSecondTurns) != 0) out.turn[1] = turnOf<Transpose>(s, 1, second);
  return out;
}

/// The response to the active slots of `in`, each first multiplied by
/// `scale` and stored back when Scale is set.
template <int Turning, bool Transpose, bool Scale>
ZOV_WIDE inline Response respond(const WideSystem& s, const Shape& shape, Slot* in, double scale) {
  const __m256d k = _mm256_set1_pd(scale);
  __m256d p = _mm256_setzero_pd();
  __m256d first = _mm256_setzero_pd();
  __m256d second = _mm256_setzero_pd();
  const ArmRows& arms = shape.arms;
  for (std::uint32_t q = 0, active = shape.active; q < active; ++q) {
    __m256d x = load(in[q]);
    if (Scale) {
      x = _mm256_mul_pd(x, k);
      store(in[q], x);
    }
    addToSums<Turning>(arms, q, x, p, first, second);
  }
  return responseOf<Turning, Transpose>(s, p, first, second);
}

/// The response felt at active slot q: c P + m x r_q per turning body.
template <int Turning>
ZOV_WIDE inline __m256d feel(const ArmRows& s, const Response& r, std::uint32_t q) {
  __m256d y = r.linear;
  for (int b = 0; b < 2; ++b) {
    if ((Turning & (1 << b)) == 0) continue;
    const Turn& m = r.turn[b];
    y = _mm256_add_pd(y, _mm256_sub_pd(_mm256_mul_pd(m.yzx, armZxy(s, b, q)), _mm256_mul_pd(m.zxy, armYzx(s, b, q))));
  }
  return y;
}

/// out := out (-factor) + r over the active slots; returns |out| over them.
template <int Turning>
ZOV_WIDE inline double combineWith(const Shape& shape, const Response& r, Slot* out, double factor) {
  const __m256d scale = _mm256_set1_pd(-factor);
  __m256d sum = _mm256_setzero_pd();
  const ArmRows& arms = shape.arms;
  for (std::uint32_t q = 0, active = shape.active; q < active; ++q) {
    const __m256d e = _mm256_add_pd(_mm256_mul_pd(load(out[q]), scale), feel<Turning>(arms, r, q));
    store(out[q], e);
    sum = _mm256_add_pd(sum, _mm256_mul_pd(e, e));
  }
  return normOfLanes(sum);
}

/// out := out (-factor) + A in over the active slots (A^T when Transpose);
/// returns |out| over them.
template <int Turning, bool Transpose, bool Scale>
ZOV_WIDE inline double combine(const WideSystem& s, const Shape& shape, Slot* in, double inScale, Slot* out,
                               double factor) {
  return combineWith<Turning>(shape, respond<Turning, Transpose, Scale>(s, shape, in, inScale), out, factor);
}

/// Slot q of the vector update: x += t1 w, w := t2 w + v', v' = v vScale;
/// returns the new w, squared, and v' in `scaled`.
ZOV_WIDE inline __m256d updateSlot(WideSystem& s, __m256d t1, __m256d t2, __m256d vScale, std::uint32_t q,
                                   __m256d& scaled) {
  const __m256d w = load(s.w[q]);
  store(s.x[q], _mm256_add_pd(load(s.x[q]), _mm256_mul_pd(t1, w)));
  scaled = _mm256_mul_pd(load(s.v[q]), vScale);
  const __m256d next = _mm256_add_pd(_mm256_mul_pd(t2, w), scaled);
  store(s.w[q], next);
  return _mm256_mul_pd(next, next);
}

/// The vector update over the slots from `first` on, its squares added to
/// `sum` in slot order; v is left as it is.
ZOV_WIDE inline __m256d updateSlots(WideSystem& s, const Shape& shape, __m256d t1, __m256d t2, __m256d vScale,
                                    std::uint32_t first, __m256d sum) {
  for (std::uint32_t q = first, count = shape.count; q < count; ++q) {
    __m256d scaled;
    sum = _mm256_add_pd(sum, updateSlot(s, t1, t2, vScale, q, scaled));
  }
  return sum;
}

/// A vector update that waits for the next product A v, which takes the
/// same scaled v.
struct PendingUpdate {
  __m256d t1, t2, vScale;
};

/// The vector update `up` (returning |w|^2 in wSquared) and the response A
/// v' in one pass over the active slots, v' = v vScale stored as
/// respond<Turning, false, true>() stores it, every element formed as the
/// two passes form it; then the update of the other slots.
template <int Turning>
ZOV_WIDE inline Response respondAfterUpdate(WideSystem& s, const Shape& shape, const PendingUpdate& up,
                                            double& wSquared) {
  __m256d p = _mm256_setzero_pd();
  __m256d first = _mm256_setzero_pd();
  __m256d second = _mm256_setzero_pd();
  __m256d sum = _mm256_setzero_pd();
  const ArmRows& arms = shape.arms;
  const std::uint32_t active = shape.active;
  for (std::uint32_t q = 0; q < active; ++q) {
    __m256d x;
    sum = _mm256_add_pd(sum, updateSlot(s, up.t1, up.t2, up.vScale, q, x));
    store(s.v[q], x);
    addToSums<Turning>(arms, q, x, p, first, second);
  }
  wSquared = sumOfLanes(updateSlots(s, shape, up.t1, up.t2, up.vScale, active, sum));
  return responseOf<Turning, false>(s, p, first, second);
}

/// The vector work of lsqr (see LsqrIterations.h) on the slots, with the
/// scalings folded into the next product's first pass as the two-lane solve
/// folds them.
template <int Turning>
class WideVectors {
 public:
  explicit WideVectors(WideSystem& system) : s_(system), shape_(shapeOf(system)) {}

  /// gather() leaves v and w zero, in the pass that lays out u and x.
  void begin() {}
  ZOV_WIDE void start(double& beta, double& alpha) {
    // u := u - A x, as -((-u) + A x). From x = +0 with factors whose
    // products with +0 are zeros, A x is +0 in every lane (see
    // feelsNothingAtZero), and the products are not formed.
    if (s_.startsAtZero && feelsNothingAtZero()) {
      beta = takeFromU<true>(nullptr);
    } else {
      const Response r = respond<Turning, false, false>(s_, shape_, s_.x, 1.0);
      beta = takeFromU<false>(&r);
    }
    if (beta > 0.0) alpha = combine<Turning, true, true>(s_, shape_, s_.u, 1.0 / beta, s_.v, 0.0);
    wSquared_ = 0.0;
    if (alpha > 0.0) {
      // |w|^2 element by element in column order: the slots not active are
      // zeros, which leave the sum as it is wherever they come.
      const __m256d scale = _mm256_set1_pd(1.0 / alpha);
      for (std::uint32_t q = 0, count = shape_.count; q < count; ++q) {
        const __m256d v = _mm256_mul_pd(load(s_.v[q]), scale);
        store(s_.v[q], v);
        store(s_.w[q], v);
        for (int k = 0; k < 3; ++k) wSquared_ += s_.w[q].e[k] * s_.w[q].e[k];
      }
    }
  }
  ZOV_WIDE double forward(double alpha) {
    double norm;
    if (pending_) {
      // The update that waits takes v' = v vScale, which this product
      // takes too: one pass forms it for both.
      const PendingUpdate up = {_mm256_set1_pd(t1_), _mm256_set1_pd(t2_), _mm256_set1_pd(vScale_)};
      norm = combineWith<Turning>(shape_, respondAfterUpdate<Turning>(s_, shape_, up, wSquared_), s_.u, alpha);
      pending_ = false;
    } else {
      norm = combine<Turning, false, true>(s_, shape_, s_.v, vScale_, s_.u, alpha);
    }
    vScale_ = 1.0;
    return norm;
  }
  void scaleU(double factor) { uScale_ = factor; }
  ZOV_WIDE double backward(double beta) {
    const double norm = combine<Turning, true, true>(s_, shape_, s_.u, uScale_, s_.v, beta);
    uScale_ = 1.0;
    return norm;
  }
  void scaleV(double factor) { vScale_ = factor; }
  /// The update waits for the next forward() (or finishErrors()), which
  /// does it in its own pass: nothing reads x, w or |w|^2 before then.
  double update(const lsqriterations::LsqrUpdate& t) {
    t1_ = t.t1;
    t2_ = t.t2;
    pending_ = true;
    return wSquared_;
  }
  ZOV_WIDE void finishErrors(double /*scale*/) {
    if (!pending_) return;
    const __m256d t1 = _mm256_set1_pd(t1_);
    const __m256d t2 = _mm256_set1_pd(t2_);
    const __m256d vScale = _mm256_set1_pd(vScale_);
    wSquared_ = sumOfLanes(updateSlots(s_, shape_, t1, t2, vScale, 0, _mm256_setzero_pd()));
    pending_ = false;
  }

 private:
  /// u := -((-u) + y) over the active slots, y the response `r` felt at
  /// each (+0 in every lane with FromZero); returns |u| over them.
  template <bool FromZero>
  ZOV_WIDE double takeFromU(const Response* r) {
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m256d zero = _mm256_setzero_pd();
    __m256d sum = _mm256_setzero_pd();
    for (std::uint32_t q = 0, active = shape_.active; q < active; ++q) {
      const __m256d negated = _mm256_xor_pd(load(s_.u[q]), sign);
      const __m256d y = FromZero ? zero : feel<Turning>(shape_.arms, *r, q);
      const __m256d e = _mm256_xor_pd(_mm256_add_pd(negated, y), sign);
      store(s_.u[q], e);
      sum = _mm256_add_pd(sum, _mm256_mul_pd(e, e));
    }
    return normOfLanes(sum);
  }

  /// Whether A x is +0 in every lane for x = +0: then the sums of x and of
  /// r x x start at +0 and stay there (+0 plus a zero of either sign is
  /// +0), c times +0 is +0 for c positive and finite or +0, a finite
  /// inertia turns +0 into zeros, and the response felt, c P plus the
  /// products of those zeros with finite arms, is +0 again. Arms and
  /// inertias are finite where their products with zero sum to no NaN.
  ZOV_WIDE bool feelsNothingAtZero() const {
    const double c = s_.linear;
    const bool linearZero = (c > 0.0 && c <= std::numeric_limits<double>::max()) || (c == 0.0 && !std::signbit(c));
    if (!linearZero) return false;
    if (Turning == 0) return true;
    const __m256d zero = _mm256_setzero_pd();
    __m256d probe = zero;
    for (int b = 0; b < 2; ++b) {
      if ((Turning & (1 << b)) == 0) continue;
      for (std::uint32_t q = 0, active = shape_.active; q < active; ++q) {
        probe = _mm256_add_pd(probe, _mm256_mul_pd(armYzx(shape_.arms, b, q), zero));
      }
      for (int k = 0; k < 3; ++k) {
        probe = _mm256_add_pd(probe, _mm256_mul_pd(load(s_.inertias[b].columnsYzx[k]), zero));
      }
    }
    return _mm256_movemask_pd(_mm256_cmp_pd(probe, probe, _CMP_UNORD_Q)) == 0;
  }

  WideSystem& s_;
  const Shape shape_;
  double uScale_ = 1.0;
  double vScale_ = 1.0;
  double wSquared_ = 0.0;
  bool pending_ = false;
  /// The factors of the update that waits (the error sums are not kept).
  double t1_ = 0.0;
  double t2_ = 0.0;
};

/// The whole solve, its iterations inlined so that they run in AVX2 code.
template <int Turning>
[[gnu::target("avx2"), gnu::flatten]] void solveWide(WideSystem& s, const lsqr_input* input, lsqr_output* output) {
  WideVectors<Turning> vectors(s);
  lsqriterations::solve(vectors, input, output);
}

/// Three elements in a register, the fourth lane zero.
ZOV_WIDE inline __m256d elementsOf(const double* elements) {
  const __m256d low = _mm256_castpd128_pd256(_mm_loadu_pd(elements));
  return _mm256_insertf128_pd(low, _mm_load_sd(elements + 2), 1);
}

/// A contact's three elements into a slot, the fourth lane zero.
ZOV_WIDE inline void toSlot(const double* elements, Slot& slot) { store(slot, elementsOf(elements)); }

/// v turned yzx and zxy into two slots.
ZOV_WIDE inline void storeTurns(__m256d v, Slot& yzx, Slot& zxy) {
  store(yzx, _mm256_permute4x64_pd(v, kYzx));
  store(zxy, _mm256_permute4x64_pd(v, kZxy));
}

/// A slot's three elements back.
ZOV_WIDE inline void fromSlot(const Slot& slot, double* elements) {
  _mm_storeu_pd(elements, _mm_load_pd(slot.e));
  elements[2] = slot.e[2];
}

/// The columns of T and of T^T (its rows), each turned yzx and zxy: element
/// k of column j taken from row k + 1 and k + 2, lane 3 zero.
ZOV_WIDE inline void turnInertia(const Mgc::MgcMatrix3& t, TurnedInertia& to) {
  const __m256d r0 = elementsOf(t[0]);
  const __m256d r1 = elementsOf(t[1]);
  const __m256d r2 = elementsOf(t[2]);
  const __m256d zero = _mm256_setzero_pd();
  // The transpose: lanes (r0_j r1_j r0_j+2 r1_j+2) and (r2_j 0 r2_j+2 0),
  // their low halves for j = 0, 1 and the high halves for j = 2.
  const __m256d even01 = _mm256_unpacklo_pd(r0, r1);
  const __m256d odd01 = _mm256_unpackhi_pd(r0, r1);
  const __m256d even2 = _mm256_unpacklo_pd(r2, zero);
  const __m256d odd2 = _mm256_unpackhi_pd(r2, zero);
  storeTurns(_mm256_permute2f128_pd(even01, even2, 0x20), to.columnsYzx[0], to.columnsZxy[0]);
  storeTurns(_mm256_permute2f128_pd(odd01, odd2, 0x20), to.columnsYzx[1], to.columnsZxy[1]);
  storeTurns(_mm256_permute2f128_pd(even01, even2, 0x31), to.columnsYzx[2], to.columnsZxy[2]);
  storeTurns(r0, to.rowsYzx[0], to.rowsZxy[0]);
  storeTurns(r1, to.rowsYzx[1], to.rowsZxy[1]);
  storeTurns(r2, to.rowsYzx[2], to.rowsZxy[2]);
}

/// Lays the records and factors out in slots; false when they do not fit.
ZOV_WIDE bool gather(const Active& a, const lsqr_input* input, const lsqr_work* work, WideSystem& s) {
  const std::uint32_t columns = input->columnCount;
  if (columns % 3 != 0 || columns / 3 > kMaxContacts || a.count > columns / 3) return false;
  if (input->b->length < columns || input->x->length < columns || work->v->length < columns ||
      work->w->length < columns) {
    return false;
  }
  s.count = columns / 3;
  s.active = a.count;
  s.linear = a.linear;
  // The active contacts first, then the others, each group in order.
  std::uint32_t next = a.count;
  std::uint32_t p = 0;
  for (std::uint32_t i = 0; i < s.count; ++i) {
    if (p < a.count && a.contacts[p] == i) {
      s.contacts[p++] = i;
    } else {
      if (next >= s.count) return false;
      s.contacts[next++] = i;
    }
  }
  if (p != a.count) return false;
  // The records' addresses held apart, not read again after each store.
  const double* const rhs = input->b->elements;
  const double* const start = input->x->elements;
  const __m256d zero = _mm256_setzero_pd();
  // The bits of the active slots' x together: all clear where x is +0.
  __m256d bits = zero;
  for (std::uint32_t q = 0; q < s.count; ++q) {
    const std::uint32_t at = 3 * s.contacts[q];
    toSlot(rhs + at, s.u[q]);
    toSlot(start + at, s.x[q]);
    if (q < s.active) bits = _mm256_or_pd(bits, load(s.x[q]));
    store(s.v[q], zero);
    store(s.w[q], zero);
  }
  s.startsAtZero = _mm256_testz_si256(_mm256_castpd_si256(bits), _mm256_castpd_si256(bits)) != 0;
  for (int b = 0; b < 2; ++b) {
    s.arms[b] = a.arms[b];
    if (!a.turns[b]) continue;
    turnInertia(a.inertias[b], s.inertias[b]);
  }
  return true;
}

/// The slots back into the records.
ZOV_WIDE void scatter(const WideSystem& s, lsqr_input* input, lsqr_work* work) {
  // The records' addresses held apart, not read again after each store.
  double* const b = input->b->elements;
  double* const x = input->x->elements;
  double* const v = work->v->elements;
  double* const w = work->w->elements;
  for (std::uint32_t q = 0; q < s.count; ++q) {
    const std::uint32_t at = 3 * s.contacts[q];
    fromSlot(s.u[q], b + at);
    fromSlot(s.x[q], x + at);
    fromSlot(s.v[q], v + at);
    fromSlot(s.w[q], w + at);
  }
}

}  // namespace

bool available() { return zov::platform::hasAvx2(); }

bool solve(const Active& a, lsqr_input* input, lsqr_output* output, lsqr_work* work) {
  if (!available()) return false;
  WideSystem s;
  if (!gather(a, input, work, s)) return false;
  const int turning = (a.turns[0] ? kFirstTurns : 0) | (a.turns[1] ? kSecondTurns : 0);
  switch (turning) {
    case 0:
      solveWide<0>(s, input, output);
      break;
    case kFirstTurns:
      solveWide<kFirstTurns>(s, input, output);
      break;
    case kSecondTurns:
      solveWide<kSecondTurns>(s, input, output);
      break;
    default:
      solveWide<kFirstTurns | kSecondTurns>(s, input, output);
      break;
  }
  scatter(s, input, work);
  return true;
}

}  // namespace contactblockswide

#else

namespace contactblockswide {

bool available() { return false; }

bool solve(const ContactBlockProducts::Active&, lsqr_input*, lsqr_output*, lsqr_work*) { return false; }

}  // namespace contactblockswide

#endif
