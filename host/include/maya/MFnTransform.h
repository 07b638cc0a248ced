#pragma once

#include <maya/MEulerRotation.h>
#include <maya/MFnDagNode.h>
#include <maya/MPoint.h>
#include <maya/MQuaternion.h>
#include <maya/MSpace.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for transforms: their translation, rotation, scale, shear
/// and pivots, read and written in transform space (the node's own values)
/// or in world space (through the parent's world matrix of the path the set
/// is attached to), and their rest position. Writes go through the node's
/// attributes, so what depends on them becomes dirty; an attribute that is
/// locked or driven by a connection refuses the write.
class MFnTransform : public zovhost::FunctionSetOf<MFnDagNode, MFn::kTransform> {
 public:
  MFnTransform() = default;
  using FunctionSetOf::FunctionSetOf;
  explicit MFnTransform(const MDagPath& path, MStatus* status = nullptr);

  /// Makes a transform under parent (null: the world) and attaches to it.
  MObject create(const MObject& parent = MObject::kNullObj, MStatus* status = nullptr);

  MTransformationMatrix transformation(MStatus* status = nullptr) const;
  MStatus set(const MTransformationMatrix& transformation);
  /// A transformation kept with the node to come back to.
  MTransformationMatrix restPosition(MStatus* status = nullptr) const;
  MStatus setRestPosition(const MTransformationMatrix& transformation);
  /// Gives the node its rest position's transformation.
  MStatus resetFromRestPosition();

  /// In world space: where the translation puts the node's origin before
  /// rotation and scale, i.e. the translation taken through the parent.
  MVector getTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  MVector translation(MSpace::Space space, MStatus* status = nullptr) const { return getTranslation(space, status); }
  MStatus setTranslation(const MVector& translation, MSpace::Space space);
  MStatus translateBy(const MVector& offset, MSpace::Space space);

  /// The rotation; in world space with the rotate axis and the parent's rotation.
  MStatus getRotation(MQuaternion& rotation, MSpace::Space space = MSpace::kTransform) const;
  MStatus getRotation(MEulerRotation& rotation) const;
  MStatus getRotation(double angles[3], MTransformationMatrix::RotationOrder& order) const;
  /// Sets the rotation so that it is the given one in that space (the rotate
  /// order stays).
  MStatus setRotation(const MQuaternion& rotation, MSpace::Space space = MSpace::kTransform);
  MStatus setRotation(const MEulerRotation& rotation);
  MStatus setRotation(const double angles[3], MTransformationMatrix::RotationOrder order);
  MStatus rotateBy(const MQuaternion& rotation, MSpace::Space space = MSpace::kTransform);
  MTransformationMatrix::RotationOrder rotationOrder(MStatus* status = nullptr) const;
  MStatus setRotationOrder(MTransformationMatrix::RotationOrder order, bool reorder);

  MStatus getScale(double scale[3]) const;
  MStatus setScale(const double scale[3]);
  MStatus getShear(double shear[3]) const;
  MStatus setShear(const double shear[3]);

  /// Pivots in transform space, or in world space the point the pivot lands on.
  MPoint rotatePivot(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setRotatePivot(const MPoint& pivot, MSpace::Space space, bool balance = true);
  MVector rotatePivotTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setRotatePivotTranslation(const MVector& translation, MSpace::Space space);
  MPoint scalePivot(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setScalePivot(const MPoint& pivot, MSpace::Space space, bool balance = true);
  MVector scalePivotTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setScalePivotTranslation(const MVector& translation, MSpace::Space space);

 private:
  MMatrix parentMatrix() const;
  using PivotGetter = MPoint (MTransformationMatrix::*)(MSpace::Space, MStatus*) const;
  using PivotSetter = MStatus (MTransformationMatrix::*)(const MPoint&, MSpace::Space, bool);
  /// The rotate or scale pivot (as `get` reads it) in transform space, or in
  /// world space the point it lands on.
  MPoint pivot(PivotGetter get, MSpace::Space space, MStatus* status) const;
  /// Sets the rotate or scale pivot through `set`; a world-space point is
  /// taken back through the parent first.
  MStatus setPivot(PivotSetter set, const MPoint& pivot, MSpace::Space space, bool balance);
};
