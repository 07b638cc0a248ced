#pragma once

#include <maya/MDoubleArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MVector.h>
#include <maya/MVectorArray.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for dynamics fields: transforms of the scene that push
/// whatever lies in their reach. This host has uniform and gravity fields;
/// both push along their direction with their magnitude, the gravity field
/// in proportion to the mass it pushes.
class MFnField : public zovhost::FunctionSetOf<MFnDagNode, MFn::kField> {
 public:
  MFnField() = default;
  using FunctionSetOf::FunctionSetOf;
  explicit MFnField(const MDagPath& path, MStatus* status = nullptr);

  double magnitude(MStatus* status = nullptr) const;
  MStatus setMagnitude(double magnitude);
  /// The reach from the field's position; used only when useMaxDistance is on.
  double maxDistance(MStatus* status = nullptr) const;
  MStatus setMaxDistance(double distance);
  bool useMaxDistance(MStatus* status = nullptr) const;
  MStatus setUseMaxDistance(bool use);

  /// The force on each sample (a world point, its velocity and its mass):
  /// force gets one vector per point. The arrays must have equal lengths;
  /// otherwise nothing is written and kInvalidParameter is returned.
  MStatus getForceAtPoint(const MVectorArray& point, const MVectorArray& velocity, const MDoubleArray& mass,
                          MVectorArray& force, double deltaTime = 1.0 / 24.0);
};

namespace zovhost {

/// The function set of a field that pushes along a direction of its own (the
/// uniform and the gravity field).
template <MFn::Type kType>
class DirectedFieldOf : public FunctionSetOf<MFnField, kType> {
 public:
  using FunctionSetOf<MFnField, kType>::FunctionSetOf;

  MVector direction(MStatus* status = nullptr) const;
  MStatus setDirection(const MVector& direction);
};

}  // namespace zovhost
