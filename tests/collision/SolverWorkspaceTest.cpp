#include "engine/collision/SolverWorkspace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/solver/Lsqr.h"
#include "math/MgcVector3.h"
#include "platform/CRandom.h"
#include "support/reference/EigenReference.h"

namespace {

using Matrix3d = zovref::Mat3;
using Vector3d = zovref::Vec3;
using Mgc::MgcVector3;
using zovref::MatX;
using zovref::VecX;

double uniform(double lo, double hi) {
  return lo + (hi - lo) * zov::platform::crtRand() / static_cast<double>(zov::platform::kRandMax);
}

Matrix3d crossMatrix(const Vector3d& r) { return {0, -r.z(), r.y(), r.z(), 0, -r.x(), -r.y(), r.x(), 0}; }

// A box of the given half extents and mass resting on static ground through
// contacts at points r_i (from its centre of mass) with unit normals n_i.
struct Body {
  double mass;
  Matrix3d inverseInertia;
  std::vector<Vector3d> arms;
  std::vector<Vector3d> normals;

  Body(double m, const Vector3d& half) : mass(m) {
    const Vector3d sq = zovref::cwiseProduct(half, half);
    const Vector3d inertia(m / 3.0 * (sq.y() + sq.z()), m / 3.0 * (sq.x() + sq.z()), m / 3.0 * (sq.x() + sq.y()));
    inverseInertia = Matrix3d::diagonal({1.0 / inertia.x(), 1.0 / inertia.y(), 1.0 / inertia.z()});
  }
  void contact(const Vector3d& arm, const Vector3d& normal) {
    arms.push_back(arm);
    normals.push_back(zovref::normalized(normal));
  }
  int count() const { return static_cast<int>(arms.size()); }

  // Velocity change at contact i per unit impulse at contact j:
  // (1/m) I - [r_i] I^-1 [r_j].
  Matrix3d block(int i, int j) const {
    return Matrix3d::identity() / mass - crossMatrix(arms[i]) * inverseInertia * crossMatrix(arms[j]);
  }
  MatX vectorMatrix() const {
    MatX k(3 * count(), 3 * count());
    for (int i = 0; i < count(); ++i) {
      for (int j = 0; j < count(); ++j) k.setBlock3(i, j, block(i, j));
    }
    return k;
  }
  MatX normalMatrix() const {
    MatX n(count(), count());
    for (int i = 0; i < count(); ++i) {
      for (int j = 0; j < count(); ++j) n(i, j) = dot(normals[i], block(i, j) * normals[j]);
    }
    return n;
  }
  std::vector<MgcVector3> mgcNormals() const {
    std::vector<MgcVector3> out;
    for (const Vector3d& n : normals) out.emplace_back(n.x(), n.y(), n.z());
    return out;
  }
};

void fill(dmat* matrix, dvec* rhs, const MatX& m, const VecX& b) {
  for (int r = 0; r < m.rows; ++r) {
    dvec row = getMatrixRow(matrix, static_cast<std::uint32_t>(r));
    for (int c = 0; c < m.cols; ++c) row.elements[c] = m(r, c);
    rhs->elements[r] = b(r);
  }
}

VecX read(const dvec* v) {
  VecX out(static_cast<int>(v->length));
  for (int i = 0; i < out.size(); ++i) out(i) = v->elements[i];
  return out;
}

MatX read(dmat* matrix) {
  MatX out(static_cast<int>(matrix->rows), static_cast<int>(matrix->columns));
  for (std::uint32_t r = 0; r < matrix->rows; ++r) {
    const dvec row = getMatrixRow(matrix, r);
    for (std::uint32_t c = 0; c < matrix->columns; ++c) out(r, c) = row.elements[c];
  }
  return out;
}

struct Solved {
  VecX x;    // compacted solution
  VecX rhs;  // compacted right-hand side
  MatX a;    // compacted matrix
  std::vector<std::uint8_t> marks;
  double residual;
};

// Solves K J = target velocity changes (one 3-vector per contact).
Solved solveVector(SolverWorkspace& workspace, const Body& body, const VecX& target) {
  dvec *rhs = nullptr, *x = nullptr;
  dmat* matrix = nullptr;
  EXPECT_TRUE(workspace.prepareVectorSystem(static_cast<std::uint32_t>(body.count()), 0, rhs, x, matrix));
  fill(matrix, rhs, body.vectorMatrix(), target);
  std::vector<std::uint8_t> marks(static_cast<std::size_t>(body.count()), 7);
  const std::vector<MgcVector3> normals = body.mgcNormals();
  const double residual = workspace.solveVectorSystem(static_cast<std::uint32_t>(body.count()), matrix, rhs, x,
                                                      normals.data(), marks.data());
  return {read(x), read(rhs), read(matrix), marks, residual};
}

// Solves N lambda = target normal velocity changes, all contacts in group 1.
Solved solveScalar(SolverWorkspace& workspace, const Body& body, const VecX& target) {
  dvec *rhs = nullptr, *x = nullptr;
  dmat* matrix = nullptr;
  std::uint8_t* bytes = nullptr;
  EXPECT_TRUE(workspace.prepareScalarSystem(static_cast<std::uint32_t>(body.count()), rhs, x, matrix, bytes));
  fill(matrix, rhs, body.normalMatrix(), target);
  std::vector<std::uint8_t> marks(static_cast<std::size_t>(body.count()), 7);
  const double residual =
      workspace.solveScalarSystem(static_cast<std::uint32_t>(body.count()), 0, matrix, rhs, x, marks.data(), nullptr);
  return {read(x), read(rhs), read(matrix), marks, residual};
}

VecX along(const Body& body, const VecX& speeds) {
  VecX out(3 * body.count());
  for (int i = 0; i < body.count(); ++i) out.setSegment3(i, body.normals[i] * speeds(i));
  return out;
}

const Vector3d kUp(0.0, 1.0, 0.0);

}  // namespace

// A box landing flat on its four bottom corners: by symmetry each corner
// takes a quarter of the momentum m v.
TEST(SolverWorkspace, SymmetricFourPointRestGivesEqualImpulses) {
  const double mass = 2.5, speed = 1.5;
  Body box(mass, Vector3d(1.0, 0.5, 0.7));
  for (double x : {-1.0, 1.0}) {
    for (double z : {-0.7, 0.7}) box.contact(Vector3d(x, -0.5, z), kUp);
  }
  const VecX stop(4, speed);
  SolverWorkspace workspace;

  const Solved vector = solveVector(workspace, box, along(box, stop));
  ASSERT_EQ(vector.x.size(), 12);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(vector.marks[i], 0);
    EXPECT_LT(norm(vector.x.segment3(i) - kUp * (mass * speed / 4.0)), 1e-9);
  }

  const Solved scalar = solveScalar(workspace, box, stop);
  ASSERT_EQ(scalar.x.size(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(scalar.x(i), mass * speed / 4.0, 1e-9);
}

// A plank falling flat onto two supports: the impulses stop it without
// turning it, so they split m v by the lever rule about the centre of mass.
TEST(SolverWorkspace, PlankOnTwoSupportsFollowsLeverRule) {
  const double mass = 3.0, speed = 2.0, x1 = -1.5, x2 = 0.5;
  Body plank(mass, Vector3d(2.0, 0.1, 0.2));
  plank.contact(Vector3d(x1, -0.1, 0.0), kUp);
  plank.contact(Vector3d(x2, -0.1, 0.0), kUp);
  const double lambda1 = mass * speed * x2 / (x2 - x1);
  const double lambda2 = mass * speed * -x1 / (x2 - x1);
  const VecX stop(2, speed);
  SolverWorkspace workspace;

  const Solved vector = solveVector(workspace, plank, along(plank, stop));
  ASSERT_EQ(vector.x.size(), 6);
  EXPECT_LT(norm(vector.x.segment3(0) - kUp * lambda1), 1e-9);
  EXPECT_LT(norm(vector.x.segment3(1) - kUp * lambda2), 1e-9);

  const Solved scalar = solveScalar(workspace, plank, stop);
  ASSERT_EQ(scalar.x.size(), 2);
  EXPECT_NEAR(scalar.x(0), lambda1, 1e-9);
  EXPECT_NEAR(scalar.x(1), lambda2, 1e-9);
}

// With the centre of mass beyond the outer support the inner support would
// have to pull; it is taken out and the outer one alone stops its point:
// along the normal lambda = v / (1/m + (r x n) . I^-1 (r x n)), as a full
// impulse J = K_11^-1 (v n).
TEST(SolverWorkspace, PullingContactIsRemovedAndRestSolvedAlone) {
  const double mass = 3.0, speed = 2.0;
  Body plank(mass, Vector3d(2.0, 0.1, 0.2));
  plank.contact(Vector3d(-1.5, -0.1, 0.0), kUp);
  plank.contact(Vector3d(-0.5, -0.1, 0.0), kUp);
  const Vector3d arm = cross(plank.arms[1], kUp);
  const double lambda = speed / (1.0 / mass + dot(arm, plank.inverseInertia * arm));
  const VecX stop(2, speed);
  SolverWorkspace workspace;

  const Solved vector = solveVector(workspace, plank, along(plank, stop));
  EXPECT_EQ(vector.marks, (std::vector<std::uint8_t>{1, 0}));
  ASSERT_EQ(vector.x.size(), 3);
  const Vector3d impulse = inverse(plank.block(1, 1)) * (kUp * speed);
  EXPECT_LT(norm(vector.x.segment3(0) - impulse), 1e-9);
  EXPECT_GT(dot(impulse, kUp), 0.0);
  // The kept contact's right-hand side is as given; its block is K_11.
  EXPECT_LT(norm(vector.rhs.segment3(0) - kUp * speed), 1e-15);
  EXPECT_LT(norm(vector.a.block3(0, 0) - plank.block(1, 1)), 1e-15);

  const Solved scalar = solveScalar(workspace, plank, stop);
  EXPECT_EQ(scalar.marks, (std::vector<std::uint8_t>{1, 0}));
  ASSERT_EQ(scalar.x.size(), 1);
  EXPECT_NEAR(scalar.x(0), lambda, 1e-9);
  EXPECT_EQ(scalar.rhs(0), speed);
}

TEST(SolverWorkspace, AllPullingContactsEndWithEmptySystem) {
  Body box(1.0, Vector3d(0.5, 0.5, 0.5));
  for (double x : {-0.5, 0.5}) {
    for (double z : {-0.5, 0.5}) box.contact(Vector3d(x, -0.5, z), kUp);
  }
  const VecX pull(4, -1.0);  // the box moves away from the ground
  SolverWorkspace workspace;
  for (bool vectorSystem : {true, false}) {
    SCOPED_TRACE(vectorSystem ? "vector" : "scalar");
    const Solved solved =
        vectorSystem ? solveVector(workspace, box, along(box, pull)) : solveScalar(workspace, box, pull);
    EXPECT_EQ(solved.marks, (std::vector<std::uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(solved.x.size(), 0);
    EXPECT_EQ(solved.rhs.size(), 0);
    EXPECT_EQ(solved.a.m.size(), 0u);
  }
}

// Random boxes with random contacts on their bottom faces and random target
// velocity changes: whatever is removed, every kept contact pushes, and the
// kept impulses solve the kept system as well as a reference least-squares
// solve does.
TEST(SolverWorkspace, RandomContactsGiveNonNegativeNormalImpulses) {
  zov::platform::crtSrand(21);
  SolverWorkspace workspace;
  for (int trial = 0; trial < 60; ++trial) {
    SCOPED_TRACE(trial);
    const Vector3d half(uniform(0.2, 2.0), uniform(0.2, 2.0), uniform(0.2, 2.0));
    Body body(uniform(0.5, 10.0), half);
    const int contacts = 2 + trial % 7;
    for (int i = 0; i < contacts; ++i) {
      const Vector3d tilt(uniform(-0.2, 0.2), 1.0, uniform(-0.2, 0.2));
      body.contact(Vector3d(uniform(-half.x(), half.x()), -half.y(), uniform(-half.z(), half.z())), tilt);
    }
    VecX speeds(contacts);
    for (int i = 0; i < contacts; ++i) speeds(i) = uniform(-1.0, 2.0);

    for (bool vectorSystem : {true, false}) {
      SCOPED_TRACE(vectorSystem ? "vector" : "scalar");
      const MatX full = vectorSystem ? body.vectorMatrix() : body.normalMatrix();
      const VecX target = vectorSystem ? along(body, speeds) : speeds;
      const Solved solved = vectorSystem ? solveVector(workspace, body, target) : solveScalar(workspace, body, speeds);
      const int width = vectorSystem ? 3 : 1;
      std::vector<int> kept;
      for (int i = 0; i < contacts; ++i) {
        ASSERT_LE(solved.marks[i], 1);
        if (solved.marks[i] == 0) kept.push_back(i);
      }
      const int n = static_cast<int>(kept.size());
      ASSERT_EQ(solved.x.size(), width * n);

      MatX a(width * n, width * n);
      VecX b(width * n);
      for (int p = 0; p < n; ++p) {
        for (int k = 0; k < width; ++k) {
          b(width * p + k) = target(width * kept[p] + k);
          for (int q = 0; q < n; ++q) {
            for (int l = 0; l < width; ++l)
              a(width * p + k, width * q + l) = full(width * kept[p] + k, width * kept[q] + l);
          }
        }
        const double push = vectorSystem ? dot(body.normals[kept[p]], solved.x.segment3(p)) : solved.x(p);
        EXPECT_GE(push, -1e-5);
      }
      EXPECT_LT(norm(solved.a - a), 1e-15);
      EXPECT_EQ(solved.rhs, b);
      if (n == 0) continue;
      const VecX best = zovref::minimumNormSolve(a, b);
      const double residual = norm(a * solved.x - b);
      EXPECT_NEAR(residual, norm(a * best - b), 1e-7 * (1.0 + norm(b)));
      EXPECT_NEAR(solved.residual, residual, 1e-7 * (1.0 + norm(b)));
    }
  }
}

// Each scan takes out at most the first negative unknown of each group; the
// survivors move to the front in order.
TEST(SolverWorkspace, ScalarSystemRemovesPerGroupAndCompactsInOrder) {
  SolverWorkspace workspace;
  dvec *rhs = nullptr, *x = nullptr;
  dmat* matrix = nullptr;
  std::uint8_t* bytes = nullptr;
  ASSERT_TRUE(workspace.prepareScalarSystem(5, rhs, x, matrix, bytes));
  const VecX b{-1.0, -2.0, 3.0, -4.0, 5.0};
  const MatX a = MatX::identity(5) * 2.0;
  fill(matrix, rhs, a, b);
  std::uint8_t marks1[3], marks2[2];
  workspace.solveScalarSystem(3, 2, matrix, rhs, x, marks1, marks2);
  EXPECT_EQ(std::vector<std::uint8_t>(marks1, marks1 + 3), (std::vector<std::uint8_t>{1, 1, 0}));
  EXPECT_EQ(std::vector<std::uint8_t>(marks2, marks2 + 2), (std::vector<std::uint8_t>{1, 0}));
  ASSERT_EQ(x->length, 2u);
  EXPECT_NEAR(x->elements[0], 1.5, 1e-12);
  EXPECT_NEAR(x->elements[1], 2.5, 1e-12);
  EXPECT_EQ(read(rhs), (VecX{3.0, 5.0}));
  EXPECT_EQ(read(matrix), MatX::identity(2) * 2.0);
}

// Scalar systems of growing sizes in one workspace, each a diagonal system
// with a known solution: the dense matrix grows in steps of its own while the
// vectors keep their capacity, and an earlier, larger system's entries never
// leak into a smaller one.
TEST(SolverWorkspace, ScalarSystemsOfEverySizeSolveInOneWorkspace) {
  SolverWorkspace workspace;
  for (const int m : {5, 17, 40, 3, 100, 31}) {
    SCOPED_TRACE(m);
    dvec *rhs = nullptr, *x = nullptr;
    dmat* matrix = nullptr;
    std::uint8_t* bytes = nullptr;
    ASSERT_TRUE(workspace.prepareScalarSystem(static_cast<std::uint32_t>(m), rhs, x, matrix, bytes));
    ASSERT_GT(matrix->rowCapacity, static_cast<std::uint32_t>(m));
    ASSERT_GT(matrix->stride, static_cast<std::uint32_t>(m));
    MatX a = MatX::identity(m);
    VecX b(m);
    for (int i = 0; i < m; ++i) {
      a(i, i) = 2.0 + i;
      b(i) = 1.0 + 0.5 * i;
    }
    fill(matrix, rhs, a, b);
    std::vector<std::uint8_t> marks(static_cast<std::size_t>(m));
    workspace.solveScalarSystem(static_cast<std::uint32_t>(m), 0, matrix, rhs, x, marks.data(), nullptr);
    ASSERT_EQ(x->length, static_cast<std::uint32_t>(m));
    for (int i = 0; i < m; ++i) EXPECT_NEAR(read(x)(i), b(i) / a(i, i), 1e-10) << i;
  }
}

TEST(SolverWorkspace, SizingEdgeCases) {
  SolverWorkspace workspace;
  dvec *rhs = nullptr, *x = nullptr;
  dmat* matrix = nullptr;
  std::uint8_t* bytes = nullptr;
  EXPECT_FALSE(workspace.prepareVectorSystem(0, 4, rhs, x, matrix));
  EXPECT_FALSE(workspace.prepareScalarSystem(0, rhs, x, matrix, bytes));
  EXPECT_EQ(matrix, nullptr);

  ASSERT_TRUE(workspace.prepareVectorSystem(2, 1, rhs, x, matrix));
  EXPECT_EQ(matrix->rows, 7u);
  EXPECT_EQ(matrix->columns, 7u);
  EXPECT_EQ(rhs->length, 7u);
  EXPECT_EQ(x->length, 7u);

  // Growing one system past the initial capacity must not let the other take
  // a size its own storage cannot hold.
  ASSERT_TRUE(workspace.prepareVectorSystem(70, 0, rhs, x, matrix));
  EXPECT_GT(matrix->rowCapacity, 210u);
  ASSERT_TRUE(workspace.prepareScalarSystem(150, rhs, x, matrix, bytes));
  EXPECT_GT(matrix->rowCapacity, 150u);
  EXPECT_GT(matrix->stride, 150u);
  EXPECT_GT(x->capacity, 150u);
  for (int i = 0; i < 150; ++i) bytes[i] = 0;
  const MatX a = MatX::identity(150) * 4.0;
  VecX b(150);
  for (int i = 0; i < 150; ++i) b(i) = 1.0 + i;
  fill(matrix, rhs, a, b);
  std::vector<std::uint8_t> marks(150);
  workspace.solveScalarSystem(150, 0, matrix, rhs, x, marks.data(), nullptr);
  ASSERT_EQ(x->length, 150u);
  EXPECT_LT(norm(read(x) - b / 4.0), 1e-10);

  // Records of another workspace are refused.
  SolverWorkspace other;
  dvec *otherRhs = nullptr, *otherX = nullptr;
  dmat* otherMatrix = nullptr;
  ASSERT_TRUE(other.prepareVectorSystem(1, 0, otherRhs, otherX, otherMatrix));
  const MgcVector3 up(0.0, 1.0, 0.0);
  std::uint8_t mark = 0;
  EXPECT_EQ(workspace.solveVectorSystem(1, otherMatrix, otherRhs, otherX, &up, &mark), -1.0);
}
