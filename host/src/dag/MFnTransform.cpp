#include <maya/MFnTransform.h>

#include "dag/DagNode.h"
#include "dag/TransformNode.h"
#include "dg/NodeImpl.h"
#include "mathtypes/MatrixParts.h"
#include "mathtypes/StatusOut.h"

using zovhost::NodeImpl;
using zovhost::setStatus;
using zovhost::TransformNode;

namespace {

bool isWorld(MSpace::Space space) { return space == MSpace::kWorld; }

// Reads the node's transformation, lets `edit` change it and writes it back;
// nothing is written when the read or the edit fails.
template <typename Edit>
MStatus editTransformation(MFnTransform& transform, Edit edit) {
  MStatus status;
  MTransformationMatrix value = transform.transformation(&status);
  if (!status) return status;
  status = edit(value);
  return status ? transform.set(value) : status;
}

/// Sets a rotate or scale pivot translation in transform space; the edit
/// itself always succeeds.
MStatus setPivotTranslation(MFnTransform& transform,
                            MStatus (MTransformationMatrix::*set)(const MVector&, MSpace::Space),
                            const MVector& translation) {
  return editTransformation(transform, [&](MTransformationMatrix& value) {
    (value.*set)(translation, MSpace::kTransform);
    return MStatus(MS::kSuccess);
  });
}

}  // namespace

MFnTransform::MFnTransform(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

MObject MFnTransform::create(const MObject& parent, MStatus* status) {
  return MFnDagNode::create(MString("transform"), parent, status);
}

MMatrix MFnTransform::parentMatrix() const { return workingPath().exclusiveMatrix(); }

MTransformationMatrix MFnTransform::transformation(MStatus* status) const {
  const auto node = zovhost::nodeOf(m_object);
  setStatus(status, TransformNode::of(node) ? MS::kSuccess : MS::kFailure);
  return TransformNode::of(node) ? TransformNode::transformation(node) : MTransformationMatrix();
}

MStatus MFnTransform::set(const MTransformationMatrix& transformation) {
  return TransformNode::setTransformation(zovhost::nodeOf(m_object), transformation);
}

MTransformationMatrix MFnTransform::restPosition(MStatus* status) const {
  const TransformNode* node = TransformNode::of(zovhost::nodeOf(m_object));
  setStatus(status, node ? MS::kSuccess : MS::kFailure);
  return node ? node->restPosition : MTransformationMatrix();
}

MStatus MFnTransform::setRestPosition(const MTransformationMatrix& transformation) {
  TransformNode* node = TransformNode::of(zovhost::nodeOf(m_object));
  if (!node) return MS::kFailure;
  node->restPosition = transformation;
  return MS::kSuccess;
}

MStatus MFnTransform::resetFromRestPosition() {
  const TransformNode* node = TransformNode::of(zovhost::nodeOf(m_object));
  return node ? set(node->restPosition) : MStatus(MS::kFailure);
}

MVector MFnTransform::getTranslation(MSpace::Space space, MStatus* status) const {
  const MVector local = transformation(status).getTranslation(MSpace::kTransform);
  return isWorld(space) ? MVector(MPoint(local) * parentMatrix()) : local;
}

MStatus MFnTransform::setTranslation(const MVector& translation, MSpace::Space space) {
  return editTransformation(*this, [&](MTransformationMatrix& value) {
    value.setTranslation(isWorld(space) ? MVector(MPoint(translation) * parentMatrix().inverse()) : translation,
                         MSpace::kTransform);
    return MStatus(MS::kSuccess);
  });
}

MStatus MFnTransform::translateBy(const MVector& offset, MSpace::Space space) {
  return editTransformation(*this, [&](MTransformationMatrix& value) {
    value.addTranslation(isWorld(space) ? offset * parentMatrix().inverse() : offset, MSpace::kTransform);
    return MStatus(MS::kSuccess);
  });
}

MStatus MFnTransform::getRotation(MQuaternion& rotation, MSpace::Space space) const {
  MStatus status;
  const MTransformationMatrix value = transformation(&status);
  if (!status) return status;
  rotation = value.rotation();
  if (isWorld(space))
    rotation = value.rotationOrientation().asMatrix() * rotation.asMatrix() * zovhost::rotationPart(parentMatrix());
  return MS::kSuccess;
}

MStatus MFnTransform::getRotation(MEulerRotation& rotation) const {
  MStatus status;
  rotation = transformation(&status).eulerRotation();
  return status;
}

MStatus MFnTransform::getRotation(double angles[3], MTransformationMatrix::RotationOrder& order) const {
  MStatus status;
  const MTransformationMatrix value = transformation(&status);
  return status ? value.getRotation(angles, order) : status;
}

MStatus MFnTransform::setRotation(const MQuaternion& rotation, MSpace::Space space) {
  return editTransformation(*this, [&](MTransformationMatrix& value) {
    if (isWorld(space)) {
      // The world rotation is Ra * R * P, with P the parent's rotation: R = Ra^-1 * q * P^-1.
      const MMatrix local = value.rotationOrientation().asMatrix().transpose() * rotation.asMatrix() *
                            zovhost::rotationPart(parentMatrix()).transpose();
      MQuaternion wanted;
      value.rotateTo(wanted = local);
    } else {
      value.rotateTo(rotation);
    }
    return MStatus(MS::kSuccess);
  });
}

MStatus MFnTransform::setRotation(const MEulerRotation& rotation) {
  return editTransformation(*this, [&](MTransformationMatrix& value) {
    value.rotateTo(rotation);
    return MStatus(MS::kSuccess);
  });
}

MStatus MFnTransform::setRotation(const double angles[3], MTransformationMatrix::RotationOrder order) {
  return editTransformation(*this, [&](MTransformationMatrix& value) { return value.setRotation(angles, order); });
}

MStatus MFnTransform::rotateBy(const MQuaternion& rotation, MSpace::Space space) {
  MQuaternion current;
  const MStatus status = getRotation(current, space);
  return status ? setRotation(current * rotation, space) : status;
}

MTransformationMatrix::RotationOrder MFnTransform::rotationOrder(MStatus* status) const {
  return transformation(status).rotationOrder();
}

MStatus MFnTransform::setRotationOrder(MTransformationMatrix::RotationOrder order, bool reorder) {
  return editTransformation(*this,
                            [&](MTransformationMatrix& value) { return value.setRotationOrder(order, reorder); });
}

MStatus MFnTransform::getScale(double scale[3]) const {
  MStatus status;
  const MTransformationMatrix value = transformation(&status);
  return status ? value.getScale(scale, MSpace::kTransform) : status;
}

MStatus MFnTransform::setScale(const double scale[3]) {
  return editTransformation(*this, [&](MTransformationMatrix& value) {
    value.setScale(scale, MSpace::kTransform);
    return MStatus(MS::kSuccess);
  });
}

MStatus MFnTransform::getShear(double shear[3]) const {
  MStatus status;
  const MTransformationMatrix value = transformation(&status);
  return status ? value.getShear(shear, MSpace::kTransform) : status;
}

MStatus MFnTransform::setShear(const double shear[3]) {
  return editTransformation(*this, [&](MTransformationMatrix& value) {
    value.setShear(shear, MSpace::kTransform);
    return MStatus(MS::kSuccess);
  });
}

MPoint MFnTransform::pivot(PivotGetter get, MSpace::Space space, MStatus* status) const {
  const MTransformationMatrix value = transformation(status);
  return isWorld(space) ? (value.*get)(MSpace::kWorld, nullptr) * parentMatrix()
                        : (value.*get)(MSpace::kTransform, nullptr);
}

MStatus MFnTransform::setPivot(PivotSetter set, const MPoint& pivot, MSpace::Space space, bool balance) {
  return editTransformation(*this, [&](MTransformationMatrix& value) {
    return isWorld(space) ? (value.*set)(pivot * parentMatrix().inverse(), MSpace::kWorld, balance)
                          : (value.*set)(pivot, MSpace::kTransform, balance);
  });
}

MPoint MFnTransform::rotatePivot(MSpace::Space space, MStatus* status) const {
  return pivot(&MTransformationMatrix::rotatePivot, space, status);
}

MStatus MFnTransform::setRotatePivot(const MPoint& pivot, MSpace::Space space, bool balance) {
  return setPivot(&MTransformationMatrix::setRotatePivot, pivot, space, balance);
}

MVector MFnTransform::rotatePivotTranslation(MSpace::Space, MStatus* status) const {
  return transformation(status).rotatePivotTranslation(MSpace::kTransform);
}

MStatus MFnTransform::setRotatePivotTranslation(const MVector& translation, MSpace::Space) {
  return setPivotTranslation(*this, &MTransformationMatrix::setRotatePivotTranslation, translation);
}

MPoint MFnTransform::scalePivot(MSpace::Space space, MStatus* status) const {
  return pivot(&MTransformationMatrix::scalePivot, space, status);
}

MStatus MFnTransform::setScalePivot(const MPoint& pivot, MSpace::Space space, bool balance) {
  return setPivot(&MTransformationMatrix::setScalePivot, pivot, space, balance);
}

MVector MFnTransform::scalePivotTranslation(MSpace::Space, MStatus* status) const {
  return transformation(status).scalePivotTranslation(MSpace::kTransform);
}

MStatus MFnTransform::setScalePivotTranslation(const MVector& translation, MSpace::Space) {
  return setPivotTranslation(*this, &MTransformationMatrix::setScalePivotTranslation, translation);
}
