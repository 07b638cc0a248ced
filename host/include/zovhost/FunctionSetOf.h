#pragma once

#include <maya/MDagPath.h>
#include <maya/MFn.h>
#include <maya/MFnDagNode.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

namespace zovhost {

/// What a function set for one type of object shares with every other: its
/// type, and a constructor that attaches it to an object. Attaching goes
/// through `Base::setObject`, which checks the object against the virtual
/// `type()` (this one answers `kType`) and detaches when it does not apply;
/// the optional status says which.
///
/// A set that overrides `setObject(const MObject&)` must keep a constructor of
/// its own: the one here runs before the set's own part exists.
template <class Base, MFn::Type kType>
class FunctionSetOf : public Base {
 public:
  FunctionSetOf() = default;
  explicit FunctionSetOf(const MObject& object, MStatus* status = nullptr) {
    const MStatus attached = this->setObject(object);
    if (status) *status = attached;
  }

  MFn::Type type() const override { return kType; }
};

/// A function set for a shape node of one type. Attached through a DAG path
/// to a transform, it takes the one shape below it; a path that leads to no
/// shape of its type leaves the set as it was and answers kInvalidParameter.
template <MFn::Type kType>
class ShapeFunctionSetOf : public FunctionSetOf<MFnDagNode, kType> {
 public:
  ShapeFunctionSetOf() = default;
  using FunctionSetOf<MFnDagNode, kType>::FunctionSetOf;
  explicit ShapeFunctionSetOf(const MDagPath& path, MStatus* status = nullptr) {
    const MStatus attached = setObject(path);
    if (status) *status = attached;
  }

  using MFnDagNode::setObject;
  MStatus setObject(const MDagPath& path) {
    MDagPath shape = path;
    if (shape.isValid() && !shape.hasFn(kType)) shape.extendToShape();
    if (!shape.hasFn(kType)) return MS::kInvalidParameter;
    return MFnDagNode::setObject(shape);
  }
};

}  // namespace zovhost
