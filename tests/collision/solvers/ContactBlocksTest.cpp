#include "engine/collision/ContactBlocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/collision/Lsqr.h"
#include "engine/collision/SolverWorkspace.h"
#include "math/MgcVector3.h"
#include "support/RecordedContactSystems.h"
#include "support/reference/EigenReference.h"

namespace {

using Mgc::MgcVector3;
using zovfixtures::kRecordedPileSystems;
using zovfixtures::RecordedContactSystem;
using zovref::MatX;
using zovref::VecX;

MatX matrixOf(const RecordedContactSystem& system) {
  const int size = 3 * static_cast<int>(system.contacts);
  MatX out(size, size);
  for (int k = 0; k < size * size; ++k) out.m[static_cast<std::size_t>(k)] = system.matrix[k];
  return out;
}

std::vector<MgcVector3> normalsOf(const RecordedContactSystem& system) {
  std::vector<MgcVector3> out;
  for (std::uint32_t i = 0; i < system.contacts; ++i) {
    out.emplace_back(system.normals[3 * i], system.normals[3 * i + 1], system.normals[3 * i + 2]);
  }
  return out;
}

void fillBlocks(ContactBlocks& blocks, const MatX& a) {
  const auto n = static_cast<std::uint32_t>(a.rows / 3);
  blocks.reset(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = 0; j < n; ++j) {
      double* entries = blocks.block(i, j);
      for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) entries[3 * r + c] = a(static_cast<int>(3 * i) + r, static_cast<int>(3 * j) + c);
      }
    }
  }
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
  fillBlocks(*blocks, matrixOf(system));
  for (std::uint32_t r = 0; r < 3 * n; ++r) rhs->elements[r] = system.rhs[r];
  std::vector<std::uint8_t> marks(n, 7);
  const std::vector<MgcVector3> normals = normalsOf(system);
  const double residual = workspace.solveBlockSystem(n, blocks, rhs, x, normals.data(), marks.data());
  EXPECT_EQ(blocks->count(), static_cast<std::uint32_t>(x->length / 3));
  return {read(x), marks, residual};
}

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
// products of the matrix whose taken-out rows and columns are zero, element
// by element, and agree with the plain sums.
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
  fillBlocks(blocks, a);
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

  for (int mode = 0; mode < 2; ++mode) {
    SCOPED_TRACE(mode);
    std::vector<double> byBlocks(start);
    std::vector<double> byDense(start);
    dvec blockView{1, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size), byBlocks.data()};
    dvec denseView{1, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size), byDense.data()};
    VecX expected;
    if (mode == 0) {
      // y := y (-alpha) + A x.
      const double alpha = 0.75;
      products.forward(&blockView, &inView, alpha);
      dvec_scale(&denseView, -alpha);
      lsqr_mat_vec_prod(0, &inView, &denseView, dense.func->matrix);
      expected = startVector * -alpha + a * inVector;
    } else {
      // x := x + A^T y.
      products.adjoint(&blockView, &inView);
      lsqr_mat_vec_prod(1, &denseView, &inView, dense.func->matrix);
      expected = startVector + transpose(a) * inVector;
    }
    for (int k = 0; k < size; ++k) {
      const auto at = static_cast<std::size_t>(k);
      EXPECT_EQ(byBlocks[at], byDense[at]) << k;
      EXPECT_NEAR(byBlocks[at], expected(k), 1e-12 * (1.0 + std::fabs(expected(k))));
    }
  }
}

// Contacts dropped after a solve leave the kept blocks in place and in
// order; restoring brings every contact of the last reset back.
TEST(ContactBlocks, KeptContactsReadTheirOwnBlocks) {
  ContactBlocks blocks;
  blocks.reset(4);
  for (std::uint32_t i = 0; i < 4; ++i) {
    for (std::uint32_t j = 0; j < 4; ++j) {
      for (std::uint32_t e = 0; e < ContactBlocks::kBlockEntries; ++e) blocks.block(i, j)[e] = 100.0 * i + 10.0 * j + e;
    }
  }
  const std::uint8_t marks[4] = {0, 1, 0, 1};
  blocks.keep(marks);
  ASSERT_EQ(blocks.count(), 2u);
  const struct {
    std::uint32_t i, j;
    double first;
  } cases[] = {{0, 0, 0.0}, {0, 1, 20.0}, {1, 0, 200.0}, {1, 1, 220.0}};
  for (const auto& c : cases) EXPECT_EQ(blocks.block(c.i, c.j)[0], c.first) << c.i << " " << c.j;
  // Row r of block (1, 0) is (200 + 3r, 201 + 3r, 202 + 3r).
  const MgcVector3 v(1.0, -2.0, 0.5);
  const MgcVector3 product = blocks.times(1, 0, v);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(product[r], (200.0 + 3 * r) - 2.0 * (201.0 + 3 * r) + 0.5 * (202.0 + 3 * r));

  blocks.restore();
  ASSERT_EQ(blocks.count(), 4u);
  EXPECT_EQ(blocks.block(3, 1)[8], 318.0);
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
  blocks->reset(2);
  const MgcVector3 normals[2] = {{0.0, 1.0, 0.0}, {0.0, 1.0, 0.0}};
  std::uint8_t marks[2] = {};
  EXPECT_EQ(workspace.solveBlockSystem(1, blocks, rhs, x, normals, marks), -1.0);
  ContactBlocks other;
  other.reset(2);
  EXPECT_EQ(workspace.solveBlockSystem(2, &other, rhs, x, normals, marks), -1.0);
}
