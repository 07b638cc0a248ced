#include "DagSupport.h"

#include <maya/MBoundingBox.h>
#include <maya/MEulerRotation.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>

#include <cmath>

namespace {

using namespace dagtest;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTight = 1e-12;

/// A deterministic, well-spread test matrix.
MMatrix sampleMatrix(int seed) {
  MMatrix m;
  for (unsigned int r = 0; r < 4; ++r)
    for (unsigned int c = 0; c < 4; ++c)
      m[r][c] = (1.0 + r) * std::sin(1.7 * seed + 3.1 * r * r + 0.7 * c * c + 1.3 * r * c + 0.3);
  return m;
}

TEST(MathTypes, MatrixInverseAndDeterminantMatchEigen) {
  for (int seed = 0; seed < 12; ++seed) {
    const MMatrix m = sampleMatrix(seed);
    const Matrix4 reference = toRef(m);
    ASSERT_FALSE(m.isSingular()) << seed;
    const Matrix4 inverse = zovref::inverse(reference);
    EXPECT_LT(maxDifference(m.inverse(), inverse), 1e-9 * zovref::maxAbs(inverse)) << seed;
    EXPECT_NEAR(m.det4x4(), determinant(reference), 1e-10 * std::fabs(determinant(reference))) << seed;
    const double det3 = zovref::determinant3(reference);
    EXPECT_NEAR(m.det3x3(), det3, 1e-10) << seed;
    EXPECT_LT(maxDifference(m.adjoint(), inverse * determinant(reference)), 1e-9) << seed;
  }
}

TEST(MathTypes, InverseOfSingularMatrixIsZeroButTinyMatricesInvert) {
  MMatrix singular = sampleMatrix(3);
  for (unsigned int c = 0; c < 4; ++c) singular[2][c] = 2.0 * singular[0][c];
  EXPECT_TRUE(singular.isSingular());
  EXPECT_TRUE(singular.inverse().isEquivalent(MMatrix() * 0.0, 0.0));
  // Singularity is relative: a scaled-down matrix is as invertible as before.
  const MMatrix tiny = sampleMatrix(5) * 1e-20;
  EXPECT_FALSE(tiny.isSingular());
  EXPECT_TRUE((tiny * tiny.inverse()).isEquivalent(MMatrix::identity, 1e-9));
}

TEST(MathTypes, EulerRotationsFollowTheirOrderAndDecomposeBack) {
  const Vector3 samples[] = {{0.3, -1.1, 2.0}, {-2.5, 0.4, -0.9}, {1.0, kPi / 2.0, 0.5}, {0.7, -kPi / 2.0, -1.3}};
  for (int order = 0; order < 6; ++order)
    for (const Vector3& angles : samples) {
      const auto rotateOrder = static_cast<MEulerRotation::RotationOrder>(order);
      const MEulerRotation euler(angles.x(), angles.y(), angles.z(), rotateOrder);
      EXPECT_LT(maxDifference(euler.asMatrix(), dagtest::eulerRotation(angles, order)), kTight) << order;
      // Decomposing gives angles that rebuild the same rotation, even in gimbal lock.
      const MEulerRotation back = MEulerRotation::decompose(euler.asMatrix(), rotateOrder);
      EXPECT_TRUE(back.asMatrix().isEquivalent(euler.asMatrix(), 1e-9)) << order;
      EXPECT_TRUE(euler.asQuaternion().asMatrix().isEquivalent(euler.asMatrix(), 1e-12)) << order;
      // Reordering keeps the orientation.
      const MEulerRotation other = euler.reorder(static_cast<MEulerRotation::RotationOrder>((order + 2) % 6));
      EXPECT_TRUE(other.asMatrix().isEquivalent(euler.asMatrix(), 1e-9)) << order;
    }
}

TEST(MathTypes, QuaternionsFollowTheirMatrices) {
  const MVector axis(1.0, -2.0, 0.5);
  const MQuaternion a(0.8, axis);
  const MQuaternion b(-2.3, MVector(0.2, 1.0, 3.0));
  EXPECT_LT(maxDifference(a.asMatrix(), dagtest::rotation({1.0, -2.0, 0.5}, 0.8)), kTight);
  // A product rotates by the left factor first, as its matrices do.
  EXPECT_TRUE((a * b).asMatrix().isEquivalent(a.asMatrix() * b.asMatrix(), kTight));
  EXPECT_TRUE((a * a.inverse()).isEquivalent(MQuaternion::identity, kTight));
  MVector foundAxis;
  double foundAngle = 0.0;
  ASSERT_TRUE(a.getAxisAngle(foundAxis, foundAngle));
  EXPECT_TRUE(foundAxis.isEquivalent(axis.normal(), kTight));
  EXPECT_NEAR(foundAngle, 0.8, kTight);
  EXPECT_FALSE(MQuaternion::identity.getAxisAngle(foundAxis, foundAngle));
  // Matrix to quaternion, including half turns about each axis.
  for (const MQuaternion& q : {a, b, MQuaternion(kPi, MVector::xAxis), MQuaternion(kPi, MVector::yAxis),
                               MQuaternion(kPi, MVector::zAxis), MQuaternion(kPi, MVector(1.0, 1.0, 0.0))}) {
    MQuaternion back;
    back = q.asMatrix();
    EXPECT_TRUE(back.asMatrix().isEquivalent(q.asMatrix(), kTight));
  }
  // The rotation between two directions, opposite ones included.
  const MVector from(0.0, 0.0, 2.0);
  for (const MVector& to : {MVector(1.0, 1.0, 0.0), MVector(0.0, 0.0, -3.0), MVector(0.0, 0.0, 5.0)})
    EXPECT_TRUE(from.rotateBy(MQuaternion(from, to)).normal().isEquivalent(to.normal(), 1e-12));
  EXPECT_TRUE(slerp(MQuaternion(0.2, axis), MQuaternion(1.0, axis), 0.5).isEquivalent(MQuaternion(0.6, axis), 1e-12));
}

/// The parts of a transformation and their composition written out here:
/// Sp^-1 S Sh Sp St Rp^-1 Ra R Rp Rt T, row vectors.
struct Parts {
  Vector3 translate{1.5, -2.0, 0.25};
  Vector3 rotate{0.4, -0.8, 1.9};
  int order = 4;
  Vector3 rotateAxis{0.1, 0.2, -0.3};
  Vector3 scale{1.5, 0.5, -2.0};
  Vector3 shear{0.3, -0.2, 0.6};
  Vector3 scalePivot{0.5, 1.0, -1.0};
  Vector3 scalePivotTranslate{-0.2, 0.1, 0.3};
  Vector3 rotatePivot{1.0, -0.5, 2.0};
  Vector3 rotatePivotTranslate{0.3, 0.3, -0.1};

  Matrix4 matrix() const {
    using dagtest::translation;
    const Matrix4 scaleShear = dagtest::scaleShear(scale, shear);
    return translation(-scalePivot) * scaleShear * translation(scalePivot) * translation(scalePivotTranslate) *
           translation(-rotatePivot) * dagtest::eulerRotation(rotateAxis, 0) * dagtest::eulerRotation(rotate, order) *
           translation(rotatePivot) * translation(rotatePivotTranslate) * translation(translate);
  }

  MTransformationMatrix transformation() const {
    MTransformationMatrix value;
    value.setScale(scale.data(), MSpace::kTransform);
    value.setShear(shear.data(), MSpace::kTransform);
    value.setScalePivot(MPoint(scalePivot.x(), scalePivot.y(), scalePivot.z()), MSpace::kTransform, false);
    value.setScalePivotTranslation(MVector(scalePivotTranslate.data()), MSpace::kTransform);
    value.setRotatePivot(MPoint(rotatePivot.x(), rotatePivot.y(), rotatePivot.z()), MSpace::kTransform, false);
    value.setRotatePivotTranslation(MVector(rotatePivotTranslate.data()), MSpace::kTransform);
    value.setRotationOrientation(MEulerRotation(MVector(rotateAxis.data())).asQuaternion());
    value.setRotation(rotate.data(), static_cast<MTransformationMatrix::RotationOrder>(order + 1));
    value.setTranslation(MVector(translate.data()), MSpace::kTransform);
    return value;
  }
};

TEST(MathTypes, TransformationMatrixComposesInTheDocumentedOrder) {
  const Parts parts;
  const MTransformationMatrix value = parts.transformation();
  EXPECT_LT(maxDifference(value.asMatrix(), parts.matrix()), kTight);
  EXPECT_LT(maxDifference(value.asMatrixInverse(), zovref::inverse(parts.matrix())), 1e-10);

  // Rebuilding from the matrix with the same pivots gives the same parts back.
  MTransformationMatrix rebuilt = parts.transformation();
  const double noRotation[3] = {0.0, 0.0, 0.0};
  rebuilt.setRotation(noRotation, MTransformationMatrix::kYXZ);
  rebuilt.setTranslation(MVector::zero, MSpace::kTransform);
  ASSERT_TRUE(rebuilt.setFromMatrix(value.asMatrix()));
  EXPECT_TRUE(rebuilt.asMatrix().isEquivalent(value.asMatrix(), 1e-10));
  double scale[3];
  rebuilt.getScale(scale, MSpace::kTransform);
  EXPECT_NEAR(scale[0], 1.5, 1e-10);
  EXPECT_NEAR(scale[2], -2.0, 1e-10);
  EXPECT_TRUE(rebuilt.getTranslation(MSpace::kTransform).isEquivalent(MVector(parts.translate.data()), 1e-10));

  // A plain matrix splits into scale, rotation and translation.
  Matrix4 composed = Matrix4::identity();
  composed(0, 0) = 2.0;
  composed(1, 1) = 3.0;
  composed(2, 2) = 4.0;
  composed = composed * dagtest::eulerRotation({0.3, 0.2, -0.6}, 0) * dagtest::translation({4.0, 5.0, 6.0});
  MMatrix plainMatrix;
  for (unsigned int r = 0; r < 4; ++r)
    for (unsigned int c = 0; c < 4; ++c) plainMatrix[r][c] = composed(r, c);
  const MTransformationMatrix plain(plainMatrix);
  plain.getScale(scale, MSpace::kTransform);
  EXPECT_NEAR(scale[0], 2.0, 1e-12);
  EXPECT_NEAR(scale[1], 3.0, 1e-12);
  EXPECT_NEAR(scale[2], 4.0, 1e-12);
  EXPECT_TRUE(plain.eulerRotation().isEquivalent(MEulerRotation(0.3, 0.2, -0.6), 1e-12));
  EXPECT_TRUE(plain.getTranslation(MSpace::kTransform).isEquivalent(MVector(4.0, 5.0, 6.0), 1e-12));
}

TEST(MathTypes, MovingAPivotWithBalanceKeepsTheMatrix) {
  MTransformationMatrix value = Parts().transformation();
  const MMatrix before = value.asMatrix();
  ASSERT_TRUE(value.setRotatePivot(MPoint(-3.0, 4.0, 1.0), MSpace::kTransform, true));
  ASSERT_TRUE(value.setScalePivot(MPoint(2.0, 2.0, -5.0), MSpace::kTransform, true));
  EXPECT_TRUE(value.asMatrix().isEquivalent(before, 1e-10));
  // In world space the pivot lands where asked.
  ASSERT_TRUE(value.setRotatePivot(MPoint(7.0, -1.0, 0.5), MSpace::kWorld, true));
  EXPECT_TRUE(value.asMatrix().isEquivalent(before, 1e-10));
  EXPECT_TRUE(value.rotatePivot(MSpace::kWorld).isEquivalent(MPoint(7.0, -1.0, 0.5), 1e-10));
  ASSERT_TRUE(value.setScalePivot(MPoint(-2.0, 3.0, 0.0), MSpace::kWorld, true));
  EXPECT_TRUE(value.asMatrix().isEquivalent(before, 1e-10));
  EXPECT_TRUE(value.scalePivot(MSpace::kWorld).isEquivalent(MPoint(-2.0, 3.0, 0.0), 1e-10));
}

TEST(MathTypes, TheWorldRotatePivotStaysWhileTheRotationChanges) {
  MTransformationMatrix value = Parts().transformation();
  const MPoint pivot = value.rotatePivot(MSpace::kWorld);
  const MPoint objectPoint = pivot * value.asMatrix().inverse();
  value.rotateTo(MEulerRotation(2.0, -0.3, 0.9, MEulerRotation::kZXY));
  EXPECT_TRUE((objectPoint * value.asMatrix()).isEquivalent(pivot, 1e-10));
  EXPECT_TRUE(value.rotatePivot(MSpace::kWorld).isEquivalent(pivot, 1e-12));
}

TEST(MathTypes, BoundingBoxesExpandIntersectAndTransform) {
  MBoundingBox box;
  EXPECT_TRUE(box.isEmpty());
  EXPECT_FALSE(box.contains(MPoint::origin));
  box.expand(MPoint(1.0, 2.0, 3.0));
  box.expand(MPoint(-1.0, 0.0, 5.0));
  EXPECT_DOUBLE_EQ(box.width(), 2.0);
  EXPECT_DOUBLE_EQ(box.depth(), 2.0);
  EXPECT_TRUE(box.center().isEquivalent(MPoint(0.0, 1.0, 4.0)));
  const MBoundingBox touching(MPoint(1.0, 0.0, 0.0), MPoint(2.0, 1.0, 3.0));
  const MBoundingBox apart(MPoint(1.5, 0.0, 0.0), MPoint(2.0, 1.0, 3.0));
  EXPECT_TRUE(box.intersects(touching));
  EXPECT_FALSE(box.intersects(apart));
  EXPECT_TRUE(box.intersects(apart, 0.5));
  // A quarter turn about z swaps width and height.
  MBoundingBox turned = box;
  turned.transformUsing(MQuaternion(kPi / 2.0, MVector::zAxis).asMatrix());
  EXPECT_NEAR(turned.width(), box.height(), 1e-12);
  EXPECT_NEAR(turned.height(), box.width(), 1e-12);
}

}  // namespace
