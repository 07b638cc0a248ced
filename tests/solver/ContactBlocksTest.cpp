#include "engine/solver/ContactBlocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/collision/SolverWorkspace.h"
#include "engine/solver/Lsqr.h"
#include "engine/solver/LsqrIterations.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/RecordedContactSystems.h"
#include "support/reference/EigenReference.h"

namespace {

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovfixtures::fillContactBlocks;
using zovfixtures::kRecordedPileSystems;
using zovfixtures::RecordedContactSystem;
using zovref::MatX;
using zovref::VecX;

using zovref::Mat3;
using zovref::Vec3;

Vec3 vec3(const double* v) { return {v[0], v[1], v[2]}; }

/// The system's dense matrix from the physics of its factors: column l of
/// block (i, j) is the velocity change at contact i of a unit impulse e_l at
/// contact j, c e_l from the linear response and (T (r_j x e_l)) x r_i from
/// each turning body's turn.
MatX matrixOf(const RecordedContactSystem& system) {
  const int n = static_cast<int>(system.contacts);
  MatX out(3 * n, 3 * n);
  const double* inertias[2] = {system.firstInertia, system.secondInertia};
  const double* arms[2] = {system.firstArms, system.secondArms};
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      for (int l = 0; l < 3; ++l) {
        Vec3 change = system.linear * Vec3::unit(l);
        for (int b = 0; b < 2; ++b) {
          if (inertias[b] == nullptr) continue;
          const double* t = inertias[b];
          const Mat3 inertia(t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8]);
          const Vec3 turn = inertia * cross(vec3(arms[b] + 3 * j), Vec3::unit(l));
          change += cross(turn, vec3(arms[b] + 3 * i));
        }
        for (int k = 0; k < 3; ++k) out(3 * i + k, 3 * j + l) = change[k];
      }
    }
  }
  return out;
}

std::vector<MgcVector3> normalsOf(const RecordedContactSystem& system) {
  std::vector<MgcVector3> out;
  for (std::uint32_t i = 0; i < system.contacts; ++i) {
    out.emplace_back(system.normals[3 * i], system.normals[3 * i + 1], system.normals[3 * i + 2]);
  }
  return out;
}

VecX read(const dvec* v) {
  VecX out(static_cast<int>(v->length));
  for (int i = 0; i < out.size(); ++i) out(i) = v->elements[i];
  return out;
}

struct Solved {
  VecX x;  // the kept contacts' impulses
  std::vector<std::uint8_t> marks;
  double residual;
};

// The dense solve: the matrix written into the workspace's dense system.
Solved solveDense(SolverWorkspace& workspace, const RecordedContactSystem& system) {
  const std::uint32_t n = system.contacts;
  const MatX a = matrixOf(system);
  dvec *rhs = nullptr, *x = nullptr;
  dmat* matrix = nullptr;
  EXPECT_TRUE(workspace.prepareVectorSystem(n, 0, rhs, x, matrix));
  for (int r = 0; r < a.rows; ++r) {
    dvec row = getMatrixRow(matrix, static_cast<std::uint32_t>(r));
    for (int c = 0; c < a.cols; ++c) row.elements[c] = a(r, c);
    rhs->elements[r] = system.rhs[r];
  }
  std::vector<std::uint8_t> marks(n, 7);
  const std::vector<MgcVector3> normals = normalsOf(system);
  const double residual = workspace.solveVectorSystem(n, matrix, rhs, x, normals.data(), marks.data());
  return {read(x), marks, residual};
}

// The block solve of the same system.
Solved solveBlocks(SolverWorkspace& workspace, const RecordedContactSystem& system) {
  const std::uint32_t n = system.contacts;
  dvec *rhs = nullptr, *x = nullptr;
  ContactBlocks* blocks = nullptr;
  EXPECT_TRUE(workspace.prepareBlockSystem(n, rhs, x, blocks));
  fillContactBlocks(system, *blocks);
  for (std::uint32_t r = 0; r < 3 * n; ++r) rhs->elements[r] = system.rhs[r];
  std::vector<std::uint8_t> marks(n, 7);
  const std::vector<MgcVector3> normals = normalsOf(system);
  const double residual = workspace.solveBlockSystem(n, blocks, rhs, x, normals.data(), marks.data());
  EXPECT_EQ(blocks->count(), static_cast<std::uint32_t>(x->length / 3));
  return {read(x), marks, residual};
}

/// The vector work of lsqr over contact factors in plain loops, one element
/// at a time: the sums the block solve is meant to take, in the order it is
/// meant to take them. Marked contacts are out of the products; the vector
/// updates run over every element.
class PlainBlockVectors {
 public:
  PlainBlockVectors(double linear, const MgcMatrix3* inertias[2], const std::vector<MgcVector3>* arms,
                    const std::vector<std::uint8_t>& marks, lsqr_input* input, lsqr_work* work)
      : c(linear),
        inertia{inertias[0], inertias[1]},
        arm(arms),
        out(marks),
        columns(input->columnCount),
        u(input->b->elements),
        x(input->x->elements),
        v(work->v->elements),
        w(work->w->elements) {}

  void begin() {
    for (std::uint32_t i = 0; i < columns; ++i) v[i] = w[i] = 0.0;
  }
  void start(double& beta, double& alpha) {
    std::vector<double> y = product(x, false);
    double s[3] = {0.0, 0.0, 0.0};
    for (std::uint32_t i : active()) {
      for (int k = 0; k < 3; ++k) {
        double& e = u[3 * i + k];
        e = -(-e + y[3 * i + k]);
        s[k] += e * e;
      }
    }
    beta = std::sqrt((s[0] + s[1]) + s[2]);
    if (beta > 0.0) {
      uScale = 1.0 / beta;
      alpha = combine(u, uScale, v, 0.0, true);
    }
    wSquared = 0.0;
    if (alpha > 0.0) {
      const double scale = 1.0 / alpha;
      for (std::uint32_t i = 0; i < columns; ++i) {
        v[i] *= scale;
        w[i] = v[i];
        wSquared += w[i] * w[i];
      }
    }
  }
  double forward(double alpha) {
    const double norm = combine(v, vScale, u, alpha, false);
    vScale = 1.0;
    return norm;
  }
  void scaleU(double factor) { uScale = factor; }
  double backward(double beta) {
    const double norm = combine(u, uScale, v, beta, true);
    uScale = 1.0;
    return norm;
  }
  void scaleV(double factor) { vScale = factor; }
  double update(const lsqriterations::LsqrUpdate& t) {
    const double before = wSquared;
    double s[3] = {0.0, 0.0, 0.0};
    for (std::uint32_t i = 0; i < columns; ++i) {
      x[i] += t.t1 * w[i];
      w[i] = t.t2 * w[i] + v[i] * vScale;
      s[i % 3] += w[i] * w[i];
    }
    wSquared = (s[0] + s[1]) + s[2];
    return before;
  }
  void finishErrors(double /*scale*/) {}

 private:
  std::vector<std::uint32_t> active() const {
    std::vector<std::uint32_t> kept;
    for (std::uint32_t i = 0; i < out.size(); ++i) {
      if (out[i] == 0) kept.push_back(i);
    }
    return kept;
  }
  /// A in (A^T in when transposed) at the unmarked contacts: c P, then
  /// m x r_i per turning body, m = T L (T^T L), P the sum of the impulses
  /// and L the sum of arm x impulse, every sum taken from zero in contact
  /// order.
  std::vector<double> product(const double* in, bool transposed) const {
    double p[3] = {0.0, 0.0, 0.0};
    double l[2][3] = {};
    for (std::uint32_t q : active()) {
      const double* e = in + 3 * q;
      for (int k = 0; k < 3; ++k) p[k] += e[k];
      for (int b = 0; b < 2; ++b) {
        if (inertia[b] == nullptr) continue;
        const MgcVector3& r = arm[b][q];
        l[b][0] += r.y * e[2] - r.z * e[1];
        l[b][1] += r.z * e[0] - r.x * e[2];
        l[b][2] += r.x * e[1] - r.y * e[0];
      }
    }
    double m[2][3] = {};
    for (int b = 0; b < 2; ++b) {
      if (inertia[b] == nullptr) continue;
      const MgcMatrix3& t = *inertia[b];
      for (int k = 0; k < 3; ++k) {
        m[b][k] = transposed ? t[0][k] * l[b][0] + t[1][k] * l[b][1] + t[2][k] * l[b][2]
                             : t[k][0] * l[b][0] + t[k][1] * l[b][1] + t[k][2] * l[b][2];
      }
    }
    std::vector<double> y(columns, 0.0);
    for (std::uint32_t i : active()) {
      double* e = y.data() + 3 * i;
      for (int k = 0; k < 3; ++k) e[k] = c * p[k];
      for (int b = 0; b < 2; ++b) {
        if (inertia[b] == nullptr) continue;
        const MgcVector3& r = arm[b][i];
        e[0] += m[b][1] * r.z - m[b][2] * r.y;
        e[1] += m[b][2] * r.x - m[b][0] * r.z;
        e[2] += m[b][0] * r.y - m[b][1] * r.x;
      }
    }
    return y;
  }
  /// to := to (-factor) + A (in scale) at the unmarked contacts, the scaled
  /// `in` stored; returns |to| over them.
  double combine(double* in, double scale, double* to, double factor, bool transposed) {
    for (std::uint32_t q : active()) {
      for (int k = 0; k < 3; ++k) in[3 * q + k] *= scale;
    }
    const std::vector<double> y = product(in, transposed);
    double s[3] = {0.0, 0.0, 0.0};
    for (std::uint32_t i : active()) {
      for (int k = 0; k < 3; ++k) {
        double& e = to[3 * i + k];
        e = e * -factor + y[3 * i + k];
        s[k] += e * e;
      }
    }
    return std::sqrt((s[0] + s[1]) + s[2]);
  }

  double c;
  const MgcMatrix3* inertia[2];
  const std::vector<MgcVector3>* arm;
  const std::vector<std::uint8_t>& out;
  std::uint32_t columns;
  double* u;
  double* x;
  double* v;
  double* w;
  double uScale = 1.0;
  double vScale = 1.0;
  double wSquared = 0.0;
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// Systems recorded from the falling pile: the block solve takes out the same
// contacts and finds the dense solve's impulses, and those impulses push and
// solve the kept system as well as a reference least-squares solve does.
TEST(ContactBlocks, RecordedPileSystemsSolveAsTheDenseSystem) {
  SolverWorkspace denseWorkspace;
  SolverWorkspace blockWorkspace;
  int removed = 0;
  for (const RecordedContactSystem& system : kRecordedPileSystems) {
    SCOPED_TRACE(system.contacts);
    const Solved dense = solveDense(denseWorkspace, system);
    const Solved block = solveBlocks(blockWorkspace, system);
    ASSERT_EQ(block.marks, dense.marks);
    ASSERT_EQ(block.x.size(), dense.x.size());
    const double scale = norm(dense.x);
    ASSERT_GT(scale, 0.0);
    for (int k = 0; k < dense.x.size(); ++k) EXPECT_NEAR(block.x(k), dense.x(k), 1e-9 * scale);
    EXPECT_NEAR(block.residual, dense.residual, 1e-9 * (scale + dense.residual));

    const MatX full = matrixOf(system);
    std::vector<int> kept;
    for (int i = 0; i < static_cast<int>(system.contacts); ++i) {
      if (block.marks[static_cast<std::size_t>(i)] == 0) kept.push_back(i);
      removed += block.marks[static_cast<std::size_t>(i)];
    }
    const int size = 3 * static_cast<int>(kept.size());
    MatX a(size, size);
    VecX b(size);
    for (int p = 0; p < static_cast<int>(kept.size()); ++p) {
      for (int k = 0; k < 3; ++k) {
        b(3 * p + k) = system.rhs[3 * kept[p] + k];
        for (int q = 0; q < static_cast<int>(kept.size()); ++q) {
          for (int l = 0; l < 3; ++l) a(3 * p + k, 3 * q + l) = full(3 * kept[p] + k, 3 * kept[q] + l);
        }
      }
      const zovref::Vec3 normal(system.normals[3 * kept[p]], system.normals[3 * kept[p] + 1],
                                system.normals[3 * kept[p] + 2]);
      EXPECT_GE(dot(normal, block.x.segment3(p)), -1e-5);
    }
    const VecX best = zovref::minimumNormSolve(a, b);
    EXPECT_NEAR(norm(a * block.x - b), norm(a * best - b), 1e-7 * (1.0 + norm(b)));
  }
  // The recorded systems include contacts that pull and are taken out.
  EXPECT_GT(removed, 0);
}

// The products over the blocks with contacts taken out give the dense
// products of the matrix whose taken-out rows and columns are zero, but for
// rounding, and leave the taken-out elements as they are.
TEST(ContactBlocks, ProductsSkipTakenOutContactsAsZeroedRowsAndColumns) {
  const RecordedContactSystem* largest = &kRecordedPileSystems[0];
  for (const RecordedContactSystem& system : kRecordedPileSystems) {
    if (system.contacts > largest->contacts) largest = &system;
  }
  const std::uint32_t n = largest->contacts;
  ASSERT_GE(n, 4u);
  const int size = static_cast<int>(3 * n);
  MatX a = matrixOf(*largest);
  ContactBlocks blocks;
  fillContactBlocks(*largest, blocks);
  std::vector<std::uint8_t> marks(n, 0);
  marks[1] = 1;
  marks[n - 1] = 1;
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) {
      if (marks[static_cast<std::size_t>(r / 3)] != 0 || marks[static_cast<std::size_t>(c / 3)] != 0) a(r, c) = 0.0;
    }
  }
  const ContactBlockProducts products(blocks, marks.data());
  LsqrProblem dense(static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size));
  ASSERT_TRUE(dense.setSize(static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size)));
  for (int r = 0; r < size; ++r) {
    dvec row = getMatrixRow(dense.func->matrix, static_cast<std::uint32_t>(r));
    for (int c = 0; c < size; ++c) row.elements[c] = a(r, c);
  }

  // Start vectors whose taken-out elements are zero, as in a solve.
  std::vector<double> in(static_cast<std::size_t>(size));
  std::vector<double> start(static_cast<std::size_t>(size));
  for (int k = 0; k < size; ++k) {
    const bool out = marks[static_cast<std::size_t>(k / 3)] != 0;
    in[static_cast<std::size_t>(k)] = out ? 0.0 : std::sin(1.0 + k);
    start[static_cast<std::size_t>(k)] = out ? 0.0 : std::cos(2.0 * k);
  }
  const VecX inVector(in);
  const VecX startVector(start);
  dvec inView{1, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size), in.data()};

  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(mode);
    std::vector<double> byBlocks(start);
    std::vector<double> byDense(start);
    dvec blockView{1, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size), byBlocks.data()};
    dvec denseView{1, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size), byDense.data()};
    VecX expected;
    double norm = 0.0;
    const double factor = 0.75;
    if (mode == 0) {
      // y := y (-alpha) + A x.
      norm = products.forward(&blockView, &inView, factor);
      dvec_scale(&denseView, -factor);
      lsqr_mat_vec_prod(0, &inView, &denseView, dense.func->matrix);
      expected = startVector * -factor + a * inVector;
    } else if (mode == 1) {
      // x := x + A^T y.
      products.adjoint(&blockView, &inView);
      lsqr_mat_vec_prod(1, &denseView, &inView, dense.func->matrix);
      expected = startVector + transpose(a) * inVector;
    } else if (mode == 2) {
      // x := x (-beta) + A^T y.
      norm = products.backward(&blockView, &inView, factor);
      dvec_scale(&denseView, -factor);
      lsqr_mat_vec_prod(1, &denseView, &inView, dense.func->matrix);
      expected = startVector * -factor + transpose(a) * inVector;
    } else {
      // y := y - A x.
      products.residual(&blockView, &inView);
      dvec_scale(&denseView, -1.0);
      lsqr_mat_vec_prod(0, &inView, &denseView, dense.func->matrix);
      dvec_scale(&denseView, -1.0);
      expected = startVector - a * inVector;
    }
    for (int k = 0; k < size; ++k) {
      const auto at = static_cast<std::size_t>(k);
      if (marks[static_cast<std::size_t>(k / 3)] != 0) {
        EXPECT_EQ(byBlocks[at], start[at]) << k;
      }
      EXPECT_NEAR(byBlocks[at], byDense[at], 1e-13 * (1.0 + std::fabs(byDense[at]))) << k;
      EXPECT_NEAR(byBlocks[at], expected(k), 1e-12 * (1.0 + std::fabs(expected(k)))) << k;
    }
    if (mode == 0 || mode == 2) {
      EXPECT_NEAR(norm, zovref::norm(expected), 1e-12 * (1.0 + norm));
    }
  }
}

// A block and a block's product are those of the dense matrix; contacts
// dropped after a solve leave the kept contacts in order; restoring brings
// every contact of the last reset back.
TEST(ContactBlocks, KeptContactsReadTheirOwnBlocks) {
  const RecordedContactSystem& system = kRecordedPileSystems[3];
  ASSERT_EQ(system.contacts, 4u);
  ASSERT_NE(system.secondInertia, nullptr);
  const MatX a = matrixOf(system);
  ContactBlocks blocks;
  fillContactBlocks(system, blocks);
  const auto expectBlock = [&](std::uint32_t i, std::uint32_t j, std::uint32_t stored) {
    const MgcMatrix3 block = blocks.block(i, j);
    const MgcVector3 v(1.0, -2.0, 0.5);
    const MgcVector3 product = blocks.times(i, j, v);
    for (int r = 0; r < 3; ++r) {
      double sum = 0.0;
      for (int c = 0; c < 3; ++c) {
        const double entry = a(static_cast<int>(3 * (stored / 4) + r), static_cast<int>(3 * (stored % 4) + c));
        EXPECT_NEAR(block[r][c], entry, 1e-13 * (1.0 + std::fabs(entry)));
        sum += entry * v[c];
      }
      EXPECT_NEAR(product[r], sum, 1e-13 * (1.0 + std::fabs(sum)));
    }
  };
  const std::uint8_t marks[4] = {0, 1, 0, 1};
  blocks.keep(marks);
  ASSERT_EQ(blocks.count(), 2u);
  // In use: stored contacts 0 and 2; block (i, j) is stored block 4 i' + j'.
  const struct { std::uint32_t i, j, stored; } cases[] = {{0, 0, 0}, {0, 1, 2}, {1, 0, 8}, {1, 1, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    expectBlock(c.i, c.j, c.stored);
  }
  blocks.restore();
  ASSERT_EQ(blocks.count(), 4u);
  expectBlock(3, 1, 13);
}

// The normal rows of the system between two sets of directions are those of
// the dense matrix, for systems with one and with two turning bodies.
TEST(ContactBlocks, ProjectionsAreTheDenseMatrixBetweenDirections) {
  for (const RecordedContactSystem& system : kRecordedPileSystems) {
    SCOPED_TRACE(system.contacts);
    const std::uint32_t n = system.contacts;
    const MatX a = matrixOf(system);
    ContactBlocks blocks;
    fillContactBlocks(system, blocks);
    std::vector<MgcVector3> left;
    std::vector<MgcVector3> right;
    for (std::uint32_t i = 0; i < n; ++i) {
      left.emplace_back(system.normals[3 * i], system.normals[3 * i + 1], system.normals[3 * i + 2]);
      right.emplace_back(left.back() + MgcVector3(std::sin(1.0 + i), 0.3, std::cos(2.0 * i)) * 0.5);
    }
    LsqrProblem out(n, n);
    ASSERT_TRUE(out.setSize(n, n));
    blocks.project(left.data(), right.data(), out.func->matrix);
    for (std::uint32_t i = 0; i < n; ++i) {
      const dvec row = getMatrixRow(out.func->matrix, i);
      for (std::uint32_t j = 0; j < n; ++j) {
        double expected = 0.0;
        for (int r = 0; r < 3; ++r) {
          for (int c = 0; c < 3; ++c) {
            expected += left[i][r] * a(static_cast<int>(3 * i) + r, static_cast<int>(3 * j) + c) * right[j][c];
          }
        }
        EXPECT_NEAR(row.elements[j], expected, 1e-12 * (1.0 + std::fabs(expected))) << i << " " << j;
      }
    }
  }
}

// The projections and the products over many impulses are the scalar
// formulas to the bit, entries formed side by side or in turn: for odd and
// even counts, every set of turning bodies, and directions on both sides
// given apart or as one array.
TEST(ContactBlocks, ProjectionsAndProductsKeepTheScalarSums) {
  for (std::uint32_t n : {1u, 2u, 3u, 6u, 9u}) {
    for (int turning = 0; turning < 4; ++turning) {
      SCOPED_TRACE(testing::Message() << n << " contacts, turning " << turning);
      // Arms, inertias and directions of no particular shape, so that no sum
      // is exact by accident.
      const auto value = [](double k) { return std::sin(1.7 * k + 0.3) * 0.9; };
      std::vector<MgcVector3> arms[2], left, right, impulses;
      for (std::uint32_t i = 0; i < n; ++i) {
        for (int b = 0; b < 2; ++b) arms[b].emplace_back(value(i + 10 * b), value(i + 20 * b + 1), value(i + 2));
        left.emplace_back(value(3 * i + 5), value(3 * i + 6), value(3 * i + 7));
        right.emplace_back(value(5 * i + 1), value(5 * i + 2), value(5 * i + 3));
        impulses.emplace_back(value(7 * i + 4), value(7 * i + 8), value(7 * i + 9));
      }
      MgcMatrix3 inertias[2];
      for (int b = 0; b < 2; ++b) {
        for (int r = 0; r < 3; ++r) {
          for (int c = 0; c < 3; ++c) inertias[b][r][c] = value(9 * b + 3 * r + c) + (r == c ? 2.0 : 0.0);
        }
      }
      const bool turns[2] = {(turning & 1) != 0, (turning & 2) != 0};
      const double c = 1.3;
      ContactBlocks blocks;
      blocks.reset(n, c, turns[0] ? &inertias[0] : nullptr, arms[0].data(), turns[1] ? &inertias[1] : nullptr,
                   arms[1].data());
      LsqrProblem out(n, n);
      ASSERT_TRUE(out.setSize(n, n));
      blocks.project(left.data(), right.data(), out.func->matrix);
      std::vector<MgcVector3> sums(n, MgcVector3(0.25, -0.5, 1.0));
      blocks.addProducts(impulses.data(), sums.data());
      for (std::uint32_t i = 0; i < n; ++i) {
        MgcVector3 expectedSum(0.25, -0.5, 1.0);
        for (std::uint32_t j = 0; j < n; ++j) {
          double expected = c * left[i].Dot(right[j]);
          MgcVector3 term = impulses[j] * c;
          for (int b = 0; b < 2; ++b) {
            if (!turns[b]) continue;
            expected += arms[b][i].Cross(left[i]).Dot(inertias[b] * arms[b][j].Cross(right[j]));
            term -= arms[b][i].Cross(inertias[b] * arms[b][j].Cross(impulses[j]));
          }
          expectedSum += term;
          EXPECT_EQ(getMatrixRow(out.func->matrix, i).elements[j], expected) << i << " " << j;
          EXPECT_TRUE(blocks.times(i, j, impulses[j]) == term) << i << " " << j;
        }
        EXPECT_TRUE(sums[i] == expectedSum) << i;
      }
      // The same directions on both sides, passed as one array.
      LsqrProblem same(n, n);
      ASSERT_TRUE(same.setSize(n, n));
      blocks.project(left.data(), left.data(), same.func->matrix);
      for (std::uint32_t i = 0; i < n; ++i) {
        for (std::uint32_t j = 0; j < n; ++j) {
          double expected = c * left[i].Dot(left[j]);
          for (int b = 0; b < 2; ++b) {
            if (turns[b]) expected += arms[b][i].Cross(left[i]).Dot(inertias[b] * arms[b][j].Cross(left[j]));
          }
          EXPECT_EQ(getMatrixRow(same.func->matrix, i).elements[j], expected) << i << " " << j;
        }
      }
    }
  }
}

// Block solves refuse records that are not the workspace's own or a count
// that is not the blocks'.
TEST(ContactBlocks, BlockSolveRefusesForeignRecords) {
  SolverWorkspace workspace;
  dvec *rhs = nullptr, *x = nullptr;
  ContactBlocks* blocks = nullptr;
  EXPECT_FALSE(workspace.prepareBlockSystem(0, rhs, x, blocks));
  EXPECT_EQ(blocks, nullptr);
  ASSERT_TRUE(workspace.prepareBlockSystem(2, rhs, x, blocks));
  blocks->reset(2, 1.0, nullptr, nullptr, nullptr, nullptr);
  const MgcVector3 normals[2] = {{0.0, 1.0, 0.0}, {0.0, 1.0, 0.0}};
  std::uint8_t marks[2] = {};
  EXPECT_EQ(workspace.solveBlockSystem(1, blocks, rhs, x, normals, marks), -1.0);
  ContactBlocks other;
  other.reset(2, 1.0, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(workspace.solveBlockSystem(2, &other, rhs, x, normals, marks), -1.0);
}

// The block solve takes the plain loops' sums to the bit: the same
// iterates, stop, estimates and vectors, for every set of turning bodies,
// counts odd and even, with and without contacts taken out and from zero
// and from a start value.
TEST(ContactBlocks, BlockSolveKeepsThePlainSums) {
  const auto value = [](double k) { return std::sin(1.3 * k + 0.7) * 0.8; };
  for (std::uint32_t n : {1u, 2u, 3u, 4u, 5u, 8u, 13u}) {
    for (int turning = 0; turning < 4; ++turning) {
      for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(testing::Message() << n << " contacts, turning " << turning << ", variant " << variant);
        std::vector<MgcVector3> arms[2];
        for (std::uint32_t i = 0; i < n; ++i) {
          for (int b = 0; b < 2; ++b) {
            arms[b].emplace_back(value(i + 10 * b + variant), value(i + 20 * b + 1), value(3 * i + 2 + b));
          }
        }
        MgcMatrix3 inertias[2];
        for (int b = 0; b < 2; ++b) {
          for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) inertias[b][r][c] = value(9 * b + 3 * r + c + variant) + (r == c ? 1.5 : 0.0);
          }
        }
        const MgcMatrix3* turns[2] = {(turning & 1) != 0 ? &inertias[0] : nullptr,
                                      (turning & 2) != 0 ? &inertias[1] : nullptr};
        const double c = 0.6 + 0.1 * variant;
        ContactBlocks blocks;
        blocks.reset(n, c, turns[0], arms[0].data(), turns[1], arms[1].data());
        // Variant 0 solves every contact from zero; 1 takes some out; 2 also
        // starts from a value, zero at the contacts taken out, as a re-solve does.
        std::vector<std::uint8_t> marks(n, 0);
        if (variant > 0) {
          for (std::uint32_t i = 1; i < n; i += 3) marks[i] = 1;
        }
        const std::uint32_t m = 3 * n;
        LsqrProblem problems[2] = {LsqrProblem(m, m, 0, 0), LsqrProblem(m, m, 0, 0)};
        for (LsqrProblem& problem : problems) {
          ASSERT_TRUE(lsqr_set_input_size(problem.input, m, m));
          ASSERT_TRUE(lsqr_set_output_size(problem.output, m));
          ASSERT_TRUE(lsqr_set_work_size(problem.work, m));
          lsqr_input* input = problem.input;
          input->damp = input->atol = input->btol = input->conlim = 0.0;
          input->iterationLimit = (3 * m) / 2;
          for (std::uint32_t k = 0; k < m; ++k) {
            const bool out = marks[k / 3] != 0;
            input->b->elements[k] = value(7.0 * k + 3.0);
            input->x->elements[k] = variant == 2 && !out ? 0.1 * value(5.0 * k + 1.0) : 0.0;
            // Work vectors hold leftovers of an earlier solve.
            problem.work->v->elements[k] = problem.work->w->elements[k] = value(k + 0.5);
          }
        }
        const ContactBlockProducts products(blocks, marks.data());
        products.solve(problems[0].input, problems[0].output, problems[0].work);
        PlainBlockVectors plain(c, turns, arms, marks, problems[1].input, problems[1].work);
        lsqriterations::solve(plain, problems[1].input, problems[1].output);

        const lsqr_output* got = problems[0].output;
        const lsqr_output* expected = problems[1].output;
        EXPECT_EQ(got->stopCode, expected->stopCode);
        EXPECT_EQ(got->iterations, expected->iterations);
        EXPECT_GT(got->iterations, 0u);
        EXPECT_TRUE(sameBits(got->normA, expected->normA));
        EXPECT_TRUE(sameBits(got->condA, expected->condA));
        EXPECT_TRUE(sameBits(got->normR, expected->normR));
        EXPECT_TRUE(sameBits(got->normATr, expected->normATr));
        EXPECT_TRUE(sameBits(got->normX, expected->normX));
        for (std::uint32_t k = 0; k < m; ++k) {
          EXPECT_TRUE(sameBits(problems[0].input->x->elements[k], problems[1].input->x->elements[k])) << k;
          EXPECT_TRUE(sameBits(problems[0].input->b->elements[k], problems[1].input->b->elements[k])) << k;
          EXPECT_TRUE(sameBits(problems[0].work->v->elements[k], problems[1].work->v->elements[k])) << k;
          EXPECT_TRUE(sameBits(problems[0].work->w->elements[k], problems[1].work->w->elements[k])) << k;
        }
      }
    }
  }
}
