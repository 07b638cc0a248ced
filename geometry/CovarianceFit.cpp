#include "geometry/CovarianceFit.h"

#include <cmath>
#include <cstdlib>

#include "geometry/PointAccess.h"
#include "math/MgcMatrix3.h"
#include "math/PolygonClipping.h"
#include "math/SymmetricEigen.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// 1/count formed in single precision and widened, the scale of every mean
/// and of the covariance.
double reciprocalCount(std::uint32_t count) { return static_cast<double>(1.0f / static_cast<float>(count)); }

/// The mean of the points; the origin for an empty set.
template <class PointAt>
MgcVector3 meanOf(std::uint32_t count, PointAt pointAt) {
  if (count == 0) return MgcVector3::ZERO;
  MgcVector3 sum;
  for (std::uint32_t i = 0; i < count; ++i) sum += pointAt(i);
  return sum * reciprocalCount(count);
}

/// The sums of the products of the point offsets from `mean`:
/// xx, xy, xz, yy, yz, zz.
struct Moments {
  double xx = 0.0, xy = 0.0, xz = 0.0, yy = 0.0, yz = 0.0, zz = 0.0;
};

template <class PointAt>
Moments momentsAbout(const MgcVector3& mean, std::uint32_t count, PointAt pointAt) {
  Moments s;
  for (std::uint32_t i = 0; i < count; ++i) {
    const MgcVector3 d = pointAt(i) - mean;
    s.xx += d.x * d.x;
    s.xy += d.x * d.y;
    s.xz += d.x * d.z;
    s.yy += d.y * d.y;
    s.yz += d.y * d.z;
    s.zz += d.z * d.z;
  }
  return s;
}

/// Eigenvalues (ascending) and eigenvectors (columns of `matrix`, replacing
/// the symmetric matrix it held).
void solveAscending(MgcMatrix3& matrix, double values[3]) {
  double sub[3];
  zov::symmetricTridiagonalize(matrix, values, sub);
  if (zov::tridiagonalQL(3, values, sub, matrix)) zov::sortEigenSystem(3, values, matrix);
}

template <class PointAt>
void fitBox(std::uint32_t count, PointAt pointAt, ZOVbox& box) {
  const MgcVector3 mean = meanOf(count, pointAt);
  const Moments s = momentsAbout(mean, count, pointAt);
  const double r = count > 0 ? reciprocalCount(count) : 0.0;

  MgcMatrix3 axes(s.xx * r, s.xy * r, s.xz * r, s.xy * r, s.yy * r, s.yz * r, s.xz * r, s.yz * r, s.zz * r);
  double values[3];
  solveAscending(axes, values);
  // The solver may return a reflection; the box axes serve as a rotation
  // (the box and its quaternion are read from them).
  if (axes.Determinant() < 0.0)
    for (int row = 0; row < 3; ++row) axes[row][2] = -axes[row][2];

  box.center = mean;
  box.axes = axes;
  box.extents = MgcVector3(values[0], values[1], values[2]);
}

template <class PointAt>
void fitLine(std::uint32_t count, PointAt pointAt, MgcVector3& mean, MgcVector3& direction) {
  mean = meanOf(count, pointAt);
  const Moments s = momentsAbout(mean, count, pointAt);

  // The sum of squared distances to a line through the mean along unit u is
  // u^T M u with M = trace(S) I - S: its smallest eigenvalue's vector is the
  // direction of greatest spread.
  MgcMatrix3 m(s.yy + s.zz, -s.xy, -s.xz, -s.xy, s.xx + s.zz, -s.yz, -s.xz, -s.yz, s.xx + s.yy);
  double values[3];
  solveAscending(m, values);
  direction = m.GetColumn(0);
}

bool contains(const std::uint32_t* indices, std::uint32_t count, std::uint32_t index) {
  for (std::uint32_t i = 0; i < count; ++i)
    if (indices[i] == index) return true;
  return false;
}

/// The first not yet chosen point with the best score: the largest when
/// `sign` is +1, the smallest when it is -1 (only a strictly better score
/// replaces, so ties go to the lower index). `chosen` indices are skipped.
template <class Score>
std::uint32_t bestUnchosen(std::uint32_t count, const std::uint32_t* chosen, std::uint32_t chosenCount, double sign,
                           Score score) {
  std::uint32_t best = 0;
  double bestScore = 0.0;
  bool found = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const double value = sign * score(i);
    // The chosen list is only searched for a point that would win.
    if ((!found || value > bestScore) && !contains(chosen, chosenCount, i)) {
      best = i;
      bestScore = value;
      found = true;
    }
  }
  return best;
}

}  // namespace

void fitBoxToPoints(std::uint32_t count, const MgcVector3* points, ZOVbox& box) {
  fitBox(count, zov::DirectPoints{points}, box);
}

void fitBoxToPoints(std::uint32_t count, const std::uint32_t* indices, const MgcVector3* points, ZOVbox& box) {
  fitBox(count, zov::IndexedPoints{indices, points}, box);
}

void fitLineToPoints(std::uint32_t count, const MgcVector3* points, MgcVector3& mean, MgcVector3& direction) {
  fitLine(count, zov::DirectPoints{points}, mean, direction);
}

void fitLineToPoints(std::uint32_t count, const std::uint32_t* indices, const MgcVector3* points, MgcVector3& mean,
                     MgcVector3& direction) {
  fitLine(count, zov::IndexedPoints{indices, points}, mean, direction);
}

void selectExtremePoints(const MgcVector3* points, std::uint32_t count, std::uint32_t* indices, std::uint32_t& wanted) {
  if (count <= wanted) {
    for (std::uint32_t i = 0; i < count; ++i) indices[i] = i;
    wanted = count;
    return;
  }
  if (wanted == 0) return;

  // Principal axes, each scaled by its variance; A2 spreads the most.
  ZOVbox box;
  fitBoxToPoints(count, points, box);
  MgcVector3 axis[3];
  for (int i = 0; i < 3; ++i) axis[i] = box.axes.GetColumn(i) * box.extents[i];

  // Points already taken are skipped in every later choice, so each index
  // is taken once however the points tie.
  std::uint32_t taken = 0;
  if (wanted < 4) {
    const auto spread = [&](std::uint32_t i) {
      const MgcVector3& p = points[i];
      return std::fabs(p.Dot(axis[0])) + std::fabs(p.Dot(axis[1])) + std::fabs(p.Dot(axis[2]));
    };
    while (taken < wanted) {
      indices[taken] = bestUnchosen(count, indices, taken, 1.0, spread);
      ++taken;
    }
  } else {
    const std::uint32_t perPass = wanted / 4;
    // Largest then smallest along the axis of greatest spread, then along
    // the middle axis.
    const struct {
      int axis;
      double sign;
    } passes[4] = {{2, 1.0}, {2, -1.0}, {1, 1.0}, {1, -1.0}};
    for (const auto& pass : passes) {
      const MgcVector3& a = axis[pass.axis];
      const auto along = [&](std::uint32_t i) { return points[i].Dot(a); };
      for (std::uint32_t n = 0; n < perPass; ++n) {
        indices[taken] = bestUnchosen(count, indices, taken, pass.sign, along);
        ++taken;
      }
    }
    wanted = taken;
  }
  std::qsort(indices, wanted, sizeof(std::uint32_t), compareU32);
}
