#pragma once

#include <maya/MEulerRotation.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MQuaternion.h>
#include <maya/MSpace.h>
#include <maya/MStatus.h>
#include <maya/MVector.h>

/// A transformation kept as its parts, composed (row-vector convention) as
///   [Sp]^-1 [S] [Sh] [Sp] [St] [Rp]^-1 [Ra] [R] [Rp] [Rt] [T]
/// : scale and shear about the scale pivot Sp, the scale pivot translation
/// St, rotation R (Euler angles in a rotation order) after the rotate axis Ra
/// about the rotate pivot Rp, the rotate pivot translation Rt, and the
/// translation T. Lengths are in centimetres, angles in radians.
///
/// The object knows no parent, so the spaces given to its queries all mean
/// its own: a transform's world-space values come from MFnTransform.
class MTransformationMatrix {
 public:
  enum RotationOrder { kInvalid, kXYZ, kYZX, kZXY, kXZY, kYXZ, kZYX, kLast };

  MTransformationMatrix() = default;
  /// The parts of a matrix: translation, rotation (order xyz), scale and
  /// shear; pivots zero.
  MTransformationMatrix(const MMatrix& matrix);

  MMatrix asMatrix() const;
  MMatrix asMatrixInverse() const;
  /// The matrix of the scale and shear part alone, about the scale pivot.
  MMatrix asScaleMatrix() const;
  /// The matrix of the rotation part alone, about the rotate pivot.
  MMatrix asRotateMatrix() const;

  MVector getTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  MVector translation(MSpace::Space space, MStatus* status = nullptr) const { return getTranslation(space, status); }
  MStatus setTranslation(const MVector& translation, MSpace::Space space);
  MStatus addTranslation(const MVector& translation, MSpace::Space space);

  /// The rotation R (the rotate axis left out).
  MQuaternion rotation(MStatus* status = nullptr) const;
  MEulerRotation eulerRotation(MStatus* status = nullptr) const;
  MStatus getRotation(double angles[3], RotationOrder& order) const;
  MStatus setRotation(const double angles[3], RotationOrder order);
  MStatus getRotationQuaternion(double& x, double& y, double& z, double& w,
                                MSpace::Space space = MSpace::kTransform) const;
  MStatus setRotationQuaternion(double x, double y, double z, double w, MSpace::Space space = MSpace::kTransform);
  /// Sets R; a quaternion keeps the current rotation order.
  MTransformationMatrix& rotateTo(const MQuaternion& rotation);
  MTransformationMatrix& rotateTo(const MEulerRotation& rotation);
  /// Follows R by another rotation.
  MTransformationMatrix& rotateBy(const MQuaternion& rotation, MSpace::Space space, MStatus* status = nullptr);
  RotationOrder rotationOrder(MStatus* status = nullptr) const;
  /// Changes the order; with reorder the angles change so that the
  /// orientation stays, otherwise the angles stay.
  MStatus setRotationOrder(RotationOrder order, bool reorder);
  /// The rotate axis Ra (the rotation applied before R).
  MQuaternion rotationOrientation() const { return m_rotateAxis; }
  MStatus setRotationOrientation(const MQuaternion& orientation);

  MStatus getScale(double scale[3], MSpace::Space space) const;
  MStatus setScale(const double scale[3], MSpace::Space space);
  MStatus getShear(double shear[3], MSpace::Space space) const;
  MStatus setShear(const double shear[3], MSpace::Space space);

  /// The pivots: in transform space as stored; in world space the point the
  /// pivot lands on after the transformation.
  MPoint scalePivot(MSpace::Space space, MStatus* status = nullptr) const;
  MPoint rotatePivot(MSpace::Space space, MStatus* status = nullptr) const;
  MVector scalePivotTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  MVector rotatePivotTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  /// Moves a pivot; with balance the pivot translation changes so that the
  /// matrix stays the same.
  MStatus setScalePivot(const MPoint& pivot, MSpace::Space space, bool balance);
  MStatus setRotatePivot(const MPoint& pivot, MSpace::Space space, bool balance);
  MStatus setScalePivotTranslation(const MVector& translation, MSpace::Space space);
  MStatus setRotatePivotTranslation(const MVector& translation, MSpace::Space space);

  /// Keeps the pivots, rotate axis and rotation order and sets translation,
  /// rotation, scale and shear so that asMatrix() gives matrix (which must be
  /// free of projection). Fails, changing nothing, for a singular matrix.
  MStatus setFromMatrix(const MMatrix& matrix);

  bool isEquivalent(const MTransformationMatrix& other, double tolerance = MMatrix::kDefaultTolerance) const;
  bool operator==(const MTransformationMatrix& other) const;
  bool operator!=(const MTransformationMatrix& other) const { return !(*this == other); }

  static const MTransformationMatrix identity;
  static MEulerRotation::RotationOrder toEulerOrder(RotationOrder order);
  static RotationOrder fromEulerOrder(MEulerRotation::RotationOrder order);

 private:
  MVector m_translate;
  MEulerRotation m_rotate;
  MQuaternion m_rotateAxis;
  MVector m_scale{1.0, 1.0, 1.0};
  MVector m_shear;
  MPoint m_scalePivot;
  MVector m_scalePivotTranslate;
  MPoint m_rotatePivot;
  MVector m_rotatePivotTranslate;
};
