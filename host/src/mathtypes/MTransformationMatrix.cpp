#include <maya/MTransformationMatrix.h>

#include "mathtypes/MatrixParts.h"
#include "mathtypes/StatusOut.h"

#include <cmath>

using zovhost::setStatus;
using zovhost::translationMatrix;

namespace {

MMatrix translationOf(const MVector& v) { return translationMatrix(v.x, v.y, v.z); }
MMatrix translationOf(const MPoint& p) { return translationMatrix(p.x, p.y, p.z); }

MMatrix scaleShearMatrix(const MVector& scale, const MVector& shear) {
  MMatrix m;
  m[0][0] = scale.x;
  m[1][0] = scale.y * shear.x;
  m[1][1] = scale.y;
  m[2][0] = scale.z * shear.y;
  m[2][1] = scale.z * shear.z;
  m[2][2] = scale.z;
  return m;
}

MVector translationRow(const MMatrix& m) { return MVector(m[3][0], m[3][1], m[3][2]); }

/// The upper 3x3 part alone.
MMatrix linearPart(const MMatrix& m) {
  MMatrix result = m;
  result[3][0] = result[3][1] = result[3][2] = 0.0;
  return result;
}

}  // namespace

const MTransformationMatrix MTransformationMatrix::identity;

MTransformationMatrix::MTransformationMatrix(const MMatrix& matrix) { setFromMatrix(matrix); }

MEulerRotation::RotationOrder MTransformationMatrix::toEulerOrder(RotationOrder order) {
  switch (order) {
    case kYZX:
      return MEulerRotation::kYZX;
    case kZXY:
      return MEulerRotation::kZXY;
    case kXZY:
      return MEulerRotation::kXZY;
    case kYXZ:
      return MEulerRotation::kYXZ;
    case kZYX:
      return MEulerRotation::kZYX;
    default:
      return MEulerRotation::kXYZ;
  }
}

MTransformationMatrix::RotationOrder MTransformationMatrix::fromEulerOrder(MEulerRotation::RotationOrder order) {
  return static_cast<RotationOrder>(static_cast<int>(order) + 1);
}

MMatrix MTransformationMatrix::asScaleMatrix() const {
  return translationOf(-MVector(m_scalePivot)) * scaleShearMatrix(m_scale, m_shear) * translationOf(m_scalePivot) *
         translationOf(m_scalePivotTranslate);
}

MMatrix MTransformationMatrix::asRotateMatrix() const {
  return translationOf(-MVector(m_rotatePivot)) * m_rotateAxis.asMatrix() * m_rotate.asMatrix() *
         translationOf(m_rotatePivot) * translationOf(m_rotatePivotTranslate);
}

MMatrix MTransformationMatrix::asMatrix() const {
  return asScaleMatrix() * asRotateMatrix() * translationOf(m_translate);
}

MMatrix MTransformationMatrix::asMatrixInverse() const { return asMatrix().inverse(); }

MVector MTransformationMatrix::getTranslation(MSpace::Space, MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_translate;
}

MStatus MTransformationMatrix::setTranslation(const MVector& translation, MSpace::Space) {
  m_translate = translation;
  return MS::kSuccess;
}

MStatus MTransformationMatrix::addTranslation(const MVector& translation, MSpace::Space) {
  m_translate += translation;
  return MS::kSuccess;
}

MQuaternion MTransformationMatrix::rotation(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_rotate.asQuaternion();
}

MEulerRotation MTransformationMatrix::eulerRotation(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_rotate;
}

MStatus MTransformationMatrix::getRotation(double angles[3], RotationOrder& order) const {
  angles[0] = m_rotate.x;
  angles[1] = m_rotate.y;
  angles[2] = m_rotate.z;
  order = fromEulerOrder(m_rotate.order);
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setRotation(const double angles[3], RotationOrder order) {
  if (order <= kInvalid || order >= kLast) return MS::kInvalidParameter;
  m_rotate = MEulerRotation(angles[0], angles[1], angles[2], toEulerOrder(order));
  return MS::kSuccess;
}

MStatus MTransformationMatrix::getRotationQuaternion(double& x, double& y, double& z, double& w, MSpace::Space) const {
  const MQuaternion q = rotation();
  x = q.x;
  y = q.y;
  z = q.z;
  w = q.w;
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setRotationQuaternion(double x, double y, double z, double w, MSpace::Space) {
  rotateTo(MQuaternion(x, y, z, w));
  return MS::kSuccess;
}

MTransformationMatrix& MTransformationMatrix::rotateTo(const MQuaternion& rotation) {
  m_rotate = MEulerRotation::decompose(rotation.asMatrix(), m_rotate.order);
  return *this;
}

MTransformationMatrix& MTransformationMatrix::rotateTo(const MEulerRotation& rotation) {
  m_rotate = rotation;
  return *this;
}

MTransformationMatrix& MTransformationMatrix::rotateBy(const MQuaternion& rotation, MSpace::Space, MStatus* status) {
  setStatus(status, MS::kSuccess);
  return rotateTo(m_rotate.asQuaternion() * rotation);
}

MTransformationMatrix::RotationOrder MTransformationMatrix::rotationOrder(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return fromEulerOrder(m_rotate.order);
}

MStatus MTransformationMatrix::setRotationOrder(RotationOrder order, bool reorder) {
  if (order <= kInvalid || order >= kLast) return MS::kInvalidParameter;
  if (reorder)
    m_rotate.reorderIt(toEulerOrder(order));
  else
    m_rotate.order = toEulerOrder(order);
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setRotationOrientation(const MQuaternion& orientation) {
  m_rotateAxis = orientation.normal();
  return MS::kSuccess;
}

MStatus MTransformationMatrix::getScale(double scale[3], MSpace::Space) const { return m_scale.get(scale); }

MStatus MTransformationMatrix::setScale(const double scale[3], MSpace::Space) {
  m_scale = MVector(scale);
  return MS::kSuccess;
}

MStatus MTransformationMatrix::getShear(double shear[3], MSpace::Space) const { return m_shear.get(shear); }

MStatus MTransformationMatrix::setShear(const double shear[3], MSpace::Space) {
  m_shear = MVector(shear);
  return MS::kSuccess;
}

MPoint MTransformationMatrix::scalePivot(MSpace::Space space, MStatus* status) const {
  setStatus(status, MS::kSuccess);
  if (space != MSpace::kWorld) return m_scalePivot;
  return (m_scalePivot + m_scalePivotTranslate) * asRotateMatrix() * translationOf(m_translate);
}

MPoint MTransformationMatrix::rotatePivot(MSpace::Space space, MStatus* status) const {
  setStatus(status, MS::kSuccess);
  if (space != MSpace::kWorld) return m_rotatePivot;
  return m_rotatePivot + m_rotatePivotTranslate + m_translate;
}

MVector MTransformationMatrix::scalePivotTranslation(MSpace::Space, MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_scalePivotTranslate;
}

MVector MTransformationMatrix::rotatePivotTranslation(MSpace::Space, MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_rotatePivotTranslate;
}

MStatus MTransformationMatrix::setScalePivot(const MPoint& pivot, MSpace::Space space, bool balance) {
  // The part that acts on the scale pivot: scale and shear (B), then what follows.
  const MMatrix b = linearPart(scaleShearMatrix(m_scale, m_shear));
  const MMatrix after = linearPart(asRotateMatrix());
  MVector move;
  if (space == MSpace::kWorld) {
    // The world pivot moves by d * B * after when balanced, by d * after otherwise.
    const MMatrix carry = balance ? b * after : after;
    if (carry.isSingular()) return MS::kInvalidParameter;
    move = (MPoint(pivot) - scalePivot(MSpace::kWorld)) * carry.inverse();
  } else {
    move = MPoint(pivot) - m_scalePivot;
  }
  m_scalePivot = m_scalePivot + move;
  if (balance) m_scalePivotTranslate += move * b - move;
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setRotatePivot(const MPoint& pivot, MSpace::Space space, bool balance) {
  const MMatrix turn = linearPart(m_rotateAxis.asMatrix() * m_rotate.asMatrix());
  MVector move;
  if (space == MSpace::kWorld) {
    // Balanced, the world pivot moves by d * turn; otherwise by d.
    const MVector shift = MPoint(pivot) - rotatePivot(MSpace::kWorld);
    move = balance ? shift * turn.transpose() : shift;
  } else {
    move = MPoint(pivot) - m_rotatePivot;
  }
  m_rotatePivot = m_rotatePivot + move;
  if (balance) m_rotatePivotTranslate += move * turn - move;
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setScalePivotTranslation(const MVector& translation, MSpace::Space) {
  m_scalePivotTranslate = translation;
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setRotatePivotTranslation(const MVector& translation, MSpace::Space) {
  m_rotatePivotTranslate = translation;
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setFromMatrix(const MMatrix& matrix) {
  zovhost::ScaleShearRotation parts;
  if (!zovhost::splitScaleShearRotation(matrix, parts)) return MS::kInvalidParameter;
  // The rotation found includes the rotate axis: R = Ra^-1 * (Ra * R).
  const MMatrix rotation = m_rotateAxis.asMatrix().transpose() * parts.rotation;
  m_scale = MVector(parts.scale);
  m_shear = MVector(parts.shear);
  m_rotate = MEulerRotation::decompose(rotation, m_rotate.order);
  // The translation is what the pivots leave over.
  m_translate = MVector::zero;
  m_translate = translationRow(matrix) - translationRow(asMatrix());
  return MS::kSuccess;
}

bool MTransformationMatrix::isEquivalent(const MTransformationMatrix& other, double tolerance) const {
  return asMatrix().isEquivalent(other.asMatrix(), tolerance);
}

bool MTransformationMatrix::operator==(const MTransformationMatrix& other) const {
  return m_translate == other.m_translate && m_rotate == other.m_rotate && m_rotateAxis == other.m_rotateAxis &&
         m_scale == other.m_scale && m_shear == other.m_shear && m_scalePivot == other.m_scalePivot &&
         m_scalePivotTranslate == other.m_scalePivotTranslate && m_rotatePivot == other.m_rotatePivot &&
         m_rotatePivotTranslate == other.m_rotatePivotTranslate;
}
